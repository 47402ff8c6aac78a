#include "packing/sheet_marking.hpp"

#include <gtest/gtest.h>

#include "raster/pixelize.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

std::string picture(const SheetBitmap& bitmap) {
    std::string text;
    for (int r = 0; r < bitmap.rows(); ++r) {
        for (int c = 0; c < bitmap.cols(); ++c) text += bitmap.at(r, c) ? '#' : '.';
        text += '\n';
    }
    return text;
}

class SheetMarkingTest : public testing::Test {
protected:
    SheetMarkingTest() {
        sheet_.length = 20;
        sheet_.width = 20;
        sheet_.blockSideLength = 2;
        sheet_.bitmap = SheetBitmap(11, 11);  // no frame, so every mark shows
    }
    void mark(const Part& part) { markPartOnSheet(sheet_, part, console_); }
    Sheet sheet_;
    RecordingConsole console_;
};

TEST_F(SheetMarkingTest, ABlockInsideAHoleStaysFree) {
    // Blocks are centred on even coordinates; block (4, 4) spans 7..9 on both axes, inside the
    // hole 6..10, which has no vertex in it.
    mark(makePart("F", {{3, 3}, {13, 3}, {13, 13}, {3, 13}},
                  {{{6, 6}, {10, 6}, {10, 10}, {6, 10}}}));
    EXPECT_EQ(sheet_.bitmap.at(4, 4), 0);
    EXPECT_EQ(sheet_.bitmap.at(2, 4), 1);
    EXPECT_EQ(sheet_.bitmap.at(3, 3), 1) << "the hole's vertex (6, 6) lies in block (3, 3)";
    EXPECT_TRUE(console_.out.empty());
}

TEST_F(SheetMarkingTest, AThinStripThroughACentreLeavesTheBlockFree) {
    // A horizontal strip at Y 7.9 .. 8.1 across block row 4 (X 7 .. 9), with its vertices far off.
    const Part strip = makePart("S", {{3.5, 7.9}, {12.5, 7.9}, {12.5, 8.1}, {3.5, 8.1}});
    mark(strip);
    EXPECT_EQ(sheet_.bitmap.at(4, 4), 0) << "no corner inside and no vertex in the square";
    EXPECT_EQ(sheet_.bitmap.at(2, 4), 1) << "the block holding the vertex (3.5, 7.9)";
    // The part's own image, which also samples centres, has the crossed blocks occupied.
    Part image = strip;
    image.setBlockSideLength(2);
    pixelize(image, console_);
    for (int r = 0; r < image.bitmap().rows; ++r) EXPECT_EQ(image.bitmap().at(r, 0), 1) << r;
}

TEST_F(SheetMarkingTest, AVertexOnASharedEdgeMarksBothBlocks) {
    // A thin sliver whose tip (9, 8.05) lies on X = 9, the edge between block rows 4 and 5.
    mark(makePart("V", {{4.5, 8}, {9, 8.05}, {4.5, 8.1}}));
    EXPECT_EQ(sheet_.bitmap.at(4, 4), 1);
    EXPECT_EQ(sheet_.bitmap.at(5, 4), 1);
    EXPECT_EQ(sheet_.bitmap.at(6, 4), 0);
}

TEST_F(SheetMarkingTest, OnlyBlocksReachingThePartsBoxChange) {
    mark(makePart("R", {{4.5, 4.5}, {7.5, 4.5}, {7.5, 7.5}, {4.5, 7.5}}));
    EXPECT_EQ(picture(sheet_.bitmap),
              "...........\n"
              "...........\n"
              "..###......\n"
              "..###......\n"
              "..###......\n"
              "...........\n"
              "...........\n"
              "...........\n"
              "...........\n"
              "...........\n"
              "...........\n");
}

TEST_F(SheetMarkingTest, TakenBlocksStayTaken) {
    sheet_.bitmap.take(10, 10);
    mark(makePart("R", {{4.5, 4.5}, {7.5, 4.5}, {7.5, 7.5}, {4.5, 7.5}}));
    mark(makePart("R", {{4.5, 4.5}, {7.5, 4.5}, {7.5, 7.5}, {4.5, 7.5}}));
    EXPECT_EQ(sheet_.bitmap.at(10, 10), 1);
    EXPECT_EQ(sheet_.bitmap.at(3, 3), 1);
}

}  // namespace
}  // namespace blocknest
