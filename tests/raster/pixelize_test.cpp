#include "raster/pixelize.hpp"

#include <gtest/gtest.h>

#include <random>

#include "geometry/predicates.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// One text row per bitmap row (X), one character per column (Y): '#' occupied, '.' free.
std::string picture(const PartBitmap& bitmap) {
    std::string text;
    for (int r = 0; r < bitmap.rows; ++r) {
        for (int c = 0; c < bitmap.cols; ++c) text += bitmap.at(r, c) ? '#' : '.';
        text += '\n';
    }
    return text;
}

Part pixelized(Part part, double blockSide) {
    RecordingConsole console;
    part.setBlockSideLength(blockSide);
    pixelize(part, console);
    EXPECT_TRUE(console.out.empty()) << "no warning for a consistent part";
    return part;
}

TEST(BlockCountTest, FollowsTheFractionalPart) {
    EXPECT_EQ(blockCountFor(10, 2), 6) << "fraction 0";
    EXPECT_EQ(blockCountFor(5, 2), 3) << "fraction exactly 0.5 adds one";
    EXPECT_EQ(blockCountFor(5.02, 2), 4) << "fraction 0.51 adds two";
    EXPECT_EQ(blockCountFor(0, 2), 1);
}

TEST(PixelizeTest, RectangleIsFullyOccupiedWithAnchorAtTheOrigin) {
    const Part part = pixelized(makePart("R", {{0, 0}, {10, 0}, {10, 5}, {0, 5}}), 2);
    EXPECT_EQ(part.bitmap().rows, 6);
    EXPECT_EQ(part.bitmap().cols, 3);
    EXPECT_EQ(picture(part.bitmap()), "###\n###\n###\n###\n###\n###\n");
    EXPECT_EQ(part.bitmap().anchorRow, 0);
    EXPECT_EQ(part.bitmap().anchorCol, 0);
    // Block (0, 0) is reached through its upper-right corner only.
    EXPECT_FALSE(pointInPart({0, 0}, part));
    EXPECT_FALSE(pointInPart({-1, -1}, part));
    EXPECT_FALSE(pointInPart({1, -1}, part));
    EXPECT_TRUE(pointInPart({1, 1}, part));
    EXPECT_FALSE(pointInPart({-1, 1}, part));
}

TEST(PixelizeTest, HolesFreeOnlyBlocksWhoseSamplesAllLieInThem) {
    const Part part = pixelized(
        makePart("F", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {{{2, 2}, {8, 2}, {8, 8}, {2, 8}}}), 2);
    EXPECT_EQ(picture(part.bitmap()),
              "######\n"
              "######\n"
              "##..##\n"
              "##..##\n"
              "######\n"
              "######\n");
}

TEST(PixelizeTest, RightTriangleFollowsItsHypotenuse) {
    const Part part = pixelized(makePart("T", {{0, 0}, {10, 0}, {0, 10}}), 2);
    EXPECT_EQ(picture(part.bitmap()),
              "######\n"
              "######\n"
              "#####.\n"
              "####..\n"
              "###...\n"
              "##....\n")
        << "column c is occupied in rows 0 .. 6 - c; block (3, 3) through (5, 5) on the "
           "hypotenuse";
}

TEST(PixelizeTest, AVertexOnASharedBlockEdgeOccupiesBothBlocks) {
    // A thin diamond whose side vertices lie on X = 3, the edge between rows 1 and 2; no sample
    // point of those rows lies inside it.
    const Part part = pixelized(makePart("D", {{0, 0}, {3, -0.05}, {6, 0}, {3, 0.05}}), 2);
    ASSERT_EQ(part.bitmap().rows, 4);
    ASSERT_EQ(part.bitmap().cols, 1);
    for (double x : {1.0, 2.0, 3.0, 4.0, 5.0}) {
        for (double y : {-1.05, -0.05, 0.95}) {
            EXPECT_FALSE(pointInPart({x, y}, part)) << "sample (" << x << ", " << y << ")";
        }
    }
    EXPECT_EQ(picture(part.bitmap()), "#\n#\n#\n#\n");
}

TEST(PixelizeTest, RepixelizingReplacesTheImage) {
    Part part = pixelized(makePart("R", {{0, 0}, {10, 0}, {10, 5}, {0, 5}}), 2);
    part.translate(-20, 3);
    part.setBlockSideLength(5);
    RecordingConsole console;
    pixelize(part, console);
    EXPECT_EQ(part.bitmap().rows, 3);
    EXPECT_EQ(part.bitmap().cols, 2);
    EXPECT_EQ(part.bitmap().cells.size(), 6u) << "the old 18 cells are gone";
    EXPECT_EQ(picture(part.bitmap()), "##\n##\n##\n");
}

TEST(GatherVerticesTest, CollectsOuterThenHolesInListOrder) {
    const Part part = makePart("F", {{0, 0}, {10, 0}, {10, 10}, {0, 10}},
                               {{{2, 2}, {3, 2}, {3, 3}}, {{5, 5}, {6, 5}, {6, 6}}});
    std::vector<Vertex> out(10);
    RecordingConsole console;
    gatherVertices(10, part, out, console);
    EXPECT_TRUE(console.out.empty());
    EXPECT_EQ(out[3].x, 0.0);
    EXPECT_EQ(out[4].x, 2.0);
    EXPECT_EQ(out[7].x, 5.0);
    EXPECT_EQ(out[9].y, 6.0);
}

TEST(GatherVerticesTest, AWrongCountWarnsAndNeverWritesPastTheArray) {
    const Part part = makePart("F", {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    std::vector<Vertex> out(3, Vertex{-1, -1});
    RecordingConsole console;
    gatherVertices(3, part, std::span<Vertex>(out.data(), 3), console);
    EXPECT_EQ(console.out, "<2>\n") << "the vertex-count warning on standard output";
    EXPECT_EQ(console.pauses, 1);
    EXPECT_EQ(out[2].x, 10.0);
    std::vector<Vertex> larger(6, Vertex{-1, -1});
    gatherVertices(6, part, larger, console);
    EXPECT_EQ(larger[4].x, -1.0) << "only the vertices that exist are copied";
}

TEST(PixelizeMemoTest, EqualPosesShareAnImageAndOthersGetTheirOwn) {
    PixelizeMemo memo;
    RecordingConsole console;
    Part a = makePart("A", {{0, 0}, {10, 0}, {0, 10}});
    a.setBlockSideLength(2);
    Part copy = a;
    Part moved = a;
    moved.translate(0.3, 0);
    Part finer = a;
    finer.setBlockSideLength(1);
    for (Part* part : {&a, &copy, &moved, &finer}) {
        Part direct = *part;
        pixelize(direct, console);
        memo.pixelize(*part, console);
        EXPECT_EQ(part->bitmap().cells, direct.bitmap().cells) << part->name();
        EXPECT_EQ(part->bitmap().rows, direct.bitmap().rows);
        EXPECT_EQ(part->bitmap().anchorCol, direct.bitmap().anchorCol);
    }
    EXPECT_NE(finer.bitmap().rows, a.bitmap().rows);
}

TEST(PixelizeEquivalenceTest, TheFastImageIsTheBlockByBlockImage) {
    std::mt19937 random(31);
    std::uniform_real_distribution<double> unit(0, 1);
    RecordingConsole console;
    int occupied = 0;
    int free = 0;
    for (int trial = 0; trial < 500; ++trial) {
        // Half the trials on a grid of halves, so that vertices and edges meet block edges.
        const bool onGrid = trial % 2 == 0;
        auto coordinate = [&] {
            return onGrid ? static_cast<double>(random() % 21) * 0.5 : 10 * unit(random);
        };
        Part fast = randomPart(random, coordinate, 8);
        fast.rotate({0, 0}, trial % 5 == 0 ? 0.7 : 0.0);
        fast.setBlockSideLength(onGrid ? 0.5 * (1 + random() % 4) : 0.2 + 2 * unit(random));
        Part reference = fast;
        pixelize(fast, console);
        std::vector<Vertex> vertices(static_cast<std::size_t>(reference.totalVertexCount()));
        gatherVertices(reference.totalVertexCount(), reference, vertices, console);
        pixelizeBySamplingEachBlock(reference, vertices);
        ASSERT_EQ(fast.bitmap().cells, reference.bitmap().cells) << "trial " << trial;
        ASSERT_EQ(fast.bitmap().anchorRow, reference.bitmap().anchorRow);
        ASSERT_EQ(fast.bitmap().anchorCol, reference.bitmap().anchorCol);
        for (std::uint8_t cell : fast.bitmap().cells) (cell != 0 ? occupied : free)++;
    }
    EXPECT_GT(free, 2000) << "images with free blocks, not only full ones";
    EXPECT_GT(occupied, 2000);
}

TEST(OccupiedSpanTest, AgreesWithTheSpansOfTheWholeImage) {
    std::mt19937 random(41);
    std::uniform_real_distribution<double> unit(0, 1);
    RecordingConsole console;
    int refused = 0;
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<Vertex> outer;
        for (int i = 3 + static_cast<int>(random() % 6); i > 0; --i) {
            outer.push_back({20 * unit(random), 12 * unit(random)});
        }
        Part part = makePart("P", outer);
        part.setBlockSideLength(0.3 + unit(random));
        const int maxRows = 1 + static_cast<int>(random() % 40);
        const int maxCols = 1 + static_cast<int>(random() % 30);
        const bool within = !occupiedSpanExceeds(part, maxRows, maxCols);
        pixelize(part, console);
        const PartBitmap& image = part.bitmap();
        int firstRow = image.rows, lastRow = -1, firstCol = image.cols, lastCol = -1;
        for (int r = 0; r < image.rows; ++r) {
            for (int c = 0; c < image.cols; ++c) {
                if (image.at(r, c) == 0) continue;
                firstRow = std::min(firstRow, r);
                lastRow = std::max(lastRow, r);
                firstCol = std::min(firstCol, c);
                lastCol = std::max(lastCol, c);
            }
        }
        const bool expected =
            lastRow - firstRow + 1 <= maxRows && lastCol - firstCol + 1 <= maxCols;
        ASSERT_EQ(within, expected) << "trial " << trial;
        refused += !within;
    }
    EXPECT_GT(refused, 50);
}

TEST(OccupiedSpanTest, GivesUpWhenTheBudgetRunsOut) {
    // A triangle whose first row holds its only vertex at minX near the top: finding it takes
    // many block tests.
    Part part = makePart("T", {{0, 99}, {50, 0}, {50, 100}});
    part.setBlockSideLength(0.5);
    EXPECT_TRUE(occupiedSpanExceeds(part, 10, 10));
    EXPECT_FALSE(occupiedSpanExceeds(part, 10, 10, 5)) << "unknown counts as not exceeding";
}

}  // namespace
}  // namespace blocknest
