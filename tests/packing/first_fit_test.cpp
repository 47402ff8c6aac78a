#include "packing/first_fit.hpp"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace blocknest
