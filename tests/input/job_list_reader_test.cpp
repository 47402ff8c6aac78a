#include "input/job_list_reader.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "input/job_input.hpp"
#include "input/job_loader.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

std::variant<std::vector<JobListRow>, InputError> readText(const std::string& text) {
    std::istringstream in(text);
    return readJobList(in, "lists/jobs.csv");
}

struct BadList {
    std::string name;
    std::string text;
    std::string message;  // the whole line the reader gives
};

void PrintTo(const BadList& list, std::ostream* out) { *out << list.name; }

class BadJobListTest : public testing::TestWithParam<BadList> {};

TEST_P(BadJobListTest, EndsWithOneLineNamingTheListAndTheLine) {
    const auto result = readText(GetParam().text);
    ASSERT_TRUE(std::holds_alternative<InputError>(result)) << "accepted";
    EXPECT_EQ(std::get<InputError>(result).detail, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadJobListTest,
    testing::Values(
        BadList{"UnknownColumn", "file,quantity,colour\n",
                "lists/jobs.csv:1: unknown column 'colour' (the columns are file, quantity, name, "
                "rotations, mirror, layer, units, part, fill)"},
        BadList{"BadFill", "file,quantity,fill\na.dxf,,lots\n",
                "lists/jobs.csv:2: the fill 'lots' must be max or a whole number from 1 to "
                "1000000"},
        BadList{"UnknownUnits", "file,quantity,units\na.dxf,1,furlong\n",
                "lists/jobs.csv:2: the units 'furlong' are none of mm, cm, dm, m, um, in, ft, "
                "yd, mil"},
        BadList{"NoQuantity", "file,name\na.dxf,a\n",
                "lists/jobs.csv:1: the header names no 'quantity' column"},
        BadList{"TwiceNamed", "file,quantity,Quantity\n",
                "lists/jobs.csv:1: the column 'Quantity' is named twice"},
        BadList{"ZeroQuantity", "\n# order 12\nfile,quantity\na.dxf,3\nb.dxf,0\n",
                "lists/jobs.csv:5: the quantity '0' must be a whole number from 1 to 1000000"},
        BadList{"FractionalQuantity", "file,quantity\r\na.dxf,1.5\r\n",
                "lists/jobs.csv:2: the quantity '1.5' must be a whole number from 1 to 1000000"},
        BadList{"NoRotations", "file,quantity,rotations\na.dxf,1,0\n",
                "lists/jobs.csv:2: the rotations '0' must be a count from 1 to 360 or a list of "
                "degrees"},
        BadList{"WordsForDegrees", "file,quantity,rotations\na.dxf,1,\"0,ninety\"\n",
                "lists/jobs.csv:2: the rotations '0,ninety' must be a count from 1 to 360 or a "
                "list of degrees"},
        BadList{"Maybe", "file,quantity,mirror\na.dxf,1,maybe\n",
                "lists/jobs.csv:2: mirror is 'maybe', not yes or no"},
        BadList{"TooManyFields", "file,quantity\na.dxf,1,2\n",
                "lists/jobs.csv:2: 3 fields, but the header names 2 columns"},
        BadList{"OpenQuote", "file,quantity\n\"a.dxf,1\n",
                "lists/jobs.csv:2: a quote is not closed"},
        BadList{"NoFile", "file,quantity\n,4\n", "lists/jobs.csv:2: no file named"},
        BadList{"NoRows", "file,quantity\n\n", "lists/jobs.csv: the job list names no file"}),
    [](const testing::TestParamInfo<BadList>& info) { return info.param.name; });

TEST(JobListReaderTest, ReadsEveryColumnQuotedFieldsAndPathsFromTheListsFolder) {
    const auto result = readText(
        "\xEF\xBB\xBF"
        "File, Quantity ,name,rotations,mirror,layer\r\n"
        "# a comment\r\n"
        "\"flange, large.dxf\",12,\"Flange \"\"A\"\"\",\"0;90\",yes,CUT\r\n"
        "/abs/washer.dxf,,,4,No\r\n"
        "parts.txt\r\n"
        "\r\n"
        "bent.dxf,1,,45 135.5,,\r\n");
    ASSERT_TRUE(std::holds_alternative<std::vector<JobListRow>>(result))
        << std::get<InputError>(result).detail;
    const auto& rows = std::get<std::vector<JobListRow>>(result);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].line, 3);
    EXPECT_EQ(rows[0].path, "lists/flange, large.dxf");
    EXPECT_EQ(rows[0].quantity, 12);
    EXPECT_EQ(rows[0].name, "Flange \"A\"");
    EXPECT_EQ(rows[0].turns, turnsFromDegrees({0, 90}));
    EXPECT_TRUE(rows[0].mirror);
    EXPECT_EQ(rows[0].layer, "CUT");
    EXPECT_EQ(rows[1].path, "/abs/washer.dxf");
    EXPECT_FALSE(rows[1].quantity.has_value());
    EXPECT_EQ(rows[1].turns, evenTurns(4));
    EXPECT_FALSE(rows[1].mirror);
    EXPECT_EQ(rows[2].line, 5);
    EXPECT_EQ(rows[2].path, "lists/parts.txt");
    EXPECT_FALSE(rows[2].turns.has_value());
    EXPECT_EQ(rows[3].line, 7);
    ASSERT_TRUE(rows[3].turns.has_value());
    ASSERT_EQ(rows[3].turns->size(), 2u);
    EXPECT_DOUBLE_EQ((*rows[3].turns)[1].degrees(), 135.5);
    EXPECT_FALSE(rows[3].layer.has_value());
}

// Spreadsheets in many locales save lists with semicolons, others with tabs: the same list
// in each reads to the same rows, and is recognised as a job list by its first line.
TEST(JobListReaderTest, SemicolonsAndTabsSeparateFieldsAsCommasDo) {
    const std::string comma =
        "file,quantity,name,rotations,mirror\n\"a;b.dxf\",3,\"Cover, left\",\"0;90\",yes\n"
        "washer.dxf,12,,4,\n";
    const std::string semicolon =
        "File;Quantity;name;rotations;mirror\n\"a;b.dxf\";3;Cover, left;\"0;90\";yes\n"
        "washer.dxf;12;;4;\n";
    const std::string tab =
        "file\tquantity\tname\trotations\tmirror\n\"a;b.dxf\"\t3\tCover, left\t0;90\tyes\n"
        "washer.dxf\t12\t\t4\t\n";
    const auto expected = readText(comma);
    ASSERT_TRUE(std::holds_alternative<std::vector<JobListRow>>(expected));
    const auto& want = std::get<std::vector<JobListRow>>(expected);
    for (const std::string& text : {semicolon, tab}) {
        EXPECT_TRUE(opensJobList(text)) << text;
        const auto result = readText(text);
        ASSERT_TRUE(std::holds_alternative<std::vector<JobListRow>>(result))
            << std::get<InputError>(result).detail;
        const auto& rows = std::get<std::vector<JobListRow>>(result);
        ASSERT_EQ(rows.size(), want.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].path, want[i].path);
            EXPECT_EQ(rows[i].quantity, want[i].quantity);
            EXPECT_EQ(rows[i].name, want[i].name);
            EXPECT_EQ(rows[i].turns, want[i].turns);
            EXPECT_EQ(rows[i].mirror, want[i].mirror);
        }
    }
    EXPECT_EQ(detectInputFormat("file;quantity\nx.dxf;2\n", "order.csv"), InputFormat::jobList);
}

// A shop's list through the whole loading: each row's file in its own format, its quantity,
// name, turns and mirroring on its parts; a row that cannot be used is named by its line.
TEST(JobListReaderTest, ALoadedListGivesEachRowsPartsTheirSettings) {
    const TempDir dir;
    std::filesystem::create_directories(dir.path() / "list" / "dxf");
    std::filesystem::copy_file(BLOCKNEST_SOURCE_DIR "/examples/bracket.dxf",
                               dir.path() / "list" / "dxf" / "bracket.dxf");
    dir.write("list/plate.txt", partFileHeader(300, 200) +
                                    partBlock("plate", 2, {{0, 0}, {50, 0}, {50, 30}, {0, 30}}));
    // One part on layer CUT: named after the file alone.
    dir.write("list/cover.dxf",
              "  0\nSECTION\n  2\nENTITIES\n  0\nCIRCLE\n  8\nCUT\n 10\n0\n 20\n0\n 40\n5\n"
              "  0\nENDSEC\n  0\nEOF\n");
    const auto list = dir.write("list/jobs.csv",
                                "file,quantity,name,rotations,mirror,layer\n"
                                "dxf/bracket.dxf,3,B,\"0,180\",yes\n"
                                "plate.txt,,,1\n"
                                "dxf/bracket.dxf,2\n"
                                "cover.dxf,1\n"
                                "dxf/bracket.dxf,4,W,,,Washer\n");
    InputSettings settings;
    settings.rotationCount = 6;
    auto result = loadJob({{list.string(), std::nullopt}}, settings);
    ASSERT_TRUE(std::holds_alternative<LoadedJob>(result)) << std::get<InputError>(result).detail;
    const LoadedJob& job = std::get<LoadedJob>(result);
    std::map<std::string, int> counts;
    for (const Part& part : job.prepared.parts) {
        ++counts[part.name()];
        const std::vector<Orientation> expected =
            part.name().starts_with("B:") ? withMirrored(turnsFromDegrees({0, 180}))
            : part.name() == "plate"      ? evenTurns(1)
                                          : std::vector<Orientation>{};
        EXPECT_EQ(part.orientations(), expected) << part.name();
        EXPECT_EQ(job.items[static_cast<std::size_t>(part.itemIndex())].name, part.name());
    }
    EXPECT_EQ(counts, (std::map<std::string, int>{{"B:bracket", 3},
                                                  {"B:washer", 3},
                                                  {"bracket", 2},  // its layer is the file's stem
                                                  {"bracket:washer", 2},
                                                  {"plate", 2},
                                                  {"cover", 1},
                                                  {"W", 4}}));  // its layer only: one part
    EXPECT_EQ(job.prepared.sheet.length, 300) << "the part data file gives the sheet";

    const std::string where = list.string() + ":3: ";
    for (const auto& [row, message] : std::vector<std::pair<std::string, std::string>>{
             {"missing.dxf,1", where + "the file '" +
                                   (dir.path() / "list" / "missing.dxf").string() +
                                   "' does not exist"},
             {"plate.txt,2", where + "a quantity applies to DXF drawings only, and '" +
                                 (dir.path() / "list" / "plate.txt").string() +
                                 "' is a part data file with counts of its own"},
             {"jobs.csv,1", where + "'" + list.string() +
                                "' is a job list; a job list names drawings, part data files "
                                "and JSON instances"},
             {"plate.txt,,,,,CUT", where + "a layer applies to DXF drawings only, and '" +
                                       (dir.path() / "list" / "plate.txt").string() +
                                       "' is a part data file"},
             {"dxf/bracket.dxf,1,,,,; ", where + "the layer cell names no layer"}}) {
        dir.write("list/jobs.csv",
                  "file,quantity,name,rotations,mirror,layer\ndxf/bracket.dxf,1\n" + row + "\n");
        result = loadJob({{list.string(), std::nullopt}}, settings);
        ASSERT_TRUE(std::holds_alternative<InputError>(result)) << row;
        EXPECT_EQ(std::get<InputError>(result).detail, message);
    }
    dir.write("list/broken.dxf", "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\nten\n");
    dir.write("list/jobs.csv", "file,quantity\nbroken.dxf,1\n");
    result = loadJob({{list.string(), std::nullopt}}, settings);
    ASSERT_TRUE(std::holds_alternative<InputError>(result));
    EXPECT_NE(std::get<InputError>(result).detail.find("(listed in " + list.string() + ":2)"),
              std::string::npos)
        << std::get<InputError>(result).detail;
}

// A row that asks for mirroring gets it with or without a rotations cell: every part of the
// row may then lie in each of its turns as drawn and mirrored, the turns being the row's, the
// part's own or the -r ones, in that order of precedence; a row that says no gets none.
TEST(JobListReaderTest, MirroringHoldsWithOrWithoutARotationsCell) {
    const TempDir dir;
    std::filesystem::create_directories(dir.path() / "list");
    std::filesystem::copy_file(BLOCKNEST_SOURCE_DIR "/examples/bracket.dxf",
                               dir.path() / "list" / "bracket.dxf");
    dir.write("list/plate.txt", partFileHeader(300, 200) +
                                    "Part\nName\nturned\nPartNumOfSameType\n1\n"
                                    "Orientations\n0,90\nOutLoop\n0,0\n50,0\n50,30\n"
                                    "EndOutLoop\nEndPart\n");
    InputSettings settings;
    settings.rotationCount = 3;
    settings.sheet = SheetSize{300, 200};
    // Each part's turns as degrees, split by mirroring.
    using Turns = std::multiset<double>;
    auto turnsOf = [](const Part& part) {
        std::pair<Turns, Turns> split;
        for (const Orientation& o : part.orientations())
            (o.mirrored ? split.second : split.first).insert(o.degrees());
        return split;
    };
    struct Case {
        std::string list;
        Turns turns;  // the turns each part takes as drawn
        bool mirrored;
    };
    for (const Case& c : std::vector<Case>{
             {"file,quantity,mirror\nbracket.dxf,2,yes\n", {0, 120, 240}, true},
             {"file,quantity,name,rotations,mirror\nbracket.dxf,1,M,,yes\n", {0, 120, 240}, true},
             {"file,quantity,mirror\nplate.txt,,yes\n", {0, 90}, true},
             {"file,quantity,mirror,rotations\nbracket.dxf,1,yes,\"0,180\"\n", {0, 180}, true},
             {"file,quantity,mirror\nbracket.dxf,1,no\n", {}, false}}) {
        const auto list = dir.write("list/jobs.csv", c.list);
        auto result = loadJob({{list.string(), std::nullopt}}, settings);
        ASSERT_TRUE(std::holds_alternative<LoadedJob>(result))
            << std::get<InputError>(result).detail;
        const LoadedJob& job = std::get<LoadedJob>(result);
        ASSERT_GT(job.prepared.parts.count(), 0u) << c.list;
        for (const Part& part : job.prepared.parts) {
            const auto [drawn, mirrored] = turnsOf(part);
            if (!c.mirrored) {
                EXPECT_TRUE(mirrored.empty()) << c.list << part.name();
                continue;
            }
            EXPECT_EQ(drawn, c.turns) << c.list << part.name();
            EXPECT_EQ(mirrored, c.turns) << c.list << part.name() << ": not mirrored";
        }
    }
}

}  // namespace
}  // namespace blocknest
