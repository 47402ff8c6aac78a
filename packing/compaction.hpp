#pragma once  // packing/compaction.hpp: sliding a placed part toward the sheet's origin
#include "geometry/part.hpp"
#include "packing/overlap.hpp"

namespace blocknest {

// The slides end with a step below this: a slid part stops at most about this short of a touch.
inline constexpr double kSlideResolution = 0.01;

// Slides the part toward X = 0 (compactAlongX) or Y = 0 (compactAlongY) while its pose stays
// feasible: moves of the start step min(b / 10, m * 0.25), m the shorter side of its box, until
// one fails, which is undone; then half the step, until a pass with a step below 0.01 is done.
// A start step that is 0 or not a number would never end the slide; the part then stays.
// others holds the part list and the sheet the pose is tested against.
void compactAlongX(const PartIndex& others, Part& part, double blockSideLength);
void compactAlongY(const PartIndex& others, Part& part, double blockSideLength);

// The first step of a slide, as above.
[[nodiscard]] double compactionStartStep(const Part& part, double blockSideLength);

}  // namespace blocknest
