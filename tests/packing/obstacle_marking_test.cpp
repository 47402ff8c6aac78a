#include <gtest/gtest.h>

#include <random>

#include "packing/sheet_marking.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// The checker's own geometry: a closed square against a polygon's material (outer ring less
// holes), by corners inside, vertices inside the square, and edges crossing.
bool segmentsMeet(Vertex p, Vertex q, Vertex r, Vertex s) {
    auto cross = [](Vertex o, Vertex a, Vertex b) {
        return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
    };
    const double d1 = cross(r, s, p);
    const double d2 = cross(r, s, q);
    const double d3 = cross(p, q, r);
    const double d4 = cross(p, q, s);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) {
        return true;
    }
    auto onSegment = [](Vertex a, Vertex b, Vertex c) {
        return std::min(a.x, b.x) <= c.x && c.x <= std::max(a.x, b.x) &&
               std::min(a.y, b.y) <= c.y && c.y <= std::max(a.y, b.y);
    };
    return (d1 == 0 && onSegment(r, s, p)) || (d2 == 0 && onSegment(r, s, q)) ||
           (d3 == 0 && onSegment(p, q, r)) || (d4 == 0 && onSegment(p, q, s));
}

bool insideRing(Vertex p, const std::vector<Vertex>& ring) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        if ((ring[i].y > p.y) != (ring[j].y > p.y) &&
            p.x <
                (ring[j].x - ring[i].x) * (p.y - ring[i].y) / (ring[j].y - ring[i].y) + ring[i].x) {
            inside = !inside;
        }
    }
    return inside;
}

bool squareMeets(double x0, double y0, double x1, double y1, const Part& part) {
    std::vector<std::vector<Vertex>> rings{part.outerLoop().vertices()};
    for (const Loop& hole : part.innerLoops()) rings.push_back(hole.vertices());
    const Vertex corners[] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (const Vertex& c : corners) {
        bool in = insideRing(c, rings[0]);
        for (std::size_t h = 1; h < rings.size(); ++h) in = in && !insideRing(c, rings[h]);
        if (in) return true;
    }
    for (const auto& ring : rings) {
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const Vertex& p = ring[i];
            const Vertex& q = ring[(i + 1) % ring.size()];
            if (p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1) return true;
            for (int k = 0; k < 4; ++k) {
                if (segmentsMeet(p, q, corners[k], corners[(k + 1) % 4])) return true;
            }
        }
    }
    return false;
}

// Thin slivers cross blocks without a corner or a vertex in them; the outline's outside
// reaches into the sheet in narrow notches. Every block such an obstacle touches is taken,
// and every block it stays clear of is free.
TEST(ObstacleMarkingTest, TakesExactlyTheBlocksTheObstaclesTouch) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int trial = 0; trial < 20; ++trial) {
        Sheet sheet;
        sheet.length = 60;
        sheet.width = 40;
        sheet.blockSideLength = 2 + unit(random) * 2;
        sheet.bitmap = buildSheetBitmap(sheet.length, sheet.width, sheet.blockSideLength);
        const SheetBitmap frame = sheet.bitmap;
        // A narrow notch into the outline from its top edge, and a sliver defect.
        const double nx = 10 + 40 * unit(random);
        const double w = 0.05 + 0.3 * unit(random);
        LoopList outline;
        outline.pushBack(makeLoop({{0, 0},
                                   {60, 0},
                                   {60, 40},
                                   {nx + w, 40},
                                   {nx + 3, 20 + 10 * unit(random)},
                                   {nx, 40},
                                   {0, 40}}));
        sheet.outside = makeOutsidePart(outline, sheet.length, sheet.width);
        const Vertex a{5 + 20 * unit(random), 5 + 30 * unit(random)};
        const Vertex b{30 + 25 * unit(random), 5 + 30 * unit(random)};
        sheet.defects.push_back(makePart("sliver", {a, b, {b.x + w, b.y + w}}));
        markObstaclesOnSheet(sheet);
        const double bs = sheet.blockSideLength;
        int taken = 0;
        for (int r = 0; r < sheet.bitmap.rows(); ++r) {
            for (int c = 0; c < sheet.bitmap.cols(); ++c) {
                if (frame.at(r, c) == 1) continue;
                const double x0 = r * bs - bs / 2;
                const double y0 = c * bs - bs / 2;
                const bool touches = squareMeets(x0, y0, x0 + bs, y0 + bs, *sheet.outside) ||
                                     squareMeets(x0, y0, x0 + bs, y0 + bs, sheet.defects[0]);
                const double hair = 1e-7;
                const bool near = squareMeets(x0 - hair, y0 - hair, x0 + bs + hair, y0 + bs + hair,
                                              *sheet.outside) ||
                                  squareMeets(x0 - hair, y0 - hair, x0 + bs + hair, y0 + bs + hair,
                                              sheet.defects[0]);
                if (touches) {
                    EXPECT_EQ(sheet.bitmap.at(r, c), 1)
                        << "trial " << trial << " block " << r << "," << c
                        << " touches an obstacle but is free";
                } else if (!near) {
                    EXPECT_EQ(sheet.bitmap.at(r, c), 0)
                        << "trial " << trial << " block " << r << "," << c << " is clear but taken";
                }
                taken += sheet.bitmap.at(r, c);
            }
        }
        EXPECT_GT(taken, 0);
    }
}

}  // namespace
}  // namespace blocknest
