#include "search/separation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "job/packing_job.hpp"
#include "output/statistics.hpp"
#include "packing/independent_overlap.hpp"
#include "search/bit_image.hpp"
#include "search/search.hpp"
#include "spacing/gap_check.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::findGapFaults;
using testing_support::findLayoutFaults;
using testing_support::makePart;
using testing_support::outlineDistance;
using testing_support::RecordingConsole;
using testing_support::star;

// Two random parts, the first a star with a star-shaped hole one time in two, the second a
// small star, each turned by a random angle, imaged on a random cell side and laid at random
// cells near each other. The count of shared cells must equal a cell-by-cell count, and when
// it is zero the parts must be apart by an independent check: neither overlapping nor
// touching, a part in the other's hole allowed.
TEST(BitImageTest, SharedCellsMatchACellByCellCountAndCoversKeepPartsApart) {
    std::mt19937 random(20261209);
    std::uniform_real_distribution<double> unit(0, 1);
    int apart = 0;
    int inHole = 0;
    int overlapping = 0;
    for (int round = 0; round < 400; ++round) {
        const double r = 4 + 6 * unit(random);
        std::vector<std::vector<Vertex>> holes;
        if (round % 2 == 0) holes.push_back(star(random, 0, 0, 0.4 * r, 7));
        Part a = makePart("a", star(random, 0, 0, r, 9), holes);
        Part b = makePart("b", star(random, 0, 0, 0.5 + 2 * unit(random), 6));
        a.rotate({0, 0}, 6.3 * unit(random));
        b.rotate({0, 0}, 6.3 * unit(random));
        const double side = 0.1 + 0.6 * unit(random);
        const BitImage ia = makeBitImage(a, side);
        const BitImage ib = makeBitImage(b, side);
        // The cover holds every vertex of the outline.
        for (const Vertex& v : a.outerLoop().vertices()) {
            ASSERT_TRUE(ia.at(static_cast<int>(std::floor((v.x + ia.shiftX) / side)),
                              static_cast<int>(std::floor((v.y + ia.shiftY) / side))));
        }
        // Far from the origin, so that both lie on the checker's sheet.
        const int ax = 1000;
        const int ay = 1000;
        const int bx = ax + std::uniform_int_distribution<int>(-ib.columns, ia.columns)(random);
        const int by = ay + std::uniform_int_distribution<int>(-ib.rows, ia.rows)(random);
        std::int64_t expected = 0;
        for (int x = 0; x < ia.columns; ++x) {
            for (int y = 0; y < ia.rows; ++y) {
                const int u = x + ax - bx;
                const int v = y + ay - by;
                if (ia.at(x, y) && u >= 0 && v >= 0 && u < ib.columns && v < ib.rows &&
                    ib.at(u, v)) {
                    ++expected;
                }
            }
        }
        const std::int64_t shared = sharedCells(ia, ax, ay, ib, bx, by);
        ASSERT_EQ(shared, expected) << "round " << round;
        ASSERT_EQ(sharedCells(ib, bx, by, ia, ax, ay), shared) << "round " << round;
        if (shared > 0) {
            ++overlapping;
            continue;
        }
        ++apart;
        a.translate(ax * side + ia.shiftX, ay * side + ia.shiftY);
        b.translate(bx * side + ib.shiftX, by * side + ib.shiftY);
        const std::vector<std::string> faults = findLayoutFaults({&a, &b}, 1e9, 1e9, 0);
        EXPECT_TRUE(faults.empty()) << "round " << round << ": " << faults.front();
        EXPECT_GT(outlineDistance(a, b), 0) << "round " << round << ": the outlines touch";
        const BoundingBox& p = a.bounds();
        const BoundingBox& q = b.bounds();
        if (q.minX > p.minX && q.maxX < p.maxX && q.minY > p.minY && q.maxY < p.maxY) ++inHole;
    }
    EXPECT_GT(apart, 40);
    EXPECT_GT(overlapping, 40);
    EXPECT_GT(inHole, 0) << "some small parts lie in the hole with no shared cell";
}

// Images of every height from 1 to 130 rows (one, two and three words a column, and the
// heights at the words' borders) filled with random cells, laid over each other at every
// vertical offset where they meet and at several horizontal ones: the word-wise count must be
// the count cell by cell, whichever image comes first.
TEST(BitImageTest, SharedCellsAreCountedRightForEveryHeight) {
    std::mt19937 random(64);
    auto randomImage = [&](int columns, int rows) {
        BitImage image;
        image.columns = columns;
        image.rows = rows;
        image.words = (rows + 63) / 64;
        image.bits.assign(static_cast<std::size_t>(columns * image.words), 0);
        for (int x = 0; x < columns; ++x) {
            for (int y = 0; y < rows; ++y) {
                if (random() % 3 != 0) {
                    image.bits[static_cast<std::size_t>(x * image.words + y / 64)] |=
                        std::uint64_t{1} << (y % 64);
                }
            }
        }
        return image;
    };
    auto byCell = [](const BitImage& a, int ax, int ay, const BitImage& b, int bx, int by) {
        std::int64_t count = 0;
        for (int x = 0; x < a.columns; ++x) {
            for (int y = 0; y < a.rows; ++y) {
                const int u = x + ax - bx;
                const int v = y + ay - by;
                count +=
                    a.at(x, y) && u >= 0 && v >= 0 && u < b.columns && v < b.rows && b.at(u, v);
            }
        }
        return count;
    };
    std::vector<BitImage> images;
    for (int rows = 1; rows <= 130; ++rows) images.push_back(randomImage(3, rows));
    std::int64_t compared = 0;
    for (const BitImage& a : images) {
        for (const BitImage& b : images) {
            // Every vertical offset for the heights at word borders, a few for the others.
            const bool border = b.rows % 64 <= 1 || b.rows % 64 == 63;
            std::vector<int> offsets;
            if (border || a.rows % 64 <= 1 || a.rows % 64 == 63) {
                for (int dy = -b.rows; dy <= a.rows; ++dy) offsets.push_back(dy);
            } else {
                offsets = {-b.rows, -b.rows + 1, -1, 0, 1, a.rows - 1, a.rows};
                for (int k = 0; k < 3; ++k)
                    offsets.push_back(-b.rows + static_cast<int>(random() % (a.rows + b.rows)));
            }
            for (const int dy : offsets) {
                for (const int dx : {-2, 0, 1}) {
                    const std::int64_t expected = byCell(a, 7, 5, b, 7 + dx, 5 + dy);
                    ASSERT_EQ(sharedCells(a, 7, 5, b, 7 + dx, 5 + dy), expected)
                        << "a " << b.rows << "-row image at (" << dx << ", " << dy << ") over a "
                        << a.rows << "-row image";
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 100000);
}

// A job of two frames with star-shaped holes and twelve stars, as a part data file.
std::string starJob(std::mt19937& random) {
    std::uniform_int_distribution<int> points(5, 12);
    std::string text = "SheetLength: 400\nSheetWidth: 75\nPartTypeCount:14\n";
    for (int f = 0; f < 2; ++f) {
        text += testing_support::partBlock("frame" + std::to_string(f), 1,
                                           {{0, 0}, {20, 0}, {20, 20}, {0, 20}},
                                           {star(random, 10, 10, 8.5, points(random))});
    }
    for (int p = 0; p < 12; ++p) {
        text += testing_support::partBlock("star" + std::to_string(p), 2,
                                           star(random, 0, 0, p < 6 ? 2.5 : 6, points(random)));
    }
    return text;
}

std::vector<const Part*> placedParts(const PackingJob& job) {
    std::vector<const Part*> placed;
    for (const Part& part : job.parts()) {
        if (liesOnSheet(part, job.sheetLength(), job.sheetWidth())) placed.push_back(&part);
    }
    return placed;
}

// The whole search on jobs with holes, mirrored in some rounds, with gaps in some, the last two
// with eight turns and the exact phase alone: every written layout passes the independent
// checkers and is never longer than the first phase's best alone (the same first phase: one
// packing run per 500 evaluations, the same seed).
class SeparationRoundTest : public testing::TestWithParam<int> {};

double searchedLength(const std::string& path, int round, bool separate) {
    const double spacing = round % 2 == 0 ? 0 : 0.6;
    PackingJob job;
    job.setRotationCount(round >= 4 ? 8 : 4);
    job.setMirror(round >= 2);
    EXPECT_FALSE(job.loadAndPrepare(path));
    SearchOptions options;
    if (round >= 4) options.exactShare = 1;
    options.evaluations = separate ? 20000 : 40;
    options.separate = separate;
    options.seed = 7 + static_cast<std::uint64_t>(round);
    options.threads = 2;
    RecordingConsole console;
    EXPECT_FALSE(job.searchForLayout(options, console, SearchDisplay::none, {spacing, spacing}));
    job.computeStatistics();
    const std::vector<const Part*> placed = placedParts(job);
    EXPECT_EQ(placed.size(), job.parts().count());
    const std::vector<std::string> faults =
        spacing > 0 ? findGapFaults(placed, 400, 75, spacing, spacing, 1e-7)
                    : findLayoutFaults(placed, 400, 75);
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults, the first: " << faults.front();
    double end = 0;
    for (const Part* part : placed) end = std::max(end, part->outerLoop().bounds().maxX);
    EXPECT_EQ(job.statistics().packedLength, end) << "the report tells the layout";
    return end;
}

TEST_P(SeparationRoundTest, WrittenLayoutsPassIndependentChecksAndNeverLoseToTheFirstPhase) {
    std::mt19937 random(1812 + static_cast<unsigned>(GetParam()));
    testing_support::TempDir dir;
    const std::string path = dir.write("parts.txt", starJob(random)).string();
    const double first = searchedLength(path, GetParam(), false);
    const double whole = searchedLength(path, GetParam(), true);
    EXPECT_LE(whole, first);
}

std::string roundName(const testing::TestParamInfo<int>& info) {
    static const char* const kNames[] = {"Plain",
                                         "Spaced",
                                         "Mirrored",
                                         "MirroredAndSpaced",
                                         "ExactPhaseEightTurnsMirrored",
                                         "ExactPhaseEightTurnsMirroredAndSpaced"};
    return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(StarsAndFrames, SeparationRoundTest, testing::Range(0, 6), roundName);

// With a budget under 1000 evaluations the first phase packs only the one-pass layout, which
// is loose on these jobs: the overlap phase alone must shorten it.
TEST(SeparationTest, TheOverlapPhaseShortensTheOnePassLayout) {
    std::mt19937 random(4);
    int shortened = 0;
    for (int round = 0; round < 3; ++round) {
        testing_support::TempDir dir;
        const std::string path = dir.write("parts.txt", starJob(random)).string();
        PackingJob onePass;
        onePass.setRotationCount(4);
        ASSERT_FALSE(onePass.loadAndPrepare(path));
        RecordingConsole console;
        onePass.packAllParts(console, false);
        onePass.computeStatistics();
        PackingJob searched;
        searched.setRotationCount(4);
        ASSERT_FALSE(searched.loadAndPrepare(path));
        SearchOptions options;
        options.evaluations = 999;
        options.threads = 2;
        ASSERT_FALSE(searched.searchForLayout(options, console, SearchDisplay::none));
        searched.computeStatistics();
        const std::vector<const Part*> placed = placedParts(searched);
        ASSERT_EQ(placed.size(), searched.parts().count());
        const std::vector<std::string> faults = findLayoutFaults(placed, 400, 75);
        EXPECT_TRUE(faults.empty()) << faults.front();
        if (searched.statistics().packedLength < onePass.statistics().packedLength) ++shortened;
    }
    EXPECT_EQ(shortened, 3);
}

// Also with the walks meeting often, a stalled walk taking up the best one's state.
TEST(SeparationTest, AnEvaluationBudgetGivesTheSameLayoutOnAnyThreadCount) {
    std::mt19937 random(33);
    testing_support::TempDir dir;
    const std::string path = dir.write("parts.txt", starJob(random)).string();
    for (const std::int64_t meetEvery : {0, 20}) {
        std::vector<std::vector<double>> layouts;
        for (const int threads : {1, 2, 3}) {
            PackingJob job;
            job.setRotationCount(4);
            ASSERT_FALSE(job.loadAndPrepare(path));
            SearchOptions options;
            options.evaluations = 6000;
            options.seed = 5;
            options.threads = threads;
            options.meetEvery = meetEvery;
            RecordingConsole console;
            ASSERT_FALSE(job.searchForLayout(options, console, SearchDisplay::none));
            std::vector<double> coordinates;
            for (const Part& part : job.parts()) {
                for (const Vertex& v : part.outerLoop().vertices()) {
                    coordinates.push_back(v.x);
                    coordinates.push_back(v.y);
                }
            }
            layouts.push_back(std::move(coordinates));
        }
        EXPECT_EQ(layouts[0], layouts[1]) << "meeting every " << meetEvery;
        EXPECT_EQ(layouts[0], layouts[2]) << "meeting every " << meetEvery;
    }
}

}  // namespace
}  // namespace blocknest
