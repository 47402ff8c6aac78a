#include "base/text.hpp"

#include <gtest/gtest.h>

namespace blocknest {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

TEST(ValidUtf8Test, KeepsCharactersAndReplacesEveryInvalidSequence) {
    EXPECT_EQ(validUtf8("Flansch \xC3\xBC \xE9\x9B\xB6 \xF0\x9F\x94\xA9"),
              "Flansch \xC3\xBC \xE9\x9B\xB6 \xF0\x9F\x94\xA9");
    struct Case {
        const char* what;
        std::string bytes;
    };
    for (const Case& c :
         {Case{"overlong slash", "\xC0\xAF"}, Case{"overlong 3-byte", "\xE0\x80\xAF"},
          Case{"surrogate", "\xED\xA0\x80"}, Case{"above U+10FFFF", "\xF4\x90\x80\x80"},
          Case{"U+FFFE", "\xEF\xBF\xBE"}, Case{"U+FFFF", "\xEF\xBF\xBF"},
          Case{"cut short", "\xE9\x9B"}, Case{"lone continuation", "\x80"}}) {
        const std::string out = validUtf8("a" + c.bytes + "b");
        EXPECT_EQ(out.substr(0, 1), "a") << c.what;
        EXPECT_EQ(out.substr(out.size() - 1), "b") << c.what;
        EXPECT_EQ(validUtf8(out), out) << c.what << ": the result is valid";
        EXPECT_NE(out.find(kFffd), std::string::npos) << c.what;
        EXPECT_EQ(out.find(c.bytes), std::string::npos) << c.what;
    }
}

TEST(PrintableNameTest, ControlCharactersNeverReachTheTerminal) {
    EXPECT_EQ(printableName("a\x1B[2Jb"), "a\\x1B[2Jb");
    EXPECT_EQ(printableName("tab\there\r"), "tab\\x09here\\x0D");
    EXPECT_EQ(printableName("\x7F"), "\\x7F");
    EXPECT_EQ(printableName("c1 \xC2\x9B"), "c1 \\xC2\\x9B") << "CSI as a C1 character";
    EXPECT_EQ(printableName("back\\slash"), "back\\\\slash") << "escapes stay unambiguous";
    EXPECT_EQ(printableName("\xC1\xE3\xBC\xFE"), "\xC1\xE3\xBC\xFE") << "GBK bytes stay";
    EXPECT_EQ(printableName("\xE9\x9B\xB6\xE4\xBB\xB6"), "\xE9\x9B\xB6\xE4\xBB\xB6");
}

}  // namespace
}  // namespace blocknest
