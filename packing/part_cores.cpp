#include "packing/part_cores.hpp"

#include <algorithm>
#include <cmath>

namespace blocknest {
namespace {

// Each loop of the part, outer first.
std::vector<const Loop*> loopsOf(const Part& part) {
    std::vector<const Loop*> loops{&part.outerLoop()};
    for (const Loop& hole : part.innerLoops()) loops.push_back(&hole);
    return loops;
}

// The distinct values, or maxLines of them spread over their range when there are more: the
// grid then has cells with vertices inside, which the cell test refuses.
std::vector<double> gridLines(std::vector<double> values, int maxLines) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    if (static_cast<int>(values.size()) <= maxLines) return values;
    std::vector<double> lines;
    for (int k = 0; k < maxLines; ++k) {
        lines.push_back(values[static_cast<std::size_t>(k) * (values.size() - 1) / (maxLines - 1)]);
    }
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

// True when the segment meets the closed box (Liang-Barsky clipping).
bool segmentMeetsBox(const Vertex& a, const Vertex& b, double x0, double x1, double y0, double y1) {
    double t0 = 0;
    double t1 = 1;
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - x0, x1 - a.x, a.y - y0, y1 - a.y};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0) {
            if (q[k] < 0) return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) return false;
    }
    return true;
}

// Even-odd test over every loop: inside the outer loop and outside each hole.
bool insideMaterial(const std::vector<const Loop*>& loops, double x, double y) {
    bool inside = false;
    for (const Loop* loop : loops) {
        const std::vector<Vertex>& v = loop->vertices();
        for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
            if ((v[i].y > y) != (v[j].y > y) &&
                x < (v[j].x - v[i].x) * (y - v[i].y) / (v[j].y - v[i].y) + v[i].x) {
                inside = !inside;
            }
        }
    }
    return inside;
}

}  // namespace

std::vector<CoreRectangle> findCoreRectangles(const Part& part, int maxLines) {
    const std::vector<const Loop*> loops = loopsOf(part);
    std::vector<double> xs;
    std::vector<double> ys;
    for (const Loop* loop : loops) {
        for (const Vertex& v : loop->vertices()) {
            xs.push_back(v.x);
            ys.push_back(v.y);
        }
    }
    if (xs.size() < 3) return {};
    xs = gridLines(std::move(xs), maxLines);
    ys = gridLines(std::move(ys), maxLines);
    const std::size_t nx = xs.size() < 2 ? 0 : xs.size() - 1;
    const std::size_t ny = ys.size() < 2 ? 0 : ys.size() - 1;
    const double size = std::max(xs.back() - xs.front(), ys.back() - ys.front());
    // Cells are tested shrunk by this hair and rectangles shrunk by twice it, so that an edge
    // rounding past a cell's side by less than the hair never lets a rectangle poke out.
    const double hair = 1e-7 * size;
    std::vector<char> full(nx * ny, 0);
    for (std::size_t i = 0; i < nx; ++i) {
        for (std::size_t j = 0; j < ny; ++j) {
            const double x0 = xs[i] + hair;
            const double x1 = xs[i + 1] - hair;
            const double y0 = ys[j] + hair;
            const double y1 = ys[j + 1] - hair;
            if (!(x0 < x1) || !(y0 < y1)) continue;
            bool crossed = false;
            for (const Loop* loop : loops) {
                const std::vector<Vertex>& v = loop->vertices();
                for (std::size_t a = 0, b = v.size() - 1; a < v.size() && !crossed; b = a++) {
                    crossed = segmentMeetsBox(v[b], v[a], x0, x1, y0, y1);
                }
                if (crossed) break;
            }
            // No edge meets the cell: it lies wholly inside or wholly outside.
            full[i * ny + j] = !crossed && insideMaterial(loops, (x0 + x1) / 2, (y0 + y1) / 2);
        }
    }
    std::vector<CoreRectangle> found;
    std::vector<char> rows(ny);
    for (std::size_t i = 0; i < nx; ++i) {
        std::fill(rows.begin(), rows.end(), 1);
        for (std::size_t k = i; k < nx; ++k) {
            bool any = false;
            for (std::size_t j = 0; j < ny; ++j) {
                rows[j] = rows[j] && full[k * ny + j];
                any = any || rows[j];
            }
            if (!any) break;
            for (std::size_t j = 0; j < ny;) {
                if (!rows[j]) {
                    ++j;
                    continue;
                }
                std::size_t end = j;
                while (end < ny && rows[end]) ++end;
                found.push_back({xs[k + 1] - xs[i] - 2 * hair, ys[end] - ys[j] - 2 * hair});
                j = end;
            }
        }
    }
    // Keep those no other one beats both ways: widest first, each longer than all wider ones.
    std::sort(found.begin(), found.end(), [](const CoreRectangle& a, const CoreRectangle& b) {
        return a.width != b.width ? a.width > b.width : a.length > b.length;
    });
    std::vector<CoreRectangle> front;
    for (const CoreRectangle& r : found) {
        if (r.length > 0 && r.width > 0 && (front.empty() || r.length > front.back().length)) {
            front.push_back(r);
        }
    }
    return front;
}

}  // namespace blocknest
