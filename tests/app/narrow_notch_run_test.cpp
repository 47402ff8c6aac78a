// A drawn sheet whose outline has slits far narrower than a block: no run may lay a part
// across one, checked on the placement list against the slits as drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

struct Slit {
    double x;      // its left side at the upper edge
    double width;  // along X, at the upper edge
    bool pointed;  // a saw cut narrowing to a point at its foot, else of even width
};

// The sheet 100 x 40 with slits cut from its upper edge down to y = 5.
std::string slitSheet(const std::vector<Slit>& slits) {
    std::vector<std::pair<double, double>> outline{{0, 0}, {100, 0}, {100, 40}};
    for (auto slit = slits.rbegin(); slit != slits.rend(); ++slit) {
        outline.push_back({slit->x + slit->width, 40});
        if (slit->pointed) {
            outline.push_back({slit->x + slit->width / 2, 5});
        } else {
            outline.insert(outline.end(), {{slit->x + slit->width, 5}, {slit->x, 5}});
        }
        outline.push_back({slit->x, 40});
    }
    outline.push_back({0, 40});
    std::string dxf = "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n8\nSHEET\n90\n" +
                      std::to_string(outline.size()) + "\n70\n1\n";
    for (const auto& [x, y] : outline) {
        char pair[96];
        std::snprintf(pair, sizeof pair, "10\n%.17g\n20\n%.17g\n", x, y);
        dxf += pair;
    }
    return dxf + "0\nENDSEC\n0\nEOF\n";
}

// 14 bars of 15 x 3 and six 9 x 4 plates: the block side is 0.9 or more, thirty times the
// widest slit. Every run, plain, spaced (with a margin as wide as the spacing), searched or from a
// stock list, must keep each placed part off every slit: its outline, placed as the list says,
// meets no slit's inside.
TEST(NarrowNotchRunTest, NoPartLiesAcrossASlitNarrowerThanATenthOfABlock) {
    const TempDir dir;
    const std::vector<Slit> slits{
        {20.37, 0.03, false}, {33.52, 0.03, true}, {45.71, 0.01, false}, {71.13, 0.05, true}};
    dir.write("sheet.dxf", slitSheet(slits));
    dir.write("stock.csv", "file,count\nsheet.dxf,1\n");
    const std::vector<Vertex> bar{{0, 0}, {15, 0}, {15, 3}, {0, 3}};
    const std::vector<Vertex> plate{{0, 0}, {9, 0}, {9, 4}, {0, 4}};
    const std::string parts =
        dir.write("bars.txt", partFileHeader(100, 40) + partBlock("Bar", 14, bar) +
                                  partBlock("Plate", 6, plate))
            .string();
    for (const std::vector<std::string>& run :
         {std::vector<std::string>{"--sheet-dxf", "sheet.dxf"},
          {"--sheet-dxf", "sheet.dxf", "-r", "4"},
          {"--sheet-dxf", "sheet.dxf", "--margin", "0.2", "--spacing", "0.2"},
          {"--sheet-dxf", "sheet.dxf", "--evaluations", "24", "-j", "2"},
          {"--stock", "stock.csv"}}) {
        std::string what;
        for (const std::string& arg : run) what += arg + " ";
        std::vector<std::string> args{"--no-pause", "-q", "--json",
                                      "p.json",     "-o", dir.path().string()};
        args.insert(args.end(), run.begin(), run.end());
        args.push_back(parts);
        const RunResult result = runBlocknestBinary(args, dir.path());
        ASSERT_EQ(result.exitCode, 0) << what << result.err;
        const nlohmann::json json = nlohmann::json::parse(readFile(dir.path() / "p.json"));
        const nlohmann::json& placed = json["solution"]["layout"]["placed_items"];
        EXPECT_GE(placed.size(), 14u) << what;
        int crossing = 0;
        for (const nlohmann::json& item : placed) {
            const nlohmann::json& t = item["transformation"];
            const double turn = t["rotation"].get<double>() * std::acos(-1.0) / 180;
            const double dx = t["translation"][0].get<double>();
            const double dy = t["translation"][1].get<double>();
            double minX = 1e300, maxX = -1e300, maxY = -1e300;
            for (const Vertex& v : item["name"] == "Bar" ? bar : plate) {
                const double x = v.x * std::cos(turn) - v.y * std::sin(turn) + dx;
                const double y = v.x * std::sin(turn) + v.y * std::cos(turn) + dy;
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                maxY = std::max(maxY, y);
            }
            // The parts are rectangles along the axes: one crosses a slit when, at the
            // highest point of the slit it reaches, it overlaps the slit's width there.
            for (const Slit& slit : slits) {
                const double hair = 1e-9;
                const double top = std::min(maxY, 40.0);
                const double half =
                    slit.width / 2 * (slit.pointed ? std::max(0.0, top - 5) / 35 : 1);
                const double middle = slit.x + slit.width / 2;
                if (top > 5 + hair && minX < middle + half - hair && maxX > middle - half + hair) {
                    ++crossing;
                    ADD_FAILURE() << what << ": " << item["name"] << " from x " << minX << " to "
                                  << maxX << ", up to y " << maxY << ", crosses the slit at x "
                                  << slit.x;
                }
            }
        }
        EXPECT_EQ(crossing, 0) << what << "of " << placed.size() << " placed parts";
    }
}

}  // namespace
}  // namespace blocknest
