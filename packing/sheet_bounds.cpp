#include "packing/sheet_bounds.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
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

}  // namespace blocknest
