#pragma once  // input/dxf_curves.hpp: outlines as drawn (lines, arcs, bulges, ellipses, splines)
#include <cmath>
#include <string>
#include <variant>
#include <vector>

#include "geometry/loop.hpp"

namespace blocknest {

// x' = a x + b y + tx, y' = c x + d y + ty
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    [[nodiscard]] Vertex apply(const Vertex& p) const {
        return Vertex{a * p.x + b * p.y + tx, c * p.x + d * p.y + ty};
    }
    // This transform after inner.
    [[nodiscard]] Affine after(const Affine& inner) const {
        return Affine{a * inner.a + b * inner.c,        a * inner.b + b * inner.d,
                      c * inner.a + d * inner.c,        c * inner.b + d * inner.d,
                      a * inner.tx + b * inner.ty + tx, c * inner.tx + d * inner.ty + ty};
    }
    // The most any length grows: the larger singular value of the linear part.
    [[nodiscard]] double maxStretch() const;
};

// Corners joined by straight edges or circular arcs: bulges[i] = tan(sweep / 4) of the arc from
// corner i to the next (counter-clockwise positive, 0 straight); one bulge per corner, the
// last one closing the outline when closed. LINE, LWPOLYLINE and POLYLINE.
struct PolylineCurve {
    std::vector<Vertex> corners;
    std::vector<double> bulges;
    bool closed = false;
};

// A circular arc from start through sweep (radians, counter-clockwise, sweep > 0); a CIRCLE is
// the closed full turn.
struct ArcCurve {
    Vertex centre;
    double radius = 1;
    double start = 0;
    double sweep = 0;
    bool closed = false;
};

// centre + major cos(t) + minor sin(t) for t from start through sweep; closed: the full turn.
struct EllipseCurve {
    Vertex centre;
    Vertex major;
    Vertex minor;
    double start = 0;
    double sweep = 0;
    bool closed = false;
};

// A (rational) B-spline; its knots are sorted and number control points + degree + 1.
struct BSpline {
    int degree = 0;
    std::vector<double> knots;
    std::vector<Vertex> control;
    std::vector<double> weights;  // empty or one per control point

    // The point at parameter t, knots[degree] <= t < knots[control count].
    [[nodiscard]] Vertex at(double t) const;
};

// One outline entity as drawn, before it is cut into chords, with where it sits in the drawing.
struct CurvePiece {
    std::variant<PolylineCurve, ArcCurve, EllipseCurve, BSpline> shape;
    bool mirrored = false;  // x is negated before toWorld: an object system seen from below
    Affine toWorld;         // from the entity's coordinates to the drawing's
    std::string label;      // "LINE 2F", or "LINE at line 120", with the blocks it is in
    std::string layer;
    std::string block;  // the outermost block reference's block name, if any
    int line = 0;       // where the entity starts in the file
};

// Whether the piece's outline is closed (splines are read as open).
[[nodiscard]] bool isClosed(const CurvePiece& piece);

// The open or closed outline of a piece in drawing coordinates: chords that stray at most tol
// (drawing units) from it, both ends included when open, the first point not repeated when
// closed. One curve gets at most maxSegments chords (a spline 4 x maxSegments).
[[nodiscard]] std::vector<Vertex> flattenCurve(const CurvePiece& piece, double tol,
                                               int maxSegments);

// A piece's outline in drawing coordinates as corners joined by straight edges and circular
// arcs (bulges as in PolylineCurve; one fewer than the corners when open). Empty when the piece
// has no arc to keep: then its chords are its outline. Ellipses, splines, and arcs that a
// block reference stretches unevenly (into ellipses) keep no arcs.
struct CurvePath {
    std::vector<Vertex> corners;
    std::vector<double> bulges;
};
[[nodiscard]] CurvePath curvePath(const CurvePiece& piece);

// Chords of a circular arc, both ends included, straying at most tol from it.
[[nodiscard]] std::vector<Vertex> arcPoints(const Vertex& centre, double radius, double start,
                                            double sweep, double tol, int maxSegments);

}  // namespace blocknest
