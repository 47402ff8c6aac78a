#include "output/json_writer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <random>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

TEST(JsonWriterTest, PlacementRebuildsATurnedAndMovedPartFromItsInputOutline) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-50, 50);
    for (int trial = 0; trial < 200; ++trial) {
        Part part = randomPart(
            random, [&] { return coordinate(random); }, 6);
        InputItem item;
        item.outer = part.outerLoop().vertices();
        // The preparation's park, the packing run's turn about the origin, then its moves.
        part.translate(coordinate(random) * 100, coordinate(random));
        const Orientation turn{std::uniform_int_distribution<int>(0, 7)(random), 8};
        part.rotate(Vertex{0, 0}, turn.angle());
        part.setTurn(turn);
        part.translate(coordinate(random), coordinate(random));
        const Placement p = placementOf(part, item);
        EXPECT_EQ(p.rotationDegrees, turn.degrees());
        const double a = p.rotationDegrees * std::acos(-1.0) / 180;
        for (std::size_t i = 0; i < item.outer.size(); ++i) {
            const Vertex& v = item.outer[i];
            const Vertex& placed = part.outerLoop().vertices()[i];
            EXPECT_NEAR(std::cos(a) * v.x - std::sin(a) * v.y + p.translationX, placed.x, 1e-9);
            EXPECT_NEAR(std::sin(a) * v.x + std::cos(a) * v.y + p.translationY, placed.y, 1e-9);
        }
    }
}

TEST(JsonWriterTest, ListsPlacedAndUnplacedPartsWithTheInstance) {
    InputItem item;
    item.file = "in.json";
    item.sourceId = 12;
    item.name = "sq";
    item.copies = 2;
    item.outer = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    item.holes = {{{2, 2}, {4, 2}, {4, 4}}};
    PartList parts;
    for (double x : {0.0, 500.0}) {
        Part part = makePart("sq", item.outer, item.holes);
        part.setItemIndex(0);
        part.translate(x, 0);
        parts.pushBack(part);
    }
    PackingStatistics statistics;
    statistics.packedLength = 10;
    statistics.packingDensity = 0.48;
    PlacementRun run;
    run.name = "demo";
    run.inputFiles = {"in.json"};
    run.sheetLength = 100;
    run.sheetWidth = 20;
    const std::vector<InputItem> items{item};
    const auto json = nlohmann::json::parse(formatPlacementJson(parts, items, statistics, run));
    const auto& instanceItem = json.at("instance").at("items").at(0);
    EXPECT_EQ(instanceItem.at("shape").at("type"), "polygon");
    EXPECT_EQ(instanceItem.at("shape").at("data").at("outer").size(), 5u) << "closed, as read";
    EXPECT_EQ(instanceItem.at("allowed_orientations"), nlohmann::json::parse("[0.0, 180.0]"))
        << "the job's turns where the item has none of its own";
    EXPECT_EQ(instanceItem.at("source").at("id"), 12);
    const auto& solution = json.at("solution");
    EXPECT_EQ(solution.at("strip_width"), 10.0);
    EXPECT_EQ(solution.at("density"), 0.48);
    ASSERT_EQ(solution.at("layout").at("placed_items").size(), 1u);
    EXPECT_EQ(solution.at("layout").at("placed_items").at(0).at("transformation"),
              nlohmann::json::parse(R"({"rotation": 0.0, "translation": [0.0, 0.0]})"));
    ASSERT_EQ(solution.at("layout").at("unplaced_items").size(), 1u);
    EXPECT_EQ(solution.at("layout").at("unplaced_items").at(0).at("reason"),
              "no room on the sheet in any of its orientations");
}

}  // namespace
}  // namespace blocknest
