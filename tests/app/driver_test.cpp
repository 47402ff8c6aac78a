#include "app/driver.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <sstream>

#include "app/messages.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

const std::string kReadWarning =
    "Warning! " + std::string(messageText(Message::partFileReadFailed, ConsoleEncoding::utf8));
const std::string kOpenWarning =
    "Warning! " + std::string(messageText(Message::fileOpenFailed, ConsoleEncoding::utf8));

const std::vector<Vertex> kPlate{{0, 0}, {100, 0}, {100, 50}, {0, 50}};

class DriverBinaryTest : public testing::Test {
protected:
    TempDir dir_;
};

TEST_F(DriverBinaryTest, HelpAndVersionExitZero) {
    const RunResult help = runBlocknestBinary({"--help"}, dir_.path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: blocknest [OPTIONS] [FILE...]"), std::string::npos);
    EXPECT_NE(help.out.find("Exit codes:"), std::string::npos);
    EXPECT_EQ(runBlocknestBinary({"--version"}, dir_.path()).exitCode, 0);
}

TEST_F(DriverBinaryTest, UnknownOptionsAreUsageErrors) {
    const RunResult run = runBlocknestBinary({"--frobnicate"}, dir_.path());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err,
              "blocknest: unknown option '--frobnicate'\nTry 'blocknest --help' for more "
              "information.\n");
    dir_.write("a.txt", partFileHeader(100, 100) + partBlock("P", 1, kPlate));
    dir_.write("b.txt", partFileHeader(100, 100) + partBlock("P", 1, kPlate));
    const RunResult two = runBlocknestBinary({"--no-pause", "a.txt", "b.txt"}, dir_.path());
    EXPECT_EQ(two.exitCode, 2) << "one part data file at most";
    EXPECT_EQ(two.err, "blocknest: more than one part data file given ('a.txt' and 'b.txt')\n");
}

TEST_F(DriverBinaryTest, NoAnswerToTheFileQuestionShowsBothWarnings) {
    const RunResult run = runBlocknestBinary({"--no-pause"}, dir_.path(), "");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Select a text file storing 2D Packing information.\n");
    EXPECT_EQ(run.err,
              kOpenWarning + "\n" + kReadWarning + "\nblocknest: no part data file was chosen\n");
    EXPECT_EQ(runBlocknestBinary({"--no-pause"}, dir_.path(), "\n").exitCode, 1)
        << "an empty line is a cancelled dialog";
}

// Each path fails with the read warning and one line naming it and why, never an abort.
TEST_F(DriverBinaryTest, PathsThatAreNotReadableFilesFailWithTheirReason) {
    const std::string fifo = (dir_.path() / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string missing = (dir_.path() / "missing.txt").string();
    const std::string cases[][2] = {{dir_.path().string(), "it is a directory"},
                                    {missing, "No such file or directory"},
                                    {fifo, "it is not a regular file"}};
    for (const auto& [path, why] : cases) {
        for (const bool prompted : {false, true}) {
            const RunResult run = prompted
                                      ? runBlocknestBinary({"--no-pause"}, dir_.path(), path + "\n")
                                      : runBlocknestBinary({"--no-pause", path}, dir_.path());
            EXPECT_EQ(run.exitCode, 1) << path;
            EXPECT_NE(run.err.find(kReadWarning + "\nblocknest: " + path + ": " + why + "\n"),
                      std::string::npos)
                << run.err;
        }
    }
}

// Warnings go to standard error only: standard output and the outputs stay as they were.
// --strict refuses such a file and writes nothing.
TEST_F(DriverBinaryTest, MisreadLinesAreWarnedOfAndRefusedUnderStrict) {
    std::string text = partFileHeader(6000, 4000) + partBlock("P", 1, kPlate);
    const auto clean = dir_.write("clean.txt", text);
    text.replace(text.find("100,50"), 6, "100,5O");
    const auto typo = dir_.write("typo.txt", text);
    const RunResult before =
        runBlocknestBinary({"--no-pause", "-o", "a", clean.string()}, dir_.path());
    const RunResult warned =
        runBlocknestBinary({"--no-pause", "-o", "b", typo.string()}, dir_.path());
    EXPECT_EQ(warned.exitCode, 0);
    EXPECT_EQ(warned.err, "warning: " + typo.string() +
                              ":12: the line \"100,5O\" is read as the vertex (100, 5): the text "
                              "\"O\" after y is ignored\n");
    const std::string time = "(Packing time:";
    EXPECT_EQ(warned.out.substr(0, warned.out.find(time)),
              before.out.substr(0, before.out.find(time)));
    EXPECT_TRUE(std::filesystem::exists(dir_.path() / "b" / "Layout.dxf"));
    const RunResult strict =
        runBlocknestBinary({"--no-pause", "--strict", "-o", "c", typo.string()}, dir_.path());
    EXPECT_EQ(strict.exitCode, 1);
    EXPECT_EQ(strict.out, "");
    EXPECT_NE(strict.err.find("blocknest: refused under --strict: 1 line"), std::string::npos)
        << strict.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "c" / "Layout.dxf"));
    EXPECT_EQ(runBlocknestBinary({"--no-pause", "--strict", "-o", "d", clean.string()}, dir_.path())
                  .exitCode,
              0);
}

// What drag-and-drop pastes, and what a Windows terminal sends.
TEST(ChoosePartFileTest, APromptedPathMayBeQuotedAndEndInCrLf) {
    const TempDir dir;
    std::filesystem::create_directories(dir.path() / "dir with spaces");
    const auto file = dir.write("dir with spaces/parts.txt", "x");
    const auto quotedName = dir.write("'q'", "x");
    RecordingConsole console;
    const Options options;
    const auto answer = [&](const std::string& line) {
        std::istringstream in(line);
        return choosePartFile(options, console, in);
    };
    EXPECT_EQ(answer("'" + file.string() + "'\n"), file.string());
    EXPECT_EQ(answer("\"" + file.string() + "\"\r\n"), file.string());
    EXPECT_EQ(answer(file.string() + "\r\n"), file.string()) << "CR LF ends the line";
    EXPECT_EQ(answer(quotedName.string() + "\n"), quotedName.string())
        << "a name with quotes of its own is kept";
    EXPECT_EQ(answer("'" + file.string() + "\"\n"), "'" + file.string() + "\"")
        << "quotes that do not pair stay";
    EXPECT_EQ(answer("'/nonexistent/x.txt'\n"), "'/nonexistent/x.txt'");
    EXPECT_TRUE(console.warnings.empty());
}

TEST_F(DriverBinaryTest, NoPauseMeansNoPrompt) {
    const auto file = dir_.write("p.txt", partFileHeader(6000, 4000) + partBlock("P", 1, kPlate));
    const RunResult quiet = runBlocknestBinary({"--no-pause", file.string()}, dir_.path());
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out.find("Press any key"), std::string::npos) << quiet.out;
    const RunResult paused = runBlocknestBinary({file.string()}, dir_.path(), "k");
    EXPECT_EQ(paused.exitCode, 0);
    EXPECT_NE(paused.out.find("Press any key to continue . . .\n"), std::string::npos)
        << paused.out;
}

TEST_F(DriverBinaryTest, ThePathCanBeAnsweredOnStandardInput) {
    const auto file =
        dir_.write("plate.txt", partFileHeader(6000, 4000) + partBlock("P", 1, kPlate));
    const RunResult run = runBlocknestBinary({"--no-pause"}, dir_.path(), file.string() + "\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Packing Block Side Length = 7.5\n"), std::string::npos) << run.out;
}

TEST_F(DriverBinaryTest, PrintsTheDerivedBlockSideAndTwoRotations) {
    const auto file =
        dir_.write("plate.txt", partFileHeader(6000, 4000) + partBlock("P", 2, kPlate));
    const RunResult run = runBlocknestBinary({"--no-pause", file.string()}, dir_.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Packing Block Side Length = 7.5\nPart Rotation Number = 2\n"),
              std::string::npos)
        << run.out;
}

TEST_F(DriverBinaryTest, UnreadableFilesEndWithTheWarningAndExitCodeOne) {
    const RunResult missing = runBlocknestBinary({"--no-pause", "nope.txt"}, dir_.path());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, kReadWarning + "\nblocknest: nope.txt: No such file or directory\n");
    EXPECT_EQ(missing.out, "");

    const auto truncated = dir_.write("cut.txt", partFileHeader(100, 100) + "Part\nOutLoop\n0,0\n");
    const RunResult cut = runBlocknestBinary({"--no-pause", truncated.string()}, dir_.path());
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_EQ(cut.err, kReadWarning + "\n" + truncated.string() +
                           ":6: the file ends inside the \"OutLoop\" section opened on line 5 (no "
                           "\"EndOutLoop\")\n");

    const auto empty = dir_.write("empty.txt", "");
    const RunResult none = runBlocknestBinary({"--no-pause", empty.string()}, dir_.path());
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err,
              kReadWarning + "\n" + empty.string() + ": the file holds no part to pack\n");
}

TEST_F(DriverBinaryTest, FormatFaultsNameTheLine) {
    const auto file =
        dir_.write("bad.txt", partFileHeader(100, 100) + "Part\nOutLoop\nEndOutLoop\n");
    const RunResult run = runBlocknestBinary({"--no-pause", file.string()}, dir_.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, file.string() + ":5: the \"OutLoop\" section has no vertex line\n");

    const auto flat =
        dir_.write("flat.txt", "SheetLength: 0\nSheetWidth: 10\nx\n" + partBlock("P", 1, kPlate));
    const RunResult zero = runBlocknestBinary({"--no-pause", flat.string()}, dir_.path());
    EXPECT_EQ(zero.exitCode, 1);
    EXPECT_EQ(zero.err, flat.string() + ":1: the sheet length must be a positive number, not 0\n");
}

TEST_F(DriverBinaryTest, AGbkConsoleGetsGbkBytes) {
    // A GBK locale of our own, made where the machine has the locale sources.
    const std::string make =
        "localedef -i zh_CN -f GBK '" + (dir_.path() / "zh_CN.GBK").string() + "' >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "localedef cannot make zh_CN.GBK here";
    const RunResult run =
        runBlocknestBinary({"--no-pause", "missing.txt"}, dir_.path(), "",
                           {"LOCPATH=" + dir_.path().string(), "LC_ALL=zh_CN.GBK"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "Warning! " +
                  std::string(messageText(Message::partFileReadFailed, ConsoleEncoding::gbk)) +
                  "\nblocknest: missing.txt: No such file or directory\n");
}

TEST(MessagesTest, GbkLocalesGetGbkBytes) {
    EXPECT_EQ(encodingForCodeset("GBK"), ConsoleEncoding::gbk);
    EXPECT_EQ(encodingForCodeset("gb2312"), ConsoleEncoding::gbk);
    EXPECT_EQ(encodingForCodeset("GB_2312"), ConsoleEncoding::gbk) << "an underscore is no part";
    EXPECT_EQ(encodingForCodeset("GB-18030"), ConsoleEncoding::gbk);
    EXPECT_EQ(encodingForCodeset("cp936"), ConsoleEncoding::gbk);
    EXPECT_EQ(encodingForCodeset("GB18030"), ConsoleEncoding::gbk);
    EXPECT_EQ(encodingForCodeset("UTF-8"), ConsoleEncoding::utf8);
    EXPECT_EQ(encodingForCodeset("ANSI_X3.4-1968"), ConsoleEncoding::utf8);
    EXPECT_EQ(messageText(Message::packingStarted, ConsoleEncoding::gbk),
              "\xBF\xAA\xCA\xBC\xC5\xC5\xD1\xF9...");
    EXPECT_EQ(messageText(Message::packingStarted, ConsoleEncoding::utf8), "开始排样...");
    EXPECT_EQ(messageText(Message::partFileReadFailed, ConsoleEncoding::utf8),
              "零件数据文件读取失败!");
    EXPECT_EQ(messageText(Message::vertexCountWrong, ConsoleEncoding::utf8),
              "顶点数目统计错误!建议终止程序");
    EXPECT_EQ(messageText(Message::layoutWriteFailed, ConsoleEncoding::utf8), "排样文件输出失败!");
    EXPECT_EQ(messageText(Message::fileOpenFailed, ConsoleEncoding::utf8), "文件打开失败!");
}

}  // namespace
}  // namespace blocknest
