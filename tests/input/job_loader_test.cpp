#include "input/job_loader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "output/statistics.hpp"
#include "packing/packer.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;
constexpr double kPi = 3.14159265358979323846;

const std::vector<Vertex> kSquare{{0, 0}, {10, 0}, {10, 10}, {0, 10}};

std::string jsonSquares(const std::string& height) {
    return R"({"name": "sq", "strip_height": )" + height +
           R"(, "items": [{"id": 0, "demand": 2, "shape": {"type": "rectangle",
                "data": {"x_min": 0, "y_min": 0, "width": 10, "height": 10}}}]})";
}

LoadedJob load(const std::vector<InputFile>& files, const InputSettings& settings = {}) {
    auto result = loadJob(files, settings);
    if (auto* error = std::get_if<InputError>(&result)) {
        ADD_FAILURE() << error->detail;
        return {};
    }
    return std::move(std::get<LoadedJob>(result));
}

InputError failure(const std::vector<InputFile>& files, const InputSettings& settings = {}) {
    auto result = loadJob(files, settings);
    if (auto* error = std::get_if<InputError>(&result)) return *error;
    ADD_FAILURE() << "accepted";
    return {};
}

TEST(JobLoaderTest, FormatsAreRecognisedByContentsBeforeTheirName) {
    EXPECT_EQ(detectInputFormat("{\"items\": []}", "a.txt"), InputFormat::json);
    EXPECT_EQ(detectInputFormat("\xEF\xBB\xBF \n {", "a"), InputFormat::json);
    EXPECT_EQ(detectInputFormat("  0\r\nSECTION\r\n  2\r\nHEADER\r\n", "a.txt"), InputFormat::dxf);
    EXPECT_EQ(detectInputFormat("\n0\nSECTION\n", "a"), InputFormat::dxf);
    EXPECT_EQ(detectInputFormat("AutoCAD Binary DXF\r\n\x1a", "a"), InputFormat::dxf);
    EXPECT_EQ(detectInputFormat("SheetLength: 100\nSheetWidth: 50\n", "a.json"),
              InputFormat::partData)
        << "a part data file is never taken for JSON for its name";
    EXPECT_EQ(detectInputFormat("", "parts.JSON"), InputFormat::json)
        << "contents that say nothing: the name decides, so the JSON reader reports";
    EXPECT_EQ(detectInputFormat("", "parts.dxf"), InputFormat::dxf);
    EXPECT_EQ(detectInputFormat("0\nSECTIONS\n", "a"), InputFormat::partData);
    EXPECT_EQ(detectInputFormat(std::string("/no/such/file")), InputFormat::partData)
        << "the part data reader says that it cannot be read, as it always has";
}

// The converted part data files of the benchmark instances give the same job and the same
// placements as their JSON sources when the turns agree.
struct Conversion {
    std::string name;
    int rotations;  // the -r of the part data file run that matches the JSON's angles
};

class JsonAgainstConversion : public ::testing::TestWithParam<Conversion> {};

TEST_P(JsonAgainstConversion, GivesTheSamePlacements) {
    const std::string base =
        std::string(BLOCKNEST_SOURCE_DIR) + "/tests/data/json/" + GetParam().name;
    LoadedJob fromJson = load({{base + ".json", std::nullopt}});
    LoadedJob fromText = load({{base + ".txt", std::nullopt}});
    EXPECT_EQ(fromJson.prepared.sheet.width, fromText.prepared.sheet.width);
    EXPECT_EQ(fromJson.prepared.sheet.length, fromText.prepared.sheet.length)
        << "the chosen length follows the conversion's rule";
    EXPECT_EQ(fromJson.prepared.sheet.blockSideLength, fromText.prepared.sheet.blockSideLength);
    RecordingConsole console;
    packAllParts(fromJson.prepared.parts, fromJson.prepared.sheet, 2, console, false);
    packAllParts(fromText.prepared.parts, fromText.prepared.sheet, GetParam().rotations, console,
                 false);
    ASSERT_EQ(fromJson.prepared.parts.count(), fromText.prepared.parts.count());
    auto text = fromText.prepared.parts.begin();
    int placed = 0;
    for (const Part& part : fromJson.prepared.parts) {
        EXPECT_EQ(part.name(), text->name());
        EXPECT_EQ(part.turn().angle(), text->turn().angle()) << part.name();
        ASSERT_EQ(part.outerLoop().vertexCount(), text->outerLoop().vertexCount());
        for (int i = 0; i < part.outerLoop().vertexCount(); ++i) {
            const Vertex& a = part.outerLoop().vertices()[static_cast<std::size_t>(i)];
            const Vertex& b = text->outerLoop().vertices()[static_cast<std::size_t>(i)];
            ASSERT_TRUE(a.x == b.x && a.y == b.y) << part.name() << " vertex " << i;
        }
        placed += liesOnSheet(part, fromJson.prepared.sheet.length, fromJson.prepared.sheet.width);
        ++text;
    }
    EXPECT_EQ(placed, fromJson.prepared.parts.count());
}

INSTANTIATE_TEST_SUITE_P(Esicup, JsonAgainstConversion,
                         ::testing::Values(Conversion{"dighe2", 1}, Conversion{"albano", 2},
                                           Conversion{"mao", 4}),
                         [](const auto& info) { return info.param.name; });

TEST(JobLoaderTest, EveryBenchmarkInstanceReadsAndPacks) {
    const std::filesystem::path folder = std::filesystem::path(BLOCKNEST_SOURCE_DIR) / ".." /
                                         "shared" / "datasets" / "esicup" / "source";
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no benchmark data at " << folder;
    int instances = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".json") continue;
        ++instances;
        LoadedJob job = load({{entry.path().string(), std::nullopt}});
        RecordingConsole console;
        packAllParts(job.prepared.parts, job.prepared.sheet, 2, console, false);
        int placed = 0;
        for (const Part& part : job.prepared.parts) {
            placed += liesOnSheet(part, job.prepared.sheet.length, job.prepared.sheet.width);
            const InputItem& item = job.items.at(static_cast<std::size_t>(part.itemIndex()));
            if (!item.orientations.empty()) {
                EXPECT_NE(
                    std::find(item.orientations.begin(), item.orientations.end(), part.turn()),
                    item.orientations.end())
                    << entry.path() << ": " << part.name() << " in a turn it does not allow";
            }
        }
        EXPECT_EQ(placed, job.prepared.partCount) << entry.path();
    }
    EXPECT_EQ(instances, 20);
}

// The item table of a part data file follows the file: item i is block i, with its name,
// copy count and outline, and every part points at the item of its own block. Random files
// of 1 to 8 blocks with distinct names and shapes.
TEST(JobLoaderTest, PartDataItemsAreTheFilesBlocksInOrder) {
    TempDir dir;
    std::mt19937 random(8);
    for (int trial = 0; trial < 20; ++trial) {
        const int blocks = 1 + static_cast<int>(random() % 8);
        std::string text = partFileHeader(500, 100);
        std::vector<int> copies;
        std::vector<std::vector<Vertex>> outlines;
        for (int b = 0; b < blocks; ++b) {
            copies.push_back(1 + static_cast<int>(random() % 4));
            outlines.push_back(star(random, 20, 20, 5 + b, 5 + b));
            text += partBlock("B" + std::to_string(b), copies.back(), outlines.back());
        }
        const std::string path = dir.write("p" + std::to_string(trial) + ".txt", text).string();
        auto read = readInput({path, std::nullopt}, InputFormat::partData, InputSettings{});
        ASSERT_TRUE(std::holds_alternative<JobInput>(read)) << std::get<InputError>(read).detail;
        const JobInput& input = std::get<JobInput>(read);
        ASSERT_EQ(input.items.size(), static_cast<std::size_t>(blocks));
        for (int b = 0; b < blocks; ++b) {
            const InputItem& item = input.items[static_cast<std::size_t>(b)];
            EXPECT_EQ(item.name, "B" + std::to_string(b)) << "trial " << trial;
            EXPECT_EQ(item.sourceId, b) << "trial " << trial;
            EXPECT_EQ(item.copies, copies[static_cast<std::size_t>(b)]) << "trial " << trial;
            ASSERT_EQ(item.outer.size(), outlines[static_cast<std::size_t>(b)].size());
            for (std::size_t k = 0; k < item.outer.size(); ++k) {
                EXPECT_EQ(item.outer[k].x, outlines[static_cast<std::size_t>(b)][k].x);
                EXPECT_EQ(item.outer[k].y, outlines[static_cast<std::size_t>(b)][k].y);
            }
        }
        for (const Part& part : input.parts) {
            ASSERT_GE(part.itemIndex(), 0);
            ASSERT_LT(part.itemIndex(), blocks);
            EXPECT_EQ(input.items[static_cast<std::size_t>(part.itemIndex())].name, part.name());
        }
    }
}

TEST(JobLoaderTest, InputsMergeInCommandLineOrderWithTheirSheetSaidOutLoud) {
    TempDir dir;
    const std::string text =
        dir.write("p.txt", partFileHeader(300, 40) + partBlock("P", 1, kSquare)).string();
    const std::string json = dir.write("q.json", jsonSquares("30")).string();
    LoadedJob job = load({{text, std::nullopt}, {json, std::nullopt}});
    EXPECT_EQ(job.prepared.sheet.length, 300);
    EXPECT_EQ(job.prepared.sheet.width, 40) << "the part data file fixes the sheet";
    EXPECT_EQ(job.notes,
              (std::vector<std::string>{"blocknest: the strip height 30 of '" + json +
                                        "' gives way to the sheet 300 x 40 of '" + text + "'"}));
    ASSERT_EQ(job.items.size(), 2u);
    EXPECT_EQ(job.items[1].file, json);
    int fromJson = 0;
    for (const Part& part : job.prepared.parts) fromJson += part.itemIndex() == 1;
    EXPECT_EQ(fromJson, 2) << "item indexes shifted past the first file's items";

    InputSettings settings;
    settings.sheet = SheetSize{500, 60};
    job = load({{text, std::nullopt}, {json, std::nullopt}}, settings);
    EXPECT_EQ(job.prepared.sheet.length, 500);
    EXPECT_EQ(job.prepared.sheet.width, 60);
    EXPECT_EQ(job.notes.size(), 2u) << "--sheet replaces both, and says so for each";

    job = load({{json, std::nullopt}});
    EXPECT_EQ(job.prepared.sheet.width, 30);
    EXPECT_EQ(job.prepared.sheet.length, std::ceil(2 * (10 + 3 * 1.0) + 4 * 1.0))
        << "two squares of side 10, block side 1";
    EXPECT_NE(job.notes.at(0).find("sheet length 30"), std::string::npos) << job.notes.at(0);
}

TEST(JobLoaderTest, ConflictsAndMissingSheetsAreNamedNeverGuessed) {
    TempDir dir;
    const std::string text =
        dir.write("p.txt", partFileHeader(300, 40) + partBlock("P", 1, kSquare)).string();
    const std::string a = dir.write("a.json", jsonSquares("30")).string();
    const std::string b = dir.write("b.json", jsonSquares("31")).string();
    const std::string none = dir.write("n.json", R"({"items": []})").string();

    InputError error = failure({{a, std::nullopt}, {b, std::nullopt}});
    EXPECT_FALSE(error.commandLine);
    EXPECT_EQ(error.detail, b + ": its strip height 31 differs from the strip height 30 of '" + a +
                                "'; give the sheet with --sheet LENGTHxWIDTH");
    InputSettings settings;
    settings.sheet = SheetSize{100, 30};
    EXPECT_EQ(load({{a, std::nullopt}, {b, std::nullopt}}, settings).prepared.sheet.width, 30);

    error = failure({{none, std::nullopt}});
    EXPECT_TRUE(error.commandLine);
    EXPECT_EQ(error.detail, "blocknest: no file gives the sheet ('" + none +
                                "' has no \"strip_height\"); give it with --sheet LENGTHxWIDTH")
        << "the file that lacks the sheet is named";

    error = failure({{text, std::nullopt}, {text, std::nullopt}});
    EXPECT_TRUE(error.commandLine);
    EXPECT_EQ(error.detail,
              "blocknest: more than one part data file given ('" + text + "' and '" + text + "')");

    error = failure({{a, 3}});
    EXPECT_TRUE(error.commandLine);
    EXPECT_EQ(error.detail, "blocknest: '" + a + ":3': a copy count applies to DXF drawings " +
                                "only, and '" + a + "' is a JSON instance");

    error = failure({{text, std::nullopt}, {dir.path().string() + "/missing.json", std::nullopt}});
    EXPECT_TRUE(error.showReadWarning) << "a missing file reads as a part data file that fails";
}

// Two drawings in different units nested together: converted to the unit most of them use,
// with a note, or to the units --units asks for; where one names none, noted and no unit
// claimed for the job.
TEST(JobLoaderTest, DrawingsInDifferentUnitsAreNotedAndClaimNoCommonUnit) {
    TempDir dir;
    const auto drawing = [&](const std::string& name, int units) {
        return dir
            .write(name, "  0\nSECTION\n  2\nHEADER\n  9\n$INSUNITS\n 70\n" +
                             std::to_string(units) +
                             "\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nCIRCLE\n"
                             " 10\n0\n 20\n0\n 40\n1\n  0\nENDSEC\n  0\nEOF\n")
            .string();
    };
    const std::string mm = drawing("a.dxf", 4), inch = drawing("b.dxf", 1);
    InputSettings settings;
    settings.sheet = SheetSize{500, 500};
    const auto mixedNote = [](const LoadedJob& job) {
        return std::count_if(job.notes.begin(), job.notes.end(), [](const std::string& note) {
            return note.find("different units") != std::string::npos;
        });
    };
    const LoadedJob same = load({{mm, std::nullopt}, {mm, std::nullopt}}, settings);
    EXPECT_EQ(same.insUnits, 4);
    EXPECT_EQ(mixedNote(same), 0);
    // Each naming its unit: converted to the unit most of them use, the first's among equals.
    const LoadedJob mixed = load({{mm, std::nullopt}, {inch, std::nullopt}}, settings);
    EXPECT_EQ(mixed.insUnits, 4) << "the first drawing's unit among equals";
    EXPECT_EQ(mixedNote(mixed), 1);
    const LoadedJob mostly =
        load({{inch, std::nullopt}, {mm, std::nullopt}, {mm, std::nullopt}}, settings);
    EXPECT_EQ(mostly.insUnits, 4) << "the unit most drawings use";
    double inchCircle = 0;
    for (const Part& part : mostly.prepared.parts)
        inchCircle = std::max(inchCircle, part.outerLoop().area());
    EXPECT_NEAR(inchCircle, kPi * 25.4 * 25.4, 2 * kPi * 25.4 * 0.05) << "converted to mm";
    settings.dxf.targetUnits = 4;
    const LoadedJob converted = load({{mm, std::nullopt}, {inch, std::nullopt}}, settings);
    EXPECT_EQ(converted.insUnits, 4);
    EXPECT_EQ(mixedNote(converted), 0);
    double largest = 0;
    for (const Part& part : converted.prepared.parts)
        largest = std::max(largest, part.outerLoop().area());
    EXPECT_NEAR(largest, kPi * 25.4 * 25.4, 2 * kPi * 25.4 * 0.05) << "the inch circle in mm";

    // An old drawing that names no units: mixed with millimetres unless assumed so, and
    // converted only once its units are assumed.
    const std::string old = drawing("c.dxf", 0);
    settings.dxf.targetUnits.reset();
    const LoadedJob unnamed = load({{mm, std::nullopt}, {old, std::nullopt}}, settings);
    EXPECT_EQ(mixedNote(unnamed), 1);
    EXPECT_NE(unnamed.notes.back().find("'" + old +
                                        "' naming none) and are read as they are; "
                                        "--units converts them to one, with --assume-units for "
                                        "the drawings that name none"),
              std::string::npos)
        << unnamed.notes.back();
    settings.dxf.assumedUnits = 4;
    const LoadedJob assumed = load({{mm, std::nullopt}, {old, std::nullopt}}, settings);
    EXPECT_EQ(mixedNote(assumed), 0);
    EXPECT_EQ(assumed.insUnits, 4);
    settings.dxf.assumedUnits = 1;
    EXPECT_EQ(mixedNote(load({{mm, std::nullopt}, {old, std::nullopt}}, settings)), 1);
    settings.dxf.targetUnits = 4;
    const LoadedJob both = load({{mm, std::nullopt}, {old, std::nullopt}}, settings);
    EXPECT_EQ(mixedNote(both), 0);
    EXPECT_EQ(both.insUnits, 4);
    largest = 0;
    for (const Part& part : both.prepared.parts)
        largest = std::max(largest, part.outerLoop().area());
    EXPECT_NEAR(largest, kPi * 25.4 * 25.4, 2 * kPi * 25.4 * 0.05) << "assumed inches, in mm";
}

// A square drawn in millimetres on layer CUT, written into dir.
std::string squareDrawing(TempDir& dir, const std::string& name) {
    return dir
        .write(name,
               "  0\nSECTION\n  2\nHEADER\n  9\n$INSUNITS\n 70\n4\n  0\nENDSEC\n  0\nSECTION\n"
               "  2\nENTITIES\n  0\nLWPOLYLINE\n  8\nCUT\n 90\n4\n 70\n1\n 10\n0\n 20\n0\n"
               " 10\n10\n 20\n0\n 10\n10\n 20\n10\n 10\n0\n 20\n10\n  0\nENDSEC\n  0\nEOF\n")
        .string();
}

// The bounds on parts and vertices hold for the whole job: rows of a job list, and files on
// the command line, each within them, are refused together with one line naming the row or
// file where the job passes them, before the copies of that row are made.
TEST(JobLoaderTest, TheBoundsOnPartsAndVerticesHoldOverTheWholeJob) {
    TempDir dir;
    const std::string square = squareDrawing(dir, "square.dxf");
    const std::string list = dir.write("jobs.csv",
                                       "file,quantity\n"
                                       "square.dxf,40\n"
                                       "# a comment\n"
                                       "square.dxf,40\n"
                                       "square.dxf,40\n")
                                 .string();
    InputSettings settings;
    settings.sheet = SheetSize{500, 500};
    settings.limits.read.maxParts = 100;
    EXPECT_EQ(
        failure({{list, std::nullopt}}, settings).detail,
        list + ":5: the job's files hold more than 100 parts in all, the bound on a whole job");
    EXPECT_EQ(
        failure({{square, 60}, {square, 41}}, settings).detail,
        square + ": the job's files hold more than 100 parts in all, the bound on a whole job");
    EXPECT_EQ(load({{square, 60}, {square, 40}}, settings).prepared.partCount, 100);
    settings.limits.read.maxParts = 1000;
    settings.limits.read.maxStoredVertices = 300;
    EXPECT_EQ(failure({{list, std::nullopt}}, settings).detail,
              list +
                  ":4: the job's files hold more than 300 vertices (copies counted) in all, the "
                  "bound on a whole job");
}

// A list naming one drawing on many rows reads it once for each set of layers: what the
// reading says about it is said once, and the rows' copies and names are each row's own.
TEST(JobLoaderTest, RowsNamingOneDrawingReadItOnce) {
    TempDir dir;
    squareDrawing(dir, "square.dxf");
    std::string rows = "file,quantity,name,layer\n";
    for (int k = 0; k < 2000; ++k)
        rows += "square.dxf," + std::to_string(1 + k % 3) + ",s" + std::to_string(k) +
                (k % 2 == 0 ? ",CUT\n" : ",\n");
    const std::string list = dir.write("jobs.csv", rows).string();
    InputSettings settings;
    settings.sheet = SheetSize{5000, 5000};
    const LoadedJob job = load({{list, std::nullopt}}, settings);
    int copies = 0;
    for (int k = 0; k < 2000; ++k) copies += 1 + k % 3;
    EXPECT_EQ(job.prepared.partCount, copies);
    const auto unitLines = std::count_if(job.notes.begin(), job.notes.end(), [](auto& note) {
        return note.find("drawing units millimetres") != std::string::npos;
    });
    EXPECT_EQ(unitLines, 2) << "once for all layers, once for CUT";
    ASSERT_EQ(job.items.size(), 2000u);
    EXPECT_EQ(job.items[1999].name, "s1999");
    EXPECT_EQ(job.items[1999].copies, 1 + 1999 % 3);
}

// A row whose layer cell names no layer the drawing holds a part on is named by its line.
TEST(JobLoaderTest, ALayerCellThatFindsNoPartNamesTheRow) {
    TempDir dir;
    squareDrawing(dir, "square.dxf");
    const std::string list =
        dir.write("jobs.csv", "file,quantity,layer\nsquare.dxf,2,CUT\nsquare.dxf,1,ENGRAVE\n")
            .string();
    InputSettings settings;
    settings.sheet = SheetSize{500, 500};
    const InputError error = failure({{list, std::nullopt}}, settings);
    EXPECT_EQ(error.detail, list + ":3: '" + (dir.path() / "square.dxf").string() +
                                "' holds no part on the layer 'ENGRAVE' that the row names");
}

}  // namespace
}  // namespace blocknest

namespace blocknest {
namespace {

std::string closedSquare(double x, double side, const std::string& layer) {
    const std::string a = std::to_string(x);
    const std::string b = std::to_string(x + side);
    const std::string s = std::to_string(side);
    return "0\nLWPOLYLINE\n8\n" + layer + "\n90\n4\n70\n1\n10\n" + a + "\n20\n0\n10\n" + b +
           "\n20\n0\n10\n" + b + "\n20\n" + s + "\n10\n" + a + "\n20\n" + s + "\n";
}

// Parts of one drawing that neither a block nor a layer names are numbered in reading order,
// so that labels, report and placement list tell them apart; a part on a layer of its own
// keeps that name, and a job list's name takes the place of the stem.
TEST(JobLoaderTest, PartsOfOneDrawingGetDistinctNames) {
    TempDir dir;
    std::string drawing = "0\nSECTION\n2\nENTITIES\n";
    for (int k = 0; k < 3; ++k) drawing += closedSquare(100.0 * k, 10 + 10 * k, "0");
    drawing += closedSquare(400, 15, "PLATE") + "0\nENDSEC\n0\nEOF\n";
    const std::string path = dir.write("kit.dxf", drawing).string();
    const std::string list = dir.write("order.csv", "file,quantity,name\nkit.dxf,1,Box\n").string();
    InputSettings settings;
    settings.sheet = SheetSize{500, 100};
    for (const auto& [file, names] :
         {std::pair{path, std::vector<std::string>{"kit-1", "kit-2", "kit-3", "kit:PLATE"}},
          std::pair{list, std::vector<std::string>{"Box-1", "Box-2", "Box-3", "Box:PLATE"}}}) {
        const auto loaded = loadJob({{file, std::nullopt}}, settings);
        ASSERT_TRUE(std::holds_alternative<LoadedJob>(loaded))
            << std::get<InputError>(loaded).detail;
        std::vector<std::string> got;
        for (const InputItem& item : std::get<LoadedJob>(loaded).items) got.push_back(item.name);
        std::sort(got.begin(), got.end());
        std::vector<std::string> want = names;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
    }
}

}  // namespace
}  // namespace blocknest

namespace blocknest {
namespace {

// Each row of a job list may say the units of a drawing that names none: a drawing in
// millimetres beside one in inches, both without $INSUNITS, converted to millimetres.
TEST(JobLoaderTest, AJobListRowGivesTheUnitsOfADrawingThatNamesNone) {
    TempDir dir;
    const auto rectangle = [](double w, double h) {
        const std::string a = std::to_string(w);
        const std::string b = std::to_string(h);
        return "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n8\n0\n90\n4\n70\n1\n10\n0\n20\n0\n10\n" +
               a + "\n20\n0\n10\n" + a + "\n20\n" + b + "\n10\n0\n20\n" + b +
               "\n0\nENDSEC\n0\nEOF\n";
    };
    dir.write("metric.dxf", rectangle(100, 50));
    dir.write("imperial.dxf", rectangle(4, 2));
    const std::string list =
        dir.write("order.csv", "file,quantity,units\nmetric.dxf,1,mm\nimperial.dxf,1,IN\n")
            .string();
    InputSettings settings;
    settings.sheet = SheetSize{500, 200};
    settings.dxf.targetUnits = 4;  // --units mm
    const auto loaded = loadJob({{list, std::nullopt}}, settings);
    ASSERT_TRUE(std::holds_alternative<LoadedJob>(loaded)) << std::get<InputError>(loaded).detail;
    const std::vector<InputItem>& items = std::get<LoadedJob>(loaded).items;
    ASSERT_EQ(items.size(), 2u);
    const auto width = [](const InputItem& item) {
        double least = item.outer.front().x;
        double most = least;
        for (const Vertex& v : item.outer) {
            least = std::min(least, v.x);
            most = std::max(most, v.x);
        }
        return most - least;
    };
    EXPECT_NEAR(width(items[0]), 100, 1e-9);
    EXPECT_NEAR(width(items[1]), 101.6, 1e-9);
    EXPECT_EQ(std::get<LoadedJob>(loaded).insUnits, 4);
}

}  // namespace
}  // namespace blocknest

namespace blocknest {
namespace {

// A job list's part column takes one part of a multi-part drawing, with the row's own
// quantity; a name the drawing does not hold is refused naming the list's line and the parts
// there are.
TEST(JobLoaderTest, AJobListRowPicksOnePartOfADrawing) {
    TempDir dir;
    std::string drawing = "0\nSECTION\n2\nENTITIES\n";
    for (int k = 0; k < 3; ++k) drawing += closedSquare(100.0 * k, 10 + 10 * k, "0");
    drawing += closedSquare(400, 15, "PLATE") + "0\nENDSEC\n0\nEOF\n";
    dir.write("kit.dxf", drawing);
    InputSettings settings;
    settings.sheet = SheetSize{500, 100};
    const std::string list = dir.write("order.csv",
                                       "file,quantity,part,name\nkit.dxf,3,kit-2,\n"
                                       "kit.dxf,5,PLATE,Lid\n")
                                 .string();
    const auto loaded = loadJob({{list, std::nullopt}}, settings);
    ASSERT_TRUE(std::holds_alternative<LoadedJob>(loaded)) << std::get<InputError>(loaded).detail;
    const LoadedJob& job = std::get<LoadedJob>(loaded);
    ASSERT_EQ(job.items.size(), 2u);
    EXPECT_EQ(job.items[0].name, "kit-2");
    EXPECT_EQ(job.items[0].copies, 3);
    EXPECT_EQ(job.items[1].name, "Lid");
    EXPECT_EQ(job.items[1].copies, 5);
    EXPECT_EQ(job.prepared.parts.count(), 8);
    const std::string wrong =
        dir.write("wrong.csv", "file,quantity,part\nkit.dxf,1,kit-9\n").string();
    const auto refused = loadJob({{wrong, std::nullopt}}, settings);
    ASSERT_TRUE(std::holds_alternative<InputError>(refused));
    EXPECT_NE(std::get<InputError>(refused).detail.find(
                  "kit.dxf' holds no part named 'kit-9' (its parts: kit-1, kit-2, kit-3, "
                  "kit:PLATE)"),
              std::string::npos)
        << std::get<InputError>(refused).detail;
}

}  // namespace
}  // namespace blocknest
