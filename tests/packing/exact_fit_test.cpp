#include "packing/exact_fit.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <variant>
#include <vector>

#include "input/job_preparation.hpp"
#include "output/statistics.hpp"
#include "packing/independent_overlap.hpp"
#include "packing/packer.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

std::vector<Vertex> box(double w, double h) { return {{0, 0}, {w, 0}, {w, h}, {0, h}}; }

// A job prepared as a run prepares it, packed by the one-pass run with rotationCount turns.
struct PackedJob {
    PreparedJob job;
    int placed = 0;
    std::vector<std::string> faults;  // by the independent check
};

PackedJob packJob(double length, double width, std::vector<Part> parts, int rotationCount) {
    PartFileContents contents;
    contents.sheetLength = length;
    contents.sheetWidth = width;
    for (Part& p : parts) contents.parts.pushBack(std::move(p));
    auto prepared = prepareJob(std::move(contents), "test");
    PackedJob packed;
    if (!std::holds_alternative<PreparedJob>(prepared)) {
        packed.faults.push_back("the job was refused");
        return packed;
    }
    packed.job = std::move(std::get<PreparedJob>(prepared));
    SilentConsole console;
    (void)packAllParts(packed.job.parts, packed.job.sheet, rotationCount, console, false);
    std::vector<const Part*> onSheet;
    for (const Part& p : packed.job.parts) {
        if (liesOnSheet(p, length, width)) onSheet.push_back(&p);
    }
    packed.placed = static_cast<int>(onSheet.size());
    packed.faults = findLayoutFaults(onSheet, length, width);
    return packed;
}

// The block grid rounds a part up and the sheet down, so each of these parts had no first fit
// on its empty sheet; a part that fits the sheet is placed, also when it is as wide as it.
TEST(ExactFitTest, APartThatFitsAnEmptySheetIsPlacedWhateverTheGrid) {
    struct Case {
        double length, width, w, h;
    };
    for (const Case& c : {Case{100, 50, 60, 50}, Case{100, 50, 60, 49}, Case{11, 11, 10, 10},
                          Case{50, 100, 50, 60}, Case{30, 7, 30, 7}}) {
        const std::string name = std::to_string(c.w) + "x" + std::to_string(c.h) + " on " +
                                 std::to_string(c.length) + "x" + std::to_string(c.width);
        for (int rotations : {1, 2, 4}) {
            const PackedJob packed =
                packJob(c.length, c.width, {makePart("Plate", box(c.w, c.h))}, rotations);
            EXPECT_EQ(packed.placed, 1) << name << ", " << rotations << " turns";
            EXPECT_TRUE(packed.faults.empty()) << name << ": " << packed.faults.front();
        }
    }
}

// A sheet that a rows x columns of equal parts fill exactly, in sizes that no block grid and
// few binary fractions meet (two 300 x 300 blanks on 600 x 400 among them): the one-pass run
// places every part, so a job over several sheets takes one. The slides stop short of a touch
// and moves round; the placed parts close up to let the last ones in.
TEST(ExactFitTest, PartsThatTileTheSheetExactlyAreAllPlaced) {
    std::mt19937 random(2612);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int round = 0; round < 40; ++round) {
        const int across = round == 0 ? 2 : 1 + round % 5;
        const int along = round == 0 ? 1 : 1 + (round / 5) % 5;
        const double w = round == 0 ? 300 : std::round(10000 + 390000 * unit(random)) / 1000;
        const double h = round == 0 ? 300 : std::round(10000 + 390000 * unit(random)) / 1000;
        const double length = round == 0 ? 600 : across * w;
        const double width = round == 0 ? 400 : along * h;
        std::vector<Part> parts;
        for (int i = 0; i < across * along; ++i) parts.push_back(makePart("Tile", box(w, h)));
        const PackedJob packed = packJob(length, width, parts, 1);
        EXPECT_EQ(packed.placed, across * along) << across << " x " << along << " of " << w << " x "
                                                 << h << " on " << length << " x " << width;
        EXPECT_TRUE(packed.faults.empty()) << round << ": " << packed.faults.front();
    }
}

// Three 40 x 20 and two 30 x 30 on 100 x 50 (84 %): a grid of side 3 holds 16 whole rows in
// 50, so a square and a rectangle cannot stand one above the other on it.
TEST(ExactFitTest, FiveRectanglesThatFitTheSheetAreAllPlaced) {
    std::vector<Part> parts;
    for (int i = 0; i < 3; ++i) parts.push_back(makePart("Rect", box(40, 20)));
    for (int i = 0; i < 2; ++i) parts.push_back(makePart("Square", box(30, 30)));
    for (int rotations : {2, 4}) {
        const PackedJob packed = packJob(100, 50, parts, rotations);
        EXPECT_EQ(packed.placed, 5) << rotations << " turns";
        EXPECT_TRUE(packed.faults.empty()) << packed.faults.front();
    }
}

// A rectangle cut into guillotine pieces, asked back onto a sheet the same size, and random
// outlines on a small sheet that they crowd: whatever the exact positions add passes the
// independent check, and the pieces the grid refused are placed where they fit.
TEST(ExactFitTest, PuzzlesAndCrowdedSheetsPassTheIndependentCheck) {
    std::mt19937 random(2911);
    std::uniform_real_distribution<double> unit(0, 1);
    int moreThanOnePiece = 0;
    for (int round = 0; round < 30; ++round) {
        const double length = 60 + std::floor(60 * unit(random));
        const double width = 30 + std::floor(30 * unit(random));
        struct Piece {
            double x, y, w, h;
        };
        std::vector<Piece> pieces{{0, 0, length, width}};
        const int count = 4 + round % 3;
        while (static_cast<int>(pieces.size()) < count) {
            auto largest = std::max_element(pieces.begin(), pieces.end(),
                                            [](auto& a, auto& b) { return a.w * a.h < b.w * b.h; });
            const Piece p = *largest;
            pieces.erase(largest);
            const double f = 0.25 + 0.5 * unit(random);
            if (p.w >= p.h) {
                const double c = std::round(p.w * f);
                pieces.push_back({p.x, p.y, c, p.h});
                pieces.push_back({p.x + c, p.y, p.w - c, p.h});
            } else {
                const double c = std::round(p.h * f);
                pieces.push_back({p.x, p.y, p.w, c});
                pieces.push_back({p.x, p.y + c, p.w, p.h - c});
            }
        }
        std::vector<Part> parts;
        for (const Piece& p : pieces) parts.push_back(makePart("Piece", box(p.w, p.h)));
        const PackedJob puzzle = packJob(length, width, parts, 4);
        EXPECT_TRUE(puzzle.faults.empty()) << "puzzle " << round << ": " << puzzle.faults.front();
        moreThanOnePiece += puzzle.placed > 1;

        std::vector<Part> crowd;
        const int parts2 = 8 + round % 10;
        for (int i = 0; i < parts2; ++i) {
            crowd.push_back(makePart("Star", star(random, 0, 0, 4 + 8 * unit(random), 5 + i % 5)));
        }
        const PackedJob crowded =
            packJob(30 + 20 * unit(random), 20 + 10 * unit(random), crowd, 1 + round % 4);
        EXPECT_TRUE(crowded.faults.empty()) << "crowd " << round << ": " << crowded.faults.front();
    }
    EXPECT_EQ(moreThanOnePiece, 30);
}

// The exact positions touch what is there: a part beside a placed one on a sheet whose grid
// has no room for it lands against the placed part's box, not at some distance.
TEST(ExactFitTest, FindsThePositionAgainstAPlacedPartInScanOrder) {
    PartFileContents contents;
    contents.sheetLength = 20;
    contents.sheetWidth = 10;
    contents.parts.pushBack(makePart("A", box(9, 10)));
    contents.parts.pushBack(makePart("B", box(11, 10)));
    auto prepared = prepareJob(std::move(contents), "test");
    ASSERT_TRUE(std::holds_alternative<PreparedJob>(prepared));
    PreparedJob& job = std::get<PreparedJob>(prepared);
    PackingMemory memory(job.parts, job.sheet);
    Part& first = job.parts.front();
    Part& second = *std::next(job.parts.begin());
    first.translate(-first.bounds().minX, -first.bounds().minY);
    memory.others.markPlaced(first);
    const BoundingBox before = second.bounds();
    int tests = kExactFitTests;
    const std::optional<Part> fit = findExactFit(memory.others, second, tests);
    ASSERT_TRUE(fit.has_value());
    EXPECT_EQ(second.bounds().minX, before.minX) << "the part is left where it was";
    EXPECT_LT(tests, kExactFitTests);
    const std::string which = first.name() == "B" ? "B first" : "A first";
    const double firstLength = first.bounds().maxX;
    EXPECT_DOUBLE_EQ(fit->bounds().minX, firstLength) << which;
    EXPECT_DOUBLE_EQ(fit->bounds().minY, 0.0) << which;
    int none = 0;
    EXPECT_FALSE(findExactFit(memory.others, second, none).has_value()) << "no tests left";
}

}  // namespace
}  // namespace blocknest
