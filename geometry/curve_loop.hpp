#pragma once  // geometry/curve_loop.hpp: closed outlines of straight edges and circular arcs
#include <vector>

#include "geometry/loop.hpp"
#include "geometry/orientation.hpp"

namespace blocknest {

// A closed outline as drawn: the edge from corners[i] to the next corner (the last to the
// first) is straight when bulges[i] is 0, else a circular arc of sweep 4 atan(bulges[i])
// radians, counter-clockwise positive. One bulge per corner; a full circle is two half turns.
struct CurveLoop {
    std::vector<Vertex> corners;
    std::vector<double> bulges;
};

// The outlines of one part as drawn: its outer contour and its holes, the holes in the order
// of the part's hole list.
struct PartCurves {
    CurveLoop outer;
    std::vector<CurveLoop> holes;
    // Lines marked on the part, not cut (bend, mark and centre lines), in the same
    // coordinates: open paths, one bulge fewer than corners. Kept whether or not the
    // outlines have arcs.
    std::vector<CurveLoop> marks;
};

// The area the outline encloses, arcs included: positive counter-clockwise.
[[nodiscard]] double signedArea(const CurveLoop& loop);

// The same outline run the other way.
[[nodiscard]] CurveLoop reversed(const CurveLoop& loop);

// The outline mirrored about the Y axis (x negated) if the turn says so, then turned about the
// origin by its angle, then moved by (dx, dy): the motion a packed part went through.
[[nodiscard]] CurveLoop placed(const CurveLoop& loop, const Orientation& turn, double dx,
                               double dy);

// Whether an edge bends (its bulge is not 0).
[[nodiscard]] bool hasArcs(const CurveLoop& loop);

// A polygon whose edges stray at most tol from the outline, starting at corners[0]. With
// coverInside it holds the whole region the outline encloses (arcs bulging out of the region
// are followed by tangents, the others by chords); without, it lies within that region
// (the other way round), as a hole's polygon must. One arc gets at most maxSegments edges.
[[nodiscard]] std::vector<Vertex> boundingPolygon(const CurveLoop& loop, bool coverInside,
                                                  double tol, int maxSegments);

}  // namespace blocknest
