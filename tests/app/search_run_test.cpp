#include <gtest/gtest.h>

#include <string>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

const std::string kInstance = BLOCKNEST_SOURCE_DIR "/tests/data/instances/poly1a.txt";

double figure(const std::string& report, const std::string& label) {
    return std::stod(textAfter(report, label, "%\n"));
}

TEST(SearchRunTest, AnEvaluationBudgetWritesTheSameFilesOnAnyThreadCount) {
    TempDir dir;
    std::vector<std::string> drawings;
    std::vector<std::string> reports;
    for (const char* threads : {"1", "2"}) {
        const std::string out = (dir.path() / threads).string();
        const RunResult run = runBlocknestBinary({"--no-pause", "--evaluations", "60", "--seed",
                                                  "4", "-j", threads, "-o", out, kInstance},
                                                 dir.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        drawings.push_back(readFile(out + "/Layout.dxf"));
        reports.push_back(readFile(out + "/Results.txt"));
        EXPECT_NE(run.out.find("Searching: "), std::string::npos)
            << "not a terminal: a plain line at each improvement";
        EXPECT_NE(run.out.find("Packing Completed.(Packing time:"), std::string::npos);
    }
    EXPECT_EQ(drawings[0], drawings[1]);
    EXPECT_EQ(figure(reports[0], "Packed length:"), figure(reports[1], "Packed length:"));

    const RunResult onePass =
        runBlocknestBinary({"--no-pause", "-q", "-o", dir.path().string(), kInstance}, dir.path());
    ASSERT_EQ(onePass.exitCode, 0) << onePass.err;
    const std::string report = readFile(dir.path() / "Results.txt");
    EXPECT_LE(figure(reports[0], "Packed length:"), figure(report, "Packed length:"))
        << "the search never writes a longer layout";
}

TEST(SearchRunTest, QuietSearchShowsNoProgressAndBadBudgetsAreRefused) {
    TempDir dir;
    const RunResult quiet = runBlocknestBinary(
        {"--no-pause", "-q", "-t", "0.3", "-o", dir.path().string(), kInstance}, dir.path());
    ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
    EXPECT_EQ(quiet.out.find("Searching"), std::string::npos);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-t", "0"},
                                                 {"-t", "abc"},
                                                 {"--evaluations", "-3"},
                                                 {"-j", "0"},
                                                 {"--seed", "x"}}) {
        std::vector<std::string> full = args;
        full.push_back(kInstance);
        const RunResult run = runBlocknestBinary(full, dir.path());
        EXPECT_EQ(run.exitCode, 2) << args[0] << " " << args[1];
        EXPECT_NE(run.err.find(args[0] == "-t"   ? "--time-limit"
                               : args[0] == "-j" ? "--threads"
                                                 : args[0]),
                  std::string::npos)
            << run.err;
    }
}

// A search over several sheets spends its budget once, not once per sheet: the layouts
// searched on all sheets together never pass the evaluations asked for, and a budget smaller
// than the number of sheets leaves the last sheets to the one-pass run.
TEST(SearchRunTest, ASearchOverSeveralSheetsStaysWithinItsBudget) {
    TempDir dir;
    std::string squares = partFileHeader(300, 200);
    squares += partBlock("Square", 30, {{0, 0}, {95, 0}, {95, 95}, {0, 95}});
    const std::string many = dir.write("squares.txt", squares).string();
    const std::string two = BLOCKNEST_SOURCE_DIR "/examples/workshop_short_sheet.txt";
    struct Case {
        std::string input;
        int evaluations;
    };
    for (const auto& [input, evaluations] :
         {Case{two, 41}, Case{two, 1}, Case{many, 3}, Case{many, 12}}) {
        const RunResult run = runBlocknestBinary(
            {"--no-pause", "--sheets", "0", "--evaluations", std::to_string(evaluations), "-j", "1",
             "-o", dir.path().string(), input},
            dir.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        int sheets = 0;
        long long searched = 0;
        for (std::size_t at = run.out.find("Searched "); at != std::string::npos;
             at = run.out.find("Searched ", at + 1)) {
            searched += std::stoll(run.out.substr(at + 9));
            ++sheets;
        }
        EXPECT_GE(sheets, 2) << input << ": a job over several sheets";
        EXPECT_LE(searched, evaluations) << input << "\n" << run.out;
        EXPECT_GT(searched, 0) << input << "\n" << run.out;
    }
}

}  // namespace
}  // namespace blocknest
