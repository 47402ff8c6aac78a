#include "input/dxf_repeats.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "geometry/predicates.hpp"

namespace blocknest {
namespace {

// Point-to-outline checks above this many point-edge pairs fall back to matching corners.
constexpr std::size_t kMaxCoverageWork = 1 << 20;
// Outlines compared with one outline at most: many distinct outlines in one box are no repeats
// of each other, and comparing them all would take time quadratic in their number.
constexpr int kMaxCandidates = 32;

// The corners of a and b match one to one within d, b read from its start or backwards, and,
// when closed, from any of its corners.
bool cornersMatch(const OutlineView& a, const OutlineView& b, double d) {
    const std::vector<Vertex>& p = *a.points;
    const std::vector<Vertex>& q = *b.points;
    const std::size_t n = p.size();
    if (q.size() != n) return false;
    const auto matches = [&](std::size_t shift, bool backwards) {
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t j = backwards ? (shift + n - i) % n : (shift + i) % n;
            if (distance(p[i], q[j]) > d) return false;
        }
        return true;
    };
    if (!a.closed) return matches(0, false) || matches(n - 1, true);
    for (std::size_t shift = 0; shift < n; ++shift) {
        if (distance(p[0], q[shift]) > d) continue;
        if (matches(shift, false) || matches(shift, true)) return true;
    }
    return false;
}

// Every corner and edge middle of a lies within d of b's outline.
bool coveredBy(const OutlineView& a, const OutlineView& b, double d) {
    const std::vector<Vertex>& p = *a.points;
    const std::vector<Vertex>& q = *b.points;
    const std::size_t edges = b.closed ? q.size() : q.size() - 1;
    const auto near = [&](const Vertex& v) {
        if (edges == 0) return distance(v, q.front()) <= d;
        for (std::size_t k = 0; k < edges; ++k)
            if (distanceToSegment(v, q[k], q[(k + 1) % q.size()]) <= d) return true;
        return false;
    };
    const std::size_t pEdges = a.closed ? p.size() : p.size() - 1;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (!near(p[i])) return false;
        if (i < pEdges) {
            const Vertex& r = p[(i + 1) % p.size()];
            if (!near(Vertex{(p[i].x + r.x) / 2, (p[i].y + r.y) / 2})) return false;
        }
    }
    return true;
}

bool repeats(const OutlineView& a, const OutlineView& b, double d) {
    if (a.closed != b.closed) return false;
    if (cornersMatch(a, b, d)) return true;
    if (a.points->size() * b.points->size() > kMaxCoverageWork) return false;
    return coveredBy(a, b, d) && coveredBy(b, a, d);
}

std::int64_t cellOf(double value, double cell) {
    return static_cast<std::int64_t>(std::clamp(std::floor(value / cell), -1e15, 1e15));
}

std::uint64_t keyOf(std::int64_t ix, std::int64_t iy) {
    const auto x = static_cast<std::uint64_t>(ix), y = static_cast<std::uint64_t>(iy);
    return x * 0x9E3779B97F4A7C15ULL ^ (y + 0x632BE59BD9B4E019ULL + (x << 6) + (x >> 2));
}

}  // namespace

std::vector<std::size_t> findRepeats(const std::vector<OutlineView>& outlines, double within) {
    std::vector<std::size_t> repeatOf(outlines.size(), kNoRepeat);
    // Repeats have their boxes' lower left corners within `within`: cells twice that size,
    // and the 3 x 3 cells about a corner. Never finer than a 2^-40th of the drawing's extent:
    // below what the coordinates resolve, the clamped cell numbers would put every corner in
    // one cell and every pair would be compared.
    std::vector<BoundingBox> boxes(outlines.size());
    double extent = 0;
    for (std::size_t i = 0; i < outlines.size(); ++i) {
        if (outlines[i].points->empty()) continue;
        boxes[i] = boundsOf(*outlines[i].points);
        extent = std::max({extent, std::fabs(boxes[i].minX), std::fabs(boxes[i].minY)});
    }
    double cell = std::max(2 * within, std::ldexp(extent, -40));
    if (!(cell > 0) || !std::isfinite(cell)) cell = 1;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> byCorner;
    for (std::size_t i = 0; i < outlines.size(); ++i) {
        if (outlines[i].points->empty()) continue;
        const BoundingBox& box = boxes[i];
        const std::int64_t cx = cellOf(box.minX, cell), cy = cellOf(box.minY, cell);
        bool found = false;
        int compared = 0;
        for (std::int64_t dx = -1; dx <= 1 && !found; ++dx) {
            for (std::int64_t dy = -1; dy <= 1 && !found; ++dy) {
                const auto at = byCorner.find(keyOf(cx + dx, cy + dy));
                if (at == byCorner.end()) continue;
                for (const std::size_t j : at->second) {
                    const BoundingBox& other = boxes[j];
                    if (std::fabs(other.minX - box.minX) > within ||
                        std::fabs(other.maxX - box.maxX) > within ||
                        std::fabs(other.minY - box.minY) > within ||
                        std::fabs(other.maxY - box.maxY) > within)
                        continue;
                    if (++compared > kMaxCandidates) break;
                    if (repeats(outlines[i], outlines[j], within)) {
                        repeatOf[i] = j;
                        found = true;
                        break;
                    }
                }
            }
        }
        if (!found) byCorner[keyOf(cx, cy)].push_back(i);
    }
    return repeatOf;
}

}  // namespace blocknest
