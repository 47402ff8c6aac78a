#pragma once  // packing/part_cores.hpp: rectangles that lie wholly inside a part
#include <vector>

#include "geometry/part.hpp"

namespace blocknest {

// An axis-parallel rectangle's sides, length along X by width along Y.
struct CoreRectangle {
    double length = 0;
    double width = 0;
};

// Axis-parallel rectangles that lie inside the part's material (outer loop less its holes) in
// its present pose, none longer and wider than another: for any width, the longest rectangle
// the part holds of at least that width among those found. A rectangle part gives itself.
// Sides are shrunk by a hair so that rounding never lets one poke out; the list is empty for
// a part too thin to hold any. Searched on the grid of the vertices' coordinates (at most
// maxLines a side), so a rectangle found is always inside, if not always the largest.
[[nodiscard]] std::vector<CoreRectangle> findCoreRectangles(const Part& part, int maxLines = 40);

}  // namespace blocknest
