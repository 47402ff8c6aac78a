#include "input/dxf_contours.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace blocknest {
namespace {

Contour square(double cx, double cy, double half, const std::string& label) {
    return Contour{{{cx - half, cy - half},
                    {cx + half, cy - half},
                    {cx + half, cy + half},
                    {cx - half, cy + half}},
                   {label},
                   "L" + label,
                   "",
                   {},
                   {}};
}

// Groups of concentric squares, 1 to 5 deep, in random order: a group of depth d gives
// ceil(d / 2) parts, the outermost and every second one inside it, each holding the next
// square as its hole (the innermost part of an even depth has one, of an odd depth none).
TEST(DxfContoursTest, NestedContoursAlternateBetweenPartsAndHoles) {
    std::mt19937 random(99);
    for (int round = 0; round < 20; ++round) {
        std::vector<Contour> contours;
        int expectedParts = 0, expectedHoles = 0;
        for (int g = 0; g < 30; ++g) {
            const int depth = 1 + static_cast<int>(random() % 5);
            expectedParts += (depth + 1) / 2;
            expectedHoles += depth / 2;
            const double cx = (g % 6) * 30.0 + (random() % 7), cy = (g / 6) * 30.0;
            for (int d = 0; d < depth; ++d)
                contours.push_back(square(cx, cy, 10 - 2 * d, std::to_string(depth - d)));
        }
        std::shuffle(contours.begin(), contours.end(), random);
        std::vector<std::string> warnings;
        contours = keepSoundContours(std::move(contours), "t.dxf", warnings);
        EXPECT_TRUE(warnings.empty());
        const PartList parts = assembleParts(contours, "none", 0.05, 1 << 16).parts;
        EXPECT_EQ(static_cast<int>(parts.count()), expectedParts);
        int holes = 0;
        for (const Part& part : parts) {
            // The label counts the squares from the innermost; a part's hole is the next one.
            const int level = std::stoi(part.name().substr(1));
            const double half = part.outerLoop().bounds().maxX - part.outerLoop().bounds().minX;
            holes += static_cast<int>(part.innerLoops().count());
            for (const Loop& hole : part.innerLoops())
                EXPECT_DOUBLE_EQ(hole.bounds().maxX - hole.bounds().minX, half - 4);
            EXPECT_EQ(part.innerLoops().count(), level > 1 ? 1u : 0u);
        }
        EXPECT_EQ(holes, expectedHoles);
    }
}

}  // namespace
}  // namespace blocknest
