#pragma once  // search/exact_shape.hpp: parts as exact polygons, with inscribed circles for depth
#include <vector>

#include "geometry/part.hpp"

namespace blocknest {

// A circle inside a part: a few of them stand for how deeply two parts overlap.
struct Pole {
    double x = 0;
    double y = 0;
    double r = 0;
};

// A part's outer loop in one turn, moved so that its box's lower left corner is the origin;
// holes are left out, so that a part is never placed in another's hole by this phase.
struct ExactShape {
    std::vector<Vertex> outline;
    double width = 0;
    double height = 0;
    std::vector<Pole> poles;  // disjoint inscribed circles, largest first, never empty
    // The same circles as columns, padded with circles of radius 0 to an even count, for the
    // depth's loop over pairs two at a time.
    std::vector<double> poleXs;
    std::vector<double> poleYs;
    std::vector<double> poleRs;
};

// The shape of the part in its present pose.
[[nodiscard]] ExactShape makeExactShape(const Part& part);

// True when a at (ax, ay) and b at (bx, by) overlap or touch: their boxes overlap on both axes,
// and an edge of one meets an edge of the other or one lies inside the other. The program's
// exact test for two outer loops, without its tolerance for boxes that overlap a hair's
// breadth: parts grown by half the spacing must not come that much closer.
[[nodiscard]] bool shapesCollide(const ExactShape& a, double ax, double ay, const ExactShape& b,
                                 double bx, double by);

// How deeply a at (ax, ay) and b at (bx, by) overlap: 0 when they do not collide (by
// shapesCollide's rule, boxes that meet by a rounding of their positions counting as apart),
// else the overlap of their inscribed circles, each pair weighted by its
// smaller circle, plus a floor, so that two shapes that collide always count and the count
// falls as they draw apart.
[[nodiscard]] double overlapDepth(const ExactShape& a, double ax, double ay, const ExactShape& b,
                                  double bx, double by);

// How far the shape at (x, y) reaches out of a drawn sheet's outline (any orientation, in
// sheet coordinates): 0 when it lies inside (no edge meets the outline's and a vertex lies
// inside), else how far its circles reach beyond the outline, each weighted by its radius, plus
// a floor.
[[nodiscard]] double outsideDepth(const std::vector<Vertex>& outline, const ExactShape& shape,
                                  double x, double y);

}  // namespace blocknest
