#include "search/search.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <variant>

#include "input/job_preparation.hpp"
#include "output/statistics.hpp"
#include "packing/independent_overlap.hpp"
#include "packing/packer.hpp"
#include "search/random.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::findLayoutFaults;
using testing_support::RecordingConsole;

PreparedJob prepared(const std::string& name) {
    auto job = loadAndPrepare(std::string(BLOCKNEST_SOURCE_DIR "/tests/data/instances/") + name);
    EXPECT_TRUE(std::holds_alternative<PreparedJob>(job)) << name;
    return std::move(std::get<PreparedJob>(job));
}

std::vector<double> coordinates(const PartList& parts) {
    std::vector<double> all;
    for (const Part& part : parts) {
        for (const Vertex& v : part.outerLoop().vertices()) {
            all.push_back(v.x);
            all.push_back(v.y);
        }
        for (const Loop& hole : part.innerLoops()) {
            for (const Vertex& v : hole.vertices()) {
                all.push_back(v.x);
                all.push_back(v.y);
            }
        }
    }
    return all;
}

std::vector<const Part*> onSheet(const PartList& parts, double length, double width) {
    std::vector<const Part*> placed;
    for (const Part& part : parts) {
        if (liesOnSheet(part, length, width)) placed.push_back(&part);
    }
    return placed;
}

class DecoderTest : public testing::TestWithParam<std::string> {};

TEST_P(DecoderTest, TheOnePassGenomeGivesTheOnePassLayoutBitForBit) {
    PreparedJob job = prepared(GetParam());
    const SearchInstance instance = makeSearchInstance(job.parts, job.sheet, 2, {});
    RecordingConsole console;
    packAllParts(job.parts, job.sheet, 2, console);
    PartList decoded;
    DecoderMemory memory;
    const Score score = decodeLayout(instance, onePassGenome(instance), memory, &decoded);
    EXPECT_EQ(coordinates(decoded), coordinates(job.parts));
    const PackingStatistics stats = computeStatistics(job.parts, job.sheet.length, job.sheet.width);
    EXPECT_EQ(score.length, stats.packedLength);
    EXPECT_EQ(score.unplaced, 0);
}

TEST_P(DecoderTest, SearchedLayoutsAreNoLongerAndPassAnIndependentCheck) {
    const PreparedJob job = prepared(GetParam());
    const SearchInstance instance =
        makeSearchInstance(job.parts, job.sheet, 4, {job.sheet.blockSideLength * 0.5});
    DecoderMemory memory;
    const Score onePass = decodeLayout(instance, onePassGenome(instance), memory);
    SearchOptions options;
    options.evaluations = 120;
    options.threads = 2;
    options.separate = false;  // the genome search alone: its best genome is checked
    int reports = 0;
    const SearchOutcome outcome =
        searchLayout(instance, options, [&](const SearchProgress&) { ++reports; });
    EXPECT_EQ(outcome.evaluations, 120);
    EXPECT_GT(reports, 0);
    EXPECT_FALSE(onePass < outcome.score) << "never worse than the one-pass layout";
    PartList layout;
    const Score again = decodeLayout(instance, outcome.best, memory, &layout);
    EXPECT_EQ(again.length, outcome.score.length) << "the best genome decodes to its score";
    const auto placed = onSheet(layout, job.sheet.length, job.sheet.width);
    EXPECT_EQ(placed.size(), instance.parts.size());
    const std::vector<std::string> faults =
        findLayoutFaults(placed, job.sheet.length, job.sheet.width);
    EXPECT_TRUE(faults.empty()) << faults.front();
}

INSTANTIATE_TEST_SUITE_P(Instances, DecoderTest,
                         testing::Values("dighe2.txt", "poly1a.txt", "han.txt"),
                         [](const auto& info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

TEST(SearchTest, AnEvaluationBudgetGivesTheSameOutcomeOnAnyThreadCount) {
    const PreparedJob job = prepared("poly2b.txt");
    const SearchInstance instance =
        makeSearchInstance(job.parts, job.sheet, 2, {job.sheet.blockSideLength * 0.7});
    SearchOptions options;
    options.evaluations = 90;
    options.seed = 11;
    options.separate = false;
    std::vector<SearchOutcome> outcomes;
    for (int threads : {1, 2, 3}) {
        options.threads = threads;
        outcomes.push_back(searchLayout(instance, options, [](const SearchProgress&) {}));
    }
    for (const SearchOutcome& outcome : outcomes) {
        EXPECT_EQ(outcome.best.order, outcomes[0].best.order);
        EXPECT_EQ(outcome.best.turns, outcomes[0].best.turns);
        EXPECT_EQ(outcome.best.grid, outcomes[0].best.grid);
        EXPECT_EQ(outcome.score.length, outcomes[0].score.length);
        EXPECT_EQ(outcome.evaluations, 90);
    }
    options.seed = 12;
    options.threads = 1;
    const SearchOutcome other = searchLayout(instance, options, [](const SearchProgress&) {});
    EXPECT_NE(other.best.order, outcomes[0].best.order) << "the seed matters";
}

TEST(SearchTest, ATimeLimitEndsTheSearch) {
    const PreparedJob job = prepared("dighe1.txt");
    const SearchInstance instance = makeSearchInstance(job.parts, job.sheet, 2, {});
    SearchOptions options;
    options.timeLimit = 0.2;
    options.threads = 2;
    // With no evaluation budget the search goes on until its time is up, and then ends, however
    // few layouts a slow build manages in that time.
    const auto start = std::chrono::steady_clock::now();
    const SearchOutcome outcome = searchLayout(instance, options, [](const SearchProgress&) {});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took.count(), 0.9 * options.timeLimit);
    EXPECT_GE(outcome.evaluations, 1);
    EXPECT_EQ(outcome.best.order.size(), instance.parts.size());
}

TEST(RandomTest, TheStreamIsFixedBySeedAndBoundsHold) {
    Random a(5);
    Random b(5);
    std::set<int> seen;
    for (int i = 0; i < 1000; ++i) {
        const int x = a.below(7);
        EXPECT_EQ(x, b.below(7));
        ASSERT_GE(x, 0);
        ASSERT_LT(x, 7);
        seen.insert(x);
    }
    EXPECT_EQ(seen.size(), 7u) << "every value comes up";
    EXPECT_EQ(Random(1).next(), 0x910A2DEC89025CC1ULL) << "splitmix64's published first value";
}

}  // namespace
}  // namespace blocknest
