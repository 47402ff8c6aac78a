#include "base/text.hpp"

#include <gtest/gtest.h>

#include <random>

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

// No control character of a terminal survives in any byte string, a line of names already
// made printable reads the same, and a line without control characters is left alone.
TEST(PrintableLineTest, RandomBytesLoseEveryControlAndPrintableTextStays) {
    const auto controlFree = [](const std::string& text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c < 0x20 || c == 0x7F) return false;
            // C1 controls encoded as UTF-8: C2 80 to C2 9F.
            if (c == 0xC2 && i + 1 < text.size() &&
                static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                static_cast<unsigned char>(text[i + 1]) < 0xA0) {
                return false;
            }
        }
        return true;
    };
    std::mt19937 random(21);
    const std::string pieces[] = {"\x1B[31m", "\x07",     std::string(1, '\0'), "\\",
                                  "\xC2\x9B", "\xFF\xFE", "\xE9\x9B\xB6",       "a",
                                  "\r\n",     "\xC2"};
    for (int trial = 0; trial < 2000; ++trial) {
        std::string text;
        const int length = static_cast<int>(random() % 12);
        for (int k = 0; k < length; ++k) {
            text += random() % 3 == 0 ? std::string(1, static_cast<char>(random() % 256))
                                      : pieces[random() % std::size(pieces)];
        }
        const std::string line = printableLine(text);
        ASSERT_TRUE(controlFree(line)) << "trial " << trial;
        EXPECT_EQ(printableLine(printableName(text)), printableName(text)) << "trial " << trial;
        if (controlFree(text)) {
            EXPECT_EQ(line, text) << "trial " << trial;
        }
    }
    EXPECT_EQ(printableLine("C:\\parts\\a\x1B.json"), "C:\\parts\\a\\x1B.json");
}

}  // namespace
}  // namespace blocknest
