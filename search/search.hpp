#pragma once  // search/search.hpp: a time- or evaluation-boxed search for a shorter layout
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "search/decoder.hpp"
#include "search/separation.hpp"

namespace blocknest {

// The exact phase's share of the second phase, unless a search asks for another.
inline constexpr double kExactShare = 0.5;

struct SearchOptions {
    double timeLimit = 0;  // seconds of wall time; 0: no time limit
    // The budget in evaluations; 0: no such limit. The first phase packs at most one layout
    // per 500 of them (at least one), the second makes at most that many part moves. Without
    // the second phase (not asked for, or a sheet too short for every part) the first packs
    // one layout per evaluation.
    std::int64_t evaluations = 0;
    std::uint64_t seed = 1;
    int threads = 1;
    bool separate = true;  // run the overlap-resolving second phase
    // The share of the second phase's time or moves that the exact phase takes after the cell
    // phase; 0: the cell phase alone, 1: the exact phase alone.
    double exactShare = kExactShare;
    const std::atomic<bool>* stop = nullptr;  // set: the search ends soon with what it has
    bool keepLayouts = false;    // the second phase's reports carry its new best layouts
    std::int64_t meetEvery = 0;  // part moves per part between the walks' meetings; 0: default
};

// An evaluation budget buys one packing run for every kEvaluationsPerLayout evaluations (a
// packing run takes the time of 50 to 500 part moves), or one part move for each.
inline constexpr std::int64_t kEvaluationsPerLayout = 500;

// The overlap-resolving phase's options for a search: its deadline and move limit (0: none),
// the search's seed, threads and stop flag; with an evaluation limit always two walks, so that
// the outcome does not depend on the thread count, one per thread otherwise.
[[nodiscard]] SeparationOptions separationOptionsFor(
    const SearchOptions& options, std::optional<std::chrono::steady_clock::time_point> deadline,
    std::int64_t moves);

// Shortens a layout of the instance's parts (start, in the order `order` gives; it may leave
// parts off, which the exact phase then tries to place) by the overlap phases until end or
// for `moves` part moves (0: no limit): the cell phase for its share where every part is placed
// on a sheet with no drawn outline or defect, then the exact phase for the rest. The outcome
// holds a layout only when it scores better than the start.
[[nodiscard]] SeparationOutcome shortenLayout(
    const SearchInstance& instance, const std::vector<int>& order, const PartList& start,
    const Score& startScore, const SearchOptions& options,
    std::optional<std::chrono::steady_clock::time_point> end, std::int64_t moves,
    const std::function<void(const SeparationProgress&)>& report);

struct SearchProgress {
    double elapsed = 0;  // seconds since the search began
    std::int64_t evaluations = 0;
    std::int64_t moves = 0;   // part moves of the second phase
    bool separating = false;  // the second phase has begun
    Score best;
    bool improved = false;           // the best layout changed with this report
    const Genome* genome = nullptr;  // the first phase's best genome, valid during the report
    // The second phase's new best layout when options.keepLayouts is set, its parts in the
    // first phase's best genome's order; valid during the report, null when unchanged.
    const PartList* layout = nullptr;
};

struct SearchOutcome {
    Genome best;  // the first phase's best; its order is the order of layout's parts
    Score score;
    std::int64_t evaluations = 0;
    std::int64_t moves = 0;
    std::optional<PartList> layout;  // the second phase's layout, when it scores better
};

// Looks for a layout that scores better than the one-pass run's, which it starts from and never
// falls behind. The first phase (a fifth of the time) searches genomes: candidates are made in
// batches of a fixed size from one random stream and judged in batch order; when the one-pass
// layout leaves parts off, its first batch also packs them first and tries exact positions
// first (Genome::exactFirst). The second shortens the first's best layout by separating
// overlapping parts on a shrinking strip, in two walks when the budget counts evaluations, one
// per thread otherwise. With an evaluation
// limit the outcome does not depend on the thread count or the machine's speed. report is
// called from the calling thread.
[[nodiscard]] SearchOutcome searchLayout(const SearchInstance& instance,
                                         const SearchOptions& options,
                                         const std::function<void(const SearchProgress&)>& report);

}  // namespace blocknest
