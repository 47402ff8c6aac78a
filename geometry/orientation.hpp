#pragma once  // geometry/orientation.hpp: the turns a part may be placed in
#include <vector>

namespace blocknest {

// A turn about the origin by index steps of a full turn divided into `steps`; index 0 leaves
// the part as drawn. Kept as a fraction so that equal turns from equal fractions are equal to
// the last bit.
struct Orientation {
    int index = 0;
    int steps = 1;

    // index * (2 pi / steps) in radians, the step divided in extended precision.
    [[nodiscard]] double angle() const;
    [[nodiscard]] double degrees() const;  // index * 360 / steps
    bool operator==(const Orientation&) const = default;
};

// 2 pi / steps, divided in extended precision: the step between the turns of evenTurns(steps).
[[nodiscard]] double rotationStep(int steps);

// The `count` turns equally spaced over a full turn, 0 first.
[[nodiscard]] std::vector<Orientation> evenTurns(int count);

}  // namespace blocknest
