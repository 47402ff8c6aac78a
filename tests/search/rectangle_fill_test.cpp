#include "search/rectangle_fill.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "packing/independent_overlap.hpp"
#include "search/prepared_instance.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// The instance a run with -r 4 searches.
SearchInstance instanceOf(double length, double width, std::vector<Part> parts) {
    return preparedInstance(length, width, std::move(parts), 4);
}

// A piece with its corners cut off by c, as plates with rounded corners are nearly their box.
Part chamfered(const Part& piece, double c) {
    const BoundingBox b = piece.outerLoop().bounds();
    return makePart("Plate", {{b.minX + c, b.minY},
                              {b.maxX - c, b.minY},
                              {b.maxX, b.minY + c},
                              {b.maxX, b.maxY - c},
                              {b.maxX - c, b.maxY},
                              {b.minX + c, b.maxY},
                              {b.minX, b.maxY - c},
                              {b.minX, b.minY + c}});
}

// Sheets cut into 5 to 16 guillotine pieces, handed over shuffled and half of them turned a
// quarter, onto the same sheet (every piece fits exactly) or one a twentieth longer: the fill
// lays every piece out, each once, in a turn it may take, and an independent check finds no
// overlap and no piece off the sheet. Every third puzzle has its pieces' corners cut off: no
// rectangles then, and the fill lays them out by their boxes.
TEST(RectangleFillTest, GuillotinePuzzlesAreLaidOutWholeAndSound) {
    std::mt19937 random(2026);
    for (int puzzle = 0; puzzle < 24; ++puzzle) {
        const double length = 60 + 10 * (puzzle % 9);
        const double width = 40 + 5 * (puzzle % 7);
        std::vector<Part> pieces = guillotinePieces(random, length, width, 5 + puzzle % 12);
        const bool boxes = puzzle % 3 == 2;
        if (boxes) {
            for (Part& piece : pieces) piece = chamfered(piece, 0.2);
        }
        std::shuffle(pieces.begin(), pieces.end(), random);
        for (std::size_t k = 0; k < pieces.size(); k += 2) {
            pieces[k].rotate({0, 0}, 1.5707963267948966);
        }
        const double sheetLength = puzzle % 2 == 0 ? length : length / 0.95;
        const SearchInstance instance = instanceOf(sheetLength, width, pieces);
        ASSERT_EQ(fillsWithRectangles(instance), !boxes) << "puzzle " << puzzle;
        ASSERT_TRUE(fillsWithBoxes(instance)) << "puzzle " << puzzle;
        RectangleFillOptions options;
        options.nodes = 2'000'000;
        options.boxes = boxes;
        const auto fill = fillWithRectangles(instance, options);
        ASSERT_TRUE(fill.has_value()) << "puzzle " << puzzle << ": " << pieces.size()
                                      << " pieces on " << sheetLength << " x " << width;
        std::vector<int> ids = fill->order;
        std::sort(ids.begin(), ids.end());
        for (std::size_t k = 0; k < ids.size(); ++k) {
            ASSERT_EQ(ids[k], static_cast<int>(k)) << "puzzle " << puzzle << ": every piece once";
        }
        std::vector<const Part*> laid;
        auto id = fill->order.begin();
        for (const Part& part : fill->layout) {
            const auto& turns = instance.turns[static_cast<std::size_t>(*id++)];
            EXPECT_NE(std::find(turns.begin(), turns.end(), part.turn()), turns.end())
                << "puzzle " << puzzle << ": a turn the piece may not take";
            EXPECT_NEAR(part.netArea(), instance.parts[static_cast<std::size_t>(id[-1])].netArea(),
                        1e-9 * length * width);
            laid.push_back(&part);
        }
        const auto faults = findLayoutFaults(laid, sheetLength, width);
        EXPECT_TRUE(faults.empty()) << "puzzle " << puzzle << ": " << faults.front();
    }
}

// Parts that are no rectangle (nor nearly their box) in any turn they may take, and
// rectangles that cannot all fit the sheet's area, get no fill; the latter without a search.
TEST(RectangleFillTest, OnlyRectanglesThatMayFitAreFilled) {
    std::vector<Part> parts{
        makePart("Bar", {{0, 0}, {40, 0}, {40, 20}, {0, 20}}),
        makePart("Angle", {{0, 0}, {30, 0}, {30, 10}, {10, 10}, {10, 30}, {0, 30}})};
    EXPECT_FALSE(fillsWithRectangles(instanceOf(100, 50, parts)));
    EXPECT_FALSE(fillsWithBoxes(instanceOf(100, 50, parts)));
    parts.pop_back();
    EXPECT_TRUE(fillsWithRectangles(instanceOf(100, 50, parts)));
    for (int k = 0; k < 6; ++k)
        parts.push_back(makePart("Bar", {{0, 0}, {40, 0}, {40, 20}, {0, 20}}));
    const SearchInstance overfull = instanceOf(100, 50, parts);  // 7 x 800 > 5000
    const auto fill = fillWithRectangles(overfull, {});
    EXPECT_FALSE(fill.has_value());
}

}  // namespace
}  // namespace blocknest
