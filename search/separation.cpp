#include "search/separation.hpp"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "packing/compaction.hpp"
#include "packing/overlap.hpp"
#include "search/bit_image.hpp"
#include "search/random.hpp"
#include "search/walk_runner.hpp"

namespace blocknest {
namespace {

using Clock = std::chrono::steady_clock;

// Cells across a part of the mean box area: finer cells lose less to the cover's margin and to
// positions on the grid, coarser ones are faster to compare.
constexpr double kCellsAcross = 72;
constexpr int kGlobalSamples = 24;  // positions tried anywhere on the strip per move
constexpr int kLocalSamples = 24;   // positions tried near the part's place per move
constexpr int kStrikes = 3;         // returns to the least overlap before a separation fails
constexpr int kPatience = 50;       // rounds without less overlap in one strike
constexpr double kShrinkStart = 0.02;
constexpr int kTries = 3;  // failed separations on one strip length before the cut is halved
// Guided local search: each round, the weight of a pair that still overlaps grows by a factor
// from kWeightLow to kWeightHigh, the larger the more it overlaps; others decay toward 1.
constexpr double kWeightLow = 1.2;
constexpr double kWeightHigh = 2.0;
constexpr double kWeightDecay = 0.95;
constexpr double kWeightCap = 1e12;

struct Pose {
    int turn = 0;
    int x = 0;
    int y = 0;
};

// The images of every part in every turn it may take, made once and shared by the walks.
struct ImageTable {
    double side = 0;
    int width = 0;                              // cells across the sheet
    int maxLength = 0;                          // cells along the sheet
    std::vector<std::vector<BitImage>> images;  // per shape slot, per turn
    std::vector<int> slotOf;                    // per part

    const BitImage& image(int part, int turn) const {
        return images[static_cast<std::size_t>(slotOf[static_cast<std::size_t>(part)])]
                     [static_cast<std::size_t>(turn)];
    }
};

ImageTable makeImages(const SearchInstance& instance) {
    ImageTable table;
    table.side = separationCellSide(instance);
    table.width = static_cast<int>(std::floor(instance.sheetWidth / table.side));
    table.maxLength = static_cast<int>(std::floor(instance.sheetLength / table.side));
    std::vector<int> slotOfShape(instance.parts.size(), -1);
    for (std::size_t id = 0; id < instance.parts.size(); ++id) {
        const auto shape = static_cast<std::size_t>(instance.shapeOf[id]);
        if (slotOfShape[shape] < 0) {
            slotOfShape[shape] = static_cast<int>(table.images.size());
            std::vector<BitImage> turned;
            for (const Orientation& turn : instance.turns[id]) {
                Part part = instance.parts[id];
                part.applyTurn(turn);
                turned.push_back(makeBitImage(part, table.side));
            }
            table.images.push_back(std::move(turned));
        }
        table.slotOf.push_back(slotOfShape[shape]);
    }
    return table;
}

// One walk: a state of cell poses on a strip of `length_` cells, its pair overlaps and weights.
class Walk {
public:
    Walk(const SearchInstance& instance, const ImageTable& table, const std::vector<int>& order,
         std::uint64_t seed)
        : instance_(instance),
          table_(table),
          order_(order),
          n_(static_cast<int>(instance.parts.size())),
          random_(seed),
          pose_(static_cast<std::size_t>(n_)),
          overlap_(static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_), 0),
          weight_(static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_), 1.0),
          overlapOf_(static_cast<std::size_t>(n_), 0) {}

    // Runs until the budget ends; keeps the best real layout that scores better than start.
    void run(const PartList& start, const Score& startScore, std::int64_t quota,
             const SeparationOptions& options, WalkShared& shared) {
        quota_ = quota;
        options_ = &options;
        shared_ = &shared;
        score_ = startScore;
        if (!startFrom(start)) return;

        while (!separate()) {
            if (!budgetLeft() || length_ >= table_.maxLength) return;
            length_ = std::min(table_.maxLength, length_ + std::max(1, length_ / 100));
        }
        std::vector<Pose> bestPoses = pose_;
        int bestLength = extent();
        realize();
        // Each attempt starts from the best layout on a strip cut by `shrink`; a separation
        // that fails is tried again from one of the attempt's least overlapping states, two
        // large parts swapped, and after kTries failures the cut is halved.
        double shrink = kShrinkStart;
        std::vector<std::pair<std::int64_t, std::vector<Pose>>> pool;
        int failures = 0;
        auto attempt = [&] {
            pose_ = bestPoses;
            length_ = bestLength;
            pool.clear();
            failures = 0;
            const int cut = std::max(1, static_cast<int>(std::floor(bestLength * shrink)));
            return shrinkTo(bestLength - cut);
        };
        if (!attempt()) return;
        while (budgetLeft()) {
            if (separate()) {
                bestPoses = pose_;
                bestLength = extent();
                realize();
                if (!attempt()) return;
                continue;
            }
            if (++failures >= kTries) {
                shrink *= 0.5;
                if (!attempt()) return;
                continue;
            }
            const std::int64_t left = totalOverlap();
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

private:
    std::size_t at(int i, int j) const {
        return static_cast<std::size_t>(i) * static_cast<std::size_t>(n_) +
               static_cast<std::size_t>(j);
    }
    const BitImage& image(int i, int turn) const { return table_.image(i, turn); }
    const BitImage& image(int i) const { return image(i, pose_[static_cast<std::size_t>(i)].turn); }

    bool budgetLeft() {
        if (moves_ >= quota_ && quota_ > 0) return false;
        if (options_->stop && options_->stop->load(std::memory_order_relaxed)) return false;
        if (options_->deadline && Clock::now() >= *options_->deadline) return false;
        return true;
    }

    // Poses nearest the parts' places in a real layout (in order_ order), on a strip just long
    // enough for them.
    bool startFrom(const PartList& start) {
        auto placed = start.begin();
        length_ = 0;
        for (const int i : order_) {
            const Part& part = *placed++;
            const std::vector<Orientation>& turns = instance_.turns[static_cast<std::size_t>(i)];
            const auto found = std::find(turns.begin(), turns.end(), part.turn());
            if (found == turns.end()) return false;
            Pose pose;
            pose.turn = static_cast<int>(found - turns.begin());
            const BitImage& im = image(i, pose.turn);
            if (im.columns > table_.maxLength || im.rows > table_.width) return false;
            pose.x = static_cast<int>(std::lround(part.bounds().minX / table_.side));
            pose.y = static_cast<int>(std::lround(part.bounds().minY / table_.side));
            pose.x = std::clamp(pose.x, 0, table_.maxLength - im.columns);
            pose.y = std::clamp(pose.y, 0, table_.width - im.rows);
            pose_[static_cast<std::size_t>(i)] = pose;
            length_ = std::max(length_, pose.x + im.columns);
        }
        recomputeOverlaps();
        return true;
    }

    int extent() const {
        int end = 0;
        for (int i = 0; i < n_; ++i) {
            end = std::max(end, pose_[static_cast<std::size_t>(i)].x + image(i).columns);
        }
        return end;
    }

    // Cuts the strip to `length` cells: the parts beyond a random line move back by the cut,
    // and any still past the end is pushed inside, turned if it must be. False when some part
    // fits the shorter strip in no turn.
    bool shrinkTo(int length) {
        const int cut = length_ - length;
        const int line = random_.below(std::max(1, length_));
        for (int i = 0; i < n_; ++i) {
            Pose& pose = pose_[static_cast<std::size_t>(i)];
            if (pose.x + image(i).columns / 2 > line) pose.x -= cut;
            if (image(i).columns > length) {
                const std::vector<Orientation>& turns =
                    instance_.turns[static_cast<std::size_t>(i)];
                int fitting = -1;
                for (int t = 0; t < static_cast<int>(turns.size()); ++t) {
                    if (image(i, t).columns <= length && image(i, t).rows <= table_.width) {
                        fitting = t;
                        break;
                    }
                }
                if (fitting < 0) return false;
                pose.turn = fitting;
            }
            pose.x = std::clamp(pose.x, 0, length - image(i).columns);
            pose.y = std::clamp(pose.y, 0, table_.width - image(i).rows);
        }
        length_ = length;
        resetWeights();
        recomputeOverlaps();
        return true;
    }

    // Swaps the places of two large parts of different shapes, to leave a state that keeps
    // failing; weights start again.
    void disrupt() {
        std::vector<int> large;
        std::vector<std::int64_t> sizes;
        for (int i = 0; i < n_; ++i) sizes.push_back(image(i).cells);
        std::vector<std::int64_t> sorted = sizes;
        std::sort(sorted.begin(), sorted.end());
        const std::int64_t cutoff = sorted[sorted.size() / 2];
        for (int i = 0; i < n_; ++i) {
            if (sizes[static_cast<std::size_t>(i)] >= cutoff) large.push_back(i);
        }
        const int a =
            large[static_cast<std::size_t>(random_.below(static_cast<int>(large.size())))];
        int b = a;
        for (int tries = 0;
             tries < 16 && (b == a || instance_.shapeOf[static_cast<std::size_t>(b)] ==
                                          instance_.shapeOf[static_cast<std::size_t>(a)]);
             ++tries) {
            b = large[static_cast<std::size_t>(random_.below(static_cast<int>(large.size())))];
        }
        if (b != a) {
            Pose& pa = pose_[static_cast<std::size_t>(a)];
            Pose& pb = pose_[static_cast<std::size_t>(b)];
            std::swap(pa.x, pb.x);
            std::swap(pa.y, pb.y);
            for (const int i : {a, b}) {
                Pose& pose = pose_[static_cast<std::size_t>(i)];
                pose.x = std::clamp(pose.x, 0, std::max(0, length_ - image(i).columns));
                pose.y = std::clamp(pose.y, 0, std::max(0, table_.width - image(i).rows));
            }
        }
        resetWeights();
        recomputeOverlaps();
    }

    void resetWeights() { std::fill(weight_.begin(), weight_.end(), 1.0); }

    void recomputeOverlaps() {
        std::fill(overlapOf_.begin(), overlapOf_.end(), 0);
        for (int i = 0; i < n_; ++i) {
            for (int j = i + 1; j < n_; ++j) {
                const std::int64_t shared =
                    sharedWith(image(i), pose_[static_cast<std::size_t>(i)].x,
                               pose_[static_cast<std::size_t>(i)].y, j);
                overlap_[at(i, j)] = overlap_[at(j, i)] = shared;
                overlapOf_[static_cast<std::size_t>(i)] += shared;
                overlapOf_[static_cast<std::size_t>(j)] += shared;
            }
        }
    }

    std::int64_t sharedWith(const BitImage& im, int x, int y, int j) const {
        const Pose& other = pose_[static_cast<std::size_t>(j)];
        const BitImage& b = image(j);
        if (x >= other.x + b.columns || other.x >= x + im.columns || y >= other.y + b.rows ||
            other.y >= y + im.rows) {
            return 0;
        }
        return sharedCells(im, x, y, b, other.x, other.y);
    }

    // The weighted overlap of part i with image im at (x, y); stops early once it reaches bound.
    double cost(int i, const BitImage& im, int x, int y, double bound) const {
        double total = 0;
        for (int j = 0; j < n_; ++j) {
            if (j == i) continue;
            const std::int64_t shared = sharedWith(im, x, y, j);
            if (shared == 0) continue;
            total += weight_[at(i, j)] * static_cast<double>(shared);
            if (total >= bound) return total;
        }
        return total;
    }

    void setPose(int i, const Pose& pose) {
        pose_[static_cast<std::size_t>(i)] = pose;
        const BitImage& im = image(i);
        std::int64_t own = 0;
        for (int j = 0; j < n_; ++j) {
            if (j == i) continue;
            const std::int64_t shared = sharedWith(im, pose.x, pose.y, j);
            const std::int64_t before = overlap_[at(i, j)];
            overlap_[at(i, j)] = overlap_[at(j, i)] = shared;
            overlapOf_[static_cast<std::size_t>(j)] += shared - before;
            own += shared;
        }
        overlapOf_[static_cast<std::size_t>(i)] = own;
    }

    bool fits(int i, const Pose& pose) const {
        const BitImage& im = image(i, pose.turn);
        return pose.x >= 0 && pose.y >= 0 && pose.x + im.columns <= length_ &&
               pose.y + im.rows <= table_.width;
    }

    // Moves part i to the pose of least weighted overlap among samples over the strip and near
    // its place, in its allowed turns, then refines it by ever smaller steps.
    void move(int i) {
        const int turns = static_cast<int>(instance_.turns[static_cast<std::size_t>(i)].size());
        Pose best = pose_[static_cast<std::size_t>(i)];
        const Pose here = best;
        double bestCost = cost(i, image(i), best.x, best.y, std::numeric_limits<double>::max());
        auto attempt = [&](const Pose& pose) {
            if (!fits(i, pose)) return;
            const double c = cost(i, image(i, pose.turn), pose.x, pose.y, bestCost);
            if (c < bestCost) {
                best = pose;
                bestCost = c;
            }
        };
        for (int s = 0; s < kGlobalSamples && bestCost > 0; ++s) {
            Pose pose;
            pose.turn = random_.below(turns);
            const BitImage& im = image(i, pose.turn);
            if (im.columns > length_ || im.rows > table_.width) continue;
            pose.x = random_.below(length_ - im.columns + 1);
            pose.y = random_.below(table_.width - im.rows + 1);
            attempt(pose);
        }
        const BitImage& own = image(i);
        const int reachX = std::max(2, own.columns / 2);
        const int reachY = std::max(2, own.rows / 2);
        for (int s = 0; s < kLocalSamples && bestCost > 0; ++s) {
            Pose pose = here;
            if (turns > 1 && random_.chance(1, 4)) pose.turn = random_.below(turns);
            pose.x += random_.below(2 * reachX + 1) - reachX;
            pose.y += random_.below(2 * reachY + 1) - reachY;
            const BitImage& im = image(i, pose.turn);
            pose.x = std::clamp(pose.x, 0, std::max(0, length_ - im.columns));
            pose.y = std::clamp(pose.y, 0, std::max(0, table_.width - im.rows));
            attempt(pose);
        }
        const BitImage& chosen = image(i, best.turn);
        for (int step = std::max(1, std::min(chosen.columns, chosen.rows) / 4);
             step >= 1 && bestCost > 0;) {
            const Pose from = best;
            for (const auto& [dx, dy] :
                 {std::pair{-1, 0}, std::pair{1, 0}, std::pair{0, -1}, std::pair{0, 1},
                  std::pair{-1, -1}, std::pair{1, -1}, std::pair{-1, 1}, std::pair{1, 1}}) {
                attempt({from.turn, from.x + dx * step, from.y + dy * step});
            }
            if (best.x == from.x && best.y == from.y) step /= 2;
        }
        setPose(i, best);
        shared_->countMoves(++moves_);
    }

    std::int64_t totalOverlap() const {
        std::int64_t total = 0;
        for (const std::int64_t o : overlapOf_) total += o;
        return total / 2;
    }

    void updateWeights() {
        std::int64_t most = 0;
        for (const std::int64_t o : overlap_) most = std::max(most, o);
        for (int i = 0; i < n_; ++i) {
            for (int j = i + 1; j < n_; ++j) {
                double& w = weight_[at(i, j)];
                const std::int64_t o = overlap_[at(i, j)];
                if (o > 0) {
                    w = std::min(kWeightCap, w * (kWeightLow + (kWeightHigh - kWeightLow) *
                                                                   static_cast<double>(o) /
                                                                   static_cast<double>(most)));
                } else if (w > 1) {
                    w = std::max(1.0, w * kWeightDecay);
                }
                weight_[at(j, i)] = w;
            }
        }
    }

    // Moves overlapping parts until no two share a cell (true), or until the overlap has not
    // fallen for a while a few times over, or the budget ends (false, at the least overlap).
    bool separate() {
        std::int64_t least = totalOverlap();
        if (least == 0) return true;
        std::vector<Pose> leastPoses = pose_;
        std::vector<int> moving;
        for (int strike = 0; strike < kStrikes; ++strike) {
            for (int still = 0; still < kPatience;) {
                moving.clear();
                for (int i = 0; i < n_; ++i) {
                    if (overlapOf_[static_cast<std::size_t>(i)] > 0) moving.push_back(i);
                }
                for (std::size_t k = moving.size(); k > 1; --k) {
                    std::swap(moving[k - 1],
                              moving[static_cast<std::size_t>(random_.below(static_cast<int>(k)))]);
                }
                for (const int i : moving) {
                    if (!budgetLeft()) return false;
                    if (overlapOf_[static_cast<std::size_t>(i)] > 0) move(i);
                }
                const std::int64_t total = totalOverlap();
                if (total == 0) return true;
                if (total < least) {
                    least = total;
                    leastPoses = pose_;
                    still = 0;
                } else {
                    ++still;
                }
                updateWeights();
            }
            pose_ = leastPoses;
            recomputeOverlaps();
        }
        return false;
    }

    // Lays the parts out for real where the cells say, slides each toward the origin by the
    // exact test, and keeps the layout if it scores better than the best so far.
    void realize() {
        const Grid& grid = instance_.grids.front();
        PartList list;
        for (const int i : order_) {
            Part part = instance_.parts[static_cast<std::size_t>(i)];
            part.setBlockSideLength(grid.blockSide);
            const Pose& pose = pose_[static_cast<std::size_t>(i)];
            const Orientation& turn =
                instance_.turns[static_cast<std::size_t>(i)][static_cast<std::size_t>(pose.turn)];
            part.applyTurn(turn);
            part.setTurn(turn);
            const BitImage& im = image(i);
            part.translate(pose.x * table_.side + im.shiftX, pose.y * table_.side + im.shiftY);
            list.pushBack(std::move(part));
        }
        if (!settleLayout(instance_, list)) return;
        const Score score = scoreLayout(instance_, list);
        if (score.unplaced > 0 || !(score < score_)) return;
        score_ = score;
        shared_->offer(score_, list);
        layout_ = std::move(list);
    }

    const SearchInstance& instance_;
    const ImageTable& table_;
    const std::vector<int>& order_;
    const int n_;
    Random random_;
    std::vector<Pose> pose_;
    std::vector<std::int64_t> overlap_;
    std::vector<double> weight_;
    std::vector<std::int64_t> overlapOf_;
    int length_ = 0;
    std::int64_t moves_ = 0;
    std::int64_t quota_ = 0;
    const SeparationOptions* options_ = nullptr;
    WalkShared* shared_ = nullptr;
    Score score_;
    std::optional<PartList> layout_;
};

}  // namespace

bool settleLayout(const SearchInstance& instance, PartList& list) {
    const Grid& grid = instance.grids.front();
    PartIndex index(list, grid.sheet);
    for (const Part& part : list) {
        if (!isPlacementFeasible(index, part)) return false;
    }
    std::vector<Part*> byX;
    for (Part& part : list) byX.push_back(&part);
    std::stable_sort(byX.begin(), byX.end(), [](const Part* a, const Part* b) {
        return a->bounds().minX < b->bounds().minX;
    });
    for (Part* part : byX) {
        compactAlongX(index, *part, grid.blockSide);
        compactAlongY(index, *part, grid.blockSide);
        compactAlongX(index, *part, grid.blockSide);
        index.markPlaced(*part);
    }
    return true;
}

double separationCellSide(const SearchInstance& instance) {
    double area = 0;
    for (const Part& part : instance.parts) {
        const BoundingBox& box = part.bounds();
        area += (box.maxX - box.minX) * (box.maxY - box.minY);
    }
    const double mean = instance.parts.empty() ? 0 : area / instance.parts.size();
    const double side = std::sqrt(mean) / kCellsAcross;
    return side > 0 && std::isfinite(side) ? side : instance.grids.front().blockSide;
}

SeparationOutcome separateLayout(const SearchInstance& instance, const std::vector<int>& order,
                                 const PartList& start, const Score& startScore,
                                 const SeparationOptions& options,
                                 const std::function<void(const SeparationProgress&)>& report) {
    SeparationOutcome outcome;
    outcome.score = startScore;
    if (instance.parts.size() < 2 || startScore.unplaced > 0) return outcome;
    const ImageTable table = makeImages(instance);
    if (table.width < 1 || table.maxLength < 1) return outcome;

    const int chains = std::max(1, options.chains);
    std::vector<Walk> walks;
    walks.reserve(static_cast<std::size_t>(chains));
    for (int c = 0; c < chains; ++c) {
        walks.emplace_back(instance, table, order,
                           options.seed * 0x9E3779B97F4A7C15ULL + static_cast<std::uint64_t>(c));
    }
    return runWalks(walks, start, startScore, options, report);
}

}  // namespace blocknest
