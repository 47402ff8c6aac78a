#pragma once  // input/dxf_marks.hpp: bend, mark and centre lines told from the edges to cut
#include <string>
#include <vector>

#include "geometry/curve_loop.hpp"
#include "geometry/part.hpp"
#include "input/dxf_chaining.hpp"

namespace blocknest {

// Takes out of the pieces the open lines that are marked on a part rather than cut: each
// touches or crosses a closed contour drawn on another layer (as the pieces of each layer
// chain on their own) and reaches more than tol inside it. A bend line that meets a blank's
// inner corners, or a centre line across a bore, so never splits a part. Pieces on one layer
// only are left as they are.
[[nodiscard]] std::vector<Piece> takeMarkLines(std::vector<Piece>& pieces, double tol,
                                               const std::string& source);

// Gives each mark line to the smallest part whose outline holds one of its points (curves[k]
// for the k-th part) and hands back the lines that no part holds.
[[nodiscard]] std::vector<Piece> attachMarkLines(std::vector<Piece> marks, const PartList& parts,
                                                 std::vector<PartCurves>& curves);

// The line as drawn: its corners and the bulge of each edge.
[[nodiscard]] CurveLoop markPath(const Piece& piece);

}  // namespace blocknest
