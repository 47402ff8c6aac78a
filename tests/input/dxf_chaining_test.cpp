#include "input/dxf_chaining.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "geometry/curve_loop.hpp"

namespace blocknest {
namespace {

constexpr double kPi = std::numbers::pi;

Piece line(const Vertex& a, const Vertex& b, const std::string& label) {
    return Piece{{a, b}, false, label, "0", "", {}, {}};
}

// Random star outlines far apart, cut into LINEs listed in random order and direction, with
// every joint's two ends up to 0.9 x the join distance apart (the nearest other end is many
// join distances away): every outline must come back closed, made of all of its lines.
TEST(DxfChainingTest, OutlinesCutIntoLinesWithJointsMovedWithinTheJoinDistanceAllClose) {
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> unit(0, 1);
    for (const double join : {0.05, 0.001, 2.0}) {
        for (int round = 0; round < 20; ++round) {
            std::vector<Piece> pieces;
            std::vector<int> corners;
            for (int k = 0; k < 12; ++k) {
                const double cx = (k % 4) * 300 * join + 0.37 * join;
                const double cy = (k / 4) * 300 * join - 1234.5 * join;
                const int n = 3 + static_cast<int>(unit(random) * 20);
                corners.push_back(n);
                std::vector<Vertex> outline;
                for (int i = 0; i < n; ++i) {
                    const double a = (i + 0.4 * unit(random)) * 2 * kPi / n;
                    const double r = (40 + 60 * unit(random)) * join;
                    outline.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
                }
                for (int i = 0; i < n; ++i) {
                    // The start of each line is moved off the joint it shares with the last.
                    const double a = unit(random) * 2 * kPi, d = 0.9 * join * unit(random);
                    const Vertex start{outline[i].x + d * std::cos(a),
                                       outline[i].y + d * std::sin(a)};
                    const Vertex& end = outline[(i + 1) % n];
                    const std::string label = "L" + std::to_string(k) + "/" + std::to_string(i);
                    pieces.push_back(random() % 2 ? line(start, end, label)
                                                  : line(end, start, label));
                }
            }
            std::shuffle(pieces.begin(), pieces.end(), random);
            std::vector<std::string> warnings;
            const std::vector<Contour> contours = chainPieces(pieces, join, "t.dxf", warnings);
            EXPECT_TRUE(warnings.empty()) << warnings.front();
            ASSERT_EQ(contours.size(), corners.size()) << "join " << join << " round " << round;
            for (const Contour& c : contours) {
                const int k = std::stoi(c.labels.front().substr(1));
                EXPECT_EQ(c.labels.size(), static_cast<std::size_t>(corners[k]));
                for (const std::string& label : c.labels)
                    EXPECT_EQ(std::stoi(label.substr(1)), k) << "lines of two outlines joined";
            }
        }
    }
}

// Outlines of lines and arcs (bulges out and in), cut into one piece per edge, listed in random
// order and direction (an arc drawn backwards bends the other way): each chain keeps the
// outline as drawn, the area its arcs enclose unchanged; an outline of lines keeps no path.
TEST(DxfChainingTest, ChainsKeepTheArcsOfTheirPiecesWhateverTheirOrderAndDirection) {
    std::mt19937 random(19);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int round = 0; round < 30; ++round) {
        std::vector<Piece> pieces;
        std::vector<double> areas;
        for (int k = 0; k < 6; ++k) {
            const double cx = k * 100.0, r = 10 + 30 * unit(random);
            const int n = 3 + static_cast<int>(unit(random) * 6);
            const bool straight = k == 5;
            CurveLoop loop;
            for (int i = 0; i < n; ++i) {
                const double a = (i + 0.3 * unit(random)) * 2 * kPi / n;
                loop.corners.push_back({cx + r * std::cos(a), r * std::sin(a)});
                loop.bulges.push_back(straight || unit(random) < 0.3 ? 0
                                                                     : -0.2 + 0.7 * unit(random));
            }
            areas.push_back(std::fabs(signedArea(loop)));
            for (int i = 0; i < n; ++i) {
                const Vertex& a = loop.corners[i];
                const Vertex& b = loop.corners[(i + 1) % n];
                const double bulge = loop.bulges[i];
                Piece piece = line(a, b, "L" + std::to_string(k));
                if (bulge != 0) piece.corners = {a, b}, piece.bulges = {bulge};
                if (random() % 2) {
                    std::swap(piece.points.front(), piece.points.back());
                    if (bulge != 0) piece.corners = {b, a}, piece.bulges = {-bulge};
                }
                pieces.push_back(std::move(piece));
            }
        }
        std::shuffle(pieces.begin(), pieces.end(), random);
        std::vector<std::string> warnings;
        const std::vector<Contour> contours = chainPieces(pieces, 0.05, "t.dxf", warnings);
        EXPECT_TRUE(warnings.empty());
        ASSERT_EQ(contours.size(), areas.size());
        for (const Contour& c : contours) {
            const int k = std::stoi(c.labels.front().substr(1));
            if (k == 5) {
                EXPECT_TRUE(c.corners.empty()) << "round " << round;
                continue;
            }
            ASSERT_EQ(c.corners.size(), c.labels.size()) << "round " << round;
            ASSERT_EQ(c.bulges.size(), c.corners.size());
            EXPECT_NEAR(std::fabs(signedArea(CurveLoop{c.corners, c.bulges})), areas[k],
                        1e-9 * areas[k])
                << "round " << round << ", outline " << k;
        }
    }
}

// Squares that touch corner to corner, each drawn as four LINEs one after the other: at each
// shared corner the ends of both squares lie equally near, and each square must close on its
// own lines.
TEST(DxfChainingTest, OutlinesTouchingAtACornerDrawnOneAfterTheOtherStaySeparate) {
    std::vector<Piece> pieces;
    const int count = 5;
    for (int k = 0; k < count; ++k) {
        const double x = 10.0 * k, y = 10.0 * k;
        const std::vector<Vertex> c = {{x, y}, {x + 10, y}, {x + 10, y + 10}, {x, y + 10}};
        for (int i = 0; i < 4; ++i)
            pieces.push_back(line(c[i], c[(i + 1) % 4], "S" + std::to_string(k)));
    }
    std::vector<std::string> warnings;
    const std::vector<Contour> contours = chainPieces(pieces, 0.05, "t.dxf", warnings);
    EXPECT_TRUE(warnings.empty());
    ASSERT_EQ(contours.size(), static_cast<std::size_t>(count));
    for (const Contour& c : contours) {
        EXPECT_EQ(c.points.size(), 4u);
        EXPECT_EQ(std::count(c.labels.begin(), c.labels.end(), c.labels.front()), 4);
    }
}

}  // namespace
}  // namespace blocknest
