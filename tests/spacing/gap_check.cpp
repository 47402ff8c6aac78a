#include "spacing/gap_check.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

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
        rings.push_back(std::move(ring));
    };
    add(part.outerLoop());
    for (const Loop& hole : part.innerLoops()) add(hole);
    return rings;
}

double cross(Point o, Point a, Point b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

double pointSegment(Point p, Point a, Point b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

double segmentSegment(Point a, Point b, Point c, Point d) {
    const double d1 = cross(a, b, c);
    const double d2 = cross(a, b, d);
    const double d3 = cross(c, d, a);
    const double d4 = cross(c, d, b);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) {
        return 0;
    }
    return std::min({pointSegment(a, c, d), pointSegment(b, c, d), pointSegment(c, a, b),
                     pointSegment(d, a, b)});
}

// Winding number of the ring around p: nonzero inside.
int winding(Point p, const Ring& ring) {
    int w = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Point a = ring[i];
        const Point b = ring[(i + 1) % ring.size()];
        if (a.y <= p.y) {
            if (b.y > p.y && cross(a, b, p) > 0) ++w;
        } else if (b.y <= p.y && cross(a, b, p) < 0) {
            --w;
        }
    }
    return w;
}

bool inMaterial(Point p, const std::vector<Ring>& rings) {
    if (winding(p, rings.front()) == 0) return false;
    return std::none_of(rings.begin() + 1, rings.end(),
                        [&](const Ring& hole) { return winding(p, hole) != 0; });
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

double ringDistance(const std::vector<Ring>& a, const std::vector<Ring>& b) {
    double best = std::numeric_limits<double>::infinity();
    for (const Ring& r : a) {
        for (const Ring& s : b) {
            for (std::size_t i = 0; i < r.size(); ++i) {
                for (std::size_t j = 0; j < s.size(); ++j) {
                    best = std::min(best, segmentSegment(r[i], r[(i + 1) % r.size()], s[j],
                                                         s[(j + 1) % s.size()]));
                }
            }
        }
    }
    return best;
}

std::string label(const Part& part, std::size_t index) {
    return "part " + std::to_string(index) + " (\"" + part.name() + "\")";
}

}  // namespace

double outlineDistance(const Part& a, const Part& b) {
    return ringDistance(ringsOf(a), ringsOf(b));
}

std::vector<std::string> findGapFaults(const std::vector<const Part*>& parts, double length,
                                       double width, double spacing, double margin,
                                       double tolerance) {
    std::vector<std::string> faults;
    std::vector<std::vector<Ring>> rings;
    std::vector<Box> boxes;
    for (const Part* part : parts) {
        rings.push_back(ringsOf(*part));
        boxes.push_back(boxOf(rings.back().front()));
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Box& b = boxes[i];
        const double least = margin - tolerance;
        if (b.minX < least || b.minY < least || length - b.maxX < least || width - b.maxY < least) {
            faults.push_back(label(*parts[i], i) + " is closer than " + std::to_string(margin) +
                             " to the sheet's edge");
        }
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        for (std::size_t j = i + 1; j < parts.size(); ++j) {
            const Box& p = boxes[i];
            const Box& q = boxes[j];
            if (p.minX > q.maxX + spacing || q.minX > p.maxX + spacing ||
                p.minY > q.maxY + spacing || q.minY > p.maxY + spacing) {
                continue;
            }
            const double distance = ringDistance(rings[i], rings[j]);
            const bool overlap = inMaterial(rings[i].front().front(), rings[j]) ||
                                 inMaterial(rings[j].front().front(), rings[i]);
            if (distance < spacing - tolerance || overlap) {
                faults.push_back(
                    label(*parts[i], i) + " and " + label(*parts[j], j) +
                    (overlap ? " overlap" : " are " + std::to_string(distance) + " apart"));
            }
        }
    }
    return faults;
}

}  // namespace blocknest::testing_support
