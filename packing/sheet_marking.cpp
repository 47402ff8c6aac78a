#include "packing/sheet_marking.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "geometry/predicates.hpp"
#include "raster/pixelize.hpp"

namespace blocknest {
namespace {

// The first index i in [0, count) with !((i + 0.5) * b < low): every index before it would be
// skipped by that test, which grows with i. Starts from an estimate and walks to the exact one.
int firstReaching(double low, double b, int count) {
    const double estimate = low / b - 2;
    int i = std::isfinite(estimate) && estimate > 0
                ? static_cast<int>(std::min<double>(estimate, count))
                : 0;
    while (i > 0 && !((i - 1 + 0.5) * b < low)) --i;
    while (i < count && (i + 0.5) * b < low) ++i;
    return i;
}

}  // namespace

void markPartOnSheet(Sheet& sheet, const Part& part, Console& console) {
    const double bs = sheet.blockSideLength;
    const double halfBlock = bs * 0.5;
    const int vertexCount = part.totalVertexCount();
    std::vector<Vertex> vertices(static_cast<std::size_t>(vertexCount));
    gatherVertices(vertexCount, part, vertices, console);
    const BoundingBox& box = part.bounds();
    SheetBitmap& grid = sheet.bitmap;
    const int firstCol = firstReaching(box.minY, bs, grid.cols());
    for (int r = firstReaching(box.minX, bs, grid.rows()); r < grid.rows(); ++r) {
        if ((r - 0.5) * bs > box.maxX) break;
        const double x0 = r * bs - halfBlock;
        const double x1 = r * bs + halfBlock;
        for (int c = firstCol; c < grid.cols(); ++c) {
            if ((c - 0.5) * bs > box.maxY) break;
            if (grid.at(r, c) == 1) continue;
            const double y0 = c * bs - halfBlock;
            const double y1 = c * bs + halfBlock;
            const std::array<Vertex, 4> corners{{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}};
            bool covered = false;
            for (const Vertex& p : corners) {
                if (pointInPart(p, part)) {
                    covered = true;
                    break;
                }
            }
            if (!covered) covered = anyVertexInSquare(vertices, x0, x1, y0, y1);
            if (covered) grid.take(r, c);
        }
    }
}

}  // namespace blocknest
