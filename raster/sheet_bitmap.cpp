#include "raster/sheet_bitmap.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace blocknest {

SheetBitmap::SheetBitmap(int rows, int cols)
    : rows_(rows),
      cols_(cols),
      wordsPerRow_((cols + 63) / 64),
      words_(static_cast<std::size_t>(rows) * wordsPerRow_, 0),
      freeCounts_(static_cast<std::size_t>(rows), cols) {
    assert(rows > 0 && cols > 0);
    if (cols % 64 != 0) {
        const std::uint64_t padding = ~std::uint64_t{0} << (cols % 64);
        for (int r = 0; r < rows; ++r) words_[index(r, cols - 1)] |= padding;
    }
}

void SheetBitmap::take(int r, int c) {
    std::uint64_t& w = words_[index(r, c)];
    const std::uint64_t bit = std::uint64_t{1} << (c & 63);
    if ((w & bit) != 0) return;
    w |= bit;
    if (--freeCounts_[static_cast<std::size_t>(r)] == 0 && r == firstOpenRow_) {
        while (firstOpenRow_ < rows_ && freeCounts_[static_cast<std::size_t>(firstOpenRow_)] == 0) {
            ++firstOpenRow_;
        }
    }
}

std::optional<GridSize> sheetGridSize(double sheetLength, double sheetWidth, double blockSideLength,
                                      std::int64_t maxCells) {
    const double rowBlocks = std::trunc(sheetLength / blockSideLength);
    const double colBlocks = std::trunc(sheetWidth / blockSideLength);
    constexpr double kLimit = std::numeric_limits<std::int32_t>::max() - 2;
    if (!(rowBlocks >= 0 && rowBlocks <= kLimit && colBlocks >= 0 && colBlocks <= kLimit)) {
        return std::nullopt;
    }
    const GridSize size{static_cast<int>(rowBlocks) + 2, static_cast<int>(colBlocks) + 2};
    if (static_cast<std::int64_t>(size.rows) * size.cols > maxCells) return std::nullopt;
    return size;
}

std::int64_t sheetGridBytes(const GridSize& size) {
    const std::int64_t wordsPerRow = (std::int64_t{size.cols} + 63) / 64;
    return std::int64_t{size.rows} *
           (wordsPerRow * static_cast<std::int64_t>(sizeof(std::uint64_t)) +
            static_cast<std::int64_t>(sizeof(int)));
}

SheetBitmap buildSheetBitmap(double sheetLength, double sheetWidth, double blockSideLength) {
    const double bs = blockSideLength;
    const double h = bs * 0.5;
    const int lengthBlocks = static_cast<int>(sheetLength / bs);
    const int widthBlocks = static_cast<int>(sheetWidth / bs);
    SheetBitmap bitmap(lengthBlocks + 2, widthBlocks + 2);
    const int lastInnerRow = lengthBlocks - 1;
    const int lastInnerCol = widthBlocks - 1;
    auto testBlock = [&](int r, int c) {
        const double x = r * bs;
        const double y = c * bs;
        if (x - h < 0 || x + h > sheetLength || y - h < 0 || y + h > sheetWidth) {
            bitmap.take(r, c);
        }
    };
    // Blocks of the inner range lie wholly on the sheet; only the frame is tested.
    const bool innerColumns = lastInnerCol >= 1;
    for (int r = 0; r < bitmap.rows(); ++r) {
        if (r >= 1 && r <= lastInnerRow && innerColumns) {
            testBlock(r, 0);
            for (int c = lastInnerCol + 1; c < bitmap.cols(); ++c) testBlock(r, c);
        } else {
            for (int c = 0; c < bitmap.cols(); ++c) testBlock(r, c);
        }
    }
    return bitmap;
}

Part makeOutsidePart(const LoopList& outlines, double sheetLength, double sheetWidth) {
    // Far enough out that no pose a part can take on the sheet reaches beyond it.
    const double around = std::max(sheetLength, sheetWidth) + 1;
    Loop box;
    box.setVertices({{-around, -around},
                     {sheetLength + around, -around},
                     {sheetLength + around, sheetWidth + around},
                     {-around, sheetWidth + around}});
    Part outside;
    outside.setShape("sheet outside", outlines, box);
    return outside;
}

}  // namespace blocknest
