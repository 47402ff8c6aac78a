#include "raster/pixelize.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
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
// The rule for one block centred at (x, y): its centre or a corner lies in the part, tested
// in that order, or a vertex lies in its closed square.
bool blockOccupied(const Part& part, std::span<const Vertex> vertices, double x, double y,
                   double h) {
    const double x0 = x - h;
    const double x1 = h + x;
    const double y0 = y - h;
    const double y1 = h + y;
    const std::array<Vertex, 5> samples{{{x, y}, {x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}};
    return std::any_of(samples.begin(), samples.end(),
                       [&](const Vertex& p) { return pointInPart(p, part); }) ||
           anyVertexInSquare(vertices, x0, x1, y0, y1);
}

// Block centres as pixelize reaches them, by repeated addition of the block side.
std::vector<double> blockCentres(double start, double blockSide, std::size_t count) {
    std::vector<double> values(count);
    double value = start;
    for (double& v : values) {
        v = value;
        value += blockSide;
    }
    return values;
}

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

bool occupiedSpanExceeds(const Part& part, int maxRows, int maxCols, std::int64_t budget) {
    const ImageSize size = checkImageSize(part);
    if (size.verdict != ImageSize::Verdict::fits) return false;
    const double bs = part.blockSideLength();
    const double h = bs * 0.5;
    const BoundingBox& box = part.bounds();
    const auto rows = static_cast<std::int64_t>(size.rows);
    const auto cols = static_cast<std::int64_t>(size.cols);
    std::vector<Vertex> vertices;
    for (const Vertex& v : part.outerLoop().vertices()) vertices.push_back(v);
    for (const Loop& hole : part.innerLoops()) {
        for (const Vertex& v : hole.vertices()) vertices.push_back(v);
    }
    const std::vector<double> xs = blockCentres(box.minX, bs, static_cast<std::size_t>(rows));
    const std::vector<double> ys = blockCentres(box.minY, bs, static_cast<std::size_t>(cols));
    std::int64_t tests = 0;
    auto occupied = [&](std::int64_t r, std::int64_t c) {
        ++tests;
        return blockOccupied(part, vertices, xs[static_cast<std::size_t>(r)],
                             ys[static_cast<std::size_t>(c)], h);
    };
    // Whether line i (a row, or a column when across) holds an occupied block; nothing when
    // the budget ran out.
    auto lineOccupied = [&](std::int64_t i, bool across) -> std::optional<bool> {
        const std::int64_t length = across ? rows : cols;
        for (std::int64_t k = 0; k < length; ++k) {
            if (tests >= budget) return std::nullopt;
            if (across ? occupied(k, i) : occupied(i, k)) return true;
        }
        return false;
    };
    // The span of occupied lines along one axis exceeds limit: certain, not, or unknown.
    auto spanExceeds = [&](std::int64_t count, std::int64_t limit, bool across) {
        if (count <= limit) return false;
        tests = 0;  // each axis has its own budget
        std::int64_t first = 0;
        for (;; ++first) {
            if (first == count) return false;  // no occupied block at all
            const std::optional<bool> hit = lineOccupied(first, across);
            if (!hit) return false;
            if (*hit) break;
        }
        for (std::int64_t last = count - 1; last - first + 1 > limit; --last) {
            const std::optional<bool> hit = lineOccupied(last, across);
            if (!hit) return false;
            if (*hit) return true;
        }
        return false;
    };
    // The axis that overshoots its limit more is the likelier to tell, and cheaper to ask.
    const bool columnsFirst = static_cast<double>(cols) / std::max(maxCols, 1) >
                              static_cast<double>(rows) / std::max(maxRows, 1);
    if (columnsFirst) return spanExceeds(cols, maxCols, true) || spanExceeds(rows, maxRows, false);
    return spanExceeds(rows, maxRows, false) || spanExceeds(cols, maxCols, true);
}

ImageSize checkImageSize(const Part& part, std::int64_t maxCells) {
    const BoundingBox& box = part.bounds();
    const double bs = part.blockSideLength();
    auto count = [&](double extent) {
        const double q = extent / bs;
        const double n = std::trunc(q);
        return q - n > 0.5 ? n + 2 : n + 1;
    };
    ImageSize size;
    size.rows = count(box.maxX - box.minX);
    size.cols = count(box.maxY - box.minY);
    if (!std::isfinite(size.rows) || !std::isfinite(size.cols) || !(bs > 0)) {
        size.verdict = ImageSize::Verdict::notFinite;
    } else if (size.rows * size.cols > static_cast<double>(maxCells) ||
               size.rows > static_cast<double>(kMaxImageSide) ||
               size.cols > static_cast<double>(kMaxImageSide)) {
        size.verdict = ImageSize::Verdict::tooLarge;
    }
    return size;
}

int blockCountFor(double extent, double blockSideLength) {
    const double q = extent / blockSideLength;
    const int n = static_cast<int>(q);
    return q - n > 0.5 ? n + 2 : n + 1;
}

namespace {

struct ImageGrid {
    PartBitmap bitmap;
    std::vector<double> xs;  // block centres along X, by repeated addition from minX
    std::vector<double> ys;  // and along Y from minY
};

ImageGrid startImage(const Part& part) {
    const double bs = part.blockSideLength();
    const BoundingBox& box = part.bounds();
    ImageGrid grid;
    grid.bitmap.rows = blockCountFor(box.maxX - box.minX, bs);
    grid.bitmap.cols = blockCountFor(box.maxY - box.minY, bs);
    grid.bitmap.cells.assign(static_cast<std::size_t>(grid.bitmap.rows) * grid.bitmap.cols, 0);
    grid.bitmap.anchorRow = part.bitmap().anchorRow;
    grid.bitmap.anchorCol = part.bitmap().anchorCol;
    grid.xs = blockCentres(box.minX, bs, static_cast<std::size_t>(grid.bitmap.rows));
    grid.ys = blockCentres(box.minY, bs, static_cast<std::size_t>(grid.bitmap.cols));
    return grid;
}

void finishImage(Part& part, PartBitmap bitmap) {
    const auto first = std::find_if(bitmap.cells.begin(), bitmap.cells.end(),
                                    [](std::uint8_t cell) { return cell != 0; });
    if (first != bitmap.cells.end()) {
        const auto i = static_cast<std::size_t>(first - bitmap.cells.begin());
        bitmap.anchorRow = static_cast<int>(i / static_cast<std::size_t>(bitmap.cols));
        bitmap.anchorCol = static_cast<int>(i % static_cast<std::size_t>(bitmap.cols));
    }
    part.setBitmap(std::move(bitmap));
}

}  // namespace

bool isFinitePose(const Part& part, std::span<const Vertex> vertices) {
    const BoundingBox& box = part.bounds();
    const double bs = part.blockSideLength();
    if (!std::isfinite(bs) || !std::isfinite(box.minX) || !std::isfinite(box.maxX) ||
        !std::isfinite(box.minY) || !std::isfinite(box.maxY)) {
        return false;
    }
    return std::all_of(vertices.begin(), vertices.end(),
                       [](const Vertex& v) { return std::isfinite(v.x) && std::isfinite(v.y); });
}

void pixelizeBySamplingEachBlock(Part& part, const std::vector<Vertex>& vertices) {
    ImageGrid grid = startImage(part);
    PartBitmap& bitmap = grid.bitmap;
    const double h = part.blockSideLength() * 0.5;
    for (int r = 0; r < bitmap.rows; ++r) {
        for (int c = 0; c < bitmap.cols; ++c) {
            const bool occupied =
                blockOccupied(part, vertices, grid.xs[static_cast<std::size_t>(r)],
                              grid.ys[static_cast<std::size_t>(c)], h);
            bitmap.cells[static_cast<std::size_t>(r) * bitmap.cols + c] = occupied ? 1 : 0;
        }
    }
    finishImage(part, std::move(bitmap));
}

void pixelize(Part& part, Console& console) {
    assert(part.blockSideLength() > 0);
    const int vertexCount = part.totalVertexCount();
    std::vector<Vertex> vertices(static_cast<std::size_t>(vertexCount));
    gatherVertices(vertexCount, part, vertices, console);
    if (!isFinitePose(part, vertices)) {
        pixelizeBySamplingEachBlock(part, vertices);
        return;
    }
    // The same sample points and the same closed vertex test as pixelizeBySamplingEachBlock,
    // organised differently: the points of one column share their Y, so each of the column's
    // three lines is crossed with the loops once and swept along X; the block edges grow with
    // the index, so the blocks holding a vertex are found by binary search. A block is
    // occupied when any of its tests passes, whatever the order of the tests.
    ImageGrid grid = startImage(part);
    PartBitmap& bitmap = grid.bitmap;
    const double h = part.blockSideLength() * 0.5;
    std::vector<double> x0s;
    std::vector<double> x1s;
    for (double x : grid.xs) {
        x0s.push_back(x - h);
        x1s.push_back(h + x);
    }
    std::vector<double> y0s;
    std::vector<double> y1s;
    for (double y : grid.ys) {
        y0s.push_back(y - h);
        y1s.push_back(h + y);
    }
    const auto cell = [&](std::size_t r, std::size_t c) -> std::uint8_t& {
        return bitmap.cells[r * static_cast<std::size_t>(bitmap.cols) + c];
    };
    forEachBlockHoldingAVertex(vertices, x0s, x1s, y0s, y1s,
                               [&](std::size_t r, std::size_t c) { cell(r, c) = 1; });
    PartScanLine line(part);
    const std::size_t rows = grid.xs.size();
    std::vector<std::uint8_t> hits(rows);
    auto addHits = [&](const std::vector<double>& xs, std::size_t c) {
        line.containsEach(xs, hits);
        for (std::size_t r = 0; r < rows; ++r) cell(r, c) |= hits[r];
    };
    for (std::size_t c = 0; c < grid.ys.size(); ++c) {
        line.moveTo(grid.ys[c]);
        addHits(grid.xs, c);
        line.moveTo(y0s[c]);
        addHits(x0s, c);
        addHits(x1s, c);
        line.moveTo(y1s[c]);
        addHits(x1s, c);
        addHits(x0s, c);
    }
    finishImage(part, std::move(bitmap));
}

}  // namespace blocknest
