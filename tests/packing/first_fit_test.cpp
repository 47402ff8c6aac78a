#include "packing/first_fit.hpp"

#include <gtest/gtest.h>

#include <random>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// A part whose image is given directly: rows of '#' (occupied) and '.' (free).
Part partWithImage(const std::vector<std::string>& rows, double minX = 0, double blockSide = 1) {
    Part part = makePart("P", {{minX, 0}, {minX + 1, 0}, {minX + 1, 1}, {minX, 1}});
    part.setBlockSideLength(blockSide);
    PartBitmap image;
    image.rows = static_cast<int>(rows.size());
    image.cols = static_cast<int>(rows[0].size());
    bool anchored = false;
    for (int r = 0; r < image.rows; ++r) {
        for (int c = 0; c < image.cols; ++c) {
            const bool occupied = rows[r][c] == '#';
            image.cells.push_back(occupied ? 1 : 0);
            if (occupied && !anchored) {
                image.anchorRow = r;
                image.anchorCol = c;
                anchored = true;
            }
        }
    }
    part.setBitmap(image);
    return part;
}

class FirstFitTest : public testing::Test {
protected:
    // A 6 x 5 grid, every block taken but those freed by a test.
    FirstFitTest() {
        sheet_.blockSideLength = 1;
        sheet_.bitmap = SheetBitmap(6, 5);
        for (int r = 0; r < 6; ++r) {
            for (int c = 0; c < 5; ++c) sheet_.bitmap.take(r, c);
        }
    }
    void freeBlock(int r, int c) {
        SheetBitmap fresh(sheet_.bitmap.rows(), sheet_.bitmap.cols());
        for (int i = 0; i < fresh.rows(); ++i) {
            for (int j = 0; j < fresh.cols(); ++j) {
                if (sheet_.bitmap.at(i, j) && !(i == r && j == c)) fresh.take(i, j);
            }
        }
        sheet_.bitmap = fresh;
    }
    Sheet sheet_;
};

TEST_F(FirstFitTest, RowsTakePrecedence) {
    freeBlock(4, 0);
    freeBlock(3, 4);
    const auto fit = findFirstFit(sheet_, partWithImage({"#"}));
    ASSERT_TRUE(fit.has_value());
    EXPECT_EQ(fit->row, 3) << "the end of row 3 comes before row 4, column 0";
    EXPECT_EQ(fit->col, 4);
}

TEST_F(FirstFitTest, OnlyOccupiedPartBlocksMustLieInTheGrid) {
    freeBlock(2, 4);
    EXPECT_FALSE(findFirstFit(sheet_, partWithImage({"##"})).has_value())
        << "the second block would land in column 5, outside the grid";
    EXPECT_TRUE(findFirstFit(sheet_, partWithImage({"#."})).has_value())
        << "an empty block may lie outside";
    freeBlock(1, 4);
    EXPECT_FALSE(fitsAt(sheet_.bitmap, partWithImage({"#", "#"}).bitmap(), 5, 4))
        << "a block below row 5 is outside";
    const auto fit = findFirstFit(sheet_, partWithImage({"#", "#"}));
    ASSERT_TRUE(fit.has_value());
    EXPECT_EQ(fit->row, 1);
}

TEST_F(FirstFitTest, TakenSheetBlocksFailThePosition) {
    freeBlock(2, 2);
    freeBlock(2, 3);
    freeBlock(3, 2);
    EXPECT_FALSE(findFirstFit(sheet_, partWithImage({"##", "##"})).has_value());
    freeBlock(3, 3);
    const auto fit = findFirstFit(sheet_, partWithImage({"##", "##"}));
    ASSERT_TRUE(fit.has_value());
    EXPECT_EQ(fit->row, 2);
    EXPECT_EQ(fit->col, 2);
    const auto shifted = findFirstFit(sheet_, partWithImage({".#", "##"}));
    ASSERT_TRUE(shifted.has_value());
    EXPECT_EQ(shifted->col, 3) << "the anchor is the first occupied block, (0, 1)";
}

TEST_F(FirstFitTest, AnEmptyImageFitsAtTheFirstFreeBlock) {
    freeBlock(4, 1);
    freeBlock(5, 0);
    const auto fit = findFirstFit(sheet_, partWithImage({"..", ".."}));
    ASSERT_TRUE(fit.has_value());
    EXPECT_EQ(fit->row, 4);
    EXPECT_EQ(fit->col, 1);
}

TEST_F(FirstFitTest, NothingFoundWhenEveryBlockIsTaken) {
    EXPECT_FALSE(findFirstFit(sheet_, partWithImage({"#"})).has_value());
}

TEST_F(FirstFitTest, CandidateXFollowsTheCentroid) {
    freeBlock(3, 2);
    freeBlock(4, 2);
    sheet_.blockSideLength = 2;
    // Same image, anchor and block, different centroid: the X differs.
    const Part near = partWithImage({"#"}, 10, 2);
    const Part far = partWithImage({".", "#"}, 10, 2);
    const auto a = findFirstFit(sheet_, near);
    const auto b = findFirstFit(sheet_, far);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->row, 3);
    EXPECT_EQ(b->row, 3);
    EXPECT_EQ(a->candidateX, near.centroid().x - (10 + 0 * 2 - 3 * 2.0));
    EXPECT_EQ(b->candidateX, far.centroid().x - (10 + 1 * 2 - 3 * 2.0));
    EXPECT_NE(a->candidateX, b->candidateX);
}

// The search exactly as defined: every block from (0, 0) in row-major order, a free one
// tested with fitsAt.
std::optional<std::pair<int, int>> scanBlockByBlock(const SheetBitmap& sheet,
                                                    const PartBitmap& image) {
    for (int r = 0; r < sheet.rows(); ++r) {
        for (int c = 0; c < sheet.cols(); ++c) {
            if (sheet.at(r, c) == 0 && fitsAt(sheet, image, r, c)) return std::pair{r, c};
        }
    }
    return std::nullopt;
}

TEST(FirstFitEquivalenceTest, MatchesTheBlockByBlockScanOnRandomGrids) {
    std::mt19937 random(2024);
    int found = 0;
    for (int trial = 0; trial < 1500; ++trial) {
        const int rows = 1 + static_cast<int>(random() % 12);
        const int cols = 1 + static_cast<int>(random() % 140);  // up to three words a row
        const unsigned density = random() % 100;
        Sheet sheet;
        sheet.blockSideLength = 1;
        sheet.bitmap = SheetBitmap(rows, cols);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                if (random() % 100 < density) sheet.bitmap.take(r, c);
            }
        }
        const int imageRows = 1 + static_cast<int>(random() % 5);
        const int imageCols = 1 + static_cast<int>(random() % 70);
        const unsigned fill = random() % 101;
        std::vector<std::string> picture(static_cast<std::size_t>(imageRows));
        for (std::string& line : picture) {
            for (int c = 0; c < imageCols; ++c) line += random() % 100 < fill ? '#' : '.';
        }
        const Part part = partWithImage(picture);
        const auto expected = scanBlockByBlock(sheet.bitmap, part.bitmap());
        const auto fit = findFirstFit(sheet, part);
        ASSERT_EQ(fit.has_value(), expected.has_value()) << "trial " << trial;
        if (fit) {
            ++found;
            EXPECT_EQ(fit->row, expected->first) << "trial " << trial;
            EXPECT_EQ(fit->col, expected->second) << "trial " << trial;
        }
    }
    EXPECT_GT(found, 300) << "the trials should find fits often enough to mean something";
}

TEST(SheetBitmapTakeTest, FreeCountsAndTheFirstOpenRowFollowEveryTake) {
    SheetBitmap grid(3, 70);
    EXPECT_EQ(grid.freeCount(0), 70);
    for (int c = 0; c < 70; ++c) grid.take(0, c);
    EXPECT_EQ(grid.freeCount(0), 0);
    EXPECT_EQ(grid.firstOpenRow(), 1);
    grid.take(2, 69);
    grid.take(2, 69);
    EXPECT_EQ(grid.freeCount(2), 69) << "taking a taken block changes nothing";
    for (int c = 0; c < 70; ++c) grid.take(1, c);
    EXPECT_EQ(grid.firstOpenRow(), 2);
    EXPECT_EQ(grid.at(2, 69), 1);
    EXPECT_EQ(grid.at(2, 68), 0);
}

TEST(FirstFitMemoTest, ResumedSearchesFindWhatAFullScanFinds) {
    std::mt19937 random(99);
    for (int trial = 0; trial < 200; ++trial) {
        Sheet sheet;
        sheet.blockSideLength = 1;
        sheet.bitmap =
            SheetBitmap(8 + static_cast<int>(random() % 10), 1 + static_cast<int>(random() % 90));
        const std::vector<std::vector<std::string>> shapes{{"#"}, {"##", "#."}, {".#", "##", ".#"}};
        FirstFitMemo memo;
        // A run of searches for a few images, the sheet filling up between them as a placed
        // part would fill it.
        for (int step = 0; step < 25; ++step) {
            const Part part = partWithImage(shapes[random() % shapes.size()]);
            const auto fresh = findFirstFit(sheet, part);
            const auto resumed = findFirstFit(sheet, part, memo);
            ASSERT_EQ(resumed.has_value(), fresh.has_value()) << trial << "/" << step;
            if (!fresh) continue;
            ASSERT_EQ(resumed->row, fresh->row) << trial << "/" << step;
            ASSERT_EQ(resumed->col, fresh->col) << trial << "/" << step;
            for (int k = 0; k < 4; ++k) {
                sheet.bitmap.take(static_cast<int>(random() % sheet.bitmap.rows()),
                                  static_cast<int>(random() % sheet.bitmap.cols()));
            }
            sheet.bitmap.take(fresh->row, fresh->col);
        }
    }
}

// Every fit after a refused one, in turn, is the next position the block-by-block scan
// passes, and the memo is not moved by them: a later search still starts where it did.
TEST(FirstFitMemoTest, FitsAfterARefusedPositionFollowTheScanAndLeaveTheMemo) {
    std::mt19937 random(2929);
    for (int trial = 0; trial < 100; ++trial) {
        Sheet sheet;
        sheet.blockSideLength = 1;
        sheet.bitmap =
            SheetBitmap(6 + static_cast<int>(random() % 8), 1 + static_cast<int>(random() % 80));
        for (int k = 0; k < 20; ++k) {
            sheet.bitmap.take(static_cast<int>(random() % sheet.bitmap.rows()),
                              static_cast<int>(random() % sheet.bitmap.cols()));
        }
        const Part part = partWithImage({"##", "#."});
        std::vector<std::pair<int, int>> expected;
        for (int r = 0; r < sheet.bitmap.rows(); ++r) {
            for (int c = 0; c < sheet.bitmap.cols(); ++c) {
                if (fitsAt(sheet.bitmap, part.bitmap(), r, c)) expected.emplace_back(r, c);
            }
        }
        FirstFitMemo memo;
        std::optional<FirstFit> fit = findFirstFit(sheet, part, memo);
        std::size_t i = 0;
        for (; fit; fit = findFirstFitAfter(sheet, part, memo, *fit), ++i) {
            ASSERT_LT(i, expected.size()) << "trial " << trial;
            ASSERT_EQ(std::pair(fit->row, fit->col), expected[i]) << "trial " << trial;
        }
        EXPECT_EQ(i, expected.size()) << "trial " << trial;
        const std::optional<FirstFit> again = findFirstFit(sheet, part, memo);
        ASSERT_EQ(again.has_value(), !expected.empty()) << "trial " << trial;
        if (again) {
            EXPECT_EQ(std::pair(again->row, again->col), expected.front()) << "trial " << trial;
        }
    }
}

}  // namespace
}  // namespace blocknest
