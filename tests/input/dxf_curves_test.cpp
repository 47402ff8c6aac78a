#include "input/dxf_curves.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace blocknest {
namespace {

constexpr double kPi = std::numbers::pi;

// A turn by angle, a uniform scale and, when mirrored, a reflection, then a shift.
Affine similarity(double angle, double scale, bool mirrored, double tx, double ty) {
    const double m = mirrored ? -1 : 1;
    return Affine{scale * std::cos(angle) * m,
                  -scale * std::sin(angle),
                  scale * std::sin(angle) * m,
                  scale * std::cos(angle),
                  tx,
                  ty};
}

// Bulged polylines under random similarities: every point lies on the circle the bulge
// describes (worked out here from the chord and the sweep, not as the reader does), the ends
// are the corners, the chords stray at most the tolerance, and the arc's length matches.
TEST(DxfCurvesTest, BulgesUnderSimilaritiesStayOnTheirCirclesWithinTheTolerance) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int round = 0; round < 200; ++round) {
        const Vertex p{unit(random) * 100 - 50, unit(random) * 100 - 50};
        const Vertex q{p.x + unit(random) * 40 + 1, p.y + unit(random) * 40 - 20};
        const double sweep = (unit(random) * 1.9 + 0.05) * kPi * (random() % 2 ? 1 : -1);
        const double bulge = std::tan(sweep / 4);
        const double scale = 0.1 + unit(random) * 10;
        const bool mirrored = random() % 2 == 0;
        const Affine toWorld = similarity(unit(random) * 7, scale, mirrored, unit(random) * 1000,
                                          unit(random) * -1000);
        const double tol = 0.001 + unit(random) * 0.1;
        CurvePiece piece;
        piece.shape = PolylineCurve{{p, q}, {bulge, 0}, false};
        piece.toWorld = toWorld;
        const std::vector<Vertex> points = flattenCurve(piece, tol, 1 << 16);
        ASSERT_GE(points.size(), 2u);
        // The circle through p and q with this sweep, in the entity's coordinates.
        const double chord = std::hypot(q.x - p.x, q.y - p.y);
        const double radius = chord / (2 * std::sin(std::fabs(sweep) / 2));
        const double toCentre = std::sqrt(std::max(0.0, radius * radius - chord * chord / 4));
        // Counter-clockwise sweeps under half a turn have their centre left of p -> q.
        const double side = (sweep > 0) == (std::fabs(sweep) < kPi) ? 1 : -1;
        const Vertex centre{(p.x + q.x) / 2 - side * (q.y - p.y) / chord * toCentre,
                            (p.y + q.y) / 2 + side * (q.x - p.x) / chord * toCentre};
        const Vertex worldCentre = toWorld.apply(centre);
        const double worldRadius = radius * scale;
        const Vertex first = toWorld.apply(p), last = toWorld.apply(q);
        EXPECT_NEAR(points.front().x, first.x, 1e-9 * (1 + std::fabs(first.x)));
        EXPECT_NEAR(points.back().y, last.y, 1e-9 * (1 + std::fabs(last.y)));
        double length = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const double r = std::hypot(points[i].x - worldCentre.x, points[i].y - worldCentre.y);
            ASSERT_NEAR(r, worldRadius, 1e-7 * (1 + worldRadius)) << "round " << round;
            if (i == 0) continue;
            const Vertex mid{(points[i].x + points[i - 1].x) / 2,
                             (points[i].y + points[i - 1].y) / 2};
            EXPECT_LE(worldRadius - std::hypot(mid.x - worldCentre.x, mid.y - worldCentre.y),
                      tol * (1 + 1e-9));
            length += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
        }
        EXPECT_NEAR(length, worldRadius * std::fabs(sweep), 2 * tol * std::fabs(sweep) + 1e-9)
            << "round " << round;
    }
}

// A rational cubic Bezier is a B-spline of one span: de Boor's evaluation must give the
// Bernstein form's point, and the flattened chords stay within the tolerance of it.
TEST(DxfCurvesTest, SplinesMatchTheBernsteinFormOfARationalBezier) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int round = 0; round < 50; ++round) {
        BSpline spline;
        spline.degree = 3;
        spline.knots = {0, 0, 0, 0, 1, 1, 1, 1};
        for (int i = 0; i < 4; ++i) {
            spline.control.push_back({unit(random) * 100, unit(random) * 100});
            spline.weights.push_back(0.2 + unit(random) * 3);
        }
        const auto bernstein = [&](double t) {
            const double b[4] = {(1 - t) * (1 - t) * (1 - t), 3 * t * (1 - t) * (1 - t),
                                 3 * t * t * (1 - t), t * t * t};
            double x = 0, y = 0, w = 0;
            for (int i = 0; i < 4; ++i) {
                const double bw = b[i] * spline.weights[i];
                x += bw * spline.control[i].x;
                y += bw * spline.control[i].y;
                w += bw;
            }
            return Vertex{x / w, y / w};
        };
        for (double t = 0; t < 1; t += 0.0625) {
            const Vertex want = bernstein(t), got = spline.at(t);
            EXPECT_NEAR(got.x, want.x, 1e-9 * 100);
            EXPECT_NEAR(got.y, want.y, 1e-9 * 100);
        }
        CurvePiece piece;
        piece.shape = spline;
        const double tol = 0.01;
        const std::vector<Vertex> points = flattenCurve(piece, tol, 1 << 16);
        // Every curve point lies near a chord: the bisection checks three points of each
        // piece, so a chord may stray a little past the tolerance between them.
        for (int k = 0; k <= 2000; ++k) {
            const Vertex c = bernstein(k / 2000.0);
            double best = 1e300;
            for (std::size_t i = 0; i + 1 < points.size(); ++i) {
                const Vertex& a = points[i];
                const Vertex& b = points[i + 1];
                const double len2 = (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
                const double s =
                    len2 == 0
                        ? 0
                        : std::clamp(((c.x - a.x) * (b.x - a.x) + (c.y - a.y) * (b.y - a.y)) / len2,
                                     0.0, 1.0);
                const double d =
                    std::hypot(a.x + s * (b.x - a.x) - c.x, a.y + s * (b.y - a.y) - c.y);
                if (d < best) best = d;
            }
            EXPECT_LE(best, tol * 1.05) << "round " << round << " t " << k / 2000.0;
        }
    }
}

}  // namespace
}  // namespace blocknest
