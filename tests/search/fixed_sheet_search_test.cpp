#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "input/job_preparation.hpp"
#include "output/statistics.hpp"
#include "packing/independent_overlap.hpp"
#include "search/search.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

std::vector<Vertex> box(double w, double h) { return {{0, 0}, {w, 0}, {w, h}, {0, h}}; }

struct Searched {
    int startUnplaced = 0;
    int unplaced = 0;
    std::vector<std::string> faults;  // of the layout written, by the independent check
    std::vector<double> coordinates;  // of every part, in the layout's order
};

// A search with an evaluation budget on one sheet, as a run with -r 4 makes it, and its
// layout checked as it would be written.
Searched searchOnSheet(double length, double width, std::vector<Part> parts,
                       std::int64_t evaluations, int threads) {
    PartFileContents contents;
    contents.sheetLength = length;
    contents.sheetWidth = width;
    for (Part& p : parts) contents.parts.pushBack(std::move(p));
    auto prepared = prepareJob(std::move(contents), "test");
    Searched searched;
    if (!std::holds_alternative<PreparedJob>(prepared)) {
        searched.faults.push_back("the job was refused");
        return searched;
    }
    PreparedJob& job = std::get<PreparedJob>(prepared);
    const SearchInstance instance = makeSearchInstance(job.parts, job.sheet, 4, {});
    SearchOptions options;
    options.evaluations = evaluations;
    options.threads = threads;
    bool first = true;
    const SearchOutcome outcome = searchLayout(instance, options, [&](const SearchProgress& p) {
        if (first) searched.startUnplaced = p.best.unplaced;
        first = false;
    });
    PartList layout;
    if (outcome.layout) {
        layout = *outcome.layout;
    } else {
        DecoderMemory memory;
        (void)decodeLayout(instance, outcome.best, memory, &layout);
    }
    std::vector<const Part*> onSheet;
    for (const Part& part : layout) {
        if (liesOnSheet(part, length, width)) {
            onSheet.push_back(&part);
        } else {
            ++searched.unplaced;
        }
        for (const Vertex& v : part.outerLoop().vertices()) {
            searched.coordinates.push_back(v.x);
            searched.coordinates.push_back(v.y);
        }
    }
    searched.faults = findLayoutFaults(onSheet, length, width);
    return searched;
}

// Three 40 x 20 and two 30 x 30 fit a 100 x 50 sheet; a short search keeps them all on it.
TEST(FixedSheetSearchTest, TheFiveRectanglesStayWholeThroughASearch) {
    std::vector<Part> parts;
    for (int i = 0; i < 3; ++i) parts.push_back(makePart("Rect", box(40, 20)));
    for (int i = 0; i < 2; ++i) parts.push_back(makePart("Square", box(30, 30)));
    const Searched searched = searchOnSheet(100, 50, parts, 5000, 2);
    EXPECT_EQ(searched.unplaced, 0);
    EXPECT_TRUE(searched.faults.empty()) << searched.faults.front();
}

// A sheet cut into 4 to 6 guillotine pieces, asked back onto the same sheet (every piece fits
// exactly, so that pieces touch every edge of it): the one-pass run leaves pieces off, a short
// search places all but one puzzle at most whole, never leaves more off than it started with,
// writes no overlap, and finds the same on one thread as on three.
TEST(FixedSheetSearchTest, ExactPuzzlesArePlacedWholeByAShortSearch) {
    std::mt19937 random(29);
    int whole = 0;
    int startedWhole = 0;
    constexpr int kPuzzles = 8;
    for (int puzzle = 0; puzzle < kPuzzles; ++puzzle) {
        const double length = 80 + 20 * (puzzle % 3);
        const double width = 40 + 10 * (puzzle % 2);
        const std::vector<Part> pieces = guillotinePieces(random, length, width, 4 + puzzle % 3);
        const Searched searched = searchOnSheet(length, width, pieces, 300, 1);
        EXPECT_LE(searched.unplaced, searched.startUnplaced) << "puzzle " << puzzle;
        EXPECT_TRUE(searched.faults.empty())
            << "puzzle " << puzzle << ": " << searched.faults.front();
        whole += searched.unplaced == 0;
        startedWhole += searched.startUnplaced == 0;
        if (puzzle == 0) {
            const Searched three = searchOnSheet(length, width, pieces, 300, 3);
            EXPECT_EQ(three.coordinates, searched.coordinates) << "the same on three threads";
        }
    }
    EXPECT_LT(startedWhole, kPuzzles / 2) << "the puzzles are hard for the one-pass run";
    EXPECT_GE(whole, kPuzzles - 1) << whole << " of " << kPuzzles << " whole";
}

// Larger sheets cut into 14 to 30 guillotine pieces, asked back onto a sheet a twentieth
// longer: a short search lays every piece out, writes no overlap, and finds the same on one
// thread as on three.
TEST(FixedSheetSearchTest, LargerRectanglePuzzlesArePlacedWholeByAShortSearch) {
    std::mt19937 random(31);
    for (int puzzle = 0; puzzle < 4; ++puzzle) {
        const double length = 100;
        const double width = 60;
        const std::vector<Part> pieces = guillotinePieces(random, length, width, 14 + 5 * puzzle);
        const Searched searched = searchOnSheet(length / 0.95, width, pieces, 2000, 1);
        EXPECT_EQ(searched.unplaced, 0) << "puzzle " << puzzle;
        EXPECT_TRUE(searched.faults.empty())
            << "puzzle " << puzzle << ": " << searched.faults.front();
        if (puzzle == 3) {
            const Searched three = searchOnSheet(length / 0.95, width, pieces, 2000, 3);
            EXPECT_EQ(three.coordinates, searched.coordinates) << "the same on three threads";
        }
    }
}

}  // namespace
}  // namespace blocknest
