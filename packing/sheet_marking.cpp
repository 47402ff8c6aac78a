#include "packing/sheet_marking.hpp"

#include <array>
#include <vector>

#include "geometry/predicates.hpp"
#include "raster/pixelize.hpp"

namespace blocknest {

void markPartOnSheet(Sheet& sheet, const Part& part, Console& console) {
    const double bs = sheet.blockSideLength;
    const double halfBlock = bs * 0.5;
    const int vertexCount = part.totalVertexCount();
    std::vector<Vertex> vertices(static_cast<std::size_t>(vertexCount));
    gatherVertices(vertexCount, part, vertices, console);
    const BoundingBox& box = part.bounds();
    SheetBitmap& grid = sheet.bitmap;
    for (int r = 0; r < grid.rows(); ++r) {
        if ((r + 0.5) * bs < box.minX) continue;
        if ((r - 0.5) * bs > box.maxX) break;
        const double x0 = r * bs - halfBlock;
        const double x1 = r * bs + halfBlock;
        for (int c = 0; c < grid.cols(); ++c) {
            if ((c + 0.5) * bs < box.minY) continue;
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
