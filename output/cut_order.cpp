#include "output/cut_order.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

#include "geometry/predicates.hpp"

namespace blocknest {
namespace {

struct Sweep {
    double bandHeight = 1;
    long long band(const BoundingBox& box) const {
        return static_cast<long long>(std::floor((box.minY + box.maxY) / 2 / bandHeight));
    }
};

Sweep sweepFor(const std::vector<BoundingBox>& boxes) {
    std::vector<double> heights;
    for (const BoundingBox& box : boxes) heights.push_back(box.maxY - box.minY);
    Sweep sweep;
    if (heights.empty()) return sweep;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    const double median = heights[heights.size() / 2];
    if (std::isfinite(median) && median > 0) sweep.bandHeight = median;
    return sweep;
}

// True when the part's outer contour lies in the hole: its box within the hole's, and its
// first corner inside the hole.
bool liesInHole(const Part& part, const BoundingBox& box, const Loop& hole) {
    if (hole.vertexCount() < 3 || part.outerLoop().vertexCount() < 1) return false;
    const BoundingBox holeBox = boundsOf(hole.vertices());
    if (box.minX < holeBox.minX || box.maxX > holeBox.maxX || box.minY < holeBox.minY ||
        box.maxY > holeBox.maxY) {
        return false;
    }
    return pointInLoop(part.outerLoop().vertices().front(), hole);
}

}  // namespace

std::vector<std::size_t> cutOrder(const std::vector<const Part*>& parts) {
    const std::size_t n = parts.size();
    std::vector<BoundingBox> boxes;
    for (const Part* part : parts) {
        boxes.push_back(part->outerLoop().vertexCount() > 0 ? boundsOf(part->outerLoop().vertices())
                                                            : BoundingBox{});
    }
    const Sweep sweep = sweepFor(boxes);
    std::vector<std::size_t> swept(n);
    for (std::size_t i = 0; i < n; ++i) swept[i] = i;
    const auto key = [&](std::size_t i) {
        const long long band = sweep.band(boxes[i]);
        const double x = (boxes[i].minX + boxes[i].maxX) / 2;
        return std::tuple(band, band % 2 == 0 ? x : -x, boxes[i].minY, i);
    };
    std::sort(swept.begin(), swept.end(),
              [&](std::size_t a, std::size_t b) { return key(a) < key(b); });

    std::vector<std::size_t> order;
    order.reserve(n);
    std::vector<bool> taken(n, false);
    // Before a part, whatever lies in its holes, in sweep order; taken is set on the way in
    // so that parts drawn over each other cannot send this round in circles.
    const std::function<void(std::size_t)> take = [&](std::size_t i) {
        taken[i] = true;
        if (!parts[i]->innerLoops().empty()) {
            for (const std::size_t j : swept) {
                if (taken[j]) continue;
                for (const Loop& hole : parts[i]->innerLoops()) {
                    if (liesInHole(*parts[j], boxes[j], hole)) {
                        take(j);
                        break;
                    }
                }
            }
        }
        order.push_back(i);
    };
    for (const std::size_t i : swept)
        if (!taken[i]) take(i);
    return order;
}

}  // namespace blocknest
