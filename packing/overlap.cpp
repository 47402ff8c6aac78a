#include "packing/overlap.hpp"

#include <algorithm>
#include <cmath>

#include "geometry/predicates.hpp"

namespace blocknest {

bool partsDisjoint(const Part& a, const Part& b) {
    const BoundingBox& p = a.outerLoop().bounds();
    const BoundingBox& q = b.outerLoop().bounds();
    if (p.minX > q.maxX || std::fabs(p.minX - q.maxX) < kBoxTolerance) return true;
    if (p.maxX < q.minX || std::fabs(p.maxX - q.minX) < kBoxTolerance) return true;
    if (p.minY > q.maxY || std::fabs(p.minY - q.maxY) < kBoxTolerance) return true;
    if (q.minY > p.maxY || std::fabs(p.maxY - q.minY) < kBoxTolerance) return true;
    for (const Vertex& v : a.outerLoop().vertices()) {
        if (pointInLoop(v, b.outerLoop())) return false;
    }
    for (const Vertex& v : b.outerLoop().vertices()) {
        if (pointInLoop(v, a.outerLoop())) return false;
    }
    return !outerLoopsCross(a, b);
}

bool outerLoopsCross(const Part& a, const Part& b) {
    const std::vector<Vertex>& va = a.outerLoop().vertices();
    const std::vector<Vertex>& vb = b.outerLoop().vertices();
    const std::size_t na = va.size();
    const std::size_t nb = vb.size();
    for (std::size_t i = 0; i < na; ++i) {
        const Vertex& p = va[i];
        const Vertex& q = va[i + 1 == na ? 0 : i + 1];
        for (std::size_t j = 0; j < nb; ++j) {
            const Vertex& r = vb[j];
            const Vertex& s = vb[j + 1 == nb ? 0 : j + 1];
            if (std::min(r.x, s.x) > std::max(p.x, q.x) ||
                std::max(r.x, s.x) < std::min(p.x, q.x) ||
                std::min(r.y, s.y) > std::max(p.y, q.y) ||
                std::max(r.y, s.y) < std::min(p.y, q.y)) {
                continue;
            }
            const double c1 = (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
            const double c2 = (q.x - p.x) * (s.y - p.y) - (q.y - p.y) * (s.x - p.x);
            // A product of exactly 0 (touching, collinear) does not skip; one that is not a
            // number does.
            if (!(c1 * c2 <= 0)) continue;
            const double d1 = (s.x - r.x) * (p.y - r.y) - (s.y - r.y) * (p.x - r.x);
            const double d2 = (s.x - r.x) * (q.y - r.y) - (s.y - r.y) * (q.x - r.x);
            if (!(d1 * d2 <= 0)) continue;
            return true;
        }
    }
    return false;
}

bool partInsideLoop(const Part& part, const Loop& loop) {
    for (const Vertex& v : part.outerLoop().vertices()) {
        if (!pointInLoop(v, loop)) return false;
    }
    return true;
}

bool isPlacementFeasible(const PartList& parts, const Part& moving, const Sheet& sheet) {
    Loop sheetRectangle;
    sheetRectangle.setVertices(
        {{0, 0}, {sheet.length, 0}, {sheet.length, sheet.width}, {0, sheet.width}});
    for (const Vertex& v : moving.outerLoop().vertices()) {
        if (!pointInLoop(v, sheetRectangle)) return false;
    }
    for (const Part& other : parts) {
        if (&other == &moving) continue;
        if (partsDisjoint(moving, other)) continue;
        const auto inHoleOf = [](const Part& inner, const Part& outer) {
            return std::any_of(outer.innerLoops().begin(), outer.innerLoops().end(),
                               [&](const Loop& hole) { return partInsideLoop(inner, hole); });
        };
        if (inHoleOf(other, moving) || inHoleOf(moving, other)) continue;
        return false;
    }
    return true;
}

}  // namespace blocknest
