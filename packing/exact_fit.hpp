#pragma once  // packing/exact_fit.hpp: a place for a part that the block grid refuses
#include <optional>

#include "geometry/part.hpp"
#include "packing/overlap.hpp"

namespace blocknest {

// The exact tests one part may spend in findExactFit over all its orientations: on a crowded
// sheet the positions tried grow as the square of the parts placed.
inline constexpr int kExactFitTests = 20000;

// The part, in the pose it has, moved to the first position in the grid's scan order (its
// box's smallest X first, then its smallest Y) where isPlacementFeasible holds with the sheet's
// edges closed (a part as wide or as long as the sheet fits it), among the positions where its
// box touches, on each axis, a sheet edge, a side of a placed part's or a defect's box, or a
// vertex of the sheet's outline; nothing when none passes. Every position tested takes one from
// testsLeft, and none is tested once it is 0. part must be the element of the index's list that
// is being placed (it is tested as itself); it is left in the pose it had.
[[nodiscard]] std::optional<Part> findExactFit(const PartIndex& others, Part& part, int& testsLeft);

// Moves a part that reaches past the sheet's box by a rounding (a billionth of the sheet's
// sides at most) back onto it; a part further out stays where it is.
void clampOntoSheet(Part& part, const BoundingBox& sheet);

}  // namespace blocknest
