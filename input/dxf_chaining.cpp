#include "input/dxf_chaining.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "base/number_format.hpp"
#include "geometry/predicates.hpp"
#include "input/dxf_repeats.hpp"

namespace blocknest {
namespace {

// Ends of open pieces in square cells of the join tolerance's size; a query looks at the
// 3 x 3 cells around a point. The cells are never finer than a 2^-40th of the drawing's
// extent: a tolerance far below what the coordinates resolve would put every end in the one
// cell that the clamped cell numbers share, and joining would compare every pair.
class EndIndex {
public:
    EndIndex(const std::vector<Piece>& pieces, double tol) : pieces_(pieces), tol_(tol) {
        double extent = 0;
        for (const Piece& piece : pieces) {
            if (piece.closed) continue;
            for (const Vertex* p : {&piece.points.front(), &piece.points.back()})
                extent = std::max({extent, std::fabs(p->x), std::fabs(p->y)});
        }
        cell_ = std::max(2 * tol, std::ldexp(extent, -40));
        if (!(cell_ > 0) || !std::isfinite(cell_)) cell_ = 1;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (pieces[i].closed) continue;
            cells_[key(pieces[i].points.front(), 0, 0)].push_back({i, 0});
            cells_[key(pieces[i].points.back(), 0, 0)].push_back({i, 1});
        }
    }

    struct End {
        std::size_t piece;
        int which;  // 0 its first point, 1 its last
    };

    // The nearest end of an unused piece within the tolerance of p.
    std::optional<End> nearest(const Vertex& p, const std::vector<char>& used) const {
        std::optional<End> best;
        double bestDistance = tol_;
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                const auto found = cells_.find(key(p, dx, dy));
                if (found == cells_.end()) continue;
                for (const End& end : found->second) {
                    if (used[end.piece]) continue;
                    const std::vector<Vertex>& pts = pieces_[end.piece].points;
                    const double d = distance(p, end.which == 0 ? pts.front() : pts.back());
                    if (d <= bestDistance &&
                        (!best || d < bestDistance || end.piece < best->piece)) {
                        best = end;
                        bestDistance = d;
                    }
                }
            }
        }
        return best;
    }

private:
    std::uint64_t key(const Vertex& p, int dx, int dy) const {
        const auto index = [this](double value, int offset) {
            const double q = std::clamp(std::floor(value / cell_), -1e15, 1e15);
            return static_cast<std::uint64_t>(static_cast<std::int64_t>(q) + offset);
        };
        const std::uint64_t ix = index(p.x, dx), iy = index(p.y, dy);
        return ix * 0x9E3779B97F4A7C15ULL ^ (iy + 0x632BE59BD9B4E019ULL + (ix << 6) + (ix >> 2));
    }

    const std::vector<Piece>& pieces_;
    double tol_;
    double cell_ = 1;
    std::unordered_map<std::uint64_t, std::vector<End>> cells_;
};

// An open stretch of outline as drawn: corners and the bulge of each edge between them.
struct OpenPath {
    std::vector<Vertex> corners;
    std::vector<double> bulges;  // one fewer than corners
};

// A piece's path before its points are moved into a chain; reversed, it runs the other way.
OpenPath pathOf(const Piece& piece, bool reversed) {
    OpenPath path;
    if (piece.corners.empty()) {
        path.corners = piece.points;
        path.bulges.assign(path.corners.empty() ? 0 : path.corners.size() - 1, 0);
    } else {
        path.corners = piece.corners;
        path.bulges = piece.bulges;
    }
    if (reversed) {
        std::reverse(path.corners.begin(), path.corners.end());
        std::reverse(path.bulges.begin(), path.bulges.end());
        for (double& bulge : path.bulges) bulge = -bulge;
    }
    return path;
}

// Appends a path that starts where this one ends (within the join distance): its first corner
// gives way to this one's last, as the chain's points do.
void append(OpenPath& path, const OpenPath& more) {
    path.corners.insert(path.corners.end(), more.corners.begin() + 1, more.corners.end());
    path.bulges.insert(path.bulges.end(), more.bulges.begin(), more.bulges.end());
}

bool bends(const std::vector<double>& bulges) {
    return std::any_of(bulges.begin(), bulges.end(), [](double b) { return b != 0; });
}

}  // namespace

std::string describeLabels(const std::vector<std::string>& labels) {
    std::string text;
    const std::size_t shown = std::min<std::size_t>(labels.size(), 4);
    for (std::size_t i = 0; i < shown; ++i) text += (i > 0 ? ", " : "") + labels[i];
    if (labels.size() > shown) text += " and " + std::to_string(labels.size() - shown) + " more";
    return text;
}

std::string formatPoint(const Vertex& p) {
    return "(" + formatNumber(p.x) + ", " + formatNumber(p.y) + ")";
}

void dropIdlePieces(std::vector<Piece>& pieces, double tol, const std::string& source,
                    std::vector<std::string>& warnings) {
    std::vector<std::string> idle;
    std::erase_if(pieces, [&](Piece& piece) {
        if (piece.closed) return false;
        const Vertex& first = piece.points.front();
        const double eps = 1e-12 * (1 + std::fabs(first.x) + std::fabs(first.y));
        for (const Vertex& p : piece.points)
            if (std::fabs(p.x - first.x) > eps || std::fabs(p.y - first.y) > eps) return false;
        idle.push_back(std::move(piece.label));
        return true;
    });
    if (!idle.empty()) {
        warnings.push_back(source + ": " + std::to_string(idle.size()) +
                           (idle.size() == 1 ? " piece" : " pieces") +
                           " without length left out: " + describeLabels(idle));
    }
    std::vector<OutlineView> views;
    views.reserve(pieces.size());
    for (const Piece& piece : pieces) views.push_back({&piece.points, piece.closed});
    const std::vector<std::size_t> repeatOf = findRepeats(views, tol);
    std::vector<std::string> copies;
    for (std::size_t i = 0; i < pieces.size(); ++i)
        if (repeatOf[i] != kNoRepeat)
            copies.push_back(pieces[i].label + " (of " + pieces[repeatOf[i]].label + ")");
    std::size_t kept = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (repeatOf[i] != kNoRepeat) continue;
        if (kept != i) pieces[kept] = std::move(pieces[i]);
        ++kept;
    }
    pieces.resize(kept);
    if (!copies.empty()) {
        warnings.push_back(source + ": " + std::to_string(copies.size()) +
                           (copies.size() == 1 ? " piece drawn" : " pieces drawn") +
                           " again within " + formatNumber(tol) +
                           " counted once, the copies left out: " + describeLabels(copies));
    }
}

std::vector<Contour> chainPieces(std::vector<Piece>& pieces, double tol, const std::string& source,
                                 std::vector<std::string>& warnings,
                                 std::vector<OpenChain>* openChains) {
    std::vector<Contour> contours;
    const EndIndex index(pieces, tol);
    std::vector<char> used(pieces.size(), 0);
    for (std::size_t start = 0; start < pieces.size(); ++start) {
        if (used[start]) continue;
        used[start] = 1;
        Piece& first = pieces[start];
        if (first.closed) {
            contours.push_back(Contour{std::move(first.points),
                                       {first.label},
                                       first.layer,
                                       first.block,
                                       std::move(first.corners),
                                       std::move(first.bulges)});
            continue;
        }
        OpenPath path = pathOf(first, false);
        // Pieces joined at the head, the nearest first, each running to where the last began.
        std::vector<OpenPath> headPaths;
        Contour contour{std::move(first.points), {first.label}, first.layer, first.block, {}, {}};
        // The chain grows at its tail in `pts` and at its head in `head`, kept backwards so
        // that both ends grow in constant time: a chain listed from its middle stays linear.
        std::vector<Vertex>& pts = contour.points;
        std::vector<Vertex> head;
        std::vector<std::string> headLabels;
        const auto front = [&]() -> const Vertex& {
            return head.empty() ? pts.front() : head.back();
        };
        const auto closes = [&] {
            return head.size() + pts.size() > 2 && distance(pts.back(), front()) <= tol;
        };
        const auto grow = [&](bool atTail) {
            while (!closes()) {
                const Vertex end = atTail ? pts.back() : front();
                const std::optional<EndIndex::End> next = index.nearest(end, used);
                if (!next) return;
                used[next->piece] = 1;
                // Appended at the tail, the piece must start at the joint; put at the head,
                // it must end there (and is stored backwards, so it starts there too).
                const bool backwards = (next->which == 1) == atTail;
                if (atTail) {
                    append(path, pathOf(pieces[next->piece], backwards));
                } else {
                    headPaths.push_back(pathOf(pieces[next->piece], backwards));
                }
                std::vector<Vertex> more = std::move(pieces[next->piece].points);
                if (backwards) std::reverse(more.begin(), more.end());
                if (atTail) {
                    pts.insert(pts.end(), more.begin() + 1, more.end());
                    contour.labels.push_back(pieces[next->piece].label);
                } else {
                    head.insert(head.end(), more.rbegin() + 1, more.rend());
                    headLabels.push_back(pieces[next->piece].label);
                }
            }
        };
        grow(true);
        grow(false);
        if (!head.empty()) {
            std::reverse(head.begin(), head.end());
            head.insert(head.end(), pts.begin(), pts.end());
            pts = std::move(head);
            head.clear();
            std::reverse(headLabels.begin(), headLabels.end());
            headLabels.insert(headLabels.end(), contour.labels.begin(), contour.labels.end());
            contour.labels = std::move(headLabels);
        }
        if (!closes() && pts.size() <= 2 && distance(pts.front(), pts.back()) <= tol) {
            warnings.push_back(source + ": " + describeLabels(contour.labels) +
                               " is left out: it is shorter than the join distance " +
                               formatNumber(tol) + " and meets nothing");
            if (openChains != nullptr) openChains->push_back({pts, warnings.size() - 1});
            continue;
        }
        if (!closes()) {
            warnings.push_back(source + ": the open contour of " + describeLabels(contour.labels) +
                               " is left out: its ends " + formatPoint(pts.front()) + " and " +
                               formatPoint(pts.back()) + " do not meet within " +
                               formatNumber(tol));
            if (openChains != nullptr) openChains->push_back({pts, warnings.size() - 1});
            continue;
        }
        pts.pop_back();
        OpenPath whole;
        for (auto it = headPaths.rbegin(); it != headPaths.rend(); ++it) {
            if (whole.corners.empty()) {
                whole = std::move(*it);
            } else {
                append(whole, *it);
            }
        }
        if (whole.corners.empty()) {
            whole = std::move(path);
        } else {
            append(whole, path);
        }
        // Closed, the last corner is the first one again; the last edge now ends at the first.
        whole.corners.pop_back();
        if (bends(whole.bulges)) {
            contour.corners = std::move(whole.corners);
            contour.bulges = std::move(whole.bulges);
        }
        contours.push_back(std::move(contour));
    }
    return contours;
}

}  // namespace blocknest
