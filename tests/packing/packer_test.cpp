#include "packing/packer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <variant>

#include "input/job_preparation.hpp"
#include "output/statistics.hpp"
#include "packing/first_fit.hpp"
#include "packing/independent_overlap.hpp"
#include "raster/pixelize.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

TEST(ProgressLineTest, SuffixDependsOnTheWholeIndex) {
    EXPECT_EQ(progressLine(1, 30), "Packing the   1st part,  29 parts left.\r");
    EXPECT_EQ(progressLine(2, 30), "Packing the   2nd part,  28 parts left.\r");
    EXPECT_EQ(progressLine(3, 30), "Packing the   3rd part,  27 parts left.\r");
    EXPECT_EQ(progressLine(4, 30), "Packing the   4th part,  26 parts left.\r");
    for (int i : {11, 12, 13, 21, 22, 23, 101}) {
        EXPECT_EQ(progressLine(i, 200).substr(15, 2), "th") << i;
    }
    EXPECT_EQ(progressLine(1234, 1234), "Packing the 1234th part,   0 parts left.\r");
}

TEST(TimingTextTest, OneSecondIsStillMilliseconds) {
    EXPECT_EQ(timingText(1.0L), "(Packing time:1000.00 ms)\n");
    EXPECT_EQ(timingText(1.5L), "(Packing time:1.50 s)\n");
    EXPECT_EQ(timingText(0.0125L), "(Packing time:12.50 ms)\n");
    EXPECT_EQ(timingText(3.14159L), "(Packing time:3.14 s)\n");
}

TEST(RotationStepTest, EqualFractionsGiveEqualTurnsToTheLastBit) {
    EXPECT_EQ((Orientation{2, 4}.angle()), (Orientation{1, 2}.angle()));
    EXPECT_EQ((Orientation{3, 4}.angle()), 3 * rotationStep(4));
    EXPECT_EQ(evenTurns(3).back(), (Orientation{2, 3}));
    EXPECT_EQ((Orientation{3, 4}.degrees()), 270.0);
}

TEST(RotationStepTest, DividesTwoPiInExtendedPrecision) {
    EXPECT_EQ(rotationStep(2), std::acos(-1.0));
    EXPECT_EQ(rotationStep(4), std::acos(-1.0) / 2);
    EXPECT_EQ(rotationStep(3),
              static_cast<double>(static_cast<long double>(2 * std::acos(-1.0)) / 3));
}

class PackerTest : public testing::Test {
protected:
    // Prepares the parts as a run does: ordered, block side derived, sheet built, parked.
    void prepare(double length, double width, std::vector<Part> parts) {
        PartFileContents contents;
        contents.sheetLength = length;
        contents.sheetWidth = width;
        for (Part& p : parts) contents.parts.pushBack(std::move(p));
        auto prepared = prepareJob(std::move(contents), "test");
        ASSERT_TRUE(std::holds_alternative<PreparedJob>(prepared));
        job_ = std::move(std::get<PreparedJob>(prepared));
    }
    std::vector<const Part*> placedParts() const {
        std::vector<const Part*> placed;
        for (const Part& p : job_.parts) {
            if (p.bounds().maxX <= job_.sheet.length) placed.push_back(&p);
        }
        return placed;
    }
    PreparedJob job_;
    RecordingConsole console_;
};

TEST_F(PackerTest, ConsoleShowsStartCountProgressCompletionAndTime) {
    prepare(100, 50, {makePart("A", {{0, 0}, {10, 0}, {10, 10}, {0, 10}})});
    const std::string text = packAllParts(job_.parts, job_.sheet, 2, console_);
    const std::string head =
        "<3>\nPart Number:1\nPacking the   1st part,   0 parts left.\r\nPacking Completed.";
    EXPECT_EQ(console_.out, head + text);
    EXPECT_EQ(text.substr(0, 14), "(Packing time:");
}

TEST_F(PackerTest, AnEmptyListStillPrintsTheTime) {
    const std::string text = packAllParts(job_.parts, job_.sheet, 2, console_);
    EXPECT_EQ(console_.out, "<3>\nPart Number:0\n" + text);
}

TEST_F(PackerTest, NoRotationPlacesNothing) {
    prepare(100, 50, {makePart("A", {{0, 0}, {10, 0}, {10, 10}, {0, 10}})});
    packAllParts(job_.parts, job_.sheet, 0, console_);
    EXPECT_TRUE(placedParts().empty());
    EXPECT_NE(console_.out.find("Packing Completed."), std::string::npos);
}

TEST_F(PackerTest, APartTooLargeForTheSheetStaysParked) {
    prepare(100, 50,
            {makePart("Huge", {{0, 0}, {300, 0}, {300, 20}, {0, 20}}),
             makePart("Small", {{0, 0}, {10, 0}, {10, 10}, {0, 10}})});
    const SheetBitmap before = job_.sheet.bitmap;
    Part& huge = job_.parts.front();
    ASSERT_EQ(huge.name(), "Huge");
    const BoundingBox parked = huge.bounds();
    PackingMemory memory(job_.parts, job_.sheet);
    packPart(huge, job_.sheet, 2, console_, memory);
    EXPECT_EQ(huge.bounds().minX, parked.minX);
    EXPECT_EQ(huge.bounds().maxY, parked.maxY);
    EXPECT_TRUE(huge.bitmap().empty());
    EXPECT_TRUE(job_.sheet.bitmap == before) << "the sheet grid is unchanged";
}

TEST_F(PackerTest, APlacedPartIsCompactedMarkedAndHoldsNoBitmap) {
    prepare(100, 50, {makePart("A", {{0, 0}, {10, 0}, {10, 10}, {0, 10}})});
    Part& part = job_.parts.front();
    PackingMemory memory(job_.parts, job_.sheet);
    packPart(part, job_.sheet, 2, console_, memory);
    EXPECT_GT(part.bounds().minX, 0.0);
    EXPECT_LT(part.bounds().minX, 0.01);
    EXPECT_GE(part.bounds().minY, 0.0);
    EXPECT_LT(part.bounds().minY, 0.01);
    EXPECT_TRUE(part.bitmap().empty());
    EXPECT_EQ(job_.sheet.bitmap.at(1, 1), 1) << "its blocks are taken";
}

// The image's first occupied block is not at its corner: the move to the found position must
// count the anchor's offset on both axes, or the part starts off the sheet and stays there.
TEST_F(PackerTest, AnImageAnchorAwayFromTheCornerPlacesThePartWhereTheBlocksFit) {
    prepare(100, 60,
            {makePart("Arrow", {{0, 20}, {20, 0}, {20, 40}}),
             makePart("Key", {{0, 0}, {10, 0}, {10, 10}, {0, 10}})});
    PackingMemory memory(job_.parts, job_.sheet);
    Part& arrow = job_.parts.front();
    ASSERT_EQ(arrow.name(), "Arrow");
    packPart(arrow, job_.sheet, 1, console_, memory);
    ASSERT_TRUE(liesOnSheet(arrow, job_.sheet.length, job_.sheet.width));
    EXPECT_LT(arrow.bounds().minX, 0.01);
    EXPECT_LT(arrow.bounds().minY, 0.01);
}

TEST_F(PackerTest, EqualCandidateXKeepsTheLowerOrientation) {
    // A rectangle centred on the origin looks the same after half a turn.
    prepare(100, 50, {makePart("R", {{-5, -2}, {5, -2}, {5, 2}, {-5, 2}})});
    Part& part = job_.parts.front();
    Part turned = part;
    turned.rotate({0, 0}, rotationStep(2));
    Part straight = part;
    pixelize(straight, console_);
    pixelize(turned, console_);
    const auto a = findFirstFit(job_.sheet, straight);
    const auto b = findFirstFit(job_.sheet, turned);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->candidateX, b->candidateX) << "the premise: both orientations tie";
    PackingMemory memory(job_.parts, job_.sheet);
    packPart(part, job_.sheet, 2, console_, memory);
    const Vertex first = part.outerLoop().vertices()[0];
    EXPECT_EQ(first.x, part.bounds().minX) << "vertex 0 is still the lower-left corner";
    EXPECT_EQ(first.y, part.bounds().minY);
}

TEST_F(PackerTest, APartWithItsOwnOrientationsIsPlacedOnlyInThose) {
    // An L whose turned pose lands later than the pose as drawn; limited to the half turn,
    // it must still be placed turned, while its twin without a list takes the pose as drawn.
    const std::vector<Vertex> ell = {{0, 0}, {30, 0}, {30, 5}, {5, 5}, {5, 20}, {0, 20}};
    prepare(200, 60, {makePart("Free", ell), makePart("Turned", ell)});
    Part& limited = job_.parts.back();
    limited.setOrientations({Orientation{1, 2}});
    std::vector<Vertex> drawn = limited.outerLoop().vertices();
    packAllParts(job_.parts, job_.sheet, 2, console_);
    // The placed shape is the list pose turned by the given angle and moved: its edge vectors
    // are those of the turned pose, which differ from the pose as drawn.
    auto edges = [](const std::vector<Vertex>& v) {
        std::vector<std::pair<double, double>> e;
        for (std::size_t i = 0; i + 1 < v.size(); ++i) {
            e.emplace_back(v[i + 1].x - v[i].x, v[i + 1].y - v[i].y);
        }
        return e;
    };
    Part turned = makePart("T", drawn);
    turned.rotate({0, 0}, Orientation{1, 2}.angle());
    const auto placed = edges(limited.outerLoop().vertices());
    const auto expected = edges(turned.outerLoop().vertices());
    ASSERT_EQ(placed.size(), expected.size());
    for (std::size_t i = 0; i < placed.size(); ++i) {
        EXPECT_NEAR(placed[i].first, expected[i].first, 1e-9) << "edge " << i;
        EXPECT_NEAR(placed[i].second, expected[i].second, 1e-9) << "edge " << i;
    }
    EXPECT_EQ(edges(job_.parts.front().outerLoop().vertices()), edges(drawn))
        << "the part without a list keeps the winning pose as drawn";
    EXPECT_EQ(limited.turn(), (Orientation{1, 2})) << "the turn is recorded";
    EXPECT_TRUE(findLayoutFaults(placedParts(), 200, 60).empty());
}

TEST(MirrorTest, AMirroredTurnFlipsAboutTheYAxisFirstAndTwiceIsNoFlip) {
    const Part drawn = makePart("L", {{1, 0}, {30, 0}, {30, 5}, {6, 5}, {6, 20}, {1, 20}});
    Part flipped = drawn;
    flipped.applyTurn({1, 4, true});
    Part expected = drawn;
    expected.mirror();
    EXPECT_EQ(expected.bounds().minX, -30);
    EXPECT_EQ(expected.bounds().maxX, -1);
    EXPECT_EQ(expected.centroid().x, -drawn.centroid().x);
    expected.rotate({0, 0}, Orientation{1, 4}.angle());
    EXPECT_EQ(flipped.outerLoop().vertices().front().x, expected.outerLoop().vertices().front().x);
    EXPECT_EQ(flipped.outerLoop().vertices().front().y, expected.outerLoop().vertices().front().y);
    Part back = expected;
    back.rotate({0, 0}, -Orientation{1, 4}.angle());
    back.mirror();
    EXPECT_NEAR(back.outerLoop().vertices()[2].x, 30, 1e-12);
    EXPECT_NEAR(back.netArea(), drawn.netArea(), 1e-9);
    EXPECT_EQ(withMirrored(evenTurns(2)),
              (std::vector<Orientation>{{0, 2}, {1, 2}, {0, 2, true}, {1, 2, true}}));
}

TEST_F(PackerTest, AMirroredOrientationPlacesTheFlippedPart) {
    // Limited to the mirrored pose, an L is placed flipped: its edge vectors are the drawn
    // ones with X negated.
    const std::vector<Vertex> ell = {{0, 0}, {30, 0}, {30, 5}, {5, 5}, {5, 20}, {0, 20}};
    prepare(200, 60, {makePart("Flipped", ell)});
    Part& part = job_.parts.front();
    const std::vector<Vertex> drawn = part.outerLoop().vertices();
    part.setOrientations({Orientation{0, 1, true}});
    packAllParts(job_.parts, job_.sheet, 2, console_, false);
    const std::vector<Vertex>& placed = part.outerLoop().vertices();
    ASSERT_EQ(placed.size(), drawn.size());
    for (std::size_t i = 0; i + 1 < placed.size(); ++i) {
        EXPECT_NEAR(placed[i + 1].x - placed[i].x, -(drawn[i + 1].x - drawn[i].x), 1e-9);
        EXPECT_NEAR(placed[i + 1].y - placed[i].y, drawn[i + 1].y - drawn[i].y, 1e-9);
    }
    EXPECT_TRUE(part.turn().mirrored);
    EXPECT_EQ(placedParts().size(), 1U);
}

TEST_F(PackerTest, ASmallPartLandsInALargePartsHoleWhenThatFitsFirst) {
    prepare(200, 60,
            {makePart("Frame", {{0, 0}, {50, 0}, {50, 50}, {0, 50}},
                      {{{5, 5}, {45, 5}, {45, 45}, {5, 45}}}),
             makePart("Chip", {{0, 0}, {20, 0}, {20, 20}, {0, 20}})});
    packAllParts(job_.parts, job_.sheet, 2, console_);
    const Part& frame = job_.parts.front();
    const Part& chip = job_.parts.back();
    ASSERT_EQ(chip.name(), "Chip");
    const BoundingBox& hole = frame.innerLoops().front().bounds();
    EXPECT_GT(chip.bounds().minX, hole.minX) << "inside the hole";
    EXPECT_LT(chip.bounds().maxX, hole.maxX);
    EXPECT_GE(chip.bounds().minY, hole.minY);
    EXPECT_LT(chip.bounds().maxY, hole.maxY);
    EXPECT_TRUE(findLayoutFaults(placedParts(), 200, 60).empty());
}

TEST_F(PackerTest, TheBundledExamplePacksWithoutOverlaps) {
    auto prepared = loadAndPrepare(BLOCKNEST_SOURCE_DIR "/examples/workshop_parts.txt");
    ASSERT_TRUE(std::holds_alternative<PreparedJob>(prepared));
    job_ = std::move(std::get<PreparedJob>(prepared));
    packAllParts(job_.parts, job_.sheet, 2, console_);
    EXPECT_EQ(placedParts().size(), static_cast<std::size_t>(job_.partCount))
        << "the example's sheet holds every part";
    const std::vector<std::string> faults =
        findLayoutFaults(placedParts(), job_.sheet.length, job_.sheet.width);
    EXPECT_TRUE(faults.empty()) << faults.front();
}

}  // namespace
}  // namespace blocknest
