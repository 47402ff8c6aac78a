#pragma once  // search/exact_separation.hpp: the overlap phase on the exact outlines
#include <functional>
#include <vector>

#include "search/separation.hpp"

namespace blocknest {

// Shortens a layout of the instance's parts (start, in the order `order` gives the instance's
// part indices, scored startScore) as separateLayout does, but with the parts at any position
// rather than on cells: two parts overlap when their outlines do (the exact test's rule), a
// move weighs how deeply by the parts' inscribed circles, and only the parts near the
// positions a move tries are looked at. Parts the start leaves off the sheet are first put
// onto it, overlapping, and the overlap resolved inside the sheet's bounds. Only layouts that
// pass the exact test count; with a move limit the outcome depends only on the seed and the
// chain count. report is called from the calling thread.
[[nodiscard]] SeparationOutcome separateExactly(
    const SearchInstance& instance, const std::vector<int>& order, const PartList& start,
    const Score& startScore, const SeparationOptions& options,
    const std::function<void(const SeparationProgress&)>& report);

}  // namespace blocknest
