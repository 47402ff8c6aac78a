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
            part.translate(dx, dy);
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
