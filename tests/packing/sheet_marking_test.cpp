#include "packing/sheet_marking.hpp"

#include <gtest/gtest.h>

#include <random>

#include "geometry/predicates.hpp"
#include "raster/pixelize.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

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

// The marking exactly as defined, block by block over the whole grid.
void markLiterally(Sheet& sheet, const Part& part) {
    const double bs = sheet.blockSideLength;
    const double halfBlock = bs * 0.5;
    const BoundingBox& box = part.bounds();
    std::vector<Vertex> vertices;
    for (const Vertex& v : part.outerLoop().vertices()) vertices.push_back(v);
    for (const Loop& hole : part.innerLoops()) {
        for (const Vertex& v : hole.vertices()) vertices.push_back(v);
    }
    for (int r = 0; r < sheet.bitmap.rows(); ++r) {
        if ((r + 0.5) * bs < box.minX) continue;
        if ((r - 0.5) * bs > box.maxX) break;
        for (int c = 0; c < sheet.bitmap.cols(); ++c) {
            if ((c + 0.5) * bs < box.minY) continue;
            if ((c - 0.5) * bs > box.maxY) break;
            if (sheet.bitmap.at(r, c) == 1) continue;
            const double x0 = r * bs - halfBlock;
            const double x1 = r * bs + halfBlock;
            const double y0 = c * bs - halfBlock;
            const double y1 = c * bs + halfBlock;
            bool covered = pointInPart({x0, y0}, part) || pointInPart({x1, y0}, part) ||
                           pointInPart({x1, y1}, part) || pointInPart({x0, y1}, part);
            for (const Vertex& v : vertices) {
                covered = covered || (x0 <= v.x && v.x <= x1 && y0 <= v.y && v.y <= y1);
            }
            if (covered) sheet.bitmap.take(r, c);
        }
    }
}

TEST(SheetMarkingEquivalenceTest, MarksWhatTheBlockByBlockRuleMarks) {
    std::mt19937 random(8);
    RecordingConsole console;
    int marked = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const bool onGrid = trial % 2 == 0;
        auto coordinate = [&] {
            return onGrid ? 1 + static_cast<double>(random() % 25) * 0.5
                          : 1 + 12 * std::uniform_real_distribution<double>(0, 1)(random);
        };
        const Part part = randomPart(random, coordinate, 7);
        Sheet fast;
        fast.length = 16;
        fast.width = 16;
        fast.blockSideLength = onGrid ? 0.5 * (1 + random() % 3) : 0.3 + random() % 3 * 0.45;
        const int blocks = static_cast<int>(16 / fast.blockSideLength) + 2;
        fast.bitmap = SheetBitmap(blocks, blocks);
        for (int k = 0; k < 20; ++k) {
            fast.bitmap.take(static_cast<int>(random() % blocks),
                             static_cast<int>(random() % blocks));
        }
        Sheet literal = fast;
        markPartOnSheet(fast, part, console);
        markLiterally(literal, part);
        ASSERT_TRUE(fast.bitmap == literal.bitmap) << "trial " << trial;
        for (int r = 0; r < blocks; ++r) {
            for (int c = 0; c < blocks; ++c) marked += fast.bitmap.at(r, c);
        }
    }
    EXPECT_GT(marked, 3000);
}

}  // namespace
}  // namespace blocknest
