#include "packing/compaction.hpp"

#include <gtest/gtest.h>

#include "packing/overlap.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

class CompactionTest : public testing::Test {
protected:
    CompactionTest() {
        sheet_.length = 300;
        sheet_.width = 100;
        sheet_.blockSideLength = 15;
    }
    // A 100 x 40 rectangle with its lower-left corner at (x, y).
    Part& addPlate(double x, double y) {
        parts_.pushBack(makePart("P", {{x, y}, {x + 100, y}, {x + 100, y + 40}, {x, y + 40}}));
        return parts_.back();
    }
    PartList parts_;
    Sheet sheet_;
};

TEST_F(CompactionTest, StartStepIsTheSmallerOfATenthBlockAndAQuarterSide) {
    EXPECT_EQ(compactionStartStep(addPlate(0, 0), 15), 1.5);
    EXPECT_EQ(compactionStartStep(addPlate(0, 0), 60), 6.0);
    const Part slender = makePart("S", {{0, 0}, {100, 0}, {100, 0.02}, {0, 0.02}});
    EXPECT_EQ(compactionStartStep(slender, 15), 0.005);
}

// Near 1e14 numbers are 1/64 apart, so the last passes' steps move nothing while the pose
// stays feasible; the slide used to repeat such a move for ever.
TEST_F(CompactionTest, SlidesEndWhereStepsNoLongerMoveThePart) {
    sheet_.length = 4e14;
    sheet_.width = 4e14;
    parts_.pushBack(makePart("Wall", {{1, 0}, {1e14, 0}, {1e14, 4e14}, {1, 4e14}}));
    parts_.pushBack(
        makePart("Q", {{1.5e14, 1e14}, {2.5e14, 1e14}, {2.5e14, 2e14}, {1.5e14, 2e14}}));
    Part& square = parts_.back();
    compactAlongX(PartIndex(parts_, sheet_), square, 1e13);
    EXPECT_GE(square.bounds().minX, 1e14) << "the wall stops the slide";
    EXPECT_LT(square.bounds().minX, 1e14 + 1) << "and the slide closes the gap";
    compactAlongY(PartIndex(parts_, sheet_), square, 1e13);
    EXPECT_LT(square.bounds().minY, 0.01);
}

TEST_F(CompactionTest, NinePassesFromStep15DownTo0005859375) {
    // Against the sheet's left edge alone the slide ends less than the last step, 1.5 / 256,
    // from X = 0: eight passes would leave 0.00747 here, ten passes 0.0002 from 50.3.
    Part& near = addPlate(7.777, 10);
    compactAlongX(PartIndex(parts_, sheet_), near, 15);
    EXPECT_GT(near.bounds().minX, 0.0) << "a vertex at X = 0 is outside the sheet";
    EXPECT_LT(near.bounds().minX, 1.5 / 256);
    EXPECT_NEAR(near.bounds().minX, 0.00161, 1e-5);
    parts_.clear();
    Part& far = addPlate(50.3, 10);
    compactAlongX(PartIndex(parts_, sheet_), far, 15);
    EXPECT_NEAR(far.bounds().minX, 0.003125, 1e-9) << "a tenth pass would have gone further";
    EXPECT_EQ(far.bounds().minY, 10.0) << "the X slide never moves along Y";
}

TEST_F(CompactionTest, APartThatCannotMoveEndsWhereItStarted) {
    addPlate(0.001, 0);
    Part& blocked = addPlate(100.002, 0);  // the gap is less than the finest step
    const Vertex before = blocked.centroid();
    compactAlongX(PartIndex(parts_, sheet_), blocked, 15);
    EXPECT_NEAR(blocked.centroid().x, before.x, 1e-12);
    compactAlongY(PartIndex(parts_, sheet_), blocked, 15);
    EXPECT_NEAR(blocked.centroid().y, before.y, 1e-12);
}

TEST_F(CompactionTest, APartStoppedByTheSheetEndsInsideIt) {
    Part& plate = addPlate(33.3, 27.7);
    compactAlongX(PartIndex(parts_, sheet_), plate, 15);
    compactAlongY(PartIndex(parts_, sheet_), plate, 15);
    EXPECT_GT(plate.bounds().minX, 0.0);
    EXPECT_LT(plate.bounds().minX, 0.01);
    EXPECT_GE(plate.bounds().minY, 0.0) << "a vertex at Y = 0 is inside the sheet";
    EXPECT_LT(plate.bounds().minY, 0.01);
    EXPECT_TRUE(isPlacementFeasible(parts_, plate, sheet_));
}

TEST_F(CompactionTest, SlidesStopAtTheNeighbour) {
    addPlate(0.5, 0);
    Part& second = addPlate(140, 0.5);
    compactAlongX(PartIndex(parts_, sheet_), second, 15);
    EXPECT_GT(second.bounds().minX, 100.5) << "the boxes may touch but not overlap";
    EXPECT_LT(second.bounds().minX, 100.5 + 0.01);
}

TEST_F(CompactionTest, ADegenerateStartStepSkipsTheSlide) {
    parts_.pushBack(makePart("Flat", {{50, 10}, {80, 10}, {65, 10}}));
    Part& flat = parts_.back();
    compactAlongX(PartIndex(parts_, sheet_), flat, 15);  // would never end with a step of 0
    EXPECT_EQ(flat.bounds().minX, 50.0);
}

}  // namespace
}  // namespace blocknest
