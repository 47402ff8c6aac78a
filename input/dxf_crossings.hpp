#pragma once  // input/dxf_crossings.hpp: where the contours of a drawing cross or touch each other
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "geometry/loop.hpp"

namespace blocknest {

// Closed segments ab and cd share a point.
[[nodiscard]] bool segmentsMeet(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d);

// Two contours with an edge each that cross or touch, first < second, and a point of contact.
struct ContourContact {
    std::size_t first = 0;
    std::size_t second = 0;
    Vertex near;  // a corner of the first contour's edge at the contact
};

// The pairs of contours that meet, each pair once in order. Work is bounded: when the edges
// would need more than maxWork cell entries or edge tests, the search stops and says so.
struct ContactSearch {
    std::vector<ContourContact> contacts;
    bool complete = true;
};

// Finds the contacts between closed contours (the last point joins the first) with a grid
// over their edges; edges of one contour are not compared with each other.
[[nodiscard]] ContactSearch findContacts(const std::vector<const std::vector<Vertex>*>& contours,
                                         std::int64_t maxWork);

// Two edges of one closed outline that cross or touch, other than neighbours at their shared
// corner (an edge that turns straight back along its neighbour counts too), by the indices of
// their first corners; complete is false when the search gave up past maxWork.
struct SelfContact {
    std::optional<std::pair<std::size_t, std::size_t>> edges;
    bool complete = true;
};
[[nodiscard]] SelfContact findSelfContact(const std::vector<Vertex>& outline, std::int64_t maxWork);

}  // namespace blocknest
