#pragma once  // input/dxf_frames.hpp: a drawing's frame and title block told from its parts
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "geometry/loop.hpp"
#include "input/dxf_chaining.hpp"

namespace blocknest {

// The contours of a drawing that make its frame, and where the frame's loose lines lie.
struct DrawingFrame {
    std::vector<std::size_t> contours;  // indices into the contours searched, ascending
    std::string kind;                   // what it was taken for: "a double border", ...
    // The title block's rectangles: lines drawn inside them (its dividing lines) are the
    // frame's.
    std::vector<BoundingBox> titleBoxes;
    // The box the drawing's content lies in (the inner border's): lines on or outside its
    // edges are the frame's.
    BoundingBox inner;
};

// The frame of a drawing, when one contour encloses every other and is one of: a rectangle
// with a rectangle just inside it that encloses the rest (a double border: trim line and
// border); a rectangle with a title block (a rectangle in one of its corners, touching both
// sides) and other contours beside it; or a contour on a layer of its own, ten times the area
// of what lies directly inside it, which holds parts with holes. Title blocks may be divided
// into rectangles; what lies inside them is the frame's too. tol: the drawing's tolerance.
[[nodiscard]] std::optional<DrawingFrame> findFrame(const std::vector<Contour>& contours,
                                                    double tol);

// Whether a loose line drawn through these points belongs to the frame: each point lies in a
// title block or on or beyond the inner border, within tol.
[[nodiscard]] bool frameHolds(const DrawingFrame& frame, const std::vector<Vertex>& points,
                              double tol);

}  // namespace blocknest
