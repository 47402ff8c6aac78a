#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/interrupt.hpp"
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

// A sheet cut into five pieces, asked back onto it: the one-pass run leaves pieces off for want
// of room and says that a search may place them; a short search places them all and says
// nothing of the kind.
TEST(SearchRunTest, PiecesLeftOffForRoomPointToASearchThatPlacesThem) {
    TempDir dir;
    const std::vector<std::vector<double>> sizes{{45, 40}, {22, 60}, {45, 20}, {33, 29}, {33, 31}};
    std::string text = "SheetLength: 100\nSheetWidth: 60\nPartTypeCount:5\n";
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const double w = sizes[i][0];
        const double h = sizes[i][1];
        text += partBlock("P" + std::to_string(i), 1, {{0, 0}, {w, 0}, {w, h}, {0, h}});
    }
    const std::string file = dir.write("puzzle.txt", text).string();
    const std::string hint = "a search may find room for the parts left off";
    const RunResult plain = runBlocknestBinary(
        {"--no-pause", "-q", "-r", "4", "-o", dir.path().string(), file}, dir.path());
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_NE(plain.err.find("(no room left)"), std::string::npos) << plain.err;
    EXPECT_NE(plain.err.find(hint), std::string::npos) << plain.err;
    const RunResult searched = runBlocknestBinary(
        {"--no-pause", "-q", "-r", "4", "--evaluations", "20000", "-o", dir.path().string(), file},
        dir.path());
    ASSERT_EQ(searched.exitCode, 0) << searched.err;
    EXPECT_EQ(searched.err, "") << "every piece placed";
    EXPECT_EQ(figure(readFile(dir.path() / "Results.txt"), "Packing density:"), 100);
}

// What a signalled search showed and how it ended.
struct SignalledRun {
    int exitCode = -1;
    std::string shown;  // standard output and standard error, as they came
};

// Starts a search in dir with the given budget and arguments, reads what it shows until cue
// appears, sends it the signal then, and reads on until it ends. Each of environment is
// NAME=VALUE.
SignalledRun signalledSearch(const TempDir& dir, int signal, const std::string& cue,
                             const std::vector<std::string>& extraArgs,
                             const std::string& seconds = "60",
                             const std::vector<std::string>& environment = {}) {
    const std::string out = (dir.path() / "out").string();
    std::vector<std::string> args{
        BLOCKNEST_BINARY, "--no-pause", "-t", seconds, "-j", "2", "-o", out};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    args.push_back(kInstance);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables = environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        variables.emplace_back(*variable);
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    SignalledRun run;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        return run;
    }
    bool sent = false;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        run.shown.append(buffer, static_cast<std::size_t>(got));
        if (!sent && run.shown.find(cue) != std::string::npos) {
            kill(pid, signal);
            sent = true;
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (!sent) run.shown += "\n(the run ended before showing \"" + cue + "\")";
    return run;
}

void expectBestLayoutWritten(const TempDir& dir) {
    const std::string report = readFile(dir.path() / "out" / "Results.txt");
    EXPECT_GT(figure(report, "Packing density:"), 0);
    EXPECT_NE(readFile(dir.path() / "out" / "Layout.dxf").find("EOF"), std::string::npos);
}

// Ctrl-C, and the signals that service managers, job schedulers, `timeout` and a closed
// terminal send, end a search with its best layout written.
TEST(SearchRunTest, CtrlCSigtermAndSighupEndTheSearchAndWriteItsBestLayout) {
    for (const auto& [signal, name] : {std::pair{SIGINT, "Ctrl-C"}, std::pair{SIGTERM, "SIGTERM"},
                                       std::pair{SIGHUP, "SIGHUP"}}) {
        TempDir dir;
        const auto start = std::chrono::steady_clock::now();
        // Sent once the search shows its first layout: it is under way then.
        const SignalledRun run = signalledSearch(dir, signal, "Searching: ", {});
        EXPECT_EQ(run.exitCode, 0) << name << "\n" << run.shown;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(50))
            << name << ": the search ended long before its minute";
        EXPECT_NE(run.shown.find(std::string("cut short by ") + name), std::string::npos)
            << run.shown;
        expectBestLayoutWritten(dir);
    }
}

// A Ctrl-C sent once the progress shows the overlap phase at work (its lines count part moves)
// ends the search at once with its best layout: long before the time it had left.
TEST(SearchRunTest, CtrlCDuringTheOverlapPhaseEndsTheSearch) {
    const TempDir dir;
    const std::string out = (dir.path() / "out").string();
    const std::string err = (dir.path() / "err.txt").string();
    std::vector<std::string> args{BLOCKNEST_BINARY, "--no-pause", "-t", "8", "-j", "2", "-o", out,
                                  kInstance};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    ASSERT_EQ(spawned, 0);
    const auto start = std::chrono::steady_clock::now();
    // Reads the progress until a line counts moves; the search is then in its overlap phase.
    std::string shown;
    std::optional<std::chrono::steady_clock::time_point> sent;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        shown.append(buffer, static_cast<std::size_t>(got));
        if (!sent && shown.find(" moves, best packed length") != std::string::npos) {
            sent = std::chrono::steady_clock::now();
            kill(pid, SIGINT);
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    ASSERT_TRUE(sent) << "no progress line of the overlap phase:\n" << shown;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const double after = std::chrono::duration<double>(end - *sent).count();
    EXPECT_LT(after, 2) << "the search went on " << after << " s after Ctrl-C, "
                        << std::chrono::duration<double>(end - start).count() << " s in all";
    EXPECT_NE(readFile(err).find("cut short by Ctrl-C"), std::string::npos) << readFile(err);
    EXPECT_NE(readFile(dir.path() / "out" / "Layout.dxf").find("EOF"), std::string::npos);
}

// A signal that comes after the search's budget has run out, while the outputs are still being
// made, does not lose the search: the layout is written in full. The run is held before its
// commit, and says so: the signal is sent then, so that it lands there.
TEST(SearchRunTest, ASignalAfterTheBudgetBeforeTheCommitKeepsTheLayout) {
    TempDir dir;
    const SignalledRun run = signalledSearch(dir, SIGTERM, "held before the commit", {"-q"}, "0.2",
                                             {"BLOCKNEST_HOLD_BEFORE_COMMIT_MS=1500"});
    EXPECT_EQ(run.exitCode, 0) << run.shown;
    EXPECT_NE(run.shown.find("SIGTERM came after the search had ended"), std::string::npos)
        << run.shown;
    expectBestLayoutWritten(dir);
}

// A second signal ends the program at once, whatever it is doing; the first only asks.
TEST(InterruptToStopTest, TheFirstSignalAsksAndTheSecondEndsTheProgram) {
    for (const auto& [first, second] :
         {std::pair{SIGINT, SIGINT}, std::pair{SIGTERM, SIGHUP}, std::pair{SIGHUP, SIGTERM}}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const InterruptToStop interrupt;
            raise(first);
            if (!interrupt.interrupted()) _exit(1);
            raise(second);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 128 + second);
    }
}

// A search over several sheets spends its budget once over the whole job: its packing runs
// stay near budget / 500 and its part moves within the budget. It never uses more sheets than
// the plain run, and its sheets are the same on one thread and on two.
TEST(SearchRunTest, ASearchOverSeveralSheetsStaysWithinItsBudgetAndBehindNoPlainRun) {
    TempDir dir;
    std::string squares = partFileHeader(300, 200);
    squares += partBlock("Square", 30, {{0, 0}, {95, 0}, {95, 95}, {0, 95}});
    const std::string many = dir.write("squares.txt", squares).string();
    const std::string two = BLOCKNEST_SOURCE_DIR "/examples/workshop_short_sheet.txt";
    auto sheetsUsed = [](const std::string& out) {
        const std::size_t at = out.find("Sheets used: ");
        return at == std::string::npos ? -1 : std::stoi(out.substr(at + 13));
    };
    auto sheetLines = [](const std::string& report) {
        std::string lines;
        for (std::size_t at = report.find("Sheet "); at != std::string::npos;
             at = report.find("Sheet ", at + 1)) {
            lines += report.substr(at, report.find('\n', at) - at) + "\n";
        }
        return lines;
    };
    for (const auto& [input, evaluations] :
         {std::pair{two, 41}, std::pair{two, 30000}, std::pair{many, 3}, std::pair{many, 12000}}) {
        const RunResult plain = runBlocknestBinary(
            {"--no-pause", "--sheets", "0", "-o", dir.path().string(), input}, dir.path());
        ASSERT_EQ(plain.exitCode, 0) << plain.err;
        std::vector<std::string> reports;
        for (const char* threads : {"1", "2"}) {
            const RunResult run = runBlocknestBinary(
                {"--no-pause", "--sheets", "0", "--evaluations", std::to_string(evaluations), "-j",
                 threads, "-o", dir.path().string(), input},
                dir.path());
            ASSERT_EQ(run.exitCode, 0) << run.err;
            const std::size_t at = run.out.find("Searched ");
            ASSERT_NE(at, std::string::npos) << run.out;
            const long long layouts = std::stoll(run.out.substr(at + 9));
            const long long moves = std::stoll(run.out.substr(run.out.find(" and ", at) + 5));
            EXPECT_LE(layouts, evaluations / 500 + 2) << input << "\n" << run.out;
            EXPECT_LE(moves, evaluations) << input << "\n" << run.out;
            EXPECT_GE(sheetsUsed(run.out), 2) << input << ": a job over several sheets";
            EXPECT_LE(sheetsUsed(run.out), sheetsUsed(plain.out)) << input << "\n" << run.out;
            if (input == many && evaluations > 1000) {
                // 30 squares of 95 x 95 on sheets of 300 x 200: 4.5 sheets by area, 6 a sheet
                // by shape; the plain run's coarse blocks take 3 a sheet, the finer grids 6.
                EXPECT_NE(run.out.find("Sheets used: 5 (at least 5)"), std::string::npos)
                    << run.out;
            }
            reports.push_back(sheetLines(readFile(dir.path() / "Results.txt")));
        }
        EXPECT_EQ(reports.front(), reports.back()) << input;
    }
}

}  // namespace
}  // namespace blocknest
