#include "output/atomic_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

}  // namespace
}  // namespace blocknest
