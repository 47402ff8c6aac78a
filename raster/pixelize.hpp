#pragma once  // raster/pixelize.hpp: the block image of a part
#include <algorithm>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "base/console.hpp"
#include "geometry/part.hpp"

namespace blocknest {

// Copies every vertex of the part into out: the outer loop's, then each hole's in list order.
// When the recount differs from expectedCount it warns and waits for a key, then goes on;
// it never writes past out, which holds expectedCount vertices.
void gatherVertices(int expectedCount, const Part& part, std::span<Vertex> out, Console& console);

// Replaces the part's block image with one of its current pose. Blocks have the part's own
// side b and are centred at (minX + r * b, minY + c * b) of its bounds, the centres reached by
// repeated addition. A block is occupied when its centre or a corner lies in the part, or a
// vertex lies in its closed square. The anchor is the first occupied block in row-major
// order; an image without one keeps the old anchor. Needs a positive block side.
void pixelize(Part& part, Console& console);

// The image as pixelize defines it, built block by block with five point tests and a scan of
// vertices (all of the part's, in gathering order) for each block. pixelize uses it where a
// coordinate is not finite; elsewhere it gives the same image faster.
void pixelizeBySamplingEachBlock(Part& part, const std::vector<Vertex>& vertices);

// True when some vertex lies in the closed square [x0, x1] x [y0, y1].
[[nodiscard]] bool anyVertexInSquare(std::span<const Vertex> vertices, double x0, double x1,
                                     double y0, double y1);

// Remembers the images made by pixelize. A part whose loops, bounds, block side and previous
// anchor are bit for bit those of one seen before gets the same image without the point
// tests: copies of one part type in one orientation pixelize alike.
class PixelizeMemo {
public:
    // pixelize, or the image made before for an equal pose.
    void pixelize(Part& part, Console& console);

private:
    struct Entry {
        std::vector<double> pose;
        PartBitmap image;
    };
    static constexpr std::size_t kMaxBytes = 256u << 20;  // bounds the memory held
    std::unordered_map<std::uint64_t, std::vector<Entry>> entries_;
    std::size_t bytes_ = 0;
};

// Calls mark(r, c) for every block whose closed square [x0s[r], x1s[r]] x [y0s[c], y1s[c]]
// holds one of the vertices, each found by binary search: the edge arrays must be sorted
// (they grow with the index), and the vertices and edges finite.
template <class Mark>
void forEachBlockHoldingAVertex(std::span<const Vertex> vertices, const std::vector<double>& x0s,
                                const std::vector<double>& x1s, const std::vector<double>& y0s,
                                const std::vector<double>& y1s, Mark mark) {
    for (const Vertex& v : vertices) {
        const auto rFirst = std::lower_bound(x1s.begin(), x1s.end(), v.x) - x1s.begin();
        const auto rEnd = std::upper_bound(x0s.begin(), x0s.end(), v.x) - x0s.begin();
        const auto cFirst = std::lower_bound(y1s.begin(), y1s.end(), v.y) - y1s.begin();
        const auto cEnd = std::upper_bound(y0s.begin(), y0s.end(), v.y) - y0s.begin();
        for (auto r = rFirst; r < rEnd; ++r) {
            for (auto c = cFirst; c < cEnd; ++c) {
                mark(static_cast<std::size_t>(r), static_cast<std::size_t>(c));
            }
        }
    }
}

// True when the block side, the part's bounds and all the vertices are finite numbers.
[[nodiscard]] bool isFinitePose(const Part& part, std::span<const Vertex> vertices);

// The most blocks one part image may hold: 128 MiB, one byte a block; and the most rows or
// columns, whose block edges pixelize keeps as numbers (6 arrays of 8 bytes each).
inline constexpr std::int64_t kMaxImageCells = std::int64_t{1} << 27;
inline constexpr std::int64_t kMaxImageSide = std::int64_t{1} << 22;

// Whether pixelize can make the image of a part's pose: its block counts are finite and the
// image holds at most maxCells blocks.
struct ImageSize {
    enum class Verdict { fits, notFinite, tooLarge };
    Verdict verdict = Verdict::fits;
    double rows = 0;
    double cols = 0;
};
[[nodiscard]] ImageSize checkImageSize(const Part& part, std::int64_t maxCells = kMaxImageCells);

// True when the occupied blocks of the part's image, from the first occupied row to the last
// (or column), certainly span more than maxRows rows or maxCols columns: such an image fits
// no grid of that size. Tests blocks one by one, by the rule of pixelize, from the edges of
// the image inward, the axis that overshoots more first; false when the spans are within the
// limits, or when finding out would take more than budget block tests along each axis.
[[nodiscard]] bool occupiedSpanExceeds(const Part& part, int maxRows, int maxCols,
                                       std::int64_t budget = 65536);

// Blocks needed along one axis: extent / b truncated, plus 2 when the fraction exceeds 0.5,
// plus 1 otherwise.
[[nodiscard]] int blockCountFor(double extent, double blockSideLength);

}  // namespace blocknest
