#include "stock/sheet_kind.hpp"

#include <cmath>

#include "base/number_format.hpp"
#include "packing/sheet_marking.hpp"

namespace blocknest {

SheetKind rectangleKind(double length, double width) {
    SheetKind kind;
    kind.name = formatNumber(length) + "x" + formatNumber(width);
    kind.length = length;
    kind.width = width;
    kind.cost = length * width;
    return kind;
}

double materialArea(const SheetKind& kind) {
    double area = kind.shape.outline ? kind.shape.outline->area() : kind.length * kind.width;
    for (const Loop& defect : kind.shape.defects) area -= defect.area();
    return area;
}

std::optional<std::string> whyKindTooLarge(const SheetKind& kind, double blockSide,
                                           std::int64_t maxCells, std::int64_t maxBytes) {
    const std::string sheet = (kind.place.empty() ? "" : kind.place + ": ") + "the sheet \"" +
                              kind.name + "\" (" + formatNumber(kind.length) + " x " +
                              formatNumber(kind.width) + ") in blocks of " +
                              formatNumber(blockSide) + " makes a grid of ";
    const std::optional<GridSize> grid =
        sheetGridSize(kind.length, kind.width, blockSide, maxCells);
    if (!grid) return sheet + "more than " + std::to_string(maxCells) + " blocks";
    if (sheetGridBytes(*grid) > maxBytes) {
        return sheet + std::to_string(grid->rows) + " rows of " + std::to_string(grid->cols) +
               " blocks, more than the " + std::to_string(maxBytes >> 20) +
               " MiB a sheet grid may take";
    }
    return std::nullopt;
}

std::optional<std::string> makeSheetOfKind(Sheet& sheet, const SheetKind& kind,
                                           std::int64_t maxCells) {
    if (!sheetGridSize(kind.length, kind.width, sheet.blockSideLength, maxCells)) {
        return "the sheet \"" + kind.name + "\" (" + formatNumber(kind.length) + " x " +
               formatNumber(kind.width) + ") in blocks of " + formatNumber(sheet.blockSideLength) +
               " makes a grid of more than " + std::to_string(maxCells) + " blocks";
    }
    sheet.length = kind.length;
    sheet.width = kind.width;
    sheet.bitmap = buildSheetBitmap(kind.length, kind.width, sheet.blockSideLength);
    sheet.outside.reset();
    sheet.defects.clear();
    if (kind.shape.outline) {
        LoopList outlines;
        outlines.pushBack(*kind.shape.outline);
        sheet.outside = makeOutsidePart(outlines, kind.length, kind.width);
    }
    for (const Loop& loop : kind.shape.defects) {
        Part defect;
        defect.setShape("defect", LoopList(), loop);
        sheet.defects.push_back(std::move(defect));
    }
    markObstaclesOnSheet(sheet);
    return std::nullopt;
}

}  // namespace blocknest
