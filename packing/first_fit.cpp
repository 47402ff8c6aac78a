#include "packing/first_fit.hpp"

namespace blocknest {

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
    const PartBitmap& image = part.bitmap();
    const double base = part.bounds().minX + image.anchorRow * part.blockSideLength();
    const SheetBitmap& grid = sheet.bitmap;
    for (int r = 0; r < grid.rows(); ++r) {
        for (int c = 0; c < grid.cols(); ++c) {
            if (grid.at(r, c) != 0) continue;
            if (fitsAt(grid, image, r, c)) {
                return FirstFit{part.centroid().x - (base - r * sheet.blockSideLength), r, c};
            }
        }
    }
    return std::nullopt;
}

}  // namespace blocknest
