#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "output/statistics.hpp"
#include "stock/sheet_drawing.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

const std::string kWorkshop = BLOCKNEST_SOURCE_DIR "/examples/workshop_parts.txt";
const std::string kBracket = BLOCKNEST_SOURCE_DIR "/examples/bracket.dxf";

// A sheet 800 x 400 with a corner cut off and a 60 x 60 defect, drawn as a CAD program might:
// the outline in LINEs on its own layer, the defect a closed LWPOLYLINE.
std::string sheetDrawing() {
    std::string dxf = "0\nSECTION\n2\nENTITIES\n";
    const double outline[][2] = {{0, 0}, {700, 0}, {800, 100}, {800, 400}, {0, 400}};
    for (int i = 0; i < 5; ++i) {
        const auto& a = outline[i];
        const auto& b = outline[(i + 1) % 5];
        dxf += "0\nLINE\n8\nOUTLINE\n10\n" + std::to_string(a[0]) + "\n20\n" +
               std::to_string(a[1]) + "\n11\n" + std::to_string(b[0]) + "\n21\n" +
               std::to_string(b[1]) + "\n";
    }
    dxf +=
        "0\nLWPOLYLINE\n8\nDEFECT\n90\n4\n70\n1\n10\n200\n20\n150\n10\n260\n20\n150\n10\n260\n"
        "20\n210\n10\n200\n20\n210\n0\nENDSEC\n0\nEOF\n";
    return dxf;
}

class StockCliTest : public testing::Test {
protected:
    nlohmann::json readJson(const std::string& name) {
        return nlohmann::json::parse(readFile(dir_.path() / name));
    }
    TempDir dir_;
};

// A remnant written by one run is the sheet of the next: it reads back as the piece beyond the
// first run's parts, and the second run's parts lie on it, clear of its defects.
TEST_F(StockCliTest, ARemnantFromOneRunIsTheSheetOfTheNext) {
    dir_.write("plate.dxf", sheetDrawing());
    const RunResult first = runBlocknestBinary(
        {"--no-pause", "-q", "--sheet-dxf", "plate.dxf", "--spacing", "4", "--margin", "5",
         "--remnant-dxf", "rest.dxf", "--json", "first.json", kBracket + ":6"},
        dir_.path());
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const double used = readJson("first.json")["solution"]["strip_width"].get<double>();
    ASSERT_GT(used, 100);
    ASSERT_LT(used, 600) << "the remnant is meant to keep the cut corner";
    auto read = readSheetDrawing((dir_.path() / "rest.dxf").string());
    ASSERT_TRUE(std::holds_alternative<SheetDrawing>(read)) << std::get<InputError>(read).detail;
    const SheetKind& rest = std::get<SheetDrawing>(read).kind;
    EXPECT_NEAR(rest.length, 800 - (used + 4), 1e-6) << "cut the spacing beyond the parts";
    EXPECT_NEAR(rest.width, 400, 1e-6);
    // The corner cut off stays cut off; the defect, if beyond the cut, stays a defect.
    const double defects = used + 4 < 200 ? 3600 : 0;
    EXPECT_NEAR(materialArea(rest), rest.length * 400 - 5000 - defects, 1e-3);

    const RunResult second = runBlocknestBinary(
        {"--no-pause", "-q", "--sheet-dxf", "rest.dxf", "--margin", "5", "--svg", "rest.svg",
         "--dxf-cam", "cut.dxf", "--json", "second.json", kBracket + ":8"},
        dir_.path());
    ASSERT_EQ(second.exitCode, 0) << second.err;
    const nlohmann::json placed = readJson("second.json");
    EXPECT_EQ(placed["solution"]["sheet"]["length"].get<double>(), rest.length);
    EXPECT_GE(placed["solution"]["layout"]["placed_items"].size(), 2u);
    const std::string svg = readFile(dir_.path() / "rest.svg");
    EXPECT_NE(svg.find("<path class=\"sheet\""), std::string::npos) << "the outline, drawn";
    const std::string cut = readFile(dir_.path() / "cut.dxf");
    EXPECT_EQ(countOf(cut, "\n  8\nSHEET\n"), 1 + static_cast<int>(rest.shape.defects.size()))
        << "the outline and each defect on layer SHEET";
}

// Two sizes in the rack and a remnant: one command nests onto the remnant first, then onto
// the size that holds the rest most cheaply, and every output names the sheets' kinds.
TEST_F(StockCliTest, TwoSizesAndARemnantInOneCommand) {
    dir_.write("plate.dxf", sheetDrawing());
    ASSERT_EQ(runBlocknestBinary({"--no-pause", "-q", "--sheet", "600x400", "--remnant-dxf",
                                  "yesterday.dxf", kBracket + ":10"},
                                 dir_.path())
                  .exitCode,
              0);
    dir_.write("stock.csv",
               "length,width,count,cost,file\n"
               "1200,600,4,,\n"
               "# the half sheet costs more per area\n"
               "600,600,4,400000,\n"
               ",,1,,yesterday.dxf\n");
    const RunResult run = runBlocknestBinary(
        {"--no-pause", "-q", "--stock", "stock.csv", "--spacing", "3", "--json", "p.json",
         "--dxf-cam", "cut.dxf", "--svg", "s.svg", kWorkshop, kBracket + ":12"},
        dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json placed = readJson("p.json");
    const nlohmann::json& sheets = placed["solution"]["sheets"];
    ASSERT_GE(sheets.size(), 2u);
    EXPECT_EQ(sheets[0]["kind"], "yesterday") << "the remnant first";
    for (std::size_t k = 1; k < sheets.size(); ++k) EXPECT_EQ(sheets[k]["kind"], "1200x600");
    EXPECT_TRUE(placed["solution"]["layout"]["unplaced_items"].empty());
    for (const auto& entry : placed["solution"]["layout"]["placed_items"]) {
        EXPECT_EQ(entry["sheet_kind"], sheets[entry["sheet"].get<int>() - 1]["kind"]);
    }
    const std::string report = readFile(dir_.path() / "Results.txt");
    EXPECT_NE(report.find("Sheet 1 (yesterday): "), std::string::npos) << report;
    EXPECT_NE(report.find("Sheet 2 (1200x600): "), std::string::npos) << report;
    EXPECT_EQ(readFile(dir_.path() / "cut-1.dxf")
                  .rfind("999\nblocknest drawing for cutting\n999\nsheet yesterday\n", 0),
              0u)
        << "the cut file opens with the program's mark and the sheet's kind";
    EXPECT_NE(readFile(dir_.path() / "s.svg").find("Sheet 1 (yesterday)"), std::string::npos);
}

struct Refusal {
    std::string name;
    std::vector<std::string> args;
    int exitCode;
    std::string message;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class StockRefusalTest : public testing::TestWithParam<Refusal> {};

TEST_P(StockRefusalTest, EndsWithOneLineAndWritesNothing) {
    TempDir dir;
    dir.write("stock.csv", "length,width,count\n600,300,2\n700,three,1\n");
    dir.write("empty.dxf", "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n");
    dir.write("huge.csv", "length,width,count\n# the rack\n600,300,1\n1e308,1e308,1\n");
    std::filesystem::create_directory(dir.path() / "rack");
    // A triangle 800 x 400: a margin of 160 leaves nothing inside it, though it would in its box.
    dir.write("triangle.dxf",
              "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n8\n0\n90\n3\n70\n1\n10\n0\n20\n0\n10\n"
              "800\n20\n0\n10\n0\n20\n400\n0\nENDSEC\n0\nEOF\n");
    std::vector<std::string> args{"--no-pause", "-q"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    args.push_back(kWorkshop);
    const RunResult run = runBlocknestBinary(args, dir.path());
    EXPECT_EQ(run.exitCode, GetParam().exitCode);
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Layout.dxf"));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, StockRefusalTest,
    testing::Values(
        Refusal{"SheetAndDrawing",
                {"--sheet", "10x10", "--sheet-dxf", "a.dxf"},
                2,
                "--sheet-dxf gives the sheet: it cannot be given --sheet as well"},
        Refusal{"StockAndSheets",
                {"--stock", "stock.csv", "--sheets", "0"},
                2,
                "--stock chooses the sheets and their number: it takes no --sheets"},
        Refusal{"BadStockLine",
                {"--stock", "stock.csv"},
                1,
                "stock.csv:3: the width must be a positive number, not 'three'"},
        Refusal{"EmptyDrawing",
                {"--sheet-dxf", "empty.dxf"},
                1,
                "empty.dxf: the sheet drawing holds no closed contour to take as its outline"},
        Refusal{"RemnantOverTheLayout",
                {"--remnant-dxf", "./Layout.dxf"},
                2,
                "the remnant './Layout.dxf' would replace the layout drawing './Layout.dxf'"},
        Refusal{"HugeSheet",
                {"--stock", "huge.csv"},
                1,
                "blocknest: huge.csv:4: the sheet \"1e+308x1e+308\" (1e+308 x 1e+308) in blocks "
                "of "},
        Refusal{"StockIsAFolder", {"--stock", "rack"}, 1, "rack: the stock list is a directory"},
        Refusal{"StockIsADevice",
                {"--stock", "/dev/zero"},
                1,
                "/dev/zero: the stock list is not a regular file"},
        Refusal{"SheetDrawingIsAFolder",
                {"--sheet-dxf", "rack"},
                1,
                "rack: the sheet drawing is a directory"},
        Refusal{"MarginEatsTheOutline",
                {"--sheet-dxf", "triangle.dxf", "--margin", "160"},
                1,
                "a margin of 160 leaves no room inside the sheet's outline"}),
    [](const testing::TestParamInfo<Refusal>& info) { return info.param.name; });

// Two kinds whose box together would be a square of a million: each is prepared on its own,
// and the parts are packed on the long one.
TEST_F(StockCliTest, KindsAreCheckedEachOnItsOwnNotAsTheBoxOfAll) {
    dir_.write("long.csv", "length,width,count\n1000000,120,1\n120,1000000,1\n");
    const RunResult run = runBlocknestBinary(
        {"--no-pause", "-q", "--stock", "long.csv", "--json", "long.json", kBracket + ":3"},
        dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json placed = readJson("long.json");
    EXPECT_EQ(placed["solution"]["layout"]["placed_items"].size(), 6u) << "bracket and washer";
    EXPECT_EQ(placed["solution"]["layout"]["unplaced_items"].size(), 0u);
}

TEST_F(StockCliTest, ASheetUsedToItsEndLeavesNoRemnantAndTheOldOneGoes) {
    dir_.write("rest.dxf", "old remnant");
    // A bar 80 long and the spacing of 25 after it: the cut would lie beyond the sheet's end.
    const auto parts =
        dir_.write("bar.txt", partFileHeader(100, 50) +
                                  partBlock("bar", 1, {{0, 0}, {80, 0}, {80, 20}, {0, 20}}));
    const RunResult run = runBlocknestBinary(
        {"--no-pause", "-q", "--spacing", "25", "--remnant-dxf", "rest.dxf", parts.string()},
        dir_.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("no remnant is written to 'rest.dxf': the last sheet is used to its "
                           "end; the remnant of an earlier run there is removed"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "rest.dxf"));
}

TEST_F(StockCliTest, ASheetDrawnInOtherUnitsThanThePartsNeedsUnitsToConvertBoth) {
    dir_.write("inch.dxf",
               "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n1\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
               "0\nLWPOLYLINE\n8\n0\n90\n4\n70\n1\n10\n0\n20\n0\n10\n50\n20\n0\n10\n50\n20\n25\n"
               "10\n0\n20\n25\n0\nENDSEC\n0\nEOF\n");
    const RunResult refused = runBlocknestBinary(
        {"--no-pause", "-q", "--sheet-dxf", "inch.dxf", kBracket + ":2"}, dir_.path());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("the sheet \"inch\" is drawn in inches, the parts in millimetres: "
                               "give --units to convert both to one unit"),
              std::string::npos)
        << refused.err;
    const RunResult converted =
        runBlocknestBinary({"--no-pause", "-q", "--sheet-dxf", "inch.dxf", "--units", "mm",
                            "--json", "p.json", kBracket + ":2"},
                           dir_.path());
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    EXPECT_NEAR(readJson("p.json")["solution"]["sheet"]["length"].get<double>(), 50 * 25.4, 1e-9);
}

}  // namespace
}  // namespace blocknest

namespace blocknest {
namespace {

// --stock-out writes the stock a job leaves, which the next job reads: each kind less the
// sheets used of it (a kind used up is gone), and the remnant, which records where it lay.
TEST(StockOutTest, TheNextJobStartsFromTheStockThisOneLeaves) {
    TempDir dir;
    dir.write("stock.csv", "length,width,count\n300,150,5\n200,100,2\n");
    const RunResult first =
        runBlocknestBinary({"--no-pause", "-q", "--stock", "stock.csv", "--remnant-dxf", "rest.dxf",
                            "--stock-out", "next.csv", kBracket + ":10"},
                           dir.path());
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const std::string report = readFile(dir.path() / "Results.txt");
    const int used = std::stoi(textAfter(report, "Sheets used:", " "));
    const std::string next = readFile(dir.path() / "next.csv");
    EXPECT_EQ(next.rfind("file,length,width,count,cost\n", 0), 0u) << next;
    // The plan takes the 300 x 150 sheets (and perhaps the smaller ones); what is left of each
    // kind plus what was used is what the list held.
    const int left300 = next.find(",300,150,") == std::string::npos
                            ? 0
                            : std::stoi(textAfter(next, ",300,150,", ","));
    const int left200 = next.find(",200,100,") == std::string::npos
                            ? 0
                            : std::stoi(textAfter(next, ",200,100,", ","));
    EXPECT_EQ(left300 + left200 + used, 7) << next << report;
    EXPECT_NE(next.find("rest.dxf,,,1,"), std::string::npos) << next;
    const std::string record = textAfter(readFile(dir.path() / "rest.dxf"), "999\n", "\n");
    EXPECT_TRUE(record.starts_with("remnant rest-")) << record;
    EXPECT_NE(record.find("from sheet " + std::to_string(used)), std::string::npos) << record;
    EXPECT_NE(report.find("Remnant rest-"), std::string::npos) << report;
    const RunResult second = runBlocknestBinary(
        {"--no-pause", "-q", "--stock", "next.csv", kBracket + ":2"}, dir.path());
    EXPECT_EQ(second.exitCode, 0) << second.err;
    const RunResult alone = runBlocknestBinary(
        {"--no-pause", "--sheet", "300x150", "--stock-out", "x.csv", kBracket}, dir.path());
    EXPECT_EQ(alone.exitCode, 2);
    EXPECT_NE(alone.err.find("--stock-out lists the stock the job leaves"), std::string::npos);
}

}  // namespace
}  // namespace blocknest

namespace blocknest {
namespace {

// --remnant-cut draws the cut that takes the remnant off, at the X the remnant records, as the
// last entity of the last sheet's drawing for cutting and in no other.
TEST(RemnantCutTest, TheLastSheetsCutFileEndsWithTheRemnantsCut) {
    TempDir dir;
    const RunResult run = runBlocknestBinary(
        {"--no-pause", "-q", "--sheet", "300x150", "--sheets", "0", "--dxf-cam", "cut.dxf",
         "--remnant-cut", "--remnant-dxf", "rest.dxf", kBracket + ":10"},
        dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string report = readFile(dir.path() / "Results.txt");
    const int used = std::stoi(textAfter(report, "Sheets used:", " "));
    const std::string cutAt = textAfter(report, "cut at X ", ";");
    ASSERT_FALSE(cutAt.empty()) << report;
    for (int sheet = 1; sheet <= used; ++sheet) {
        const std::string drawing =
            readFile(dir.path() / ("cut-" + std::to_string(sheet) + ".dxf"));
        const std::size_t line = drawing.find("\n  8\nREMNANT_CUT\n");
        if (sheet < used) {
            EXPECT_EQ(line, std::string::npos) << "sheet " << sheet;
            continue;
        }
        ASSERT_NE(line, std::string::npos);
        EXPECT_EQ(drawing.find("LWPOLYLINE", line), std::string::npos) << "the cut comes last";
        EXPECT_NEAR(std::stod(textAfter(drawing.substr(line), "\n 10\n", "\n")), std::stod(cutAt),
                    1e-3);
    }
    const RunResult alone = runBlocknestBinary(
        {"--no-pause", "--sheet", "300x150", "--remnant-cut", kBracket}, dir.path());
    EXPECT_EQ(alone.exitCode, 2);
}

}  // namespace
}  // namespace blocknest
