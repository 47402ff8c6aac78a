#include "search/separation.hpp"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "packing/compaction.hpp"
#include "packing/exact_fit.hpp"
#include "packing/overlap.hpp"
#include "search/bit_image.hpp"
#include "search/guided_walk.hpp"
#include "search/random.hpp"
#include "search/walk_runner.hpp"

namespace blocknest {
namespace {

// Cells across a part of the mean box area: finer cells lose less to the cover's margin and to
// positions on the grid, coarser ones are faster to compare.
constexpr double kCellsAcross = 72;
constexpr int kGlobalSamples = 24;  // positions tried anywhere on the strip per move
constexpr int kLocalSamples = 24;   // positions tried near the part's place per move

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
class Walk : public GuidedWalk<Walk, Pose, int> {
public:
    Walk(const SearchInstance& instance, const ImageTable& table, const std::vector<int>& order,
         std::uint64_t seed)
        : GuidedWalk(instance, order, seed),
          table_(table),
          overlap_(static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_), 0),
          weight_(static_cast<std::size_t>(n_) * static_cast<std::size_t>(n_), 1.0),
          overlapOf_(static_cast<std::size_t>(n_), 0) {}

    static constexpr double kShrinkLeast = 0;

private:
    friend class GuidedWalk<Walk, Pose, int>;

    std::size_t at(int i, int j) const {
        return static_cast<std::size_t>(i) * static_cast<std::size_t>(n_) +
               static_cast<std::size_t>(j);
    }
    const BitImage& image(int i, int turn) const { return table_.image(i, turn); }
    const BitImage& image(int i) const { return image(i, pose_[static_cast<std::size_t>(i)].turn); }

    // More room after the start failed to separate: a longer strip, up to the sheet.
    bool openUp() {
        if (length_ >= table_.maxLength) return false;
        length_ = std::min(table_.maxLength, length_ + std::max(1, length_ / 100));
        return true;
    }

    // From the best state (the poses already taken up), the strip cut by the share.
    bool cutFrom(double share) {
        length_ = bestLength_;
        const int cut = std::max(1, static_cast<int>(std::floor(bestLength_ * share)));
        return shrinkTo(bestLength_ - cut);
    }

    void keepBest() {
        noteBest();
        realize();
    }

    bool anyOverlap() const {
        return std::any_of(overlapOf_.begin(), overlapOf_.end(),
                           [](std::int64_t o) { return o > 0; });
    }
    bool overlaps(int i) const { return overlapOf_[static_cast<std::size_t>(i)] > 0; }
    double size(int i) const { return static_cast<double>(image(i).cells); }
    int shapeOf(int i) const { return instance_.shapeOf[static_cast<std::size_t>(i)]; }
    void afterSwap(int a, int b) {
        for (const int i : {a, b}) {
            Pose& pose = pose_[static_cast<std::size_t>(i)];
            pose.x = std::clamp(pose.x, 0, std::max(0, length_ - image(i).columns));
            pose.y = std::clamp(pose.y, 0, std::max(0, table_.width - image(i).rows));
        }
    }
    void startWeightsAgain() {
        resetWeights();
        recomputeOverlaps();
    }
    void restore() { recomputeOverlaps(); }

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
        countMove();
    }

    double totalOverlap() const {
        std::int64_t total = 0;
        for (const std::int64_t o : overlapOf_) total += o;
        return static_cast<double>(total / 2);
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
        if (improves(score)) keep(std::move(list), score);
    }

    const ImageTable& table_;
    std::vector<std::int64_t> overlap_;
    std::vector<double> weight_;
    std::vector<std::int64_t> overlapOf_;
    int length_ = 0;
};

}  // namespace

bool settleLayout(const SearchInstance& instance, PartList& list) {
    const Grid& grid = instance.grids.front();
    const BoundingBox sheet{0, grid.sheet.length, 0, grid.sheet.width};
    for (Part& part : list) clampOntoSheet(part, sheet);
    PartIndex index(list, grid.sheet);
    // A part against the sheet's edges lies on it: tight sheets need them all.
    for (const Part& part : list) {
        if (!isPlacementFeasible(index, part, true)) return false;
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
