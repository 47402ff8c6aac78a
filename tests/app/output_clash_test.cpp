// No output of a run may take the place of an input or of another output, whichever path,
// link or hard link names it: such a run is refused with one line and leaves every file as it
// was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::readFile;
using testing_support::runBlocknestBinary;
using testing_support::RunResult;
using testing_support::TempDir;

const std::string kBracket = BLOCKNEST_SOURCE_DIR "/examples/bracket.dxf";

// A 500 x 300 sheet drawn as one closed polyline.
const char* const kSheetDrawing =
    "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n8\n0\n90\n4\n70\n1\n10\n0\n20\n0\n10\n500\n20\n0\n"
    "10\n500\n20\n300\n10\n0\n20\n300\n0\nENDSEC\n0\nEOF\n";

std::map<std::string, std::string> snapshot(const std::filesystem::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string name = std::filesystem::relative(entry.path(), dir).string();
        if (entry.is_symlink()) {
            files[name] = "-> " + std::filesystem::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            // Sizes and hashes keep a failure's message short.
            const std::string contents = readFile(entry.path());
            files[name] = std::to_string(contents.size()) + " bytes, hash " +
                          std::to_string(std::hash<std::string>{}(contents));
        } else {
            files[name] = "<folder>";
        }
    }
    return files;
}

struct Clash {
    std::string name;
    std::vector<std::string> args;
    std::string message;  // a part of the one line the run ends with
};

void PrintTo(const Clash& clash, std::ostream* out) { *out << clash.name; }

class OutputClashTest : public testing::TestWithParam<Clash> {
protected:
    void SetUp() override {
        const std::string bracket = readFile(kBracket);
        std::filesystem::create_directories(dir_.path() / "out");
        for (const char* name :
             {"parts.dxf", "part-1.dxf", "part-2.dxf", "p3.dxf", "in.dxf", "out/Layout.dxf"}) {
            dir_.write(name, bracket);
        }
        dir_.write("sheet.dxf", kSheetDrawing);
        dir_.write("s.csv", "length,width,count\n400,200,3\n");
        dir_.write("drawn.csv", "file,count\nsheet.dxf,2\n");
        dir_.write("list.csv", "file,quantity\nparts.dxf,2\n");
        dir_.write("r.json", "{}");
        std::filesystem::create_symlink("parts.dxf", dir_.path() / "link.dxf");
        std::filesystem::create_hard_link(dir_.path() / "parts.dxf", dir_.path() / "hard.dxf");
        std::filesystem::create_hard_link(dir_.path() / "in.dxf", dir_.path() / "cut-7.dxf");
    }
    TempDir dir_;
};

TEST_P(OutputClashTest, IsRefusedWithOneLineAndEveryFileKept) {
    const std::map<std::string, std::string> before = snapshot(dir_.path());
    std::vector<std::string> args{"--no-pause", "-q"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const RunResult run = runBlocknestBinary(args, dir_.path());
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_EQ(testing_support::countOf(run.err, "\n"), 1) << run.err;
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(dir_.path()), before) << "no file is written, replaced or removed";
}

INSTANTIATE_TEST_SUITE_P(
    Runs, OutputClashTest,
    testing::Values(
        Clash{"CutFileOverItsDrawing",
              {"--sheet", "400x200", "--dxf-cam", "parts.dxf", "parts.dxf:4"},
              "the drawing for cutting 'parts.dxf' would replace the DXF drawing 'parts.dxf'"},
        Clash{"SheetCutFilesOverDrawings",
              {"--sheet", "400x200", "--sheets", "0", "--dxf-cam", "part.dxf", "parts.dxf",
               "part-2.dxf:2"},
              "the drawing for cutting of sheet 2 'part-2.dxf' would replace the DXF drawing "
              "'part-2.dxf'"},
        Clash{"NumberedInAFolder",
              {"--sheet", "400x200", "--sheets", "0", "--dxf-cam", "./p{n}.dxf", "p3.dxf"},
              "of sheet 3 './p3.dxf' would replace the DXF drawing 'p3.dxf'"},
        Clash{"RemnantOverItsDrawing",
              {"--sheet", "400x200", "--remnant-dxf", "parts.dxf", "parts.dxf:6"},
              "the remnant 'parts.dxf' would replace the DXF drawing 'parts.dxf'"},
        Clash{"RemnantOverTheStockList",
              {"--stock", "s.csv", "--remnant-dxf", "s.csv", "parts.dxf"},
              "the remnant 's.csv' would replace the stock list 's.csv'"},
        Clash{"PictureOverADrawingTheStockNames",
              {"--stock", "drawn.csv", "--svg", "sheet.dxf", "parts.dxf"},
              "the picture 'sheet.dxf' would replace the sheet drawing of the stock list"},
        Clash{"ListOverTheSheetDrawing",
              {"--sheet-dxf", "sheet.dxf", "--json", "sheet.dxf", "parts.dxf"},
              "the placement list 'sheet.dxf' would replace the sheet drawing 'sheet.dxf'"},
        Clash{"CutFileOverTheLayout",
              {"--sheet", "400x200", "--dxf-cam", "Layout.dxf", "parts.dxf"},
              "the drawing for cutting 'Layout.dxf' would replace the layout drawing "
              "'./Layout.dxf'"},
        Clash{"RemnantOverTheList",
              {"--sheet", "400x200", "--remnant-dxf", "r.json", "--json", "r.json", "parts.dxf"},
              "the remnant 'r.json' would replace the placement list 'r.json'"},
        Clash{"CutFileOverThePicture",
              {"--sheet", "400x200", "--svg", "x.svg", "--dxf-cam", "./x.svg", "parts.dxf"},
              "the drawing for cutting './x.svg' would replace the picture 'x.svg'"},
        Clash{"ThroughALink",
              {"--sheet", "400x200", "--dxf-cam", "parts.dxf", "link.dxf:2"},
              "would replace the DXF drawing 'link.dxf'"},
        Clash{"ThroughAHardLink",
              {"--sheet", "400x200", "--json", "parts.dxf", "hard.dxf:2"},
              "the placement list 'parts.dxf' would replace the DXF drawing 'hard.dxf'"},
        Clash{"AHardLinkOfALaterSheet",
              {"--sheet", "400x200", "--sheets", "0", "--dxf-cam", "cut.dxf", "in.dxf"},
              "of sheet 7 'cut-7.dxf' would replace the DXF drawing 'in.dxf'"},
        Clash{"AFileAJobListNames",
              {"--sheet", "400x200", "-o", "sub/..", "--dxf-cam", "parts.dxf", "list.csv"},
              "would replace the DXF drawing named in list.csv:2 'parts.dxf'"},
        Clash{"TheLayoutOverAnInputInTheOutputFolder",
              {"--sheet", "400x200", "-o", "out", "out/Layout.dxf"},
              "the layout drawing 'out/Layout.dxf' would replace the DXF drawing "
              "'out/Layout.dxf'"}),
    [](const testing::TestParamInfo<Clash>& info) { return info.param.name; });

// Outputs beside inputs of similar names are fine, and a run then writes them.
TEST(OutputClashRunTest, NeighboursOfSimilarNamesAreWritten) {
    TempDir dir;
    dir.write("cut-a.dxf", readFile(kBracket));
    dir.write("cut.dxf", readFile(kBracket));
    const RunResult run = runBlocknestBinary({"--no-pause", "-q", "--sheet", "400x200", "--sheets",
                                              "0", "--dxf-cam", "cut.dxf", "cut-a.dxf:3"},
                                             dir.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "cut-1.dxf"));
    EXPECT_EQ(readFile(dir.path() / "cut.dxf"), readFile(kBracket));
    EXPECT_EQ(readFile(dir.path() / "cut-a.dxf"), readFile(kBracket));
}

}  // namespace
}  // namespace blocknest

namespace blocknest {
namespace {

// Three runs into one folder, one sheet, several, one again: each leaves only its own drawings
// for cutting, says which of the earlier run's it removed, and never removes a user's drawing
// that merely has such a name.
TEST(OutputFolderTest, HoldsTheDrawingsForCuttingOfOneRun) {
    TempDir dir;
    dir.write("parts.dxf", readFile(kBracket));
    dir.write("cut-7.dxf", readFile(kBracket));  // the user's, not a cut file
    const auto cutFiles = [&dir] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("cut")) names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto run = [&dir](const std::string& sheets) {
        return runBlocknestBinary({"--no-pause", "-q", "--sheet", "250x150", "--sheets", sheets,
                                   "--dxf-cam", "cut.dxf", "parts.dxf:6"},
                                  dir.path());
    };
    const RunResult several = run("0");
    ASSERT_EQ(several.exitCode, 0) << several.err;
    const std::vector<std::string> numbered = cutFiles();
    ASSERT_GE(numbered.size(), 3u) << "cut-1.dxf, cut-2.dxf and the user's cut-7.dxf";
    const RunResult one = run("1");
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(cutFiles(), (std::vector<std::string>{"cut-7.dxf", "cut.dxf"}));
    EXPECT_NE(one.err.find("the drawings for cutting 'cut-1.dxf', 'cut-2.dxf'"), std::string::npos)
        << one.err;
    const RunResult again = run("0");
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(cutFiles(), numbered);
    EXPECT_NE(again.err.find("the drawings for cutting 'cut.dxf' of an earlier run are removed"),
              std::string::npos)
        << again.err;
    // Fewer sheets than the run before: the numbered files past the new last one go, named.
    const RunResult fewer =
        runBlocknestBinary({"--no-pause", "-q", "--sheet", "250x150", "--sheets", "0", "--dxf-cam",
                            "cut.dxf", "parts.dxf:1"},
                           dir.path());
    ASSERT_EQ(fewer.exitCode, 0) << fewer.err;
    EXPECT_EQ(cutFiles(), (std::vector<std::string>{"cut-1.dxf", "cut-7.dxf"}));
    EXPECT_NE(fewer.err.find("the drawings for cutting 'cut-2.dxf'"), std::string::npos)
        << fewer.err;
    EXPECT_EQ(readFile(dir.path() / "cut-7.dxf"), readFile(kBracket));
}

}  // namespace
}  // namespace blocknest
