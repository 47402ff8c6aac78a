#pragma once  // packing/sheet_bounds.hpp: how few sheets the parts can take, proved
#include <vector>

#include "geometry/part.hpp"

namespace blocknest {

// The number of parts no two of which can share a sheet of length x width: rectangles longer
// than half the length and wider than half the width in every turn they may take that fits
// the sheet (a turn that is no quarter turn counts only when it does not fit at all). Two such
// rectangles overlap wherever they lie, so each needs a sheet of its own. A part whose
// sheetOf entry (list order) is kTooLarge is not counted; turns: a part's own, else
// rotationCount even ones.
[[nodiscard]] int partsNeedingOwnSheet(const PartList& parts, const std::vector<int>& sheetOf,
                                       double length, double width, int rotationCount);

}  // namespace blocknest
