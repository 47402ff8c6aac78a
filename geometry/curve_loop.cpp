#include "geometry/curve_loop.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace blocknest {
namespace {

// The circle an edge with a bulge lies on.
struct Arc {
    Vertex centre;
    double radius = 0;
    double start = 0;  // the angle of the edge's first corner about the centre
    double sweep = 0;  // signed, counter-clockwise positive
};

Arc arcOf(const Vertex& p, const Vertex& q, double bulge) {
    const double chord = std::hypot(q.x - p.x, q.y - p.y);
    const double ux = (q.x - p.x) / chord;
    const double uy = (q.y - p.y) / chord;
    // The centre lies on the chord's left for a counter-clockwise arc under half a turn.
    const double offset = chord / 2 * (1 - bulge * bulge) / (2 * bulge);
    Arc arc;
    arc.centre = Vertex{(p.x + q.x) / 2 - uy * offset, (p.y + q.y) / 2 + ux * offset};
    arc.sweep = 4 * std::atan(bulge);
    arc.radius = chord / (2 * std::fabs(std::sin(arc.sweep / 2)));
    arc.start = std::atan2(p.y - arc.centre.y, p.x - arc.centre.x);
    return arc;
}

// Appends the points after p of an arc's chords (tangents false) or of the tangents to it at
// evenly spaced points, its ends included (tangents true); q ends it exactly.
void appendArc(std::vector<Vertex>& out, const Vertex& p, const Vertex& q, double bulge,
               bool tangents, double tol, int maxSegments) {
    const Arc arc = arcOf(p, q, bulge);
    double step = std::numbers::pi / 4;
    if (tangents) {
        step = std::min(step, 2 * std::acos(arc.radius / (arc.radius + tol)));
    } else if (tol < arc.radius) {
        step = std::min(step, 2 * std::acos(1 - tol / arc.radius));
    }
    const double wanted = std::ceil(std::fabs(arc.sweep) / step);
    const int n = static_cast<int>(std::clamp(wanted, 1.0, static_cast<double>(maxSegments)));
    const double h = arc.sweep / n;
    // A tangent at the middle of each step meets its neighbours r / cos(h / 2) - r farther
    // out, a half step either side; the first and last run along the tangents at p and q.
    const double beyond =
        tangents ? arc.radius * 2 * std::pow(std::sin(h / 4), 2) / std::cos(h / 2) : 0;
    for (int i = 1; i <= (tangents ? n : n - 1); ++i) {
        const double angle = arc.start + (tangents ? h * (i - 0.5) : h * i);
        // Measured from p, not from the centre, which lies far away on a nearly flat arc.
        const double chord = 2 * arc.radius * std::sin((angle - arc.start) / 2);
        const double middle = (angle + arc.start) / 2;
        out.push_back(Vertex{p.x - chord * std::sin(middle) + beyond * std::cos(angle),
                             p.y + chord * std::cos(middle) + beyond * std::sin(angle)});
    }
    out.push_back(q);
}

}  // namespace

double signedArea(const CurveLoop& loop) {
    const std::vector<Vertex>& v = loop.corners;
    double twice = 0;
    double segments = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const Vertex& p = v[i];
        const Vertex& q = v[(i + 1) % v.size()];
        twice += p.x * q.y - q.x * p.y;
        const double bulge = loop.bulges[i];
        if (bulge == 0 || (p.x == q.x && p.y == q.y)) continue;
        // The segment between chord and arc lies right of the chord for a counter-clockwise
        // arc: it adds to a counter-clockwise outline's area.
        const Arc arc = arcOf(p, q, bulge);
        const double sweep = std::fabs(arc.sweep);
        segments += std::copysign(arc.radius * arc.radius / 2 * (sweep - std::sin(sweep)), bulge);
    }
    return twice / 2 + segments;
}

CurveLoop reversed(const CurveLoop& loop) {
    const std::size_t n = loop.corners.size();
    CurveLoop back;
    back.corners.reserve(n);
    back.bulges.reserve(n);
    for (std::size_t j = 0; j < n; ++j) {
        back.corners.push_back(loop.corners[(n - j) % n]);
        back.bulges.push_back(-loop.bulges[(2 * n - j - 1) % n]);
    }
    return back;
}

CurveLoop placed(const CurveLoop& loop, const Orientation& turn, double dx, double dy) {
    CurveLoop moved = loop;
    const double angle = turn.angle();
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    for (Vertex& v : moved.corners) {
        if (turn.mirrored) v.x = -v.x;
        // No turn leaves the coordinates untouched, as Part::applyTurn does.
        if (turn.index != 0) v = Vertex{c * v.x - s * v.y, s * v.x + c * v.y};
        v.x += dx;
        v.y += dy;
    }
    if (turn.mirrored)
        for (double& bulge : moved.bulges) bulge = -bulge;
    return moved;
}

bool hasArcs(const CurveLoop& loop) {
    return std::any_of(loop.bulges.begin(), loop.bulges.end(), [](double b) { return b != 0; });
}

std::vector<Vertex> boundingPolygon(const CurveLoop& loop, bool coverInside, double tol,
                                    int maxSegments) {
    const std::vector<Vertex>& v = loop.corners;
    std::vector<Vertex> polygon;
    if (v.empty()) return polygon;
    const bool counterClockwise = signedArea(loop) >= 0;
    polygon.push_back(v.front());
    for (std::size_t i = 0; i < v.size(); ++i) {
        const Vertex& p = v[i];
        const Vertex& q = v[(i + 1) % v.size()];
        const double bulge = loop.bulges[i];
        if (bulge == 0 || (p.x == q.x && p.y == q.y)) {
            polygon.push_back(q);
            continue;
        }
        // A counter-clockwise arc has its circle's inside on its left, where a
        // counter-clockwise outline has its region: there chords would cut into the region.
        const bool regionInsideCircle = (bulge > 0) == counterClockwise;
        appendArc(polygon, p, q, bulge, regionInsideCircle == coverInside, tol, maxSegments);
    }
    polygon.pop_back();  // the first corner again
    return polygon;
}

}  // namespace blocknest
