#include "geometry/predicates.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

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

// Crossing parity of the +X ray from p with the loop's edges, without the box test.
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

}  // namespace

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

bool loopCrossesItself(const Loop& loop, std::int64_t maxPairs) {
    const std::vector<Vertex>& v = loop.vertices();
    const std::size_t n = v.size();
    if (n < 4) return false;
    const auto from = [&](std::size_t i) -> const Vertex& { return v[i]; };
    const auto to = [&](std::size_t i) -> const Vertex& { return v[i + 1 == n ? 0 : i + 1]; };
    const auto low = [&](std::size_t i) { return std::min(from(i).x, to(i).x); };
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return low(a) < low(b); });
    // Sweep along X: an edge meets only the edges that start before it ends.
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = order[k];
        const Vertex& p = from(i);
        const Vertex& q = to(i);
        const double high = std::max(p.x, q.x);
        for (std::size_t m = k + 1; m < n && !(low(order[m]) > high); ++m) {
            if (--maxPairs < 0) return false;
            const std::size_t j = order[m];
            if (j + 1 == i || i + 1 == j || (i == 0 && j + 1 == n) || (j == 0 && i + 1 == n)) {
                continue;  // neighbours share a vertex
            }
            const Vertex& r = from(j);
            const Vertex& s = to(j);
            const double c1 = (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
            const double c2 = (q.x - p.x) * (s.y - p.y) - (q.y - p.y) * (s.x - p.x);
            const double d1 = (s.x - r.x) * (p.y - r.y) - (s.y - r.y) * (p.x - r.x);
            const double d2 = (s.x - r.x) * (q.y - r.y) - (s.y - r.y) * (q.x - r.x);
            if (((c1 < 0 && c2 > 0) || (c1 > 0 && c2 < 0)) &&
                ((d1 < 0 && d2 > 0) || (d1 > 0 && d2 < 0))) {
                return true;
            }
        }
    }
    return false;
}

LoopPointTest::LoopPointTest(const Loop& loop) : loop_(loop) {
    const std::vector<Vertex>& v = loop.vertices();
    const std::size_t n = v.size();
    for (std::size_t i = 0; i < n; ++i) {
        const double ya = v[i].y;
        const double yb = v[i + 1 == n ? 0 : i + 1].y;
        // The edge counts for a point's y when exactly one end lies above it: lower end at or
        // below y, upper end above. An end that is not a number is never above.
        if (std::isnan(ya) && std::isnan(yb)) continue;
        if (std::isnan(ya) || std::isnan(yb)) {
            edgesByY_.add(-std::numeric_limits<double>::infinity(), std::isnan(ya) ? yb : ya, i);
        } else {
            edgesByY_.add(std::min(ya, yb), std::max(ya, yb), i);
        }
    }
    edgesByY_.build();
}

bool LoopPointTest::contains(const Vertex& p) const {
    const BoundingBox& box = loop_.bounds();
    if (p.x < box.minX || p.x > box.maxX || p.y < box.minY || p.y > box.maxY) return false;
    if (loop_.vertexCount() < 1 || std::isnan(p.y)) return false;
    const std::vector<Vertex>& v = loop_.vertices();
    const std::size_t n = v.size();
    bool odd = false;
    edgesByY_.forEachContaining(p.y, true, [&](std::size_t i) {
        if (p.x <= crossingAbscissa(v[i], v[i + 1 == n ? 0 : i + 1], p.y)) odd = !odd;
    });
    return odd;
}

PartScanLine::PartScanLine(const Part& part) {
    loops_.push_back(&part.outerLoop());
    for (const Loop& hole : part.innerLoops()) loops_.push_back(&hole);
    lines_.resize(loops_.size());
    for (std::size_t i = 1; i < loops_.size(); ++i) {
        const BoundingBox& box = loops_[i]->bounds();
        allHoles_.push_back(i);
        if (std::isnan(box.minY) || std::isnan(box.maxY)) {
            alwaysSpanning_.push_back(i);
        } else {
            holesByY_.add(box.minY, box.maxY, i);
        }
    }
    holesByY_.build();
}

PartScanLine::PartScanLine(const Part& part, double y) : PartScanLine(part) { moveTo(y); }

void PartScanLine::moveTo(double y) {
    lineThrough(*loops_.front(), y, lines_.front());
    if (std::isnan(y)) {
        spanning_ = allHoles_;  // no comparison with such a line fails
    } else {
        spanning_ = alwaysSpanning_;
        holesByY_.forEachContaining(y, false, [&](std::size_t i) { spanning_.push_back(i); });
    }
    for (std::size_t i : spanning_) lineThrough(*loops_[i], y, lines_[i]);
}

void PartScanLine::lineThrough(const Loop& loop, double y, LoopLine& line) {
    const BoundingBox& box = loop.bounds();
    line.reachable = loop.vertexCount() >= 1 && !(y < box.minY || y > box.maxY);
    line.minX = box.minX;
    line.maxX = box.maxX;
    line.crossings.clear();
    if (!line.reachable) return;
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
}

bool PartScanLine::inside(const LoopLine& line, double x) {
    if (!line.reachable || x < line.minX || x > line.maxX || std::isnan(x)) return false;
    // The crossings that count are those at or right of x.
    const auto first = std::lower_bound(line.crossings.begin(), line.crossings.end(), x);
    return (line.crossings.end() - first) % 2 == 1;
}

bool PartScanLine::contains(double x) const {
    if (!inside(lines_.front(), x)) return false;
    for (std::size_t i : spanning_) {
        if (inside(lines_[i], x)) return false;
    }
    return true;
}

void PartScanLine::containsEach(std::span<const double> xs, std::span<std::uint8_t> out) const {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    const LoopLine& outer = lines_.front();
    if (!outer.reachable) return;  // outside the outer loop everywhere
    // How many crossings lie left of x grows with x: one pass over both.
    std::size_t left = 0;
    for (std::size_t k = 0; k < xs.size(); ++k) {
        const double x = xs[k];
        while (left < outer.crossings.size() && outer.crossings[left] < x) ++left;
        out[k] = !(x < outer.minX || x > outer.maxX) && (outer.crossings.size() - left) % 2 == 1;
    }
    for (std::size_t i : spanning_) {
        const LoopLine& line = lines_[i];
        if (!line.reachable) continue;
        // Only the points within the hole's box can lie in it.
        std::size_t first = 0;
        std::size_t last = xs.size();
        if (!std::isnan(line.minX) && !std::isnan(line.maxX)) {
            first = static_cast<std::size_t>(std::lower_bound(xs.begin(), xs.end(), line.minX) -
                                             xs.begin());
            last = static_cast<std::size_t>(std::upper_bound(xs.begin(), xs.end(), line.maxX) -
                                            xs.begin());
        }
        left = 0;
        for (std::size_t k = first; k < last; ++k) {
            const double x = xs[k];
            while (left < line.crossings.size() && line.crossings[left] < x) ++left;
            if (!(x < line.minX || x > line.maxX) && (line.crossings.size() - left) % 2 == 1) {
                out[k] = 0;  // in a hole
            }
        }
    }
}

double signedArea(const std::vector<Vertex>& ring) {
    if (ring.empty()) return 0;
    double twice = 0;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++)
        twice += ring[j].x * ring[i].y - ring[i].x * ring[j].y;
    return twice / 2;
}

double distance(const Vertex& p, const Vertex& q) { return std::hypot(p.x - q.x, p.y - q.y); }

double distanceToSegment(const Vertex& p, const Vertex& a, const Vertex& b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    if (!(len2 > 0)) return distance(p, a);
    const double s = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0);
    return std::hypot(a.x + s * dx - p.x, a.y + s * dy - p.y);
}

}  // namespace blocknest
