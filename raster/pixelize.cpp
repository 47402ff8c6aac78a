#include "raster/pixelize.hpp"

#include <array>
#include <cassert>
#include <vector>

#include "geometry/predicates.hpp"

namespace blocknest {
bool anyVertexInSquare(std::span<const Vertex> vertices, double x0, double x1, double y0,
                       double y1) {
    for (const Vertex& v : vertices) {
        if (x0 <= v.x && v.x <= x1 && y0 <= v.y && v.y <= y1) return true;
    }
    return false;
}

void gatherVertices(int expectedCount, const Part& part, std::span<Vertex> out, Console& console) {
    if (part.totalVertexCount() != expectedCount) {
        console.write(Message::vertexCountWrong);
        console.write("\n");
        console.pause();
    }
    if (expectedCount == 0) return;
    std::size_t next = 0;
    auto copyLoop = [&](const Loop& loop) {
        for (const Vertex& v : loop.vertices()) {
            if (next == out.size()) return;
            out[next++] = v;
        }
    };
    copyLoop(part.outerLoop());
    for (const Loop& hole : part.innerLoops()) copyLoop(hole);
}

int blockCountFor(double extent, double blockSideLength) {
    const double q = extent / blockSideLength;
    const int n = static_cast<int>(q);
    return q - n > 0.5 ? n + 2 : n + 1;
}

void pixelize(Part& part, Console& console) {
    const double bs = part.blockSideLength();
    assert(bs > 0);
    const BoundingBox box = part.bounds();
    PartBitmap bitmap;
    bitmap.rows = blockCountFor(box.maxX - box.minX, bs);
    bitmap.cols = blockCountFor(box.maxY - box.minY, bs);
    bitmap.cells.assign(static_cast<std::size_t>(bitmap.rows) * bitmap.cols, 0);
    bitmap.anchorRow = part.bitmap().anchorRow;
    bitmap.anchorCol = part.bitmap().anchorCol;

    const int vertexCount = part.totalVertexCount();
    std::vector<Vertex> vertices(static_cast<std::size_t>(vertexCount));
    gatherVertices(vertexCount, part, vertices, console);

    const double h = bs * 0.5;
    double x = box.minX;
    for (int r = 0; r < bitmap.rows; ++r, x += bs) {
        const double x0 = x - h;
        const double x1 = h + x;
        double y = box.minY;
        for (int c = 0; c < bitmap.cols; ++c, y += bs) {
            const double y0 = y - h;
            const double y1 = h + y;
            const std::array<Vertex, 5> samples{{{x, y}, {x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}};
            bool occupied = false;
            for (const Vertex& p : samples) {
                if (pointInPart(p, part)) {
                    occupied = true;
                    break;
                }
            }
            if (!occupied) occupied = anyVertexInSquare(vertices, x0, x1, y0, y1);
            bitmap.cells[static_cast<std::size_t>(r) * bitmap.cols + c] = occupied ? 1 : 0;
        }
    }
    for (std::size_t i = 0; i < bitmap.cells.size(); ++i) {
        if (bitmap.cells[i] != 0) {
            bitmap.anchorRow = static_cast<int>(i / bitmap.cols);
            bitmap.anchorCol = static_cast<int>(i % bitmap.cols);
            break;
        }
    }
    part.setBitmap(std::move(bitmap));
}

}  // namespace blocknest
