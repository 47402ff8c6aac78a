// Outlines drawn again the way CAD exports draw them: split into more pieces, from another
// start, the other way round, a hair off. Each must be found a repeat; an outline that differs
// by more than the distance must not.
#include "input/dxf_repeats.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <variant>

#include "input/dxf_part_reader.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::star;

// The outline drawn again: each edge split at up to two random points, the corners and the
// new points moved by up to `jitter` each way, started at a random corner, run either way.
std::vector<Vertex> redrawn(const std::vector<Vertex>& outline, double jitter,
                            std::mt19937& random) {
    std::uniform_real_distribution<double> unit(0, 1);
    auto nudged = [&](Vertex v) {
        return Vertex{v.x + jitter * (2 * unit(random) - 1), v.y + jitter * (2 * unit(random) - 1)};
    };
    std::vector<Vertex> points;
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const Vertex& a = outline[i];
        const Vertex& b = outline[(i + 1) % outline.size()];
        points.push_back(nudged(a));
        const int splits = static_cast<int>(random() % 3);
        std::vector<double> at;
        for (int k = 0; k < splits; ++k) at.push_back(0.1 + 0.8 * unit(random));
        std::sort(at.begin(), at.end());
        for (const double t : at)
            points.push_back(nudged({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)}));
    }
    std::rotate(points.begin(), points.begin() + static_cast<long>(random() % points.size()),
                points.end());
    if (random() % 2 == 0) std::reverse(points.begin(), points.end());
    return points;
}

TEST(DxfRepeatsTest, AnOutlineDrawnAgainInOtherPiecesIsARepeatAndAnotherIsNot) {
    std::mt19937 random(8);
    const double within = 0.05;
    int split = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const std::vector<Vertex> outline = star(random, 50, 50, 5 + random() % 20, 3 + trial % 9);
        const std::vector<Vertex> again = redrawn(outline, within / 4, random);
        split += again.size() != outline.size();
        // Grown by 2 % about its centre: every corner moves 0.1 or more.
        std::vector<Vertex> grown;
        for (const Vertex& v : outline)
            grown.push_back({50 + 1.02 * (v.x - 50), 50 + 1.02 * (v.y - 50)});
        const std::vector<OutlineView> views{{&outline, true}, {&again, true}, {&grown, true}};
        const std::vector<std::size_t> repeats = findRepeats(views, within);
        EXPECT_EQ(repeats[0], kNoRepeat) << "trial " << trial;
        EXPECT_EQ(repeats[1], 0u) << "trial " << trial << ": " << outline.size()
                                  << " corners drawn again as " << again.size();
        EXPECT_EQ(repeats[2], kNoRepeat) << "trial " << trial << ": the grown outline";
        // Open, the same outline drawn again is a repeat run either way; closed and open differ.
        const std::vector<Vertex> reversed(outline.rbegin(), outline.rend());
        const std::vector<OutlineView> open{
            {&outline, false}, {&reversed, false}, {&outline, true}};
        const std::vector<std::size_t> openRepeats = findRepeats(open, within);
        EXPECT_EQ(openRepeats[1], 0u) << "trial " << trial;
        EXPECT_EQ(openRepeats[2], kNoRepeat) << "trial " << trial;
    }
    EXPECT_GT(split, 250);
}

// A square of LINEs drawn again as eight LINEs split at the middles of its edges (and once
// more as a polyline from another corner, the other way round): one part, the square, with a
// warning, not a square with itself as its hole.
TEST(DxfRepeatsTest, ASquareDrawnAgainInHalvesReadsAsOneSquare) {
    auto line = [](double x0, double y0, double x1, double y1) {
        std::ostringstream text;
        text << "0\nLINE\n8\n0\n10\n"
             << x0 << "\n20\n"
             << y0 << "\n11\n"
             << x1 << "\n21\n"
             << y1 << "\n";
        return text.str();
    };
    const double corners[4][2] = {{0, 0}, {40, 0}, {40, 40}, {0, 40}};
    for (const bool polyline : {false, true}) {
        std::string dxf = "0\nSECTION\n2\nENTITIES\n";
        for (int i = 0; i < 4; ++i) {
            const auto& a = corners[i];
            const auto& b = corners[(i + 1) % 4];
            dxf += line(a[0], a[1], b[0], b[1]);
        }
        for (int i = 0; i < 4; ++i) {
            const auto& a = corners[i];
            const auto& b = corners[(i + 1) % 4];
            const double mx = (a[0] + b[0]) / 2, my = (a[1] + b[1]) / 2;
            dxf += line(a[0], a[1], mx, my) + line(mx, my, b[0], b[1]);
        }
        if (polyline) {
            dxf +=
                "0\nLWPOLYLINE\n8\n0\n90\n6\n70\n1\n10\n40\n20\n40\n10\n40\n20\n20\n10\n40\n"
                "20\n0\n10\n0\n20\n0\n10\n0\n20\n40\n10\n20\n20\n40\n";
        }
        dxf += "0\nENDSEC\n0\nEOF\n";
        std::istringstream in(dxf);
        auto result = readDxfPartData(in, "square.dxf");
        ASSERT_TRUE(std::holds_alternative<DxfPartsContents>(result))
            << std::get<InputError>(result).detail;
        const DxfPartsContents& contents = std::get<DxfPartsContents>(result);
        ASSERT_EQ(contents.parts.count(), 1u) << "polyline " << polyline;
        EXPECT_EQ(contents.parts.front().innerLoops().count(), 0u) << "polyline " << polyline;
        EXPECT_DOUBLE_EQ(contents.parts.front().netArea(), 1600) << "polyline " << polyline;
        EXPECT_FALSE(contents.warnings.empty()) << "the second drawing is named";
    }
}

}  // namespace
}  // namespace blocknest
