// The search over several sheets against the sheet-by-sheet run it starts from, and its
// layouts against an independent overlap check.
#include "search/sheet_search.hpp"

#include <gtest/gtest.h>

#include <random>

#include "packing/independent_overlap.hpp"
#include "packing/packer.hpp"
#include "packing/sheets.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::findLayoutFaults;
using testing_support::makePart;
using testing_support::star;

struct Job {
    PartList parts;
    Sheet sheet;
};

// Random stars on a sheet that takes a handful of them, now and then one too large for it.
Job randomJob(std::mt19937& random) {
    std::uniform_real_distribution<double> unit(0, 1);
    Job job;
    job.sheet.length = 30 + 30 * unit(random);
    job.sheet.width = 20 + 20 * unit(random);
    job.sheet.blockSideLength = 1;
    job.sheet.bitmap = buildSheetBitmap(job.sheet.length, job.sheet.width, 1);
    const int count = 10 + static_cast<int>(20 * unit(random));
    for (int i = 0; i < count; ++i) {
        const double radius = i == 3 && unit(random) < 0.3 ? 40 : 3 + 8 * unit(random);
        Part part = makePart("p" + std::to_string(i), star(random, 0, 0, radius, 5 + i % 4));
        part.setBlockSideLength(1);
        // Parked far beyond the sheet, as a prepared job lays its parts.
        part.translate(1000 + 50 * i, 0);
        job.parts.pushBack(std::move(part));
    }
    return job;
}

// Decoding the list order sheet by sheet is the plain run over several sheets: same sheets,
// same poses, on random jobs (stars have no holes, where the search's stricter hole test could
// part from the plain run's).
TEST(SheetSearchTest, TheListOrderDecodesToThePlainSheetBySheetRun) {
    std::mt19937 random(91209);
    for (int round = 0; round < 12; ++round) {
        Job job = randomJob(random);
        const int maxSheets = round % 3 == 0 ? 2 : 0;
        PartList plain = job.parts;
        SilentConsole console;
        const std::vector<int> plainSheetOf =
            packSheets(plain, job.sheet, maxSheets, [&](PartList& batch, Sheet& fresh, bool) {
                (void)packAllParts(batch, fresh, 4, console, false);
            });
        const SearchInstance instance = makeSearchInstance(job.parts, job.sheet, 4, {});
        std::vector<int> leftOut(plainSheetOf.size(), kNoSheet);
        for (std::size_t i = 0; i < leftOut.size(); ++i) {
            if (plainSheetOf[i] == kTooLarge) leftOut[i] = kTooLarge;
        }
        DecoderMemory memory;
        SheetsLayout layout;
        const SheetsScore score =
            decodeSheets(instance, onePassGenome(instance), maxSheets, leftOut, memory, &layout);
        ASSERT_EQ(layout.sheetOf, plainSheetOf) << "round " << round;
        auto expected = plain.begin();
        int unplaced = 0;
        for (std::size_t i = 0; i < layout.parts.size(); ++i, ++expected) {
            if (plainSheetOf[i] == kNoSheet) ++unplaced;
            const auto& got = layout.parts[i].outerLoop().vertices();
            const auto& want = expected->outerLoop().vertices();
            ASSERT_EQ(got.size(), want.size());
            for (std::size_t v = 0; v < got.size(); ++v) {
                ASSERT_EQ(got[v].x, want[v].x) << "round " << round << " part " << i;
                ASSERT_EQ(got[v].y, want[v].y) << "round " << round << " part " << i;
            }
        }
        EXPECT_EQ(score.unplaced, unplaced);
        EXPECT_EQ(score.sheets, *std::max_element(plainSheetOf.begin(), plainSheetOf.end()) + 1);
    }
}

// Sheets of their own sizes, filled in the order given: each takes, in list order, what the
// sheets before it left, exactly as a packing run of those parts on it alone places them.
TEST(SheetSearchTest, ASequenceOfSheetsIsFilledInItsOrder) {
    std::mt19937 random(4417);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int round = 0; round < 6; ++round) {
        Job job = randomJob(random);
        std::vector<Sheet> sequence;
        for (int k = 0; k < 3; ++k) {
            Sheet sheet = job.sheet;
            sheet.length *= 0.6 + 0.6 * unit(random);
            sheet.width *= 0.6 + 0.6 * unit(random);
            sheet.bitmap = buildSheetBitmap(sheet.length, sheet.width, 1);
            sequence.push_back(std::move(sheet));
        }
        const SearchInstance instance = makeSearchInstance(job.parts, job.sheet, 4, {});
        std::vector<int> leftOut(instance.parts.size(), kNoSheet);
        DecoderMemory memory;
        SheetsLayout layout;
        const SheetsScore score =
            decodeSheets(instance, onePassGenome(instance), 0, leftOut, memory, &layout, sequence);
        // The reference: one packing run per sheet on what is left.
        std::vector<int> expected(instance.parts.size(), kNoSheet);
        std::vector<Part> poses = instance.parts;
        int used = 0;
        for (std::size_t k = 0; k < sequence.size(); ++k) {
            PartList left;
            std::vector<std::size_t> ids;
            for (std::size_t i = 0; i < poses.size(); ++i) {
                if (expected[i] != kNoSheet) continue;
                left.pushBack(instance.parts[i]);
                ids.push_back(i);
            }
            Sheet fresh = sequence[k];
            SilentConsole console;
            (void)packAllParts(left, fresh, 4, console, false);
            auto part = left.begin();
            bool any = false;
            for (const std::size_t i : ids) {
                if (liesWithin(*part, fresh)) {
                    expected[i] = static_cast<int>(k);
                    poses[i] = *part;
                    any = true;
                }
                ++part;
            }
            if (!any) break;
            used = static_cast<int>(k) + 1;
        }
        ASSERT_EQ(layout.sheetOf, expected) << "round " << round;
        EXPECT_EQ(score.sheets, used);
        for (std::size_t i = 0; i < poses.size(); ++i) {
            EXPECT_EQ(layout.parts[i].outerLoop().bounds().minX,
                      poses[i].outerLoop().bounds().minX);
            EXPECT_EQ(layout.parts[i].outerLoop().bounds().minY,
                      poses[i].outerLoop().bounds().minY);
        }
    }
}

// The search never ends behind its start, every sheet it fills passes the independent check,
// and with an evaluation budget its outcome is the same on one thread and on three. The plain
// run leaves a search few sheets to save, so it takes several jobs to meet one.
TEST(SheetSearchTest, NeverBehindItsStartApartOnEverySheetAndTheSameOnAnyThreadCount) {
    std::mt19937 random(1712);
    int fewer = 0;
    for (int round = 0; round < 5; ++round) {
        Job job = randomJob(random);
        const SearchInstance instance = makeSearchInstance(job.parts, job.sheet, 4, {});
        const std::vector<int> leftOut(instance.parts.size(), kNoSheet);
        DecoderMemory memory;
        const SheetsScore start =
            decodeSheets(instance, onePassGenome(instance), 0, leftOut, memory);
        SearchOptions options;
        options.evaluations = 10000;
        options.seed = 5 + round;
        std::vector<SheetsOutcome> outcomes;
        for (int threads : {1, 3}) {
            options.threads = threads;
            outcomes.push_back(searchSheets(instance, 0, leftOut, options, [](auto&) {}));
        }
        const SheetsOutcome& found = outcomes.front();
        EXPECT_FALSE(start < found.score) << "round " << round;
        fewer += found.score.sheets < start.sheets;
        ASSERT_EQ(found.layout.sheetOf, outcomes.back().layout.sheetOf) << "round " << round;
        for (std::size_t i = 0; i < found.layout.parts.size(); ++i) {
            const auto& one = found.layout.parts[i].outerLoop().vertices();
            const auto& three = outcomes.back().layout.parts[i].outerLoop().vertices();
            for (std::size_t v = 0; v < one.size(); ++v) {
                ASSERT_TRUE(one[v].x == three[v].x && one[v].y == three[v].y)
                    << "round " << round << " part " << i;
            }
        }
        for (int k = 0; k < found.score.sheets; ++k) {
            std::vector<const Part*> onSheet;
            double length = 0;
            for (std::size_t i = 0; i < found.layout.parts.size(); ++i) {
                if (found.layout.sheetOf[i] != k) continue;
                onSheet.push_back(&found.layout.parts[i]);
                for (const Vertex& v : found.layout.parts[i].outerLoop().vertices()) {
                    length = std::max(length, v.x);
                }
            }
            EXPECT_FALSE(onSheet.empty()) << "round " << round << " sheet " << k;
            const std::vector<std::string> faults =
                findLayoutFaults(onSheet, job.sheet.length, job.sheet.width);
            EXPECT_TRUE(faults.empty())
                << "round " << round << " sheet " << k << ": " << faults.front();
            if (k == found.score.sheets - 1) {
                EXPECT_DOUBLE_EQ(length, found.score.lastLength) << "round " << round;
            }
        }
    }
    EXPECT_GT(fewer, 0) << "the search saves a sheet on some of these jobs";
}

// Without the overlap phase the walk over orders and turns takes the whole budget and no part
// is moved by the phase; with it, the same budget is shared and parts move.
TEST(SheetSearchTest, WithoutTheOverlapPhaseTheWalkTakesTheWholeBudget) {
    std::mt19937 random(4417);
    Job job = randomJob(random);
    const SearchInstance instance = makeSearchInstance(job.parts, job.sheet, 4, {});
    const std::vector<int> leftOut(instance.parts.size(), kNoSheet);
    SearchOptions options;
    options.evaluations = 600;
    options.threads = 2;
    const SheetsOutcome whole = searchSheets(instance, 0, leftOut, options, [](auto&) {});
    options.separate = false;
    const SheetsOutcome walk = searchSheets(instance, 0, leftOut, options, [](auto&) {});
    ASSERT_GT(whole.score.sheets, 1);
    EXPECT_GT(whole.moves, 0);
    EXPECT_LT(whole.evaluations, options.evaluations / 10);
    EXPECT_EQ(walk.moves, 0);
    EXPECT_EQ(walk.evaluations, options.evaluations);
}

}  // namespace
}  // namespace blocknest
