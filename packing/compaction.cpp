#include "packing/compaction.hpp"

#include <algorithm>
#include <cmath>

namespace blocknest {
namespace {

void slide(const PartIndex& others, Part& part, double blockSideLength, bool alongX) {
    const double s = compactionStartStep(part, blockSideLength);
    if (!(s > 0)) return;
    double dx = alongX ? -s : 0;
    double dy = alongX ? 0 : -s;
    for (;;) {
        do {
            const BoundingBox before = part.bounds();
            part.translate(dx, dy);
            // Far from the origin a step can be below the spacing of the numbers there: the
            // move leaves the part where it was, and so would every smaller step.
            const BoundingBox& after = part.bounds();
            if (after.minX == before.minX && after.maxX == before.maxX &&
                after.minY == before.minY && after.maxY == before.maxY) {
                return;
            }
        } while (isPlacementFeasible(others, part));
        part.translate(-dx, -dy);
        if (std::fabs(dx) < 0.01 && std::fabs(dy) < 0.01) return;
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
