#pragma once  // packing/sheets.hpp: a job too large for one sheet goes on to the next ones
#include <functional>
#include <vector>

#include "geometry/part.hpp"
#include "raster/sheet_bitmap.hpp"

namespace blocknest {

// Places what it can of the parts on the sheet (its grid fresh), leaving the others where they
// lie. probe is set when a single part is tried alone to learn whether it fits an empty sheet:
// nothing needs to be shown then.
using PackOneSheet = std::function<void(PartList& parts, Sheet& sheet, bool probe)>;

inline constexpr int kNoSheet = -1;   // on no sheet: the sheets ran out
inline constexpr int kTooLarge = -2;  // fits no empty sheet in any of its orientations

// Fills sheets one after another, each a fresh copy of sheet, with the parts the earlier sheets
// left, in list order, until every part lies on one, maxSheets are used (0: no bound), or a
// sheet takes none. With more than one sheet allowed, a part that the first sheet leaves is
// tried alone on an empty sheet, and left out of the later ones when it does not fit there.
// Returns each part's sheet index (list order), kNoSheet or kTooLarge; a placed part lies
// in its sheet's own coordinates, the others keep their poses.
std::vector<int> packSheets(PartList& parts, const Sheet& sheet, int maxSheets,
                            const PackOneSheet& packOne);

// The least number of sheets of that area the parts could take, by area alone; a part whose
// sheetOf entry is kTooLarge is not counted.
[[nodiscard]] int sheetsAtLeast(const std::vector<double>& partAreas,
                                const std::vector<int>& sheetOf, double sheetArea);

// True when the box of the part's outer loop lies in the closed sheet rectangle.
[[nodiscard]] bool liesWithin(const Part& part, const Sheet& sheet);

}  // namespace blocknest
