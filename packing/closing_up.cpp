#include "packing/closing_up.hpp"

#include <optional>

#include "packing/compaction.hpp"

namespace blocknest {
namespace {

constexpr int kMaxSweeps = 4;

// The nearest coordinate at or below the part's box's low side along X or along Y, among the
// sheet's low edge and the high sides of the boxes in the way: those of the defects and the
// other placed parts that share some of the part's span across the axis.
double nearestStopBelow(const PartIndex& index, const Part& part, bool alongX) {
    const auto low = [alongX](const BoundingBox& box) { return alongX ? box.minX : box.minY; };
    const auto high = [alongX](const BoundingBox& box) { return alongX ? box.maxX : box.maxY; };
    const auto acrossLow = [alongX](const BoundingBox& b) { return alongX ? b.minY : b.minX; };
    const auto acrossHigh = [alongX](const BoundingBox& b) { return alongX ? b.maxY : b.maxX; };
    const BoundingBox& own = part.outerLoop().bounds();
    const double from = low(own);
    double best = low(index.sheetRectangle().bounds());
    const auto consider = [&](const BoundingBox& box) {
        const double stop = high(box);
        const bool inTheWay = acrossLow(box) < acrossHigh(own) - kBoxTolerance &&
                              acrossHigh(box) > acrossLow(own) + kBoxTolerance;
        if (inTheWay && stop <= from && stop > best) best = stop;
    };
    for (const Part& defect : index.defects()) consider(defect.outerLoop().bounds());
    index.forEachPlaced([&](const Part& other) {
        if (&other != &part) consider(other.outerLoop().bounds());
    });
    return best;
}

}  // namespace

std::vector<std::pair<Part*, Part>> closeUpPlaced(std::span<Part* const> placed, PartIndex& index) {
    // Each slide stops short by less than twice its last step, and a row of parts closing up
    // adds up the gaps before each part; a stop farther than that lies past a part's edges
    // that are no box sides, where the slide stopped for a reason.
    const double reach = 2 * kSlideResolution * static_cast<double>(placed.size());
    std::vector<std::optional<Part>> before(placed.size());
    // A row closes up from its first part on; a part's move can open the way for the next
    // one's, so the sweeps go on while they move something.
    for (int sweep = 0; sweep < kMaxSweeps; ++sweep) {
        bool movedAny = false;
        for (std::size_t i = 0; i < placed.size(); ++i) {
            Part& part = *placed[i];
            for (const bool alongX : {true, false}) {
                const BoundingBox& box = part.outerLoop().bounds();
                const double move =
                    nearestStopBelow(index, part, alongX) - (alongX ? box.minX : box.minY);
                if (!(move < 0) || move < -reach) continue;
                const Part pose = part;
                part.translate(alongX ? move : 0, alongX ? 0 : move);
                if (!isPlacementFeasible(index, part, true)) {
                    part = pose;
                    continue;
                }
                if (!before[i]) before[i] = pose;
                index.notePlacedMoved(part);
                movedAny = true;
            }
        }
        if (!movedAny) break;
    }
    std::vector<std::pair<Part*, Part>> moved;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        if (before[i]) moved.emplace_back(placed[i], std::move(*before[i]));
    }
    return moved;
}

}  // namespace blocknest
