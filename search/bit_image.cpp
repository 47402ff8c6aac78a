#include "search/bit_image.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

namespace blocknest {
namespace {

// How near a cell the outline must come to take it, and how far inside its first column and
// row the part lies, as fractions of the cell side: enough that rounding cannot bring two
// parts in cells apart into contact.
constexpr double kMargin = 1e-3;
constexpr double kInset = 2e-3;

void setRows(BitImage& image, int x, int from, int to) {
    from = std::max(from, 0);
    to = std::min(to, image.rows - 1);
    std::uint64_t* column =
        &image.bits[static_cast<std::size_t>(x) * static_cast<std::size_t>(image.words)];
    for (int y = from; y <= to; ++y) column[y >> 6] |= std::uint64_t{1} << (y & 63);
}

template <class Visit>
void forEachEdge(const Part& part, Visit visit) {
    auto loop = [&](const Loop& l) {
        const std::vector<Vertex>& v = l.vertices();
        for (std::size_t i = 0; i < v.size(); ++i) visit(v[i], v[i + 1 == v.size() ? 0 : i + 1]);
    };
    loop(part.outerLoop());
    for (const Loop& hole : part.innerLoops()) loop(hole);
}

// 64 bits of a column from row `start` on; rows outside the column read as clear.
[[gnu::always_inline]] inline std::uint64_t bitsFrom(const std::uint64_t* column, int words,
                                                     int start) {
    const int q = start >= 0 ? start / 64 : -((63 - start) / 64);
    const int r = start - 64 * q;
    const std::uint64_t low = q >= 0 && q < words ? column[q] : 0;
    if (r == 0) return low;
    const std::uint64_t high = q + 1 >= 0 && q + 1 < words ? column[q + 1] : 0;
    return (low >> r) | (high << (64 - r));
}

}  // namespace

BitImage makeBitImage(const Part& part, double side) {
    BitImage image;
    const BoundingBox& box = part.bounds();
    const double margin = side * kMargin;
    const double inset = side * kInset;
    image.shiftX = inset - box.minX;
    image.shiftY = inset - box.minY;
    image.columns = static_cast<int>(std::floor((box.maxX - box.minX + inset + margin) / side)) + 1;
    image.rows = static_cast<int>(std::floor((box.maxY - box.minY + inset + margin) / side)) + 1;
    image.words = (image.rows + 63) / 64;
    image.bits.assign(
        static_cast<std::size_t>(image.columns) * static_cast<std::size_t>(image.words), 0);
    const double sx = image.shiftX;
    const double sy = image.shiftY;

    // Every cell an edge comes within the margin of, column by column.
    forEachEdge(part, [&](const Vertex& a, const Vertex& b) {
        const double ax = a.x + sx, ay = a.y + sy, bx = b.x + sx, by = b.y + sy;
        const double lowX = std::min(ax, bx);
        const double highX = std::max(ax, bx);
        const int first = std::max(0, static_cast<int>(std::floor((lowX - margin) / side)));
        const int last =
            std::min(image.columns - 1, static_cast<int>(std::floor((highX + margin) / side)));
        for (int x = first; x <= last; ++x) {
            const double from = std::max(lowX, x * side - margin);
            const double to = std::min(highX, (x + 1) * side + margin);
            double y0 = ay;
            double y1 = by;
            if (ax != bx) {
                y0 = ay + (from - ax) * (by - ay) / (bx - ax);
                y1 = ay + (to - ax) * (by - ay) / (bx - ax);
            }
            const double low = std::min(y0, y1) - margin;
            const double high = std::max(y0, y1) + margin;
            setRows(image, x, static_cast<int>(std::floor(low / side)),
                    static_cast<int>(std::floor(high / side)));
        }
    });

    // A cell no edge comes near lies wholly inside or wholly outside: its centre tells which,
    // by the crossings of the column's centre line with every loop (holes clear their cells).
    std::vector<double> crossings;
    for (int x = 0; x < image.columns; ++x) {
        const double cx = (x + 0.5) * side;
        crossings.clear();
        forEachEdge(part, [&](const Vertex& a, const Vertex& b) {
            const double ax = a.x + sx, bx = b.x + sx;
            if ((ax <= cx) == (bx <= cx)) return;
            const double ay = a.y + sy, by = b.y + sy;
            crossings.push_back(ay + (cx - ax) * (by - ay) / (bx - ax));
        });
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
            setRows(image, x, static_cast<int>(std::ceil(crossings[i] / side - 0.5)),
                    static_cast<int>(std::floor(crossings[i + 1] / side - 0.5)));
        }
    }
    for (const std::uint64_t word : image.bits) image.cells += std::popcount(word);

    return image;
}

namespace {

// The count of shared cells, written once and compiled twice: for processors with a population
// count instruction and for those without. Both give the same whole numbers.
[[gnu::always_inline]] inline std::int64_t countShared(const BitImage& a, int ax, int ay,
                                                       const BitImage& b, int bx, int by) {
    const int x0 = std::max(ax, bx);
    const int x1 = std::min(ax + a.columns, bx + b.columns);
    const int y0 = std::max(ay, by);
    const int y1 = std::min(ay + a.rows, by + b.rows);
    if (x0 >= x1 || y0 >= y1) return 0;
    // a's words that hold the rows both images cover; b's bits read in a's word frame.
    const int firstWord = (y0 - ay) >> 6;
    const int lastWord = (y1 - 1 - ay) >> 6;
    const int offset = ay - by;
    std::int64_t shared = 0;
    for (int x = x0; x < x1; ++x) {
        const std::uint64_t* ca = a.column(x - ax);
        const std::uint64_t* cb = b.column(x - bx);
        for (int w = firstWord; w <= lastWord; ++w) {
            const std::uint64_t wa = ca[w];
            if (wa == 0) continue;
            shared += __builtin_popcountll(wa & bitsFrom(cb, b.words, 64 * w + offset));
        }
    }
    return shared;
}

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("popcnt")]] std::int64_t countSharedFast(const BitImage& a, int ax, int ay,
                                                       const BitImage& b, int bx, int by) {
    return countShared(a, ax, ay, b, bx, by);
}
const bool kHasPopcount = __builtin_cpu_supports("popcnt");
#endif

}  // namespace

std::int64_t sharedCells(const BitImage& a, int ax, int ay, const BitImage& b, int bx, int by) {
#if defined(__x86_64__) || defined(__i386__)
    if (kHasPopcount) return countSharedFast(a, ax, ay, b, bx, by);
#endif
    return countShared(a, ax, ay, b, bx, by);
}

}  // namespace blocknest
