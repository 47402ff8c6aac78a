#include "app/options.hpp"

#include <gtest/gtest.h>

namespace blocknest {
namespace {

Options parsed(const std::vector<std::string_view>& args) {
    auto result = parseOptions(args);
    if (auto* error = std::get_if<UsageError>(&result)) {
        ADD_FAILURE() << error->message;
        return {};
    }
    return std::get<Options>(result);
}

std::string usageError(const std::vector<std::string_view>& args) {
    auto result = parseOptions(args);
    if (auto* error = std::get_if<UsageError>(&result)) return error->message;
    ADD_FAILURE() << "accepted";
    return {};
}

TEST(OptionsTest, NoOptionIsThePlainRun) {
    const Options options = parsed({});
    EXPECT_FALSE(options.partFile);
    EXPECT_FALSE(options.outputDir);
    EXPECT_FALSE(options.svgFile);
    EXPECT_EQ(options.rotations, 2);
    EXPECT_TRUE(options.pause);
    EXPECT_FALSE(options.quiet);
    EXPECT_FALSE(options.strict);
    EXPECT_TRUE(parsed({"--strict"}).strict);
}

TEST(OptionsTest, ValuesComeAttachedOrSeparate) {
    const Options a =
        parsed({"-o", "out", "-r", "8", "--svg", "x.svg", "-q", "--no-pause", "in.txt"});
    EXPECT_EQ(a.outputDir, "out");
    EXPECT_EQ(a.rotations, 8);
    EXPECT_EQ(a.svgFile, "x.svg");
    EXPECT_TRUE(a.quiet);
    EXPECT_FALSE(a.pause);
    EXPECT_EQ(a.partFile, "in.txt");
    const Options b =
        parsed({"--output-dir=out", "--rotations=360", "--svg=x.svg", "-r1", "--quiet"});
    EXPECT_EQ(b.outputDir, "out");
    EXPECT_EQ(b.rotations, 1) << "the last value wins";
    EXPECT_EQ(parsed({"--", "-odd-name.txt"}).partFile, "-odd-name.txt");
    EXPECT_EQ(parsed({"-"}).partFile, "-");
}

TEST(OptionsTest, BadValuesAreRefusedWithOneLine) {
    EXPECT_EQ(usageError({"-r", "0"}), "--rotations must be a whole number from 1 to 360, not '0'");
    EXPECT_EQ(usageError({"-r", "361"}),
              "--rotations must be a whole number from 1 to 360, not '361'");
    EXPECT_EQ(usageError({"--rotations=2.5"}),
              "--rotations must be a whole number from 1 to 360, not '2.5'");
    EXPECT_EQ(usageError({"-r", "-4"}),
              "--rotations must be a whole number from 1 to 360, not '-4'");
    EXPECT_EQ(usageError({"-r", "99999999999"}),
              "--rotations must be a whole number from 1 to 360, not '99999999999'");
    EXPECT_EQ(usageError({"-r"}), "option '-r' needs a value");
    EXPECT_EQ(usageError({"--output-dir="}), "--output-dir needs a non-empty value");
    EXPECT_EQ(usageError({"--svg"}), "option '--svg' needs a value");
    EXPECT_EQ(usageError({"--quiet=yes"}), "option '--quiet=yes' takes no value");
    EXPECT_EQ(usageError({"-x"}), "unknown option '-x'");
    EXPECT_EQ(usageError({"--rotation", "4"}), "unknown option '--rotation'");
    EXPECT_EQ(usageError({"a.txt", "b.txt"}),
              "more than one part data file given ('a.txt' and 'b.txt')");
}

}  // namespace
}  // namespace blocknest
