#pragma once  // search/guided_walk.hpp: the guided local search both overlap phases walk by
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "search/random.hpp"
#include "search/walk_runner.hpp"

namespace blocknest {

// Guided local search: each round, the weight of a pair that still overlaps grows by a factor
// from kWeightLow to kWeightHigh, the larger the more it overlaps; others decay toward 1.
inline constexpr double kWeightLow = 1.2;
inline constexpr double kWeightHigh = 2.0;
inline constexpr double kWeightDecay = 0.95;
inline constexpr double kWeightCap = 1e12;

// The walk both overlap phases make, over a state of part poses that Walk keeps: the strip is
// cut a little shorter, overlapping parts move one at a time until none overlap, and the strip
// is cut again; a separation that fails is tried again from one of the attempt's least
// overlapping states, two large parts swapped, and after a few failures the cut is halved.
// Walk (which derives from GuidedWalk<Walk, Pose, Length>) supplies:
//   bool startFrom(const PartList&)  poses from a real layout; false: no walk
//   bool openUp()                    room or a shake after the first separation failed
//   bool cutFrom(double share)       from the best state, the strip cut by that share
//   void keepBest()                  the state separated: realise it, note it as the best
//   Length extent() const            how far the parts reach
//   bool anyOverlap() const, double totalOverlap() const, bool overlaps(int) const
//   void move(int)                   one part to its least weighted overlap
//   void updateWeights(), void restore() (overlaps from the poses, after they were set)
//   double size(int) const, void afterSwap(int, int), int shapeOf(int) const
//   static constexpr double kShrinkLeast: the cut never falls below this share
template <class Walk, class Pose, class Length>
class GuidedWalk {
public:
    // Runs until the budget ends; keeps the best real layout that scores better than start.
    void run(const PartList& start, const Score& startScore, std::int64_t quota,
             const SeparationOptions& options, WalkShared& shared) {
        quota_ = quota;
        options_ = &options;
        shared_ = &shared;
        score_ = startScore;
        Walk& walk = self();
        if (!walk.startFrom(start)) return;
        meetEvery_ = meetingInterval(n_, options.meetEvery);
        nextMeeting_ = meetEvery_;
        // Until the start's parts separate, failures open up room or shake the state; another
        // walk's best is taken up once one has it.
        bool took = false;
        while (!separate()) {
            if (!budgetLeft()) return;
            if ((took = meetIfDue())) break;
            if (!walk.openUp()) return;
        }
        if (!took) walk.keepBest();
        if (options.untilPlaced && layout_) return;
        double shrink = kShrinkStart;
        std::vector<std::pair<double, std::vector<Pose>>> pool;
        int failures = 0;
        auto attempt = [&] {
            pose_ = bestPoses_;
            pool.clear();
            failures = 0;
            return walk.cutFrom(shrink);
        };
        if (!attempt()) return;
        while (budgetLeft()) {
            if (meetIfDue()) {
                if (!attempt()) return;
                continue;
            }
            if (separate()) {
                walk.keepBest();
                if (!attempt()) return;
                continue;
            }
            if (++failures >= kTries) {
                shrink = std::max(Walk::kShrinkLeast, shrink * 0.5);
                if (!attempt()) return;
                continue;
            }
            const double left = walk.totalOverlap();
            auto place = std::find_if(pool.begin(), pool.end(),
                                      [&](const auto& entry) { return entry.first > left; });
            pool.insert(place, {left, pose_});
            // The less overlap a state has, the likelier it is taken up again.
            const int draw = random_.below(1000);
            const auto pick = static_cast<std::size_t>(static_cast<double>(draw) * draw / 1e6 *
                                                       static_cast<double>(pool.size()));
            pose_ = pool[pick].second;
            disrupt();
        }
    }

    const std::optional<PartList>& layout() const { return layout_; }
    const Score& score() const { return score_; }
    std::int64_t moves() const { return moves_; }
    // How far the walk's best overlap-free state reaches along the strip.
    Length reach() const { return bestLength_; }
    // True when the walk found no shorter state between its last two meetings.
    bool stalled() const { return stalled_; }
    // Takes up another walk's best state, to go on from it at the next step.
    void adopt(const Walk& other) {
        bestPoses_ = other.bestPoses_;
        bestLength_ = other.bestLength_;
        adopted_ = true;
    }

protected:
    GuidedWalk(const SearchInstance& instance, const std::vector<int>& order, std::uint64_t seed)
        : instance_(instance),
          order_(order),
          n_(static_cast<int>(instance.parts.size())),
          random_(seed),
          pose_(static_cast<std::size_t>(n_)) {}

    bool budgetLeft() const {
        if (moves_ >= quota_ && quota_ > 0) return false;
        if (options_->stop && options_->stop->load(std::memory_order_relaxed)) return false;
        if (options_->deadline && std::chrono::steady_clock::now() >= *options_->deadline) {
            return false;
        }
        return true;
    }

    // Counts a move made.
    void countMove() { shared_->countMoves(++moves_); }

    // Notes the state now as the best the walk has separated.
    void noteBest() {
        bestPoses_ = pose_;
        bestLength_ = self().extent();
    }

    // True when a real layout with this score places every part and beats the best so far.
    bool improves(const Score& score) const { return score.unplaced == 0 && score < score_; }
    // Keeps a real layout that improves on the best so far.
    void keep(PartList&& list, const Score& score) {
        score_ = score;
        shared_->offer(score_, list);
        layout_ = std::move(list);
    }

    // Swaps the places of two large parts of different shapes, to leave a state that keeps
    // failing; weights start again.
    void disrupt() {
        Walk& walk = self();
        std::vector<double> sizes;
        for (int i = 0; i < n_; ++i) sizes.push_back(walk.size(i));
        std::vector<double> sorted = sizes;
        std::sort(sorted.begin(), sorted.end());
        const double cutoff = sorted[sorted.size() / 2];
        std::vector<int> large;
        for (int i = 0; i < n_; ++i) {
            if (sizes[static_cast<std::size_t>(i)] >= cutoff) large.push_back(i);
        }
        const int a =
            large[static_cast<std::size_t>(random_.below(static_cast<int>(large.size())))];
        int b = a;
        for (int tries = 0; tries < 16 && (b == a || walk.shapeOf(b) == walk.shapeOf(a)); ++tries) {
            b = large[static_cast<std::size_t>(random_.below(static_cast<int>(large.size())))];
        }
        if (b != a) {
            Pose& pa = pose_[static_cast<std::size_t>(a)];
            Pose& pb = pose_[static_cast<std::size_t>(b)];
            std::swap(pa.x, pb.x);
            std::swap(pa.y, pb.y);
            walk.afterSwap(a, b);
        }
        walk.startWeightsAgain();
    }

    const SearchInstance& instance_;
    const std::vector<int>& order_;
    const int n_;
    Random random_;
    std::vector<Pose> pose_;
    std::vector<Pose> bestPoses_;  // the best overlap-free state, and its length
    Length bestLength_ = std::numeric_limits<Length>::max();

private:
    static constexpr int kStrikes = 3;    // returns to the least overlap before a separation fails
    static constexpr int kPatience = 50;  // rounds without less overlap in one strike
    static constexpr double kShrinkStart = 0.02;
    static constexpr int kTries =
        3;  // failed separations on one strip length before the cut is halved

    Walk& self() { return static_cast<Walk&>(*this); }

    // Moves overlapping parts until none overlap (true), or until the overlap has not fallen
    // for a while a few times over, or the budget ends (false, at the least overlap).
    bool separate() {
        Walk& walk = self();
        if (!walk.anyOverlap()) return true;
        double least = walk.totalOverlap();
        std::vector<Pose> leastPoses = pose_;
        std::vector<int> moving;
        for (int strike = 0; strike < kStrikes; ++strike) {
            for (int still = 0; still < kPatience;) {
                moving.clear();
                for (int i = 0; i < n_; ++i) {
                    if (walk.overlaps(i)) moving.push_back(i);
                }
                for (std::size_t k = moving.size(); k > 1; --k) {
                    std::swap(moving[k - 1],
                              moving[static_cast<std::size_t>(random_.below(static_cast<int>(k)))]);
                }
                for (const int i : moving) {
                    if (!budgetLeft()) return false;
                    if (walk.overlaps(i)) walk.move(i);
                }
                if (!walk.anyOverlap()) return true;
                const double total = walk.totalOverlap();
                if (total < least) {
                    least = total;
                    leastPoses = pose_;
                    still = 0;
                } else {
                    ++still;
                }
                walk.updateWeights();
            }
            pose_ = leastPoses;
            walk.restore();
        }
        return false;
    }

    // At a meeting point, waits there for the other walks; true when the walk took up another's
    // state.
    bool meetIfDue() {
        if (moves_ < nextMeeting_) return false;
        nextMeeting_ = moves_ + meetEvery_;
        stalled_ = !(bestLength_ < lastReach_);
        lastReach_ = bestLength_;
        shared_->meet();
        const bool took = adopted_;
        adopted_ = false;
        return took;
    }

    std::int64_t moves_ = 0;
    std::int64_t quota_ = 0;
    const SeparationOptions* options_ = nullptr;
    WalkShared* shared_ = nullptr;
    std::int64_t meetEvery_ = 0;
    std::int64_t nextMeeting_ = 0;
    Length lastReach_ = std::numeric_limits<Length>::max();  // the reach at the last meeting
    bool stalled_ = false;  // no shorter state was found since the meeting before
    bool adopted_ = false;  // another walk's best state was taken up at the last meeting
    Score score_;
    std::optional<PartList> layout_;
};

}  // namespace blocknest
