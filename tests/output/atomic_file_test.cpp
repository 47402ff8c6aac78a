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

}  // namespace
}  // namespace blocknest
