#include "output/statistics.hpp"

#include <algorithm>

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
    stats.packingDensity = stats.totalPartArea / sheetAreaUsed(sheets, sheetLength, sheetWidth);
    return stats;
}

double sheetAreaUsed(const std::vector<SheetLayout>& sheets, double sheetLength,
                     double sheetWidth) {
    const double packed = sheets.empty() ? 0 : sheets.back().statistics.packedLength;
    const bool ownSizes = std::any_of(sheets.begin(), sheets.end(),
                                      [](const SheetLayout& sheet) { return sheet.length > 0; });
    if (!ownSizes) {
        const double fullSheets = sheets.empty() ? 0 : static_cast<double>(sheets.size() - 1);
        return (fullSheets * sheetLength + packed) * sheetWidth;
    }
    double area = 0;
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        const double length = sheets[k].length > 0 ? sheets[k].length : sheetLength;
        const double width = sheets[k].width > 0 ? sheets[k].width : sheetWidth;
        area += (k + 1 == sheets.size() ? packed : length) * width;
    }
    return area;
}

double sheetOffset(int k, double sheetLength) { return k * sheetLength * 1.1; }

}  // namespace blocknest
