#include "input/dxf_crossings.hpp"

#include <algorithm>
#include <cmath>
#include <unordered_set>

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

ContactSearch findContacts(const std::vector<const std::vector<Vertex>*>& contours,
                           std::int64_t maxWork) {
    ContactSearch search;
    std::vector<Edge> edges;
    BoundingBox extent{1, -1, 1, -1};
    for (std::size_t c = 0; c < contours.size(); ++c) {
        for (std::size_t i = 0; i < contours[c]->size(); ++i) {
            const Vertex& p = (*contours[c])[i];
            if (extent.minX > extent.maxX) extent = {p.x, p.x, p.y, p.y};
            extent = {std::min(extent.minX, p.x), std::max(extent.maxX, p.x),
                      std::min(extent.minY, p.y), std::max(extent.maxY, p.y)};
            edges.push_back({c, i});
        }
    }
    if (contours.size() < 2 || edges.empty()) return search;
    const double span = std::max(extent.maxX - extent.minX, extent.maxY - extent.minY);
    const int side =
        std::clamp(static_cast<int>(std::ceil(std::sqrt(double(edges.size())))), 1, 2048);
    const double cell = span / side;
    if (!(cell > 0) || !std::isfinite(cell)) return search;
    const auto index = [&](double value, double low) {
        return static_cast<int>(std::clamp(std::floor((value - low) / cell), 0.0, side - 1.0));
    };
    std::vector<std::vector<std::uint32_t>> cells(static_cast<std::size_t>(side) * side);
    std::int64_t work = 0;
    for (std::size_t e = 0; e < edges.size(); ++e) {
        const std::vector<Vertex>& pts = *contours[edges[e].contour];
        const Vertex& a = pts[edges[e].index];
        const Vertex& b = pts[(edges[e].index + 1) % pts.size()];
        // A long edge goes into the cells along it, a cell's length at a time.
        const int steps =
            std::max(1, static_cast<int>(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / cell)));
        std::size_t last = cells.size();
        for (int s = 0; s < steps; ++s) {
            const double t0 = double(s) / steps, t1 = double(s + 1) / steps;
            const double x0 = a.x + (b.x - a.x) * t0, x1 = a.x + (b.x - a.x) * t1;
            const double y0 = a.y + (b.y - a.y) * t0, y1 = a.y + (b.y - a.y) * t1;
            for (int cx = index(std::min(x0, x1), extent.minX);
                 cx <= index(std::max(x0, x1), extent.minX); ++cx) {
                for (int cy = index(std::min(y0, y1), extent.minY);
                     cy <= index(std::max(y0, y1), extent.minY); ++cy) {
                    const std::size_t k = static_cast<std::size_t>(cx) * side + cy;
                    if (k == last || (!cells[k].empty() && cells[k].back() == e)) continue;
                    last = k;
                    cells[k].push_back(static_cast<std::uint32_t>(e));
                    if (++work > maxWork) {
                        search.complete = false;
                        return search;
                    }
                }
            }
        }
    }
    std::unordered_set<std::uint64_t> seen;
    for (const std::vector<std::uint32_t>& inCell : cells) {
        for (std::size_t p = 0; p < inCell.size(); ++p) {
            const Edge& ep = edges[inCell[p]];
            for (std::size_t q = p + 1; q < inCell.size(); ++q) {
                const Edge& eq = edges[inCell[q]];
                if (ep.contour == eq.contour) continue;
                if (++work > maxWork) {
                    search.complete = false;
                    return search;
                }
                const std::size_t first = std::min(ep.contour, eq.contour);
                const std::size_t second = std::max(ep.contour, eq.contour);
                const std::uint64_t key =
                    static_cast<std::uint64_t>(first) * contours.size() + second;
                if (seen.count(key) != 0) continue;
                const std::vector<Vertex>& pa = *contours[ep.contour];
                const std::vector<Vertex>& pb = *contours[eq.contour];
                const Vertex& a = pa[ep.index];
                if (!segmentsMeet(a, pa[(ep.index + 1) % pa.size()], pb[eq.index],
                                  pb[(eq.index + 1) % pb.size()]))
                    continue;
                seen.insert(key);
                const Vertex& near = ep.contour == first ? a : pb[eq.index];
                search.contacts.push_back({first, second, near});
            }
        }
    }
    std::sort(search.contacts.begin(), search.contacts.end(),
              [](const ContourContact& x, const ContourContact& y) {
                  return x.first < y.first || (x.first == y.first && x.second < y.second);
              });
    return search;
}

}  // namespace blocknest
