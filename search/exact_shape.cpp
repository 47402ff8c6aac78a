#include "search/exact_shape.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "geometry/predicates.hpp"
#include "packing/overlap.hpp"

namespace blocknest {
namespace {

// Points sampled across the part's box for its circles; the circles are chosen among them.
constexpr int kSamplesAcross = 48;
constexpr std::size_t kMostPoles = 16;
constexpr double kSmallestPole = 0.2;  // of the largest circle's radius
// Two shapes that collide count at least this share of their largest circles' product.
constexpr double kDepthFloor = 0.01;
// Circles closer than this share of the two largest radii still count, fading with distance.
constexpr double kFade = 0.05;

double cross(const Vertex& o, const Vertex& a, const Vertex& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool within(const Vertex& a, const Vertex& b, const Vertex& p) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
}

// Closed segments: touching counts.
bool segmentsMeet(const Vertex& p1, const Vertex& p2, const Vertex& q1, const Vertex& q2) {
    const double d1 = cross(p1, p2, q1);
    const double d2 = cross(p1, p2, q2);
    const double d3 = cross(q1, q2, p1);
    const double d4 = cross(q1, q2, p2);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) {
        return true;
    }
    return (d1 == 0 && within(p1, p2, q1)) || (d2 == 0 && within(p1, p2, q2)) ||
           (d3 == 0 && within(q1, q2, p1)) || (d4 == 0 && within(q1, q2, p2));
}

// Even-odd with the ray toward +X; p is given in the outline's own frame.
bool inside(const std::vector<Vertex>& outline, double px, double py) {
    bool in = false;
    const std::size_t n = outline.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const Vertex& a = outline[i];
        const Vertex& b = outline[j];
        if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x) {
            in = !in;
        }
    }
    return in;
}

struct Box {
    double minX, maxX, minY, maxY;
};

bool edgeMeets(const Vertex& a, const Vertex& b, const Box& box) {
    return std::max(a.x, b.x) >= box.minX && std::min(a.x, b.x) <= box.maxX &&
           std::max(a.y, b.y) >= box.minY && std::min(a.y, b.y) <= box.maxY;
}

// How far apart two positions along an axis may be taken to lie by the rounding of sums and
// differences of coordinates of that size: far below any drawing's precision.
double roundingOf(double a, double b, double sideA, double sideB) {
    return std::min(kBoxTolerance,
                    1e-10 * (std::fabs(a) + std::fabs(b) + std::fabs(sideA) + std::fabs(sideB)));
}

// Each pair of circles of a and b (b's moved by (dx, dy)) counts by how far they reach into
// each other, times the smaller radius, and pairs that fall just short by a count that fades
// with their distance, so that the count falls all the way as two parts draw apart, also where
// their outlines cross beside the circles. deep: some pair overlaps. b's circles are taken two
// at a time, in two sums added at the end, the same on every machine.
struct CircleSums {
    double depth = 0;
    bool deep = false;
};

CircleSums circleSums(const ExactShape& a, double dx, double dy, const ExactShape& b, double fade) {
    const std::size_t m = b.poleXs.size();
    const double* qx = b.poleXs.data();
    const double* qy = b.poleYs.data();
    const double* qr = b.poleRs.data();
#if defined(__SSE2__)
    const __m128d zero = _mm_setzero_pd();
    const __m128d fades = _mm_set1_pd(fade);
    const __m128d fade2 = _mm_set1_pd(2 * fade);
    const __m128d fadeSquared = _mm_set1_pd(fade * fade);
    __m128d sum = zero;
    __m128d deep = zero;
    for (const Pole& p : a.poles) {
        // In b's frame; not hypot below: it guards against overflows no drawing reaches, at
        // three times the cost.
        const __m128d px = _mm_set1_pd(p.x + dx);
        const __m128d py = _mm_set1_pd(p.y + dy);
        const __m128d pr = _mm_set1_pd(p.r);
        for (std::size_t k = 0; k < m; k += 2) {
            const __m128d r = _mm_loadu_pd(qr + k);
            const __m128d ex = _mm_sub_pd(px, _mm_loadu_pd(qx + k));
            const __m128d ey = _mm_sub_pd(py, _mm_loadu_pd(qy + k));
            const __m128d distance =
                _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(ex, ex), _mm_mul_pd(ey, ey)));
            const __m128d reach = _mm_sub_pd(_mm_add_pd(pr, r), distance);
            deep = _mm_or_pd(deep, _mm_and_pd(_mm_cmpgt_pd(reach, zero), _mm_cmpgt_pd(r, zero)));
            const __m128d faded = _mm_div_pd(fadeSquared, _mm_sub_pd(fade2, reach));
            const __m128d full = _mm_cmpge_pd(reach, fades);
            const __m128d counted = _mm_or_pd(_mm_and_pd(full, reach), _mm_andnot_pd(full, faded));
            sum = _mm_add_pd(sum, _mm_mul_pd(counted, _mm_min_pd(pr, r)));
        }
    }
    double lanes[2];
    _mm_storeu_pd(lanes, sum);
    return {lanes[0] + lanes[1], _mm_movemask_pd(deep) != 0};
#else
    double lanes[2] = {0, 0};
    bool deep = false;
    for (const Pole& p : a.poles) {
        const double px = p.x + dx;
        const double py = p.y + dy;
        for (std::size_t k = 0; k < m; ++k) {
            const double ex = px - qx[k];
            const double ey = py - qy[k];
            const double reach = (p.r + qr[k]) - std::sqrt(ex * ex + ey * ey);
            deep = deep || (reach > 0 && qr[k] > 0);
            const double counted = reach >= fade ? reach : fade * fade / (2 * fade - reach);
            lanes[k % 2] += counted * std::min(p.r, qr[k]);
        }
    }
    return {lanes[0] + lanes[1], deep};
#endif
}

}  // namespace

ExactShape makeExactShape(const Part& part) {
    ExactShape shape;
    const Loop& loop = part.outerLoop();
    const BoundingBox box = boundsOf(loop.vertices());
    shape.width = box.maxX - box.minX;
    shape.height = box.maxY - box.minY;
    for (const Vertex& v : loop.vertices())
        shape.outline.push_back({v.x - box.minX, v.y - box.minY});

    Loop moved;
    moved.setVertices(shape.outline);
    const std::size_t n = shape.outline.size();
    struct Sample {
        double x, y, clearance;
    };
    std::vector<Sample> samples;
    const double step = std::max(shape.width, shape.height) / kSamplesAcross;
    for (double x = step / 2; x < shape.width; x += step) {
        for (double y = step / 2; y < shape.height; y += step) {
            const Vertex p{x, y};
            if (!pointInLoop(p, moved)) continue;
            double clearance = std::numeric_limits<double>::max();
            for (std::size_t i = 0; i < n; ++i) {
                clearance = std::min(
                    clearance, distanceToSegment(p, shape.outline[i], shape.outline[(i + 1) % n]));
            }
            samples.push_back({x, y, clearance});
        }
    }
    // Each circle is the largest about a sample that stays inside the part and clear of the
    // circles before it.
    while (shape.poles.size() < kMostPoles) {
        Pole best;
        for (const Sample& s : samples) {
            double r = s.clearance;
            for (const Pole& pole : shape.poles) {
                r = std::min(r, std::hypot(s.x - pole.x, s.y - pole.y) - pole.r);
            }
            if (r > best.r) best = {s.x, s.y, r};
        }
        if (!(best.r > 0) ||
            (!shape.poles.empty() && best.r < kSmallestPole * shape.poles.front().r)) {
            break;
        }
        shape.poles.push_back(best);
    }
    if (shape.poles.empty()) {
        // Too thin for a sample to fall inside: a circle at the box's centre stands for it.
        shape.poles.push_back({shape.width / 2, shape.height / 2,
                               std::max(1e-9, std::min(shape.width, shape.height) / 2)});
    }
    for (const Pole& pole : shape.poles) {
        shape.poleXs.push_back(pole.x);
        shape.poleYs.push_back(pole.y);
        shape.poleRs.push_back(pole.r);
    }
    if (shape.poles.size() % 2 != 0) {
        shape.poleXs.push_back(0);
        shape.poleYs.push_back(0);
        shape.poleRs.push_back(0);
    }
    return shape;
}

bool shapesCollide(const ExactShape& a, double ax, double ay, const ExactShape& b, double bx,
                   double by) {
    // Worked out in the frame of the shape further left (or lower), so that the answer does
    // not depend on the order the two are given in, to the last bit.
    if (bx < ax || (bx == ax && by < ay)) return shapesCollide(b, bx, by, a, ax, ay);
    // In a's frame, b lies at (dx, dy).
    const double dx = bx - ax;
    const double dy = by - ay;
    const Box overlap{std::max(0.0, dx), std::min(a.width, dx + b.width), std::max(0.0, dy),
                      std::min(a.height, dy + b.height)};
    if (overlap.maxX <= overlap.minX || overlap.maxY <= overlap.minY) return false;
    thread_local std::vector<std::pair<Vertex, Vertex>> edgesA;
    thread_local std::vector<std::pair<Vertex, Vertex>> edgesB;
    edgesA.clear();
    edgesB.clear();
    const std::size_t na = a.outline.size();
    for (std::size_t i = 0; i < na; ++i) {
        const Vertex& p = a.outline[i];
        const Vertex& q = a.outline[(i + 1) % na];
        if (edgeMeets(p, q, overlap)) edgesA.emplace_back(p, q);
    }
    const std::size_t nb = b.outline.size();
    for (std::size_t i = 0; i < nb; ++i) {
        const Vertex p{b.outline[i].x + dx, b.outline[i].y + dy};
        const Vertex& next = b.outline[(i + 1) % nb];
        const Vertex q{next.x + dx, next.y + dy};
        if (edgeMeets(p, q, overlap)) edgesB.emplace_back(p, q);
    }
    for (const auto& [p1, p2] : edgesA) {
        for (const auto& [q1, q2] : edgesB) {
            if (segmentsMeet(p1, p2, q1, q2)) return true;
        }
    }
    // No edges meet: they overlap only when one holds the other whole.
    return inside(a.outline, b.outline.front().x + dx, b.outline.front().y + dy) ||
           inside(b.outline, a.outline.front().x - dx, a.outline.front().y - dy);
}

double overlapDepth(const ExactShape& a, double ax, double ay, const ExactShape& b, double bx,
                    double by) {
    if (bx < ax || (bx == ax && by < ay)) return overlapDepth(b, bx, by, a, ax, ay);
    const double dx = bx - ax;
    const double dy = by - ay;
    // Boxes that meet by no more than the rounding of their positions are apart, so that parts
    // set against each other's boxes do not overlap by a rounding. The exact test allows more;
    // parts grown by half the spacing must not come that much closer.
    const double roundX = roundingOf(ax, bx, a.width, b.width);
    const double roundY = roundingOf(ay, by, a.height, b.height);
    if (dx >= a.width - roundX || dx + b.width <= roundX || dy >= a.height - roundY ||
        dy + b.height <= roundY) {
        return 0;
    }
    const CircleSums sums =
        circleSums(a, -dx, -dy, b, kFade * (a.poles.front().r + b.poles.front().r));
    // Circles that overlap lie in both shapes; otherwise only the outlines can tell.
    if (!sums.deep && !shapesCollide(a, ax, ay, b, bx, by)) return 0;
    return sums.depth + kDepthFloor * a.poles.front().r * b.poles.front().r;
}

double outsideDepth(const std::vector<Vertex>& outline, const ExactShape& shape, double x,
                    double y) {
    const Box box{x, x + shape.width, y, y + shape.height};
    const std::size_t n = outline.size();
    const std::size_t m = shape.outline.size();
    bool crosses = false;
    for (std::size_t i = 0; i < n && !crosses; ++i) {
        const Vertex& p = outline[i];
        const Vertex& q = outline[(i + 1) % n];
        if (!edgeMeets(p, q, box)) continue;
        for (std::size_t k = 0; k < m && !crosses; ++k) {
            const Vertex& a = shape.outline[k];
            const Vertex& b = shape.outline[(k + 1) % m];
            crosses = segmentsMeet(p, q, {a.x + x, a.y + y}, {b.x + x, b.y + y});
        }
    }
    if (!crosses && inside(outline, shape.outline.front().x + x, shape.outline.front().y + y)) {
        return 0;
    }
    double depth = 0;
    for (const Pole& pole : shape.poles) {
        const Vertex c{pole.x + x, pole.y + y};
        double clearance = std::numeric_limits<double>::max();
        for (std::size_t i = 0; i < n; ++i) {
            clearance = std::min(clearance, distanceToSegment(c, outline[i], outline[(i + 1) % n]));
        }
        if (!inside(outline, c.x, c.y)) clearance = -clearance;
        if (clearance < pole.r) depth += (pole.r - clearance) * pole.r;
    }
    return depth + kDepthFloor * shape.poles.front().r * shape.poles.front().r;
}

}  // namespace blocknest
