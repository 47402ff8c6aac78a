#pragma once  // raster/pixelize.hpp: the block image of a part
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "geometry/console.hpp"
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

// Blocks needed along one axis: extent / b truncated, plus 2 when the fraction exceeds 0.5,
// plus 1 otherwise.
[[nodiscard]] int blockCountFor(double extent, double blockSideLength);

}  // namespace blocknest
