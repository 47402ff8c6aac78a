#include "input/json_instance_reader.hpp"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <sstream>

namespace blocknest {
namespace {

std::variant<JobInput, InputError> readText(const std::string& text) {
    std::istringstream in(text);
    return readJsonInstance(in, "t.json");
}

JobInput read(const std::string& text) {
    auto result = readText(text);
    if (auto* error = std::get_if<InputError>(&result)) {
        ADD_FAILURE() << error->detail;
        return {};
    }
    return std::move(std::get<JobInput>(result));
}

std::string errorOf(const std::string& text) {
    auto result = readText(text);
    if (auto* error = std::get_if<InputError>(&result)) return error->detail;
    ADD_FAILURE() << "accepted: " << text;
    return {};
}

std::vector<Orientation> turnsFor(const std::vector<double>& degrees) {
    return orientationsForAngles(degrees).value_or(std::vector<Orientation>{{-1, -1}});
}

TEST(JsonInstanceReaderTest, AngleSetsOfTheRotationOptionAreItsTurnsExactly) {
    EXPECT_EQ(turnsFor({0}), evenTurns(1));
    EXPECT_EQ(turnsFor({0, 180}), evenTurns(2));
    EXPECT_EQ(turnsFor({180, 0, 180}), evenTurns(2)) << "order and repeats do not matter";
    EXPECT_EQ(turnsFor({0, 90, 180, 270}), evenTurns(4));
    EXPECT_EQ(turnsFor({270, -270, 0, 180, 360}), evenTurns(4)) << "angles taken modulo 360";
    EXPECT_EQ(turnsFor({90}), (std::vector<Orientation>{{1, 4}}));
    EXPECT_EQ(turnsFor({0, 22.5, 90}), (std::vector<Orientation>{{0, 1}, {1, 16}, {1, 4}}));
    EXPECT_FALSE(orientationsForAngles({33.33})) << "no fraction of a turn gives it exactly";
    EXPECT_FALSE(orientationsForAngles({0, 1e-9}));
    EXPECT_FALSE(orientationsForAngles({}));
}

TEST(JsonInstanceReaderTest, EveryFractionOfATurnComesBackAsTheSameAngle) {
    std::mt19937 random(13);
    std::uniform_int_distribution<int> steps(1, 3600);
    for (int trial = 0; trial < 2000; ++trial) {
        const int s = steps(random);
        const int i = std::uniform_int_distribution<int>(0, s - 1)(random);
        const double degrees = Orientation{i, s}.degrees();
        const std::optional<std::vector<Orientation>> turns = orientationsForAngles({degrees});
        ASSERT_TRUE(turns) << i << "/" << s;
        ASSERT_EQ(turns->size(), 1u);
        EXPECT_EQ(turns->front().degrees(), degrees) << i << "/" << s;
        const int g = std::gcd(i, s);
        EXPECT_EQ(turns->front(), (Orientation{i / g, s / g}))
            << i << "/" << s << ": the fraction in lowest terms";
    }
}

TEST(JsonInstanceReaderTest, ReadsEveryShapeTypeWithCopiesNamesAndTurns) {
    const JobInput input = read(R"({
      "name": "demo", "strip_height": 20,
      "items": [
        {"id": 4, "demand": 2, "allowed_orientations": [0, 180],
         "shape": {"type": "simple_polygon", "data": [[0,0],[4,0],[4,3],[0,0]]}},
        {"id": 7, "demand": 1,
         "shape": {"type": "polygon", "data": {"outer": [[0,0],[10,0],[10,10],[0,10]],
                                                "inner": [[[2,2],[4,2],[4,4]]]}}},
        {"id": 8, "demand": 1, "allowed_orientations": [90],
         "shape": {"type": "multi_polygon", "data": [{"outer": [[0,0],[1,0],[1,1]]},
                                                     {"outer": [[5,5],[6,5],[6,6],[5,6]]}]}},
        {"id": 9, "demand": 0, "shape": {"type": "rectangle",
                   "data": {"x_min": 1, "y_min": 2, "width": 3, "height": 4}}}
      ]})");
    EXPECT_EQ(input.format, InputFormat::json);
    EXPECT_EQ(input.sheetWidth, 20.0);
    EXPECT_FALSE(input.sheetLength) << "the strip's length is not given";
    ASSERT_EQ(input.items.size(), 5u);
    EXPECT_EQ(input.items[0].outer.size(), 3u) << "the closing vertex is dropped";
    EXPECT_EQ(input.items[1].holes.size(), 1u);
    EXPECT_EQ(input.items[2].name, "demo_8_0");
    EXPECT_EQ(input.items[3].member, 1);
    EXPECT_EQ(input.items[3].sourceId, 8);
    EXPECT_EQ(input.items[4].outer[2].x, 4);
    EXPECT_EQ(input.items[4].outer[2].y, 6);
    std::vector<std::string> names;
    for (const Part& part : input.parts) {
        names.push_back(part.name());
        const InputItem& item = input.items.at(static_cast<std::size_t>(part.itemIndex()));
        EXPECT_EQ(part.name(), item.name);
        EXPECT_EQ(part.orientations(), item.orientations);
        EXPECT_EQ(part.outerLoop().vertices().front().x, item.outer.front().x);
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"demo_8_1", "demo_8_0", "demo_7", "demo_4", "demo_4"}))
        << "each item's copies go to the front, as the part data file's blocks do";
    EXPECT_EQ(input.parts.begin()->orientations(), (std::vector<Orientation>{{1, 4}}));
    EXPECT_TRUE(std::next(input.parts.begin(), 2)->orientations().empty())
        << "no angles: the job's turns";
    EXPECT_EQ(std::next(input.parts.begin(), 2)->innerLoops().count(), 1);
}

TEST(JsonInstanceReaderTest, EveryFaultNamesItsPlace) {
    const std::string item = R"({"id": 1, "demand": 1, "shape": {"type": "simple_polygon",
                                 "data": [[0,0],[1,0],[1,1]]}})";
    const auto withItem = [](const std::string& text) {
        return R"({"strip_height": 5, "items": [)" + text + "]}";
    };
    EXPECT_EQ(errorOf("{\"items\": [\n  1,\n  ]}"),
              "t.json:3:3: not valid JSON: syntax error while parsing value - unexpected ']'; "
              "expected '[', '{', or a literal");
    EXPECT_EQ(errorOf("[]"), "t.json: the top level: an object is expected");
    EXPECT_EQ(errorOf("{}"), "t.json: the top level: \"items\" is missing");
    EXPECT_EQ(errorOf(R"({"strip_height": -1, "items": []})"),
              "t.json: strip_height: the strip height must be positive");
    EXPECT_EQ(errorOf(withItem(item + "," + item)),
              "t.json: items[1].id: the id 1 is also that of items[0]");
    EXPECT_EQ(errorOf(withItem(R"({"id": 1, "demand": 1.5})")),
              "t.json: items[0].demand: a whole number of at least 0 is expected, not 1.5");
    EXPECT_EQ(errorOf(withItem(R"({"id": 1, "demand": 1, "allowed_orientations": [0, 33.33],
                                   "shape": {}})")),
              "t.json: items[0].allowed_orientations: an angle is not a whole number of steps "
              "of a full turn divided into at most 3600 ([0,33.33])");
    EXPECT_EQ(errorOf(withItem(R"({"id": 1, "demand": 1, "shape": {"type": "circle",
                                   "data": 1}})")),
              "t.json: items[0].shape.type: the shape type \"circle\" is not one of "
              "simple_polygon, polygon, multi_polygon, rectangle");
    EXPECT_EQ(errorOf(withItem(R"({"id": 1, "demand": 1, "shape": {"type": "simple_polygon",
                                   "data": [[0,0],[1,"a"],[1,1]]}})")),
              "t.json: items[0].shape.data[1][1]: a number is expected, not \"a\"");
    EXPECT_EQ(errorOf(withItem(R"({"id": 1, "demand": 1, "shape": {"type": "simple_polygon",
                                   "data": [[0,0],[1,0],[0,0]]}})")),
              "t.json: items[0].shape.data: a contour needs at least three distinct points");
    EXPECT_EQ(errorOf(withItem(R"({"id": 1, "demand": 1, "shape": {"type": "simple_polygon",
                                   "data": [[0,0],[1,1],[2,2]]}})")),
              "t.json: items[0].shape: the outline encloses no area");
    EXPECT_EQ(errorOf(withItem(R"({"id": 1, "demand": 1, "shape": {"type": "polygon",
                                   "data": {"inner": []}}})")),
              "t.json: items[0].shape.data: \"outer\" is missing");
    std::istringstream huge(withItem(R"({"id": 1, "demand": 2000000, "shape": {"type":
        "rectangle", "data": {"x_min": 0, "y_min": 0, "width": 1, "height": 1}}})"));
    auto result = readJsonInstance(huge, "t.json");
    ASSERT_TRUE(std::holds_alternative<InputError>(result));
    EXPECT_NE(std::get<InputError>(result).detail.find("t.json: items[0].demand: the item asks "
                                                       "for 2000000 copies"),
              std::string::npos);
}

// Documents made to break the reader or the terminal: each ends in one short line that names
// the file and holds no control character.
TEST(JsonInstanceReaderTest, HostileDocumentsEndInOneShortPrintableLine) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string rectangle =
        R"("shape": {"type": "rectangle", "data": {"x_min": 0, "y_min": 0, "width": 1, "height": 1}})";
    const std::string demandFirst = R"({"strip_height": 5, "items": [{"id": 1, "demand": )";
    std::string angles;
    for (int k = 0; k < 20000; ++k) angles += (k == 0 ? "" : ",") + std::to_string(k) + ".123";
    struct Case {
        std::string what;
        std::string text;
        std::string expected;  // a part of the message
    };
    const std::vector<Case> cases{
        // Three levels open before the value: its 62nd bracket is the 65th level.
        {"deep demand", demandFirst + deep + "}]}",
         "t.json:1:" + std::to_string(demandFirst.size() + 62) +
             ": the values are nested more than 64 deep"},
        {"deep shape type",
         R"({"items": [{"id": 1, "demand": 1, "shape": {"type": )" + deep + "}}]}",
         "nested more than 64 deep"},
        {"deep name", R"({"name": )" + deep + "}", "nested more than 64 deep"},
        {"brackets in strings do not count",
         R"({"name": ")" + std::string(500, '[') + R"(", "items": [], "strip_height": [[1]]})",
         "t.json: strip_height: a number is expected, not [[1]]"},
        {"overflow", R"({"strip_height": 1e400, "items": []})",
         "t.json:1:22: not valid JSON: the number 1e400 is too large"},
        {"long angle list",
         R"({"items": [{"id": 1, "demand": 1, "allowed_orientations": [)" + angles + "], " +
             rectangle + "}]}",
         "divided into at most 3600 ([0.123,1.123,"},
        {"duplicate key",
         R"({"strip_height": 5, "items": [{"id": 1, "demand": 1, "demand": 2, )" + rectangle +
             "}]}",
         "t.json: the key \"demand\" is given twice in one object"},
        {"escape sequence in a value",
         R"({"items": [{"id": 1, "demand": 1, "shape": {"type": "\u001b[2J\u0007", "data": 1}}]})",
         R"(the shape type "\u001b[2J\u0007" is not one of)"},
        {"raw control bytes", "{\"items\": [\x1B[31m\x07\x00]}", "t.json:1:12: not valid JSON"},
        {"UTF-16", std::string("\xFF\xFE{\0\"\0", 6), "t.json: the file is UTF-16 text"},
    };
    for (const Case& c : cases) {
        const std::string message = errorOf(c.text);
        EXPECT_NE(message.find(c.expected), std::string::npos) << c.what << ": " << message;
        EXPECT_EQ(message.rfind("t.json", 0), 0u) << c.what << ": " << message;
        EXPECT_LT(message.size(), 300u) << c.what << ": " << message;
        for (const char ch : message) {
            const auto byte = static_cast<unsigned char>(ch);
            ASSERT_TRUE(byte >= 0x20 && byte != 0x7F) << c.what << ": " << message;
        }
    }
}

// Random outlines whose corners are put in random order cross themselves more often than
// not; the reader warns exactly when an independent test of every pair of edges finds a
// crossing. A square hole at a random place warns exactly when it leaves the outer square.
TEST(JsonInstanceReaderTest, CrossingOutlinesAndStrayHolesAreSaidOutLoud) {
    const auto cross = [](const Vertex& o, const Vertex& a, const Vertex& b) {
        return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
    };
    const auto crossesLiterally = [&](const std::vector<Vertex>& v) {
        const std::size_t n = v.size();
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = i + 2; j < n; ++j) {
                if (i == 0 && j == n - 1) continue;  // neighbours across the closing corner
                const Vertex &a = v[i], &b = v[(i + 1) % n], &c = v[j], &d = v[(j + 1) % n];
                const double d1 = cross(c, d, a), d2 = cross(c, d, b);
                const double d3 = cross(a, b, c), d4 = cross(a, b, d);
                if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) &&
                    ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) {
                    return true;
                }
            }
        }
        return false;
    };
    const auto points = [](const std::vector<Vertex>& v) {
        std::string text;
        for (const Vertex& p : v) {
            text += std::string(text.empty() ? "" : ",") + "[" + std::to_string(p.x) + "," +
                    std::to_string(p.y) + "]";
        }
        return "[" + text + "]";
    };
    std::mt19937 random(2121);
    std::uniform_int_distribution<int> coordinate(0, 40);
    int crossing = 0;
    int stray = 0;
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<Vertex> outline;
        const int corners = 4 + trial % 5;
        for (int k = 0; k < corners; ++k)
            outline.push_back({double(coordinate(random)), double(coordinate(random))});
        Loop loop;
        loop.setVertices(outline);
        if (!(loop.area() > 0)) continue;
        const double hx = coordinate(random) * 1.25 - 5, hy = coordinate(random) * 1.25 - 5;
        const std::vector<Vertex> hole{{hx, hy}, {hx + 4, hy}, {hx + 4, hy + 4}, {hx, hy + 4}};
        const bool holeOutside = hx < 0 || hy < 0 || hx + 4 > 40 || hy + 4 > 40;
        const std::string text =
            R"({"items": [{"id": 1, "demand": 1, "shape": {"type": "simple_polygon", "data": )" +
            points(outline) +
            R"(}}, {"id": 2, "demand": 1, "shape": {"type": "polygon", "data": {"outer": )" +
            points({{0, 0}, {40, 0}, {40, 40}, {0, 40}}) + R"(, "inner": [)" + points(hole) +
            "]}}}]}";
        const JobInput input = read(text);
        const bool warnedCrossing =
            std::any_of(input.warnings.begin(), input.warnings.end(), [](const std::string& w) {
                return w ==
                       "t.json: items[0].shape.data: the outline crosses itself; it is "
                       "packed as given";
            });
        const bool warnedStray =
            std::any_of(input.warnings.begin(), input.warnings.end(), [](const std::string& w) {
                return w.rfind(
                           "t.json: items[1].shape.data.inner[0]: the hole reaches outside "
                           "its outer ring, near (",
                           0) == 0;
            });
        EXPECT_EQ(warnedCrossing, crossesLiterally(outline)) << "trial " << trial << text;
        EXPECT_EQ(warnedStray, holeOutside) << "trial " << trial << text;
        EXPECT_EQ(input.parts.count(), 2) << "warned shapes are still packed";
        crossing += warnedCrossing;
        stray += warnedStray;
    }
    EXPECT_GT(crossing, 30) << "the trials must hold crossing outlines";
    EXPECT_GT(stray, 30) << "and stray holes";
}

}  // namespace
}  // namespace blocknest
