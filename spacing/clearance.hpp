#pragma once  // spacing/clearance.hpp: gaps between parts and at the sheet edge, by grown outlines
#include <string>
#include <variant>
#include <vector>

#include "geometry/part.hpp"
#include "raster/sheet_bitmap.hpp"

namespace blocknest {

// The gaps a layout must keep, in drawing units: spacing between any two parts (outline to
// outline, holes included), margin between any part and the sheet's edges. Both >= 0.
struct Clearance {
    double spacing = 0;
    double margin = 0;
    [[nodiscard]] bool any() const { return spacing > 0 || margin > 0; }
};

// A job whose parts touch where the real parts must keep their gaps: every outline grown by
// half the spacing (holes shrunk by as much; a hole that vanishes is gone), on a sheet whose
// edges lie margin - spacing / 2 inside the real one's (outside when that is negative). Any
// run that packs it without overlaps gives a layout with the gaps. Corners of the grown
// outlines are mitred (limit 2, squared beyond it): they always hold the round offset, and
// add at most two vertices per corner. Parts are in the order of the real job, parked off
// the placement sheet, with the real job's block side and orientations.
struct PlacementJob {
    PartList parts;
    Sheet sheet;
    double sheetOrigin = 0;          // the placement sheet's origin lies at (this, this)
    std::vector<Part> parkedPoses;   // each grown part as parked, before packing
    std::vector<Vertex> parkShifts;  // grown part as parked = grown real part, moved by this
};

// Builds the placement job for parts (as prepared: parked, in packing order) on sheet, or
// says why it cannot: a margin that leaves no room, a grid too large for maxSheetCells.
[[nodiscard]] std::variant<PlacementJob, std::string> makePlacementJob(
    const PartList& parts, const Sheet& sheet, const Clearance& clearance,
    std::int64_t maxSheetCells = std::int64_t{1} << 31);

// Moves every real part to the pose its grown part was packed in: the turn it was given,
// then the same move, then onto the real sheet. packed holds the placement job's parts after
// packing, in the placement job's order; parts holds the real ones in the same order. A
// grown part left off the placement sheet leaves its real part where it is.
void placeOriginals(PartList& parts, const PlacementJob& placement, const PartList& packed);

// The grown outline of a part by delta (> 0): outer loop grown, holes shrunk, both by at
// least delta everywhere; holes that vanish are dropped.
[[nodiscard]] Part growPart(const Part& part, double delta);

}  // namespace blocknest
