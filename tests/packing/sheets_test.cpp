#include "packing/sheets.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <variant>

#include "input/job_preparation.hpp"
#include "output/statistics.hpp"
#include "packing/independent_overlap.hpp"
#include "packing/packer.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

class PackSheetsTest : public testing::Test {
protected:
    void prepare(double length, double width, std::vector<Part> parts) {
        PartFileContents contents;
        contents.sheetLength = length;
        contents.sheetWidth = width;
        for (Part& p : parts) contents.parts.pushBack(std::move(p));
        auto prepared = prepareJob(std::move(contents), "test");
        ASSERT_TRUE(std::holds_alternative<PreparedJob>(prepared));
        job_ = std::move(std::get<PreparedJob>(prepared));
    }
    std::vector<int> pack(int maxSheets) {
        const PackOneSheet packOne = [&](PartList& parts, Sheet& sheet, bool probe) {
            ++(probe ? probes_ : sheetsPacked_);
            packAllParts(parts, sheet, 4, console_, false);
        };
        return packSheets(job_.parts, job_.sheet, maxSheets, packOne);
    }
    std::vector<const Part*> partsOf(const std::vector<int>& sheetOf, int k) const {
        std::vector<const Part*> found;
        std::size_t i = 0;
        for (const Part& p : job_.parts) {
            if (sheetOf[i++] == k) found.push_back(&p);
        }
        return found;
    }
    static Part box(const std::string& name, double w, double h) {
        return makePart(name, {{0, 0}, {w, 0}, {w, h}, {0, h}});
    }
    PreparedJob job_;
    RecordingConsole console_;
    int probes_ = 0;
    int sheetsPacked_ = 0;
};

TEST_F(PackSheetsTest, EveryPartLandsOnASheetAndNoSheetHoldsOverlaps) {
    std::mt19937 random(14);
    std::uniform_real_distribution<double> radius(3, 12);
    std::vector<Part> parts;
    for (int i = 0; i < 60; ++i) {
        parts.push_back(makePart("P", star(random, 0, 0, radius(random), 5 + i % 8)));
    }
    prepare(60, 40, std::move(parts));
    double area = 0;
    for (const Part& p : job_.parts) area += p.netArea();
    const std::vector<int> sheetOf = pack(0);
    const int used = *std::max_element(sheetOf.begin(), sheetOf.end()) + 1;
    EXPECT_EQ(used, sheetsPacked_);
    EXPECT_GE(used, static_cast<int>(std::ceil(area / (60 * 40))))
        << "no sheet holds more than its area";
    for (int k = 0; k < used; ++k) {
        const std::vector<const Part*> onSheet = partsOf(sheetOf, k);
        EXPECT_FALSE(onSheet.empty()) << "sheet " << k << " is used";
        const std::vector<std::string> faults = findLayoutFaults(onSheet, 60, 40);
        EXPECT_TRUE(faults.empty()) << "sheet " << k << ": " << faults.front();
    }
    EXPECT_EQ(std::count(sheetOf.begin(), sheetOf.end(), kNoSheet) +
                  std::count(sheetOf.begin(), sheetOf.end(), kTooLarge),
              0)
        << "random parts of at most 24 x 24 all fit a sheet of 60 x 40";
}

TEST_F(PackSheetsTest, APartLargerThanTheSheetIsProbedOnceAndNeverRetried) {
    std::vector<Part> parts{box("Giant", 80, 10), box("Giant", 80, 10)};
    for (int i = 0; i < 30; ++i) parts.push_back(box("Tile", 9, 9));
    prepare(50, 20, std::move(parts));
    const std::vector<int> sheetOf = pack(0);
    EXPECT_EQ(std::count(sheetOf.begin(), sheetOf.end(), kTooLarge), 2);
    EXPECT_EQ(std::count(sheetOf.begin(), sheetOf.end(), kNoSheet), 0);
    EXPECT_EQ(probes_, 2) << "one probe for each part type the first sheet left";
    EXPECT_EQ(sheetsPacked_, 3) << "ten tiles of 9 x 9 to a sheet of 50 x 20";
    EXPECT_EQ(partsOf(sheetOf, 0).size(), 10U);
}

TEST_F(PackSheetsTest, TheSheetCountBoundsTheSheetsUsed) {
    std::vector<Part> parts;
    for (int i = 0; i < 30; ++i) parts.push_back(box("Tile", 9, 9));
    prepare(50, 20, std::move(parts));
    const std::vector<int> sheetOf = pack(2);
    EXPECT_EQ(sheetsPacked_, 2);
    EXPECT_EQ(probes_, 1) << "the tiles left by the first sheet fit an empty one";
    EXPECT_EQ(std::count(sheetOf.begin(), sheetOf.end(), kNoSheet), 10);
    for (const Part* p : partsOf(sheetOf, kNoSheet)) {
        EXPECT_GE(p->bounds().minX, 50) << "a part on no sheet stays parked";
    }
}

TEST(CombineSheetsTest, DensityCountsEverySheetButTheLastWhole) {
    std::vector<SheetLayout> sheets(3);
    sheets[0].statistics = {800, 90, 800.0 / (90 * 10)};
    sheets[1].statistics = {700, 95, 700.0 / (95 * 10)};
    sheets[2].statistics = {200, 25, 200.0 / (25 * 10)};
    const PackingStatistics whole = combineSheets(sheets, 100, 10);
    EXPECT_DOUBLE_EQ(whole.totalPartArea, 1700);
    EXPECT_DOUBLE_EQ(whole.packedLength, 25) << "the last sheet's";
    EXPECT_DOUBLE_EQ(whole.packingDensity, 1700.0 / ((2 * 100 + 25) * 10));
    sheets.resize(1);
    EXPECT_DOUBLE_EQ(combineSheets(sheets, 100, 10).packingDensity, 800.0 / (90 * 10))
        << "one sheet: its own figures";
}

}  // namespace
}  // namespace blocknest
