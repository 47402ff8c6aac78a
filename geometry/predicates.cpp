#include "geometry/predicates.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace blocknest {

namespace {

// Where the edge from a to b meets the line at height y; only for an edge with exactly one
// end strictly above the line. An end on the line counts as below it, so the general formula
// is reached only with one end strictly below.
double crossingAbscissa(const Vertex& a, const Vertex& b, double y) {
    if (a.y == y) return a.x;
    if (b.y == y) return b.x;
    if (a.x == b.x) return a.x;
    const double t1 = a.y * (b.x - a.x);
    const double t2 = (b.y - a.y) * a.x;
    return -((t1 - t2 + (a.x - b.x) * y) / (b.y - a.y));
}

// Crossing parity of the +X ray from p with the loop's edges, without the box test.
bool crossingCountIsOdd(const Vertex& p, const Loop& loop) {
    const std::vector<Vertex>& v = loop.vertices();
    const int n = loop.vertexCount();
    bool odd = false;
    for (int i = 0; i < n; ++i) {
        const Vertex& a = v[i];
        const Vertex& b = v[i + 1 == n ? 0 : i + 1];
        if ((a.y > p.y) == (b.y > p.y)) continue;
        if (p.x <= crossingAbscissa(a, b, p.y)) odd = !odd;
    }
    return odd;
}

}  // namespace

bool pointInLoop(const Vertex& p, const Loop& loop) {
    const BoundingBox& box = loop.bounds();
    if (p.x < box.minX || p.x > box.maxX || p.y < box.minY || p.y > box.maxY) return false;
    if (loop.vertexCount() < 1) return false;
    return crossingCountIsOdd(p, loop);
}

bool pointInPart(const Vertex& p, const Part& part) {
    if (!pointInLoop(p, part.outerLoop())) return false;
    for (const Loop& hole : part.innerLoops()) {
        if (pointInLoop(p, hole)) return false;
    }
    return true;
}

PartScanLine::PartScanLine(const Part& part) {
    loops_.push_back(&part.outerLoop());
    for (const Loop& hole : part.innerLoops()) loops_.push_back(&hole);
    lines_.resize(loops_.size());
    for (std::size_t i = 1; i < loops_.size(); ++i) {
        const BoundingBox& box = loops_[i]->bounds();
        (std::isnan(box.minY) || std::isnan(box.maxY) ? alwaysSpanning_ : holesByMinY_)
            .push_back(i);
    }
    std::stable_sort(holesByMinY_.begin(), holesByMinY_.end(), [&](std::size_t a, std::size_t b) {
        return loops_[a]->bounds().minY < loops_[b]->bounds().minY;
    });
    for (std::size_t i : holesByMinY_) minYs_.push_back(loops_[i]->bounds().minY);
    while (leafCount_ < holesByMinY_.size()) leafCount_ *= 2;
    maxYTree_.assign(2 * leafCount_, -std::numeric_limits<double>::infinity());
    for (std::size_t k = 0; k < holesByMinY_.size(); ++k) {
        maxYTree_[leafCount_ + k] = loops_[holesByMinY_[k]]->bounds().maxY;
    }
    for (std::size_t node = leafCount_; node-- > 1;) {
        maxYTree_[node] = std::max(maxYTree_[2 * node], maxYTree_[2 * node + 1]);
    }
}

PartScanLine::PartScanLine(const Part& part, double y) : PartScanLine(part) { moveTo(y); }

void PartScanLine::collectSpanning(std::size_t node, std::size_t lo, std::size_t hi,
                                   std::size_t count, double y) {
    if (lo >= count || maxYTree_[node] < y) return;
    if (node >= leafCount_) {
        spanning_.push_back(holesByMinY_[lo]);
        return;
    }
    const std::size_t mid = lo + (hi - lo) / 2;
    collectSpanning(2 * node, lo, mid, count, y);
    collectSpanning(2 * node + 1, mid, hi, count, y);
}

void PartScanLine::moveTo(double y) {
    lineThrough(*loops_.front(), y, lines_.front());
    spanning_ = alwaysSpanning_;
    if (std::isnan(y)) {
        // No comparison with such a line fails, so every hole spans it.
        spanning_.insert(spanning_.end(), holesByMinY_.begin(), holesByMinY_.end());
    } else if (!holesByMinY_.empty()) {
        // The holes starting at or below the line whose box reaches up to it.
        const std::size_t count = static_cast<std::size_t>(
            std::upper_bound(minYs_.begin(), minYs_.end(), y) - minYs_.begin());
        collectSpanning(1, 0, leafCount_, count, y);
    }
    for (std::size_t i : spanning_) lineThrough(*loops_[i], y, lines_[i]);
}

void PartScanLine::lineThrough(const Loop& loop, double y, LoopLine& line) {
    const BoundingBox& box = loop.bounds();
    line.reachable = loop.vertexCount() >= 1 && !(y < box.minY || y > box.maxY);
    line.minX = box.minX;
    line.maxX = box.maxX;
    line.crossings.clear();
    if (!line.reachable) return;
    const std::vector<Vertex>& v = loop.vertices();
    const std::size_t n = v.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Vertex& a = v[i];
        const Vertex& b = v[i + 1 == n ? 0 : i + 1];
        if ((a.y > y) == (b.y > y)) continue;
        const double xc = crossingAbscissa(a, b, y);
        if (!std::isnan(xc)) line.crossings.push_back(xc);
    }
    std::sort(line.crossings.begin(), line.crossings.end());
}

bool PartScanLine::inside(const LoopLine& line, double x) {
    if (!line.reachable || x < line.minX || x > line.maxX || std::isnan(x)) return false;
    // The crossings that count are those at or right of x.
    const auto first = std::lower_bound(line.crossings.begin(), line.crossings.end(), x);
    return (line.crossings.end() - first) % 2 == 1;
}

bool PartScanLine::contains(double x) const {
    if (!inside(lines_.front(), x)) return false;
    for (std::size_t i : spanning_) {
        if (inside(lines_[i], x)) return false;
    }
    return true;
}

void PartScanLine::containsEach(std::span<const double> xs, std::span<std::uint8_t> out) const {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    const LoopLine& outer = lines_.front();
    if (!outer.reachable) return;  // outside the outer loop everywhere
    // How many crossings lie left of x grows with x: one pass over both.
    std::size_t left = 0;
    for (std::size_t k = 0; k < xs.size(); ++k) {
        const double x = xs[k];
        while (left < outer.crossings.size() && outer.crossings[left] < x) ++left;
        out[k] = !(x < outer.minX || x > outer.maxX) && (outer.crossings.size() - left) % 2 == 1;
    }
    for (std::size_t i : spanning_) {
        const LoopLine& line = lines_[i];
        if (!line.reachable) continue;
        // Only the points within the hole's box can lie in it.
        std::size_t first = 0;
        std::size_t last = xs.size();
        if (!std::isnan(line.minX) && !std::isnan(line.maxX)) {
            first = static_cast<std::size_t>(std::lower_bound(xs.begin(), xs.end(), line.minX) -
                                             xs.begin());
            last = static_cast<std::size_t>(std::upper_bound(xs.begin(), xs.end(), line.maxX) -
                                            xs.begin());
        }
        left = 0;
        for (std::size_t k = first; k < last; ++k) {
            const double x = xs[k];
            while (left < line.crossings.size() && line.crossings[left] < x) ++left;
            if (!(x < line.minX || x > line.maxX) && (line.crossings.size() - left) % 2 == 1) {
                out[k] = 0;  // in a hole
            }
        }
    }
}

}  // namespace blocknest
