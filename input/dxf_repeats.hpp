#pragma once  // input/dxf_repeats.hpp: outlines drawn more than once, found within a distance
#include <cstddef>
#include <limits>
#include <vector>

#include "geometry/loop.hpp"

namespace blocknest {

// An outline as drawn: open from its first to its last point, or closed.
struct OutlineView {
    const std::vector<Vertex>* points = nullptr;
    bool closed = false;
};

inline constexpr std::size_t kNoRepeat = std::numeric_limits<std::size_t>::max();

// For each outline, the index of an earlier one it repeats, or kNoRepeat: both open or both
// closed, every point of each within `within` of the other's outline (checked at the corners
// and at the middle of every edge), in either direction and, when closed, from any start.
// Outlines too large to compare point by point count as repeats only when their corners
// match in order.
[[nodiscard]] std::vector<std::size_t> findRepeats(const std::vector<OutlineView>& outlines,
                                                   double within);

}  // namespace blocknest
