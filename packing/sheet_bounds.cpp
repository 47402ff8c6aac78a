#include "packing/sheet_bounds.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "geometry/orientation.hpp"
#include "packing/sheets.hpp"

namespace blocknest {
namespace {

// A hair of the sheet's size, so that parts exactly half as long as it never count as longer.
constexpr double kRelativeHair = 1e-9;

// The sides of the part when its outline is an axis-parallel rectangle as read: its box fills
// its area; nothing otherwise.
std::optional<std::pair<double, double>> rectangleSides(const Part& part) {
    if (!part.innerLoops().empty()) return std::nullopt;
    const BoundingBox& box = part.outerLoop().bounds();
    const double a = box.maxX - box.minX;
    const double b = box.maxY - box.minY;
    if (!(a > 0) || !(b > 0) || !(std::abs(part.netArea() - a * b) <= 1e-9 * a * b)) {
        return std::nullopt;
    }
    return std::make_pair(a, b);
}

bool needsOwnSheet(const Part& part, double length, double width, int rotationCount) {
    const std::optional<std::pair<double, double>> sides = rectangleSides(part);
    if (!sides) return false;
    const auto [a, b] = *sides;
    const std::vector<Orientation> turns =
        part.orientations().empty() ? evenTurns(rotationCount) : part.orientations();
    const double halfLength = length / 2 * (1 + kRelativeHair);
    const double halfWidth = width / 2 * (1 + kRelativeHair);
    bool fitsSomeTurn = false;
    for (const Orientation& turn : turns) {
        const double angle = turn.angle();
        const double c = std::abs(std::cos(angle));
        const double s = std::abs(std::sin(angle));
        const double along = a * c + b * s;  // the turned rectangle's box
        const double across = a * s + b * c;
        if (along > length * (1 + kRelativeHair) || across > width * (1 + kRelativeHair)) {
            continue;  // this turn fits no sheet
        }
        fitsSomeTurn = true;
        const bool quarter = std::min(c, s) < 1e-12;
        if (!quarter || along <= halfLength || across <= halfWidth) return false;
    }
    return fitsSomeTurn;
}

}  // namespace

int partsNeedingOwnSheet(const PartList& parts, const std::vector<int>& sheetOf, double length,
                         double width, int rotationCount) {
    int count = 0;
    std::size_t i = 0;
    for (const Part& part : parts) {
        const bool counted = i >= sheetOf.size() || sheetOf[i] != kTooLarge;
        if (counted && needsOwnSheet(part, length, width, rotationCount)) ++count;
        ++i;
    }
    return count;
}

namespace {

// The turned box of the outer loop: mirrored first when the turn says so, as the packer does.
PartExtents::Turn turnedBox(const Part& part, const Orientation& turn) {
    const double angle = turn.angle();
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    double minX = std::numeric_limits<double>::infinity();
    double maxX = -minX;
    double minY = minX;
    double maxY = -minX;
    for (const Vertex& v : part.outerLoop().vertices()) {
        const double x = turn.mirrored ? -v.x : v.x;
        const double tx = x * c - v.y * s;
        const double ty = x * s + v.y * c;
        minX = std::min(minX, tx);
        maxX = std::max(maxX, tx);
        minY = std::min(minY, ty);
        maxY = std::max(maxY, ty);
    }
    PartExtents::Turn box;
    box.length = maxX - minX;
    box.width = maxY - minY;
    box.quarter = std::min(std::abs(c), std::abs(s)) < 1e-12;
    box.swapped = std::abs(s) > 0.5;
    return box;
}

// The longest inside rectangle, in the turn, wider than `across`; 0 when there is none.
double longestCoreWiderThan(const PartExtents& part, const PartExtents::Turn& turn, double across,
                            bool alongY) {
    double best = 0;
    for (const CoreRectangle& core : part.cores) {
        // In the turn the core's sides along X and Y; alongY asks for the roles exchanged.
        double x = turn.swapped ? core.width : core.length;
        double y = turn.swapped ? core.length : core.width;
        if (alongY) std::swap(x, y);
        if (y > across) best = std::max(best, x);
    }
    return best;
}

}  // namespace

std::vector<PartExtents> measurePartExtents(const PartList& parts, int rotationCount, bool mirror) {
    std::vector<PartExtents> measured;
    std::map<std::tuple<std::string, int, double>, std::size_t> seen;
    for (const Part& part : parts) {
        const auto key = std::make_tuple(part.name(), part.totalVertexCount(), part.netArea());
        if (const auto found = seen.find(key); found != seen.end()) {
            measured.push_back(measured[found->second]);
            continue;
        }
        std::vector<Orientation> turns =
            part.orientations().empty() ? evenTurns(rotationCount) : part.orientations();
        if (mirror) turns = withMirrored(turns);
        PartExtents extents;
        for (const Orientation& turn : turns) extents.turns.push_back(turnedBox(part, turn));
        extents.cores = findCoreRectangles(part);
        seen.emplace(key, measured.size());
        measured.push_back(std::move(extents));
    }
    return measured;
}

int binsAtLeast(std::vector<double> sizes, double capacity) {
    if (!(capacity > 0)) return 0;
    // Proof. A bin holds at most one size above half the capacity. For a split a at most half
    // the capacity, the sizes above capacity - a (J1) and those in (capacity / 2, capacity - a]
    // (J2) each take a bin of their own; no size of at least a (J3, those in [a, capacity / 2])
    // fits beside a J1 size, so the J3 sizes fill at most the room the J2 bins leave and the
    // rest needs bins of its own: bins >= |J1| + |J2| + ceil((sum J3 - room of J2) / capacity).
    // With a = 0 and no size above half, that is the total over the capacity.
    for (double& size : sizes) size = std::clamp(size, 0.0, capacity);
    std::sort(sizes.begin(), sizes.end());
    const double half = capacity / 2;
    std::vector<double> splits{0};
    for (const double size : sizes) {
        if (size <= half) splits.push_back(size);
    }
    int best = 0;
    for (const double a : splits) {
        int large = 0;
        double room = 0;
        double small = 0;
        for (const double size : sizes) {
            if (size > capacity - a) {
                ++large;
            } else if (size > half) {
                ++large;
                room += capacity - size;
            } else if (size >= a) {
                small += size;
            }
        }
        const double rest = std::max(0.0, small - room) / capacity;
        // A relative hair is forgiven, as in the area bound: sizes that fill n bins need n.
        best = std::max(best, large + static_cast<int>(std::ceil(rest * (1 - 1e-12))));
    }
    // A bin holds at most as many sizes as the smallest ones that fit it together.
    double sum = 0;
    std::size_t most = 0;
    while (most < sizes.size() && sum + sizes[most] <= capacity * (1 + 1e-12)) sum += sizes[most++];
    if (most > 0) {
        best = std::max(best, static_cast<int>((sizes.size() + most - 1) / most));
    }
    return best;
}

int sheetsAtLeastByExtents(const std::vector<PartExtents>& parts, const std::vector<int>& sheetOf,
                           double length, double width) {
    // Proof. Two axis-parallel rectangles with disjoint insides are apart along X or along Y:
    // their projections on one axis overlap at most at an end. Two rectangles each wider than
    // half the sheet both lie within its width, so their projections on Y overlap, and their
    // projections on X do not: along the length they lie one after another, and the lengths
    // of such rectangles on one sheet add up to at most its length. A part holds each of its
    // inside rectangles wherever it lies, turned with it; a quarter turn keeps them
    // axis-parallel (a mirror too), and parts never overlap, so neither do rectangles inside
    // two of them. Each part whose every allowed turn that fits the sheet holds a rectangle
    // wider than half the sheet contributes the shortest such rectangle's best length over
    // those turns, and the sheets are at least the bins these lengths need. Likewise across.
    const double hair = 1 + 1e-9;
    std::vector<double> alongLength;
    std::vector<double> alongWidth;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i < sheetOf.size() && sheetOf[i] == kTooLarge) continue;
        const PartExtents& part = parts[i];
        bool fitsSome = false;
        bool quarterOnly = true;
        double needLength = std::numeric_limits<double>::infinity();
        double needWidth = needLength;
        for (const PartExtents::Turn& turn : part.turns) {
            if (turn.length > length * hair || turn.width > width * hair) continue;
            fitsSome = true;
            if (!turn.quarter) {
                quarterOnly = false;
                break;
            }
            needLength =
                std::min(needLength, longestCoreWiderThan(part, turn, width / 2 * hair, false));
            needWidth =
                std::min(needWidth, longestCoreWiderThan(part, turn, length / 2 * hair, true));
        }
        if (!fitsSome || !quarterOnly) continue;
        if (needLength > 0) alongLength.push_back(needLength);
        if (needWidth > 0) alongWidth.push_back(needWidth);
    }
    return std::max(binsAtLeast(alongLength, length), binsAtLeast(alongWidth, width));
}

}  // namespace blocknest
