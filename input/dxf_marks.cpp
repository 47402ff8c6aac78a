#include "input/dxf_marks.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>

#include "geometry/predicates.hpp"

namespace blocknest {
namespace {

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool boxesMeet(const BoundingBox& a, const BoundingBox& b, double reach) {
    return a.minX <= b.maxX + reach && b.minX <= a.maxX + reach && a.minY <= b.maxY + reach &&
           b.minY <= a.maxY + reach;
}

double cross(const Vertex& o, const Vertex& a, const Vertex& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// The open segments a-b and c-d cross at a point inside both.
bool segmentsCross(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d) {
    const double d1 = cross(a, b, c), d2 = cross(a, b, d);
    const double d3 = cross(c, d, a), d4 = cross(c, d, b);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

double distanceToEdges(const Vertex& p, const std::vector<Vertex>& v) {
    double nearest = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++)
        nearest = std::min(nearest, distanceToSegment(p, v[j], v[i]));
    return nearest;
}

// The line meets the contour: a corner of it within tol of the contour's edges, or an edge of
// it across one of the contour's.
bool meets(const std::vector<Vertex>& line, const std::vector<Vertex>& v, double tol) {
    for (const Vertex& p : line)
        if (distanceToEdges(p, v) <= tol) return true;
    for (std::size_t s = 0; s + 1 < line.size(); ++s)
        for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++)
            if (segmentsCross(line[s], line[s + 1], v[j], v[i])) return true;
    return false;
}

// The line's corners and the middles of its edges.
std::vector<Vertex> samplesOf(const std::vector<Vertex>& line) {
    std::vector<Vertex> samples = line;
    for (std::size_t s = 0; s + 1 < line.size(); ++s)
        samples.push_back(Vertex{(line[s].x + line[s + 1].x) / 2, (line[s].y + line[s + 1].y) / 2});
    return samples;
}

// Some point of the line lies inside the loop, more than tol from its edges.
bool reachesInside(const std::vector<Vertex>& line, const Loop& loop, double tol) {
    for (const Vertex& p : samplesOf(line))
        if (pointInLoop(p, loop) && distanceToEdges(p, loop.vertices()) > tol) return true;
    return false;
}

// Corner-and-edge tests allowed for the whole search: past it, the rest of the lines are
// read as before, as outline pieces.
constexpr std::int64_t kMaxMarkWork = std::int64_t{1} << 28;

}  // namespace

std::vector<Piece> takeMarkLines(std::vector<Piece>& pieces, double tol,
                                 const std::string& source) {
    std::vector<std::string> layers(pieces.size());
    bool anyOpen = false;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        layers[i] = upper(pieces[i].layer);
        anyOpen = anyOpen || !pieces[i].closed;
    }
    if (!anyOpen || std::all_of(layers.begin(), layers.end(),
                                [&](const std::string& l) { return l == layers.front(); }))
        return {};
    // Each layer's pieces chained on their own, in copies: which contours each layer draws.
    std::map<std::string, std::vector<Piece>> byLayer;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        Piece copy;
        copy.points = pieces[i].points;
        copy.closed = pieces[i].closed;
        copy.label = pieces[i].label;
        byLayer[layers[i]].push_back(std::move(copy));
    }
    struct Drawn {
        Loop loop;
        std::string layer;
    };
    std::vector<Drawn> drawn;
    for (auto& [layer, group] : byLayer) {
        std::vector<std::string> unused;
        for (Contour& c : chainPieces(group, tol, source, unused)) {
            if (c.points.size() < 3) continue;
            Drawn d;
            d.loop.setVertices(std::move(c.points));
            d.layer = layer;
            drawn.push_back(std::move(d));
        }
    }
    std::vector<char> isMark(pieces.size(), 0);
    std::int64_t work = 0;
    for (std::size_t i = 0; i < pieces.size() && work <= kMaxMarkWork; ++i) {
        if (pieces[i].closed || pieces[i].points.size() < 2) continue;
        const BoundingBox box = boundsOf(pieces[i].points);
        for (const Drawn& d : drawn) {
            if (d.layer == layers[i] || !boxesMeet(box, d.loop.bounds(), tol)) continue;
            work +=
                static_cast<std::int64_t>(3 * pieces[i].points.size() * d.loop.vertices().size());
            if (meets(pieces[i].points, d.loop.vertices(), tol) &&
                reachesInside(pieces[i].points, d.loop, tol)) {
                isMark[i] = 1;
                break;
            }
        }
    }
    std::vector<Piece> marks;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (isMark[i]) {
            marks.push_back(std::move(pieces[i]));
            continue;
        }
        if (kept != i) pieces[kept] = std::move(pieces[i]);
        ++kept;
    }
    pieces.resize(kept);
    return marks;
}

std::vector<Piece> attachMarkLines(std::vector<Piece> marks, const PartList& parts,
                                   std::vector<PartCurves>& curves) {
    std::vector<const Part*> list;
    for (const Part& part : parts) list.push_back(&part);
    std::vector<Piece> loose;
    for (Piece& mark : marks) {
        const std::vector<Vertex> samples = samplesOf(mark.points);
        std::ptrdiff_t best = -1;
        for (std::size_t k = 0; k < list.size() && k < curves.size(); ++k) {
            const Loop& outer = list[k]->outerLoop();
            if (best >= 0 &&
                outer.area() >= list[static_cast<std::size_t>(best)]->outerLoop().area())
                continue;
            if (std::any_of(samples.begin(), samples.end(),
                            [&](const Vertex& p) { return pointInLoop(p, outer); }))
                best = static_cast<std::ptrdiff_t>(k);
        }
        if (best < 0) {
            loose.push_back(std::move(mark));
            continue;
        }
        curves[static_cast<std::size_t>(best)].marks.push_back(markPath(mark));
    }
    return loose;
}

CurveLoop markPath(const Piece& piece) {
    if (!piece.corners.empty()) return CurveLoop{piece.corners, piece.bulges};
    return CurveLoop{piece.points,
                     std::vector<double>(piece.points.empty() ? 0 : piece.points.size() - 1, 0)};
}

}  // namespace blocknest
