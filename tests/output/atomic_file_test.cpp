#include "output/atomic_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <latch>
#include <thread>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

std::size_t entriesIn(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                  std::filesystem::directory_iterator()));
}

TEST(ReplaceFileTest, ReplacesTheContentsAndKeepsTheMode) {
    const TempDir dir;
    const auto file = dir.write("Results.txt", "old contents that are longer");
    std::filesystem::permissions(file, std::filesystem::perms(0640));
    EXPECT_FALSE(replaceFile(file, "new").has_value());
    EXPECT_EQ(readFile(file), "new");
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(entriesIn(dir.path()), 1u) << "no temporary file is left";
}

TEST(ReplaceFileTest, AMissingDirectoryFailsWithTheReason) {
    const TempDir dir;
    const auto target = dir.path() / "missing" / "Layout.dxf";
    const std::optional<std::string> failure = replaceFile(target, "x");
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(*failure, "cannot write '" + target.string() + "': No such file or directory");
}

TEST(ReplaceFileTest, AFailedReplacementLeavesTheTargetAndNoTemporaryFile) {
    const TempDir dir;
    std::filesystem::create_directories(dir.path() / "Layout.dxf" / "inside");
    const std::optional<std::string> failure = replaceFile(dir.path() / "Layout.dxf", "x");
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find("Is a directory"), std::string::npos) << *failure;
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "Layout.dxf" / "inside"));
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(ReplaceFileTest, OnlyThePermissionBitsAreKept) {
    const TempDir dir;
    const auto file = dir.write("Layout.dxf", "old");
    ASSERT_EQ(chmod(file.c_str(), 04777), 0);
    EXPECT_FALSE(replaceFile(file, "new").has_value());
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0777u) << "no set-user-ID bit on a new file";
}

// Nothing is replaced until every file is complete; a set that is not committed leaves the
// old files and no temporary file behind.
TEST(OutputSetTest, ReplacesAllFilesOrNone) {
    const TempDir dir;
    const auto layout = dir.write("Layout.dxf", "old drawing");
    const auto report = dir.write("Results.txt", "old report");
    std::filesystem::create_directories(dir.path() / "picture.svg");
    {
        OutputSet set;
        EXPECT_FALSE(set.stage(layout, "new drawing").has_value());
        EXPECT_FALSE(set.stage(report, "new report").has_value());
        EXPECT_EQ(readFile(layout), "old drawing") << "staging replaces nothing";
        const std::optional<std::string> failure = set.stage(dir.path() / "picture.svg", "x");
        ASSERT_TRUE(failure.has_value());
        EXPECT_NE(failure->find("Is a directory"), std::string::npos) << *failure;
    }
    EXPECT_EQ(readFile(layout), "old drawing");
    EXPECT_EQ(readFile(report), "old report");
    EXPECT_EQ(entriesIn(dir.path()), 3u) << "no temporary file is left";
    OutputSet set;
    EXPECT_FALSE(set.stage(layout, "new drawing").has_value());
    EXPECT_FALSE(set.stage(report, "new report").has_value());
    EXPECT_FALSE(set.commit().has_value());
    EXPECT_EQ(readFile(layout), "new drawing");
    EXPECT_EQ(readFile(report), "new report");
    EXPECT_EQ(entriesIn(dir.path()), 3u);
}

// Runs that finish together each commit a whole set: after every round, all files come from
// one run. Each run's set spans two folders, listed in opposite orders by half the runs, so
// that a lock taken folder by folder in the given order would also deadlock here.
TEST(OutputSetTest, SetsCommittedTogetherNeverMix) {
    const TempDir dir;
    std::filesystem::create_directories(dir.path() / "pictures");
    const std::vector<std::filesystem::path> targets{
        dir.path() / "Layout.dxf", dir.path() / "Results.txt", dir.path() / "pictures" / "l.svg",
        dir.path() / "pictures" / "p.json", dir.path() / "cut.dxf"};
    constexpr int kRuns = 4;
    constexpr int kRounds = 10;
    int mixed = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::latch staged(kRuns);
        std::vector<std::optional<std::string>> failures(kRuns);
        std::vector<std::thread> runs;
        for (int run = 0; run < kRuns; ++run) {
            runs.emplace_back([&, run] {
                OutputSet set;
                for (std::size_t i = 0; i < targets.size(); ++i) {
                    const std::size_t k = run % 2 == 0 ? i : targets.size() - 1 - i;
                    if (!failures[run]) failures[run] = set.stage(targets[k], std::to_string(run));
                }
                staged.arrive_and_wait();
                if (!failures[run]) failures[run] = set.commit();
            });
        }
        for (std::thread& t : runs) t.join();
        for (const std::optional<std::string>& failure : failures) {
            ASSERT_FALSE(failure.has_value()) << *failure;
        }
        const std::string first = readFile(targets.front());
        for (const std::filesystem::path& target : targets) mixed += readFile(target) != first;
    }
    EXPECT_EQ(mixed, 0) << "files of another run's set in " << mixed << " places";
    EXPECT_EQ(entriesIn(dir.path()), 4u) << "no temporary file is left";
    EXPECT_EQ(entriesIn(dir.path() / "pictures"), 2u);
}

// An output staged for removal goes when the set commits, and only then; one that is not
// there is no failure.
TEST(OutputSetTest, AStagedRemovalTakesTheStaleFileAtTheCommit) {
    const TempDir dir;
    const auto layout = dir.write("Layout.dxf", "old drawing");
    const auto picture = dir.write("l.svg", "old picture");
    {
        OutputSet set;
        EXPECT_FALSE(set.stage(layout, "new drawing").has_value());
        set.stageRemoval(picture);
    }
    EXPECT_EQ(readFile(picture), "old picture") << "a set not committed removes nothing";
    OutputSet set;
    EXPECT_FALSE(set.stage(layout, "new drawing").has_value());
    set.stageRemoval(picture);
    set.stageRemoval(dir.path() / "missing.svg");
    EXPECT_FALSE(set.commit().has_value());
    EXPECT_EQ(readFile(layout), "new drawing");
    EXPECT_FALSE(std::filesystem::exists(picture));
}

}  // namespace
}  // namespace blocknest
