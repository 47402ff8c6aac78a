#pragma once  // input/dxf_contours.hpp: closed contours checked and nested into parts with holes
#include <cstddef>
#include <string>
#include <vector>

#include "geometry/curve_loop.hpp"
#include "geometry/part.hpp"
#include "input/dxf_chaining.hpp"
#include "input/dxf_texts.hpp"

namespace blocknest {

// Repeated points go; contours without area or that cross or touch themselves are warned of
// (source names the file) and left out.
[[nodiscard]] std::vector<Contour> keepSoundContours(std::vector<Contour> contours,
                                                     const std::string& source,
                                                     std::vector<std::string>& warnings);

// Contours that repeat an earlier one within joinDistance (see findRepeats: a rectangle drawn
// twice, or once as a polyline and once as lines) are left out, warned of in one line.
[[nodiscard]] std::vector<Contour> dropRepeatedContours(std::vector<Contour> contours,
                                                        double joinDistance,
                                                        const std::string& source,
                                                        std::vector<std::string>& warnings);

// Of two contours that cross (each reaches more than tol into the other, or the smaller both
// into and out of the larger), one is warned of and left out, so that no outline overlaps
// another: among holes the larger (material is kept where a hole was drawn), among outlines
// the smaller (the larger claims more material). Contours that only touch stay: from outside
// each other two parts, from inside a part and its hole.
// With crossingOutlines given, an outline left out for crossing a larger one goes there
// instead of being warned of (a sheet drawing cuts such a defect out of its outline).
[[nodiscard]] std::vector<Contour> dropCrossingContours(
    std::vector<Contour> contours, double tol, const std::string& source,
    std::vector<std::string>& warnings, std::vector<Contour>* crossingOutlines = nullptr);

// The parts of a drawing, and each part's outlines as drawn (curves[k] for the k-th part; its
// outer corners are empty when no contour of the part has an arc).
struct AssembledParts {
    PartList parts;
    std::vector<PartCurves> curves;
    // Contours whose arcs lie too close to their other edges for a bounding polygon that does
    // not cross itself: packed by their chords instead, which may cut into the arcs.
    std::vector<std::size_t> packedByChords;
    std::vector<std::size_t> namingTexts;  // the texts (their indices) that named a part
};

// Which contour directly holds each one (-1: none): the smallest larger contour that holds
// most of its corners or edge middles; slack is how far a contour's box may pass its
// container's (the chord tolerance).
[[nodiscard]] std::vector<std::ptrdiff_t> contourParents(const std::vector<Contour>& contours,
                                                         double slack);

// Outermost contours become parts; a contour directly inside a part is its hole, and one
// inside a hole is a part again. Parts and holes keep the order of their contours. A part is
// named after its block, else the first of the texts that lies inside its outline and no
// other part's, else its layer other than "0", else fallbackName. A contour with
// arcs is packed as a polygon within chordTolerance of it that holds the part's material: an
// outer contour's polygon holds the whole outline, a hole's lies within the hole (see
// boundingPolygon; at most maxSegments edges per arc).
[[nodiscard]] AssembledParts assembleParts(const std::vector<Contour>& contours,
                                           const std::string& fallbackName, double chordTolerance,
                                           int maxSegments,
                                           const std::vector<DrawnText>& texts = {});

}  // namespace blocknest
