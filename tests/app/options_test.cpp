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
    EXPECT_TRUE(options.files.empty());
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
    ASSERT_EQ(a.files.size(), 1u);
    EXPECT_EQ(a.files[0].path, "in.txt");
    const Options b =
        parsed({"--output-dir=out", "--rotations=360", "--svg=x.svg", "-r1", "--quiet"});
    EXPECT_EQ(b.outputDir, "out");
    EXPECT_EQ(b.rotations, 1) << "the last value wins";
    EXPECT_EQ(parsed({"--", "-odd-name.txt"}).files.at(0).path, "-odd-name.txt");
    EXPECT_EQ(parsed({"-"}).files.at(0).path, "-");
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
    EXPECT_EQ(parsed({"a.txt", "b.txt"}).files.size(), 2u) << "the merge checks the formats";
}

}  // namespace
}  // namespace blocknest

namespace blocknest {
namespace {

TEST(OptionsTest, InputFilesSheetCopiesAndJson) {
    const Options o = parsed({"a.json", "--sheet", "120.5x40", "b.dxf:3", "--copies=2", "c:d.dxf",
                              "--json", "out.json", "--", "e.dxf:0x"});
    ASSERT_EQ(o.files.size(), 4u);
    EXPECT_EQ(o.files[0].path, "a.json");
    EXPECT_FALSE(o.files[0].copies);
    EXPECT_EQ(o.files[1].path, "b.dxf");
    EXPECT_EQ(o.files[1].copies, 3);
    EXPECT_EQ(o.files[2].path, "c:d.dxf") << "only a number after the last colon is a count";
    EXPECT_EQ(o.files[3].path, "e.dxf:0x");
    ASSERT_TRUE(o.sheet);
    EXPECT_EQ(o.sheet->length, 120.5);
    EXPECT_EQ(o.sheet->width, 40);
    EXPECT_EQ(o.copies, 2);
    EXPECT_EQ(o.jsonFile, "out.json");
    EXPECT_EQ(parsed({"--sheet=1e3X2e2"}).sheet->width, 200);
}

TEST(OptionsTest, BadSheetsAndCountsAreUsageErrors) {
    for (std::string_view sheet : {"100", "100x", "x50", "0x50", "100x-5", "100x50x2", "axb",
                                   "inf x 5", "1e999x5", "100x50 "}) {
        EXPECT_EQ(
            usageError({"--sheet", sheet}),
            "--sheet must be LENGTHxWIDTH, two positive numbers, not '" + std::string(sheet) + "'");
    }
    EXPECT_EQ(usageError({"--copies", "0"}),
              "--copies must be a whole number from 1 to 1000000, not '0'");
    EXPECT_EQ(usageError({"--copies", "1000001"}),
              "--copies must be a whole number from 1 to 1000000, not '1000001'");
    EXPECT_EQ(usageError({"part.dxf:0"}),
              "the copy count in 'part.dxf:0' must be a whole number from 1 to 1000000");
    EXPECT_EQ(usageError({"part.dxf:99999999999999999999"}),
              "the copy count in 'part.dxf:99999999999999999999' must be a whole number from 1 "
              "to 1000000");
}

}  // namespace
}  // namespace blocknest

namespace blocknest {
namespace {

// The library under the parser has readings of its own; these pin the program's instead.
TEST(OptionsTest, RepeatedOptionsTakeTheLastValueAndCheckEveryOne) {
    const Options o = parsed({"-r", "4", "--rotations", "6", "-o", "a", "-o", "b", "-q", "-q"});
    EXPECT_EQ(o.rotations, 6);
    EXPECT_EQ(o.outputDir, "b");
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(usageError({"-r", "0", "-r", "4"}),
              "--rotations must be a whole number from 1 to 360, not '0'")
        << "a refused value is not hidden by a later one";
}

TEST(OptionsTest, AValueIsTheNextArgumentWhateverItLooksLike) {
    EXPECT_EQ(usageError({"--seed", "-1"}),
              "--seed must be a whole number from 0 to 2^64 - 1, not '-1'");
    EXPECT_EQ(parsed({"-o", "--", "a.txt"}).outputDir, "--");
    EXPECT_EQ(parsed({"-o", "--quiet=yes"}).outputDir, "--quiet=yes");
    EXPECT_EQ(parsed({"--svg", "-x"}).svgFile, "-x");
    EXPECT_EQ(parsed({"-o-dir"}).outputDir, "-dir");
    EXPECT_EQ(usageError({"--output-dir=", "a.txt"}), "--output-dir needs a non-empty value")
        << "an empty attached value does not take the next argument";
}

TEST(OptionsTest, FlagsTakeNoValueAndDoNotBundle) {
    for (std::string_view arg : {"--quiet=true", "--no-pause=1", "-qr", "-qh", "-h=1"}) {
        EXPECT_EQ(usageError({arg, "4"}), "option '" + std::string(arg) + "' takes no value");
    }
    EXPECT_EQ(usageError({"a.txt", "-4"}), "unknown option '-4'") << "not a negative file name";
}

TEST(OptionsTest, FilesKeepTheirNamesAndTheFirstFaultInOrderIsReported) {
    const Options o = parsed({"[a,b]", "{}", "x.dxf:2", "-q", "--", "--", "-z", "[c]:3"});
    std::vector<std::string> paths;
    for (const InputFile& file : o.files) paths.push_back(file.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"[a,b]", "{}", "x.dxf", "--", "-z", "[c]"}));
    EXPECT_EQ(o.files.back().copies, 3);
    EXPECT_EQ(usageError({"p.dxf:0", "-r", "0"}),
              "the copy count in 'p.dxf:0' must be a whole number from 1 to 1000000");
    EXPECT_EQ(usageError({"--bogus", "-r", "0"}), "unknown option '--bogus'");
    EXPECT_EQ(usageError({"-r", "0", "--bogus"}),
              "--rotations must be a whole number from 1 to 360, not '0'");
}

TEST(OptionsTest, TheHelpListsEveryOptionInItsGroup) {
    const std::string help = usageText();
    EXPECT_EQ(help.rfind("Usage: blocknest [OPTIONS] [FILE...]\n", 0), 0u) << help;
    for (std::string_view line :
         {"\nPacking:\n  -r, --rotations N     trial orientations per part",
          "\n      --sheet LxW       the sheet", "\n  -o, --output-dir DIR  write Layout.dxf",
          "\n                        missing; default: the current directory)\n",
          "\n  -j, --threads N ", "\n      --version ", "\n\nOutputs:\n  Layout.dxf ",
          "\n\nExit codes:\n", "  2  the command line was wrong\n"}) {
        EXPECT_NE(help.find(line), std::string::npos) << line << "\nin:\n" << help;
    }
    EXPECT_EQ(help.find("\n\n\n"), std::string::npos) << help;
}

}  // namespace
}  // namespace blocknest
