#include "stock/remnant.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "input/dxf_part_reader.hpp"
#include "stock/sheet_drawing.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// A sheet 100 x 60 with its top right corner cut off, a square defect wholly beyond X = 40
// and a triangle across it.
SheetKind drawnSheet() {
    SheetKind sheet;
    sheet.name = "plate";
    sheet.length = 100;
    sheet.width = 60;
    sheet.shape.outline = makeLoop({{0, 0}, {100, 0}, {100, 40}, {80, 60}, {0, 60}});
    sheet.shape.defects = {rectangle(60, 20, 70, 30), makeLoop({{30, 5}, {50, 5}, {40, 15}})};
    return sheet;
}

// What a drawing reads back as, through the reader the program uses for --sheet-dxf.
SheetDrawing readBack(const std::string& dxf) {
    std::istringstream in(dxf);
    auto read = readDxfPartData(in, "remnant.dxf");
    EXPECT_TRUE(std::holds_alternative<DxfPartsContents>(read))
        << std::get<InputError>(read).detail;
    return sheetFromParts(std::get<DxfPartsContents>(read).parts, "remnant", "remnant.dxf");
}

TEST(RemnantTest, TheCutKeepsWhatLiesBeyondItAndADefectAcrossItBecomesANotch) {
    const std::optional<Remnant> remnant = cutRemnant(drawnSheet(), 40, "rest");
    ASSERT_TRUE(remnant.has_value());
    const SheetKind& kind = remnant->kind;
    EXPECT_EQ(kind.name, "rest");
    EXPECT_NEAR(kind.length, 60, 1e-9);
    EXPECT_NEAR(kind.width, 60, 1e-9);
    ASSERT_EQ(kind.shape.defects.size(), 1u) << "the square stays a defect";
    EXPECT_NEAR(kind.shape.defects[0].bounds().minX, 20, 1e-9) << "moved with the remnant";
    // 60 x 60 less the corner (200) and the half of the triangle beyond the cut (50).
    EXPECT_NEAR(kind.shape.outline->area(), 3600 - 200 - 50, 1e-6);
    EXPECT_NEAR(materialArea(kind), 3600 - 200 - 50 - 100, 1e-6);
    EXPECT_EQ(kind.cost, 0) << "a free sheet leaves a free remnant";
    EXPECT_EQ(remnant->piecesLeftOut, 0);
    // A remnant keeps its share of the sheet's cost by material: the sheet's own 5800 less
    // its defects' 200; one that costs its area leaves one that costs its area.
    SheetKind priced = drawnSheet();
    priced.cost = 56;
    EXPECT_NEAR(cutRemnant(priced, 40, "rest")->kind.cost, 56.0 * 3250 / 5600, 1e-9);
    priced.cost = materialArea(priced);
    const SheetKind own = cutRemnant(priced, 40, "rest")->kind;
    EXPECT_EQ(own.cost, materialArea(own));
}

TEST(RemnantTest, ReadsBackAsTheSameSheet) {
    const std::optional<Remnant> remnant = cutRemnant(drawnSheet(), 37.5, "rest");
    ASSERT_TRUE(remnant.has_value());
    const SheetDrawing back = readBack(formatRemnantDxf(*remnant, 4));
    EXPECT_TRUE(back.notes.empty());
    EXPECT_NEAR(back.kind.length, remnant->kind.length, 1e-9);
    EXPECT_NEAR(back.kind.width, remnant->kind.width, 1e-9);
    ASSERT_TRUE(back.kind.shape.outline.has_value());
    EXPECT_EQ(canonicalLoops({*back.kind.shape.outline}, 9),
              canonicalLoops({*remnant->kind.shape.outline}, 9));
    EXPECT_EQ(canonicalLoops(back.kind.shape.defects, 9),
              canonicalLoops(remnant->kind.shape.defects, 9));
}

TEST(RemnantTest, ARectangleCutWholeOrNotAtAll) {
    const SheetKind plain = rectangleKind(300, 200);
    const std::optional<Remnant> whole = cutRemnant(plain, 0, "all");
    ASSERT_TRUE(whole.has_value());
    EXPECT_NEAR(whole->kind.shape.outline->area(), 300 * 200, 1e-6);
    EXPECT_FALSE(cutRemnant(plain, 300, "none").has_value()) << "used to its end";
    EXPECT_FALSE(cutRemnant(plain, 450, "none").has_value());
}

TEST(RemnantTest, TheLargestPieceIsKeptWhenTheCutLeavesSeveral) {
    // A U lying on its side, prongs along X: a bar 0..20 across, prongs of width 10 and 20
    // from X = 20 to 50. Cut at X = 25, two prongs remain.
    SheetKind u;
    u.length = 50;
    u.width = 60;
    u.shape.outline =
        makeLoop({{0, 0}, {50, 0}, {50, 10}, {20, 10}, {20, 40}, {50, 40}, {50, 60}, {0, 60}});
    const std::optional<Remnant> remnant = cutRemnant(u, 25, "prong");
    ASSERT_TRUE(remnant.has_value());
    EXPECT_EQ(remnant->piecesLeftOut, 1);
    EXPECT_NEAR(remnant->kind.shape.outline->area(), 25 * 20, 1e-6);
}

}  // namespace
}  // namespace blocknest
