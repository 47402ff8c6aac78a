#include "packing/compaction.hpp"

#include <algorithm>
#include <cmath>

#include "packing/overlap.hpp"

namespace blocknest {
namespace {

void slide(const PartList& parts, Part& part, const Sheet& sheet, bool alongX) {
    const double s = compactionStartStep(part, sheet.blockSideLength);
    if (!(s > 0)) return;
    double dx = alongX ? -s : 0;
    double dy = alongX ? 0 : -s;
    for (;;) {
        do {
            part.translate(dx, dy);
        } while (isPlacementFeasible(parts, part, sheet));
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

void compactAlongX(const PartList& parts, Part& part, const Sheet& sheet) {
    slide(parts, part, sheet, true);
}

void compactAlongY(const PartList& parts, Part& part, const Sheet& sheet) {
    slide(parts, part, sheet, false);
}

}  // namespace blocknest
