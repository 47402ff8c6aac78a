#include "geometry/predicates.hpp"

#include <algorithm>
#include <cmath>

namespace blocknest {

namespace {

// Where the edge from a to b meets the line at height y; only for an edge with exactly one
// end strictly above the line. An end on the line counts as below it, so the general formula
// is reached only with one end strictly below.
double crossingAbscissa(const Vertex& a, const Vertex& b, double y) {
    if (a.y == y) return a.x;
    if (b.y == y) return b.x;
    if (a.x == b.x) return a.x;
    const double t1 = a.y * (b.x - a.x);
    const double t2 = (b.y - a.y) * a.x;
    return -((t1 - t2 + (a.x - b.x) * y) / (b.y - a.y));
}

}  // namespace

bool crossingCountIsOdd(const Vertex& p, const Loop& loop) {
    const std::vector<Vertex>& v = loop.vertices();
    const int n = loop.vertexCount();
    bool odd = false;
    for (int i = 0; i < n; ++i) {
        const Vertex& a = v[i];
        const Vertex& b = v[i + 1 == n ? 0 : i + 1];
        if ((a.y > p.y) == (b.y > p.y)) continue;
        if (p.x <= crossingAbscissa(a, b, p.y)) odd = !odd;
    }
    return odd;
}

bool pointInLoop(const Vertex& p, const Loop& loop) {
    const BoundingBox& box = loop.bounds();
    if (p.x < box.minX || p.x > box.maxX || p.y < box.minY || p.y > box.maxY) return false;
    if (loop.vertexCount() < 1) return false;
    return crossingCountIsOdd(p, loop);
}

bool pointInPart(const Vertex& p, const Part& part) {
    if (!pointInLoop(p, part.outerLoop())) return false;
    for (const Loop& hole : part.innerLoops()) {
        if (pointInLoop(p, hole)) return false;
    }
    return true;
}

PartScanLine::PartScanLine(const Part& part, double y) {
    loops_.push_back(lineThrough(part.outerLoop(), y));
    for (const Loop& hole : part.innerLoops()) loops_.push_back(lineThrough(hole, y));
}

PartScanLine::LoopLine PartScanLine::lineThrough(const Loop& loop, double y) {
    LoopLine line;
    const BoundingBox& box = loop.bounds();
    line.reachable = loop.vertexCount() >= 1 && !(y < box.minY || y > box.maxY);
    line.minX = box.minX;
    line.maxX = box.maxX;
    if (!line.reachable) return line;
    const std::vector<Vertex>& v = loop.vertices();
    const std::size_t n = v.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Vertex& a = v[i];
        const Vertex& b = v[i + 1 == n ? 0 : i + 1];
        if ((a.y > y) == (b.y > y)) continue;
        const double xc = crossingAbscissa(a, b, y);
        if (!std::isnan(xc)) line.crossings.push_back(xc);
    }
    std::sort(line.crossings.begin(), line.crossings.end());
    return line;
}

bool PartScanLine::inside(const LoopLine& line, double x) {
    if (!line.reachable || x < line.minX || x > line.maxX || std::isnan(x)) return false;
    // The crossings that count are those at or right of x.
    const auto first = std::lower_bound(line.crossings.begin(), line.crossings.end(), x);
    return (line.crossings.end() - first) % 2 == 1;
}

bool PartScanLine::contains(double x) const {
    if (!inside(loops_.front(), x)) return false;
    for (std::size_t i = 1; i < loops_.size(); ++i) {
        if (inside(loops_[i], x)) return false;
    }
    return true;
}

}  // namespace blocknest
