#include "raster/sheet_bitmap.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

TEST(SheetBitmapTest, FrameIsTakenWhereBlocksStickOutOfTheSheet) {
    const SheetBitmap bitmap = buildSheetBitmap(10, 7, 2);
    EXPECT_EQ(bitmap.rows(), 7);
    EXPECT_EQ(bitmap.cols(), 5);
    EXPECT_EQ(picture(bitmap),
              "#####\n"
              "#...#\n"
              "#...#\n"
              "#...#\n"
              "#...#\n"
              "#####\n"
              "#####\n")
        << "row 5 reaches X = 11, past the sheet; column 3 ends exactly at Y = 7";
}

TEST(SheetBitmapTest, ABlockEndingExactlyOnTheSheetEdgeIsFree) {
    const SheetBitmap bitmap = buildSheetBitmap(11, 7, 2);
    EXPECT_EQ(bitmap.rows(), 7);
    for (int c = 1; c <= 3; ++c) EXPECT_EQ(bitmap.at(5, c), 0) << "row 5 ends at X = 11";
    EXPECT_EQ(bitmap.at(6, 2), 1);
}

TEST(SheetBitmapTest, DefaultSheetWithBlock15) {
    const SheetBitmap bitmap = buildSheetBitmap(6000, 4000, 15);
    ASSERT_EQ(bitmap.rows(), 402);
    ASSERT_EQ(bitmap.cols(), 268);
    int free = 0;
    for (int r = 0; r < bitmap.rows(); ++r) {
        for (int c = 0; c < bitmap.cols(); ++c) {
            const bool inside = r >= 1 && r <= 399 && c >= 1 && c <= 266;
            EXPECT_EQ(bitmap.at(r, c) == 0, inside) << r << "," << c;
            free += bitmap.at(r, c) == 0;
        }
    }
    EXPECT_EQ(free, 399 * 266);
}

TEST(SheetBitmapTest, RowZeroAndColumnZeroAreAlwaysTaken) {
    for (double b : {0.3, 1.0, 7.0, 40.0}) {
        const SheetBitmap bitmap = buildSheetBitmap(100, 60, b);
        for (int c = 0; c < bitmap.cols(); ++c) EXPECT_EQ(bitmap.at(0, c), 1) << b;
        for (int r = 0; r < bitmap.rows(); ++r) EXPECT_EQ(bitmap.at(r, 0), 1) << b;
    }
}

TEST(SheetGridSizeTest, RefusesGridsBeyondTheCountsOrTheCellLimit) {
    const auto size = sheetGridSize(10, 7, 2, 1000);
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(size->rows, 7);
    EXPECT_EQ(size->cols, 5);
    EXPECT_FALSE(sheetGridSize(10, 7, 2, 34).has_value()) << "35 cells exceed 34";
    EXPECT_TRUE(sheetGridSize(10, 7, 2, 35).has_value());
    EXPECT_FALSE(sheetGridSize(1e10, 1, 1, std::int64_t{1} << 40).has_value())
        << "a row count beyond 32 bits";
    EXPECT_FALSE(sheetGridSize(1e300, 1e300, 1e-300, std::int64_t{1} << 40).has_value());
}

TEST(SheetGridSizeTest, EachRowTakesWholeWordsAndACount) {
    EXPECT_EQ(sheetGridBytes({10, 2}), 10 * 12) << "two columns still take a word";
    EXPECT_EQ(sheetGridBytes({10, 64}), 10 * 12);
    EXPECT_EQ(sheetGridBytes({10, 65}), 10 * 20);
    EXPECT_EQ(sheetGridBytes({1'000'000'002, 2}), std::int64_t{12'000'000'024});
    const SheetBitmap grid(10, 65);
    EXPECT_EQ(grid.wordsPerRow(), 2) << "the count above follows the grid's own layout";
}

}  // namespace
}  // namespace blocknest
