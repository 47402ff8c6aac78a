#include "search/exact_separation.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

#include "output/statistics.hpp"
#include "search/box_buckets.hpp"
#include "search/exact_shape.hpp"
#include "search/guided_walk.hpp"
#include "search/random.hpp"
#include "search/walk_runner.hpp"

namespace blocknest {
namespace {

constexpr int kGlobalSamples = 24;  // positions tried anywhere on the strip per move
constexpr int kLocalSamples = 24;   // positions tried near the part's place per move
// The refinement of a move ends at steps below this share of the part's smaller side.
constexpr double kFinestStep = 1e-4;
// A move ends by setting the part against the boxes near it, in passes of one axis each;
// near: within this share of the part's smaller side.
constexpr int kSnapPasses = 2;
constexpr double kSnapReach = 0.25;

struct Pose {
    int turn = 0;
    double x = 0;
    double y = 0;
};

// A drawn sheet's defect, fixed where it lies.
struct Obstacle {
    ExactShape shape;
    double x = 0;
    double y = 0;
};

// The shapes of every part in every turn it may take, and the sheet's obstacles, made once and
// shared by the walks.
struct ShapeTable {
    std::vector<std::vector<ExactShape>> shapes;  // per shape slot, per turn
    std::vector<int> slotOf;                      // per part
    double bucketSide = 0;
    std::vector<Obstacle> obstacles;
    std::vector<Vertex> outline;  // a drawn sheet's outline, the parts inside; empty: none

    const ExactShape& shape(int part, int turn) const {
        return shapes[static_cast<std::size_t>(slotOf[static_cast<std::size_t>(part)])]
                     [static_cast<std::size_t>(turn)];
    }
};

ShapeTable makeShapes(const SearchInstance& instance) {
    ShapeTable table;
    std::vector<int> slotOfShape(instance.parts.size(), -1);
    double sides = 0;
    for (std::size_t id = 0; id < instance.parts.size(); ++id) {
        const auto shape = static_cast<std::size_t>(instance.shapeOf[id]);
        if (slotOfShape[shape] < 0) {
            slotOfShape[shape] = static_cast<int>(table.shapes.size());
            std::vector<ExactShape> turned;
            for (const Orientation& turn : instance.turns[id]) {
                Part part = instance.parts[id];
                part.applyTurn(turn);
                turned.push_back(makeExactShape(part));
            }
            table.shapes.push_back(std::move(turned));
        }
        table.slotOf.push_back(slotOfShape[shape]);
        const ExactShape& first = table.shapes[static_cast<std::size_t>(table.slotOf.back())][0];
        sides += std::max(first.width, first.height);
    }
    table.bucketSide =
        instance.parts.empty() ? 1 : sides / static_cast<double>(instance.parts.size());
    const Sheet& sheet = instance.grids.front().sheet;
    for (const Part& defect : sheet.defects) {
        const BoundingBox box = boundsOf(defect.outerLoop().vertices());
        table.obstacles.push_back({makeExactShape(defect), box.minX, box.minY});
    }
    if (sheet.outside && sheet.outside->innerLoops().count() == 1) {
        table.outline = sheet.outside->innerLoops().front().vertices();
    }
    return table;
}

struct Contact {
    int other = 0;
    double depth = 0;
};

std::uint64_t pairKey(int i, int j) {
    if (i > j) std::swap(i, j);
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(i)) << 32) |
           static_cast<std::uint32_t>(j);
}

// One walk: parts at exact poses on a strip of length_, the pairs that overlap and how deeply,
// and the weights of pairs that have overlapped.
class ExactWalk : public GuidedWalk<ExactWalk, Pose, double> {
public:
    // With overrun, parts the start leaves off are set past the sheet's end (see overrun).
    ExactWalk(const SearchInstance& instance, const ShapeTable& table,
              const std::vector<int>& order, std::uint64_t seed, bool overrun)
        : GuidedWalk(instance, order, seed),
          table_(table),
          overrun_(overrun),
          obstacleCount_(static_cast<int>(table.obstacles.size())),
          outlineId_(n_ + obstacleCount_),
          contacts_(static_cast<std::size_t>(outlineId_ + 1)),
          buckets_(outlineId_, instance.sheetLength, instance.sheetWidth, table.bucketSide) {}

    static constexpr double kShrinkLeast = 0.0005;

private:
    friend class GuidedWalk<ExactWalk, Pose, double>;

    const ExactShape& shape(int i, int turn) const { return table_.shape(i, turn); }
    const ExactShape& shape(int i) const {
        return shape(i, pose_[static_cast<std::size_t>(i)].turn);
    }

    // Room or a shake after the start failed to separate: a longer strip up to the sheet's
    // length, then two large parts swapped.
    bool openUp() {
        if (length_ < maxLength_) {
            setLength(std::min(maxLength_, length_ * 1.01));
        } else {
            disrupt();
        }
        return true;
    }

    // From the best state (the poses already taken up), the strip cut by the share.
    bool cutFrom(double share) { return shrinkTo(bestLength_ - bestLength_ * share, bestLength_); }

    void keepBest() {
        // A state past the sheet's end (parts left off were set there) is no layout yet.
        if (extent() <= instance_.sheetLength) realize();
        noteBest();
    }

    bool overlaps(int i) const { return !contacts_[static_cast<std::size_t>(i)].empty(); }
    double size(int i) const { return shape(i).width * shape(i).height; }
    int shapeOf(int i) const { return instance_.shapeOf[static_cast<std::size_t>(i)]; }
    void afterSwap(int a, int b) {
        clampInside(a);
        clampInside(b);
    }
    void startWeightsAgain() {
        weights_.clear();
        rebuild();
    }
    void restore() { rebuild(); }

    // The least and most x and y at which the shape lies inside the strip, its edges included.
    bool range(const ExactShape& s, double& x0, double& x1, double& y0, double& y1) const {
        x0 = 0;
        x1 = length_ - s.width;
        y0 = 0;
        y1 = width_ - s.height;
        return x1 >= x0 && y1 >= y0;
    }

    bool startFrom(const PartList& start) {
        maxLength_ = instance_.sheetLength;
        width_ = instance_.sheetWidth;
        auto placed = start.begin();
        length_ = 0;
        std::vector<int> leftOff;
        for (const int i : order_) {
            const Part& part = *placed++;
            const std::vector<Orientation>& turns = instance_.turns[static_cast<std::size_t>(i)];
            const auto found = std::find(turns.begin(), turns.end(), part.turn());
            Pose& pose = pose_[static_cast<std::size_t>(i)];
            if (found == turns.end() ||
                !liesOnSheet(part, instance_.sheetLength, instance_.sheetWidth)) {
                leftOff.push_back(i);
                continue;
            }
            pose.turn = static_cast<int>(found - turns.begin());
            const BoundingBox box = boundsOf(part.outerLoop().vertices());
            pose.x = box.minX;
            pose.y = box.minY;
            length_ = std::max(length_, pose.x + shape(i).width);
        }
        if (!leftOff.empty() && overrun_) {
            return overrun(leftOff);
        }
        if (!leftOff.empty()) length_ = maxLength_;
        for (const int i : leftOff) {
            if (!randomPose(i, pose_[static_cast<std::size_t>(i)])) return false;
        }
        for (int i = 0; i < n_; ++i) clampInside(i);
        rebuild();
        return true;
    }

    // Sets the parts left off in a row past the sheet's end, each in its turn of least length
    // that fits the width, and lets the strip reach that far: the walk then shortens the strip
    // as on a strip job, and a state that ends within the sheet places every part. Shortening
    // rearranges the whole sheet by little steps, where parts put onto a full sheet at once
    // overlap too much to separate. False when a part fits the sheet in no turn.
    bool overrun(const std::vector<int>& leftOff) {
        length_ = maxLength_;
        double end = maxLength_;
        for (const int i : leftOff) {
            Pose& pose = pose_[static_cast<std::size_t>(i)];
            const int turns = static_cast<int>(instance_.turns[static_cast<std::size_t>(i)].size());
            int shortest = -1;
            for (int t = 0; t < turns; ++t) {
                double x0, x1, y0, y1;
                if (!range(shape(i, t), x0, x1, y0, y1)) continue;
                if (shortest < 0 || shape(i, t).width < shape(i, shortest).width) shortest = t;
            }
            if (shortest < 0) return false;
            pose = {shortest, end, 0};
            end += shape(i, shortest).width;
        }
        maxLength_ = end;
        length_ = end;
        for (int i = 0; i < n_; ++i) clampInside(i);
        rebuild();
        return true;
    }

    // A pose anywhere on the strip in a random turn that fits it; false when no turn fits.
    bool randomPose(int i, Pose& pose) {
        const int turns = static_cast<int>(instance_.turns[static_cast<std::size_t>(i)].size());
        const int first = random_.below(turns);
        for (int k = 0; k < turns; ++k) {
            const int turn = (first + k) % turns;
            double x0, x1, y0, y1;
            if (!range(shape(i, turn), x0, x1, y0, y1)) continue;
            pose = {turn, x0 + random_.unit() * (x1 - x0), y0 + random_.unit() * (y1 - y0)};
            return true;
        }
        return false;
    }

    // Moves the part into the strip, turned if it must be; false when no turn fits.
    bool clampInside(int i) {
        Pose& pose = pose_[static_cast<std::size_t>(i)];
        double x0, x1, y0, y1;
        if (!range(shape(i), x0, x1, y0, y1)) {
            const int turns = static_cast<int>(instance_.turns[static_cast<std::size_t>(i)].size());
            int fitting = -1;
            for (int t = 0; t < turns && fitting < 0; ++t) {
                if (range(shape(i, t), x0, x1, y0, y1)) fitting = t;
            }
            if (fitting < 0) return false;
            pose.turn = fitting;
        }
        pose.x = std::clamp(pose.x, x0, x1);
        pose.y = std::clamp(pose.y, y0, y1);
        return true;
    }

    double extent() const {
        double end = 0;
        for (int i = 0; i < n_; ++i) {
            end = std::max(end, pose_[static_cast<std::size_t>(i)].x + shape(i).width);
        }
        return end;
    }

    void setLength(double length) {
        length_ = length;
        for (int i = 0; i < n_; ++i) clampInside(i);
        rebuild();
    }

    // Cuts the strip from `from` to `length`: the parts beyond a random line move back by the
    // cut, and any still past the end is pushed inside, turned if it must be. False when some
    // part fits the shorter strip in no turn.
    bool shrinkTo(double length, double from) {
        const double cut = from - length;
        const double line = random_.unit() * from;
        length_ = length;
        for (int i = 0; i < n_; ++i) {
            Pose& pose = pose_[static_cast<std::size_t>(i)];
            if (pose.x + shape(i).width / 2 > line) pose.x -= cut;
            if (!clampInside(i)) return false;
        }
        weights_.clear();
        rebuild();
        return true;
    }

    // How deeply part i, with shape s at (x, y), overlaps item j: another part, an obstacle,
    // or (j == outlineId_) the outside of the sheet's outline.
    double depthWith(const ExactShape& s, double x, double y, int j) const {
        if (j < n_) {
            const Pose& q = pose_[static_cast<std::size_t>(j)];
            return overlapDepth(s, x, y, shape(j), q.x, q.y);
        }
        if (j < outlineId_) {
            const Obstacle& o = table_.obstacles[static_cast<std::size_t>(j - n_)];
            return overlapDepth(s, x, y, o.shape, o.x, o.y);
        }
        return table_.outline.empty() ? 0 : outsideDepth(table_.outline, s, x, y);
    }

    // Calls visit(j) for every item part i at (x, y) with shape s may overlap: the parts and
    // obstacles whose boxes may meet its box, and the outline.
    template <class Visit>
    void forNear(int i, const ExactShape& s, double x, double y, Visit visit) const {
        buckets_.query(x, y, x + s.width, y + s.height, [&](int j) {
            if (j != i) visit(j);
        });
        if (!table_.outline.empty()) visit(outlineId_);
    }

    void addContact(int i, int j, double depth) {
        contacts_[static_cast<std::size_t>(i)].push_back({j, depth});
        contacts_[static_cast<std::size_t>(j)].push_back({i, depth});
    }

    // The buckets and contacts from the poses.
    void rebuild() {
        buckets_ = BoxBuckets(outlineId_, maxLength_, width_, table_.bucketSide);
        for (int i = 0; i < n_; ++i) insert(i);
        for (int k = 0; k < obstacleCount_; ++k) {
            const Obstacle& o = table_.obstacles[static_cast<std::size_t>(k)];
            buckets_.insert(n_ + k, o.x, o.y, o.x + o.shape.width, o.y + o.shape.height);
        }
        for (auto& list : contacts_) list.clear();
        for (int i = 0; i < n_; ++i) {
            const Pose& p = pose_[static_cast<std::size_t>(i)];
            const ExactShape& s = shape(i);
            forNear(i, s, p.x, p.y, [&](int j) {
                if (j < i) return;
                const double depth = depthWith(s, p.x, p.y, j);
                if (depth > 0) addContact(i, j, depth);
            });
        }
    }

    void insert(int i) {
        const Pose& p = pose_[static_cast<std::size_t>(i)];
        buckets_.insert(i, p.x, p.y, p.x + shape(i).width, p.y + shape(i).height);
    }
    void erase(int i) {
        const Pose& p = pose_[static_cast<std::size_t>(i)];
        buckets_.erase(i, p.x, p.y, p.x + shape(i).width, p.y + shape(i).height);
    }

    double weight(int i, int j) const {
        const auto found = weights_.find(pairKey(i, j));
        return found == weights_.end() ? 1.0 : found->second;
    }

    // The weighted depth of part i's overlaps in the pose; stops early once it reaches bound.
    double cost(int i, const Pose& pose, double bound) const {
        const ExactShape& s = shape(i, pose.turn);
        double total = 0;
        forNear(i, s, pose.x, pose.y, [&](int j) {
            if (total >= bound) return;
            const double depth = depthWith(s, pose.x, pose.y, j);
            if (depth > 0) total += weight(i, j) * depth;
        });
        return total;
    }

    void setPose(int i, const Pose& pose) {
        erase(i);
        for (const Contact& c : contacts_[static_cast<std::size_t>(i)]) {
            auto& theirs = contacts_[static_cast<std::size_t>(c.other)];
            theirs.erase(std::find_if(theirs.begin(), theirs.end(),
                                      [&](const Contact& d) { return d.other == i; }));
        }
        contacts_[static_cast<std::size_t>(i)].clear();
        pose_[static_cast<std::size_t>(i)] = pose;
        insert(i);
        const ExactShape& s = shape(i);
        forNear(i, s, pose.x, pose.y, [&](int j) {
            const double depth = depthWith(s, pose.x, pose.y, j);
            if (depth > 0) addContact(i, j, depth);
        });
    }

    // Moves part i to the pose of least weighted overlap among samples over the strip and near
    // its place, in its allowed turns, then refines it by ever smaller steps.
    void move(int i) {
        const int turns = static_cast<int>(instance_.turns[static_cast<std::size_t>(i)].size());
        const Pose here = pose_[static_cast<std::size_t>(i)];
        Pose best = here;
        double bestCost = cost(i, best, std::numeric_limits<double>::max());
        auto attempt = [&](Pose pose) {
            double x0, x1, y0, y1;
            if (!range(shape(i, pose.turn), x0, x1, y0, y1)) return;
            pose.x = std::clamp(pose.x, x0, x1);
            pose.y = std::clamp(pose.y, y0, y1);
            const double c = cost(i, pose, bestCost);
            if (c < bestCost) {
                best = pose;
                bestCost = c;
            }
        };
        for (int s = 0; s < kGlobalSamples && bestCost > 0; ++s) {
            Pose pose;
            if (randomPose(i, pose)) attempt(pose);
        }
        const ExactShape& own = shape(i);
        for (int s = 0; s < kLocalSamples && bestCost > 0; ++s) {
            Pose pose = here;
            if (turns > 1 && random_.chance(1, 4)) pose.turn = random_.below(turns);
            pose.x += (2 * random_.unit() - 1) * own.width / 2;
            pose.y += (2 * random_.unit() - 1) * own.height / 2;
            attempt(pose);
        }
        const ExactShape& chosen = shape(i, best.turn);
        const double smaller = std::min(chosen.width, chosen.height);
        for (double step = smaller / 4; step >= smaller * kFinestStep && bestCost > 0;) {
            const Pose from = best;
            for (const auto& [dx, dy] :
                 {std::pair{-1, 0}, std::pair{1, 0}, std::pair{0, -1}, std::pair{0, 1},
                  std::pair{-1, -1}, std::pair{1, -1}, std::pair{-1, 1}, std::pair{1, 1}}) {
                attempt({from.turn, from.x + dx * step, from.y + dy * step});
            }
            if (best.x == from.x && best.y == from.y) step /= 2;
        }
        snap(i, best, bestCost, attempt);
        setPose(i, best);
        countMove();
    }

    // Tries the pose moved along one axis at a time until its box touches the box of an item
    // it overlaps or comes near, or the strip's edges: the steps of a move come near a contact
    // but never reach it, and a tight sheet needs parts that touch. best and bestCost are
    // attempt's, which takes a pose when it overlaps less.
    template <class Attempt>
    void snap(int i, const Pose& best, const double& bestCost, Attempt attempt) {
        for (int pass = 0; pass < kSnapPasses && bestCost > 0; ++pass) {
            const Pose from = best;
            const ExactShape& s = shape(i, from.turn);
            double x0, x1, y0, y1;
            if (!range(s, x0, x1, y0, y1)) return;
            snapX_.assign({x0, x1});
            snapY_.assign({y0, y1});
            const double near = std::min(s.width, s.height) * kSnapReach;
            const double left = from.x - near;
            const double right = from.x + s.width + near;
            const double bottom = from.y - near;
            const double top = from.y + s.height + near;
            buckets_.query(left, bottom, right, top, [&](int j) {
                if (j == i) return;
                double jx, jy, jw, jh;
                if (j < n_) {
                    const Pose& q = pose_[static_cast<std::size_t>(j)];
                    jx = q.x;
                    jy = q.y;
                    jw = shape(j).width;
                    jh = shape(j).height;
                } else {
                    const Obstacle& o = table_.obstacles[static_cast<std::size_t>(j - n_)];
                    jx = o.x;
                    jy = o.y;
                    jw = o.shape.width;
                    jh = o.shape.height;
                }
                if (jx > right || jx + jw < left || jy > top || jy + jh < bottom) return;
                snapX_.push_back(jx - s.width);
                snapX_.push_back(jx + jw);
                snapY_.push_back(jy - s.height);
                snapY_.push_back(jy + jh);
            });
            for (const double x : snapX_) attempt({from.turn, x, from.y});
            for (const double y : snapY_) attempt({from.turn, from.x, y});
            if (best.x == from.x && best.y == from.y) return;
        }
    }

    double totalOverlap() const {
        double total = 0;
        for (const auto& list : contacts_) {
            for (const Contact& c : list) total += c.depth;
        }
        return total / 2;
    }

    bool anyOverlap() const {
        return std::any_of(contacts_.begin(), contacts_.end(),
                           [](const auto& list) { return !list.empty(); });
    }

    void updateWeights() {
        double most = 0;
        std::vector<std::uint64_t> overlapping;
        // Every contact involves a part, so the parts' lists hold them all.
        for (int i = 0; i < n_; ++i) {
            for (const Contact& c : contacts_[static_cast<std::size_t>(i)]) {
                if (c.other < i) continue;
                most = std::max(most, c.depth);
                overlapping.push_back(pairKey(i, c.other));
            }
        }
        std::sort(overlapping.begin(), overlapping.end());
        for (auto it = weights_.begin(); it != weights_.end();) {
            if (std::binary_search(overlapping.begin(), overlapping.end(), it->first)) {
                ++it;
                continue;
            }
            it->second *= kWeightDecay;
            it = it->second <= 1 ? weights_.erase(it) : std::next(it);
        }
        for (int i = 0; i < n_; ++i) {
            for (const Contact& c : contacts_[static_cast<std::size_t>(i)]) {
                if (c.other < i) continue;
                double& w = weights_.try_emplace(pairKey(i, c.other), 1.0).first->second;
                w = std::min(kWeightCap,
                             w * (kWeightLow + (kWeightHigh - kWeightLow) * c.depth / most));
            }
        }
    }

    // Lays the parts out for real at their poses and settles them; keeps the layout if it
    // scores better than the best so far, and takes up the settled poses, closer to the origin.
    void realize() {
        PartList list;
        for (const int i : order_) {
            Part part = instance_.parts[static_cast<std::size_t>(i)];
            part.setBlockSideLength(instance_.grids.front().blockSide);
            const Pose& pose = pose_[static_cast<std::size_t>(i)];
            const Orientation& turn =
                instance_.turns[static_cast<std::size_t>(i)][static_cast<std::size_t>(pose.turn)];
            part.applyTurn(turn);
            part.setTurn(turn);
            const BoundingBox box = boundsOf(part.outerLoop().vertices());
            part.translate(pose.x - box.minX, pose.y - box.minY);
            list.pushBack(std::move(part));
        }
        if (!settleLayout(instance_, list)) return;
        const Score score = scoreLayout(instance_, list);
        if (!improves(score)) return;
        auto settled = list.begin();
        for (const int i : order_) {
            const BoundingBox box = boundsOf(settled->outerLoop().vertices());
            pose_[static_cast<std::size_t>(i)].x = box.minX;
            pose_[static_cast<std::size_t>(i)].y = box.minY;
            ++settled;
        }
        for (int i = 0; i < n_; ++i) clampInside(i);
        rebuild();
        keep(std::move(list), score);
    }

    const ShapeTable& table_;
    const bool overrun_;
    const int obstacleCount_;  // items n_ .. n_ + obstacleCount_ - 1 are the obstacles
    const int outlineId_;      // the item that stands for the outside of a drawn outline
    std::vector<std::vector<Contact>> contacts_;         // per part: the parts it overlaps now
    std::unordered_map<std::uint64_t, double> weights_;  // pairs weighing more than 1
    BoxBuckets buckets_;
    std::vector<double> snapX_;  // scratch of snap: the positions tried along each axis
    std::vector<double> snapY_;
    double length_ = 0;
    double maxLength_ = 0;
    double width_ = 0;
};

// The share of the sheet's area the parts fill from which the strip past the sheet's end is
// not tried: on the tight jobs at 100 % it lost the time a full budget of the other way needs.
constexpr double kOverrunFill = 0.98;

// True when the parts leave room on the sheet for the cuts of a strip past its end to close.
bool leavesRoom(const SearchInstance& instance) {
    double area = 0;
    for (const Part& part : instance.parts) area += part.netArea();
    return area < kOverrunFill * instance.sheetLength * instance.sheetWidth;
}

}  // namespace

SeparationOutcome separateExactly(const SearchInstance& instance, const std::vector<int>& order,
                                  const PartList& start, const Score& startScore,
                                  const SeparationOptions& options,
                                  const std::function<void(const SeparationProgress&)>& report) {
    SeparationOutcome outcome;
    outcome.score = startScore;
    if (instance.parts.empty()) return outcome;
    const ShapeTable table = makeShapes(instance);
    const int chains = std::max(1, options.chains);
    std::int64_t movesBefore = 0;
    auto run = [&](const PartList& from, const Score& fromScore, const SeparationOptions& part,
                   bool overrun, std::uint64_t salt) {
        std::vector<ExactWalk> walks;
        walks.reserve(static_cast<std::size_t>(chains));
        for (int c = 0; c < chains; ++c) {
            walks.emplace_back(
                instance, table, order,
                (options.seed + salt) * 0xD1B54A32D192ED03ULL + static_cast<std::uint64_t>(c),
                overrun);
        }
        return runWalks(walks, from, fromScore, part, [&](const SeparationProgress& p) {
            SeparationProgress total = p;
            total.moves += movesBefore;
            report(total);
        });
    };
    // Parts left off a rectangular sheet: half the budget shortens a strip that holds them past
    // the sheet's end, which places them on sheets with a few more parts than room for them at
    // once; the rest puts those still left off onto the sheet overlapping (which finds the
    // places of interlocking parts better), or shortens the layout the first half found. Parts
    // that fill the sheet (kOverrunFill of it or more) leave no gap for the cuts to close
    // step by step: they get the whole budget the second way.
    if (startScore.unplaced == 0 || !table.outline.empty() || options.untilPlaced ||
        !leavesRoom(instance)) {
        return run(start, startScore, options, false, 0);
    }
    SeparationOptions first = options;
    first.moves = options.moves / 2;
    if (options.deadline) {
        const auto now = std::chrono::steady_clock::now();
        first.deadline = now + (*options.deadline - now) / 2;
    }
    SeparationOutcome overrun;
    overrun.score = startScore;
    if (options.moves == 0 || first.moves > 0) overrun = run(start, startScore, first, true, 0);
    movesBefore = overrun.moves;
    SeparationOptions second = options;
    if (options.moves > 0) second.moves = options.moves - overrun.moves;
    if (options.moves > 0 && second.moves <= 0) return overrun;
    const bool placed = overrun.layout.has_value();
    SeparationOutcome rest = run(placed ? *overrun.layout : start,
                                 placed ? overrun.score : startScore, second, false, 1);
    rest.moves += overrun.moves;
    if (placed && !rest.layout) {
        rest.layout = std::move(overrun.layout);
        rest.score = overrun.score;
    }
    return rest;
}

}  // namespace blocknest
