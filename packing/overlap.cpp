#include "packing/overlap.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "geometry/predicates.hpp"

namespace blocknest {

namespace {

// Whether some vertex of from lies in loop, by pointInLoop. Beyond a few vertices each, the
// loop's edges are indexed by y first, so that a vertex costs the edges at its height.
bool anyVertexInLoop(const Loop& from, const Loop& loop) {
    constexpr std::size_t kDirectTests = 4096;
    const std::vector<Vertex>& vertices = from.vertices();
    if (vertices.size() * static_cast<std::size_t>(loop.vertexCount()) <= kDirectTests) {
        for (const Vertex& v : vertices) {
            if (pointInLoop(v, loop)) return true;
        }
        return false;
    }
    const LoopPointTest test(loop);
    for (const Vertex& v : vertices) {
        if (test.contains(v)) return true;
    }
    return false;
}

}  // namespace

bool partsDisjoint(const Part& a, const Part& b) {
    const BoundingBox& p = a.outerLoop().bounds();
    const BoundingBox& q = b.outerLoop().bounds();
    if (p.minX > q.maxX || std::fabs(p.minX - q.maxX) < kBoxTolerance) return true;
    if (p.maxX < q.minX || std::fabs(p.maxX - q.minX) < kBoxTolerance) return true;
    if (p.minY > q.maxY || std::fabs(p.minY - q.maxY) < kBoxTolerance) return true;
    if (q.minY > p.maxY || std::fabs(p.maxY - q.minY) < kBoxTolerance) return true;
    if (anyVertexInLoop(a.outerLoop(), b.outerLoop())) return false;
    if (anyVertexInLoop(b.outerLoop(), a.outerLoop())) return false;
    return !outerLoopsCross(a, b);
}

namespace {

struct Edge {
    const Vertex* from;
    const Vertex* to;
};

// The edges of a loop whose boxes meet box. An edge whose box is apart from the box around
// all edges of the other loop is apart from each of them, so the first test of
// outerLoopsCross would skip all its pairs.
std::vector<Edge> edgesNear(const Loop& loop, const BoundingBox& box) {
    std::vector<Edge> edges;
    const std::vector<Vertex>& v = loop.vertices();
    for (std::size_t i = 0; i < v.size(); ++i) {
        const Vertex& p = v[i];
        const Vertex& q = v[i + 1 == v.size() ? 0 : i + 1];
        if (box.minX > std::max(p.x, q.x) || box.maxX < std::min(p.x, q.x) ||
            box.minY > std::max(p.y, q.y) || box.maxY < std::min(p.y, q.y)) {
            continue;
        }
        edges.push_back({&p, &q});
    }
    return edges;
}

}  // namespace

bool outerLoopsCross(const Part& a, const Part& b) {
    return loopsCross(a.outerLoop(), b.outerLoop());
}

bool loopsCross(const Loop& outerA, const Loop& outerB) {
    if (outerA.vertexCount() == 0 || outerB.vertexCount() == 0) return false;
    // Boxes made from the vertices themselves, whatever the stored ones say.
    const std::vector<Edge> edgesA = edgesNear(outerA, boundsOf(outerB.vertices()));
    const std::vector<Edge> edgesB = edgesNear(outerB, boundsOf(outerA.vertices()));
    for (const Edge& ea : edgesA) {
        const Vertex& p = *ea.from;
        const Vertex& q = *ea.to;
        for (const Edge& eb : edgesB) {
            const Vertex& r = *eb.from;
            const Vertex& s = *eb.to;
            if (std::min(r.x, s.x) > std::max(p.x, q.x) ||
                std::max(r.x, s.x) < std::min(p.x, q.x) ||
                std::min(r.y, s.y) > std::max(p.y, q.y) ||
                std::max(r.y, s.y) < std::min(p.y, q.y)) {
                continue;
            }
            const double c1 = (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
            const double c2 = (q.x - p.x) * (s.y - p.y) - (q.y - p.y) * (s.x - p.x);
            // A product of exactly 0 (touching, collinear) does not skip; one that is not a
            // number does.
            if (!(c1 * c2 <= 0)) continue;
            const double d1 = (s.x - r.x) * (p.y - r.y) - (s.y - r.y) * (p.x - r.x);
            const double d2 = (s.x - r.x) * (q.y - r.y) - (s.y - r.y) * (q.x - r.x);
            if (!(d1 * d2 <= 0)) continue;
            return true;
        }
    }
    return false;
}

bool partInsideLoop(const Part& part, const Loop& loop) {
    for (const Vertex& v : part.outerLoop().vertices()) {
        if (!pointInLoop(v, loop)) return false;
    }
    return true;
}

namespace detail {

bool boxesMeet(const BoundingBox& a, const BoundingBox& b) {
    return !(a.minX > b.maxX || a.maxX < b.minX || a.minY > b.maxY || a.maxY < b.minY);
}

bool isFinite(const BoundingBox& box) {
    return std::isfinite(box.minX) && std::isfinite(box.maxX) && std::isfinite(box.minY) &&
           std::isfinite(box.maxY);
}

}  // namespace detail

namespace {

constexpr std::size_t kMaxBuckets = 1 << 18;

Loop makeSheetRectangle(const Sheet& sheet) {
    Loop rectangle;
    rectangle.setVertices(
        {{0, 0}, {sheet.length, 0}, {sheet.length, sheet.width}, {0, sheet.width}});
    return rectangle;
}

// A part whose vertices lie in a hole but whose edges cross the hole's is not in the hole: a
// concave hole's corner, or a thin spike of it, reaches between the part's vertices.
bool inHoleOf(const Part& inner, const Part& outer) {
    return std::any_of(outer.innerLoops().begin(), outer.innerLoops().end(), [&](const Loop& hole) {
        return partInsideLoop(inner, hole) && !loopsCross(inner.outerLoop(), hole);
    });
}

// The pose of moving clashes with other: their outlines overlap and neither lies in a hole of
// the other.
bool clash(const Part& moving, const Part& other) {
    return !partsDisjoint(moving, other) && !inHoleOf(other, moving) && !inHoleOf(moving, other);
}

// The pose of moving overlaps none of the sheet's fixed shapes.
bool clearOfObstacles(const Part& moving, const std::optional<Part>& outside,
                      const std::vector<Part>& defects) {
    if (outside && clash(moving, *outside)) return false;
    return std::none_of(defects.begin(), defects.end(),
                        [&](const Part& defect) { return clash(moving, defect); });
}

// By the point-containment rule, so that the left and top edges are outside; with
// edgesClosed, within the closed rectangle, so that a part as wide as the sheet lies on it. A
// coordinate that is not a number lies nowhere.
bool verticesOnSheet(const Part& moving, const Loop& sheetRectangle, bool edgesClosed) {
    const BoundingBox& sheet = sheetRectangle.bounds();
    for (const Vertex& v : moving.outerLoop().vertices()) {
        if (edgesClosed ? !(v.x >= sheet.minX && v.x <= sheet.maxX && v.y >= sheet.minY &&
                            v.y <= sheet.maxY)
                        : !pointInLoop(v, sheetRectangle)) {
            return false;
        }
    }
    return true;
}

void growBox(BoundingBox& box, const BoundingBox& by) {
    box.minX = std::min(box.minX, by.minX);
    box.maxX = std::max(box.maxX, by.maxX);
    box.minY = std::min(box.minY, by.minY);
    box.maxY = std::max(box.maxY, by.maxY);
}

}  // namespace

PartIndex::PartIndex(const PartList& parts, const Sheet& sheet)
    : sheetRectangle_(makeSheetRectangle(sheet)), outside_(sheet.outside), defects_(sheet.defects) {
    const double length = std::isfinite(sheet.length) && sheet.length > 0 ? sheet.length : 1;
    const double block = std::isfinite(sheet.blockSideLength) && sheet.blockSideLength > 0
                             ? sheet.blockSideLength
                             : length;
    const double width = std::isfinite(sheet.width) && sheet.width > 0 ? sheet.width : 1;
    // Buckets about 16 blocks square; fewer, and as square as can be, when that is too many.
    double wantedX = std::clamp(std::ceil(length / (16 * block)), 1.0, double{kMaxBuckets});
    double wantedY = std::clamp(std::ceil(width / (16 * block)), 1.0, double{kMaxBuckets});
    if (wantedX * wantedY > double{kMaxBuckets}) {
        const double shrink = std::sqrt(double{kMaxBuckets} / (wantedX * wantedY));
        wantedX = std::max(1.0, std::floor(wantedX * shrink));
        wantedY = std::max(1.0, std::floor(wantedY * shrink));
    }
    bucketsX_ = static_cast<std::size_t>(wantedX);
    bucketsY_ = static_cast<std::size_t>(wantedY);
    buckets_.resize(bucketsX_ * bucketsY_);
    bucketWidth_ = length / static_cast<double>(bucketsX_);
    bucketHeight_ = width / static_cast<double>(bucketsY_);
    for (const Part& part : parts) {
        const std::size_t id = parts_.size();
        parts_.push_back(&part);
        ids_.emplace(&part, id);
        const BoundingBox& box = part.outerLoop().bounds();
        notPlacedAt_.push_back(notPlaced_.size());
        if (!detail::isFinite(box)) {
            unboxed_.push_back(id);
            continue;
        }
        if (notPlaced_.empty()) notPlacedBox_ = box;
        growBox(notPlacedBox_, box);
        notPlaced_.push_back(id);
    }
    seen_.assign(parts_.size(), 0U);
}

std::size_t PartIndex::bucketOf(double v, double size, std::size_t count) {
    const double b = std::floor(v / size);
    if (!(b > 0)) return 0;
    if (b >= static_cast<double>(count - 1)) return count - 1;
    return static_cast<std::size_t>(b);
}

PartIndex::BucketRange PartIndex::bucketsMeeting(const BoundingBox& box) const {
    return {
        bucketOf(box.minX, bucketWidth_, bucketsX_), bucketOf(box.maxX, bucketWidth_, bucketsX_),
        bucketOf(box.minY, bucketHeight_, bucketsY_), bucketOf(box.maxY, bucketHeight_, bucketsY_)};
}

void PartIndex::markPlaced(const Part& part) {
    const std::size_t id = ids_.at(&part);
    const std::size_t slot = notPlacedAt_[id];
    if (slot >= notPlaced_.size() || notPlaced_[slot] != id) return;  // unboxed, or placed
    // Out of the not-placed list; its slot goes to the list's last part.
    notPlaced_[slot] = notPlaced_.back();
    notPlacedAt_[notPlaced_.back()] = slot;
    notPlaced_.pop_back();
    placed_.push_back(id);
    addToBuckets(part, id);
}

void PartIndex::notePlacedMoved(const Part& part) { addToBuckets(part, ids_.at(&part)); }

void PartIndex::addToBuckets(const Part& part, std::size_t id) {
    const BoundingBox& box = part.outerLoop().bounds();
    if (!detail::isFinite(box)) {
        unboxed_.push_back(id);
        return;
    }
    const BucketRange range = bucketsMeeting(box);
    for (std::size_t bx = range.firstX; bx <= range.lastX; ++bx) {
        for (std::size_t by = range.firstY; by <= range.lastY; ++by) {
            std::vector<std::size_t>& bucket = buckets_[bx * bucketsY_ + by];
            if (bucket.empty() || bucket.back() != id) bucket.push_back(id);
        }
    }
}

bool isPlacementFeasible(const PartIndex& others, const Part& moving, bool edgesClosed) {
    if (!verticesOnSheet(moving, others.sheetRectangle(), edgesClosed)) return false;
    if (!clearOfObstacles(moving, others.outside(), others.defects())) return false;
    return others.forEachNear(moving, [&](const Part& other) { return !clash(moving, other); });
}

bool isPlacementFeasible(const PartList& parts, const Part& moving, const Sheet& sheet) {
    if (!verticesOnSheet(moving, makeSheetRectangle(sheet), false)) return false;
    if (!clearOfObstacles(moving, sheet.outside, sheet.defects)) return false;
    for (const Part& other : parts) {
        if (&other != &moving && clash(moving, other)) return false;
    }
    return true;
}

}  // namespace blocknest
