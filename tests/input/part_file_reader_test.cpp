#include "input/part_file_reader.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

const std::vector<Vertex> kSquare{{0, 0}, {10, 0}, {10, 10}, {0, 10}};

std::variant<PartFileContents, InputError> readText(const std::string& text,
                                                    const ReadLimits& limits = {}) {
    std::istringstream in(text);
    return readPartData(in, "parts.txt", limits);
}

PartFileContents readOk(const std::string& text) {
    auto result = readText(text);
    if (auto* error = std::get_if<InputError>(&result)) {
        ADD_FAILURE() << "unexpected error: " << error->detail;
        return {};
    }
    return std::move(std::get<PartFileContents>(result));
}

InputError readError(const std::string& text) {
    auto result = readText(text);
    if (auto* error = std::get_if<InputError>(&result)) return *error;
    ADD_FAILURE() << "the file was accepted";
    return {};
}

std::vector<std::string> names(const PartList& parts) {
    std::vector<std::string> result;
    for (const Part& p : parts) result.push_back(p.name());
    return result;
}

const char* const kExample =
    "SheetLength: 6000\nSheetWidth: 4000\nPartTypeCount:10\nPart\nName\nPlate\n"
    "PartNumOfSameType\n2\nOutLoop\n0,0\n100,0\n100,50\n0,50\nEndOutLoop\nInnerLoop\n10,10\n"
    "20,10\n20,20\n10,20\nEndInnerLoop\nEndPart\n";

TEST(PartFileReaderTest, ReadsTheExampleFile) {
    const PartFileContents contents = readOk(kExample);
    EXPECT_EQ(contents.sheetLength, 6000.0);
    EXPECT_EQ(contents.sheetWidth, 4000.0);
    ASSERT_EQ(contents.parts.count(), 2);
    for (const Part& part : contents.parts) {
        EXPECT_EQ(part.name(), "Plate");
        EXPECT_EQ(part.netArea(), 4900.0);
        EXPECT_EQ(part.bounds().minX, 0.0);
        EXPECT_EQ(part.bounds().maxX, 100.0);
        EXPECT_EQ(part.bounds().minY, 0.0);
        EXPECT_EQ(part.bounds().maxY, 50.0);
        EXPECT_EQ(part.innerLoops().count(), 1);
        EXPECT_EQ(part.outerLoop().vertices()[0].z, 1e-15);
    }
    EXPECT_NE(&contents.parts.front(), &contents.parts.back()) << "each copy is its own part";
}

TEST(PartFileReaderTest, CrLfFilesReadTheSameAsLfFiles) {
    std::string crlf;
    for (char c : std::string(kExample)) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const PartFileContents contents = readOk(crlf);
    ASSERT_EQ(contents.parts.count(), 2);
    EXPECT_EQ(contents.parts.front().name(), "Plate") << "the CR is part of the line end";
    EXPECT_EQ(contents.parts.front().netArea(), 4900.0);
}

TEST(PartFileReaderTest, ALastLineWithoutLineEndCountsAsALine) {
    std::string text = kExample;
    text.pop_back();
    EXPECT_EQ(readOk(text).parts.count(), 2) << "the final EndPart closes its block";
}

TEST(PartFileReaderTest, BlocksGoToTheFrontWithTheirCopiesSideBySide) {
    const PartFileContents contents =
        readOk(partFileHeader(100, 100) + partBlock("A", 2, kSquare) + partBlock("B", 1, kSquare));
    EXPECT_EQ(names(contents.parts), (std::vector<std::string>{"B", "A", "A"}));
}

TEST(PartFileReaderTest, CopyCountsOfZeroOrLessAddNothing) {
    for (int copies : {0, -3}) {
        const PartFileContents contents =
            readOk(partFileHeader(100, 100) + partBlock("A", copies, kSquare) +
                   partBlock("B", 1, kSquare));
        EXPECT_EQ(names(contents.parts), std::vector<std::string>{"B"}) << copies;
    }
    const std::string fractional =
        "S234567890123 50\nS23456789012 50\nx\nPart\nPartNumOfSameType"
        "\n2.7\nOutLoop\n0,0\n1,0\n1,1\nEndOutLoop\nEndPart\n";
    EXPECT_EQ(readOk(fractional).parts.count(), 2) << "2.7 reads as 2";
}

TEST(PartFileReaderTest, CopyCountIsHeldAcrossBlocks) {
    const std::string noCount = "Part\nName\nN\nOutLoop\n0,0\n1,0\n1,1\nEndOutLoop\nEndPart\n";
    EXPECT_EQ(readOk(partFileHeader(9, 9) + noCount).parts.count(), 1)
        << "the first block without a count makes one copy";
    EXPECT_EQ(readOk(partFileHeader(9, 9) + partBlock("A", 3, kSquare) + noCount).parts.count(), 6)
        << "a later block without a count repeats the previous count";
}

TEST(PartFileReaderTest, KeywordsMustStandAloneOnTheirLine) {
    std::string text = partFileHeader(100, 100) + partBlock("A", 1, kSquare);
    std::string skipped = partBlock("B", 1, kSquare);
    skipped.replace(0, 4, "Part ");
    EXPECT_EQ(names(readOk(text + skipped).parts), std::vector<std::string>{"A"})
        << "a block opened by 'Part ' is skipped";
    std::string unclosed = partBlock("C", 1, kSquare);
    unclosed.replace(unclosed.rfind("EndPart"), 7, "EndPart ");
    const InputError error = readError(text + unclosed);
    EXPECT_TRUE(error.showReadWarning);
    EXPECT_NE(error.detail.find("no \"EndPart\""), std::string::npos) << error.detail;
}

TEST(PartFileReaderTest, NamesKeepInnerBlanksAndMayBeEmpty) {
    const PartFileContents contents = readOk(
        partFileHeader(9, 9) + partBlock("Bracket 7", 1, kSquare) + partBlock("", 1, kSquare));
    EXPECT_EQ(names(contents.parts), (std::vector<std::string>{"", "Bracket 7"}));
    const std::string noName =
        "Part\nPartNumOfSameType\n1\nOutLoop\n0,0\n1,0\n1,1\nEndOutLoop\n"
        "EndPart\n";
    EXPECT_EQ(readOk(partFileHeader(9, 9) + noName).parts.front().name(), "NoName");
    const std::string longName(150, 'L');
    EXPECT_EQ(readOk(partFileHeader(9, 9) + partBlock(longName, 1, kSquare)).parts.front().name(),
              longName.substr(0, 99));
}

TEST(PartFileReaderTest, ANameLineThatIsAKeywordActsAsThatKeyword) {
    // The name "EndPart" closes the block at once; the rest of the block is outside any block.
    const std::string endsEarly =
        "Part\nOutLoop\n0,0\n2,0\n2,2\nEndOutLoop\nName\nEndPart\n"
        "PartNumOfSameType\n5\nEndPart\n";
    const PartFileContents contents = readOk(partFileHeader(9, 9) + endsEarly);
    ASSERT_EQ(contents.parts.count(), 1) << "the count line came after the block had ended";
    EXPECT_EQ(contents.parts.front().name(), "EndPart");
    // The name "OutLoop" starts the outer contour.
    const std::string startsLoop = "Part\nName\nOutLoop\n0,0\n3,0\n3,3\nEndOutLoop\nEndPart\n";
    EXPECT_EQ(readOk(partFileHeader(9, 9) + startsLoop).parts.front().netArea(), 4.5);
}

TEST(PartFileReaderTest, AnOrientationsLineLimitsThePartsTurns) {
    auto withTurns = [](const std::string& name, const std::string& degrees) {
        std::string block = partBlock(name, 2, kSquare);
        return block.insert(block.find("OutLoop"), "Orientations\n" + degrees + "\n");
    };
    const PartFileContents contents = readOk(
        partFileHeader(9, 9) + withTurns("Grain", "0, 180") + withTurns("Q", "90,0,270,180") +
        withTurns("Odd", "-90,45,12.5") + partBlock("Free", 1, kSquare));
    std::vector<std::vector<Orientation>> lists;
    for (const Part& p : contents.parts) lists.push_back(p.orientations());
    ASSERT_EQ(lists.size(), 7U);
    EXPECT_TRUE(lists[0].empty()) << "a part without the line takes the job's turns";
    EXPECT_EQ(lists[1], (std::vector<Orientation>{{3, 4}, {1, 8}, {5, 144}}));
    EXPECT_EQ(lists[3], evenTurns(4)) << "the angles of -r 4, in any order, are its turns";
    EXPECT_EQ(lists[5], evenTurns(2)) << "every copy carries the list";
    EXPECT_EQ(lists[6], evenTurns(2));
}

TEST(PartFileReaderTest, AnOrientationsLineWithoutAnglesNamesItsLine) {
    std::string block = partBlock("A", 1, kSquare);
    block.insert(block.find("OutLoop"), "Orientations\n0;90\n");
    const InputError error = readError(partFileHeader(9, 9) + block);
    EXPECT_NE(error.detail.find("parts.txt:10: the line after \"Orientations\""), std::string::npos)
        << error.detail;
    std::string named = partBlock("Orientations", 1, kSquare);
    EXPECT_EQ(readOk(partFileHeader(9, 9) + named).parts.front().name(), "Orientations")
        << "a name line is never read as the keyword";
}

TEST(PartFileReaderTest, HeaderNumbersStartAtFixedColumns) {
    auto sheet = [](const std::string& line1, const std::string& line2) {
        const PartFileContents c =
            readOk(line1 + "\n" + line2 + "\nx\n" + partBlock("A", 1, kSquare));
        return std::pair{c.sheetLength, c.sheetWidth};
    };
    EXPECT_EQ(sheet("SheetLength: 6000", "SheetWidth: 4000"), std::pair(6000.0, 4000.0));
    EXPECT_EQ(sheet("SheetLength:    6000", "SheetWidth:  4000"), std::pair(6000.0, 4000.0))
        << "blanks after the label are skipped";
    EXPECT_EQ(sheet("SheetLength:6000", "SheetWidth:4000").first, 0.0)
        << "a digit inside the first 13 characters is lost";
    EXPECT_EQ(sheet("123456789012345", "1234567890123").first, 45.0);
    EXPECT_EQ(sheet("123456789012345", "1234567890123").second, 3.0);
    EXPECT_EQ(sheet("short", "").first, 0.0) << "a line shorter than its label gives 0";
}

TEST(PartFileReaderTest, LaterOuterLoopsReplaceEarlierOnesAndHolesAreReversed) {
    const std::string block =
        "Part\nOutLoop\n0,0\n1,0\n1,1\nEndOutLoop\nOutLoop\n0,0\n50,0\n50,50\n0,50\nEndOutLoop\n"
        "InnerLoop\n1,1\n2,1\n2,2\nEndInnerLoop\nInnerLoop\n3,3\n4,3\n4,4\nEndInnerLoop\n"
        "InnerLoop\n5,5\n6,5\n6,6\nEndInnerLoop\nEndPart\n";
    const Part part = std::move(readOk(partFileHeader(99, 99) + block).parts.front());
    EXPECT_EQ(part.bounds().maxX, 50.0) << "the second contour is kept";
    std::vector<double> firstX;
    for (const Loop& hole : part.innerLoops()) firstX.push_back(hole.vertices()[0].x);
    EXPECT_EQ(firstX, (std::vector<double>{5, 3, 1})) << "holes are held third, second, first";
}

TEST(PartFileReaderTest, VertexLinesSkipExactlyOneCharacterAfterX) {
    const std::string block =
        "Part\nOutLoop\n12.5,40\n12.5 40\n12.5, 40\n12.5\t40\n12.5;;40\n\n7\n,3\nEndOutLoop\n"
        "EndPart\n";
    const Part part = std::move(readOk(partFileHeader(99, 99) + block).parts.front());
    const std::vector<Vertex>& v = part.outerLoop().vertices();
    ASSERT_EQ(v.size(), 8u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(v[i].x, 12.5) << i;
        EXPECT_EQ(v[i].y, 40.0) << i;
    }
    EXPECT_EQ(v[4].y, 0.0) << "12.5;;40: only the first semicolon is skipped";
    EXPECT_EQ(v[5].x, 0.0) << "a blank line is the vertex (0, 0)";
    EXPECT_EQ(v[5].y, 0.0);
    EXPECT_EQ(v[6].x, 7.0);
    EXPECT_EQ(v[6].y, 0.0) << "no y after x";
    EXPECT_EQ(v[7].x, 0.0);
    EXPECT_EQ(v[7].y, 3.0) << "with no x, the first character is the one skipped";
}

TEST(PartFileReaderTest, LongLinesAreReadWhole) {
    const std::string spaces(300, ' ');
    const std::string block =
        "Part\nOutLoop\n0," + spaces + "0\n100,0\n100," + spaces + "50\nEndOutLoop\nEndPart\n";
    const Part part = std::move(readOk(partFileHeader(999, 999) + block).parts.front());
    ASSERT_EQ(part.outerLoop().vertexCount(), 3) << "one long line is one vertex";
    EXPECT_EQ(part.outerLoop().vertices()[2].y, 50.0);
}

struct BrokenFile {
    std::string name;
    std::string body;
    bool warning;
    std::string detail;
};

void PrintTo(const BrokenFile& c, std::ostream* os) { *os << c.name; }

class BrokenFiles : public testing::TestWithParam<BrokenFile> {};

TEST_P(BrokenFiles, FailWithAClearMessage) {
    const InputError error = readError(partFileHeader(100, 100) + GetParam().body);
    EXPECT_EQ(error.showReadWarning, GetParam().warning);
    EXPECT_EQ(error.detail, GetParam().detail);
}

INSTANTIATE_TEST_SUITE_P(
    Reader, BrokenFiles,
    testing::Values(
        BrokenFile{"MissingEndPart", "Part\nOutLoop\n0,0\n1,0\n1,1\nEndOutLoop\n", true,
                   "parts.txt:9: the file ends inside the part block opened on line 4 (no "
                   "\"EndPart\")"},
        BrokenFile{"MissingEndOutLoop", "Part\nOutLoop\n0,0\n1,0\n", true,
                   "parts.txt:7: the file ends inside the \"OutLoop\" section opened on line 5 "
                   "(no \"EndOutLoop\")"},
        BrokenFile{"MissingEndInnerLoop",
                   "Part\nOutLoop\n0,0\n1,0\n1,1\nEndOutLoop\nInnerLoop\n0,0\n", true,
                   "parts.txt:11: the file ends inside the \"InnerLoop\" section opened on line 10 "
                   "(no \"EndInnerLoop\")"},
        BrokenFile{"NameAtTheEnd", "Part\nName\n", true,
                   "parts.txt:5: the file ends inside the part block opened on line 4 (no "
                   "\"EndPart\")"},
        BrokenFile{"EmptyOutLoop", "Part\nOutLoop\nEndOutLoop\nEndPart\n", false,
                   "parts.txt:5: the \"OutLoop\" section has no vertex line"},
        BrokenFile{"EmptyInnerLoop",
                   "Part\nOutLoop\n0,0\n1,0\n1,1\nEndOutLoop\nInnerLoop\nEndInnerLoop\nEndPart\n",
                   false, "parts.txt:10: the \"InnerLoop\" section has no vertex line"},
        BrokenFile{"NoOutLoop", "Part\nName\nX\nPartNumOfSameType\n0\nEndPart\n", false,
                   "parts.txt:9: the part block opened on line 4 has no \"OutLoop\" section"},
        BrokenFile{"InfiniteVertex", "Part\nOutLoop\n0,0\n1e400,0\n1,1\nEndOutLoop\nEndPart\n",
                   false, "parts.txt:7: a vertex coordinate is not a finite number"}),
    [](const testing::TestParamInfo<BrokenFile>& info) { return info.param.name; });

TEST(PartFileReaderTest, CopyCountsBeyondTheLimitFail) {
    ReadLimits limits;
    limits.maxParts = 10;
    auto result = readText(
        partFileHeader(9, 9) + partBlock("A", 6, kSquare) + partBlock("B", 5, kSquare), limits);
    ASSERT_TRUE(std::holds_alternative<InputError>(result));
    EXPECT_NE(std::get<InputError>(result).detail.find("\"B\" asks for 5 copies"),
              std::string::npos);
    limits.maxParts = 11;
    EXPECT_TRUE(std::holds_alternative<PartFileContents>(readText(
        partFileHeader(9, 9) + partBlock("A", 6, kSquare) + partBlock("B", 5, kSquare), limits)));
}

// Each bound holds exactly: a file at the bound is read, one unit more is refused.
TEST(PartFileReaderTest, LimitsHoldExactlyAtTheirBound) {
    const std::string square = partBlock("S", 1, kSquare);  // 4 vertices
    const std::string text = partFileHeader(9, 9) + square;
    auto accepted = [](const std::variant<PartFileContents, InputError>& result) {
        if (const auto* error = std::get_if<InputError>(&result)) return error->detail;
        return std::string("accepted");
    };
    ReadLimits limits;
    limits.maxStoredVertices = 4;
    EXPECT_EQ(accepted(readText(text, limits)), "accepted");
    limits.maxStoredVertices = 3;
    EXPECT_EQ(accepted(readText(text, limits)),
              "parts.txt:13: the \"OutLoop\" section has more than 3 vertices, more than fit in "
              "memory");
    limits.maxStoredVertices = 8;
    EXPECT_EQ(accepted(readText(partFileHeader(9, 9) + partBlock("S", 2, kSquare), limits)),
              "accepted");
    limits.maxStoredVertices = 7;
    EXPECT_NE(accepted(readText(partFileHeader(9, 9) + partBlock("S", 2, kSquare), limits))
                  .find("asks for 2 copies"),
              std::string::npos);

    limits = ReadLimits{};
    const std::string longName = partFileHeader(9, 9) + partBlock(std::string(20, 'n'), 1, kSquare);
    limits.maxLineLength = 20;
    EXPECT_EQ(accepted(readText(longName, limits)), "accepted");
    limits.maxLineLength = 19;
    EXPECT_EQ(accepted(readText(longName, limits)),
              "parts.txt:6: the line is longer than 19 characters, more than a part data file "
              "ever needs");

    limits = ReadLimits{};
    limits.maxFileBytes = static_cast<std::int64_t>(text.size());
    EXPECT_EQ(accepted(readText(text, limits)), "accepted");
    limits.maxFileBytes = static_cast<std::int64_t>(text.size()) - 1;
    EXPECT_NE(accepted(readText(text + "\n", limits)).find("the file is longer than"),
              std::string::npos);
    EXPECT_NE(accepted(readText(text, limits)).find("the file is longer than"), std::string::npos)
        << "the last line's end counts";
}

// What Windows editors write at the start of a UTF-8 file is skipped; elsewhere it is text.
TEST(PartFileReaderTest, AByteOrderMarkAtTheStartIsSkipped) {
    const std::string text = partFileHeader(120, 80) + partBlock("\xEF\xBB\xBFS", 1, kSquare);
    const PartFileContents contents = readOk("\xEF\xBB\xBF" + text);
    EXPECT_EQ(contents.sheetLength, 120);
    EXPECT_EQ(contents.sheetWidth, 80);
    EXPECT_EQ(names(contents.parts), std::vector<std::string>{"\xEF\xBB\xBFS"});
    EXPECT_EQ(readOk("\xEF\xBB" + text).sheetLength, 0) << "only a whole mark is skipped";
}

// Lines read by the format's rules against their likely meaning: the reading stays, and each
// gets a warning naming the line and what was read.
TEST(PartFileReaderTest, MisreadLinesAreReadAsBeforeAndWarnedOf) {
    struct Case {
        std::string vertexLine;
        Vertex read;
        std::string doubt;
    };
    const std::vector<Case> doubtful{
        {"0,abc", {0, 0}, "it holds no number for y"},
        {"0,5O", {0, 5}, "the text \"O\" after y is ignored"},
        {"", {0, 0}, "a blank line inside a loop"},
        {"0,,0", {0, 0}, "it holds no number for y"},
        {"0x10,0", {0, 10}, "\"x\" after x is skipped"},
        {"10,,5", {10, 0}, "it holds no number for y"},
        {"abc,5", {0, 0}, "it starts with no number"},
        {"EndPart", {0, 0}, "the keyword line \"EndPart\""},
    };
    for (const Case& c : doubtful) {
        const std::string text = partFileHeader(9, 9) + "Part\nOutLoop\n1,1\n" + c.vertexLine +
                                 "\n2,2\nEndOutLoop\nEndPart\n";
        const PartFileContents contents = readOk(text);
        ASSERT_EQ(contents.parts.count(), 1) << c.vertexLine;
        const Vertex& v = contents.parts.front().outerLoop().vertices()[1];
        EXPECT_EQ(v.x, c.read.x) << c.vertexLine;
        EXPECT_EQ(v.y, c.read.y) << c.vertexLine;
        ASSERT_EQ(contents.warnings.size(), 1u) << c.vertexLine;
        EXPECT_EQ(contents.warnings[0].substr(0, 12), "parts.txt:7:") << contents.warnings[0];
        EXPECT_NE(contents.warnings[0].find(c.doubt), std::string::npos) << contents.warnings[0];
    }
    for (const std::string line :
         {"12.5,40", "12.5 40", "12.5, 40", "12.5\t40", "1,2   ", "1,2\r", "-3e2,+4"}) {
        const PartFileContents contents = readOk(partFileHeader(9, 9) + "Part\nOutLoop\n" + line +
                                                 "\n5,5\n1,7\nEndOutLoop\nEndPart\n");
        EXPECT_TRUE(contents.warnings.empty()) << line << ": " << contents.warnings.front();
    }
    struct Other {
        std::string text;
        std::string doubt;
    };
    const std::string block = "Part\nOutLoop\n0,0\n1,0\n1,1\nEndOutLoop\nEndPart\n";
    for (const Other& o : {
             Other{"SheetLength:1200\nSheetWidth: 600\nx\n" + block,
                   "parts.txt:1: the first 13 characters \"SheetLength:1\" are not read and hold "
                   "a digit; the sheet length is read as 200"},
             Other{"SheetLength: 1200\nSheetWidth: 6OO\nx\n" + block,
                   "parts.txt:2: the text \"OO\" after the number is ignored; the sheet width is "
                   "read as 6"},
             Other{"SheetLength: 1200\nSheetWidth: 600\n" + block,
                   "parts.txt:3: the third line, which is not used, is the keyword \"Part\" (a "
                   "header line is missing?)"},
             Other{partFileHeader(9, 9) + "Part\nPartNumOfSameType\ntwo\n" + block.substr(5),
                   "parts.txt:6: the copy count \"two\" is read as 0"},
             Other{partFileHeader(9, 9) + "Part\nPartNumOfSameType\n2.5\n" + block.substr(5),
                   "parts.txt:6: the copy count \"2.5\" is read as 2"},
         }) {
        const PartFileContents contents = readOk(o.text);
        ASSERT_FALSE(contents.warnings.empty()) << o.text;
        EXPECT_EQ(contents.warnings.front(), o.doubt);
    }
    std::string many = partFileHeader(9, 9) + "Part\nOutLoop\n0,0\n1,0\n";
    for (int i = 0; i < 25; ++i) many += "\n";
    const PartFileContents contents = readOk(many + "1,1\nEndOutLoop\nEndPart\n");
    EXPECT_EQ(contents.warnings.size(), PartFileContents::kMaxListedWarnings);
    EXPECT_EQ(contents.warningCount, 25);
}

TEST(PartFileReaderTest, AMissingFileShowsTheReadWarning) {
    auto result = readPartFile("/nonexistent/parts.txt");
    ASSERT_TRUE(std::holds_alternative<InputError>(result));
    EXPECT_TRUE(std::get<InputError>(result).showReadWarning);
    EXPECT_TRUE(std::holds_alternative<InputError>(readPartFile("")));
}

}  // namespace
}  // namespace blocknest
