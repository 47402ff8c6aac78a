#include "input/dxf_crossings.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_set>
#include <utility>

namespace blocknest {
namespace {

double cross(const Vertex& o, const Vertex& a, const Vertex& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool onSegment(const Vertex& p, const Vertex& a, const Vertex& b) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
}

struct Edge {
    std::size_t contour;
    std::size_t index;  // from corner index to the next
};

}  // namespace

bool segmentsMeet(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d) {
    const double d1 = cross(c, d, a), d2 = cross(c, d, b);
    const double d3 = cross(a, b, c), d4 = cross(a, b, d);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return true;
    return (d1 == 0 && onSegment(a, c, d)) || (d2 == 0 && onSegment(b, c, d)) ||
           (d3 == 0 && onSegment(c, a, b)) || (d4 == 0 && onSegment(d, a, b));
}

namespace {

// Puts the edges of the contours into square cells twice the median edge length (a long
// edge into every cell along it), then hands each pair of edges that share a cell to visit (a
// pair in several cells comes several times) until visit returns true. The cells are kept as
// a sorted list of (cell, edge), so that only cells in use take memory. False when the cell
// entries or pairs would pass maxWork.
template <class Visit>
bool scanEdgePairs(const std::vector<const std::vector<Vertex>*>& contours, std::int64_t maxWork,
                   const Visit& visit) {
    std::vector<Edge> edges;
    std::vector<double> lengths;
    for (std::size_t c = 0; c < contours.size(); ++c) {
        const std::vector<Vertex>& pts = *contours[c];
        for (std::size_t i = 0; i < pts.size(); ++i) {
            const Vertex& a = pts[i];
            const Vertex& b = pts[(i + 1) % pts.size()];
            edges.push_back({c, i});
            lengths.push_back(std::hypot(b.x - a.x, b.y - a.y));
        }
    }
    if (edges.size() < 2) return true;
    if (static_cast<std::int64_t>(edges.size()) > maxWork) return false;
    std::nth_element(lengths.begin(), lengths.begin() + lengths.size() / 2, lengths.end());
    const double cell = 2 * lengths[lengths.size() / 2];
    std::vector<std::pair<std::uint64_t, std::uint32_t>> entries;
    entries.reserve(edges.size() * 2);
    const auto index = [&](double value) {
        return static_cast<std::int64_t>(std::clamp(std::floor(value / cell), -1e15, 1e15));
    };
    const auto key = [](std::int64_t x, std::int64_t y) {
        return static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ULL ^
               (static_cast<std::uint64_t>(y) + 0x632BE59BD9B4E019ULL);
    };
    for (std::size_t e = 0; e < edges.size(); ++e) {
        const std::vector<Vertex>& pts = *contours[edges[e].contour];
        const Vertex& a = pts[edges[e].index];
        const Vertex& b = pts[(edges[e].index + 1) % pts.size()];
        if (!(cell > 0) || !std::isfinite(cell)) {
            entries.emplace_back(0, static_cast<std::uint32_t>(e));  // one cell for all
            continue;
        }
        // A long edge goes into the cells along it, a cell's length at a time.
        const double steps = std::ceil(std::hypot(b.x - a.x, b.y - a.y) / cell);
        if (!(steps < static_cast<double>(maxWork))) return false;
        const int count = std::max(1, static_cast<int>(steps));
        for (int s = 0; s < count; ++s) {
            const double t0 = double(s) / count, t1 = double(s + 1) / count;
            const double x0 = a.x + (b.x - a.x) * t0, x1 = a.x + (b.x - a.x) * t1;
            const double y0 = a.y + (b.y - a.y) * t0, y1 = a.y + (b.y - a.y) * t1;
            for (std::int64_t cx = index(std::min(x0, x1)); cx <= index(std::max(x0, x1)); ++cx) {
                for (std::int64_t cy = index(std::min(y0, y1)); cy <= index(std::max(y0, y1));
                     ++cy) {
                    entries.emplace_back(key(cx, cy), static_cast<std::uint32_t>(e));
                    if (static_cast<std::int64_t>(entries.size()) > maxWork) return false;
                }
            }
        }
    }
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    std::int64_t work = static_cast<std::int64_t>(entries.size());
    for (std::size_t first = 0; first < entries.size();) {
        std::size_t last = first;
        while (last < entries.size() && entries[last].first == entries[first].first) ++last;
        for (std::size_t p = first; p < last; ++p) {
            for (std::size_t q = p + 1; q < last; ++q) {
                if (++work > maxWork) return false;
                if (visit(edges[entries[p].second], edges[entries[q].second])) return true;
            }
        }
        first = last;
    }
    return true;
}

const Vertex& startOf(const std::vector<const std::vector<Vertex>*>& contours, const Edge& e) {
    return (*contours[e.contour])[e.index];
}

const Vertex& endOf(const std::vector<const std::vector<Vertex>*>& contours, const Edge& e) {
    const std::vector<Vertex>& pts = *contours[e.contour];
    return pts[(e.index + 1) % pts.size()];
}

}  // namespace

ContactSearch findContacts(const std::vector<const std::vector<Vertex>*>& contours,
                           std::int64_t maxWork) {
    ContactSearch search;
    if (contours.size() < 2) return search;
    std::unordered_set<std::uint64_t> seen;
    search.complete = scanEdgePairs(contours, maxWork, [&](const Edge& ep, const Edge& eq) {
        if (ep.contour == eq.contour) return false;
        const std::size_t first = std::min(ep.contour, eq.contour);
        const std::size_t second = std::max(ep.contour, eq.contour);
        const std::uint64_t key = static_cast<std::uint64_t>(first) * contours.size() + second;
        if (seen.count(key) != 0) return false;
        if (!segmentsMeet(startOf(contours, ep), endOf(contours, ep), startOf(contours, eq),
                          endOf(contours, eq)))
            return false;
        seen.insert(key);
        const Vertex& near = ep.contour == first ? startOf(contours, ep) : startOf(contours, eq);
        search.contacts.push_back({first, second, near});
        return false;
    });
    std::sort(search.contacts.begin(), search.contacts.end(),
              [](const ContourContact& x, const ContourContact& y) {
                  return x.first < y.first || (x.first == y.first && x.second < y.second);
              });
    return search;
}

SelfContact findSelfContact(const std::vector<Vertex>& v, std::int64_t maxWork) {
    SelfContact found;
    const std::size_t n = v.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Vertex& a = v[i];
        const Vertex& b = v[(i + 1) % n];
        const Vertex& c = v[(i + 2) % n];
        const double dot = (b.x - a.x) * (c.x - b.x) + (b.y - a.y) * (c.y - b.y);
        if (cross(a, b, c) == 0 && dot < 0) {
            found.edges = std::pair{i, (i + 1) % n};
            return found;
        }
    }
    const std::vector<const std::vector<Vertex>*> one{&v};
    found.complete = scanEdgePairs(one, maxWork, [&](const Edge& ep, const Edge& eq) {
        const std::size_t i = std::min(ep.index, eq.index), j = std::max(ep.index, eq.index);
        if (i + 1 == j || (j + 1) % n == i) return false;
        if (!segmentsMeet(v[i], v[(i + 1) % n], v[j], v[(j + 1) % n])) return false;
        found.edges = std::pair{i, j};
        return true;
    });
    return found;
}

}  // namespace blocknest
