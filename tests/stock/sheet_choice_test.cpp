#include "stock/sheet_choice.hpp"

#include <gtest/gtest.h>

#include <random>

#include "input/job_preparation.hpp"
#include "output/statistics.hpp"
#include "packing/independent_overlap.hpp"
#include "packing/sheets.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// Squares of side 10 (area 100 each), parked far off every sheet.
PartList squares(int count) {
    PartList parts;
    for (int i = 0; i < count; ++i) {
        parts.pushBack(makePart("sq" + std::to_string(i), {{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
        parts.back().translate(100000, 0);
    }
    return parts;
}

SheetKind kind(const std::string& name, double capacity, double cost, std::int64_t count,
               bool drawn = false) {
    SheetKind k = rectangleKind(100, 100);
    k.name = name;
    k.length = capacity;  // the fake packer reads the length as the area a sheet takes
    k.cost = cost;
    k.count = count;
    if (drawn) k.shape.defects.push_back(rectangle(1, 1, 2, 2));
    return k;
}

// A stand-in for the packing run: a sheet takes parts in list order while their area stays
// within its length, and lays each at the origin.
std::variant<PartList, std::string> packByArea(const PartList& left, const SheetKind& k) {
    PartList parts = left;
    double area = 0;
    for (Part& part : parts) {
        if (area + part.netArea() > k.length) continue;
        area += part.netArea();
        part.translate(-part.bounds().minX, -part.bounds().minY);
    }
    return parts;
}

StockPlan plan(const PartList& parts, const std::vector<SheetKind>& kinds) {
    auto result = chooseSheets(parts, kinds, packByArea);
    EXPECT_TRUE(std::holds_alternative<StockPlan>(result));
    return std::get<StockPlan>(std::move(result));
}

TEST(SheetChoiceTest, ARemnantThatTakesPartsIsFilledFirstHoweverDear) {
    const StockPlan p =
        plan(squares(5), {kind("cheap", 10000, 1, 5), kind("rem", 200, 1000, 1, true)});
    ASSERT_EQ(p.sheetKinds.size(), 2u);
    EXPECT_EQ(p.sheetKinds[0], 1u) << "the remnant first";
    EXPECT_EQ(p.sheetKinds[1], 0u);
    EXPECT_EQ(std::count(p.sheetOf.begin(), p.sheetOf.end(), 0), 2) << "two squares on it";
}

TEST(SheetChoiceTest, TheLastSheetIsTheCheapestKindThatTakesEveryPartLeft) {
    // 300 of area left: the large sheet takes it at 10, the small one at 5.
    const StockPlan p = plan(squares(3), {kind("large", 1000, 10, 5), kind("small", 400, 5, 5)});
    ASSERT_EQ(p.sheetKinds.size(), 1u);
    EXPECT_EQ(p.sheetKinds[0], 1u);
}

TEST(SheetChoiceTest, SmallerSheetsThatTakeThePartsBetweenThemWinWhenCheaper) {
    // 600 of area: one large sheet takes it all for 40; two small ones take 300 each for 15.
    const StockPlan p = plan(squares(6), {kind("large", 1000, 40, 5), kind("small", 300, 15, 5)});
    ASSERT_EQ(p.sheetKinds.size(), 2u);
    EXPECT_EQ(p.sheetKinds[0], 1u);
    EXPECT_EQ(p.sheetKinds[1], 1u);
    // At 25 a small sheet the large one is cheaper.
    const StockPlan q = plan(squares(6), {kind("large", 1000, 40, 5), kind("small", 300, 25, 5)});
    ASSERT_EQ(q.sheetKinds.size(), 1u);
    EXPECT_EQ(q.sheetKinds[0], 0u);
}

TEST(SheetChoiceTest, OtherwiseTheMostPartAreaPerCostAndTheStockCountsHold) {
    // 1500 of area: "dense" places 500 for 2 (250 per unit), "plain" 1000 for 10 (100). One
    // dense sheet in stock: then plain holds the 1000 left.
    const StockPlan p = plan(squares(15), {kind("plain", 1000, 10, 5), kind("dense", 500, 2, 1)});
    ASSERT_EQ(p.sheetKinds.size(), 2u);
    EXPECT_EQ(p.sheetKinds[0], 1u);
    EXPECT_EQ(p.sheetKinds[1], 0u);
    EXPECT_EQ(std::count(p.sheetOf.begin(), p.sheetOf.end(), kNoSheet), 0);
}

TEST(SheetChoiceTest, PartsStayOnNoSheetWhenTheStockRunsOutOrTakesNoneOfThem) {
    PartList parts = squares(4);
    parts.pushBack(makePart("wide", {{0, 0}, {50, 0}, {50, 50}, {0, 50}}));  // area 2500
    parts.back().translate(100000, 0);
    const StockPlan p = plan(parts, {kind("one", 200, 1, 1)});
    ASSERT_EQ(p.sheetKinds.size(), 1u);
    EXPECT_EQ(std::count(p.sheetOf.begin(), p.sheetOf.end(), kNoSheet), 3);
    EXPECT_EQ(p.sheetOf.back(), kNoSheet);
    EXPECT_GT(p.parts.back().bounds().minX, 1000) << "a part on no sheet keeps its pose";
}

TEST(SheetChoiceTest, APackingFaultEndsThePlanWithItsReason) {
    const auto result =
        chooseSheets(squares(2), {kind("a", 1000, 1, 1)}, [](const PartList&, const SheetKind&) {
            return std::variant<PartList, std::string>("no room");
        });
    ASSERT_TRUE(std::holds_alternative<std::string>(result));
    EXPECT_EQ(std::get<std::string>(result), "no room");
}

// The real packing run on random drawn sheets: no part overlaps the outline's outside or a
// defect, by a checker that shares no code with the packer (the obstacles as fixed parts).
TEST(SheetChoiceTest, PackedPartsStayOffEveryObstacleOfRandomSheets) {
    std::mt19937 random(20);
    std::uniform_real_distribution<double> unit(0, 1);
    int placedTotal = 0;
    for (int trial = 0; trial < 6; ++trial) {
        SheetKind k;
        k.name = "drawn";
        k.length = 200;
        k.width = 120;
        const double cut = 20 + 40 * unit(random);
        k.shape.outline = makeLoop({{0, 0}, {200 - cut, 0}, {200, cut}, {200, 120}, {0, 120}});
        for (int d = 0; d < 3; ++d) {
            k.shape.defects.push_back(
                makeLoop(star(random, 30 + 140 * unit(random), 20 + 80 * unit(random),
                              6 + 10 * unit(random), 5)));
        }
        PartList parts;
        for (int i = 0; i < 30; ++i) {
            parts.pushBack(makePart("p", star(random, 0, 0, 4 + 8 * unit(random), 6)));
        }
        orderPartsByArea(parts);
        const double side = computeBlockSideLength(parts);
        for (Part& part : parts) part.setBlockSideLength(side);
        SheetPacking packing;
        packing.blockSideLength = side;
        packing.rotationCount = 4;
        auto packed = packOnSheetKind(parts, k, packing);
        ASSERT_TRUE(std::holds_alternative<PartList>(packed)) << std::get<std::string>(packed);
        std::vector<Part> fixed;
        LoopList outline;
        outline.pushBack(*k.shape.outline);
        fixed.push_back(makeOutsidePart(outline, k.length, k.width));
        for (const Loop& loop : k.shape.defects)
            fixed.push_back(makePart("defect", loop.vertices()));
        std::vector<const Part*> all;
        for (const Part& part : std::get<PartList>(packed)) {
            if (liesOnSheet(part, k.length, k.width)) all.push_back(&part);
        }
        placedTotal += static_cast<int>(all.size());
        for (const Part& part : fixed) all.push_back(&part);
        for (const std::string& fault : findLayoutFaults(all, k.length, k.width)) {
            // Only faults of a part count: the outside reaches beyond the sheet by design, and
            // random defects may overlap each other or the outline.
            if (fault.rfind("p #", 0) == 0 || fault.find("overlaps p #") != std::string::npos) {
                ADD_FAILURE() << fault;
            }
        }
    }
    EXPECT_GT(placedTotal, 60) << "too few parts placed to tell anything";
}

// A stock of 1000 kinds: each sheet is tried on a bounded number of them, not on all (each
// trial packs every part left), and the plan still places every part on the cheapest kinds
// for their area: here each kind's cost is its capacity times a price, the lowest price
// listed last.
TEST(SheetChoiceTest, AThousandKindsCostABoundedNumberOfTrialsASheet) {
    std::vector<SheetKind> kinds;
    std::mt19937 random(3);
    std::uniform_real_distribution<double> capacity(300, 3000);
    std::uniform_real_distribution<double> price(1, 2);
    for (int k = 0; k < 1000; ++k) {
        const double c = k == 999 ? 300 : capacity(random);
        kinds.push_back(kind("k" + std::to_string(k), c, c * (k == 999 ? 0.5 : price(random)), 2));
    }
    std::int64_t trials = 0;
    const auto counting = [&](const PartList& left, const SheetKind& k) {
        ++trials;
        return packByArea(left, k);
    };
    auto result = chooseSheets(squares(300), kinds, counting);
    ASSERT_TRUE(std::holds_alternative<StockPlan>(result));
    const StockPlan& p = std::get<StockPlan>(result);
    EXPECT_EQ(std::count(p.sheetOf.begin(), p.sheetOf.end(), kNoSheet), 0);
    ASSERT_FALSE(p.sheetKinds.empty());
    EXPECT_EQ(p.sheetKinds.front(), 999u) << "the cheapest for its area";
    // Two plans, each trying at most 24 kinds for each of its sheets, where trying every kind
    // would take 1000 trials a sheet.
    EXPECT_LE(trials, 100 * static_cast<std::int64_t>(p.sheetKinds.size() + 1)) << trials;
}

}  // namespace
}  // namespace blocknest
