#pragma once  // raster/sheet_bitmap.hpp: the block grid of the sheet
#include <cstdint>
#include <optional>
#include <vector>

namespace blocknest {

// Row-major byte grid over the sheet: rows run along X, columns along Y, cell (R, C) at
// R * cols + C, 0 free and 1 taken. Block (R, C) is the square of side b centred at
// (R * b, C * b); row 0 and column 0 are centred on the sheet's edges and stick out of it.
class SheetBitmap {
public:
    SheetBitmap() = default;
    SheetBitmap(int rows, int cols);  // every cell free

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    bool empty() const { return rows_ <= 0 || cols_ <= 0; }
    std::uint8_t at(int r, int c) const { return cells_[index(r, c)]; }
    void take(int r, int c) { cells_[index(r, c)] = 1; }  // cells only ever become taken
    const std::vector<std::uint8_t>& cells() const { return cells_; }

private:
    std::size_t index(int r, int c) const { return static_cast<std::size_t>(r) * cols_ + c; }

    int rows_ = 0;
    int cols_ = 0;
    std::vector<std::uint8_t> cells_;
};

// The sheet rectangle from (0, 0) to (length, width) and its block grid.
struct Sheet {
    double length = 6000;
    double width = 4000;
    double blockSideLength = 15;
    SheetBitmap bitmap;
};

struct GridSize {
    int rows = 0;  // trunc(length / b) + 2
    int cols = 0;  // trunc(width / b) + 2
};

// The grid size for a sheet, or nothing when a count would not fit the grid's 32-bit counts
// or the grid would hold more than maxCells cells. Needs a positive finite block side.
[[nodiscard]] std::optional<GridSize> sheetGridSize(double sheetLength, double sheetWidth,
                                                    double blockSideLength, std::int64_t maxCells);

// Builds the grid: a cell is taken exactly when its block is not wholly inside the closed
// sheet rectangle. Needs a size that sheetGridSize accepts.
[[nodiscard]] SheetBitmap buildSheetBitmap(double sheetLength, double sheetWidth,
                                           double blockSideLength);

}  // namespace blocknest
