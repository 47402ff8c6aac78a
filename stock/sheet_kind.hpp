#pragma once  // stock/sheet_kind.hpp: a kind of sheet in stock and the sheet it makes
#include <cstdint>
#include <optional>
#include <string>

#include "geometry/sheet_shape.hpp"
#include "raster/sheet_bitmap.hpp"

namespace blocknest {

// One kind of sheet: a plain rectangle, or a drawing (a remnant, an irregular sheet) whose
// outline lies in the box from (0, 0) to (length, width); how many are in stock and what one
// costs.
struct SheetKind {
    std::string name;  // "600x300" for a rectangle, the file's stem for a drawing
    double length = 0;
    double width = 0;
    SheetShape shape;  // empty for a rectangle
    std::int64_t count = 1;
    double cost = 0;
    int insUnits = 0;   // a drawing's $INSUNITS code (after any conversion); 0 when unknown
    std::string place;  // where a stock list names it ("stock.csv:3"); empty elsewhere
    [[nodiscard]] bool drawn() const { return !shape.empty(); }
};

// A rectangle kind named after its size, one in stock, costing its area.
[[nodiscard]] SheetKind rectangleKind(double length, double width);

// The area of material: the outline's less the defects' (the box's for a rectangle).
[[nodiscard]] double materialArea(const SheetKind& kind);

// Makes sheet a fresh sheet of the kind on the block side it already has: its size, its
// outside and defects fixed, the grid built and the obstacles' blocks taken. Says why it
// cannot: a grid of more than maxCells blocks.
// Why a sheet of the kind cannot be packed on blocks of blockSide: its grid would pass the
// bounds the job's own sheet is held to (prepareJob's limits). The line names the kind and,
// for one from a stock list, the list's line.
[[nodiscard]] std::optional<std::string> whyKindTooLarge(const SheetKind& kind, double blockSide,
                                                         std::int64_t maxCells = std::int64_t{1}
                                                                                 << 31,
                                                         std::int64_t maxBytes = std::int64_t{1}
                                                                                 << 29);

[[nodiscard]] std::optional<std::string> makeSheetOfKind(Sheet& sheet, const SheetKind& kind,
                                                         std::int64_t maxCells = std::int64_t{1}
                                                                                 << 31);

}  // namespace blocknest
