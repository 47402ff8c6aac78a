#include "search/rectangle_fill.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "output/statistics.hpp"
#include "search/random.hpp"
#include "search/separation.hpp"

namespace blocknest {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// A part is a rectangle in a turn when its outline covers its box to this share.
constexpr double kRectangleArea = 1e-9;
// The first restart's step limit per part; each restart doubles it.
constexpr std::int64_t kFirstStepsPerPart = 1000;
// The widest list of part widths the cover bound sums up before it gives up on the bound.
constexpr std::size_t kMostSums = 2048;

// A part's extent along the skyline and up from it in one turn.
struct Option {
    double across = 0;
    double up = 0;
    int turn = 0;
};

// Parts alike in every way: the search tries a group once at each step. options[axis] holds
// the turns that differ in their box, along x (axis 0) or along y (axis 1).
struct Group {
    std::vector<int> parts;
    std::array<std::vector<Option>, 2> options;
    double area = 0;
};

struct Segment {
    double from = 0;
    double width = 0;
    double height = 0;
};

// A part set on the skyline: its group, turn option, and its lower corner along and up.
struct Step {
    int group = 0;
    int option = 0;
    double from = 0;
    double height = 0;
};

enum class Outcome { found, failed, stopped };

// Whether a part's outline in a turn, with the box w x h, is a rectangle, or with boxes
// nearly its box.
bool fillsItsBox(double outline, double w, double h, bool boxes) {
    if (!(w > 0 && h > 0)) return false;
    if (boxes) return outline >= kBoxShare * w * h;
    return std::abs(w * h - outline) <= kRectangleArea * w * h;
}

// The groups of a rectangle job, or none when some part is a rectangle in no turn (with
// boxes: nearly its box in no turn; a group's area is then its box's).
std::optional<std::vector<Group>> groupsOf(const SearchInstance& instance, bool boxes) {
    std::vector<Group> groups;
    std::vector<int> groupOfShape(instance.parts.size(), -1);
    for (std::size_t id = 0; id < instance.parts.size(); ++id) {
        int& group = groupOfShape[static_cast<std::size_t>(instance.shapeOf[id])];
        if (group >= 0) {
            groups[static_cast<std::size_t>(group)].parts.push_back(static_cast<int>(id));
            continue;
        }
        Group made;
        made.parts.push_back(static_cast<int>(id));
        made.area = instance.parts[id].outerLoop().area();
        const auto& turns = instance.turns[id];
        for (std::size_t t = 0; t < turns.size(); ++t) {
            Part part = instance.parts[id];
            part.applyTurn(turns[t]);
            const BoundingBox box = boundsOf(part.outerLoop().vertices());
            const double w = box.maxX - box.minX;
            const double h = box.maxY - box.minY;
            if (!fillsItsBox(part.outerLoop().area(), w, h, boxes)) continue;
            if (boxes && made.options[0].empty()) made.area = w * h;
            const double tolerance = 1e-9 * std::max(w, h);
            const bool known =
                std::any_of(made.options[0].begin(), made.options[0].end(), [&](const Option& o) {
                    return std::abs(o.across - w) <= tolerance && std::abs(o.up - h) <= tolerance;
                });
            if (known) continue;
            made.options[0].push_back({w, h, static_cast<int>(t)});
            made.options[1].push_back({h, w, static_cast<int>(t)});
        }
        if (made.options[0].empty()) return std::nullopt;
        group = static_cast<int>(groups.size());
        groups.push_back(std::move(made));
    }
    return groups;
}

// One depth-first search along one side of the sheet, with a step limit: the skyline's lowest
// stretch (the leftmost of equal ones) takes a part at its left end, parts that fill it
// exactly first, or is left empty up to its lower neighbour.
class Skyline {
public:
    Skyline(const std::vector<Group>& groups, int axis, double across, double up, double slack,
            std::vector<int> groupOrder)
        : groups_(groups),
          axis_(axis),
          across_(across),
          up_(up),
          tolerance_(1e-9 * std::max(across, up)),
          slack_(slack + 1e-9 * across * up),
          groupOrder_(std::move(groupOrder)) {
        for (const Group& group : groups_) left_.push_back(static_cast<int>(group.parts.size()));
    }

    template <class Stopped>
    Outcome run(std::int64_t limit, const Stopped& stopped) {
        limit_ = limit;
        int remaining = 0;
        for (const int count : left_) remaining += count;
        sky_.assign(1, Segment{0, across_, 0});
        return descend(remaining, 0, stopped);
    }

    const std::vector<Step>& steps() const { return steps_; }
    std::int64_t nodes() const { return nodes_; }

private:
    template <class Stopped>
    Outcome descend(int remaining, double waste, const Stopped& stopped) {
        if (remaining == 0) return Outcome::found;
        ++nodes_;
        if (nodes_ > limit_ || ((nodes_ & 1023) == 0 && stopped())) return Outcome::stopped;
        std::size_t k = 0;
        for (std::size_t s = 1; s < sky_.size(); ++s) {
            if (sky_[s].height < sky_[k].height - tolerance_) k = s;
        }
        const Segment segment = sky_[k];
        const double room = up_ - segment.height;
        const double below = k > 0 ? sky_[k - 1].height - segment.height : kInfinity;
        const double after = k + 1 < sky_.size() ? sky_[k + 1].height - segment.height : kInfinity;
        if (!coverable(segment.width, room, std::min(below, after), waste)) return Outcome::failed;

        std::vector<std::pair<double, double>> tried;
        for (const bool exact : {true, false}) {
            for (const int g : groupOrder_) {
                const auto group = static_cast<std::size_t>(g);
                if (left_[group] == 0) continue;
                const auto& options = groups_[group].options[static_cast<std::size_t>(axis_)];
                for (std::size_t o = 0; o < options.size(); ++o) {
                    const Option& option = options[o];
                    if (option.across > segment.width + tolerance_ ||
                        option.up > room + tolerance_ ||
                        exact != (option.across >= segment.width - tolerance_)) {
                        continue;
                    }
                    const bool seen = std::any_of(tried.begin(), tried.end(), [&](const auto& t) {
                        return std::abs(t.first - option.across) <= tolerance_ &&
                               std::abs(t.second - option.up) <= tolerance_;
                    });
                    if (seen) continue;
                    tried.emplace_back(option.across, option.up);
                    const std::vector<Segment> saved = sky_;
                    place(k, option);
                    --left_[group];
                    steps_.push_back({g, static_cast<int>(o), segment.from, segment.height});
                    const Outcome outcome = descend(remaining - 1, waste, stopped);
                    if (outcome != Outcome::failed) return outcome;
                    steps_.pop_back();
                    ++left_[group];
                    sky_ = saved;
                }
            }
        }
        // Left empty up to the lower neighbour (the sheet's far side when it has none).
        const double to =
            segment.height + (std::isinf(std::min(below, after)) ? room : std::min(below, after));
        const double cost = (to - segment.height) * segment.width;
        if (waste + cost > slack_ || to <= segment.height) return Outcome::failed;
        const std::vector<Segment> saved = sky_;
        sky_[k].height = to;
        merge();
        const Outcome outcome = descend(remaining, waste + cost, stopped);
        if (outcome == Outcome::failed) sky_ = saved;
        return outcome;
    }

    // False when the stretch cannot be covered closely enough: every width the parts left
    // cannot cover stays empty at least up to the nearest height a neighbour or a part could
    // give it, and that area would exceed what the sheet spares.
    bool coverable(double width, double room, double neighbour, double waste) {
        double shortest = std::min(room, neighbour);
        for (std::size_t g = 0; g < groups_.size(); ++g) {
            if (left_[g] == 0) continue;
            for (const Option& o : groups_[g].options[static_cast<std::size_t>(axis_)]) {
                if (o.up <= room + tolerance_) shortest = std::min(shortest, o.up);
            }
        }
        if (waste + width * shortest <= slack_) return true;  // no bound could cut it
        sums_.assign(1, 0.0);
        for (std::size_t g = 0; g < groups_.size(); ++g) {
            for (int copy = 0; copy < left_[g]; ++copy) {
                const std::size_t count = sums_.size();
                for (const Option& o : groups_[g].options[static_cast<std::size_t>(axis_)]) {
                    if (o.up > room + tolerance_) continue;
                    for (std::size_t i = 0; i < count; ++i) {
                        const double sum = sums_[i] + o.across;
                        if (sum <= width + tolerance_) sums_.push_back(sum);
                    }
                }
                std::sort(sums_.begin(), sums_.end());
                sums_.erase(std::unique(sums_.begin(), sums_.end(),
                                        [&](double a, double b) { return b - a <= tolerance_; }),
                            sums_.end());
                if (sums_.back() >= width - tolerance_ || sums_.size() > kMostSums) return true;
            }
        }
        return waste + (width - sums_.back()) * shortest <= slack_;
    }

    void place(std::size_t k, const Option& option) {
        Segment& segment = sky_[k];
        if (option.across >= segment.width - tolerance_) {
            segment.height += option.up;
        } else {
            const Segment part{segment.from, option.across, segment.height + option.up};
            segment.from += option.across;
            segment.width -= option.across;
            sky_.insert(sky_.begin() + static_cast<std::ptrdiff_t>(k), part);
        }
        merge();
    }

    void merge() {
        std::size_t to = 0;
        for (std::size_t s = 1; s < sky_.size(); ++s) {
            if (std::abs(sky_[s].height - sky_[to].height) <= tolerance_) {
                sky_[to].width += sky_[s].width;
            } else {
                sky_[++to] = sky_[s];
            }
        }
        sky_.resize(to + 1);
    }

    const std::vector<Group>& groups_;
    const int axis_;
    const double across_;
    const double up_;
    const double tolerance_;
    const double slack_;
    const std::vector<int> groupOrder_;
    std::vector<int> left_;
    std::vector<Segment> sky_;
    std::vector<Step> steps_;
    std::vector<double> sums_;
    std::int64_t nodes_ = 0;
    std::int64_t limit_ = 0;
};

// The layout a skyline's steps describe, settled and checked by the exact test; none when the
// test refuses it.
std::optional<RectangleFill> layoutOf(const SearchInstance& instance,
                                      const std::vector<Group>& groups, int axis,
                                      const std::vector<Step>& steps) {
    RectangleFill fill;
    std::vector<std::size_t> used(groups.size(), 0);
    for (const Step& step : steps) {
        const Group& group = groups[static_cast<std::size_t>(step.group)];
        const int id = group.parts[used[static_cast<std::size_t>(step.group)]++];
        const Option& option =
            group.options[static_cast<std::size_t>(axis)][static_cast<std::size_t>(step.option)];
        const Orientation& turn =
            instance.turns[static_cast<std::size_t>(id)][static_cast<std::size_t>(option.turn)];
        Part part = instance.parts[static_cast<std::size_t>(id)];
        part.setBlockSideLength(instance.grids.front().blockSide);
        part.applyTurn(turn);
        part.setTurn(turn);
        const BoundingBox box = boundsOf(part.outerLoop().vertices());
        const double x = axis == 0 ? step.from : step.height;
        const double y = axis == 0 ? step.height : step.from;
        part.translate(x - box.minX, y - box.minY);
        fill.layout.pushBack(std::move(part));
        fill.order.push_back(id);
    }
    if (!settleLayout(instance, fill.layout)) return std::nullopt;
    for (const Part& part : fill.layout) {
        if (!liesOnSheet(part, instance.sheetLength, instance.sheetWidth)) return std::nullopt;
    }
    return fill;
}

// The groups of a rectangle job on a sheet without a drawn outline or defect, or none.
std::optional<std::vector<Group>> fillableGroups(const SearchInstance& instance, bool boxes) {
    if (!fillsAPlainSheet(instance)) return std::nullopt;
    return groupsOf(instance, boxes);
}

}  // namespace

bool fillsWithRectangles(const SearchInstance& instance) {
    return fillableGroups(instance, false).has_value();
}

bool fillsWithBoxes(const SearchInstance& instance) {
    return fillableGroups(instance, true).has_value();
}

std::optional<RectangleFill> fillWithRectangles(const SearchInstance& instance,
                                                const RectangleFillOptions& options) {
    const std::optional<std::vector<Group>> fillable = fillableGroups(instance, options.boxes);
    if (!fillable) return std::nullopt;
    const std::vector<Group>& groups = *fillable;
    double area = 0;
    for (const Group& group : groups) {
        area += group.area * static_cast<double>(group.parts.size());
    }
    const double slack = instance.sheetLength * instance.sheetWidth - area;
    if (slack < -1e-9 * instance.sheetLength * instance.sheetWidth) return std::nullopt;
    auto stopped = [&] {
        return (options.stop && options.stop->load()) ||
               (options.deadline && std::chrono::steady_clock::now() >= *options.deadline);
    };
    Random random(options.seed);
    std::int64_t nodes = 0;
    std::int64_t limit = kFirstStepsPerPart * static_cast<std::int64_t>(instance.parts.size());
    // A search that ends without running out of steps has tried every way along its side.
    std::array<bool, 2> exhausted{false, false};
    for (int restart = 0;; ++restart) {
        // Largest first on the first turn along each side, then largest first give or take.
        std::vector<std::pair<double, int>> keys;
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const double weight = restart < 2 ? 1 : 0.5 + random.unit();
            keys.emplace_back(-groups[g].area * weight, static_cast<int>(g));
        }
        std::sort(keys.begin(), keys.end());
        std::vector<int> order;
        for (const auto& key : keys) order.push_back(key.second);
        const int axis = exhausted[0] ? 1 : exhausted[1] ? 0 : restart % 2;
        const double across = axis == 0 ? instance.sheetLength : instance.sheetWidth;
        const double up = axis == 0 ? instance.sheetWidth : instance.sheetLength;
        Skyline skyline(groups, axis, across, up, slack, std::move(order));
        const std::int64_t room =
            options.nodes > 0 ? std::min(limit, options.nodes - nodes) : limit;
        const Outcome outcome = skyline.run(room, stopped);
        nodes += std::min(skyline.nodes(), room);
        if (outcome == Outcome::found) {
            auto fill = layoutOf(instance, groups, axis, skyline.steps());
            if (fill) fill->nodes = nodes;
            return fill;
        }
        if (outcome == Outcome::failed) exhausted[static_cast<std::size_t>(axis)] = true;
        if (exhausted[0] && exhausted[1]) return std::nullopt;
        if ((options.nodes > 0 && nodes >= options.nodes) || stopped()) return std::nullopt;
        if (restart % 2 == 1) limit *= 2;
    }
}

}  // namespace blocknest
