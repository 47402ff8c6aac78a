#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

const std::string kExample = BLOCKNEST_SOURCE_DIR "/examples/workshop_parts.txt";
const std::filesystem::path kExpected = BLOCKNEST_SOURCE_DIR "/tests/data/expected";

std::string maskTime(const std::string& text) {
    const std::string label = "(Packing time:";
    const std::size_t at = text.find(label);
    if (at == std::string::npos) return text;
    const std::size_t end = text.find(')', at);
    return text.substr(0, at) + label + "TIME" + text.substr(end);
}

std::string firstLines(const std::string& text, int count) {
    std::istringstream in(text);
    std::string result;
    std::string line;
    for (int i = 0; i < count && std::getline(in, line); ++i) result += line + "\n";
    return result;
}

class CliTest : public testing::Test {
protected:
    TempDir dir_;
};

TEST_F(CliTest, TheDefaultRunIsUnchangedByTheOptions) {
    const RunResult run = runBlocknestBinary({kExample}, dir_.path(), "");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(maskTime(run.out), readFile(kExpected / "workshop_parts.stdout"));
    EXPECT_EQ(readFile(dir_.path() / "Layout.dxf"),
              readFile(kExpected / "workshop_parts.Layout.dxf"));
    const std::string report = readFile(dir_.path() / "Results.txt");
    EXPECT_EQ(firstLines(report, 3), readFile(kExpected / "workshop_parts.Results.head"));
    EXPECT_EQ(countOf(report, "\n"), 5) << report;
    EXPECT_EQ(report.substr(report.size() - 6), " ms)\n\n") << "the file ends with an empty line";
}

TEST_F(CliTest, OutputDirectoryIsCreatedAndQuietDropsProgressLines) {
    const auto out = dir_.path() / "a" / "b";
    const RunResult run =
        runBlocknestBinary({"-q", "--no-pause", "-o", out.string(), kExample}, dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readFile(out / "Layout.dxf"), readFile(kExpected / "workshop_parts.Layout.dxf"));
    EXPECT_TRUE(std::filesystem::exists(out / "Results.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Layout.dxf"));
    EXPECT_EQ(run.out.find("Packing the"), std::string::npos);
    EXPECT_NE(run.out.find("Part Number:34\nPacking Completed.(Packing time:"), std::string::npos)
        << run.out;
}

TEST_F(CliTest, AnOutputDirectoryThatCannotBeMadeIsAnError) {
    dir_.write("file", "x");
    const RunResult run =
        runBlocknestBinary({"--no-pause", "-o", "file/sub", kExample}, dir_.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.substr(0, 50), "blocknest: cannot use the output directory 'file/s");
}

TEST_F(CliTest, RotationsChangeTheSearch) {
    const RunResult two = runBlocknestBinary({"--no-pause", "-o", "two", kExample}, dir_.path());
    const RunResult one =
        runBlocknestBinary({"--no-pause", "-r", "1", "-o", "one", kExample}, dir_.path());
    ASSERT_EQ(two.exitCode, 0);
    ASSERT_EQ(one.exitCode, 0);
    EXPECT_NE(one.out.find("Part Rotation Number = 1\n"), std::string::npos);
    EXPECT_NE(readFile(dir_.path() / "one" / "Layout.dxf"),
              readFile(dir_.path() / "two" / "Layout.dxf"));
}

TEST_F(CliTest, BadCommandLinesExitWithCodeTwo) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-r", "0", kExample},
                                                 {"--rotations", "abc", kExample},
                                                 {"-o"},
                                                 {"--svg="},
                                                 {"--bogus"},
                                                 {"-z", kExample},
                                                 {"--spacing", "-1", kExample},
                                                 {"--margin", "1e999", kExample},
                                                 {"--sheets", "x", kExample},
                                                 {"--dxf-cam-labels", kExample}}) {
        const RunResult run = runBlocknestBinary(args, dir_.path());
        EXPECT_EQ(run.exitCode, 2) << args[0];
        EXPECT_EQ(countOf(run.err, "\n"), 2) << "one line and the --help hint: " << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Layout.dxf"));
    }
}

// Files that are not what the program reads, and a margin that leaves no room, are named for
// what they are; nothing is written.
TEST_F(CliTest, FilesOfOtherKindsAndAMarginWithoutRoomAreNamedForWhatTheyAre) {
    const std::string binary("\x01\x02\0\x03", 4);
    for (const auto& [name, contents, kind] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"drawing.pdf", "%PDF-1.7\n%\xE2\xE3\n1 0 obj\n", "a PDF document"},
             {"part.dwg", std::string("AC1032\0\0\0", 9), "a DWG drawing"},
             {"photo.txt", "\xFF\xD8\xFF\xE0\0\x10JFIF", "a JPEG image"},
             {"data.bin", "SheetLength" + binary, "a binary file"}}) {
        const std::filesystem::path file = dir_.write(name, contents);
        const RunResult run = runBlocknestBinary({"--no-pause", file.string()}, dir_.path());
        EXPECT_EQ(run.exitCode, 1) << name;
        EXPECT_NE(run.err.find(file.string() + ": " + kind +
                               ", not a part data file, DXF drawing, JSON instance or job list"),
                  std::string::npos)
            << run.err;
    }
    RunResult run = runBlocknestBinary({"--no-pause", "missing.dxf:3"}, dir_.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "blocknest: 'missing.dxf:3': the file 'missing.dxf' does not exist\n");

    run = runBlocknestBinary({"--no-pause", "--margin", "300", kExample}, dir_.path());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "blocknest: --margin 300 leaves no room on the sheet 1200 x 600: it keeps the parts "
              "that far from every edge\n");
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Layout.dxf"));
}

TEST_F(CliTest, TheSvgShowsEveryPartAndTheReportsFigures) {
    const RunResult run =
        runBlocknestBinary({"--no-pause", "--svg", "layout.svg", kExample}, dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string svg = readFile(dir_.path() / "layout.svg");
    EXPECT_EQ(svg.substr(0, 38), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    EXPECT_EQ(countOf(svg, "<path class=\"part\""), 34);
    EXPECT_EQ(countOf(svg, "<path class=\"unplaced\""), 0);
    EXPECT_EQ(countOf(svg, "<line class=\"packed-length\""), 1);
    const std::string report = readFile(dir_.path() / "Results.txt");
    const std::string length = textAfter(report, "Packed length:");
    const std::string density = textAfter(report, "Packing density:");
    ASSERT_FALSE(length.empty());
    ASSERT_FALSE(density.empty());
    EXPECT_NE(svg.find("Packed length: " + length + "   Packing density: " + density +
                       "   Placed parts: 34 of 34"),
              std::string::npos);
}

TEST_F(CliTest, PartsThatDoNotFitAreNamedAndTheRunStillSucceeds) {
    std::string file = partFileHeader(100, 50);
    file += partBlock("Giant", 2, {{0, 0}, {300, 0}, {300, 20}, {0, 20}});
    file += partBlock("Tile", 3, {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    const auto input = dir_.write("parts.txt", file);
    const RunResult run =
        runBlocknestBinary({"--no-pause", "--svg", "l.svg", input.string()}, dir_.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(
        run.err,
        "blocknest: 2 of 5 parts left off the sheet (100 x 50): \"Giant\" x2 (larger than the "
        "sheet: 300 x 20)\n");
    EXPECT_TRUE(std::filesystem::exists(dir_.path() / "Layout.dxf"));
    EXPECT_TRUE(std::filesystem::exists(dir_.path() / "Results.txt"));
    const std::string svg = readFile(dir_.path() / "l.svg");
    EXPECT_EQ(countOf(svg, "<path class=\"part\""), 3);
    EXPECT_EQ(countOf(svg, "<path class=\"unplaced\""), 2);
    EXPECT_NE(svg.find("Placed parts: 3 of 5"), std::string::npos);
}

// When no part fits, on one sheet or over several, the report says so in figures (no "nan",
// no sheet used, no sheet needed) and the console names the parts with their sizes and the
// sheet's.
TEST_F(CliTest, NothingFittingIsReportedInFiguresAndSizes) {
    std::string file = partFileHeader(150, 150);
    file += partBlock("Flange", 2, {{0, 0}, {200, 0}, {200, 200}, {0, 200}});
    const auto input = dir_.write("parts.txt", file);
    for (const char* sheets : {"1", "0"}) {
        const RunResult run = runBlocknestBinary(
            {"--no-pause", "-q", "--sheets", sheets, input.string()}, dir_.path());
        EXPECT_EQ(run.exitCode, 0);
        const std::string report = readFile(dir_.path() / "Results.txt");
        EXPECT_EQ(report.find("nan"), std::string::npos) << report;
        EXPECT_NE(report.find("Packing density:0%"), std::string::npos) << report;
        if (std::string(sheets) == "0") {
            EXPECT_NE(report.find("Sheets used:0 (at least 0)"), std::string::npos) << report;
            EXPECT_NE(run.err.find("\"Flange\" (200 x 200) is larger than the sheet (150 x 150)"),
                      std::string::npos)
                << run.err;
        }
        EXPECT_NE(run.err.find("2 of 2 parts left off the sheet (150 x 150): \"Flange\" x2 "
                               "(larger than the sheet: 200 x 200)"),
                  std::string::npos)
            << run.err;
    }
}

// Parts 1e306 tall, left off in rows of their own, take the picture's height past the number
// range: the picture is left out, and the one of an earlier run must not stay beside the new
// drawing and report as if it showed them.
TEST_F(CliTest, APictureThatCannotBeDrawnTakesTheStaleOneWithIt) {
    std::string file = partFileHeader(100, 50);
    file += partBlock("Tower", 3, {{0, 0}, {60, 0}, {60, 1e306}, {0, 1e306}});
    file += partBlock("Tile", 2, {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    const auto input = dir_.write("parts.txt", file);
    dir_.write("l.svg", "old picture");
    dir_.write("Layout.dxf", "old drawing");
    const RunResult run =
        runBlocknestBinary({"--no-pause", "-q", "--svg", "l.svg", input.string()}, dir_.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("blocknest: the picture 'l.svg' is left out: its coordinates are too "
                           "large to draw; the picture of an earlier run there is removed\n"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "l.svg")) << "the stale picture stayed";
    EXPECT_NE(readFile(dir_.path() / "Layout.dxf"), "old drawing");
}

TEST_F(CliTest, SpacingMarginAndSeveralSheetsRunInOneCommand) {
    std::string file = partFileHeader(100, 50);
    file += partBlock("Giant", 2, {{0, 0}, {300, 0}, {300, 20}, {0, 20}});
    file += partBlock("Tile", 40, {{0, 0}, {20, 0}, {20, 20}, {0, 20}});
    const auto input = dir_.write("parts.txt", file);
    const RunResult run =
        runBlocknestBinary({"--no-pause", "-q", "--mirror", "--sheets", "0", "--spacing", "1",
                            "--margin", "2", "--svg", "l.svg", "--json", "p.json", input.string()},
                           dir_.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("\"Giant\" (300 x 20) is larger than the sheet (100 x 50)"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("2 of 42 parts left off the sheet"), std::string::npos) << run.err;
    // Tiles of 20 with gaps of 1 and margins of 2: four by two on a sheet of 100 x 50.
    const std::string report = readFile(dir_.path() / "Results.txt");
    // Four records, the empty line that closes them, five sheets, the job's sheet area and
    // scrap, the mirrored count.
    EXPECT_EQ(countOf(report, "\n"), 4 + 1 + 5 + 1 + 1) << report;
    // Four full sheets and the last up to its packed length; 40 tiles of 400.
    const double lastLength = std::stod(textAfter(report, "Sheet 5: Packed length:"));
    const double used = (4 * 100 + lastLength) * 50;
    EXPECT_NEAR(std::stod(textAfter(report, "Sheet area used:")), used, 1e-5 * used) << report;
    EXPECT_NEAR(std::stod(textAfter(report, "Scrap:")), used - 40 * 400, 1e-5 * used) << report;
    EXPECT_NE(report.find("\nMirrored parts:"), std::string::npos) << report;
    EXPECT_EQ(report.substr(0, 14), "Packed length:");
    EXPECT_NE(report.find("Sheet 1: Packed length:"), std::string::npos) << report;
    EXPECT_NE(report.find("Parts:8 Area of parts:3200\nSheet 5:"), std::string::npos) << report;
    const std::string svg = readFile(dir_.path() / "l.svg");
    EXPECT_EQ(countOf(svg, "<rect class=\"sheet\""), 5);
    EXPECT_EQ(countOf(svg, "<path class=\"part\""), 40);
    EXPECT_EQ(countOf(svg, "<path class=\"unplaced\""), 2);
    EXPECT_NE(svg.find("Placed parts: 40 of 42   Sheets: 5"), std::string::npos);
    const std::string json = readFile(dir_.path() / "p.json");
    EXPECT_EQ(countOf(json, "\"sheet\": 1"), 8) << "each placed part names its sheet";
    EXPECT_EQ(countOf(json, "\"sheet\": 5"), 8);
    EXPECT_EQ(countOf(json, "larger than the sheet"), 2);
    EXPECT_EQ(countOf(json, "\"parts\": 8"), 5) << "each sheet's figures";
    EXPECT_NE(json.find("\"scrap_area\": "), std::string::npos);
    const std::string dxf = readFile(dir_.path() / "Layout.dxf");
    EXPECT_EQ(countOf(dxf, "LINE\n"), 5 * (4 + 1) + 42 * 4) << "outline and length line per sheet";
}

TEST_F(CliTest, TheSummaryNamesAtMostTenParts) {
    std::string file = partFileHeader(30, 30);
    for (int i = 0; i < 12; ++i) {
        file += partBlock("Big" + std::to_string(i), i == 0 ? 3 : 1,
                          {{0, 0}, {50.0 + i, 0}, {50.0 + i, 40}, {0, 40}});
    }
    file += partBlock("Small", 1, {{0, 0}, {5, 0}, {5, 5}, {0, 5}});
    const auto input = dir_.write("parts.txt", file);
    const RunResult run = runBlocknestBinary({"--no-pause", input.string()}, dir_.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(countOf(run.err, "\""), 20) << run.err;
    EXPECT_NE(run.err.find("14 of 15 parts left off the sheet"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\"Big2\" (larger than the sheet: 52 x 40), and 4 more\n"),
              std::string::npos)
        << "the largest first; Big1 and the three Big0 are left: " << run.err;
}

}  // namespace
}  // namespace blocknest
