#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <variant>

#include "app/messages.hpp"
#include "input/part_file_reader.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

const std::string kExample = BLOCKNEST_SOURCE_DIR "/examples/workshop_parts.txt";

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct DxfLine {
    double x0, y0, x1, y1;
    std::string x1Text;
};

// Reads the drawing as group-code/value pairs and returns its LINE entities; fails the test
// on any pair that is not well formed.
std::vector<DxfLine> parseDxf(const std::string& text) {
    const std::vector<std::string> lines = linesOf(text);
    std::vector<DxfLine> entities;
    EXPECT_EQ(lines.size() % 2, 0u) << "group codes and values come in pairs";
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
              (std::vector<std::string>{"  0", "SECTION", "  2", "ENTITIES"}));
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()),
              (std::vector<std::string>{"  0", "ENDSEC", "  0", "EOF"}));
    std::map<std::string, std::string> entity;
    for (std::size_t i = 4; i + 1 < lines.size() - 4; i += 2) {
        const std::string& code = lines[i];
        const std::string& value = lines[i + 1];
        EXPECT_EQ(code.size(), 3u) << "line " << i + 1;
        if (code == "  0") {
            EXPECT_EQ(value, "LINE") << "line " << i + 2;
            entity.clear();
            continue;
        }
        entity[code] = value;
        if (code == " 31") {
            EXPECT_EQ(entity[" 30"], "0.0");
            EXPECT_EQ(entity["  8"], "0");
            entities.push_back({std::stod(entity[" 10"]), std::stod(entity[" 20"]),
                                std::stod(entity[" 11"]), std::stod(entity[" 21"]), entity[" 11"]});
        }
    }
    return entities;
}

class RunTest : public testing::Test {
protected:
    TempDir dir_;
};

TEST_F(RunTest, TheBundledExampleGivesAConsistentDrawingAndReport) {
    const RunResult run = runBlocknestBinary({"--no-pause", kExample}, dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string dxf = readFile(dir_.path() / "Layout.dxf");
    const std::vector<std::string> report = linesOf(readFile(dir_.path() / "Results.txt"));

    auto contents = readPartFile(kExample);
    ASSERT_TRUE(std::holds_alternative<PartFileContents>(contents));
    const PartFileContents& input = std::get<PartFileContents>(contents);
    std::size_t vertices = 0;
    for (const Part& part : input.parts) vertices += part.totalVertexCount();

    const std::vector<DxfLine> entities = parseDxf(dxf);
    ASSERT_EQ(entities.size(), 4 + vertices + 1);
    ASSERT_EQ(report.size(), 5u);
    EXPECT_EQ(report[4], "") << "the report ends with an empty line";
    const std::string packedText = report[0].substr(std::string("Packed length:").size());
    EXPECT_EQ(entities.back().x1Text, packedText) << "the packed-length line";

    // The parts on the sheet are the ones drawn inside it; the farthest X among them is the
    // packed length.
    double farthest = 0;
    std::string farthestText;
    for (std::size_t i = 4; i + 1 < entities.size(); ++i) {
        const DxfLine& e = entities[i];
        const bool onSheet =
            e.x0 <= input.sheetLength && e.x1 <= input.sheetLength && e.y0 >= 0 && e.y1 >= 0;
        if (onSheet && e.x1 > farthest) {
            farthest = e.x1;
            farthestText = e.x1Text;
        }
    }
    EXPECT_EQ(farthestText, packedText);
    EXPECT_EQ(report[1].substr(0, 16), "Packing density:");
    EXPECT_EQ(report[1].back(), '%');
    EXPECT_EQ(report[3].substr(0, 14), "(Packing time:");
    EXPECT_NE(run.out.find("\nPacking Completed."), std::string::npos);
}

TEST_F(RunTest, ALayoutThatCannotBeWrittenEndsTheRunBeforeTheReport) {
    std::filesystem::create_directories(dir_.path() / "Layout.dxf" / "keep");
    const RunResult run = runBlocknestBinary({"--no-pause", kExample}, dir_.path());
    EXPECT_EQ(run.exitCode, 1);
    const std::string warning =
        "Warning! " + std::string(messageText(Message::layoutWriteFailed, ConsoleEncoding::utf8));
    EXPECT_EQ(run.err.substr(0, warning.size() + 1), warning + "\n");
    EXPECT_NE(run.err.find("cannot write 'Layout.dxf'"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Results.txt")) << "no report";
    EXPECT_TRUE(std::filesystem::is_directory(dir_.path() / "Layout.dxf" / "keep"));
}

TEST_F(RunTest, AReportThatCannotBeWrittenSaysSoAndReplacesNothing) {
    std::filesystem::create_directories(dir_.path() / "Results.txt" / "keep");
    const RunResult run = runBlocknestBinary({"--no-pause", kExample}, dir_.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.substr(0, 24), "report file open error!\n");
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Layout.dxf"))
        << "no output is replaced unless all of them can be";
}

// The picture's folder is made; a picture that cannot be written or that would take the
// place of another output leaves the old outputs as they were.
TEST_F(RunTest, ThePictureTargetIsCheckedBeforeAnyOutputIsReplaced) {
    const auto out = dir_.path() / "out";
    const RunResult made = runBlocknestBinary(
        {"--no-pause", "-o", out.string(), "--svg", "nodir/x/lay.svg", kExample}, dir_.path());
    EXPECT_EQ(made.exitCode, 0) << made.err;
    EXPECT_TRUE(std::filesystem::exists(dir_.path() / "nodir" / "x" / "lay.svg"));
    dir_.write("out/Layout.dxf", "old drawing");
    dir_.write("out/Results.txt", "old report");
    const RunResult same = runBlocknestBinary(
        {"--no-pause", "-o", "out", "--svg", "out/../out/Results.txt", kExample}, dir_.path());
    EXPECT_EQ(same.exitCode, 2);
    EXPECT_NE(same.err.find("picture 'out/../out/Results.txt' would replace the report"),
              std::string::npos)
        << same.err;
    std::filesystem::create_directories(dir_.path() / "taken.svg");
    const RunResult bad = runBlocknestBinary(
        {"--no-pause", "-o", "out", "--svg", "taken.svg", kExample}, dir_.path());
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("cannot write 'taken.svg'"), std::string::npos) << bad.err;
    EXPECT_EQ(readFile(out / "Layout.dxf"), "old drawing");
    EXPECT_EQ(readFile(out / "Results.txt"), "old report");
}

TEST_F(RunTest, ASecondRunReplacesBothFilesWhole) {
    dir_.write("Layout.dxf", std::string(200000, 'x'));
    dir_.write("Results.txt", std::string(5000, 'y'));
    const RunResult run = runBlocknestBinary({"--no-pause", kExample}, dir_.path());
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(readFile(dir_.path() / "Layout.dxf").find('x'), std::string::npos);
    EXPECT_EQ(readFile(dir_.path() / "Results.txt").substr(0, 14), "Packed length:");
}

}  // namespace
}  // namespace blocknest
