#pragma once  // output/statistics.hpp: the figures of merit of a layout
#include "geometry/part.hpp"

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

// True when the stored box of the part's outer loop lies in the closed sheet rectangle.
[[nodiscard]] bool liesOnSheet(const Part& part, double sheetLength, double sheetWidth);

}  // namespace blocknest
