#pragma once  // search/search.hpp: a time- or evaluation-boxed search for a shorter layout
#include <cstdint>
#include <functional>

#include "search/decoder.hpp"

namespace blocknest {

struct SearchOptions {
    double timeLimit = 0;          // seconds of wall time; 0: no time limit
    std::int64_t evaluations = 0;  // packing runs at most; 0: no such limit
    std::uint64_t seed = 1;
    int threads = 1;
};

struct SearchProgress {
    double elapsed = 0;  // seconds since the search began
    std::int64_t evaluations = 0;
    Score best;
    bool improved = false;  // the best layout changed with this report
};

struct SearchOutcome {
    Genome best;
    Score score;
    std::int64_t evaluations = 0;
};

// Looks for a genome whose layout scores better than the one-pass run's, which it starts from
// and never falls behind. Candidates are made in batches of a fixed size from one random
// stream and judged in batch order, so that with an evaluation limit the outcome does not
// depend on the thread count or the machine's speed. report is called from the calling
// thread after each batch.
[[nodiscard]] SearchOutcome searchLayout(const SearchInstance& instance,
                                         const SearchOptions& options,
                                         const std::function<void(const SearchProgress&)>& report);

}  // namespace blocknest
