#pragma once  // tests/packing/independent_overlap.hpp: a second opinion on overlapping parts
#include <string>
#include <vector>

#include "geometry/part.hpp"

namespace blocknest::testing_support {

// Checks a layout with its own geometry (winding numbers and orientation tests), not with the
// code under test. Returns one line per fault: two parts whose materials overlap, or a part
// that sticks out of the sheet [0, length] x [0, width]. Overlaps thinner than slack along an
// axis are allowed, as are touching outlines.
std::vector<std::string> findLayoutFaults(const std::vector<const Part*>& parts, double length,
                                          double width, double slack = 2e-5);

}  // namespace blocknest::testing_support
