#include "packing/exact_fit.hpp"

#include <algorithm>
#include <vector>

namespace blocknest {
namespace {

// Where things stop a part along one axis: coordinates its box may touch from either side.
struct Stops {
    std::vector<double> x;
    std::vector<double> y;
};

void addBox(Stops& stops, const BoundingBox& box) {
    stops.x.push_back(box.minX);
    stops.x.push_back(box.maxX);
    stops.y.push_back(box.minY);
    stops.y.push_back(box.maxY);
}

Stops stopsOf(const PartIndex& others) {
    Stops stops;
    const BoundingBox& sheet = others.sheetRectangle().bounds();
    addBox(stops, sheet);
    if (others.outside()) {
        for (const Loop& outline : others.outside()->innerLoops()) {
            for (const Vertex& v : outline.vertices()) {
                stops.x.push_back(v.x);
                stops.y.push_back(v.y);
            }
        }
    }
    for (const Part& defect : others.defects()) addBox(stops, defect.outerLoop().bounds());
    others.forEachPlaced([&](const Part& placed) { addBox(stops, placed.outerLoop().bounds()); });
    return stops;
}

// The moves that bring the span [low, high] to start or end at a stop while it stays within
// [from, to] grown by slack, in increasing order, each once.
std::vector<double> movesAlong(double low, double high, double from, double to, double slack,
                               const std::vector<double>& stops) {
    std::vector<double> moves;
    for (const double stop : stops) {
        for (const double move : {stop - low, stop - high}) {
            if (low + move >= from - slack && high + move <= to + slack) moves.push_back(move);
        }
    }
    std::sort(moves.begin(), moves.end());
    moves.erase(std::unique(moves.begin(), moves.end()), moves.end());
    return moves;
}

// How far past a sheet's edges a part placed against them may reach by rounding: a
// billionth of the sheet's sides, far below any drawing's precision.
double edgeSlack(double length, double width) { return 1e-9 * (length + width); }

// Moves a part that reaches past the sheet's box by no more than slack back onto it: onto the
// far edges first, exactly (the difference of two close numbers is exact), then onto the near
// ones. A move to a stop rounds, and a part as wide as the sheet then reaches past the far
// edge by a rounding.
void clampIntoSheet(Part& part, const BoundingBox& sheet, double slack) {
    const BoundingBox& box = part.outerLoop().bounds();
    const double dx =
        box.maxX > sheet.maxX && box.maxX <= sheet.maxX + slack ? sheet.maxX - box.maxX : 0;
    const double dy =
        box.maxY > sheet.maxY && box.maxY <= sheet.maxY + slack ? sheet.maxY - box.maxY : 0;
    if (dx != 0 || dy != 0) part.translate(dx, dy);
    const BoundingBox& back = part.outerLoop().bounds();
    const double ux =
        back.minX < sheet.minX && back.minX >= sheet.minX - slack ? sheet.minX - back.minX : 0;
    const double uy =
        back.minY < sheet.minY && back.minY >= sheet.minY - slack ? sheet.minY - back.minY : 0;
    if (ux != 0 || uy != 0) part.translate(ux, uy);
}

}  // namespace

void clampOntoSheet(Part& part, const BoundingBox& sheet) {
    clampIntoSheet(part, sheet, edgeSlack(sheet.maxX - sheet.minX, sheet.maxY - sheet.minY));
}

std::optional<Part> findExactFit(const PartIndex& others, Part& part, int& testsLeft) {
    const Part pose = part;
    const BoundingBox box = pose.outerLoop().bounds();
    if (!detail::isFinite(box)) return std::nullopt;
    const BoundingBox& sheet = others.sheetRectangle().bounds();
    const Stops stops = stopsOf(others);
    const double slack = edgeSlack(sheet.maxX - sheet.minX, sheet.maxY - sheet.minY);
    const std::vector<double> movesX =
        movesAlong(box.minX, box.maxX, sheet.minX, sheet.maxX, slack, stops.x);
    const std::vector<double> movesY =
        movesAlong(box.minY, box.maxY, sheet.minY, sheet.maxY, slack, stops.y);
    std::optional<Part> found;
    for (const double dx : movesX) {
        if (found) break;
        for (const double dy : movesY) {
            if (testsLeft <= 0 || found) break;
            --testsLeft;
            // Each position is reached from the given pose, so that no rounding piles up.
            part = pose;
            part.translate(dx, dy);
            clampIntoSheet(part, sheet, slack);
            if (isPlacementFeasible(others, part, true)) found = part;
        }
    }
    part = pose;
    return found;
}

}  // namespace blocknest
