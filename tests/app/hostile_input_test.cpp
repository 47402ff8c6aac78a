#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>
#include <sstream>

#include "app/messages.hpp"
#include "input/part_file_reader.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

const std::string kReadWarning =
    "Warning! " + std::string(messageText(Message::partFileReadFailed, ConsoleEncoding::utf8)) +
    "\n";
const std::string kOldLayout = "old drawing that must survive\n";
const std::string kOldReport = "old report that must survive\n";
const std::vector<Vertex> kSquare{{0, 0}, {10, 0}, {10, 10}, {0, 10}};

// Each case runs the real program on one file in a folder that already holds the outputs of
// an earlier run, and checks the exit code, standard error, and what became of those outputs.
class HostileInputTest : public testing::Test {
protected:
    HostileInputTest() {
        dir_.write("Layout.dxf", kOldLayout);
        dir_.write("Results.txt", kOldReport);
    }
    RunResult run(const std::string& contents) {
        const auto file = dir_.write("input.txt", contents);
        return runBlocknestBinary({"--no-pause", "-q", file.string()}, dir_.path());
    }
    void expectOldOutputsIntact() {
        EXPECT_EQ(readFile(dir_.path() / "Layout.dxf"), kOldLayout);
        EXPECT_EQ(readFile(dir_.path() / "Results.txt"), kOldReport);
    }
    void expectNewOutputs() {
        const std::string dxf = readFile(dir_.path() / "Layout.dxf");
        EXPECT_EQ(dxf.substr(0, 25), "  0\nSECTION\n  2\nENTITIES\n");
        EXPECT_EQ(dxf.substr(dxf.size() - 15), "ENDSEC\n  0\nEOF\n");
        EXPECT_EQ(readFile(dir_.path() / "Results.txt").substr(0, 14), "Packed length:");
    }
    std::string path() const { return (dir_.path() / "input.txt").string(); }

    TempDir dir_;
};

TEST_F(HostileInputTest, NumbersThatAreNotFiniteAreRefused) {
    const std::string block = partBlock("P", 1, kSquare);
    RunResult r = run("SheetLength: 1e400\nSheetWidth: 50\nx\n" + block);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, path() + ":1: the sheet length must be a positive number, not inf\n");
    r = run("SheetLength: 100\nSheetWidth: nan\nx\n" + block);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, path() + ":2: the sheet width must be a positive number, not 0\n")
        << "the word nan is no number";
    r = run(partFileHeader(100, 50) + "Part\nOutLoop\n0,0\n-1e999,5\n5,5\nEndOutLoop\nEndPart\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, path() + ":7: a vertex coordinate is not a finite number\n");
    expectOldOutputsIntact();
}

TEST_F(HostileInputTest, CopyCountsBeyondMemoryAreRefused) {
    std::string huge = partBlock("Tile", 1, kSquare);
    huge.replace(huge.find("PartNumOfSameType\n1\n"), 20,
                 "PartNumOfSameType\n999999999999999999999\n");
    RunResult r = run(partFileHeader(100, 50) + huge);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("asks for 9223372036854775807 copies; more than 1000000 parts or "
                         "3000000 vertices in all do not fit in memory"),
              std::string::npos)
        << r.err;
    std::string many = partFileHeader(100, 50);
    for (int i = 0; i < 3; ++i) many += partBlock("Tile", 400000, kSquare);
    r = run(many);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("\"Tile\" asks for 400000 copies"), std::string::npos) << r.err;
    expectOldOutputsIntact();
}

TEST_F(HostileInputTest, GridsAndImagesBeyondMemoryAreRefused) {
    RunResult r = run(partFileHeader(1e12, 1e12) + partBlock("P", 1, kSquare));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, path() +
                         ": the sheet 1e+12 x 1e+12 in blocks of 1 makes a grid of more "
                         "than 2147483648 blocks\n");
    // A part that fits the sheet but needs an image of 11701 x 11701 blocks of side 1.
    r = run(partFileHeader(12000, 12000) +
            partBlock("Huge", 1, {{0, 0}, {11700, 0}, {11700, 11700}, {0, 11700}}) +
            partBlock("Small", 1, kSquare));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "blocknest: the part \"Huge\" turned by 0 degrees would need a block image "
              "of 11701 x 11701 blocks, more than the 134217728 this program holds; the "
              "block side 1, derived from the smallest part, is too small for it\n");
    expectOldOutputsIntact();
}

TEST_F(HostileInputTest, DegenerateSmallestPartsAreRefused) {
    RunResult r = run(partFileHeader(100, 50) + partBlock("Big", 1, kSquare) +
                      partBlock("Line", 1, {{1, 1}, {1, 1}}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, path() +
                         ": the smallest part has no extent, so no block side length can "
                         "be derived from it (0)\n");
    expectOldOutputsIntact();
}

TEST_F(HostileInputTest, PartsThatCannotBePlacedAreLeftOffWithTheirReason) {
    // Zero area but a box: the block side comes from it, and its centroid is no number.
    const RunResult r = run(partFileHeader(100, 50) + partBlock("Big", 1, kSquare) +
                            partBlock("Flat", 1, {{0, 0}, {4, 4}, {8, 8}}));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "blocknest: 1 of 2 parts left off the sheet: \"Flat\" (no area)\n");
    expectNewOutputs();
    // A hole larger than its outline leaves a negative net area: it used to be placed and to
    // make the figures negative.
    std::string text = partFileHeader(100, 50);
    text += partBlock("Inside out", 1, kSquare, {{{-10, -10}, {40, -10}, {40, 40}, {-10, 40}}});
    text += partBlock("Bowtie", 2, {{0, 0}, {20, 20}, {20, 0}, {0, 20}});
    text += partBlock("Eight", 1, {{0, 0}, {20, 20}, {30, 20}, {30, 0}, {20, 0}, {0, 20}});
    text += partBlock("Long", 1, {{0, 0}, {400, 0}, {400, 10}, {0, 10}});
    text += partBlock("Tile", 4, {{0, 0}, {40, 0}, {40, 45}, {0, 45}});
    const RunResult odd = run(text);
    EXPECT_EQ(odd.exitCode, 0) << odd.err;
    EXPECT_EQ(odd.err,
              "blocknest: 7 of 9 parts left off the sheet (100 x 50): \"Long\" (larger than the "
              "sheet: 400 x 10), "
              "\"Tile\" x2 (no room left), \"Eight\" (self-crossing outline), \"Bowtie\" x2 "
              "(no area), \"Inside out\" (no area)\n");
    const std::string report = readFile(dir_.path() / "Results.txt");
    EXPECT_EQ(report.substr(0, report.find("(Packing")),
              "Packed length:80\nPacking density:90%\nArea of all parts:3600\n");
}

TEST_F(HostileInputTest, GarbageEmptyAndHeaderOnlyFilesHoldNoPart) {
    std::mt19937 random(3);
    std::string garbage;
    for (int i = 0; i < 20000; ++i) garbage += static_cast<char>(random() % 256);
    for (const std::string& contents :
         {garbage, std::string(), partFileHeader(100, 50), std::string("Part\n")}) {
        const RunResult r = run(contents);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err.substr(0, kReadWarning.size()), kReadWarning) << r.err;
    }
    expectOldOutputsIntact();
}

TEST_F(HostileInputTest, OverlongLinesAreRefusedWithoutTakingTheirLength) {
    // The bound itself is tested with small limits by the reader's tests; here only that a
    // refused file leaves the old outputs, and that a long line below the bound is read.
    std::string text = partFileHeader(100, 50) + "Part\nName\n";
    text += std::string(1 << 16, 'N');
    text += "\nOutLoop\n0,0\n1,0\n1,1\nEndOutLoop\nEndPart\n";
    ReadLimits limits;
    limits.maxLineLength = 1 << 16;
    std::istringstream in(text);
    EXPECT_TRUE(std::holds_alternative<PartFileContents>(readPartData(in, "t", limits)));
    limits.maxLineLength = (1 << 16) - 1;
    std::istringstream again(text);
    EXPECT_TRUE(std::holds_alternative<InputError>(readPartData(again, "t", limits)));
    const RunResult refused = run(partFileHeader(100, 50) + "Part\nOutLoop\nEndOutLoop\n");
    EXPECT_EQ(refused.exitCode, 1);
    expectOldOutputsIntact();
    const RunResult longName =
        run(partFileHeader(100, 50) + partBlock(std::string(1 << 20, 'n'), 1, kSquare));
    EXPECT_EQ(longName.exitCode, 0) << "a long line below the bound is read whole";
}

TEST_F(HostileInputTest, ALargeLoopRunsInBoundedTime) {
    std::string text = partFileHeader(3000, 1000) + "Part\nName\nDisc\nOutLoop\n";
    const int n = 100000;
    for (int i = 0; i < n; ++i) {
        const double angle = 6.283185307179586 * i / n;
        text += std::to_string(400 + 300 * std::cos(angle)) + "," +
                std::to_string(400 + 300 * std::sin(angle)) + "\n";
    }
    text += "EndOutLoop\nEndPart\n" + partBlock("Tile", 6, {{0, 0}, {60, 0}, {60, 60}, {0, 60}});
    const auto start = std::chrono::steady_clock::now();
    const RunResult r = run(text);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    expectNewOutputs();
    RecordProperty("seconds", std::to_string(seconds));
}

TEST_F(HostileInputTest, OddButReadableShapesRun) {
    std::string text = partFileHeader(200, 100);
    text += partBlock("Bowtie", 2, {{0, 0}, {20, 20}, {20, 0}, {0, 20}});
    text += partBlock("Stray hole", 1, kSquare, {{{30, 30}, {40, 30}, {40, 40}}});
    text += partBlock("Repeats", 2, {{0, 0}, {0, 0}, {15, 0}, {15, 0}, {15, 9}, {0, 9}, {0, 9}});
    const RunResult r = run(text);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    expectNewOutputs();
}

// Whatever a line on standard error echoes, from a file or its name, acts on no terminal.
TEST_F(HostileInputTest, NoControlByteReachesTheTerminal) {
    const std::string name = "a\x1B[2J\x07\x9B.json";
    dir_.write(name, "{\"items\": [], \"name\": \"\x1B]0;title\x07\"}");
    const RunResult r =
        runBlocknestBinary({"--no-pause", "-q", name, "missing\x1B[31m.json"}, dir_.path());
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("a\\x1B[2J\\x07"), std::string::npos) << r.err;
    for (std::size_t i = 0; i < r.err.size(); ++i) {
        const auto byte = static_cast<unsigned char>(r.err[i]);
        ASSERT_TRUE((byte >= 0x20 && byte != 0x7F) || byte == '\n') << i << ": " << r.err;
    }
    expectOldOutputsIntact();
}

}  // namespace
}  // namespace blocknest
