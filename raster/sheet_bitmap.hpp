#pragma once  // raster/sheet_bitmap.hpp: the block grid of the sheet
#include <cstdint>
#include <optional>
#include <vector>

#include "geometry/part.hpp"

namespace blocknest {

// The sheet's blocks: rows run along X, columns along Y, a cell is free or taken. Block (R, C)
// is the square of side b centred at (R * b, C * b); row 0 and column 0 are centred on the
// sheet's edges and stick out of it. Each row is held as bits, 64 columns to a word, a set
// bit taken; the bits past the last column are set, so they never look free. Cells only ever
// become taken; each row's free count and the first row with a free cell follow every take.
class SheetBitmap {
public:
    SheetBitmap() = default;
    SheetBitmap(int rows, int cols);  // every cell free

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    bool empty() const { return rows_ <= 0 || cols_ <= 0; }
    std::uint8_t at(int r, int c) const { return (word(r, c) >> (c & 63)) & 1U; }  // 1 taken
    void take(int r, int c);

    int wordsPerRow() const { return wordsPerRow_; }
    const std::uint64_t* rowWords(int r) const { return &words_[index(r, 0)]; }
    int freeCount(int r) const { return freeCounts_[static_cast<std::size_t>(r)]; }
    int firstOpenRow() const { return firstOpenRow_; }  // rows() when every cell is taken

    bool operator==(const SheetBitmap& other) const {
        return rows_ == other.rows_ && cols_ == other.cols_ && words_ == other.words_;
    }

private:
    std::size_t index(int r, int c) const {
        return static_cast<std::size_t>(r) * wordsPerRow_ + static_cast<std::size_t>(c >> 6);
    }
    std::uint64_t word(int r, int c) const { return words_[index(r, c)]; }

    int rows_ = 0;
    int cols_ = 0;
    int wordsPerRow_ = 0;
    std::vector<std::uint64_t> words_;
    std::vector<int> freeCounts_;
    int firstOpenRow_ = 0;
};

// The sheet rectangle from (0, 0) to (length, width) and its block grid.
struct Sheet {
    double length = 6000;
    double width = 4000;
    double blockSideLength = 15;
    SheetBitmap bitmap;
    // Shapes fixed on the sheet that no part may overlap, in sheet coordinates, both absent on
    // a plain rectangle: the outside of an irregular outline, as a part around the rectangle
    // whose one hole is the outline, and the defects, as parts without holes. Their blocks
    // are taken in the grid once they are marked (packing/sheet_marking.hpp).
    std::optional<Part> outside;
    std::vector<Part> defects;
};

struct GridSize {
    int rows = 0;  // trunc(length / b) + 2
    int cols = 0;  // trunc(width / b) + 2
};

// The grid size for a sheet, or nothing when a count would not fit the grid's 32-bit counts
// or the grid would hold more than maxCells cells. Needs a positive finite block side.
[[nodiscard]] std::optional<GridSize> sheetGridSize(double sheetLength, double sheetWidth,
                                                    double blockSideLength, std::int64_t maxCells);

// The bytes a grid of that size holds: each row takes whole 64-bit words and a free count,
// however few columns it has.
[[nodiscard]] std::int64_t sheetGridBytes(const GridSize& size);

// Builds the grid: a cell is taken exactly when its block is not wholly inside the closed
// sheet rectangle. Needs a size that sheetGridSize accepts.
[[nodiscard]] SheetBitmap buildSheetBitmap(double sheetLength, double sheetWidth,
                                           double blockSideLength);

// The part that stands for what lies outside the given outlines on a sheet of that size: a
// rectangle well around the sheet with the outlines as its holes. Fixed as the sheet's outside,
// it keeps every part within one of the outlines.
[[nodiscard]] Part makeOutsidePart(const LoopList& outlines, double sheetLength, double sheetWidth);

}  // namespace blocknest
