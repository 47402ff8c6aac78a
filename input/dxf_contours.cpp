#include "input/dxf_contours.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <utility>

#include "base/number_format.hpp"
#include "geometry/predicates.hpp"
#include "input/dxf_crossings.hpp"
#include "input/dxf_repeats.hpp"

namespace blocknest {
namespace {

// Within slack: a contour whose corners lie on a curve (a square inscribed in a circle) may
// reach past the curve's chords by up to the chord tolerance, more or less as the curve's
// chords happen to fall, which is as a block reference turns it.
bool boxInside(const BoundingBox& inner, const BoundingBox& outer, double slack) {
    return outer.minX - slack <= inner.minX && inner.maxX <= outer.maxX + slack &&
           outer.minY - slack <= inner.minY && inner.maxY <= outer.maxY + slack;
}

// The contours that may hold a given point: each contour is listed in the cells of a grid over
// the drawing that its box covers, or, when that is many cells, in one list every query sees.
class ContainerGrid {
public:
    explicit ContainerGrid(const std::vector<Loop>& loops) {
        if (loops.empty()) return;
        extent_ = loops.front().bounds();
        for (const Loop& loop : loops) {
            const BoundingBox& b = loop.bounds();
            extent_ = {std::min(extent_.minX, b.minX), std::max(extent_.maxX, b.maxX),
                       std::min(extent_.minY, b.minY), std::max(extent_.maxY, b.maxY)};
        }
        side_ = std::clamp(static_cast<int>(std::ceil(std::sqrt(double(loops.size())))), 1, 1024);
        cells_.resize(static_cast<std::size_t>(side_) * side_);
        for (std::size_t j = 0; j < loops.size(); ++j) {
            const BoundingBox& b = loops[j].bounds();
            const int c0 = column(b.minX), c1 = column(b.maxX);
            const int r0 = row(b.minY), r1 = row(b.maxY);
            if ((c1 - c0 + 1) * (r1 - r0 + 1) > kMaxCellsPerContour) {
                wide_.push_back(j);
                continue;
            }
            for (int c = c0; c <= c1; ++c)
                for (int r = r0; r <= r1; ++r) cells_[cell(c, r)].push_back(j);
        }
    }

    // Every contour whose box may hold p, some perhaps twice.
    std::vector<std::size_t> candidates(const Vertex& p) const {
        std::vector<std::size_t> found = wide_;
        const std::vector<std::size_t>& local = cells_[cell(column(p.x), row(p.y))];
        found.insert(found.end(), local.begin(), local.end());
        return found;
    }

private:
    static constexpr int kMaxCellsPerContour = 64;

    int index(double value, double low, double high) const {
        if (!(high > low)) return 0;
        const double at = std::floor((value - low) / (high - low) * side_);
        if (!std::isfinite(at)) return 0;
        return static_cast<int>(std::clamp(at, 0.0, static_cast<double>(side_ - 1)));
    }
    int column(double x) const { return index(x, extent_.minX, extent_.maxX); }
    int row(double y) const { return index(y, extent_.minY, extent_.maxY); }
    std::size_t cell(int c, int r) const { return static_cast<std::size_t>(c) * side_ + r; }

    BoundingBox extent_;
    int side_ = 1;
    std::vector<std::vector<std::size_t>> cells_{1};
    std::vector<std::size_t> wide_;
};

// Up to 64 corners and edge middles of an outline, spread along it.
std::vector<Vertex> samplesOf(const std::vector<Vertex>& v) {
    std::vector<Vertex> samples;
    const std::size_t step = std::max<std::size_t>(1, v.size() / 32);
    for (std::size_t i = 0; i < v.size(); i += step) {
        const Vertex& q = v[(i + 1) % v.size()];
        samples.push_back(v[i]);
        samples.push_back(Vertex{(v[i].x + q.x) / 2, (v[i].y + q.y) / 2});
    }
    return samples;
}

// Some point of one outline lies inside (or outside) a loop, farther than d from its edges.
bool reaches(const std::vector<Vertex>& from, const Loop& loop, double d, bool inside) {
    const std::vector<Vertex>& v = loop.vertices();
    for (const Vertex& p : samplesOf(from)) {
        if (pointInLoop(p, loop) != inside) continue;
        bool clear = true;
        for (std::size_t i = 0; i < v.size() && clear; ++i)
            clear = distanceToSegment(p, v[i], v[(i + 1) % v.size()]) > d;
        if (clear) return true;
    }
    return false;
}

// Which contour directly holds each one (-1: none) and how deep it lies: the smallest larger
// contour that holds most of its sample points.
struct Nesting {
    std::vector<std::ptrdiff_t> parent;
    std::vector<int> depth;
};

// slack: how far a contour's box may pass its container's (the chord tolerance).
Nesting nestLoops(const std::vector<Loop>& loops, double slack) {
    const std::size_t n = loops.size();
    std::vector<std::size_t> byArea(n);
    std::iota(byArea.begin(), byArea.end(), 0);
    std::stable_sort(byArea.begin(), byArea.end(), [&](std::size_t p, std::size_t q) {
        return loops[p].area() > loops[q].area();
    });
    std::vector<std::size_t> rank(n);
    for (std::size_t s = 0; s < n; ++s) rank[byArea[s]] = s;
    const ContainerGrid grid(loops);
    // A container's edges indexed by height once it is asked: many contours inside one of
    // many corners cost a search each, not a pass over its corners.
    std::vector<std::unique_ptr<LoopPointTest>> tests(n);
    const auto inside = [&](const Vertex& p, std::size_t j) {
        if (!tests[j]) tests[j] = std::make_unique<LoopPointTest>(loops[j]);
        return tests[j]->contains(p);
    };
    Nesting nesting{std::vector<std::ptrdiff_t>(n, -1), std::vector<int>(n, 0)};
    std::vector<std::ptrdiff_t>& parent = nesting.parent;
    std::vector<int>& depth = nesting.depth;
    for (std::size_t s = 0; s < n; ++s) {
        const std::size_t i = byArea[s];
        const std::vector<Vertex>& pts = loops[i].vertices();
        // Larger contours only, the smallest first: the first that holds most of a few sample
        // corners is the parent (corners on a shared boundary would otherwise decide alone).
        std::vector<std::size_t> candidates = grid.candidates(pts.front());
        std::erase_if(candidates, [&](std::size_t j) { return rank[j] >= s; });
        std::sort(candidates.begin(), candidates.end(),
                  [&](std::size_t p, std::size_t q) { return rank[p] > rank[q]; });
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        for (const std::size_t j : candidates) {
            if (!boxInside(loops[i].bounds(), loops[j].bounds(), slack)) continue;
            // Most corners or most edge middles: an outline whose corners touch its container
            // (a square in a circle) is still inside by its edges.
            int corners = 0, middles = 0;
            for (std::size_t k = 0; k < 5; ++k) {
                const std::size_t at = k * pts.size() / 5;
                const Vertex& next = pts[(at + 1) % pts.size()];
                corners += inside(pts[at], j) ? 1 : 0;
                middles +=
                    inside(Vertex{(pts[at].x + next.x) / 2, (pts[at].y + next.y) / 2}, j) ? 1 : 0;
            }
            if (corners >= 3 || middles >= 3) {
                parent[i] = static_cast<std::ptrdiff_t>(j);
                depth[i] = depth[j] + 1;
                break;
            }
        }
    }
    return nesting;
}

// Corners that repeat the one before go, with the bulge of the edge without length between
// them; a path left with fewer than two corners gives way to the chords.
void keepDistinctCorners(Contour& c) {
    std::vector<Vertex> corners;
    std::vector<double> bulges;
    const auto same = [](const Vertex& p, const Vertex& q) {
        const double eps = 1e-12 * (1 + std::fabs(p.x) + std::fabs(p.y));
        return std::fabs(p.x - q.x) <= eps && std::fabs(p.y - q.y) <= eps;
    };
    for (std::size_t i = 0; i < c.corners.size(); ++i) {
        if (!corners.empty() && same(corners.back(), c.corners[i])) {
            bulges.back() = c.bulges[i];
            continue;
        }
        corners.push_back(c.corners[i]);
        bulges.push_back(c.bulges[i]);
    }
    while (corners.size() > 1 && same(corners.front(), corners.back())) {
        corners.pop_back();
        bulges.pop_back();
    }
    const bool bends = std::any_of(bulges.begin(), bulges.end(), [](double b) { return b != 0; });
    if (corners.size() < 2 || !bends) {
        corners.clear();
        bulges.clear();
    }
    c.corners = std::move(corners);
    c.bulges = std::move(bulges);
}

// Edge cells and edge tests for the search for contours that meet.
constexpr std::int64_t kMaxContactWork = std::int64_t{1} << 26;

}  // namespace

std::vector<std::ptrdiff_t> contourParents(const std::vector<Contour>& contours, double slack) {
    std::vector<Loop> loops(contours.size());
    for (std::size_t i = 0; i < contours.size(); ++i) loops[i].setVertices(contours[i].points);
    return nestLoops(loops, slack).parent;
}

std::vector<Contour> keepSoundContours(std::vector<Contour> contours, const std::string& source,
                                       std::vector<std::string>& warnings) {
    std::vector<Contour> sound;
    for (Contour& c : contours) {
        std::vector<Vertex> pts;
        for (const Vertex& p : c.points) {
            const double eps = 1e-12 * (1 + std::fabs(p.x) + std::fabs(p.y));
            if (!pts.empty() && std::fabs(pts.back().x - p.x) <= eps &&
                std::fabs(pts.back().y - p.y) <= eps)
                continue;
            pts.push_back(p);
        }
        while (pts.size() > 1 &&
               distance(pts.front(), pts.back()) <=
                   1e-12 * (1 + std::fabs(pts.back().x) + std::fabs(pts.back().y)))
            pts.pop_back();
        const std::string what =
            source + ": the contour of " + describeLabels(c.labels) + " is left out: ";
        if (pts.size() < 3) {
            warnings.push_back(what + "it has no area (fewer than 3 distinct corners)");
            continue;
        }
        const BoundingBox box = boundsOf(pts);
        const double span = std::hypot(box.maxX - box.minX, box.maxY - box.minY);
        if (!std::isfinite(signedArea(pts)) || !std::isfinite(span)) {
            warnings.push_back(what + "its coordinates are too large to measure its area");
            continue;
        }
        if (std::fabs(signedArea(pts)) <= 1e-9 * span * span) {
            warnings.push_back(what + "it has no area");
            continue;
        }
        const SelfContact contact = findSelfContact(pts, kMaxContactWork);
        if (contact.edges) {
            warnings.push_back(what + "its outline crosses or touches itself near " +
                               formatPoint(pts[contact.edges->first]) + " and " +
                               formatPoint(pts[contact.edges->second]));
            continue;
        }
        if (!contact.complete) {
            warnings.push_back(source + ": the contour of " + describeLabels(c.labels) +
                               " has too many edges close together to check whether it crosses "
                               "itself; it is read as drawn");
        }
        c.points = std::move(pts);
        keepDistinctCorners(c);
        sound.push_back(std::move(c));
    }
    return sound;
}

AssembledParts assembleParts(const std::vector<Contour>& contours, const std::string& fallbackName,
                             double chordTolerance, int maxSegments,
                             const std::vector<DrawnText>& texts) {
    const std::size_t n = contours.size();
    std::vector<Loop> loops(n);
    for (std::size_t i = 0; i < n; ++i) loops[i].setVertices(contours[i].points);
    const Nesting nesting = nestLoops(loops, chordTolerance);
    const std::vector<std::ptrdiff_t>& parent = nesting.parent;
    const std::vector<int>& depth = nesting.depth;
    // Nested by their chords; packed by polygons that hold the material as drawn.
    AssembledParts assembled;
    std::vector<CurveLoop> drawn(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Contour& c = contours[i];
        if (c.corners.empty()) {
            drawn[i] = CurveLoop{c.points, std::vector<double>(c.points.size(), 0)};
            continue;
        }
        drawn[i] = CurveLoop{c.corners, c.bulges};
        std::vector<Vertex> bounding =
            boundingPolygon(drawn[i], depth[i] % 2 == 0, chordTolerance, maxSegments);
        // Tangents pushed out by up to the tolerance may reach an edge that close.
        if (findSelfContact(bounding, kMaxContactWork).edges) {
            assembled.packedByChords.push_back(i);
            continue;
        }
        loops[i].setVertices(std::move(bounding));
    }
    std::vector<LoopList> holes(n);
    std::vector<PartCurves> curves(n);
    std::vector<char> bends(n, 0);  // some contour of the part has an arc
    for (std::size_t k = 0; k < n; ++k) {
        if (!contours[k].corners.empty()) bends[k] = 1;
        if (parent[k] < 0) continue;
        const auto p = static_cast<std::size_t>(parent[k]);
        holes[p].pushBack(loops[k]);
        curves[p].holes.push_back(drawn[k]);
        if (!contours[k].corners.empty()) bends[p] = 1;
    }
    // A text names the one part whose outline holds it; one inside two (a part in another's
    // hole) names neither.
    std::vector<std::string> textName(n);
    std::vector<std::size_t> textOf(n);
    for (std::size_t t = 0; t < texts.size(); ++t) {
        const DrawnText& text = texts[t];
        std::ptrdiff_t owner = -1;
        int owners = 0;
        for (std::size_t i = 0; i < n && owners < 2; ++i) {
            if (depth[i] % 2 != 0 || !pointInLoop(text.at, loops[i])) continue;
            owner = static_cast<std::ptrdiff_t>(i);
            ++owners;
        }
        if (owners == 1 && textName[static_cast<std::size_t>(owner)].empty()) {
            textName[static_cast<std::size_t>(owner)] = text.text;
            textOf[static_cast<std::size_t>(owner)] = t;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (depth[i] % 2 != 0) continue;
        const Contour& c = contours[i];
        const std::string name = !c.block.empty()                     ? c.block
                                 : !textName[i].empty()               ? textName[i]
                                 : !c.layer.empty() && c.layer != "0" ? c.layer
                                                                      : fallbackName;
        if (c.block.empty() && !textName[i].empty()) assembled.namingTexts.push_back(textOf[i]);
        Part part;
        part.setShape(name, holes[i], loops[i]);
        assembled.parts.pushBack(std::move(part));
        if (bends[i]) {
            curves[i].outer = std::move(drawn[i]);
            assembled.curves.push_back(std::move(curves[i]));
        } else {
            assembled.curves.push_back(PartCurves{});
        }
    }
    return assembled;
}

std::vector<Contour> dropRepeatedContours(std::vector<Contour> contours, double tol,
                                          const std::string& source,
                                          std::vector<std::string>& warnings) {
    std::vector<OutlineView> views;
    for (const Contour& c : contours) views.push_back({&c.points, true});
    const std::vector<std::size_t> repeatOf = findRepeats(views, tol);
    std::vector<std::string> copies;
    for (std::size_t i = 0; i < contours.size(); ++i) {
        if (repeatOf[i] == kNoRepeat) continue;
        copies.push_back("the contour of " + describeLabels(contours[i].labels) + " (of " +
                         describeLabels(contours[repeatOf[i]].labels) + ")");
    }
    std::vector<Contour> kept;
    for (std::size_t i = 0; i < contours.size(); ++i)
        if (repeatOf[i] == kNoRepeat) kept.push_back(std::move(contours[i]));
    if (!copies.empty()) {
        warnings.push_back(source + ": " + std::to_string(copies.size()) +
                           (copies.size() == 1 ? " contour drawn" : " contours drawn") +
                           " again within " + formatNumber(tol) +
                           " counted once, the copies left out: " + describeLabels(copies));
    }
    return kept;
}

std::vector<Contour> dropCrossingContours(std::vector<Contour> contours, double tol,
                                          const std::string& source,
                                          std::vector<std::string>& warnings,
                                          std::vector<Contour>* crossingOutlines) {
    std::vector<const std::vector<Vertex>*> outlines;
    for (const Contour& c : contours) outlines.push_back(&c.points);
    const ContactSearch search = findContacts(outlines, kMaxContactWork);
    if (!search.complete) {
        warnings.push_back(source +
                           ": the contours have too many edges close together to check them all "
                           "for crossings; they are read as drawn");
    }
    if (search.contacts.empty()) return contours;
    std::vector<Loop> loops(contours.size());
    for (std::size_t i = 0; i < contours.size(); ++i) loops[i].setVertices(contours[i].points);
    const Nesting nesting = nestLoops(loops, tol);
    // Largest first, so that each contour is weighed against the larger ones it crosses.
    std::vector<std::vector<const ContourContact*>> byContour(contours.size());
    for (const ContourContact& c : search.contacts) {
        byContour[c.first].push_back(&c);
        byContour[c.second].push_back(&c);
    }
    std::vector<std::size_t> order(contours.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t p, std::size_t q) {
        return loops[p].area() > loops[q].area();
    });
    std::vector<std::size_t> rank(contours.size());
    for (std::size_t s = 0; s < order.size(); ++s) rank[order[s]] = s;
    std::vector<char> dropped(contours.size(), 0);
    std::int64_t work = 0;
    bool overBudget = false;
    for (const std::size_t big : order) {
        if (dropped[big] || overBudget) continue;
        for (const ContourContact* c : byContour[big]) {
            const std::size_t small = c->first == big ? c->second : c->first;
            if (dropped[small] || rank[small] < rank[big]) continue;
            // Weighing costs the sample points times the corners of both; past the budget,
            // the remaining contacts are read as drawn, and said so once.
            work += static_cast<std::int64_t>(
                3 * samplesOf(contours[small].points).size() *
                (loops[big].vertices().size() + loops[small].vertices().size()));
            if (work > kMaxContactWork) {
                if (!overBudget) {
                    warnings.push_back(source +
                                       ": too many contours meet to weigh them all; the rest "
                                       "are read as drawn, crossing or not");
                }
                overBudget = true;
                break;
            }
            // Touching from outside, or from inside without reaching out, is no crossing.
            const bool crosses = (reaches(contours[small].points, loops[big], tol, true) &&
                                  reaches(contours[small].points, loops[big], tol, false)) ||
                                 reaches(contours[big].points, loops[small], tol, true);
            if (!crosses) continue;
            // Among holes the larger goes (construction lines across a bolt circle): material
            // kept where a hole was drawn is safe to pack. Among outlines the smaller goes:
            // the larger claims more of the material.
            const bool amongHoles = nesting.depth[big] % 2 != 0;
            const std::size_t gone = amongHoles ? big : small;
            const std::size_t stays = amongHoles ? small : big;
            dropped[gone] = 1;
            contours[stays].crossed = true;
            if (crossingOutlines != nullptr && !amongHoles) {
                dropped[gone] = 2;
                continue;
            }
            warnings.push_back(
                source + ": the contour of " + describeLabels(contours[gone].labels) +
                " is left out: it crosses the contour of " +
                describeLabels(contours[stays].labels) + " near " + formatPoint(c->near) +
                (amongHoles ? ", and of two holes that overlap the larger is dropped"
                            : ", and of two outlines that overlap the smaller is dropped"));
            if (amongHoles) break;
        }
    }
    std::vector<Contour> kept;
    for (std::size_t i = 0; i < contours.size(); ++i) {
        if (!dropped[i]) kept.push_back(std::move(contours[i]));
        if (dropped[i] == 2) crossingOutlines->push_back(std::move(contours[i]));
    }
    return kept;
}

}  // namespace blocknest
