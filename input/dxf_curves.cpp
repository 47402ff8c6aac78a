#include "input/dxf_curves.hpp"

#include <algorithm>
#include <array>
#include <numbers>

#include "geometry/predicates.hpp"

namespace blocknest {
namespace {

constexpr double kPi = std::numbers::pi;

// The arc that a bulge value draws from p to q: tan(sweep / 4), counter-clockwise positive.
// The ends are p and q exactly; p itself is not appended.
void appendBulge(std::vector<Vertex>& out, const Vertex& p, const Vertex& q, double bulge,
                 double tol, int maxSegments) {
    const double chord = distance(p, q);
    if (bulge == 0 || chord == 0) {
        out.push_back(q);
        return;
    }
    const double sweep = 4 * std::atan(bulge);
    const double ux = (q.x - p.x) / chord;
    const double uy = (q.y - p.y) / chord;
    // The centre lies on the chord's left for a counter-clockwise arc under half a turn.
    const double offset = chord / 2 * (1 - bulge * bulge) / (2 * bulge);
    const Vertex centre{(p.x + q.x) / 2 - uy * offset, (p.y + q.y) / 2 + ux * offset};
    const double radius = distance(p, centre);
    const double start = std::atan2(p.y - centre.y, p.x - centre.x);
    std::vector<Vertex> arc = arcPoints(centre, radius, start, sweep, tol, maxSegments);
    arc.back() = q;
    out.insert(out.end(), arc.begin() + 1, arc.end());
}

double distanceToChord(const Vertex& p, const Vertex& a, const Vertex& b) {
    const double len = distance(a, b);
    if (len == 0) return distance(p, a);
    return std::fabs((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x)) / len;
}

// Bisects a parameter interval until the curve's mid and quarter points lie within tol of
// the chord.
template <class Curve>
void refine(const Curve& curve, double t0, const Vertex& p0, double t1, const Vertex& p1,
            double tol, int depth, std::vector<Vertex>& out, std::size_t maxPoints) {
    const double tm = (t0 + t1) / 2;
    const Vertex pm = curve(tm);
    const Vertex pa = curve((t0 + tm) / 2);
    const Vertex pb = curve((tm + t1) / 2);
    const bool flat = distanceToChord(pm, p0, p1) <= tol && distanceToChord(pa, p0, p1) <= tol &&
                      distanceToChord(pb, p0, p1) <= tol;
    if (flat || depth >= 20 || out.size() >= maxPoints) {
        out.push_back(p1);
        return;
    }
    refine(curve, t0, p0, tm, pm, tol, depth + 1, out, maxPoints);
    refine(curve, tm, pm, t1, p1, tol, depth + 1, out, maxPoints);
}

std::vector<Vertex> flatten(const PolylineCurve& curve, double tol, int maxSegments) {
    const std::vector<Vertex>& corners = curve.corners;
    std::vector<Vertex> points{corners.front()};
    const std::size_t n = corners.size();
    for (std::size_t i = 0; i + 1 < n; ++i)
        appendBulge(points, corners[i], corners[i + 1], curve.bulges[i], tol, maxSegments);
    if (curve.closed && n > 1) {
        appendBulge(points, corners[n - 1], corners[0], curve.bulges[n - 1], tol, maxSegments);
        points.pop_back();  // the first corner again
    }
    return points;
}

std::vector<Vertex> flatten(const ArcCurve& arc, double tol, int maxSegments) {
    std::vector<Vertex> points =
        arcPoints(arc.centre, arc.radius, arc.start, arc.sweep, tol, maxSegments);
    if (arc.closed) points.pop_back();
    return points;
}

std::vector<Vertex> flatten(const EllipseCurve& e, double tol, int maxSegments) {
    const double a = std::hypot(e.major.x, e.major.y);
    const double b = std::hypot(e.minor.x, e.minor.y);
    // The sagitta of a step dt is at most a dt^2 / 8 on an ellipse of major semi-axis a.
    const double step = std::min(kPi / 8, std::sqrt(8 * tol / std::max(a, b)));
    const int n = static_cast<int>(
        std::clamp(std::ceil(e.sweep / step), 1.0, static_cast<double>(maxSegments)));
    std::vector<Vertex> points;
    for (int i = 0; i <= (e.closed ? n - 1 : n); ++i) {
        const double t = e.start + e.sweep * i / n;
        points.push_back(Vertex{e.centre.x + e.major.x * std::cos(t) + e.minor.x * std::sin(t),
                                e.centre.y + e.major.y * std::cos(t) + e.minor.y * std::sin(t)});
    }
    return points;
}

std::vector<Vertex> flatten(const BSpline& spline, double tol, int maxSegments) {
    const auto curve = [&spline](double t) { return spline.at(t); };
    const std::size_t n = spline.control.size();
    std::vector<Vertex> points;
    const double t0 = spline.knots[spline.degree];
    points.push_back(curve(t0));
    const std::size_t maxPoints = static_cast<std::size_t>(maxSegments) * 4;
    // Each knot span is smooth; its ends are where the curve may bend sharply.
    for (std::size_t k = spline.degree; k < n; ++k) {
        const double a = spline.knots[k], b = spline.knots[k + 1];
        if (b <= a) continue;
        for (int part = 0; part < 4; ++part) {
            const double s0 = a + (b - a) * part / 4;
            const double s1 = part == 3 ? b : a + (b - a) * (part + 1) / 4;
            // The last knot belongs to the closing span, which the evaluator reaches only
            // from below.
            const double evalEnd = k + 1 == n && part == 3 ? std::nextafter(b, a) : s1;
            refine(curve, s0, points.back(), evalEnd, curve(evalEnd), tol, 0, points, maxPoints);
        }
    }
    return points;
}

}  // namespace

double Affine::maxStretch() const {
    const double sum = a * a + b * b + c * c + d * d;
    const double det = a * d - b * c;
    return std::sqrt((sum + std::sqrt(std::max(0.0, sum * sum - 4 * det * det))) / 2);
}

// de Boor's algorithm in homogeneous coordinates.
Vertex BSpline::at(double t) const {
    const int n = static_cast<int>(control.size());
    // The last span whose first knot is at most t, found by halving: a spline may have many.
    const auto first = knots.begin() + degree + 1;
    const auto last = knots.begin() + n;
    const int span = first >= last
                         ? degree
                         : static_cast<int>(std::upper_bound(first, last, t) - knots.begin()) - 1;
    std::vector<std::array<double, 3>> d(static_cast<std::size_t>(degree) + 1);
    for (int j = 0; j <= degree; ++j) {
        const Vertex& c = control[span - degree + j];
        const double w = weights.empty() ? 1.0 : weights[span - degree + j];
        d[j] = {c.x * w, c.y * w, w};
    }
    for (int r = 1; r <= degree; ++r) {
        for (int j = degree; j >= r; --j) {
            const int i = span - degree + j;
            const double den = knots[i + degree - r + 1] - knots[i];
            const double alpha = den == 0 ? 0 : (t - knots[i]) / den;
            for (int k = 0; k < 3; ++k) d[j][k] = (1 - alpha) * d[j - 1][k] + alpha * d[j][k];
        }
    }
    const auto& h = d[degree];
    return h[2] == 0 ? Vertex{h[0], h[1]} : Vertex{h[0] / h[2], h[1] / h[2]};
}

std::vector<Vertex> arcPoints(const Vertex& centre, double radius, double start, double sweep,
                              double tol, int maxSegments) {
    double step = kPi / 4;
    if (tol < radius) step = std::min(step, 2 * std::acos(1 - tol / radius));
    const double wanted = std::ceil(std::fabs(sweep) / step);
    const int n = static_cast<int>(std::clamp(wanted, 1.0, static_cast<double>(maxSegments)));
    std::vector<Vertex> points;
    points.reserve(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        const double angle = start + sweep * i / n;
        points.push_back(
            Vertex{centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
    }
    return points;
}

bool isClosed(const CurvePiece& piece) {
    if (std::holds_alternative<BSpline>(piece.shape)) return false;
    return std::visit(
        [](const auto& shape) {
            if constexpr (requires { shape.closed; }) {
                return shape.closed;
            } else {
                return false;
            }
        },
        piece.shape);
}

std::vector<Vertex> flattenCurve(const CurvePiece& piece, double tol, int maxSegments) {
    // The tolerance holds in the drawing; the chords are made in the entity's coordinates.
    const double localTol = tol / std::max(piece.toWorld.maxStretch(), 1e-300);
    std::vector<Vertex> points = std::visit(
        [&](const auto& shape) { return flatten(shape, localTol, maxSegments); }, piece.shape);
    for (Vertex& v : points) {
        if (piece.mirrored) v.x = -v.x;
        v = piece.toWorld.apply(v);
    }
    return points;
}

CurvePath curvePath(const CurvePiece& piece) {
    const Affine& m = piece.toWorld;
    // The linear part with the mirror folded in: arcs stay arcs only under a turn, a mirror
    // and an even scale.
    const double a = piece.mirrored ? -m.a : m.a;
    const double c = piece.mirrored ? -m.c : m.c;
    const double lengthX = std::hypot(a, c);
    const double lengthY = std::hypot(m.b, m.d);
    const double scale = std::max(lengthX, lengthY);
    if (!(scale > 0) || std::fabs(lengthX - lengthY) > 1e-9 * scale ||
        std::fabs(a * m.b + c * m.d) > 1e-9 * scale * scale) {
        return {};
    }
    const bool flips = a * m.d - m.b * c < 0;
    const auto world = [&piece](Vertex v) {
        if (piece.mirrored) v.x = -v.x;
        return piece.toWorld.apply(v);
    };
    CurvePath path;
    if (const auto* polyline = std::get_if<PolylineCurve>(&piece.shape)) {
        const std::size_t n = polyline->corners.size();
        const std::size_t edges = polyline->closed ? n : n - 1;
        bool bends = false;
        for (std::size_t i = 0; i < edges; ++i) bends = bends || polyline->bulges[i] != 0;
        if (!bends || n < 2) return {};
        for (const Vertex& v : polyline->corners) path.corners.push_back(world(v));
        for (std::size_t i = 0; i < edges; ++i)
            path.bulges.push_back(flips ? -polyline->bulges[i] : polyline->bulges[i]);
    } else if (const auto* arc = std::get_if<ArcCurve>(&piece.shape)) {
        const auto at = [&](double angle) {
            return world(Vertex{arc->centre.x + arc->radius * std::cos(angle),
                                arc->centre.y + arc->radius * std::sin(angle)});
        };
        if (!(arc->radius > 0) || !(arc->sweep > 0)) return {};
        const double bend = flips ? -1.0 : 1.0;
        if (arc->closed) {
            path.corners = {at(arc->start), at(arc->start + kPi)};
            path.bulges = {bend, bend};
        } else {
            path.corners = {at(arc->start), at(arc->start + arc->sweep)};
            path.bulges = {bend * std::tan(arc->sweep / 4)};
        }
    }
    return path;
}

}  // namespace blocknest
