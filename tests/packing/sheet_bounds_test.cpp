// The least number of sheets a job can take: never above what a real run uses (random jobs of
// rectangles through the program), and as high as the parts that cannot share a sheet.
#include "packing/sheet_bounds.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "packing/sheets.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

std::vector<Vertex> box(double w, double h) { return {{0, 0}, {w, 0}, {w, h}, {0, h}}; }

int figureAfter(const std::string& text, const std::string& label) {
    const std::string value = textAfter(text, label, " )\n");
    return value.empty() ? -1 : std::stoi(value);
}

// Whatever the rectangles, the bound shown never exceeds the sheets the run uses; jobs made of
// parts larger than half the sheet both ways take exactly one sheet each and say so.
TEST(SheetBoundsTest, NeverAboveTheSheetsUsedAndExactForPartsThatCannotShare) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> side(0.15, 1.0);
    for (int job = 0; job < 24; ++job) {
        TempDir dir;
        const bool allLarge = job % 3 == 0;
        const int kinds = 1 + job % 3;
        int large = 0;
        std::string text = partFileHeader(100, 50);
        for (int k = 0; k < kinds; ++k) {
            double w = 100 * side(random);
            double h = 50 * side(random);
            if (allLarge) {
                w = 50.5 + 49 * side(random);
                h = 25.5 + 24 * side(random);
            }
            const int copies = 1 + (job + k) % 3;
            text += partBlock("R" + std::to_string(k), copies, box(w, h));
            large += allLarge ? copies : 0;
        }
        const std::string rotations = job % 2 == 0 ? "2" : "4";
        const RunResult run = runBlocknestBinary({"--no-pause", "-q", "-r", rotations, "--sheets",
                                                  "0", dir.write("parts.txt", text).string()},
                                                 dir.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string report = readFile(dir.path() / "Results.txt");
        const int used = figureAfter(report, "Sheets used:");
        const int atLeast = figureAfter(report, "(at least ");
        ASSERT_GE(used, 0) << report;
        EXPECT_LE(atLeast, used) << "job " << job << ":\n" << text << report;
        if (allLarge) {
            EXPECT_EQ(atLeast, large) << "job " << job;
            EXPECT_EQ(used, large) << "job " << job;
        }
    }
}

// Exactly half the sheet is not more than half: two such parts share a sheet. A turn in which
// a part does not fit does not count, and a turn that is no quarter turn makes no claim.
TEST(SheetBoundsTest, HalvesTurnsAndShapes) {
    PartList parts;
    parts.pushBack(makePart("Half", box(50, 25)));
    parts.pushBack(makePart("Large", box(60, 30)));
    parts.pushBack(makePart("Narrow", box(60, 20)));
    parts.pushBack(makePart("Ring", box(60, 30), {{{10, 10}, {10, 20}, {20, 20}, {20, 10}}}));
    parts.pushBack(makePart("Triangle", {{0, 0}, {90, 0}, {0, 45}}));
    parts.pushBack(makePart("Just", box(51, 26)));
    EXPECT_EQ(partsNeedingOwnSheet(parts, {}, 100, 50, 2), 2) << "Large and Just";
    EXPECT_EQ(partsNeedingOwnSheet(parts, {}, 100, 50, 4), 2)
        << "turned a quarter, Large and Just do not fit 100 x 50: no difference";
    EXPECT_EQ(partsNeedingOwnSheet(parts, {}, 100, 50, 12), 1)
        << "Just turned by 30 degrees fits and might share; Large turned so does not fit";
    EXPECT_EQ(partsNeedingOwnSheet(parts, {-1, kTooLarge, -1, -1, -1, 0}, 100, 50, 2), 1);
}

}  // namespace
}  // namespace blocknest
