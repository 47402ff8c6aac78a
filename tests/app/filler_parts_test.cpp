// Filler parts: placed only in the room the required parts leave on their sheets. On the shop
// example the sheets used stay the same while their density rises, the layout passes the
// independent gap checker (its own geometry, from the picture), and fillers never open a sheet.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

const std::string kRoot = BLOCKNEST_SOURCE_DIR;

struct Figures {
    int sheets = -1;
    double density = -1;
    std::string report;
    nlohmann::json json;
};

Figures runShop(const TempDir& dir, std::vector<std::string> extra) {
    std::vector<std::string> args{"--no-pause", "-q",      "--sheet",   "500x300",
                                  "--sheets",   "0",       "--spacing", "2",
                                  "--margin",   "3",       "--json",    "run.json",
                                  "--svg",      "run.svg", "-o",        dir.path().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(kRoot + "/examples/shop_order.csv");
    const RunResult run = runBlocknestBinary(args, dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    Figures figures;
    figures.report = readFile(dir.path() / "Results.txt");
    figures.json = nlohmann::json::parse(readFile(dir.path() / "run.json"));
    figures.sheets = static_cast<int>(figures.json["solution"]["sheets"].size());
    figures.density = figures.json["solution"]["density"].get<double>();
    return figures;
}

TEST(FillerPartsTest, WashersFillTheShopSheetsWithoutOpeningOne) {
    const TempDir plainDir;
    const Figures plain = runShop(plainDir, {});
    const TempDir filledDir;
    const Figures filled = runShop(filledDir, {"--fill", kRoot + "/examples/shop/washer.dxf"});
    EXPECT_EQ(filled.sheets, plain.sheets) << filled.report;
    EXPECT_GT(filled.density, plain.density + 0.01) << filled.report;
    EXPECT_NE(filled.report.find("Filler parts placed: washer x "), std::string::npos)
        << filled.report;
    EXPECT_EQ(plain.report.find("Filler parts placed"), std::string::npos);
    const nlohmann::json& placed = filled.json["solution"]["filler_parts_placed"];
    ASSERT_EQ(placed.size(), 1u) << filled.json["solution"].dump();
    int fillers = 0;
    for (const nlohmann::json& part : filled.json["solution"]["layout"]["placed_items"]) {
        if (part.value("filler", false)) ++fillers;
    }
    EXPECT_GT(fillers, 10);
    EXPECT_EQ(placed[0]["count"].get<int>(), fillers);
    // The gaps and the margin of every sheet, by a checker that shares no code with the run.
    const std::string check = "/usr/bin/python3 " + kRoot + "/bench/gap-check " +
                              (filledDir.path() / "run.svg").string() + " 500 300 2 3 > /dev/null";
    EXPECT_EQ(std::system(check.c_str()), 0) << check;
}

// A counted filler places at most its count; a job list's fill column and FILE:+N make
// fillers as --fill does; with a quantity beside a fill the row is refused.
TEST(FillerPartsTest, CountsAndTheJobListColumn) {
    const TempDir dir;
    const std::string washer = kRoot + "/examples/shop/washer.dxf";
    const std::string bracket = kRoot + "/examples/bracket.dxf";
    const std::string list =
        dir.write("order.csv", "file,quantity,fill\n" + bracket + ",5,\n" + washer + ",,7\n")
            .string();
    const RunResult plain =
        runBlocknestBinary({"--no-pause", "-q", "--sheet", "400x200", "--sheets", "0", "-o",
                            dir.path().string(), bracket + ":5"},
                           dir.path());
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    const std::string plainReport = readFile(dir.path() / "Results.txt");
    const std::string sheetsUsed =
        plainReport.substr(plainReport.find("Sheets used:"), std::string("Sheets used:1 ").size());
    for (const std::vector<std::string>& files :
         {std::vector<std::string>{list}, std::vector<std::string>{bracket + ":5", washer + ":+7"},
          std::vector<std::string>{bracket + ":5", "--fill", washer + ":7"}}) {
        std::vector<std::string> args{"--no-pause", "-q", "--sheet", "400x200",
                                      "--sheets",   "0",  "-o",      dir.path().string()};
        args.insert(args.end(), files.begin(), files.end());
        const RunResult run = runBlocknestBinary(args, dir.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string report = readFile(dir.path() / "Results.txt");
        EXPECT_NE(report.find("Filler parts placed: washer x 7\n"), std::string::npos) << report;
        EXPECT_NE(report.find(sheetsUsed), std::string::npos) << report;
        EXPECT_EQ(run.err.find("filler parts with no room"), std::string::npos) << run.err;
    }
    // Copies that find no room are named with how many, in one line.
    const RunResult crowded =
        runBlocknestBinary({"--no-pause", "-q", "--sheet", "400x200", "--sheets", "0", "-o",
                            dir.path().string(), bracket + ":5", washer + ":+400"},
                           dir.path());
    ASSERT_EQ(crowded.exitCode, 0) << crowded.err;
    const std::string crowdedReport = readFile(dir.path() / "Results.txt");
    const std::size_t at = crowdedReport.find("Filler parts placed: washer x ");
    ASSERT_NE(at, std::string::npos) << crowdedReport;
    const int placedWashers = std::stoi(crowdedReport.substr(at + 30));
    EXPECT_NE(crowded.err.find("filler parts with no room on the sheets used: washer x " +
                               std::to_string(400 - placedWashers) + "\n"),
              std::string::npos)
        << crowded.err;
    const std::string both =
        dir.write("both.csv", "file,quantity,fill\n" + washer + ",3,max\n").string();
    const RunResult refused = runBlocknestBinary({"--no-pause", "-q", both}, dir.path());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("both.csv:2: a row gives a quantity"), std::string::npos)
        << refused.err;
    // Fillers alone use no sheet: there is no room the required parts leave.
    const RunResult alone =
        runBlocknestBinary({"--no-pause", "-q", "--sheet", "400x200", "--sheets", "0", "-o",
                            dir.path().string(), "--fill", washer},
                           dir.path());
    ASSERT_EQ(alone.exitCode, 0) << alone.err;
    EXPECT_NE(alone.err.find("washer (none fit)"), std::string::npos) << alone.err;
    EXPECT_NE(readFile(dir.path() / "Results.txt").find("Filler parts placed: none"),
              std::string::npos);
}

}  // namespace
}  // namespace blocknest
