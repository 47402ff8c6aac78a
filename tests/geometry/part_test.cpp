#include "geometry/part.hpp"

#include <gtest/gtest.h>

#include <numbers>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

Part squareWithHole() {
    LoopList holes;
    holes.pushFront(rectangle(1, 1, 3, 3));
    Part part;
    part.setShape("Plate", holes, rectangle(0, 0, 10, 10));
    return part;
}

TEST(PartTest, DefaultPartIsEmptyAndNamedNoName) {
    const Part part;
    EXPECT_EQ(part.name(), "NoName");
    EXPECT_EQ(part.netArea(), 0.0);
    EXPECT_EQ(part.outerLoop().vertexCount(), 0);
    EXPECT_EQ(part.innerLoops().count(), 0);
    EXPECT_TRUE(part.bitmap().empty());
    EXPECT_EQ(part.centroid().z, 1e-15);
}

TEST(PartTest, SetShapeDerivesNetAreaCentroidAndBounds) {
    const Part part = squareWithHole();
    EXPECT_EQ(part.netArea(), 96.0);
    EXPECT_EQ(part.centroid().x, 5.125);
    EXPECT_EQ(part.centroid().y, 5.125);
    EXPECT_EQ(part.bounds().minX, 0.0);
    EXPECT_EQ(part.bounds().maxX, 10.0);
    EXPECT_EQ(part.bounds().minY, 0.0);
    EXPECT_EQ(part.bounds().maxY, 10.0);
    EXPECT_EQ(part.innerLoops().front().area(), 4.0) << "the hole's area is stored too";
}

TEST(PartTest, SetShapeCutsLongNames) {
    Part part;
    part.setShape(std::string(150, 'n'), LoopList{}, rectangle(0, 0, 1, 1));
    EXPECT_EQ(part.name().size(), Part::kMaxNameLength);
}

TEST(PartTest, TranslationMovesEveryLoopBoundsAndCentroid) {
    Part part = squareWithHole();
    part.translate(5990, -70);
    EXPECT_EQ(part.outerLoop().vertices()[0].x, 5990.0);
    EXPECT_EQ(part.innerLoops().front().bounds().minY, -69.0);
    EXPECT_EQ(part.bounds().minX, 5990.0);
    EXPECT_EQ(part.bounds().maxY, -60.0);
    EXPECT_EQ(part.centroid().x, 5.125 + 5990);
    EXPECT_EQ(part.centroid().y, 5.125 - 70);
    EXPECT_EQ(part.netArea(), 96.0);
}

TEST(PartTest, RotationTurnsLoopsAndCentroidAndRefreshesBounds) {
    Part part = squareWithHole();
    part.rotate({0, 0, 5}, std::numbers::pi);
    EXPECT_NEAR(part.centroid().x, -5.125, 1e-12);
    EXPECT_NEAR(part.centroid().y, -5.125, 1e-12);
    EXPECT_EQ(part.centroid().z, 1e-15) << "rotation never touches z";
    EXPECT_EQ(part.bounds().minX, part.outerLoop().bounds().minX);
    EXPECT_NEAR(part.bounds().minX, -10, 1e-12);
    EXPECT_NEAR(part.innerLoops().front().bounds().maxX, -1, 1e-12);
    EXPECT_EQ(part.netArea(), 96.0) << "motion does not change areas";
}

TEST(PartTest, CopiesShareNothingBitmapIncluded) {
    Part source = squareWithHole();
    PartBitmap bitmap;
    bitmap.rows = 3;
    bitmap.cols = 4;
    bitmap.cells.assign(12, 1);
    bitmap.anchorRow = 1;
    bitmap.anchorCol = 2;
    source.setBitmap(bitmap);

    Part copy = source;
    ASSERT_EQ(copy.bitmap().cells.size(), 12u);
    EXPECT_EQ(copy.bitmap().anchorRow, 1);
    EXPECT_EQ(copy.bitmap().anchorCol, 2);
    PartBitmap changed = copy.bitmap();
    changed.cells[5] = 0;
    copy.setBitmap(changed);
    copy.translate(1, 1);
    EXPECT_EQ(source.bitmap().cells[5], 1) << "changing the copy's bitmap leaves the source";
    EXPECT_EQ(source.outerLoop().vertices()[0].x, 0.0);
    EXPECT_EQ(source.innerLoops().front().vertices()[0].x, 1.0);
}

TEST(PartTest, AssigningAPartWithoutBitmapDropsTheTargetsBitmap) {
    Part target = squareWithHole();
    PartBitmap bitmap;
    bitmap.rows = 2;
    bitmap.cols = 2;
    bitmap.cells.assign(4, 1);
    target.setBitmap(bitmap);
    target = squareWithHole();
    EXPECT_TRUE(target.bitmap().empty());
    EXPECT_TRUE(target.bitmap().cells.empty());
}

TEST(PartListTest, PushFrontReversesOrderAndCounts) {
    PartList list;
    for (const char* name : {"A", "B", "C"}) {
        Part part;
        part.setShape(name, LoopList{}, rectangle(0, 0, 1, 1));
        list.pushFront(part);
    }
    ASSERT_EQ(list.count(), 3);
    std::string order;
    for (const Part& p : list) order += p.name();
    EXPECT_EQ(order, "CBA");
    std::string backwards;
    for (auto it = list.end(); it != list.begin();) backwards += (--it)->name();
    EXPECT_EQ(backwards, "ABC") << "the prev links mirror the next links";
}

TEST(LoopListTest, CopyKeepsOrderAndOwnsEveryLoop) {
    LoopList holes;
    for (int i = 3; i >= 1; --i) holes.pushFront(rectangle(i, i, i + 0.5, i + 0.5));
    LoopList copy = holes;
    ASSERT_EQ(copy.count(), 3);
    int expected = 1;
    for (Loop& loop : copy) {
        EXPECT_EQ(loop.vertices()[0].x, expected++);
        loop.translate(100, 0);
    }
    EXPECT_EQ(holes.front().vertices()[0].x, 1.0) << "each copied hole has its own vertices";

    LoopList assigned;
    assigned.pushFront(rectangle(0, 0, 9, 9));
    assigned = holes;
    EXPECT_EQ(assigned.count(), 3) << "assignment clears the target first";
    holes.clear();
    EXPECT_EQ(holes.count(), 0);
    EXPECT_TRUE(holes.begin() == holes.end());
    EXPECT_EQ(assigned.back().vertices()[0].x, 3.0);
}

TEST(DListTest, MoveBeforeRelinksWithoutCopying) {
    DList<int> list;
    for (int v : {4, 3, 2, 1}) list.pushFront(v);  // 1 2 3 4
    auto first = list.begin();
    const int* address = &*first;
    list.moveBefore(first, list.end());  // 2 3 4 1
    std::vector<int> values(list.begin(), list.end());
    EXPECT_EQ(values, (std::vector<int>{2, 3, 4, 1}));
    EXPECT_EQ(&list.back(), address) << "the node itself moved";
    EXPECT_EQ(list.count(), 4);
    list.moveBefore(std::next(list.begin()), list.begin());  // 3 2 4 1
    EXPECT_EQ(std::vector<int>(list.begin(), list.end()), (std::vector<int>{3, 2, 4, 1}));
    DList<int> moved = std::move(list);
    EXPECT_EQ(moved.count(), 4);
    EXPECT_EQ(moved.front(), 3);
    EXPECT_EQ(*std::prev(moved.end()), 1) << "the end nodes point at the new sentinels";
}

}  // namespace
}  // namespace blocknest
