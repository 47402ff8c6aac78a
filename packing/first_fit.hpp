#pragma once  // packing/first_fit.hpp: the first block position where a part's image fits
#include <optional>

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

// True when every occupied block of the part's image, laid with its anchor on (row, col),
// lands inside the grid on a free block.
[[nodiscard]] bool fitsAt(const SheetBitmap& sheet, const PartBitmap& image, int row, int col);

// Scans the sheet in row-major order (rows along X first) for the first free block where the
// pixelized part fits.
[[nodiscard]] std::optional<FirstFit> findFirstFit(const Sheet& sheet, const Part& part);

}  // namespace blocknest
