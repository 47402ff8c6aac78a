// A drawn sheet's curves are obstacles held from outside: no part placed on it reaches into a
// round defect or beyond an arc of the outline, checked against the true circles with geometry
// of the test's own.
#include "stock/sheet_drawing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "job/job.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

constexpr double kSide = 10;

// The corners of every placed square of side kSide.
std::vector<std::vector<Vertex>> placedSquares(const JobResult& result) {
    std::vector<std::vector<Vertex>> squares;
    for (const PartPlacement& p : result.placements) {
        const double turn = p.rotation * std::acos(-1.0) / 180;
        std::vector<Vertex> corners;
        for (const auto& [x, y] : {std::pair{0.0, 0.0}, std::pair{kSide, 0.0},
                                   std::pair{kSide, kSide}, std::pair{0.0, kSide}}) {
            corners.push_back({x * std::cos(turn) - y * std::sin(turn) + p.x,
                               x * std::sin(turn) + y * std::cos(turn) + p.y});
        }
        squares.push_back(corners);
    }
    return squares;
}

// The least distance from a point to a convex polygon's area (0 inside).
double distanceTo(const Vertex& c, const std::vector<Vertex>& polygon) {
    bool inside = true;
    double least = 1e300;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const Vertex& a = polygon[i];
        const Vertex& b = polygon[(i + 1) % polygon.size()];
        const double cross = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        if (cross < 0) inside = false;
        const double dx = b.x - a.x;
        const double dy = b.y - a.y;
        const double t =
            std::clamp(((c.x - a.x) * dx + (c.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        least = std::min(least, std::hypot(a.x + t * dx - c.x, a.y + t * dy - c.y));
    }
    return inside ? 0 : least;
}

JobResult packSquares(const std::filesystem::path& sheet, int copies) {
    JobDescription job;
    job.sheetDxf = sheet.string();
    PartShape square;
    square.name = "square";
    square.outer = {{0, 0}, {kSide, 0}, {kSide, kSide}, {0, kSide}};
    square.copies = copies;
    job.parts.push_back(square);
    job.rotations = 4;
    job.writeLayout = false;
    job.outputDir = sheet.parent_path().string();
    job.quiet = true;
    SilentConsole console;
    return runJob(job, console);
}

TEST(SheetDrawingTest, RoundDefectsAndArcsOfTheOutlineAreHeldFromOutside) {
    TempDir dir;
    // A 400 x 300 sheet with a defect of radius 60 at (200, 150), and squares enough to crowd
    // around it.
    const auto defect = dir.write(
        "defect.dxf",
        "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n8\n0\n90\n4\n70\n1\n10\n0\n20\n0\n10\n400\n20\n"
        "0\n10\n400\n20\n300\n10\n0\n20\n300\n0\nCIRCLE\n8\n0\n10\n200\n20\n150\n40\n60\n"
        "0\nENDSEC\n0\nEOF\n");
    const JobResult around = packSquares(defect, 1000);
    ASSERT_EQ(around.exitCode, 0);
    ASSERT_GT(around.placements.size(), 500u);
    int touching = 0;
    for (const std::vector<Vertex>& square : placedSquares(around)) {
        const double distance = distanceTo({200, 150}, square);
        EXPECT_GE(distance, 60 - 1e-9)
            << "a square reaches " << 60 - distance << " into the defect";
        touching += distance < 62;
    }
    EXPECT_GT(touching, 10) << "the squares crowd the defect";
    // A D: a 300 x 200 rectangle whose right side is a half circle of radius 100 bulging out.
    const auto rounded = dir.write(
        "rounded.dxf",
        "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n8\n0\n90\n4\n70\n1\n10\n0\n20\n0\n10\n300\n20\n"
        "0\n42\n1\n10\n300\n20\n200\n10\n0\n20\n200\n0\nENDSEC\n0\nEOF\n");
    const JobResult inside = packSquares(rounded, 1000);
    ASSERT_EQ(inside.exitCode, 0);
    int inTheHalfCircle = 0;
    for (const std::vector<Vertex>& square : placedSquares(inside)) {
        for (const Vertex& v : square) {
            if (v.x <= 300) continue;
            ++inTheHalfCircle;
            EXPECT_LE(std::hypot(v.x - 300, v.y - 100), 100 + 1e-9)
                << "a corner at (" << v.x << ", " << v.y << ") lies beyond the arc";
        }
    }
    EXPECT_GT(inTheHalfCircle, 100) << "the squares fill the half circle too";
}

}  // namespace
}  // namespace blocknest
