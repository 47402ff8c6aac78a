// The search judged by figures the test works out itself from the packed parts' vertices, not
// by the search's own scores: on sheets too short for every part, on layouts whose length
// cannot change, and along the progress the search reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <variant>

#include "input/job_preparation.hpp"
#include "packing/packer.hpp"
#include "search/search.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// What the test measures of a layout, from the vertices alone.
struct Measured {
    int offSheet = 0;   // parts with a vertex outside the sheet
    double length = 0;  // the largest X of a part on the sheet
    double spread = 0;  // area-weighted mean of the parts' largest X over all parts' area
};

double shoelace(const std::vector<Vertex>& v) {
    double twice = 0;
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++)
        twice += v[j].x * v[i].y - v[i].x * v[j].y;
    return std::abs(twice) / 2;
}

double netArea(const Part& part) {
    double area = shoelace(part.outerLoop().vertices());
    for (const Loop& hole : part.innerLoops()) area -= shoelace(hole.vertices());
    return area;
}

Measured measure(const PartList& layout, double sheetLength, double sheetWidth) {
    Measured m;
    double weighted = 0;
    double total = 0;
    for (const Part& part : layout) {
        const std::vector<Vertex>& outer = part.outerLoop().vertices();
        const double area = netArea(part);
        total += area;
        const bool on = std::all_of(outer.begin(), outer.end(), [&](const Vertex& v) {
            return v.x >= 0 && v.x <= sheetLength && v.y >= 0 && v.y <= sheetWidth;
        });
        if (!on) {
            ++m.offSheet;
            continue;
        }
        double right = outer.front().x;
        for (const Vertex& v : outer) right = std::max(right, v.x);
        m.length = std::max(m.length, right);
        weighted += area * right;
    }
    m.spread = total > 0 ? weighted / total : 0;
    return m;
}

PreparedJob preparedFrom(const TempDir& dir, const std::string& name, const std::string& text) {
    auto job = loadAndPrepare(dir.write(name, text).string());
    EXPECT_TRUE(std::holds_alternative<PreparedJob>(job)) << std::get<InputError>(job).detail;
    return std::move(std::get<PreparedJob>(job));
}

Measured measuredGenome(const SearchInstance& instance, const Genome& genome) {
    DecoderMemory memory;
    PartList layout;
    (void)decodeLayout(instance, genome, memory, &layout);
    return measure(layout, instance.sheetLength, instance.sheetWidth);
}

// The layout a search returns: the second phase's when it found one, else the best genome's.
Measured measuredOutcome(const SearchInstance& instance, const SearchOutcome& outcome) {
    if (outcome.layout) return measure(*outcome.layout, instance.sheetLength, instance.sheetWidth);
    return measuredGenome(instance, outcome.best);
}

// Random jobs of stars and rectangles whose area is 1.2 to 1.6 times the sheet's: the search
// must never leave more parts off than the one-pass run, and the layout it returns holds the
// figures it scored.
TEST(SearchChecksTest, OnASheetTooShortNoMorePartsAreLeftOffThanByTheOnePassRun) {
    TempDir dir;
    std::mt19937 random(2026);
    int fewerOff = 0;
    for (int trial = 0; trial < 6; ++trial) {
        std::string blocks;
        double area = 0;
        for (int k = 0; k < 6; ++k) {
            const int copies = 1 + static_cast<int>(random() % 4);
            const double size = 6 + static_cast<double>(random() % 10);
            std::vector<Vertex> outline =
                k % 2 == 0
                    ? star(random, size, size, size, 7)
                    : std::vector<Vertex>{{0, 0}, {size, 0}, {size, size / 2}, {0, size / 2}};
            Loop loop;
            loop.setVertices(outline);
            area += copies * loop.area();
            blocks += partBlock("P" + std::to_string(k), copies, outline);
        }
        const double width = 40;
        const double length = std::ceil(area / width / (1.2 + 0.08 * trial));
        PreparedJob job = preparedFrom(dir, "short" + std::to_string(trial) + ".txt",
                                       partFileHeader(length, width) + blocks);
        const SearchInstance instance = makeSearchInstance(job.parts, job.sheet, 4, {});
        RecordingConsole console;
        PartList onePass = job.parts;
        packAllParts(onePass, job.sheet, 4, console);
        const Measured first = measure(onePass, length, width);
        ASSERT_GT(first.offSheet, 0) << "trial " << trial << ": the sheet holds every part";

        SearchOptions options;
        options.evaluations = 90;
        options.seed = 5 + trial;
        const SearchOutcome outcome = searchLayout(instance, options, [](const SearchProgress&) {});
        // With parts left off, a fifth of the budget packs layouts and the rest moves parts in
        // the exact phase, which tries to put them onto the sheet.
        EXPECT_EQ(outcome.evaluations, 18) << "trial " << trial;
        EXPECT_GT(outcome.moves, 0) << "trial " << trial;
        EXPECT_LE(outcome.moves, 72) << "trial " << trial;
        const Measured best = measuredOutcome(instance, outcome);
        EXPECT_LE(best.offSheet, first.offSheet) << "trial " << trial;
        EXPECT_EQ(best.offSheet, outcome.score.unplaced) << "trial " << trial;
        if (best.offSheet == first.offSheet) {
            EXPECT_LE(best.length, first.length) << "trial " << trial;
        }
        fewerOff += best.offSheet < first.offSheet;
    }
    RecordProperty("searches that left fewer parts off", fewerOff);
    EXPECT_GT(fewerOff, 0) << "no search placed more parts than the one-pass run";
}

// One bar nearly as long as the sheet fixes the packed length of every layout, so only the spread
// can tell layouts apart: the search must return a spread no larger than the one-pass run's,
// worked out here from the vertices, and its own figure must agree.
TEST(SearchChecksTest, WhenTheLengthCannotChangeTheSpreadDecides) {
    TempDir dir;
    std::mt19937 random(7);
    int lower = 0;
    for (int trial = 0; trial < 4; ++trial) {
        std::string blocks = partBlock("Bar", 1, {{0, 0}, {120, 0}, {120, 6}, {0, 6}});
        for (int k = 0; k < 4; ++k) {
            blocks += partBlock("S" + std::to_string(k), 2 + static_cast<int>(random() % 3),
                                star(random, 6, 6, 4 + k, 6));
        }
        PreparedJob job = preparedFrom(dir, "bar" + std::to_string(trial) + ".txt",
                                       partFileHeader(122, 40) + blocks);
        const SearchInstance instance = makeSearchInstance(job.parts, job.sheet, 4, {});
        const Measured first = measuredGenome(instance, onePassGenome(instance));
        ASSERT_EQ(first.offSheet, 0);
        ASSERT_NEAR(first.length, 120, 1) << "the bar sets the length";
        SearchOptions options;
        options.evaluations = 90;
        options.seed = 11 + trial;
        options.separate = false;  // the first phase's tie-break; the second shortens only
        const SearchOutcome outcome = searchLayout(instance, options, [](const SearchProgress&) {});
        const Measured best = measuredOutcome(instance, outcome);
        EXPECT_EQ(best.offSheet, 0) << "trial " << trial;
        ASSERT_LE(best.length, first.length) << "trial " << trial;
        if (best.length < first.length) continue;  // the bar found a place further left
        EXPECT_LE(best.spread, first.spread + 1e-9 * first.spread) << "trial " << trial;
        EXPECT_NEAR(outcome.score.spread, best.spread, 1e-9 * best.spread) << "trial " << trial;
        lower += best.spread < first.spread - 1e-9 * first.spread;
    }
    EXPECT_GT(lower, 0) << "no search found a smaller spread: the check saw no tie-break";
}

// The best layout the progress reports never gets worse, the outcome is the last one
// reported, and the layout written from the outcome is that long, measured here. The budgets
// are large enough that the first phase's walk runs for hundreds of layouts, alone and before
// the second phase.
TEST(SearchChecksTest, TheBestReportedNeverWorsensAndIsTheLayoutReturned) {
    struct Case {
        const char* name;
        std::int64_t evaluations;
        bool separate;
        int threads;
        std::uint64_t seed;
    };
    for (const Case& c :
         {Case{"poly2b.txt", 400, false, 1, 5}, Case{"poly1a.txt", 160, false, 2, 3},
          Case{"poly1a.txt", 12000, true, 2, 3}}) {
        const std::string what = std::string(c.name) + " with " + std::to_string(c.evaluations) +
                                 (c.separate ? " evaluations, both phases" : " packing runs");
        auto loaded =
            loadAndPrepare(std::string(BLOCKNEST_SOURCE_DIR "/tests/data/instances/") + c.name);
        ASSERT_TRUE(std::holds_alternative<PreparedJob>(loaded)) << c.name;
        const PreparedJob& job = std::get<PreparedJob>(loaded);
        const SearchInstance instance =
            makeSearchInstance(job.parts, job.sheet, 4, {job.sheet.blockSideLength * 0.5});
        std::vector<Score> reported;
        int firstPhaseReports = 0;
        SearchOptions options;
        options.evaluations = c.evaluations;
        options.separate = c.separate;
        options.threads = c.threads;
        options.seed = c.seed;
        const SearchOutcome outcome = searchLayout(instance, options, [&](const SearchProgress& p) {
            reported.push_back(p.best);
            firstPhaseReports += !p.separating;
        });
        const std::int64_t layouts = c.separate ? c.evaluations / 500 : c.evaluations;
        ASSERT_EQ(outcome.evaluations, layouts) << what << ": the walk did not use its budget";
        EXPECT_GT(firstPhaseReports, layouts / 10) << what << ": the walk did not run";
        ASSERT_FALSE(reported.empty()) << what;
        for (std::size_t i = 1; i < reported.size(); ++i) {
            EXPECT_LE(reported[i].unplaced, reported[i - 1].unplaced) << what << " report " << i;
            if (reported[i].unplaced == reported[i - 1].unplaced) {
                EXPECT_LE(reported[i].length, reported[i - 1].length) << what << " report " << i;
            }
        }
        const Measured best = measuredOutcome(instance, outcome);
        EXPECT_EQ(best.offSheet, reported.back().unplaced) << what;
        EXPECT_DOUBLE_EQ(best.length, reported.back().length)
            << what << ": the layout returned is not the best reported";
        double shortest = reported.front().length;
        for (const Score& s : reported) shortest = std::min(shortest, s.length);
        EXPECT_DOUBLE_EQ(best.length, shortest) << what;
        // The first phase's best alone decodes to a layout no longer than any it reported.
        double firstShortest = reported.front().length;
        for (std::size_t i = 0; i < static_cast<std::size_t>(firstPhaseReports); ++i)
            firstShortest = std::min(firstShortest, reported[i].length);
        EXPECT_DOUBLE_EQ(measuredGenome(instance, outcome.best).length, firstShortest) << what;
    }
}

}  // namespace
}  // namespace blocknest
