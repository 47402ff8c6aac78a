#include "spacing/clearance.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "job/packing_job.hpp"
#include "spacing/gap_check.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::findGapFaults;
using testing_support::makePart;
using testing_support::outlineDistance;
using testing_support::RecordingConsole;
using testing_support::star;

// Gaps may fall short of the asked ones by this much, in drawing units: the rounding of the
// moves that bring a part to its place.
constexpr double kTolerance = 1e-7;

std::vector<const Part*> partsOnSheet(const PackingJob& job) {
    std::vector<const Part*> placed;
    for (const Part& p : job.parts()) {
        const BoundingBox& b = p.outerLoop().bounds();
        if (b.minX >= 0 && b.maxX <= job.sheetLength() && b.minY >= 0 &&
            b.maxY <= job.sheetWidth()) {
            placed.push_back(&p);
        }
    }
    return placed;
}

// How many of the placed parts lie in a hole of another placed part.
int partsInHoles(const std::vector<const Part*>& placed) {
    int count = 0;
    for (const Part* inner : placed) {
        for (const Part* outer : placed) {
            const BoundingBox& a = inner->bounds();
            const BoundingBox& b = outer->bounds();
            if (inner != outer && !outer->innerLoops().empty() && a.minX > b.minX &&
                a.maxX < b.maxX && a.minY > b.minY && a.maxY < b.maxY) {
                ++count;
            }
        }
    }
    return count;
}

struct InstanceCase {
    const char* name;
    double spacingShare;  // of the sheet width
};

class SpacedInstanceTest : public testing::TestWithParam<InstanceCase> {};

TEST_P(SpacedInstanceTest, EveryGapHolds) {
    PackingJob job;
    job.setRotationCount(4);
    ASSERT_FALSE(job.loadAndPrepare(std::string("instances/") + GetParam().name + ".txt"));
    const double spacing = job.sheetWidth() * GetParam().spacingShare;
    const double margin = spacing * 1.5;
    RecordingConsole console;
    ASSERT_FALSE(job.packLayout({spacing, margin}, console, false));
    const std::vector<const Part*> placed = partsOnSheet(job);
    EXPECT_GT(placed.size(), job.parts().count() / 2) << "most parts are placed";
    const std::vector<std::string> faults =
        findGapFaults(placed, job.sheetLength(), job.sheetWidth(), spacing, margin, kTolerance);
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults, the first: " << faults.front();
}

INSTANTIATE_TEST_SUITE_P(
    Benchmarks, SpacedInstanceTest,
    testing::Values(InstanceCase{"dighe1", 0.005}, InstanceCase{"dighe1", 0.01},
                    InstanceCase{"dighe1", 0.02}, InstanceCase{"han", 0.005},
                    InstanceCase{"han", 0.01}, InstanceCase{"han", 0.02},
                    InstanceCase{"poly1a", 0.005}, InstanceCase{"poly1a", 0.01},
                    InstanceCase{"poly1a", 0.02}),
    [](const testing::TestParamInfo<InstanceCase>& info) {
        return std::string(info.param.name) + "_" +
               std::to_string(static_cast<int>(info.param.spacingShare * 1000)) + "permille";
    });

TEST(SpacedRandomPartsTest, ConcavePartsAndPartsInHolesKeepTheGaps) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> points(5, 12);
    int inHoles = 0;
    for (int round = 0; round < 6; ++round) {
        const double spacing = 0.3 + 0.2 * round;
        std::string text = "SheetLength: 400\nSheetWidth: 90\nPartTypeCount:14\n";
        // Frames with a star-shaped hole, large enough to take small parts with their gaps.
        for (int f = 0; f < 2; ++f) {
            text += testing_support::partBlock("frame" + std::to_string(f), 1,
                                               {{0, 0}, {40, 0}, {40, 40}, {0, 40}},
                                               {star(random, 20, 20, 17, points(random))});
        }
        for (int p = 0; p < 12; ++p) {
            const double radius = p < 6 ? 2.5 : 7;
            text += testing_support::partBlock("star" + std::to_string(p), 2,
                                               star(random, 0, 0, radius, points(random)));
        }
        testing_support::TempDir dir;
        PackingJob job;
        job.setRotationCount(4);
        job.setMirror(round >= 3);
        ASSERT_FALSE(job.loadAndPrepare(dir.write("parts.txt", text).string()));
        RecordingConsole console;
        const double margin = round % 2 == 0 ? 0 : 2;
        ASSERT_FALSE(job.packLayout({spacing, margin}, console, false));
        const std::vector<const Part*> placed = partsOnSheet(job);
        EXPECT_EQ(placed.size(), job.parts().count()) << "the sheet holds every part";
        inHoles += partsInHoles(placed);
        const std::vector<std::string> faults =
            findGapFaults(placed, 400, 90, spacing, margin, kTolerance);
        EXPECT_TRUE(faults.empty()) << "spacing " << spacing << ": " << faults.size()
                                    << " faults, the first: " << faults.front();
    }
    EXPECT_GT(inHoles, 0) << "some parts lie in holes, so the gap to a hole's edge is checked";
}

// Packs 40 random stars with gaps, mirrored and turned, over as many sheets as they need,
// with the one-pass run or a search; every sheet must keep the gaps.
class SpacedSheetsTest : public testing::TestWithParam<bool> {};

TEST_P(SpacedSheetsTest, EverySheetOfAJobOverSeveralKeepsTheGaps) {
    std::mt19937 random(1409);
    std::uniform_real_distribution<double> radius(2, 9);
    std::string text = "SheetLength: 50\nSheetWidth: 35\nPartTypeCount:40\n";
    for (int p = 0; p < 40; ++p) {
        text += testing_support::partBlock("star" + std::to_string(p), 1,
                                           star(random, 0, 0, radius(random), 5 + p % 7));
    }
    testing_support::TempDir dir;
    PackingJob job;
    job.setRotationCount(4);
    job.setSheetCount(0);
    job.setMirror(true);
    ASSERT_FALSE(job.loadAndPrepare(dir.write("parts.txt", text).string()));
    RecordingConsole console;
    SearchOptions search;
    search.evaluations = 150;
    search.threads = 2;
    ASSERT_FALSE(job.packLayout({0.8, 1.2}, console, false, GetParam() ? &search : nullptr));
    job.computeStatistics();
    ASSERT_GE(job.sheets().size(), 2U);
    std::size_t placed = 0;
    for (const SheetLayout& sheet : job.sheets()) {
        std::vector<const Part*> parts;
        for (const Part& p : sheet.parts) parts.push_back(&p);
        placed += parts.size();
        const std::vector<std::string> faults = findGapFaults(parts, 50, 35, 0.8, 1.2, kTolerance);
        EXPECT_TRUE(faults.empty()) << faults.size() << " faults, the first: " << faults.front();
    }
    EXPECT_EQ(placed, 40U);
    EXPECT_EQ(job.partsOnNoSheet().count(), 0U);
}

INSTANTIATE_TEST_SUITE_P(OnePassAndSearch, SpacedSheetsTest, testing::Bool(),
                         [](const auto& info) { return info.param ? "Search" : "OnePass"; });

TEST(SpacedSearchTest, TheSearchPacksTheGrownPartsAndTheGapsHold) {
    for (const char* name : {"han", "poly1a"}) {
        PackingJob job;
        job.setRotationCount(4);
        job.setMirror(true);
        ASSERT_FALSE(job.loadAndPrepare(std::string("instances/") + name + ".txt"));
        const double spacing = job.sheetWidth() * 0.01;
        RecordingConsole console;
        SearchOptions search;
        search.evaluations = 120;
        ASSERT_FALSE(job.searchForLayout(search, console, SearchDisplay::none, {spacing, spacing}));
        const std::vector<const Part*> placed = partsOnSheet(job);
        EXPECT_EQ(placed.size(), job.parts().count()) << name;
        const std::vector<std::string> faults = findGapFaults(
            placed, job.sheetLength(), job.sheetWidth(), spacing, spacing, kTolerance);
        EXPECT_TRUE(faults.empty())
            << name << ": " << faults.size() << " faults, the first: " << faults.front();
    }
}

TEST(GrowPartTest, GrownOutlineKeepsHalfTheSpacingAndStaysSmall) {
    std::mt19937 random(7);
    for (int i = 0; i < 50; ++i) {
        const Part part =
            makePart("p", star(random, 100, -50, 10, 12), {star(random, 100, -50, 3, 6)});
        const double delta = 0.05 + 0.1 * (i % 10);
        const Part grown = growPart(part, delta);
        // The outlines of the part and its grown copy are delta apart (no closer), and not
        // much more than the mitre allows.
        const double distance = outlineDistance(part, grown);
        EXPECT_GE(distance, delta * (1 - 1e-9)) << "round " << i;
        EXPECT_LT(distance, delta * 1.01) << "round " << i;
        EXPECT_LE(grown.outerLoop().vertexCount(), 2 * part.outerLoop().vertexCount());
        EXPECT_GT(grown.netArea(), part.netArea());
    }
}

TEST(GrowPartTest, AHoleNarrowerThanTheSpacingIsDropped) {
    const Part part = makePart("ring", {{0, 0}, {10, 0}, {10, 10}, {0, 10}},
                               {{{2, 2}, {8, 2}, {8, 8}, {2, 8}}, {{4, 9}, {6, 9}, {5, 9.5}}});
    const Part grown = growPart(part, 0.5);
    ASSERT_EQ(grown.innerLoops().count(), 1U) << "the thin hole is gone";
    EXPECT_NEAR(grown.innerLoops().front().area(), 5.0 * 5.0, 1e-6);
    EXPECT_NEAR(grown.outerLoop().area(), 11.0 * 11.0, 1e-6) << "square corners stay square";
    EXPECT_EQ(grown.name(), "ring");
}

TEST(PlacementJobTest, MarginsLargerThanHalfTheSheetAreRefused) {
    PartList parts;
    parts.pushBack(makePart("p", {{0, 0}, {1, 0}, {1, 1}}));
    Sheet sheet;
    sheet.length = 100;
    sheet.width = 20;
    sheet.blockSideLength = 1;
    const auto made = makePlacementJob(parts, sheet, {0, 10});
    ASSERT_TRUE(std::holds_alternative<std::string>(made));
    EXPECT_NE(std::get<std::string>(made).find("margin"), std::string::npos);
    const auto roomy = makePlacementJob(parts, sheet, {4, 1});
    ASSERT_TRUE(std::holds_alternative<PlacementJob>(roomy));
    const PlacementJob& placement = std::get<PlacementJob>(roomy);
    EXPECT_DOUBLE_EQ(placement.sheetOrigin, -1) << "the part may reach past the margin by D/2";
    EXPECT_DOUBLE_EQ(placement.sheet.length, 102);
    EXPECT_DOUBLE_EQ(placement.parts.front().bounds().minX, 102) << "parked past the sheet";
}

}  // namespace
}  // namespace blocknest
