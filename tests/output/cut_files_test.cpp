#include "output/cut_files.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "geometry/predicates.hpp"
#include "output/cut_labels.hpp"
#include "output/cut_order.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// Frames with a square hole, some holding a small part in the hole (and that one sometimes a
// smaller one in its own hole), and loose parts, on a random grid; the list is shuffled.
struct RandomSheet {
    PartList parts;
    std::vector<std::pair<int, int>> nested;  // (inner, outer) list positions
};

RandomSheet randomSheet(std::mt19937& random) {
    struct Made {
        Part part;
        int container;  // the index in made of the part whose hole holds it; -1 for none
    };
    std::vector<Made> made;
    std::uniform_real_distribution<double> jitter(0, 5);
    std::uniform_int_distribution<int> kind(0, 3);
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 6; ++col) {
            const double x = col * 100 + jitter(random);
            const double y = row * 90 + jitter(random);
            const int k = kind(random);
            if (k == 0) {
                made.push_back({makePart("loose", {{x, y}, {x + 60, y}, {x + 30, y + 70}}), -1});
                continue;
            }
            const int frame = static_cast<int>(made.size());
            made.push_back(
                {makePart(
                     "frame", {{x, y}, {x + 80, y}, {x + 80, y + 80}, {x, y + 80}},
                     {{{x + 10, y + 10}, {x + 70, y + 10}, {x + 70, y + 70}, {x + 10, y + 70}}}),
                 -1});
            if (k >= 2) {
                const int ring = static_cast<int>(made.size());
                made.push_back(
                    {makePart(
                         "ring",
                         {{x + 15, y + 15}, {x + 65, y + 15}, {x + 65, y + 65}, {x + 15, y + 65}},
                         {{{x + 25, y + 25},
                           {x + 55, y + 25},
                           {x + 55, y + 55},
                           {x + 25, y + 55}}}),
                     frame});
                if (k == 3) {
                    made.push_back({makePart("plug", {{x + 30, y + 30},
                                                      {x + 50, y + 30},
                                                      {x + 50, y + 50},
                                                      {x + 30, y + 50}}),
                                    ring});
                }
            }
        }
    }
    std::vector<int> position(made.size());
    for (std::size_t i = 0; i < made.size(); ++i) position[i] = static_cast<int>(i);
    std::shuffle(position.begin(), position.end(), random);
    std::vector<int> at(made.size());  // at[list position] = index in made
    for (std::size_t i = 0; i < made.size(); ++i) at[static_cast<std::size_t>(position[i])] = i;
    RandomSheet sheet;
    for (const int i : at) sheet.parts.pushBack(made[static_cast<std::size_t>(i)].part);
    for (std::size_t i = 0; i < made.size(); ++i) {
        for (int c = made[i].container; c >= 0; c = made[static_cast<std::size_t>(c)].container)
            sheet.nested.emplace_back(position[i], position[static_cast<std::size_t>(c)]);
    }
    return sheet;
}

TEST(CutOrderTest, TakesEveryPartOnceAndWhatLiesInAHoleBeforeThePartAround) {
    std::mt19937 random(19);
    for (int trial = 0; trial < 40; ++trial) {
        const RandomSheet sheet = randomSheet(random);
        std::vector<const Part*> parts;
        for (const Part& part : sheet.parts) parts.push_back(&part);
        const std::vector<std::size_t> order = cutOrder(parts);
        std::vector<std::size_t> sorted = order;
        std::sort(sorted.begin(), sorted.end());
        std::vector<std::size_t> all(parts.size());
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
        ASSERT_EQ(sorted, all) << "trial " << trial << ": not every part once";
        std::vector<std::size_t> rank(parts.size());
        for (std::size_t k = 0; k < order.size(); ++k) rank[order[k]] = k;
        for (const auto& [inner, outer] : sheet.nested) {
            EXPECT_LT(rank[static_cast<std::size_t>(inner)], rank[static_cast<std::size_t>(outer)])
                << "trial " << trial << ": a " << parts[static_cast<std::size_t>(inner)]->name()
                << " in a hole of a " << parts[static_cast<std::size_t>(outer)]->name()
                << " comes after it";
        }
        // The loose parts follow the sweep: bands as high as the median box (the upper one of
        // an even count) from the bottom, the first left to right, the next right to left.
        std::vector<double> heights;
        for (const Part* part : parts) heights.push_back(part->bounds().maxY - part->bounds().minY);
        std::sort(heights.begin(), heights.end());
        const double band = heights[heights.size() / 2];
        int lastRow = -1;
        double lastX = 0;
        for (const std::size_t i : order) {
            const Part& part = *parts[i];
            if (part.name() != "loose") continue;
            const BoundingBox& box = part.bounds();
            const int row = static_cast<int>((box.minY + box.maxY) / 2 / band);
            const double x = (box.minX + box.maxX) / 2;
            EXPECT_GE(row, lastRow) << "trial " << trial << ": back to an earlier band";
            if (row == lastRow) {
                EXPECT_TRUE(row % 2 == 0 ? x > lastX : x < lastX)
                    << "trial " << trial << ": against the band's direction in row " << row;
            }
            lastRow = row;
            lastX = x;
        }
    }
}

TEST(CutFilesTest, NamesANumberedFileForEachSheet) {
    EXPECT_EQ(cutFileName("cut.dxf", 1, false), "cut.dxf");
    EXPECT_EQ(cutFileName("cut.dxf", 2, true), "cut-2.dxf");
    EXPECT_EQ(cutFileName("out/job.v2.dxf", 12, true), "out/job.v2-12.dxf");
    EXPECT_EQ(cutFileName("cut", 3, true), "cut-3");
    EXPECT_EQ(cutFileName("sheet{n}.dxf", 1, false), "sheet1.dxf") << "{n} always stands";
    EXPECT_EQ(cutFileName("{n}/s{n}-{n}.dxf", 10, true), "10/s10-10.dxf");
    // Every "{n}" stands for the number, however near the others and however many digits the
    // number has: the name split at the marks and joined with the digits.
    for (const std::string pattern :
         {"sheet{n}-{n}.dxf", "{n}{n}", "{n}-{n}-{n}", "a{n}b{n}{n}c", "s{n}/cut{n}.dxf", "{n}{"}) {
        for (int number = 1; number <= 1200; number += number < 12 ? 1 : 97) {
            std::string expected;
            std::size_t from = 0;
            for (std::size_t at = pattern.find("{n}"); at != std::string::npos;
                 from = at + 3, at = pattern.find("{n}", from)) {
                expected += pattern.substr(from, at - from) + std::to_string(number);
            }
            expected += pattern.substr(from);
            EXPECT_EQ(cutFileName(pattern, number, true).string(), expected) << pattern;
            EXPECT_EQ(cutFileName(pattern, number, false).string(), expected) << pattern;
        }
    }
}

// A job that needs fewer sheets than the last run leaves no cut file of that run behind;
// files that do not follow on (a gap in the numbers) are not the last run's and stay.
TEST(CutFilesTest, TheSheetsOfAnEarlierRunBeyondThisOneGoWithTheSet) {
    testing_support::TempDir dir;
    PartList sheet;
    sheet.pushBack(testing_support::makePart("plate", {{0, 0}, {10, 0}, {10, 5}, {0, 5}}));
    const std::filesystem::path requested = dir.path() / "cut.dxf";
    auto run = [&](std::size_t sheets) {
        OutputSet outputs;
        const std::vector<const PartList*> layouts(sheets, &sheet);
        ASSERT_FALSE(stageCutFiles(requested, layouts, true, 20, 10, {}, outputs));
        ASSERT_FALSE(outputs.commit());
    };
    run(4);
    (void)dir.write("cut-6.dxf", "someone else's");
    run(2);
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(std::filesystem::exists(dir.path() / ("cut-" + std::to_string(n) + ".dxf")),
                  n <= 2 || n == 6)
            << n;
    }
}

// "s{n}/cut.dxf" puts each sheet in a folder of its own, made for the run; a folder that
// cannot be made (a file stands in its place) fails the set with a line naming it.
TEST(CutFilesTest, EachSheetsFolderIsMadeAndAFileInItsPlaceIsNamed) {
    testing_support::TempDir dir;
    PartList sheet;
    sheet.pushBack(testing_support::makePart("plate", {{0, 0}, {10, 0}, {10, 5}, {0, 5}}));
    const std::vector<const PartList*> layouts(2, &sheet);
    {
        OutputSet outputs;
        ASSERT_FALSE(
            stageCutFiles(dir.path() / "s{n}" / "cut.dxf", layouts, true, 20, 10, {}, outputs));
        ASSERT_FALSE(outputs.commit());
    }
    for (const char* folder : {"s1", "s2"})
        EXPECT_TRUE(std::filesystem::is_regular_file(dir.path() / folder / "cut.dxf")) << folder;
    (void)dir.write("t2", "a file where a folder would go");
    OutputSet outputs;
    const std::optional<std::string> failure =
        stageCutFiles(dir.path() / "t{n}" / "cut.dxf", layouts, true, 20, 10, {}, outputs);
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->find("t2'"), std::string::npos) << *failure;
}

// True when the box of a text of the given characters at the spot lies in the part's
// material: its corners and the midpoints of its sides, on a fine grid along the sides.
bool textFits(const Part& part, const LabelSpot& spot, std::size_t characters) {
    const double halfWidth = kCharacterWidth * static_cast<double>(characters) * spot.height / 2;
    const double halfHeight = spot.height / 2;
    for (int k = 0; k <= 20; ++k) {
        const double x = spot.at.x - halfWidth + k * halfWidth / 10;
        const double y = spot.at.y - halfHeight + k * halfHeight / 10;
        for (const Vertex& p :
             {Vertex{x, spot.at.y - halfHeight}, Vertex{x, spot.at.y + halfHeight},
              Vertex{spot.at.x - halfWidth, y}, Vertex{spot.at.x + halfWidth, y}})
            if (!pointInPart(p, part)) return false;
    }
    return true;
}

TEST(CutLabelsTest, ALabelSitsInTheMaterialAndItsTextCannotActAsACode) {
    // A washer: the middle of its box is the bore. An L: the foot has more room than the
    // upright. A ring of random corners.
    std::vector<Part> parts{
        makePart("washer", {{0, 0}, {40, 0}, {40, 40}, {0, 40}},
                 {{{5, 5}, {35, 5}, {35, 35}, {5, 35}}}),
        makePart("ell", {{0, 0}, {100, 0}, {100, 20}, {20, 20}, {20, 100}, {0, 100}})};
    std::mt19937 random(7);
    std::uniform_real_distribution<double> radius(30, 60);
    std::vector<Vertex> star;
    for (int k = 0; k < 24; ++k) {
        const double angle = k * 2 * 3.141592653589793 / 24;
        const double r = radius(random);
        star.push_back({r * std::cos(angle), r * std::sin(angle)});
    }
    parts.push_back(makePart("star", star, {{{-10, -10}, {10, -10}, {10, 10}, {-10, 10}}}));
    for (const Part& part : parts) {
        for (const std::size_t characters : {std::size_t{3}, std::size_t{12}}) {
            const LabelSpot spot = labelSpot(part, characters);
            EXPECT_GT(spot.height, 0) << part.name();
            EXPECT_TRUE(textFits(part, spot, characters))
                << part.name() << ": " << spot.at.x << ", " << spot.at.y << " h " << spot.height;
        }
    }
    EXPECT_LT(labelSpot(parts[1], 8).at.y, 20) << "the L's label goes on its foot";

    EXPECT_EQ(dxfText("50% \xC3\x98"
                      "13\tmm"),
              "50%%% \\U+00D813_mm");
    EXPECT_EQ(dxfText("a\xFF"), "a\\U+FFFD");
}

}  // namespace
}  // namespace blocknest
