// Runs over several sheets judged by figures the test works out from the parts it wrote: the
// least number of sheets by area, and the searched layout against the plain run's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// The figure after label in text (a whole number), or -1.
int countAfter(const std::string& text, const std::string& label) {
    const std::string digits = textAfter(text, label, " )\n");
    return digits.empty() ? -1 : std::stoi(digits);
}

// Parts that fill a sheet 100 x 50 about twice over (none wider or longer than half of it, so
// their extents add nothing to the area), and a bar longer than the sheet's
// diagonal that no sheet takes: the least count by area leaves the bar out.
TEST(SheetsRunTest, TheLeastCountOfSheetsLeavesOutPartsNoSheetTakes) {
    const TempDir dir;
    const double length = 100;
    const double width = 50;
    std::string text = partFileHeader(length, width);
    double area = 0;
    for (const auto& [w, h, copies] :
         {std::tuple{30.0, 20.0, 10}, std::tuple{40.0, 10.0, 5}, std::tuple{20.0, 15.0, 6}}) {
        text += partBlock("P" + std::to_string(copies), copies, {{0, 0}, {w, 0}, {w, h}, {0, h}});
        area += copies * w * h;
    }
    text += partBlock("Beam", 1, {{0, 0}, {150, 0}, {150, 30}, {0, 30}});
    const std::string input = dir.write("parts.txt", text).string();
    const int expected = static_cast<int>(std::ceil(area / (length * width)));
    ASSERT_NE(expected, static_cast<int>(std::ceil((area + 4500) / (length * width))))
        << "the beam's area would not show";
    for (const std::vector<std::string>& search :
         {std::vector<std::string>{}, std::vector<std::string>{"--evaluations", "1500"}}) {
        std::vector<std::string> args{"--no-pause", "--sheets",         "0", "--json", "run.json",
                                      "-o",         dir.path().string()};
        args.insert(args.end(), search.begin(), search.end());
        args.push_back(input);
        const RunResult run = runBlocknestBinary(args, dir.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("larger than the sheet"), std::string::npos) << run.err;
        const std::string report = readFile(dir.path() / "Results.txt");
        EXPECT_EQ(countAfter(report, "(at least "), expected) << report;
        const nlohmann::json json = nlohmann::json::parse(readFile(dir.path() / "run.json"));
        EXPECT_EQ(json["solution"]["sheets_at_least"].get<int>(), expected);
        if (!search.empty()) {
            EXPECT_EQ(countAfter(run.out, "(at least "), expected) << run.out;
        }
    }
}

// A frame whose square hole has two thin teeth standing up from its lower edge.
std::vector<std::vector<Vertex>> toothedHole() {
    return {{{2, 2},
             {10.86, 2},
             {10.87, 15.42},
             {10.88, 2},
             {12.64, 2},
             {12.65, 31.81},
             {12.66, 2},
             {43, 2},
             {43, 43},
             {2, 43}}};
}

// Frames with toothed holes and bars that the holes seem to take, on too few sheets and on as
// many as needed: the search never leaves more parts off, nor uses more sheets, than the
// plain run of the same job, counted in the files each writes.
TEST(SheetsRunTest, TheSearchIsNeverBehindThePlainRun) {
    const TempDir dir;
    std::string text = partFileHeader(100, 50);
    text += partBlock("Frame", 5, {{0, 0}, {45, 0}, {45, 45}, {0, 45}}, toothedHole());
    text += partBlock("Bar", 35, {{0, 0}, {29.76, 0}, {29.76, 6}, {0, 6}});
    const std::string input = dir.write("frames.txt", text).string();
    // Parts on a sheet and parts on none, from the placement list.
    auto counted = [&](const std::vector<std::string>& extra) {
        std::vector<std::string> args{"--no-pause", "-q", "--json",
                                      "run.json",   "-o", dir.path().string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(input);
        const RunResult run = runBlocknestBinary(args, dir.path());
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const nlohmann::json json = nlohmann::json::parse(readFile(dir.path() / "run.json"));
        int sheets = 0;
        for (const nlohmann::json& part : json["solution"]["layout"]["placed_items"])
            sheets = std::max(sheets, part["sheet"].get<int>());
        const int off = static_cast<int>(json["solution"]["layout"]["unplaced_items"].size());
        EXPECT_EQ(off + json["solution"]["layout"]["placed_items"].size(), 40u);
        return std::pair{sheets, off};
    };
    for (const char* limit : {"2", "0"}) {
        const auto [plainSheets, plainOff] = counted({"--sheets", limit});
        for (const char* evaluations : {"3", "2000"}) {
            const auto [sheets, off] =
                counted({"--sheets", limit, "--evaluations", evaluations, "-j", "2"});
            EXPECT_LE(off, plainOff) << "--sheets " << limit << " --evaluations " << evaluations;
            if (off == plainOff) {
                EXPECT_LE(sheets, plainSheets)
                    << "--sheets " << limit << " --evaluations " << evaluations;
            }
        }
    }
}

}  // namespace
}  // namespace blocknest
