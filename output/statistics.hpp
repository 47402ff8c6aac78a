#pragma once  // output/statistics.hpp: the figures of merit of a layout
#include <optional>
#include <string>
#include <vector>

#include "geometry/part.hpp"
#include "geometry/sheet_shape.hpp"

namespace blocknest {

struct PackingStatistics {
    double totalPartArea = 0;   // net areas of the parts lying on the sheet, as stored
    double packedLength = 0;    // the largest X those parts reach; 0 when none does
    double packingDensity = 0;  // totalPartArea / (packedLength * sheetWidth): not a number
                                // when no part lies on the sheet
};

// A part counts when the stored box of its outer loop lies in the closed sheet rectangle;
// a counted part's box is then recomputed from its vertices and copied into its bounds.
PackingStatistics computeStatistics(PartList& parts, double sheetLength, double sheetWidth);

// The parts on one sheet of a job over several sheets, in the sheet's own coordinates, and
// their figures.
struct SheetLayout {
    PartList parts;
    PackingStatistics statistics;
    SheetShape shape;   // drawn instead of the rectangle where it is not empty
    std::string kind;   // the stock's name for the sheet; empty for the job's one sheet size
    double length = 0;  // the sheet's own size; 0: the job's
    double width = 0;
    std::optional<double> cost;  // one such sheet's cost from a stock list; none without one
};

// The sheet area a job over several sheets used: every sheet but the last whole, the last up
// to its packed length, each sheet at its own size where it has one, else the job's.
[[nodiscard]] double sheetAreaUsed(const std::vector<SheetLayout>& sheets, double sheetLength,
                                   double sheetWidth);

// The figures of a job over several sheets: the area of the parts on all of them; the packed
// length of the last; the density over the sheet area used (sheetAreaUsed). With one sheet
// these are that sheet's figures.
[[nodiscard]] PackingStatistics combineSheets(const std::vector<SheetLayout>& sheets,
                                              double sheetLength, double sheetWidth);

// Where sheet k of a job over several sheets is drawn along X: one after another, a tenth of
// a sheet length apart.
[[nodiscard]] double sheetOffset(int k, double sheetLength);

// True when the stored box of the part's outer loop lies in the closed sheet rectangle.
[[nodiscard]] bool liesOnSheet(const Part& part, double sheetLength, double sheetWidth);

}  // namespace blocknest
