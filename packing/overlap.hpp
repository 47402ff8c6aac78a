#pragma once  // packing/overlap.hpp: the exact test of a part's pose against sheet and parts
#include "geometry/part.hpp"
#include "raster/sheet_bitmap.hpp"

namespace blocknest {

// Box tolerance of partsDisjoint: boxes closer than this on one axis count as apart.
inline constexpr double kBoxTolerance = 0.00001;

// True when every vertex of the moving part's outer loop lies in the sheet rectangle (by the
// point-containment rule, so the left and top edges are outside) and the part overlaps no
// other part of the list, a part lying in a hole of the other not counting. Other parts are
// recognised by identity; parked parts take part like any other.
[[nodiscard]] bool isPlacementFeasible(const PartList& parts, const Part& moving,
                                       const Sheet& sheet);

// True when the outer loops of a and b do not overlap: their boxes are apart or within the
// tolerance on one axis, or no vertex of either lies in the other and no edges touch.
[[nodiscard]] bool partsDisjoint(const Part& a, const Part& b);

// True when some edge of a's outer loop touches or crosses some edge of b's.
[[nodiscard]] bool outerLoopsCross(const Part& a, const Part& b);

// True when every vertex of the part's outer loop lies in the loop (edges are not tested).
[[nodiscard]] bool partInsideLoop(const Part& part, const Loop& loop);

}  // namespace blocknest
