#include "search/row_fill.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "packing/independent_overlap.hpp"
#include "search/prepared_instance.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// A length x width sheet cut into rows by straight lines, and each row into pieces by polylines
// from its bottom to its top through two or three zigzag points, so that neighbours interlock.
std::vector<Part> jigsawPieces(std::mt19937& random, double length, double width, int rows,
                               int perRow) {
    std::uniform_real_distribution<double> near(-0.15, 0.15);
    std::uniform_real_distribution<double> bend(-0.3, 0.3);
    std::vector<Part> pieces;
    for (int r = 0; r < rows; ++r) {
        const double y0 = width * r / rows;
        const double y1 = width * (r + 1) / rows;
        const double step = length / perRow;
        std::vector<std::vector<Vertex>> cuts{{{0, y0}, {0, y1}}};
        for (int k = 1; k < perRow; ++k) {
            std::vector<Vertex> cut{{step * (k + near(random)), y0}};
            const int bends = 2 + static_cast<int>(random() % 2);
            for (int b = 1; b <= bends; ++b) {
                cut.push_back({step * (k + bend(random)), y0 + (y1 - y0) * b / (bends + 1)});
            }
            cut.push_back({step * (k + near(random)), y1});
            cuts.push_back(std::move(cut));
        }
        cuts.push_back({{length, y0}, {length, y1}});
        for (int k = 0; k < perRow; ++k) {
            // Up the right cut, then down the left one.
            std::vector<Vertex> outline = cuts[static_cast<std::size_t>(k) + 1];
            const auto& left = cuts[static_cast<std::size_t>(k)];
            outline.insert(outline.end(), left.rbegin(), left.rend());
            pieces.push_back(makePart("Piece", outline));
        }
    }
    return pieces;
}

// The instance a run with -r 1 searches.
SearchInstance instanceOf(double length, double width, std::vector<Part> parts) {
    return preparedInstance(length, width, std::move(parts), 1);
}

// Jigsaws of 2 to 4 rows of 3 to 8 pieces, shuffled, onto a sheet a tenth longer: the rows
// take every piece, each once and unturned, and an independent check finds no overlap and no
// piece off the sheet. On a sheet shorter than the pieces' area no layout is claimed.
TEST(RowFillTest, JigsawsAreLaidInRowsWholeAndSound) {
    std::mt19937 random(11);
    for (int puzzle = 0; puzzle < 12; ++puzzle) {
        const double length = 100;
        const double width = 60;
        std::vector<Part> pieces =
            jigsawPieces(random, length, width, 2 + puzzle % 3, 3 + puzzle % 6);
        std::shuffle(pieces.begin(), pieces.end(), random);
        const SearchInstance instance = instanceOf(length / 0.9, width, pieces);
        RowFillOptions options;
        options.attempts = 2;
        const auto fill = fillInRows(instance, options);
        ASSERT_TRUE(fill.has_value()) << "puzzle " << puzzle << ": " << pieces.size() << " pieces";
        std::vector<int> ids = fill->order;
        std::sort(ids.begin(), ids.end());
        for (std::size_t k = 0; k < ids.size(); ++k) {
            ASSERT_EQ(ids[k], static_cast<int>(k)) << "puzzle " << puzzle << ": every piece once";
        }
        std::vector<const Part*> laid;
        for (const Part& part : fill->layout) {
            EXPECT_EQ(part.turn(), instance.turns.front().front()) << "puzzle " << puzzle;
            laid.push_back(&part);
        }
        const auto faults = findLayoutFaults(laid, length / 0.9, width);
        EXPECT_TRUE(faults.empty()) << "puzzle " << puzzle << ": " << faults.front();
        if (puzzle == 0) {
            EXPECT_FALSE(fillInRows(instanceOf(length * 0.98, width, pieces), options));
        }
    }
}

// Three sheets cut into jigsaws of 2 to 4 rows each, all pieces shuffled, onto sheets a tenth
// longer: the rows lay them out over three sheets again, every piece once, and each sheet
// passes the independent check; over two sheets, too few by area, no layout is claimed.
TEST(RowFillTest, JigsawsOfSeveralSheetsAreLaidInRowsOverAsMany) {
    std::mt19937 random(23);
    for (int job = 0; job < 4; ++job) {
        const double length = 100;
        const double width = 60;
        std::vector<Part> pieces;
        for (int sheet = 0; sheet < 3; ++sheet) {
            const int rows = 2 + (job + sheet) % 3;
            for (Part& piece : jigsawPieces(random, length, width, rows, 3 + (job * 3 + sheet) % 5))
                pieces.push_back(std::move(piece));
        }
        std::shuffle(pieces.begin(), pieces.end(), random);
        const SearchInstance instance = instanceOf(length / 0.9, width, pieces);
        RowFillOptions options;
        options.attempts = 2;
        const auto laid = fillSheetsInRows(instance, 3, options);
        ASSERT_TRUE(laid.has_value()) << "job " << job << ": " << pieces.size() << " pieces";
        EXPECT_EQ(laid->sheets, 3) << "job " << job;
        for (int sheet = 0; sheet < laid->sheets; ++sheet) {
            std::vector<const Part*> onSheet;
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                if (laid->sheetOf[i] == sheet) onSheet.push_back(&laid->parts[i]);
            }
            EXPECT_FALSE(onSheet.empty()) << "job " << job << " sheet " << sheet;
            const auto faults = findLayoutFaults(onSheet, length / 0.9, width);
            EXPECT_TRUE(faults.empty())
                << "job " << job << " sheet " << sheet << ": " << faults.front();
        }
        EXPECT_EQ(std::count(laid->sheetOf.begin(), laid->sheetOf.end(), -1), 0) << "job " << job;
        if (job == 0) {
            EXPECT_FALSE(fillSheetsInRows(instance, 2, options));
        }
    }
}

}  // namespace
}  // namespace blocknest
