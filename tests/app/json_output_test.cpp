#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;
using Json = nlohmann::json;

struct Segment {
    double x0, y0, x1, y1;
};

// The LINE entities of a drawing, in file order.
std::vector<Segment> linesOf(const std::string& dxf) {
    std::vector<Segment> lines;
    std::istringstream in(dxf);
    std::string code;
    std::string value;
    Segment s{};
    while (std::getline(in, code) && std::getline(in, value)) {
        const double number = std::atof(value.c_str());
        if (code == " 10") s.x0 = number;
        if (code == " 20") s.y0 = number;
        if (code == " 11") s.x1 = number;
        if (code == " 21") {
            s.y1 = number;
            lines.push_back(s);
        }
    }
    return lines;
}

// Within the drawing's six significant digits.
bool near(double drawn, double rebuilt) {
    return std::abs(drawn - rebuilt) <= 1e-5 * std::max(1.0, std::abs(rebuilt));
}

// Every placed part rebuilt from the placement list (its item's outline mirrored about the Y
// axis when the entry says so, turned about the origin, then moved) is the part drawn in the
// layout, edge for edge. With --mirror, on outlines whose first vertex lies away from x = 0,
// so that a translation worked out from the unmirrored vertex shows.
TEST(JsonOutputTest, PlacementListRebuildsTheDrawnLayout) {
    TempDir dir;
    struct Case {
        std::string instance;
        bool mirror;
    };
    for (const auto& [instance, mirror] :
         {Case{"tests/data/json/albano.json", false}, Case{"tests/data/json/mao.json", false},
          Case{"examples/brackets.json", false}, Case{"examples/workshop_parts.txt", false},
          Case{"tests/data/json/albano.json", true}, Case{"examples/workshop_parts.txt", true}}) {
        const std::string input = std::string(BLOCKNEST_SOURCE_DIR) + "/" + instance;
        std::vector<std::string> args{"--no-pause",      "-q", "-o", dir.path().string(), "--json",
                                      "placements.json", input};
        if (mirror) args.push_back("--mirror");
        const RunResult run = runBlocknestBinary(args, dir.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        int mirrored = 0;
        int awayFromZero = 0;
        const Json json = Json::parse(readFile(dir.path() / "placements.json"));
        const std::vector<Segment> drawn = linesOf(readFile(dir.path() / "Layout.dxf"));
        const Json& items = json.at("instance").at("items");
        const Json& placed = json.at("solution").at("layout").at("placed_items");
        EXPECT_TRUE(json.at("solution").at("layout").at("unplaced_items").empty());
        std::size_t line = 4;  // after the sheet outline
        for (const Json& entry : placed) {
            const Json& item = items.at(entry.at("item_id").get<std::size_t>());
            EXPECT_EQ(entry.at("name"), item.at("name"));
            const double a =
                entry.at("transformation").at("rotation").get<double>() * std::acos(-1.0) / 180;
            const double tx = entry.at("transformation").at("translation").at(0).get<double>();
            const double ty = entry.at("transformation").at("translation").at(1).get<double>();
            const bool flipped = entry.at("transformation").value("mirrored", false);
            EXPECT_TRUE(mirror || !flipped) << instance << ": mirrored without --mirror";
            mirrored += flipped;
            // The outline, then the holes, each closed: its last point is its first.
            std::vector<Json> rings;
            if (item.at("shape").at("type") == "simple_polygon") {
                rings.push_back(item.at("shape").at("data"));
            } else {
                ASSERT_EQ(item.at("shape").at("type"), "polygon");
                rings.push_back(item.at("shape").at("data").at("outer"));
                for (const Json& hole : item.at("shape").at("data").at("inner")) {
                    rings.push_back(hole);
                }
            }
            for (const Json& ring : rings) {
                const double sign = flipped ? -1 : 1;
                if (flipped && ring[0][0].get<double>() != 0) ++awayFromZero;
                for (std::size_t i = 0; i + 1 < ring.size(); ++i, ++line) {
                    ASSERT_LT(line, drawn.size());
                    const double x0 = sign * ring[i][0].get<double>();
                    const double y0 = ring[i][1].get<double>();
                    const double x1 = sign * ring[i + 1][0].get<double>();
                    const double y1 = ring[i + 1][1].get<double>();
                    const Segment& d = drawn[line];
                    EXPECT_TRUE(near(d.x0, std::cos(a) * x0 - std::sin(a) * y0 + tx) &&
                                near(d.y0, std::sin(a) * x0 + std::cos(a) * y0 + ty) &&
                                near(d.x1, std::cos(a) * x1 - std::sin(a) * y1 + tx) &&
                                near(d.y1, std::sin(a) * x1 + std::cos(a) * y1 + ty))
                        << instance << ": " << entry.at("name") << " edge " << i;
                }
            }
        }
        EXPECT_EQ(line + 1, drawn.size()) << instance << ": then only the packed-length line";
        if (mirror) {
            EXPECT_GT(mirrored, 0) << instance << ": --mirror mirrored no part";
            EXPECT_GT(awayFromZero, 0) << instance << ": no mirrored first vertex off x = 0";
        }
        const std::string report = readFile(dir.path() / "Results.txt");
        EXPECT_TRUE(near(std::atof(textAfter(report, "Packed length:").c_str()),
                         json.at("solution").at("strip_width").get<double>()))
            << report;
    }
}

TEST(JsonOutputTest, PartsLeftOffTheSheetAreListedWithTheReason) {
    TempDir dir;
    const std::string input = std::string(BLOCKNEST_SOURCE_DIR) + "/tests/data/json/dighe2.json";
    const RunResult run = runBlocknestBinary(
        {"--no-pause", "-q", "--sheet", "60x100", "--json", "p.json", input}, dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(
        run.err.find("blocknest: --sheet 60x100 replaces the strip height 100 of '" + input + "'"),
        std::string::npos)
        << run.err;
    const Json json = Json::parse(readFile(dir.path() / "p.json"));
    const Json& layout = json.at("solution").at("layout");
    EXPECT_EQ(layout.at("placed_items").size() + layout.at("unplaced_items").size(), 10u);
    ASSERT_FALSE(layout.at("unplaced_items").empty()) << "a sheet of 60 x 100 holds 6000 of 10000";
    EXPECT_EQ(layout.at("unplaced_items").at(0).at("reason"),
              "no room on the sheet in any of its orientations");
    EXPECT_NE(run.err.find("left off the sheet"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace blocknest
