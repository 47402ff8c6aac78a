#pragma once  // packing/closing_up.hpp: giving back the room the slides leave short of a touch
#include <span>
#include <utility>
#include <vector>

#include "geometry/part.hpp"
#include "packing/overlap.hpp"

namespace blocknest {

// Moves each placed part, in the order given, toward X = 0 and then toward Y = 0 to where its
// box touches the nearest stop in its way (a sheet edge, the box of a defect or another placed
// part that shares some of its span across the move), when it is feasible there with the
// edges closed and the stop is near, no farther than twice a slide's last step for each
// placed part; again while a sweep moves something, a few times at most. The slides stop up
// to their last step short of a touch, and a sheet filled exactly (two 300-wide parts on a
// 600-long sheet) needs that room back. Moved parts are noted in the index; marking them on
// the grid is the caller's. Returns each moved part with its pose before, in the order given.
std::vector<std::pair<Part*, Part>> closeUpPlaced(std::span<Part* const> placed, PartIndex& index);

}  // namespace blocknest
