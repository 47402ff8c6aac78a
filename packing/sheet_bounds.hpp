#pragma once  // packing/sheet_bounds.hpp: how few sheets the parts can take, proved
#include <vector>

#include "geometry/part.hpp"
#include "packing/part_cores.hpp"

namespace blocknest {

// The number of parts no two of which can share a sheet of length x width: rectangles longer
// than half the length and wider than half the width in every turn they may take that fits
// the sheet (a turn that is no quarter turn counts only when it does not fit at all). Two such
// rectangles overlap wherever they lie, so each needs a sheet of its own. A part whose
// sheetOf entry (list order) is kTooLarge is not counted; turns: a part's own, else
// rotationCount even ones.
[[nodiscard]] int partsNeedingOwnSheet(const PartList& parts, const std::vector<int>& sheetOf,
                                       double length, double width, int rotationCount);

// What the bounds know of one part, taken in its pose before packing.
struct PartExtents {
    // One turn the part may take: its box along X (length) and Y (width) in that turn.
    struct Turn {
        double length = 0;
        double width = 0;
        bool quarter = false;  // a whole number of quarter turns: rectangles stay axis-parallel
        bool swapped = false;  // an odd number of quarter turns: length and width trade places
    };
    std::vector<Turn> turns;
    std::vector<CoreRectangle> cores;  // rectangles inside the part, as drawn
};

// The measures of each part (list order) over its own turns, else rotationCount even ones,
// each also mirrored when mirror is set. Copies of one part are measured once.
[[nodiscard]] std::vector<PartExtents> measurePartExtents(const PartList& parts, int rotationCount,
                                                          bool mirror);

// The least number of bins of that capacity the sizes can take, by the classic bound that
// counts the sizes above half the capacity one to a bin and fills the room beside them with
// the smaller ones (the largest over every split size), or by how many sizes fit one bin at
// most; never above the true least number.
[[nodiscard]] int binsAtLeast(std::vector<double> sizes, double capacity);

// The least number of length x width sheets the parts can take by their extents: the parts
// whose inside rectangles are wider than half the sheet in every turn cannot lie side by side
// across it, so their lengths go one after another along it (a one-dimensional bin packing),
// and likewise across. Parts whose sheetOf entry is kTooLarge, that fit no sheet or that may
// take a turn that is no quarter turn are not counted.
[[nodiscard]] int sheetsAtLeastByExtents(const std::vector<PartExtents>& parts,
                                         const std::vector<int>& sheetOf, double length,
                                         double width);

}  // namespace blocknest
