#include "output/cut_labels.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "base/text.hpp"

namespace blocknest {
namespace {

// Where the line y = level crosses the loop's edges; an edge counts when its ends lie on
// either side of the line, one of them possibly on it from above.
void addCrossings(const Loop& loop, double level, std::vector<double>& xs) {
    const std::vector<Vertex>& v = loop.vertices();
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
        if ((v[i].y > level) == (v[j].y > level)) continue;
        const double t = (level - v[j].y) / (v[i].y - v[j].y);
        xs.push_back(v[j].x + t * (v[i].x - v[j].x));
    }
}

// True when some edge of the loop reaches into the open box (Liang-Barsky clipping).
bool edgeEnters(const Loop& loop, const BoundingBox& box) {
    const std::vector<Vertex>& v = loop.vertices();
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
        const double dx = v[i].x - v[j].x;
        const double dy = v[i].y - v[j].y;
        double t0 = 0;
        double t1 = 1;
        bool outside = false;
        for (const auto& [p, q] :
             {std::pair{-dx, v[j].x - box.minX}, std::pair{dx, box.maxX - v[j].x},
              std::pair{-dy, v[j].y - box.minY}, std::pair{dy, box.maxY - v[j].y}}) {
            if (p == 0) {
                if (q <= 0) outside = true;
            } else if (p < 0) {
                t0 = std::max(t0, q / p);
            } else {
                t1 = std::min(t1, q / p);
            }
        }
        if (!outside && t0 < t1) return true;
    }
    return false;
}

}  // namespace

LabelSpot labelSpot(const Part& part, std::size_t characters) {
    const Loop& outer = part.outerLoop();
    if (outer.vertexCount() < 3) return {};
    const BoundingBox box = boundsOf(outer.vertices());
    LabelSpot best{{(box.minX + box.maxX) / 2, (box.minY + box.maxY) / 2}, 0};
    const double widthPerHeight = kCharacterWidth * static_cast<double>(characters);
    // The text's box at the point, with the height given and a tenth of it around, meets no
    // contour: it lies in the material with the point.
    const auto fits = [&](const Vertex& at, double height) {
        const double halfWidth = (widthPerHeight / 2 + 0.1) * height;
        const BoundingBox text{at.x - halfWidth, at.x + halfWidth, at.y - 0.6 * height,
                               at.y + 0.6 * height};
        if (edgeEnters(outer, text)) return false;
        for (const Loop& hole : part.innerLoops())
            if (hole.vertexCount() >= 3 && edgeEnters(hole, text)) return false;
        return true;
    };
    const double tallest = (box.maxY - box.minY) / 5;
    for (const double fraction : {0.5, 0.4, 0.6, 0.3, 0.7, 0.2, 0.8, 0.1, 0.9}) {
        const double level = box.minY + fraction * (box.maxY - box.minY);
        std::vector<double> xs;
        addCrossings(outer, level, xs);
        for (const Loop& hole : part.innerLoops())
            if (hole.vertexCount() >= 3) addCrossings(hole, level, xs);
        std::sort(xs.begin(), xs.end());
        for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
            const Vertex at{(xs[i] + xs[i + 1]) / 2, level};
            // The run's length bounds the height; halving finds the largest that fits.
            double high = std::min(tallest, (xs[i + 1] - xs[i]) / widthPerHeight);
            if (!(high > best.height)) continue;
            if (fits(at, high)) {
                best = {at, high};
                continue;
            }
            double low = best.height;
            for (int step = 0; step < 30 && high - low > 1e-3 * high; ++step) {
                const double middle = (low + high) / 2;
                (fits(at, middle) ? low : high) = middle;
            }
            if (low > best.height) best = {at, low};
        }
    }
    return best;
}

double leastLabelHeight(int insUnits) {
    // Millimetres per unit of the common codes.
    switch (insUnits) {
        case 1:
            return 3 / 25.4;
        case 2:
            return 3 / 304.8;
        case 4:
            return 3;
        case 5:
            return 0.3;
        case 6:
            return 0.003;
        case 9:
            return 3 / 0.0254;
        case 10:
            return 3 / 914.4;
        case 13:
            return 3000;
        case 14:
            return 0.03;
        default:
            return 3;
    }
}

std::string dxfText(std::string_view text) {
    const std::string valid = validUtf8(text);
    std::string out;
    for (std::size_t i = 0; i < valid.size();) {
        const auto lead = static_cast<unsigned char>(valid[i]);
        if (lead < 0x80) {
            if (lead == '%') {
                out += "%%%";
            } else {
                out += lead < 0x20 || lead == 0x7F ? '_' : static_cast<char>(lead);
            }
            ++i;
            continue;
        }
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t code = lead & (0xFF >> (length + 1));
        for (int k = 1; k < length && i + k < valid.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(valid[i + k]) & 0x3F);
        i += length;
        if (code < 0xA0 || code > 0xFFFF) {
            out += '_';  // C1 controls, and what four hex digits cannot name
            continue;
        }
        char escaped[16];
        std::snprintf(escaped, sizeof escaped, "\\U+%04X", static_cast<unsigned>(code));
        out += escaped;
    }
    return out;
}

}  // namespace blocknest
