// The searches keep to their budgets: a time limit holds for the whole search, whatever phase
// it ends in, and a stop asked for while the overlap phase runs ends it at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <variant>

#include "input/job_preparation.hpp"
#include "packing/sheets.hpp"
#include "search/search.hpp"
#include "search/sheet_search.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

PreparedJob preparedFrom(const std::string& path) {
    auto job = loadAndPrepare(path);
    EXPECT_TRUE(std::holds_alternative<PreparedJob>(job)) << path;
    return std::move(std::get<PreparedJob>(job));
}

// 28 squares of 95 on sheets of 300 x 200: the finer grids put six on a sheet, so the last of
// five sheets holds four, which the overlap phase then shortens.
PreparedJob squaresJob(const TempDir& dir) {
    return preparedFrom(
        dir.write("squares.txt", partFileHeader(300, 200) +
                                     partBlock("Square", 28, {{0, 0}, {95, 0}, {95, 95}, {0, 95}}))
            .string());
}

// The whole search ends within its time limit, both phases included: over one sheet and over
// several, where the last sheet's overlap phase comes after the walk over all sheets. The
// slack allows for the last evaluation begun before the limit.
TEST(SearchBudgetTest, ATimeLimitHoldsForTheWholeSearch) {
    const double limit = 1.0;
    const double slack = 0.55;
    SearchOptions options;
    options.timeLimit = limit;
    options.threads = 2;
    {
        const PreparedJob job =
            preparedFrom(BLOCKNEST_SOURCE_DIR "/tests/data/instances/poly1a.txt");
        const SearchInstance instance = makeSearchInstance(job.parts, job.sheet, 2, {});
        bool separating = false;
        const auto start = Clock::now();
        const SearchOutcome outcome = searchLayout(
            instance, options, [&](const SearchProgress& p) { separating |= p.separating; });
        const double took = secondsSince(start);
        EXPECT_TRUE(separating) << "the overlap phase did not run";
        EXPECT_GT(outcome.moves, 0);
        EXPECT_LT(took, limit + slack) << "one sheet";
    }
    {
        const TempDir dir;
        const PreparedJob job = squaresJob(dir);
        const SearchInstance instance =
            makeSearchInstance(job.parts, job.sheet, 2, {job.sheet.blockSideLength * 0.5});
        const std::vector<int> leftOut(instance.parts.size(), kNoSheet);
        const auto start = Clock::now();
        const SheetsOutcome outcome =
            searchSheets(instance, 0, leftOut, options, [](const SheetsProgress&) {});
        const double took = secondsSince(start);
        EXPECT_GT(outcome.moves, 0) << "the last sheet's overlap phase did not run";
        EXPECT_LT(took, limit + slack) << "several sheets: " << outcome.score.sheets;
    }
}

// A stop asked for from the progress report once the overlap phase has begun (as Ctrl-C sets
// the flag) ends the search within a fraction of the seconds it had left, with the best
// layout found.
TEST(SearchBudgetTest, AStopDuringTheOverlapPhaseEndsItAtOnce) {
    const PreparedJob job = preparedFrom(BLOCKNEST_SOURCE_DIR "/tests/data/instances/poly1a.txt");
    const SearchInstance instance = makeSearchInstance(job.parts, job.sheet, 2, {});
    std::atomic<bool> stop{false};
    SearchOptions options;
    options.timeLimit = 3;  // the first phase ends at 0.6 s
    options.threads = 2;
    options.stop = &stop;
    std::optional<Clock::time_point> stoppedAt;
    std::int64_t movesAtStop = 0;
    const auto start = Clock::now();
    const SearchOutcome outcome = searchLayout(instance, options, [&](const SearchProgress& p) {
        if (p.separating && !stoppedAt) {
            stoppedAt = Clock::now();
            movesAtStop = p.moves;
            stop = true;
        }
    });
    ASSERT_TRUE(stoppedAt) << "the overlap phase never reported";
    const double afterStop = secondsSince(*stoppedAt);
    EXPECT_LT(afterStop, 0.5) << "the search went on for " << afterStop << " s after the stop ("
                              << outcome.moves - movesAtStop << " moves)";
    EXPECT_LT(secondsSince(start), options.timeLimit - 1);
    EXPECT_GE(outcome.moves, movesAtStop);
}

}  // namespace
}  // namespace blocknest
