#pragma once  // search/separation.hpp: shorter layouts by letting parts overlap and separating them
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "search/decoder.hpp"

namespace blocknest {

struct SeparationOptions {
    std::optional<std::chrono::steady_clock::time_point> deadline;
    std::int64_t moves = 0;  // part moves at most, over all chains; 0: no such limit
    std::uint64_t seed = 1;
    int chains = 1;   // independent walks, each with its own random stream and share of moves
    int threads = 1;  // walks run at once
    const std::atomic<bool>* stop = nullptr;  // set: every walk ends at its next move
    bool keepLayouts = false;    // reports carry each new best layout; the outcome is the same
    std::int64_t meetEvery = 0;  // part moves per part between the walks' meetings; 0: default
    bool untilPlaced = false;    // a walk ends once its layout places every part; no shortening
};

struct SeparationProgress {
    std::int64_t moves = 0;
    Score best;
    bool improved = false;
    const PartList* layout = nullptr;  // a new best layout, when kept; valid during the report
};

struct SeparationOutcome {
    std::optional<PartList> layout;  // a layout scoring better than the start, parts in order
    Score score;                     // its score, or the start's
    std::int64_t moves = 0;
};

// Shortens a complete layout of the instance's parts (start, in the order `order` gives the
// instance's part indices, scored startScore) by guided local search over conservative block
// images: the strip is cut a little shorter, parts are allowed to overlap, and overlapping
// parts move one at a time to where their weighted overlap is least, the weights of pairs
// that keep overlapping growing, until no two share a cell; the parts are then laid out for
// real, slid toward the origin by the exact test, and the strip is cut again. Only layouts
// that pass the exact test count. With a move limit the outcome depends only on the seed and
// the chain count. report is called from the calling thread.
[[nodiscard]] SeparationOutcome separateLayout(
    const SearchInstance& instance, const std::vector<int>& order, const PartList& start,
    const Score& startScore, const SeparationOptions& options,
    const std::function<void(const SeparationProgress&)>& report);

// Checks a layout of the instance's parts made by a walk against the exact test and slides each
// part toward the origin, in order of their left ends; false, the layout unusable, when some
// part fails the test.
[[nodiscard]] bool settleLayout(const SearchInstance& instance, PartList& layout);

// The side of the cells the separation works on for this instance.
[[nodiscard]] double separationCellSide(const SearchInstance& instance);

}  // namespace blocknest
