#pragma once  // geometry/interval_index.hpp: which of many intervals contain a value
#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

namespace blocknest {

// Intervals [low, high] of numbers (no NaN), each with an id, sorted by low, with a tree of
// the highest high over ranges of them: a query visits only the intervals that contain the
// value and the tree nodes above them, not every interval.
class IntervalIndex {
public:
    void add(double low, double high, std::size_t id) { pending_.push_back({low, high, id}); }
    void build();  // after the last add, before the first query

    // Calls visit(id) for each interval with low <= value and value <= high, or value < high
    // when the high end is open; the order is that of low, then of adding.
    template <class Visit>
    void forEachContaining(double value, bool openHigh, Visit visit) const {
        const std::size_t count = static_cast<std::size_t>(
            std::upper_bound(lows_.begin(), lows_.end(), value) - lows_.begin());
        if (count > 0) visitNode(1, 0, leafCount_, count, value, openHigh, visit);
    }

private:
    struct Interval {
        double low, high;
        std::size_t id;
    };
    template <class Visit>
    void visitNode(std::size_t node, std::size_t lo, std::size_t hi, std::size_t count,
                   double value, bool openHigh, Visit& visit) const {
        const double top = highTree_[node];
        if (lo >= count || top < value || (openHigh && top == value)) return;
        if (node >= leafCount_) {
            visit(ids_[lo]);
            return;
        }
        const std::size_t mid = lo + (hi - lo) / 2;
        visitNode(2 * node, lo, mid, count, value, openHigh, visit);
        visitNode(2 * node + 1, mid, hi, count, value, openHigh, visit);
    }

    std::vector<Interval> pending_;
    std::vector<double> lows_;      // ascending
    std::vector<std::size_t> ids_;  // in the order of lows_
    std::vector<double> highTree_;  // leaves from leafCount_ on; padding is -infinity
    std::size_t leafCount_ = 1;
};

inline void IntervalIndex::build() {
    std::stable_sort(pending_.begin(), pending_.end(),
                     [](const Interval& a, const Interval& b) { return a.low < b.low; });
    leafCount_ = 1;
    while (leafCount_ < pending_.size()) leafCount_ *= 2;
    highTree_.assign(2 * leafCount_, -std::numeric_limits<double>::infinity());
    lows_.clear();
    ids_.clear();
    for (std::size_t k = 0; k < pending_.size(); ++k) {
        lows_.push_back(pending_[k].low);
        ids_.push_back(pending_[k].id);
        highTree_[leafCount_ + k] = pending_[k].high;
    }
    for (std::size_t node = leafCount_; node-- > 1;) {
        highTree_[node] = std::max(highTree_[2 * node], highTree_[2 * node + 1]);
    }
    pending_.clear();
    pending_.shrink_to_fit();
}

}  // namespace blocknest
