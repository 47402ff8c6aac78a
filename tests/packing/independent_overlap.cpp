#include "packing/independent_overlap.hpp"

#include <algorithm>
#include <cmath>

namespace blocknest::testing_support {
namespace {

struct Point {
    double x;
    double y;
};

using Ring = std::vector<Point>;

std::vector<Ring> ringsOf(const Part& part) {
    std::vector<Ring> rings;
    auto add = [&](const Loop& loop) {
        Ring ring;
        for (const Vertex& v : loop.vertices()) ring.push_back({v.x, v.y});
        rings.push_back(ring);
    };
    add(part.outerLoop());
    for (const Loop& hole : part.innerLoops()) add(hole);
    return rings;
}

double cross(Point o, Point a, Point b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

double distanceToSegment(Point p, Point a, Point b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

int windingNumber(Point p, const Ring& ring) {
    int wn = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Point a = ring[i];
        const Point b = ring[(i + 1) % ring.size()];
        if (a.y <= p.y) {
            if (b.y > p.y && cross(a, b, p) > 0) ++wn;
        } else if (b.y <= p.y && cross(a, b, p) < 0) {
            --wn;
        }
    }
    return wn;
}

// Strictly inside the material (inside the outer ring, outside every hole) and farther than
// tolerance from every edge.
bool deepInMaterial(Point p, const std::vector<Ring>& rings, double tolerance) {
    for (const Ring& ring : rings) {
        for (std::size_t i = 0; i < ring.size(); ++i) {
            if (distanceToSegment(p, ring[i], ring[(i + 1) % ring.size()]) <= tolerance) {
                return false;
            }
        }
    }
    if (windingNumber(p, rings[0]) == 0) return false;
    for (std::size_t h = 1; h < rings.size(); ++h) {
        if (windingNumber(p, rings[h]) != 0) return false;
    }
    return true;
}

bool properlyCross(Point a, Point b, Point c, Point d) {
    const double d1 = cross(a, b, c);
    const double d2 = cross(a, b, d);
    const double d3 = cross(c, d, a);
    const double d4 = cross(c, d, b);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

struct Box {
    double minX, maxX, minY, maxY;
};

Box boxOf(const Ring& ring) {
    Box box{ring[0].x, ring[0].x, ring[0].y, ring[0].y};
    for (const Point& p : ring) {
        box.minX = std::min(box.minX, p.x);
        box.maxX = std::max(box.maxX, p.x);
        box.minY = std::min(box.minY, p.y);
        box.maxY = std::max(box.maxY, p.y);
    }
    return box;
}

}  // namespace

std::vector<std::string> findLayoutFaults(const std::vector<const Part*>& parts, double length,
                                          double width, double slack) {
    std::vector<std::string> faults;
    std::vector<std::vector<Ring>> rings;
    for (const Part* part : parts) rings.push_back(ringsOf(*part));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Box box = boxOf(rings[i][0]);
        if (box.minX < 0 || box.minY < 0 || box.maxX > length || box.maxY > width) {
            faults.push_back(parts[i]->name() + " #" + std::to_string(i) + " leaves the sheet");
        }
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        for (std::size_t j = i + 1; j < parts.size(); ++j) {
            const Box a = boxOf(rings[i][0]);
            const Box b = boxOf(rings[j][0]);
            const double overlapX = std::min(a.maxX, b.maxX) - std::max(a.minX, b.minX);
            const double overlapY = std::min(a.maxY, b.maxY) - std::max(a.minY, b.minY);
            if (overlapX <= slack || overlapY <= slack) continue;
            bool overlapping = false;
            for (const Ring& ring : rings[i]) {
                for (const Point& p : ring) overlapping |= deepInMaterial(p, rings[j], 1e-9);
            }
            for (const Ring& ring : rings[j]) {
                for (const Point& p : ring) overlapping |= deepInMaterial(p, rings[i], 1e-9);
            }
            for (const Ring& r : rings[i]) {
                for (const Ring& s : rings[j]) {
                    for (std::size_t k = 0; k < r.size(); ++k) {
                        for (std::size_t l = 0; l < s.size(); ++l) {
                            overlapping |= properlyCross(r[k], r[(k + 1) % r.size()], s[l],
                                                         s[(l + 1) % s.size()]);
                        }
                    }
                }
            }
            if (overlapping) {
                faults.push_back(parts[i]->name() + " #" + std::to_string(i) + " overlaps " +
                                 parts[j]->name() + " #" + std::to_string(j));
            }
        }
    }
    return faults;
}

}  // namespace blocknest::testing_support
