#pragma once  // packing/sheet_marking.hpp: writing a placed part into the sheet's block grid
#include "base/console.hpp"
#include "geometry/part.hpp"
#include "raster/sheet_bitmap.hpp"

namespace blocknest {

// Takes every free sheet block that the placed part covers: a corner of the block lies in the
// part, or a vertex of the part lies in its closed square. The centre is not sampled. Only
// blocks whose squares reach the part's bounds are examined; taken blocks are left alone.
void markPartOnSheet(Sheet& sheet, const Part& part, Console& console);

// Takes every block whose closed square meets the sheet's outside or one of its defects: the
// blocks markPartOnSheet takes, and every block an edge of theirs passes through, so that a
// sliver of an obstacle narrower than a block is never missed.
void markObstaclesOnSheet(Sheet& sheet);

}  // namespace blocknest
