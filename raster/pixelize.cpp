#include "raster/pixelize.hpp"

#include <array>
#include <bit>
#include <cassert>
#include <cstring>
#include <vector>

#include "geometry/predicates.hpp"

namespace blocknest {
namespace {

// Everything pixelize reads, as numbers: the block side, the box, the anchor kept from the
// last image, and every loop's vertices, each loop preceded by its vertex count.
std::vector<double> poseOf(const Part& part) {
    const BoundingBox& box = part.bounds();
    std::vector<double> pose{part.blockSideLength(),
                             box.minX,
                             box.maxX,
                             box.minY,
                             box.maxY,
                             static_cast<double>(part.bitmap().anchorRow),
                             static_cast<double>(part.bitmap().anchorCol)};
    pose.reserve(pose.size() + 2 * static_cast<std::size_t>(part.totalVertexCount()) + 8);
    auto addLoop = [&](const Loop& loop) {
        pose.push_back(static_cast<double>(loop.vertexCount()));
        for (const Vertex& v : loop.vertices()) {
            pose.push_back(v.x);
            pose.push_back(v.y);
        }
    };
    addLoop(part.outerLoop());
    for (const Loop& hole : part.innerLoops()) addLoop(hole);
    return pose;
}

std::uint64_t hashOf(const std::vector<double>& pose) {
    std::uint64_t h = 1469598103934665603ULL;
    for (double value : pose) h = (h ^ std::bit_cast<std::uint64_t>(value)) * 1099511628211ULL;
    return h;
}

// Equal bit for bit, so that -0 and 0, or two NaNs, are told apart as pixelize would.
bool samePose(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

}  // namespace

void PixelizeMemo::pixelize(Part& part, Console& console) {
    std::vector<double> pose = poseOf(part);
    const std::uint64_t key = hashOf(pose);
    std::vector<Entry>& bucket = entries_[key];
    for (const Entry& entry : bucket) {
        if (samePose(entry.pose, pose)) {
            part.setBitmap(entry.image);
            return;
        }
    }
    blocknest::pixelize(part, console);
    const std::size_t bytes = pose.size() * sizeof(double) + part.bitmap().cells.size();
    if (bytes_ + bytes > kMaxBytes) return;
    bytes_ += bytes;
    bucket.push_back({std::move(pose), part.bitmap()});
}

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
