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

PackingStatistics combineSheets(const std::vector<SheetLayout>& sheets, double sheetLength,
                                double sheetWidth) {
    if (sheets.size() == 1) return sheets.front().statistics;
    PackingStatistics stats;
    for (const SheetLayout& sheet : sheets) stats.totalPartArea += sheet.statistics.totalPartArea;
    stats.packedLength = sheets.empty() ? 0 : sheets.back().statistics.packedLength;
    const double fullSheets = sheets.empty() ? 0 : static_cast<double>(sheets.size() - 1);
    stats.packingDensity =
        stats.totalPartArea / ((fullSheets * sheetLength + stats.packedLength) * sheetWidth);
    return stats;
}

double sheetOffset(int k, double sheetLength) { return k * sheetLength * 1.1; }

}  // namespace blocknest
