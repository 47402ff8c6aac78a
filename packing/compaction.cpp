#include "packing/compaction.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

namespace blocknest {
namespace {

void slide(const PartIndex& others, Part& part, double blockSideLength, bool alongX) {
    const double s = compactionStartStep(part, blockSideLength);
    if (!(s > 0)) return;
    // A part against the sheet's far edges that cannot move at all is left exactly where it
    // was: steps taken back round, and it would end past the edge by a rounding.
    const BoundingBox& sheet = others.sheetRectangle().bounds();
    const BoundingBox& box = part.bounds();
    std::optional<Part> start;
    if (box.maxX > sheet.maxX - 2 * s || box.maxY > sheet.maxY - 2 * s) start = part;
    bool moved = false;
    double dx = alongX ? -s : 0;
    double dy = alongX ? 0 : -s;
    for (;;) {
        bool first = true;
        do {
            if (!first) moved = true;
            first = false;
            const BoundingBox before = part.bounds();
            part.translate(dx, dy);
            // Far from the origin a step can be below the spacing of the numbers there: the
            // move leaves the part where it was, and so would every smaller step.
            const BoundingBox& after = part.bounds();
            if (after.minX == before.minX && after.maxX == before.maxX &&
                after.minY == before.minY && after.maxY == before.maxY) {
                if (!moved && start) part = *start;
                return;
            }
        } while (isPlacementFeasible(others, part));
        part.translate(-dx, -dy);
        if (std::fabs(dx) < kSlideResolution && std::fabs(dy) < kSlideResolution) {
            if (!moved && start) part = *start;
            return;
        }
        dx *= 0.5;
        dy *= 0.5;
    }
}

}  // namespace

double compactionStartStep(const Part& part, double blockSideLength) {
    const BoundingBox& box = part.bounds();
    const double w = box.maxX - box.minX;
    const double h = box.maxY - box.minY;
    const double m = std::min(w, h);
    return std::min(blockSideLength / 10, m * 0.25);
}

void compactAlongX(const PartIndex& others, Part& part, double blockSideLength) {
    slide(others, part, blockSideLength, true);
}

void compactAlongY(const PartIndex& others, Part& part, double blockSideLength) {
    slide(others, part, blockSideLength, false);
}

}  // namespace blocknest
