#include "input/dxf_frames.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "geometry/predicates.hpp"
#include "input/dxf_contours.hpp"

namespace blocknest {
namespace {

double areaOf(const std::vector<Vertex>& v) { return std::fabs(signedArea(v)); }

double widthOf(const BoundingBox& b) { return b.maxX - b.minX; }
double heightOf(const BoundingBox& b) { return b.maxY - b.minY; }

// A rectangle with sides along the axes, as frames are drawn: no arc, every corner on its
// box's edges and the area of its box.
bool axisRectangle(const Contour& c, double tol) {
    if (!c.corners.empty() || c.points.size() < 4) return false;
    const BoundingBox b = boundsOf(c.points);
    const double w = widthOf(b), h = heightOf(b);
    if (!(w > 2 * tol && h > 2 * tol)) return false;
    for (const Vertex& p : c.points) {
        const double off = std::min({std::fabs(p.x - b.minX), std::fabs(p.x - b.maxX),
                                     std::fabs(p.y - b.minY), std::fabs(p.y - b.maxY)});
        if (off > tol) return false;
    }
    return std::fabs(areaOf(c.points) - w * h) <= tol * 2 * (w + h);
}

bool near(double a, double b, double reach) { return std::fabs(a - b) <= reach; }

// The box touches two sides of the container's box that meet at a corner.
bool inCorner(const BoundingBox& t, const BoundingBox& c, double reach) {
    const bool side = near(t.minX, c.minX, reach) || near(t.maxX, c.maxX, reach);
    const bool end = near(t.minY, c.minY, reach) || near(t.maxY, c.maxY, reach);
    return side && end;
}

// Two boxes share some edge or overlap, within reach.
bool boxesMeet(const BoundingBox& a, const BoundingBox& b, double reach) {
    return a.minX <= b.maxX + reach && b.minX <= a.maxX + reach && a.minY <= b.maxY + reach &&
           b.minY <= a.maxY + reach;
}

bool sameLayer(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::optional<DrawingFrame> findFrame(const std::vector<Contour>& contours, double tol) {
    const std::size_t n = contours.size();
    if (n < 2) return std::nullopt;
    std::vector<BoundingBox> boxes(n);
    for (std::size_t i = 0; i < n; ++i) boxes[i] = boundsOf(contours[i].points);
    // Only a contour whose box holds every other box can enclose them: most drawings are
    // done with here, before the contours are nested.
    std::size_t widest = 0;
    for (std::size_t i = 1; i < n; ++i)
        if (widthOf(boxes[i]) * heightOf(boxes[i]) >
            widthOf(boxes[widest]) * heightOf(boxes[widest]))
            widest = i;
    const BoundingBox& w = boxes[widest];
    for (const BoundingBox& b : boxes) {
        if (b.minX < w.minX - tol || b.maxX > w.maxX + tol || b.minY < w.minY - tol ||
            b.maxY > w.maxY + tol)
            return std::nullopt;
    }
    const std::vector<std::ptrdiff_t> parent = contourParents(contours, tol);
    if (std::count(parent.begin(), parent.end(), -1) != 1) return std::nullopt;
    const auto root = static_cast<std::size_t>(
        std::find(parent.begin(), parent.end(), std::ptrdiff_t{-1}) - parent.begin());
    std::vector<std::vector<std::size_t>> kids(n);
    for (std::size_t i = 0; i < n; ++i)
        if (parent[i] >= 0) kids[static_cast<std::size_t>(parent[i])].push_back(i);
    const auto within = [&](std::size_t i, std::size_t outer) {
        for (std::ptrdiff_t at = parent[i]; at >= 0; at = parent[static_cast<std::size_t>(at)])
            if (static_cast<std::size_t>(at) == outer) return true;
        return false;
    };
    const BoundingBox& outer = boxes[root];
    const double reach = std::max(2 * tol, 1e-4 * std::hypot(widthOf(outer), heightOf(outer)));

    DrawingFrame frame;
    std::vector<char> member(n, 0);
    member[root] = 1;
    std::size_t container = root;
    bool doubled = false;
    bool titled = false;
    if (axisRectangle(contours[root], tol)) {
        const double band = 0.15 * std::min(widthOf(outer), heightOf(outer));
        for (const std::size_t k : kids[root]) {
            if (!axisRectangle(contours[k], tol)) continue;
            const BoundingBox& b = boxes[k];
            const double gaps[] = {b.minX - outer.minX, outer.maxX - b.maxX, b.minY - outer.minY,
                                   outer.maxY - b.maxY};
            if (!std::all_of(std::begin(gaps), std::end(gaps),
                             [&](double g) { return g > tol && g <= band; }))
                continue;
            bool enclosesRest = true;
            for (std::size_t j = 0; j < n && enclosesRest; ++j)
                enclosesRest = j == root || j == k || within(j, k);
            if (!enclosesRest) continue;
            doubled = true;
            container = k;
            member[k] = 1;
            break;
        }
        // A title block: a rectangle in a corner of the border, with whatever rectangles
        // meet it (its cells when drawn one by one).
        const BoundingBox& c = boxes[container];
        for (const std::size_t k : kids[container]) {
            if (!axisRectangle(contours[k], tol) || !inCorner(boxes[k], c, reach) ||
                areaOf(contours[k].points) > 0.5 * widthOf(c) * heightOf(c))
                continue;
            member[k] = 1;
            frame.titleBoxes.push_back(boxes[k]);
            titled = true;
            break;
        }
        for (bool grew = titled; grew;) {
            grew = false;
            for (const std::size_t k : kids[container]) {
                if (member[k] || !axisRectangle(contours[k], tol)) continue;
                const bool meets = std::any_of(
                    frame.titleBoxes.begin(), frame.titleBoxes.end(),
                    [&](const BoundingBox& t) { return boxesMeet(boxes[k], t, reach); });
                if (!meets) continue;
                member[k] = 1;
                frame.titleBoxes.push_back(boxes[k]);
                grew = true;
            }
        }
        // What lies inside the title block is the frame's.
        for (std::size_t j = 0; j < n; ++j) {
            if (member[j]) continue;
            for (std::ptrdiff_t at = parent[j]; at >= 0; at = parent[static_cast<std::size_t>(at)])
                if (member[static_cast<std::size_t>(at)] && static_cast<std::size_t>(at) != root &&
                    static_cast<std::size_t>(at) != container) {
                    member[j] = 1;
                    break;
                }
        }
        // Nothing beside the border and title block: a plate with a rectangular hole, or a
        // rectangular ring, not a frame.
        const bool content = std::any_of(kids[container].begin(), kids[container].end(),
                                         [&](std::size_t k) { return !member[k]; });
        if (!content) {
            doubled = false;
            titled = false;
        }
    }
    if (doubled || titled) {
        frame.kind = doubled && titled ? "a double border with a title block"
                     : doubled         ? "a double border"
                                       : "a border with a title block";
    } else {
        // A contour far larger than what it holds, on a layer no other contour is on, with
        // parts inside that have holes of their own: a frame of any shape, not a plate.
        std::fill(member.begin(), member.end(), 0);
        member[root] = 1;
        container = root;
        frame.titleBoxes.clear();
        double inside = 0;
        bool partsWithHoles = false;
        for (const std::size_t k : kids[root]) {
            inside += areaOf(contours[k].points);
            partsWithHoles = partsWithHoles || !kids[k].empty();
        }
        bool ownLayer = true;
        for (std::size_t j = 0; j < n && ownLayer; ++j)
            ownLayer = j == root || !sameLayer(contours[j].layer, contours[root].layer);
        if (!ownLayer || !partsWithHoles || areaOf(contours[root].points) < 4 * inside)
            return std::nullopt;
        frame.kind = "a contour four times the area of what lies directly inside it";
    }
    frame.inner = boxes[container];
    for (std::size_t j = 0; j < n; ++j)
        if (member[j]) frame.contours.push_back(j);
    return frame;
}

bool frameHolds(const DrawingFrame& frame, const std::vector<Vertex>& points, double tol) {
    const BoundingBox& in = frame.inner;
    return !points.empty() && std::all_of(points.begin(), points.end(), [&](const Vertex& p) {
        const bool onBorder = p.x <= in.minX + tol || p.x >= in.maxX - tol ||
                              p.y <= in.minY + tol || p.y >= in.maxY - tol;
        return onBorder || std::any_of(frame.titleBoxes.begin(), frame.titleBoxes.end(),
                                       [&](const BoundingBox& t) {
                                           return t.minX - tol <= p.x && p.x <= t.maxX + tol &&
                                                  t.minY - tol <= p.y && p.y <= t.maxY + tol;
                                       });
    });
}

}  // namespace blocknest
