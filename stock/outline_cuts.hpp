#pragma once  // stock/outline_cuts.hpp: a sheet's outline less what is cut out of it
#include <optional>
#include <vector>

#include "geometry/loop.hpp"

namespace blocknest {

// What is left of an outline once cut-outs are taken from it.
struct CutOutline {
    Loop outline;             // the largest piece of material left
    std::vector<Loop> holes;  // the cut-outs that lie wholly inside it
    int piecesLeftOut = 0;    // smaller pieces the cut-outs part from it
};

// The outline less every cut-out (a notch where one crosses it, a hole where one lies in it),
// computed exactly on integer coordinates scaled by a power of two; nothing when no material
// is left.
[[nodiscard]] std::optional<CutOutline> cutOutline(const Loop& outline,
                                                   const std::vector<Loop>& cutOuts);

}  // namespace blocknest
