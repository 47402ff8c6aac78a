#pragma once  // packing/first_fit.hpp: the first block position where a part's image fits
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "geometry/part.hpp"
#include "raster/sheet_bitmap.hpp"

namespace blocknest {

// A found position: the sheet block (row, col) under the part's anchor block, and the X the
// part's centroid would have with the anchor block's centre on that block's centre.
struct FirstFit {
    double candidateX = 0;
    int row = 0;
    int col = 0;
};

// Remembers, for each block image searched on one sheet, where its last search ended. The
// sheet's blocks only ever become taken, so a position where an image did not fit stays
// unusable for it, and the next search for an equal image may start where the last one
// found its fit. Valid for one sheet only.
class FirstFitMemo {
public:
    struct Start {
        int row = 0;
        int col = 0;
        bool exhausted = false;  // the last search found nothing
    };
    // Where the next search for the image starts, (0, 0) when it was never searched; the
    // search writes where it ended into it. An image too large to keep gets a slot that is
    // forgotten at the next call.
    [[nodiscard]] Start& startFor(const PartBitmap& image);

private:
    struct Entry {
        PartBitmap image;
        Start start;
    };
    static constexpr std::size_t kMaxCells = 64u << 20;  // bounds the memory held
    std::unordered_map<std::uint64_t, std::vector<Entry>> entries_;
    std::size_t cells_ = 0;
    Start unkept_;
};

// True when every occupied block of the part's image, laid with its anchor on (row, col),
// lands inside the grid on a free block. Tests one block at a time.
[[nodiscard]] bool fitsAt(const SheetBitmap& sheet, const PartBitmap& image, int row, int col);

// The first free block in row-major order (rows along X first) at which the pixelized part
// fits as fitsAt says. Works on whole words of the grid's rows: the result is the one a
// block-by-block scan with fitsAt from block (0, 0) would find.
[[nodiscard]] std::optional<FirstFit> findFirstFit(const Sheet& sheet, const Part& part);

// The same, starting where the memo says this image's last search ended, and remembering
// where this one ends. memo must have seen only searches on this sheet.
[[nodiscard]] std::optional<FirstFit> findFirstFit(const Sheet& sheet, const Part& part,
                                                   FirstFitMemo& memo);

// The first fit after the position `after` (and no earlier than the memo's start), for a part
// whose exact outline was refused there; the memo is left as it is, since the positions
// skipped were refused for this outline, not for every part of this image.
[[nodiscard]] std::optional<FirstFit> findFirstFitAfter(const Sheet& sheet, const Part& part,
                                                        FirstFitMemo& memo, const FirstFit& after);

}  // namespace blocknest
