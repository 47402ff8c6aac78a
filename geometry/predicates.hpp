#pragma once  // geometry/predicates.hpp: the one point-containment rule of the system
#include "geometry/loop.hpp"
#include "geometry/part.hpp"

namespace blocknest {

// Even-odd test with the ray toward +X. A point on the boundary counts as the point moved a
// tiny step toward -X and a much tinier one toward +Y. Uses the loop's stored box first.
[[nodiscard]] bool pointInLoop(const Vertex& p, const Loop& loop);

// Crossing parity of the +X ray from p with the loop's edges, without the box test.
[[nodiscard]] bool crossingCountIsOdd(const Vertex& p, const Loop& loop);

// Inside the outer loop and inside none of the holes, by the rule of pointInLoop.
[[nodiscard]] bool pointInPart(const Vertex& p, const Part& part);

}  // namespace blocknest
