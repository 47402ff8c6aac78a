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
// [from, to], in increasing order, each once.
std::vector<double> movesAlong(double low, double high, double from, double to,
                               const std::vector<double>& stops) {
    std::vector<double> moves;
    for (const double stop : stops) {
        for (const double move : {stop - low, stop - high}) {
            if (low + move >= from && high + move <= to) moves.push_back(move);
        }
    }
    std::sort(moves.begin(), moves.end());
    moves.erase(std::unique(moves.begin(), moves.end()), moves.end());
    return moves;
}

}  // namespace

std::optional<Vertex> findExactFit(const PartIndex& others, Part& part, int& testsLeft) {
    const Part pose = part;
    const BoundingBox box = pose.outerLoop().bounds();
    if (!detail::isFinite(box)) return std::nullopt;
    const BoundingBox& sheet = others.sheetRectangle().bounds();
    const Stops stops = stopsOf(others);
    const std::vector<double> movesX =
        movesAlong(box.minX, box.maxX, sheet.minX, sheet.maxX, stops.x);
    const std::vector<double> movesY =
        movesAlong(box.minY, box.maxY, sheet.minY, sheet.maxY, stops.y);
    std::optional<Vertex> found;
    for (const double dx : movesX) {
        if (found) break;
        for (const double dy : movesY) {
            if (testsLeft <= 0 || found) break;
            --testsLeft;
            // Each position is reached from the given pose, so that no rounding piles up.
            part = pose;
            part.translate(dx, dy);
            if (isPlacementFeasible(others, part, true)) found = Vertex{dx, dy};
        }
    }
    part = pose;
    return found;
}

}  // namespace blocknest
