#pragma once  // output/cut_order.hpp: the order a cutting head takes the parts of one sheet in
#include <cstddef>
#include <vector>

#include "geometry/part.hpp"

namespace blocknest {

// The parts of one sheet in cutting order, as indexes into parts. The head sweeps the sheet in
// bands across its width (bands as high as the median part's box, the upper one of
// an even count, from Y = 0 up), along X
// forward in the first band, back in the next, and so on, taking each part where the centre of
// its box lies. A part lying in a hole of another is cut just before that part, since the
// hole's slug drops out once it is cut. Every index appears once.
[[nodiscard]] std::vector<std::size_t> cutOrder(const std::vector<const Part*>& parts);

}  // namespace blocknest
