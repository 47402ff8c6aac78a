#pragma once  // tests/spacing/gap_check.hpp: a second opinion on the gaps of a layout
#include <string>
#include <vector>

#include "geometry/part.hpp"

namespace blocknest::testing_support {

// Checks a layout with its own geometry, not with the code under test. Returns one line per
// fault: two parts whose outlines (outer loops and holes) come closer than spacing - tolerance
// or whose materials overlap (one lying in a hole of the other is fine when it keeps the gap
// to the hole's edge), or a part closer than margin - tolerance to an edge of the sheet
// [0, length] x [0, width] or beyond it.
std::vector<std::string> findGapFaults(const std::vector<const Part*>& parts, double length,
                                       double width, double spacing, double margin,
                                       double tolerance);

// The smallest distance between the outlines of a and b, 0 when they cross.
double outlineDistance(const Part& a, const Part& b);

}  // namespace blocknest::testing_support
