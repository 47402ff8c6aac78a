#include "packing/first_fit.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace blocknest {
namespace {

// One row of a part image with occupied blocks, relative to the anchor: the sheet row it
// lands on is R + rowOffset, and bit k of mask stands for the column C + colOffset + k.
struct PackedRow {
    int rowOffset = 0;
    int colOffset = 0;
    std::vector<std::uint64_t> mask;
};

struct PackedImage {
    std::vector<PackedRow> rows;
    int minRowOffset = 0;
    int maxRowOffset = 0;
    int minColOffset = 0;
    int maxColOffset = 0;
};

PackedImage packImage(const PartBitmap& image) {
    PackedImage packed;
    bool first = true;
    for (int r = 0; r < image.rows; ++r) {
        int lo = -1;
        int hi = -1;
        for (int c = 0; c < image.cols; ++c) {
            if (image.at(r, c) == 0) continue;
            if (lo < 0) lo = c;
            hi = c;
        }
        if (lo < 0) continue;
        PackedRow row;
        row.rowOffset = r - image.anchorRow;
        row.colOffset = lo - image.anchorCol;
        row.mask.assign(static_cast<std::size_t>((hi - lo) / 64 + 1), 0);
        for (int c = lo; c <= hi; ++c) {
            if (image.at(r, c) != 0) row.mask[(c - lo) / 64] |= std::uint64_t{1} << ((c - lo) % 64);
        }
        const int rowEnd = hi - image.anchorCol;
        if (first) {
            packed.minRowOffset = row.rowOffset;
            packed.minColOffset = row.colOffset;
            packed.maxColOffset = rowEnd;
            first = false;
        }
        packed.maxRowOffset = row.rowOffset;
        packed.minColOffset = std::min(packed.minColOffset, row.colOffset);
        packed.maxColOffset = std::max(packed.maxColOffset, rowEnd);
        packed.rows.push_back(std::move(row));
    }
    return packed;
}

// The 64 cells of a sheet row from column start on, a set bit taken; beyond the row's last
// word the bits are 0, where no mask bit ever lies.
std::uint64_t cellsFrom(const std::uint64_t* row, int wordCount, int start) {
    const int w = start >> 6;
    const int shift = start & 63;
    std::uint64_t bits = w < wordCount ? row[w] >> shift : 0;
    if (shift != 0 && w + 1 < wordCount) bits |= row[w + 1] << (64 - shift);
    return bits;
}

bool rowIsClear(const SheetBitmap& grid, int r, int c, const PackedRow& row) {
    const std::uint64_t* words = grid.rowWords(r + row.rowOffset);
    const int start = c + row.colOffset;
    for (std::size_t k = 0; k < row.mask.size(); ++k) {
        const int at = start + static_cast<int>(k) * 64;
        if ((cellsFrom(words, grid.wordsPerRow(), at) & row.mask[k]) != 0) return false;
    }
    return true;
}

// The free columns of row r within [lo, hi], in order, to visit(c) until it returns true.
template <class Visit>
bool forEachFreeColumn(const SheetBitmap& grid, int r, int lo, int hi, Visit visit) {
    const std::uint64_t* words = grid.rowWords(r);
    for (int w = lo >> 6; w <= hi >> 6; ++w) {
        std::uint64_t free = ~words[w];
        if (w == lo >> 6) free &= ~std::uint64_t{0} << (lo & 63);
        if (w == hi >> 6 && (hi & 63) != 63) free &= (std::uint64_t{2} << (hi & 63)) - 1;
        while (free != 0) {
            const int c = w * 64 + std::countr_zero(free);
            if (visit(c)) return true;
            free &= free - 1;
        }
    }
    return false;
}

std::uint64_t imageHash(const PartBitmap& image) {
    std::uint64_t h = 1469598103934665603ULL;
    auto mix = [&](std::uint64_t v) { h = (h ^ v) * 1099511628211ULL; };
    mix(static_cast<std::uint64_t>(image.rows));
    mix(static_cast<std::uint64_t>(image.cols));
    mix(static_cast<std::uint64_t>(image.anchorRow));
    mix(static_cast<std::uint64_t>(image.anchorCol));
    for (std::uint8_t cell : image.cells) mix(cell);
    return h;
}

bool sameImage(const PartBitmap& a, const PartBitmap& b) {
    return a.rows == b.rows && a.cols == b.cols && a.anchorRow == b.anchorRow &&
           a.anchorCol == b.anchorCol && a.cells == b.cells;
}

}  // namespace

FirstFitMemo::Start& FirstFitMemo::startFor(const PartBitmap& image) {
    unkept_ = {};
    if (cells_ + image.cells.size() > kMaxCells) {
        // Kept already, or never to be kept; a large image is not worth hashing to find out.
        if (image.cells.size() > kMaxCells) return unkept_;
        const auto it = entries_.find(imageHash(image));
        if (it != entries_.end()) {
            for (Entry& entry : it->second) {
                if (sameImage(entry.image, image)) return entry.start;
            }
        }
        return unkept_;
    }
    std::vector<Entry>& bucket = entries_[imageHash(image)];
    for (Entry& entry : bucket) {
        if (sameImage(entry.image, image)) return entry.start;
    }
    cells_ += image.cells.size();
    bucket.push_back({image, Start{}});
    return bucket.back().start;
}

bool fitsAt(const SheetBitmap& sheet, const PartBitmap& image, int row, int col) {
    for (int r = 0; r < image.rows; ++r) {
        for (int c = 0; c < image.cols; ++c) {
            if (image.at(r, c) == 0) continue;
            const int g = row - image.anchorRow + r;
            const int h = col - image.anchorCol + c;
            if (g < 0 || g >= sheet.rows() || h < 0 || h >= sheet.cols()) return false;
            if (sheet.at(g, h) != 0) return false;
        }
    }
    return true;
}

std::optional<FirstFit> findFirstFit(const Sheet& sheet, const Part& part) {
    FirstFitMemo memo;
    return findFirstFit(sheet, part, memo);
}

namespace {

// The scan of findFirstFit from the position (startRow, startCol) on, in row-major order.
std::optional<FirstFit> scanFrom(const Sheet& sheet, const Part& part, int startRow, int startCol) {
    const PartBitmap& image = part.bitmap();
    const double base = part.bounds().minX + image.anchorRow * part.blockSideLength();
    const SheetBitmap& grid = sheet.bitmap;
    const PackedImage packed = packImage(image);
    // Outside these bounds some occupied block would leave the grid; the rows before the
    // first open row have no free block at all.
    int firstRow = grid.firstOpenRow();
    int lastRow = grid.rows() - 1;
    int firstCol = 0;
    int lastCol = grid.cols() - 1;
    if (!packed.rows.empty()) {
        firstRow = std::max(firstRow, -packed.minRowOffset);
        lastRow -= packed.maxRowOffset;
        firstCol = std::max(0, -packed.minColOffset);
        lastCol -= packed.maxColOffset;
    }
    if (firstCol > lastCol) return std::nullopt;
    if (startRow > firstRow) firstRow = startRow;
    const int resumeCol = startRow == firstRow ? startCol : 0;
    // Positions mostly fail on the same image row as the position before them, so that row is
    // tested first; the order of the tests does not change whether all of them pass.
    std::size_t lastFailed = 0;
    const std::size_t rowCount = packed.rows.size();
    std::optional<FirstFit> found;
    for (int r = firstRow; r <= lastRow && !found; ++r) {
        if (grid.freeCount(r) == 0) continue;
        const int from = r == firstRow ? std::max(firstCol, resumeCol) : firstCol;
        forEachFreeColumn(grid, r, from, lastCol, [&](int c) {
            for (std::size_t k = 0; k < rowCount; ++k) {
                const std::size_t i = (lastFailed + k) % rowCount;
                if (!rowIsClear(grid, r, c, packed.rows[i])) {
                    lastFailed = i;
                    return false;
                }
            }
            found = FirstFit{part.centroid().x - (base - r * sheet.blockSideLength), r, c};
            return true;
        });
    }
    return found;
}

}  // namespace

std::optional<FirstFit> findFirstFit(const Sheet& sheet, const Part& part, FirstFitMemo& memo) {
    FirstFitMemo::Start& memoStart = memo.startFor(part.bitmap());
    const FirstFitMemo::Start start = memoStart;
    if (start.exhausted) return std::nullopt;
    // Every position before the memo's start failed for this image on an earlier, freer sheet.
    const std::optional<FirstFit> found = scanFrom(sheet, part, start.row, start.col);
    memoStart = found ? FirstFitMemo::Start{found->row, found->col, false}
                      : FirstFitMemo::Start{0, 0, true};
    return found;
}

std::optional<FirstFit> findFirstFitAfter(const Sheet& sheet, const Part& part, FirstFitMemo& memo,
                                          const FirstFit& after) {
    const FirstFitMemo::Start start = memo.startFor(part.bitmap());
    if (start.exhausted) return std::nullopt;
    int row = after.row;
    int col = after.col + 1;
    if (start.row > row || (start.row == row && start.col > col)) {
        row = start.row;
        col = start.col;
    }
    return scanFrom(sheet, part, row, col);
}

}  // namespace blocknest
