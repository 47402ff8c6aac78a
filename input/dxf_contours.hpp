#pragma once  // input/dxf_contours.hpp: closed contours checked and nested into parts with holes
#include <string>
#include <vector>

#include "geometry/part.hpp"
#include "input/dxf_chaining.hpp"

namespace blocknest {

// Repeated points go; contours without area or that cross or touch themselves are warned of
// (source names the file) and left out.
[[nodiscard]] std::vector<Contour> keepSoundContours(std::vector<Contour> contours,
                                                     const std::string& source,
                                                     std::vector<std::string>& warnings);

// Of two contours that cross, or touch with one reaching into the other by more than tol, the
// smaller is warned of and left out (the larger kept whole): a conservative reading, in which
// no outline overlaps another. Contours that touch from outside each other both stay.
[[nodiscard]] std::vector<Contour> dropCrossingContours(std::vector<Contour> contours, double tol,
                                                        const std::string& source,
                                                        std::vector<std::string>& warnings);

// Outermost contours become parts; a contour directly inside a part is its hole, and one
// inside a hole is a part again. Parts and holes keep the order of their contours. A part is
// named after its block, else its layer other than "0", else fallbackName.
[[nodiscard]] PartList assembleParts(const std::vector<Contour>& contours,
                                     const std::string& fallbackName);

}  // namespace blocknest
