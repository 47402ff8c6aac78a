#include "output/dxf_writer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string entity(const std::string& x0, const std::string& y0, const std::string& x1,
                   const std::string& y1) {
    return "LINE\n  8\n0\n 10\n" + x0 + "\n 20\n" + y0 + "\n 30\n0.0\n 11\n" + x1 + "\n 21\n" + y1 +
           "\n 31\n0.0\n  0\n";
}

TEST(DxfWriterTest, TheTriangleExampleComesOutLineForLine) {
    PartList parts;
    parts.pushBack(makePart("T", {{10, 10}, {30, 10}, {20, 25}}));
    const std::string dxf = formatLayoutDxf(parts, 100, 50, 30);
    const std::string expected = "  0\nSECTION\n  2\nENTITIES\n  0\n" +
                                 entity("0", "0", "100", "0") + entity("100", "0", "100", "50") +
                                 entity("100", "50", "0", "50") + entity("0", "50", "0", "0") +
                                 entity("10", "10", "30", "10") + entity("30", "10", "20", "25") +
                                 entity("20", "25", "10", "10") + entity("30", "0", "30", "50") +
                                 "ENDSEC\n  0\nEOF\n";
    EXPECT_EQ(dxf, expected);
    EXPECT_EQ(linesOf(dxf).size(), 136u);
}

TEST(DxfWriterTest, OuterEdgesComeFirstThenHolesInListOrder) {
    std::ostringstream out;
    writePartLines(out, makePart("F", {{0, 0}, {9, 0}, {9, 9}, {0, 9}},
                                 {{{1, 1}, {2, 1}, {2, 2}}, {{5, 5}, {6, 5}, {6, 6}}}));
    const std::vector<std::string> lines = linesOf(out.str());
    ASSERT_EQ(lines.size(), 10u * 16);
    EXPECT_EQ(lines[4], "0") << "the first outer edge starts at (0, 0)";
    EXPECT_EQ(lines[4 + 16 * 4], "1") << "then the first hole";
    EXPECT_EQ(lines[4 + 16 * 7], "5") << "then the second";
}

TEST(DxfWriterTest, NumbersKeepTheStreamsDefaultForm) {
    std::ostringstream out;
    writeLine(out, Vertex{std::cos(std::numbers::pi / 2), 1234.5678, 42},
              Vertex{0.000012, 1234567.8});
    const std::vector<std::string> lines = linesOf(out.str());
    EXPECT_EQ(lines[4], "6.12323e-17");
    EXPECT_EQ(lines[6], "1234.57");
    EXPECT_EQ(lines[8], "0.0") << "z is always the literal 0.0";
    EXPECT_EQ(lines[10], "1.2e-05");
    EXPECT_EQ(lines[12], "1.23457e+06");
}

TEST(DxfWriterTest, AnAllParkedJobDrawsThePackedLengthLineAtZero) {
    PartList parts;
    parts.pushBack(makePart("P", {{100, -10}, {110, -10}, {110, 0}}));
    const std::vector<std::string> lines = linesOf(formatLayoutDxf(parts, 100, 50, 0));
    ASSERT_EQ(lines.size(), 5u + 16 * 8 + 3);
    const std::size_t last = 5 + 16 * 7;
    EXPECT_EQ(lines[last + 4], "0");
    EXPECT_EQ(lines[last + 6], "0");
    EXPECT_EQ(lines[last + 10], "0");
    EXPECT_EQ(lines[last + 12], "50");
    EXPECT_EQ(lines[5 + 16 * 4 + 4], "100") << "the parked part is drawn where it lies";
}

}  // namespace
}  // namespace blocknest
