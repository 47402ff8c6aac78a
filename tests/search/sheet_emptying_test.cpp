// Emptying the last sheet onto the others: sheets saved where the sheet-by-sheet run wastes
// one, every sheet apart and inside by an independent check, defects included.
#include "search/sheet_emptying.hpp"

#include <gtest/gtest.h>

#include "packing/independent_overlap.hpp"
#include "packing/sheet_marking.hpp"
#include "packing/sheets.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::findLayoutFaults;
using testing_support::makePart;

Part rectanglePart(const std::string& name, double length, double width, int index) {
    Part part = makePart(name, {{0, 0}, {length, 0}, {length, width}, {0, width}});
    part.setBlockSideLength(1);
    part.translate(1000 + 60 * index, 0);  // parked beyond the sheet
    return part;
}

Sheet plainSheet(double length, double width) {
    Sheet sheet;
    sheet.length = length;
    sheet.width = width;
    sheet.blockSideLength = 1;
    sheet.bitmap = buildSheetBitmap(length, width, 1);
    return sheet;
}

// Six 40 x 20 and four 30 x 30: two 105 x 54 sheets take them, the sheet-by-sheet run in list
// order three.
PartList tenRectangles() {
    PartList parts;
    for (int i = 0; i < 10; ++i) {
        parts.pushBack(i < 6 ? rectanglePart("a", 40, 20, i) : rectanglePart("b", 30, 30, i));
    }
    return parts;
}

// Every sheet checked apart from the code under test: no two parts and no part and defect
// overlap, every part inside its sheet; and the score says what the layout holds.
void expectSoundSheets(const SearchInstance& instance, const SheetsLayout& layout,
                       const SheetsScore& score, std::span<const Sheet> sheets) {
    int used = 0;
    for (const int k : layout.sheetOf) used = std::max(used, k + 1);
    EXPECT_EQ(score.sheets, used);
    for (int k = 0; k < used; ++k) {
        const Sheet& sheet = sheets[sheets.size() == 1 ? 0 : static_cast<std::size_t>(k)];
        std::vector<const Part*> onSheet;
        double length = 0;
        for (std::size_t i = 0; i < layout.parts.size(); ++i) {
            if (layout.sheetOf[i] != k) continue;
            onSheet.push_back(&layout.parts[i]);
            length = std::max(length, layout.parts[i].outerLoop().bounds().maxX);
        }
        EXPECT_FALSE(onSheet.empty()) << "sheet " << k;
        for (const Part& defect : sheet.defects) onSheet.push_back(&defect);
        const std::vector<std::string> faults =
            findLayoutFaults(onSheet, sheet.length, sheet.width);
        EXPECT_TRUE(faults.empty()) << "sheet " << k << ": " << faults.front();
        if (k == used - 1) {
            EXPECT_DOUBLE_EQ(length, score.lastLength);
        }
    }
    EXPECT_EQ(layout.sheetOf.size(), instance.parts.size());
}

// The parts that move leave the last sheet lighter, never worse, and every sheet sound.
TEST(SheetEmptyingTest, PartsLeaveTheLastSheetAndEverySheetStaysSound) {
    const Sheet sheet = plainSheet(105, 54);
    const SearchInstance instance = makeSearchInstance(tenRectangles(), sheet, 4, {});
    const std::vector<int> leftOut(instance.parts.size(), kNoSheet);
    DecoderMemory memory;
    SheetsLayout layout;
    SheetsScore score =
        decodeSheets(instance, onePassGenome(instance), 0, leftOut, memory, &layout);
    ASSERT_EQ(score.sheets, 3);
    const SheetsScore start = score;
    const std::size_t onLast = partsOnSheet(layout, 2).size();
    SearchOptions options;
    options.evaluations = 1;  // counted: two walks whatever the thread count
    EmptyingBudget budget;
    budget.moves = 40000;
    int reports = 0;
    const std::int64_t moves = emptyLastSheets(instance, {}, options, budget, layout, score,
                                               [&](std::int64_t, const SheetsScore& now) {
                                                   ++reports;
                                                   EXPECT_TRUE(now < start);
                                               });
    EXPECT_LE(moves, budget.moves);
    EXPECT_GT(reports, 0);
    EXPECT_TRUE(score < start);
    if (score.sheets == 3) {
        EXPECT_LT(partsOnSheet(layout, 2).size(), onLast);
    }
    expectSoundSheets(instance, layout, score, {&sheet, 1});
}

// A sequence of drawn sheets with defects: the last sheet is emptied onto the one before, the
// parts moved keep clear of the defects of the sheet they land on, and the result does not
// hang on the thread count.
TEST(SheetEmptyingTest, DefectsAreObstaclesAndTheOutcomeIsTheSameOnAnyThreadCount) {
    std::vector<Sheet> sequence;
    for (int k = 0; k < 3; ++k) {
        Sheet sheet = plainSheet(112 + 4 * k, 56);
        sheet.defects.push_back(
            makePart("defect", {{50.0 + 10 * k, 20}, {58.0 + 10 * k, 22}, {54.0 + 10 * k, 30}}));
        sheet.defects.push_back(makePart("corner", {{0, 44}, {6, 50}, {0, 50}}));
        markObstaclesOnSheet(sheet);
        sequence.push_back(std::move(sheet));
    }
    const SearchInstance instance = makeSearchInstance(tenRectangles(), sequence.front(), 4, {});
    const std::vector<int> leftOut(instance.parts.size(), kNoSheet);
    DecoderMemory memory;
    SheetsLayout start;
    const SheetsScore startScore =
        decodeSheets(instance, onePassGenome(instance), 0, leftOut, memory, &start, sequence);
    ASSERT_EQ(startScore.sheets, 3);
    std::vector<SheetsLayout> layouts;
    for (const int threads : {1, 2, 3}) {
        SearchOptions options;
        options.evaluations = 1;
        options.threads = threads;
        options.seed = 7;
        EmptyingBudget budget;
        budget.moves = 8000;
        SheetsLayout layout = start;
        SheetsScore score = startScore;
        (void)emptyLastSheets(instance, sequence, options, budget, layout, score,
                              [](std::int64_t, const SheetsScore&) {});
        EXPECT_FALSE(startScore < score);
        EXPECT_EQ(score.sheets, 2) << threads << " threads";
        expectSoundSheets(instance, layout, score, sequence);
        layouts.push_back(std::move(layout));
    }
    for (std::size_t t = 1; t < layouts.size(); ++t) {
        ASSERT_EQ(layouts[t].sheetOf, layouts[0].sheetOf);
        for (std::size_t i = 0; i < layouts[0].parts.size(); ++i) {
            EXPECT_EQ(layouts[t].parts[i].outerLoop().bounds().minX,
                      layouts[0].parts[i].outerLoop().bounds().minX);
            EXPECT_EQ(layouts[t].parts[i].outerLoop().bounds().minY,
                      layouts[0].parts[i].outerLoop().bounds().minY);
        }
    }
}

// Without a move to spend, a part still goes into a gap the parts of an earlier sheet leave, by
// the packing run's steps: clear of that sheet's defect, the sheet emptied and every sheet
// sound; a part too long for the gap stays where it was.
TEST(SheetEmptyingTest, GapsAreFilledWithoutMovesAroundDefects) {
    std::vector<Sheet> sequence;
    for (int k = 0; k < 3; ++k) {
        Sheet sheet = plainSheet(100, 50);
        sheet.defects.push_back(makePart("defect", {{62, 0}, {70, 0}, {70, 9}, {62, 9}}));
        markObstaclesOnSheet(sheet);
        sequence.push_back(std::move(sheet));
    }
    PartList parts;
    parts.pushBack(rectanglePart("block", 60, 50, 0));
    parts.pushBack(rectanglePart("fits", 30, 38, 1));
    parts.pushBack(rectanglePart("long", 90, 12, 2));
    parts.pushBack(rectanglePart("small", 20, 10, 3));
    const SearchInstance instance = makeSearchInstance(parts, sequence.front(), 4, {});
    SheetsLayout layout;
    layout.parts = instance.parts;
    layout.sheetOf = {0, 2, 1, 2};
    const std::vector<std::pair<double, double>> at = {{0, 0}, {0, 10}, {0, 20}, {40, 30}};
    for (std::size_t i = 0; i < at.size(); ++i) {
        const BoundingBox box = layout.parts[i].outerLoop().bounds();
        layout.parts[i].translate(at[i].first - box.minX, at[i].second - box.minY);
    }
    SheetsScore score = rescoreSheets(instance, layout, SheetsScore{});
    ASSERT_EQ(score.sheets, 3);
    expectSoundSheets(instance, layout, score, sequence);
    SearchOptions options;
    options.evaluations = 1;
    EmptyingBudget budget;
    budget.moves = 1;  // fewer than a try of the overlap phase takes
    const std::int64_t moves = emptyLastSheets(instance, sequence, options, budget, layout, score,
                                               [](std::int64_t, const SheetsScore&) {});
    EXPECT_EQ(moves, 0);
    EXPECT_EQ(score.sheets, 2);
    EXPECT_EQ(layout.sheetOf[1], 0);
    EXPECT_NE(layout.sheetOf[3], 2);
    EXPECT_EQ(layout.sheetOf[2], 1);  // 90 long: no gap takes it
    expectSoundSheets(instance, layout, score, sequence);
}

// A square that no gap takes as the sheets lie takes the place of two small parts of an earlier
// sheet, without a move of the overlap phase; the small ones find the gap of the other sheet
// in the next round, and the last sheet goes. The same on any thread count.
TEST(SheetEmptyingTest, APartThatFitsNowhereSendsSmallerPartsOnAndTheSheetGoes) {
    const Sheet sheet = plainSheet(100, 50);
    PartList parts;
    parts.pushBack(rectanglePart("block", 50, 50, 0));
    parts.pushBack(rectanglePart("small", 20, 20, 1));
    parts.pushBack(rectanglePart("small", 20, 20, 2));
    parts.pushBack(rectanglePart("wide block", 60, 50, 3));
    parts.pushBack(rectanglePart("square", 50, 50, 4));
    const SearchInstance instance = makeSearchInstance(parts, sheet, 4, {});
    SheetsLayout start;
    start.parts = instance.parts;
    // Sheet 0: the block and the small ones, which leave no 50 x 50 gap; sheet 1: the wide
    // block, which leaves a 40 x 50 gap; sheet 2: the square alone.
    start.sheetOf = {0, 0, 0, 1, 2};
    const std::vector<std::pair<double, double>> at = {{0, 0}, {55, 0}, {75, 30}, {0, 0}, {0, 0}};
    for (std::size_t i = 0; i < at.size(); ++i) {
        const BoundingBox box = start.parts[i].outerLoop().bounds();
        start.parts[i].translate(at[i].first - box.minX, at[i].second - box.minY);
    }
    const SheetsScore startScore = rescoreSheets(instance, start, SheetsScore{});
    ASSERT_EQ(startScore.sheets, 3);
    expectSoundSheets(instance, start, startScore, {&sheet, 1});
    std::vector<SheetsLayout> layouts;
    for (const int threads : {1, 2}) {
        SearchOptions options;
        options.evaluations = 1;
        options.threads = threads;
        EmptyingBudget budget;
        budget.moves = 1;  // fewer than a try of the overlap phase takes
        SheetsLayout layout = start;
        SheetsScore score = startScore;
        const std::int64_t moves = emptyLastSheets(instance, {}, options, budget, layout, score,
                                                   [](std::int64_t, const SheetsScore&) {});
        EXPECT_EQ(moves, 0);
        EXPECT_EQ(score.sheets, 2) << threads << " threads";
        EXPECT_EQ(layout.sheetOf[4], 0) << "the square takes the small parts' place";
        EXPECT_EQ(layout.sheetOf[1], 1);
        EXPECT_EQ(layout.sheetOf[2], 1);
        expectSoundSheets(instance, layout, score, {&sheet, 1});
        layouts.push_back(std::move(layout));
    }
    for (std::size_t i = 0; i < layouts[0].parts.size(); ++i) {
        EXPECT_EQ(layouts[1].parts[i].outerLoop().bounds().minX,
                  layouts[0].parts[i].outerLoop().bounds().minX);
        EXPECT_EQ(layouts[1].parts[i].outerLoop().bounds().minY,
                  layouts[0].parts[i].outerLoop().bounds().minY);
    }
}

// Three sheets cut into guillotine pieces, asked onto sheets a twentieth longer: the
// sheet-by-sheet run takes four, and laying a sheet's rectangles out afresh with one more
// empties the last on most such jobs; every sheet stays sound.
TEST(SheetEmptyingTest, RectanglesLaidOutAfreshEmptyTheLastSheet) {
    std::mt19937 random(5);
    int saved = 0;
    constexpr int kJobs = 3;
    for (int job = 0; job < kJobs; ++job) {
        PartList parts;
        int index = 0;
        for (int k = 0; k < 3; ++k) {
            for (Part& piece : testing_support::guillotinePieces(random, 100, 60, 8 + 3 * k)) {
                piece.setBlockSideLength(1);
                piece.translate(1000 + 110 * index++, 0);
                parts.pushBack(std::move(piece));
            }
        }
        const Sheet sheet = plainSheet(100 / 0.95, 60);
        const SearchInstance instance = makeSearchInstance(parts, sheet, 4, {});
        const std::vector<int> leftOut(instance.parts.size(), kNoSheet);
        DecoderMemory memory;
        SheetsLayout layout;
        SheetsScore score =
            decodeSheets(instance, onePassGenome(instance), 0, leftOut, memory, &layout);
        ASSERT_GT(score.sheets, 3) << "job " << job;
        SearchOptions options;
        options.evaluations = 1;
        EmptyingBudget budget;
        budget.moves = 4000;
        (void)emptyLastSheets(instance, {}, options, budget, layout, score,
                              [](std::int64_t, const SheetsScore&) {});
        saved += score.sheets == 3;
        expectSoundSheets(instance, layout, score, {&sheet, 1});
    }
    EXPECT_GE(saved, kJobs - 1) << saved << " of " << kJobs << " on three sheets";
}

}  // namespace
}  // namespace blocknest
