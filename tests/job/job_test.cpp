// The job library is the command line's engine: the same description gives the same files
// through runJob as through the program, failures come back as exit codes and lines, and a
// stop asked for keeps the best layout.
#include "job/job.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::readFile;
using testing_support::RecordingConsole;
using testing_support::runBlocknestBinary;
using testing_support::RunResult;
using testing_support::TempDir;

const std::string kInstances = BLOCKNEST_SOURCE_DIR "/tests/data/instances/";
const std::string kBracket = BLOCKNEST_SOURCE_DIR "/examples/bracket.dxf";

// Every output the program writes, from the program and from the library, byte for byte.
TEST(JobTest, WritesWhatTheCommandLineWrites) {
    struct Case {
        std::string file;
        int rotations;
        std::vector<std::string> extra;  // command-line options, set on the description too
    };
    for (const Case& c : {Case{"poly1a.txt", 2, {}}, Case{"han.txt", 4, {}},
                          Case{"dighe1.txt", 1, {"--evaluations", "300"}},
                          Case{kBracket + ":5", 4, {"--sheet", "400x200", "--sheets", "0"}}}) {
        const std::string file = c.file.front() == '/' ? c.file : kInstances + c.file;
        TempDir cli;
        std::vector<std::string> args{
            "--no-pause", "-q",       "-r",    std::to_string(c.rotations),
            "--json",     "run.json", "--svg", "run.svg"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        args.push_back(file);
        const RunResult run = runBlocknestBinary(args, cli.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;

        TempDir lib;
        JobDescription job;
        const auto colon = file.rfind(':');
        if (colon != std::string::npos && colon > file.rfind('/')) {
            job.files.push_back({file.substr(0, colon), std::stoll(file.substr(colon + 1))});
        } else {
            job.files.push_back({file, std::nullopt});
        }
        job.rotations = c.rotations;
        job.quiet = true;
        job.outputDir = lib.path().string();
        job.jsonFile = (lib.path() / "run.json").string();
        job.svgFile = (lib.path() / "run.svg").string();
        for (std::size_t i = 0; i < c.extra.size(); i += 2) {
            if (c.extra[i] == "--evaluations") job.evaluations = std::stoll(c.extra[i + 1]);
            if (c.extra[i] == "--sheets") job.sheets = std::stoi(c.extra[i + 1]);
            if (c.extra[i] == "--sheet") job.sheet = SheetSize{400, 200};
        }
        RecordingConsole console;
        const JobResult result = runJob(job, console);
        ASSERT_EQ(result.exitCode, 0) << c.file;
        ASSERT_TRUE(result.figures.has_value());
        EXPECT_GT(result.figures->partsPlaced, 0);
        EXPECT_EQ(readFile(lib.path() / "Layout.dxf"), readFile(cli.path() / "Layout.dxf"))
            << c.file;
        EXPECT_EQ(readFile(lib.path() / "Results.txt").substr(0, 80),
                  readFile(cli.path() / "Results.txt").substr(0, 80))
            << c.file;
        EXPECT_EQ(readFile(lib.path() / "run.svg"), readFile(cli.path() / "run.svg")) << c.file;
        // The report's packed length is the figure the result gives, to its six digits.
        const std::string report = readFile(lib.path() / "Results.txt");
        if (job.sheets == 1) {
            EXPECT_NEAR(std::stod(testing_support::textAfter(report, "Packed length:", "\n")),
                        result.figures->packedLength, 1e-5 * result.figures->packedLength)
                << "the report gives six significant digits";
        }
    }
}

// A library call never throws and never ends the process: each failure is an exit code and
// lines on the console, as on the command line.
TEST(JobTest, FailuresAreExitCodesAndLines) {
    TempDir dir;
    {
        RecordingConsole console;
        const JobResult result = runJob(JobDescription{}, console);
        EXPECT_EQ(result.exitCode, 2);
        ASSERT_EQ(console.errors.size(), 1u);
        EXPECT_NE(console.errors[0].find("names no file"), std::string::npos);
    }
    {
        JobDescription job;
        job.files.push_back({(dir.path() / "missing.txt").string(), std::nullopt});
        job.outputDir = dir.path().string();
        RecordingConsole console;
        EXPECT_EQ(runJob(job, console).exitCode, 1);
        EXPECT_FALSE(console.errors.empty());
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "Layout.dxf"));
    }
    {
        const std::filesystem::path input =
            dir.write("parts.txt", readFile(kInstances + "han.txt"));
        JobDescription job;
        job.files.push_back({input.string(), std::nullopt});
        job.outputDir = dir.path().string();
        job.svgFile = input.string();
        RecordingConsole console;
        EXPECT_EQ(runJob(job, console).exitCode, 2);
        EXPECT_EQ(readFile(input), readFile(kInstances + "han.txt"));
    }
}

// A stop already asked for ends the search at once with the one-pass layout written, and says
// by what; the result says the search was cut short.
TEST(JobTest, AStopKeepsTheBestLayout) {
    TempDir dir;
    JobDescription job;
    job.files.push_back({kInstances + "poly1a.txt", std::nullopt});
    job.outputDir = dir.path().string();
    job.timeLimit = 60;
    job.quiet = true;
    const std::atomic<bool> stop{true};
    JobControl control;
    control.stop = &stop;
    control.stopCause = [] { return std::string("the Stop button"); };
    RecordingConsole console;
    const JobResult result = runJob(job, console, control);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.cutShort);
    ASSERT_TRUE(result.figures.has_value());
    EXPECT_GT(result.figures->density, 0);
    bool named = false;
    for (const std::string& line : console.errors) {
        named = named || line.find("cut short by the Stop button") != std::string::npos;
    }
    EXPECT_TRUE(named);
    EXPECT_NE(readFile(dir.path() / "Layout.dxf").find("EOF"), std::string::npos);
}

}  // namespace
}  // namespace blocknest
