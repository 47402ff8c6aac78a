#pragma once  // packing/overlap.hpp: the exact test of a part's pose against sheet and parts
#include <algorithm>
#include <cstddef>
#include <optional>
#include <unordered_map>
#include <vector>

#include "geometry/part.hpp"
#include "raster/sheet_bitmap.hpp"

namespace blocknest {

// Box tolerance of partsDisjoint: boxes closer than this on one axis count as apart.
inline constexpr double kBoxTolerance = 0.00001;

// True when every vertex of the moving part's outer loop lies in the sheet rectangle (by the
// point-containment rule, so the left and top edges are outside), the part overlaps neither
// the sheet's outside nor a defect, and it overlaps no other part of the list, a part lying in
// a hole of the other not counting (its vertices in the hole and no edge crossing the hole's
// edges). Other parts are
// recognised by identity; parked parts take part like any other.
[[nodiscard]] bool isPlacementFeasible(const PartList& parts, const Part& moving,
                                       const Sheet& sheet);

// The parts of a list that a moving part is tested against, found by the boxes of their outer
// loops. Parts whose boxes are apart are disjoint by the first test of partsDisjoint, so only
// parts whose boxes meet the moving part's need the exact test; leaving the others out cannot
// change a result. Placed parts sit in buckets of a grid over the sheet; the others, which lie
// where they were when the index was made, are passed over together while the moving part is away
// from the box around all of them. A placed part that moves again must be noted.
class PartIndex {
public:
    PartIndex(const PartList& parts, const Sheet& sheet);  // every part counts as not placed

    void markPlaced(const Part& part);  // part has reached its final pose
    // A placed part has moved: it is found where it now lies (and still where it lay).
    void notePlacedMoved(const Part& part);
    std::size_t placedCount() const { return placed_.size(); }

    // Calls visit(other) for each part other than moving whose box may meet moving's, until
    // visit returns false; returns false then.
    template <class Visit>
    bool forEachNear(const Part& moving, Visit visit) const;

    // Calls visit(part) for each part marked placed, in the order they were marked.
    template <class Visit>
    void forEachPlaced(Visit visit) const {
        for (const std::size_t id : placed_) visit(*parts_[id]);
    }

    const Loop& sheetRectangle() const { return sheetRectangle_; }
    const std::optional<Part>& outside() const { return outside_; }
    const std::vector<Part>& defects() const { return defects_; }

private:
    static std::size_t bucketOf(double v, double size, std::size_t count);
    struct BucketRange {
        std::size_t firstX, lastX, firstY, lastY;  // inclusive
    };
    BucketRange bucketsMeeting(const BoundingBox& box) const;  // box must be finite
    void addToBuckets(const Part& part, std::size_t id);

    Loop sheetRectangle_;
    std::optional<Part> outside_;  // the sheet's, copied: the index may outlive the sheet
    std::vector<Part> defects_;
    std::vector<const Part*> parts_;
    std::unordered_map<const Part*, std::size_t> ids_;
    std::vector<std::vector<std::size_t>> buckets_;
    std::size_t bucketsX_ = 1;  // buckets_ holds bucketsX_ x bucketsY_, X major
    std::size_t bucketsY_ = 1;
    double bucketWidth_ = 1;
    double bucketHeight_ = 1;
    std::vector<std::size_t> notPlaced_;    // finite boxes inside notPlacedBox_
    std::vector<std::size_t> notPlacedAt_;  // position in notPlaced_, by id
    BoundingBox notPlacedBox_;
    std::vector<std::size_t> unboxed_;  // boxes that are not finite: always tested
    std::vector<std::size_t> placed_;   // in the order they were marked
    mutable std::vector<unsigned> seen_;
    mutable unsigned stamp_ = 0;
};

// The same test as above with the other parts and the sheet taken from the index; with
// edgesClosed the part may also touch the sheet's left and top edges.
[[nodiscard]] bool isPlacementFeasible(const PartIndex& others, const Part& moving,
                                       bool edgesClosed = false);

// True when the outer loops of a and b do not overlap: their boxes are apart or within the
// tolerance on one axis, or no vertex of either lies in the other and no edges touch.
[[nodiscard]] bool partsDisjoint(const Part& a, const Part& b);

// True when some edge of a's outer loop touches or crosses some edge of b's.
[[nodiscard]] bool outerLoopsCross(const Part& a, const Part& b);

// True when some edge of loop a touches or crosses some edge of loop b.
[[nodiscard]] bool loopsCross(const Loop& a, const Loop& b);

// True when every vertex of the part's outer loop lies in the loop (edges are not tested).
[[nodiscard]] bool partInsideLoop(const Part& part, const Loop& loop);

namespace detail {
[[nodiscard]] bool boxesMeet(const BoundingBox& a, const BoundingBox& b);
[[nodiscard]] bool isFinite(const BoundingBox& box);
}  // namespace detail

template <class Visit>
bool PartIndex::forEachNear(const Part& moving, Visit visit) const {
    const BoundingBox& box = moving.outerLoop().bounds();
    const bool finite = detail::isFinite(box);
    auto consider = [&](std::size_t id) {
        const Part* other = parts_[id];
        if (other == &moving || seen_[id] == stamp_) return true;
        seen_[id] = stamp_;
        if (finite && !detail::boxesMeet(box, other->outerLoop().bounds())) {
            return true;
        }
        return static_cast<bool>(visit(*other));
    };
    if (++stamp_ == 0) {
        std::fill(seen_.begin(), seen_.end(), 0U);
        stamp_ = 1;
    }
    for (std::size_t id : unboxed_) {
        if (!consider(id)) return false;
    }
    if (!finite) {
        for (std::size_t id = 0; id < parts_.size(); ++id) {
            if (!consider(id)) return false;
        }
        return true;
    }
    if (detail::boxesMeet(box, notPlacedBox_)) {
        for (std::size_t id : notPlaced_) {
            if (!consider(id)) return false;
        }
    }
    const BucketRange range = bucketsMeeting(box);
    for (std::size_t bx = range.firstX; bx <= range.lastX; ++bx) {
        for (std::size_t by = range.firstY; by <= range.lastY; ++by) {
            for (std::size_t id : buckets_[bx * bucketsY_ + by]) {
                if (!consider(id)) return false;
            }
        }
    }
    return true;
}

}  // namespace blocknest
