#include "geometry/predicates.hpp"

namespace blocknest {

bool crossingCountIsOdd(const Vertex& p, const Loop& loop) {
    const std::vector<Vertex>& v = loop.vertices();
    const int n = loop.vertexCount();
    const double px = p.x;
    const double py = p.y;
    bool odd = false;
    for (int i = 0; i < n; ++i) {
        const Vertex& a = v[i];
        const Vertex& b = v[i + 1 == n ? 0 : i + 1];
        // An end on the line counts as below it, so only edges with one end strictly above
        // take part; the general formula is reached only with one end strictly below.
        if ((a.y > py) == (b.y > py)) continue;
        double xc;
        if (a.y == py) {
            xc = a.x;
        } else if (b.y == py) {
            xc = b.x;
        } else if (a.x == b.x) {
            xc = a.x;
        } else {
            const double t1 = a.y * (b.x - a.x);
            const double t2 = (b.y - a.y) * a.x;
            xc = -((t1 - t2 + (a.x - b.x) * py) / (b.y - a.y));
        }
        if (px <= xc) odd = !odd;
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

}  // namespace blocknest
