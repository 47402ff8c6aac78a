#include "output/statistics.hpp"

namespace blocknest {

bool liesOnSheet(const Part& part, double sheetLength, double sheetWidth) {
    const BoundingBox& box = part.outerLoop().bounds();
    return box.maxX <= sheetLength && box.minX >= 0 && box.maxY <= sheetWidth && box.minY >= 0;
}

PackingStatistics computeStatistics(PartList& parts, double sheetLength, double sheetWidth) {
    PackingStatistics stats;
    double packed = 0;
    for (Part& part : parts) {
        if (!liesOnSheet(part, sheetLength, sheetWidth)) continue;
        stats.totalPartArea += part.netArea();
        const BoundingBox box = part.refreshBounds();
        if (box.maxX > packed) packed = box.maxX;
    }
    stats.packedLength = packed;
    stats.packingDensity = stats.totalPartArea / (stats.packedLength * sheetWidth);
    return stats;
}

}  // namespace blocknest
