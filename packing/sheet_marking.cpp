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
    // Rows and columns whose blocks reach the part's box: the skip tests grow with the index,
    // so the blocks examined form one range along each axis.
    const int firstRow = firstReaching(box.minX, bs, grid.rows());
    int endRow = firstRow;
    while (endRow < grid.rows() && !((endRow - 0.5) * bs > box.maxX)) ++endRow;
    const int firstCol = firstReaching(box.minY, bs, grid.cols());
    int endCol = firstCol;
    while (endCol < grid.cols() && !((endCol - 0.5) * bs > box.maxY)) ++endCol;
    if (firstRow >= endRow || firstCol >= endCol) return;

    std::vector<double> x0s;
    std::vector<double> x1s;
    for (int r = firstRow; r < endRow; ++r) {
        x0s.push_back(r * bs - halfBlock);
        x1s.push_back(r * bs + halfBlock);
    }
    std::vector<double> y0s;
    std::vector<double> y1s;
    for (int c = firstCol; c < endCol; ++c) {
        y0s.push_back(c * bs - halfBlock);
        y1s.push_back(c * bs + halfBlock);
    }
    const std::size_t rows = x0s.size();
    const std::size_t cols = y0s.size();
    auto markAt = [&](std::size_t r, std::size_t c) {
        grid.take(firstRow + static_cast<int>(r), firstCol + static_cast<int>(c));
    };
    if (!isFinitePose(part, vertices) || !std::isfinite(bs)) {
        // Block by block: the four corners, then the vertices.
        for (std::size_t r = 0; r < rows; ++r) {
            for (std::size_t c = 0; c < cols; ++c) {
                if (grid.at(firstRow + static_cast<int>(r), firstCol + static_cast<int>(c)) == 1) {
                    continue;
                }
                const std::array<Vertex, 4> corners{
                    {{x0s[r], y0s[c]}, {x1s[r], y0s[c]}, {x1s[r], y1s[c]}, {x0s[r], y1s[c]}}};
                if (std::any_of(corners.begin(), corners.end(),
                                [&](const Vertex& p) { return pointInPart(p, part); }) ||
                    anyVertexInSquare(vertices, x0s[r], x1s[r], y0s[c], y1s[c])) {
                    markAt(r, c);
                }
            }
        }
        return;
    }
    // The same tests organised by column: the corners of one column lie on two lines, each
    // crossed with the loops once and swept along X, and the blocks holding a vertex are found
    // by binary search. Taking a taken block changes nothing.
    // A block is taken when any of its tests passes, whatever their order.
    forEachBlockHoldingAVertex(vertices, x0s, x1s, y0s, y1s, markAt);
    PartScanLine line(part);
    std::vector<std::uint8_t> covered(rows);
    std::vector<std::uint8_t> hits(rows);
    auto addHits = [&](const std::vector<double>& xs) {
        line.containsEach(xs, hits);
        for (std::size_t r = 0; r < rows; ++r) covered[r] |= hits[r];
    };
    for (std::size_t c = 0; c < cols; ++c) {
        std::fill(covered.begin(), covered.end(), std::uint8_t{0});
        line.moveTo(y0s[c]);
        addHits(x0s);
        addHits(x1s);
        line.moveTo(y1s[c]);
        addHits(x1s);
        addHits(x0s);
        for (std::size_t r = 0; r < rows; ++r) {
            if (covered[r] != 0) markAt(r, c);
        }
    }
}

}  // namespace blocknest

namespace blocknest {
namespace {

// The index range [first, last] of the blocks along one axis whose closed spans [i b - b/2,
// i b + b/2] meet [low, high], clamped to [0, count); first > last when none does. The ends
// are widened by a relative hair so that a point on a shared border takes both blocks.
std::pair<int, int> blocksSpanning(double low, double high, double b, int count) {
    if (!std::isfinite(low) || !std::isfinite(high)) return {0, -1};
    const double hair = 1e-9 * std::max({1.0, std::fabs(low), std::fabs(high)});
    const double first = std::floor((low - hair) / b + 0.5);
    const double last = std::floor((high + hair) / b + 0.5);
    return {static_cast<int>(std::clamp(first, 0.0, static_cast<double>(count))),
            static_cast<int>(std::clamp(last, -1.0, static_cast<double>(count - 1)))};
}

void markEdgeOnSheet(SheetBitmap& grid, double b, const Vertex& p, const Vertex& q) {
    const auto [firstRow, lastRow] =
        blocksSpanning(std::min(p.x, q.x), std::max(p.x, q.x), b, grid.rows());
    for (int r = firstRow; r <= lastRow; ++r) {
        // The piece of the edge inside the row's strip, by its y at the strip's borders.
        double y0 = p.y;
        double y1 = q.y;
        if (p.x != q.x) {
            const double x0 = std::max(std::min(p.x, q.x), r * b - b / 2);
            const double x1 = std::min(std::max(p.x, q.x), r * b + b / 2);
            y0 = p.y + (q.y - p.y) * ((x0 - p.x) / (q.x - p.x));
            y1 = p.y + (q.y - p.y) * ((x1 - p.x) / (q.x - p.x));
        }
        const auto [firstCol, lastCol] =
            blocksSpanning(std::min(y0, y1), std::max(y0, y1), b, grid.cols());
        for (int c = firstCol; c <= lastCol; ++c) grid.take(r, c);
    }
}

void markLoopEdgesOnSheet(Sheet& sheet, const Loop& loop) {
    const std::vector<Vertex>& v = loop.vertices();
    for (std::size_t i = 0; i < v.size(); ++i) {
        markEdgeOnSheet(sheet.bitmap, sheet.blockSideLength, v[i], v[(i + 1) % v.size()]);
    }
}

void markObstacle(Sheet& sheet, const Part& obstacle) {
    SilentConsole silent;
    markPartOnSheet(sheet, obstacle, silent);
    markLoopEdgesOnSheet(sheet, obstacle.outerLoop());
    for (const Loop& hole : obstacle.innerLoops()) markLoopEdgesOnSheet(sheet, hole);
}

}  // namespace

void markObstaclesOnSheet(Sheet& sheet) {
    if (sheet.bitmap.empty() || !(sheet.blockSideLength > 0)) return;
    if (sheet.outside) markObstacle(sheet, *sheet.outside);
    for (const Part& defect : sheet.defects) markObstacle(sheet, defect);
}

}  // namespace blocknest
