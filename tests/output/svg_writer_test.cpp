#include "output/svg_writer.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <set>
#include <sstream>

#include "fuzz/output_checks.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

TEST(EscapeXmlTest, MarkupIsEscapedAndBadBytesReplaced) {
    EXPECT_EQ(escapeXmlText("A&B <7> \"x\""), "A&amp;B &lt;7&gt; &quot;x&quot;");
    EXPECT_EQ(escapeXmlText("Flansch \xC3\xBC"), "Flansch \xC3\xBC") << "valid UTF-8 stays";
    const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
    EXPECT_EQ(escapeXmlText("\xC1\xE3\xBC\xFE"), bad + bad + bad + bad)
        << "GBK bytes are not UTF-8";
    EXPECT_EQ(escapeXmlText(std::string("a\x01\tb", 4)), "a??b");
    EXPECT_EQ(escapeXmlText("\xE6\x96"), bad + bad) << "a cut sequence";
    // Forms that passed before and made the picture no longer XML.
    EXPECT_EQ(escapeXmlText("\xC0\xBC"), bad + bad) << "an overlong '<'";
    EXPECT_EQ(escapeXmlText("\xED\xA0\x80"), bad + bad + bad) << "a surrogate";
    EXPECT_EQ(escapeXmlText("\xF4\x90\x80\x80"), bad + bad + bad + bad) << "above U+10FFFF";
    EXPECT_EQ(escapeXmlText("\xEF\xBF\xBE\xEF\xBF\xBF"), bad + bad + bad + bad + bad + bad);
}

TEST(SvgWriterTest, PlacedPartsAreFilledPathsWithTheirHoles) {
    PartList parts;
    parts.pushBack(
        makePart("F<1>", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {{{2, 2}, {4, 2}, {4, 4}, {2, 4}}}));
    parts.pushBack(makePart("Parked", {{100, -5}, {105, -5}, {105, 0}, {100, 0}}));
    PackingStatistics stats;
    stats.packedLength = 10;
    stats.totalPartArea = 96;
    stats.packingDensity = 96 / (10 * 50.0);
    const std::string svg = formatLayoutSvg(parts, 100, 50, stats).value();
    EXPECT_EQ(countOf(svg, "<path class=\"part\""), 1);
    EXPECT_EQ(countOf(svg, "<path class=\"unplaced\""), 1);
    EXPECT_NE(svg.find("<title>F&lt;1&gt;</title>"), std::string::npos);
    // Y points up: the sheet's bottom edge Y = 0 is picture Y 50.
    EXPECT_NE(svg.find("d=\"M0,50 L10,50 L10,40 L0,40 Z M2,48 L4,48 L4,46 L2,46 Z\""),
              std::string::npos)
        << svg;
    EXPECT_NE(svg.find("fill-rule:evenodd"), std::string::npos);
    EXPECT_NE(svg.find("Packed length: 10   Packing density: 19.2%   Placed parts: 1 of 2"),
              std::string::npos);
    EXPECT_NE(svg.find("Did not fit: 1 part<"), std::string::npos);
}

TEST(SvgWriterTest, ALongEmptySheetIsShownUpToTheLayout) {
    PartList parts;
    parts.pushBack(makePart("S", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
    PackingStatistics stats;
    stats.packedLength = 10;
    const std::string svg = formatLayoutSvg(parts, 5000, 40, stats).value();
    EXPECT_NE(svg.find("<rect class=\"sheet\" x=\"0\" y=\"0\" width=\"120\""), std::string::npos);
    EXPECT_NE(svg.find("Sheet 5000 x 40, shown up to X = 120"), std::string::npos);
}

TEST(SvgWriterTest, CoordinatesKeepSevenDigitsAndASecondRowStartsBelowTheFirst) {
    PartList parts;
    parts.pushBack(makePart("P", {{1.2345678, 2}, {12.5, 2}, {12.5, 9.87654321}}));
    // Two parts that did not fit, each 60 wide: the second does not fit beside the first in
    // the 100 shown, so it starts a row of its own at the left, one row height (10) and one
    // margin (3) lower.
    parts.pushBack(makePart("U1", {{200, 10}, {200, 0}, {260, 0}, {260, 10}}));
    parts.pushBack(makePart("U2", {{300, 10}, {300, 0}, {360, 0}, {360, 10}}));
    PackingStatistics stats;
    stats.packedLength = 12.5;
    stats.totalPartArea = 41.9;
    stats.packingDensity = 41.9 / (12.5 * 50);
    const std::string svg = formatLayoutSvg(parts, 100, 50, stats).value();
    EXPECT_NE(svg.find("d=\"M1.234568,48 "), std::string::npos) << svg;
    EXPECT_NE(svg.find("L12.5,40.12346 "), std::string::npos) << "Y flipped: 50 - 9.87654321";
    // The first row's top lies 2 margins (6) and a font size (100 / 45) below the sheet.
    EXPECT_NE(svg.find("d=\"M0,58.22222 "), std::string::npos) << svg;
    EXPECT_NE(svg.find("d=\"M0,71.22222 "), std::string::npos) << svg;
}

// Numbers after each occurrence of a label in the picture, in order.
std::vector<double> numbersAfter(const std::string& svg, const std::string& label) {
    std::vector<double> numbers;
    for (std::size_t at = svg.find(label); at != std::string::npos; at = svg.find(label, at + 1)) {
        numbers.push_back(std::stod(svg.substr(at + label.size())));
    }
    return numbers;
}

// Twelve sheets of random sizes: a grid of several columns and rows, the sheets apart from
// each other, every part drawn inside its own sheet, each sheet titled with its number.
TEST(SvgWriterTest, ManySheetsLieInAGridEachNumberedWithItsPartsInside) {
    std::mt19937 random(12);
    std::uniform_real_distribution<double> side(50, 400);
    for (int trial = 0; trial < 5; ++trial) {
        const double length = side(random);
        const double width = side(random);
        std::vector<SheetLayout> sheets(12);
        for (SheetLayout& sheet : sheets) {
            const double x = length * std::uniform_real_distribution<double>(0, 0.5)(random);
            sheet.parts.pushBack(makePart("p", {{x, 0}, {length, 0}, {length, width}, {x, width}}));
            sheet.statistics.packedLength = length;
            sheet.statistics.totalPartArea = (length - x) * width;
            sheet.statistics.packingDensity = (length - x) / length;
        }
        const std::string svg = formatSheetsSvg(sheets, PartList(), length, width, {}).value();
        ASSERT_EQ(numbersAfter(svg, "<rect class=\"sheet\" x=\"").size(), 12u);
        std::vector<std::pair<double, double>> corners;
        for (std::size_t at = svg.find("<rect class=\"sheet\""); at != std::string::npos;
             at = svg.find("<rect class=\"sheet\"", at + 1)) {
            corners.emplace_back(std::stod(svg.substr(svg.find("x=\"", at) + 3)),
                                 std::stod(svg.substr(svg.find("y=\"", at) + 3)));
        }
        std::set<double> columns;
        std::set<double> rows;
        for (const auto& [x, y] : corners) {
            columns.insert(x);
            rows.insert(y);
        }
        EXPECT_GE(columns.size(), 2u) << "trial " << trial;
        EXPECT_GE(rows.size(), 2u) << "trial " << trial;
        EXPECT_EQ(columns.size(), static_cast<std::size_t>(sheetGridColumns(12, length, width)));
        for (std::size_t a = 0; a < corners.size(); ++a) {
            for (std::size_t b = a + 1; b < corners.size(); ++b) {
                const bool apart = std::abs(corners[a].first - corners[b].first) >= length ||
                                   std::abs(corners[a].second - corners[b].second) >= width;
                EXPECT_TRUE(apart) << "trial " << trial << ": sheets " << a + 1 << " and " << b + 1;
            }
        }
        // Each part path's corners lie in the rectangle of the sheet drawn just before it.
        std::size_t part = 0;
        for (std::size_t at = svg.find("<path class=\"part\" d=\""); at != std::string::npos;
             at = svg.find("<path class=\"part\" d=\"", at + 1), ++part) {
            ASSERT_LT(part, corners.size());
            const auto& [x0, y0] = corners[part];
            std::istringstream d(svg.substr(at + 22, svg.find('"', at + 22) - at - 22));
            std::string token;
            while (d >> token) {
                if (token == "Z") continue;
                const double x = std::stod(token.substr(1));
                const double y = std::stod(token.substr(token.find(',') + 1));
                EXPECT_TRUE(x >= x0 - 1e-6 * length && x <= x0 + length * (1 + 1e-6) &&
                            y >= y0 - 1e-6 * width && y <= y0 + width * (1 + 1e-6))
                    << "trial " << trial << ": sheet " << part + 1 << " corner " << token;
            }
        }
        for (int k = 1; k <= 12; ++k) {
            EXPECT_NE(svg.find(">Sheet " + std::to_string(k) + ": 1 part, "), std::string::npos)
                << k;
        }
        const double pictureWidth = numbersAfter(svg, "width=\"").front();
        const double pictureHeight = numbersAfter(svg, "height=\"").front();
        EXPECT_LT(pictureHeight, 2 * pictureWidth) << "trial " << trial << ": a tall strip";
        EXPECT_GT(pictureHeight, 0.3 * pictureWidth) << "trial " << trial << ": a wide strip";
    }
}

TEST(SvgWriterTest, APictureWhoseSizeIsNoNumberIsNotDrawn) {
    PartList parts;
    parts.pushBack(makePart("Huge", {{0, 0}, {1e308, 0}, {1e308, 1e300}, {0, 1e300}}));
    PackingStatistics stats;
    stats.packedLength = 1e308;
    stats.totalPartArea = 1e300;
    stats.packingDensity = 1e-8;
    EXPECT_FALSE(formatLayoutSvg(parts, 1.7e308, 1.7e308, stats).has_value())
        << "the view box would be 1.7e308 plus its margins";
    PartList smaller;
    smaller.pushBack(makePart("Large", {{0, 0}, {1e300, 0}, {1e300, 1e290}, {0, 1e290}}));
    const std::optional<std::string> fits = formatLayoutSvg(smaller, 1.1e300, 1.7e292, stats);
    ASSERT_TRUE(fits.has_value());
    EXPECT_EQ(fuzzing::checkSvg(*fits), std::nullopt);
}

// The fuzz harness's check finds what used to slip into pictures.
TEST(SvgWriterTest, TheFuzzCheckFindsBrokenPictures) {
    EXPECT_EQ(fuzzing::checkSvg("<svg a=\"1\"><title>x</title></svg>\n"), std::nullopt);
    EXPECT_NE(fuzzing::checkSvg("<svg height=\"-nan\"></svg>"), std::nullopt);
    EXPECT_NE(fuzzing::checkSvg("<svg viewBox=\"0 0 inf inf\"></svg>"), std::nullopt);
    EXPECT_NE(fuzzing::checkSvg("<svg><title>\xED\xA0\x80</title></svg>"), std::nullopt);
    EXPECT_NE(fuzzing::checkSvg("<svg><title>a\x1B</title></svg>"), std::nullopt);
    EXPECT_NE(fuzzing::checkSvg("<svg><title>x</svg>"), std::nullopt);
    PackingStatistics stats;
    stats.packedLength = 10;
    stats.totalPartArea = 60;
    stats.packingDensity = 1.2;
    EXPECT_NE(fuzzing::checkFigures(stats, "r\n\n"), std::nullopt) << "120 %";
    stats.packingDensity = 0.6;
    EXPECT_EQ(fuzzing::checkFigures(stats, "r\n\n"), std::nullopt);
    stats.totalPartArea = -60;
    EXPECT_NE(fuzzing::checkFigures(stats, "r\n\n"), std::nullopt);
    // Two squares joined at a corner vertex: more area by the rule than the outline covers.
    PartList joined;
    joined.pushBack(
        makePart("J", {{0, 0}, {5, 0}, {5, 5}, {0, 5}, {0, 0}, {4, 0}, {4, 4}, {0, 4}}));
    EXPECT_FALSE(fuzzing::outlinesAreSimple(joined, 10, 10));
    joined.front() = makePart("S", {{0, 0}, {5, 0}, {5, 5}, {0, 5}});
    EXPECT_TRUE(fuzzing::outlinesAreSimple(joined, 10, 10));
}

TEST(SvgWriterTest, RendersInHeadlessChromium) {
    if (std::system("command -v chromium >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "chromium is not installed";
    }
    const TempDir dir;
    const RunResult run = runBlocknestBinary({"--no-pause", "-q", "--svg", "layout.svg",
                                              BLOCKNEST_SOURCE_DIR "/examples/workshop_parts.txt"},
                                             dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto svgFile = dir.path() / "layout.svg";
    const auto pngFile = dir.path() / "layout.png";
    const std::string command = BLOCKNEST_SOURCE_DIR "/scripts/render-svg '" + svgFile.string() +
                                "' '" + pngFile.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string png = readFile(pngFile);
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    const auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24) |
               (static_cast<unsigned char>(png[at + 1]) << 16) |
               (static_cast<unsigned char>(png[at + 2]) << 8) |
               static_cast<unsigned char>(png[at + 3]);
    };
    const std::string svg = readFile(svgFile);
    const std::string width = textAfter(svg, "/svg\" width=\"");
    const std::string height = textAfter(svg, "\" height=\"");
    ASSERT_FALSE(width.empty());
    EXPECT_EQ(be32(16), std::stoul(width)) << "the picture's own width";
    EXPECT_EQ(be32(20), std::stoul(height));
    EXPECT_GT(png.size(), 20000u) << "a drawing, not an empty page";
}

}  // namespace
}  // namespace blocknest
