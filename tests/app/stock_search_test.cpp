// The search over a stock plan's sheets: never more sheets than the plan, every part placed,
// and the gaps kept on every sheet at that sheet's own size.
#include <gtest/gtest.h>

#include <random>

#include "job/packing_job.hpp"
#include "spacing/gap_check.hpp"
#include "stock/sheet_kind.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::findGapFaults;
using testing_support::RecordingConsole;
using testing_support::star;

TEST(StockSearchTest, FewerOrAsManySheetsOfTheStockWithTheGapsKept) {
    std::mt19937 random(2026);
    std::uniform_real_distribution<double> radius(2, 8);
    std::string text = "SheetLength: 60\nSheetWidth: 35\nPartTypeCount:36\n";
    for (int p = 0; p < 36; ++p) {
        text += testing_support::partBlock("star" + std::to_string(p), 1,
                                           star(random, 0, 0, radius(random), 5 + p % 7));
    }
    testing_support::TempDir dir;
    const std::string path = dir.write("parts.txt", text).string();
    const Clearance clearance{0.6, 0.9};
    std::vector<SheetKind> stock{rectangleKind(60, 35), rectangleKind(40, 30)};
    stock[0].count = 6;
    stock[1].count = 6;
    stock[1].cost = 0.5 * stock[0].cost;  // cheaper for its area: the plan takes it first
    std::vector<int> used;
    for (const bool searched : {false, true}) {
        PackingJob job;
        job.setRotationCount(4);
        job.setMirror(true);
        ASSERT_FALSE(job.loadAndPrepare(path));
        ASSERT_FALSE(job.setStock(stock));
        RecordingConsole console;
        SearchOptions search;
        search.evaluations = 20000;
        search.threads = 2;
        ASSERT_FALSE(job.packStock(clearance, console, false, searched ? &search : nullptr));
        job.computeStatistics();
        std::size_t placed = 0;
        for (const SheetLayout& sheet : job.sheets()) {
            std::vector<const Part*> parts;
            for (const Part& p : sheet.parts) parts.push_back(&p);
            placed += parts.size();
            const std::vector<std::string> faults = findGapFaults(
                parts, sheet.length, sheet.width, clearance.spacing, clearance.margin, 1e-7);
            EXPECT_TRUE(faults.empty()) << sheet.kind << ": " << faults.front();
        }
        EXPECT_EQ(placed, 36U);
        used.push_back(static_cast<int>(job.sheets().size()));
    }
    EXPECT_GE(used.front(), 2) << "a job over several sheets";
    EXPECT_LE(used.back(), used.front());
}

}  // namespace
}  // namespace blocknest
