// Rectangles inside parts: every one found lies inside the material (checked by sampling
// points against the outline and holes), and a part made of a rectangle gives itself.
#include "packing/part_cores.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::makePart;

// Crossing-number test on one closed polygon.
bool insidePolygon(const std::vector<Vertex>& v, double x, double y) {
    bool inside = false;
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
        if ((v[i].y > y) != (v[j].y > y) &&
            x < (v[j].x - v[i].x) * (y - v[i].y) / (v[j].y - v[i].y) + v[i].x) {
            inside = !inside;
        }
    }
    return inside;
}

// A rectangle of the list fits somewhere inside: try it at each grid corner of the outline's
// coordinates and sample its points.
bool fitsInside(const CoreRectangle& r, const std::vector<Vertex>& outline,
                const std::vector<Vertex>& hole) {
    std::vector<double> xs;
    std::vector<double> ys;
    for (const auto* loop : {&outline, &hole}) {
        for (const Vertex& v : *loop) {
            xs.push_back(v.x);
            xs.push_back(v.x - r.length);
            ys.push_back(v.y);
            ys.push_back(v.y - r.width);
        }
    }
    for (const double x0 : xs) {
        for (const double y0 : ys) {
            bool all = true;
            for (int i = 0; i <= 20 && all; ++i) {
                for (int j = 0; j <= 20 && all; ++j) {
                    const double x = x0 + r.length * (0.001 + 0.998 * i / 20);
                    const double y = y0 + r.width * (0.001 + 0.998 * j / 20);
                    all = insidePolygon(outline, x, y) &&
                          (hole.empty() || !insidePolygon(hole, x, y));
                }
            }
            if (all) return true;
        }
    }
    return false;
}

TEST(PartCoresTest, EveryRectangleFoundLiesInsideRandomStarsAndRings) {
    std::mt19937 random(9);
    std::uniform_real_distribution<double> radius(0.4, 1.0);
    int found = 0;
    for (int shape = 0; shape < 40; ++shape) {
        const int corners = 5 + shape % 9;
        std::vector<Vertex> outline;
        for (int k = 0; k < corners; ++k) {
            const double angle = 2 * M_PI * k / corners;
            const double r = 10 * radius(random);
            outline.push_back({r * std::cos(angle), r * std::sin(angle)});
        }
        std::vector<Vertex> hole;
        std::vector<std::vector<Vertex>> holes;
        if (shape % 3 == 0) {
            hole = {{-1, -1}, {1, -1.5}, {1.5, 1}, {-1, 1}};
            holes.push_back(hole);
        }
        const Part part = makePart("S", outline, holes);
        const std::vector<CoreRectangle> cores = findCoreRectangles(part);
        for (std::size_t k = 0; k < cores.size(); ++k) {
            ASSERT_TRUE(fitsInside(cores[k], outline, hole))
                << "shape " << shape << ": " << cores[k].length << " x " << cores[k].width;
            if (k > 0) {
                EXPECT_LT(cores[k].width, cores[k - 1].width);
                EXPECT_GT(cores[k].length, cores[k - 1].length);
            }
            ++found;
        }
    }
    EXPECT_GT(found, 80);
}

TEST(PartCoresTest, RectanglesGiveThemselvesAndAnLShapeItsTwoArms) {
    const std::vector<CoreRectangle> box =
        findCoreRectangles(makePart("Box", {{0, 0}, {60, 0}, {60, 30}, {0, 30}}));
    ASSERT_EQ(box.size(), 1u);
    EXPECT_NEAR(box[0].length, 60, 1e-4);
    EXPECT_NEAR(box[0].width, 30, 1e-4);
    EXPECT_LT(box[0].length, 60);
    const std::vector<CoreRectangle> ell =
        findCoreRectangles(makePart("L", {{0, 0}, {50, 0}, {50, 10}, {10, 10}, {10, 40}, {0, 40}}));
    ASSERT_EQ(ell.size(), 2u);
    EXPECT_NEAR(ell[0].width, 40, 1e-4);
    EXPECT_NEAR(ell[0].length, 10, 1e-4);
    EXPECT_NEAR(ell[1].width, 10, 1e-4);
    EXPECT_NEAR(ell[1].length, 50, 1e-4);
}

}  // namespace
}  // namespace blocknest
