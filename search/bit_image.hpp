#pragma once  // search/bit_image.hpp: conservative block images of parts and their shared cells
#include <cstdint>
#include <vector>

#include "geometry/part.hpp"

namespace blocknest {

// A part's cover on a grid of square cells of side `side`: a cell is set when the part's
// outline or inside comes within a small margin of it, so two images that share no cell
// belong to parts that neither overlap nor touch. A cell wholly inside a hole stays clear, so
// another part may lie there. Columns run along X; each column is `words` 64-bit words, bit k
// of word w being row 64 w + k. The part, moved by (shiftX, shiftY), lies in the image with
// cell (0, 0)'s lower left corner at the origin, a little inside its first column and row.
struct BitImage {
    int columns = 0;
    int rows = 0;
    int words = 0;
    std::vector<std::uint64_t> bits;
    std::int64_t cells = 0;  // set cells
    double shiftX = 0;
    double shiftY = 0;

    const std::uint64_t* column(int x) const {
        return &bits[static_cast<std::size_t>(x) * static_cast<std::size_t>(words)];
    }
    bool at(int x, int y) const { return (column(x)[y >> 6] >> (y & 63)) & 1U; }
};

// The image of the part in its present pose on cells of the given side (> 0).
[[nodiscard]] BitImage makeBitImage(const Part& part, double side);

// The set cells that a at cell (ax, ay) and b at (bx, by) have in common.
[[nodiscard]] std::int64_t sharedCells(const BitImage& a, int ax, int ay, const BitImage& b, int bx,
                                       int by);

}  // namespace blocknest
