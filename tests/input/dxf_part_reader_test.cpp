#include "input/dxf_part_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>
#include <limits>
#include <map>
#include <numbers>
#include <random>
#include <sstream>
#include <tuple>

#include "geometry/predicates.hpp"
#include "output/dxf_writer.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;
constexpr double kPi = std::numbers::pi;

DxfPartsContents readOrFail(const std::string& text, const DxfReadSettings& settings = {}) {
    std::istringstream in(text);
    auto result = readDxfPartData(in, "drawing.dxf", settings);
    if (const auto* error = std::get_if<InputError>(&result)) {
        ADD_FAILURE() << "unexpected error: " << error->detail;
        return {};
    }
    return std::move(std::get<DxfPartsContents>(result));
}

std::string errorOf(const std::string& text, const DxfReadSettings& settings = {}) {
    std::istringstream in(text);
    auto result = readDxfPartData(in, "drawing.dxf", settings);
    const auto* error = std::get_if<InputError>(&result);
    return error != nullptr ? error->detail : "(read without error)";
}

double perimeter(const Loop& loop) {
    const std::vector<Vertex>& v = loop.vertices();
    double length = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const Vertex& q = v[(i + 1) % v.size()];
        length += std::hypot(q.x - v[i].x, q.y - v[i].y);
    }
    return length;
}

bool anyWarningHas(const std::vector<std::string>& warnings, const std::string& a,
                   const std::string& b) {
    return std::any_of(warnings.begin(), warnings.end(), [&](const std::string& w) {
        return w.find(a) != std::string::npos && w.find(b) != std::string::npos;
    });
}

// The drawing made by tests/data/dxf/make_fixtures.py with ezdxf.
TEST(DxfPartReaderTest, ReadsAnEzdxfDrawingWithExactAreasHolesAndNamedWarnings) {
    DxfReadSettings settings;
    settings.tolerance = 0.01;
    auto result = readDxfPartFile("dxf/outlines.dxf", settings);
    ASSERT_TRUE(std::holds_alternative<DxfPartsContents>(result))
        << std::get<InputError>(result).detail;
    const DxfPartsContents& contents = std::get<DxfPartsContents>(result);
    EXPECT_EQ(contents.insUnits, 4);
    EXPECT_EQ(insUnitsName(contents.insUnits), "millimetres");

    struct Expected {
        std::string name;
        double outerArea;
        std::vector<double> holeAreas;
    };
    const std::vector<Expected> expected = {
        {"PLATE", 6000 + 450 * kPi, {100 * kPi}},  // bulged side: half a circle of radius 30
        {"SLOT", 2400 + 400 * kPi, {}},            // two half circles of radius 20
        {"TRIANGLE", 600, {}},
        {"OVAL", 800 * kPi, {}},             // semi-axes 40 and 20
        {"ARCH", 3060, {}},                  // the Bezier's area, worked out exactly
        {"FLANGE", 900 * kPi, {100 * kPi}},  // radii 15 and 5, drawn twice as large
    };
    ASSERT_EQ(contents.parts.count(), expected.size());
    std::size_t i = 0;
    for (const Part& part : contents.parts) {
        const Expected& want = expected[i++];
        EXPECT_EQ(part.name(), want.name);
        // Chords inside a curve lose at most the tolerance across the curve's length.
        const Loop& outer = part.outerLoop();
        EXPECT_NEAR(outer.area(), want.outerArea, perimeter(outer) * *settings.tolerance)
            << part.name();
        ASSERT_EQ(part.innerLoops().count(), want.holeAreas.size()) << part.name();
        double holes = 0;
        std::size_t h = 0;
        for (const Loop& hole : part.innerLoops()) {
            EXPECT_NEAR(hole.area(), want.holeAreas[h++], perimeter(hole) * *settings.tolerance);
            holes += hole.area();
        }
        EXPECT_NEAR(part.netArea(), outer.area() - holes, 1e-9 * outer.area()) << part.name();
    }

    // Handles as ezdxf gave them (tests/data/dxf/outlines.handles).
    const std::vector<std::string>& w = contents.warnings;
    EXPECT_TRUE(anyWarningHas(w, "open contour of LINE 3A, LINE 3B", "do not meet")) << w.size();
    EXPECT_TRUE(anyWarningHas(w, "LWPOLYLINE 3C", "crosses or touches itself"));
    EXPECT_TRUE(anyWarningHas(w, "LWPOLYLINE 3D", "no area"));
    EXPECT_TRUE(anyWarningHas(w, "1 TEXT entity", "left out"));
    EXPECT_EQ(w.size(), 4u);
}

// Object coordinate systems seen from below, a stretched, mirrored and turned block, a
// rational spline and an elliptic arc: ezdxf flattens each in world coordinates itself, and
// tests/data/dxf/transforms.areas keeps the areas it found.
TEST(DxfPartReaderTest, AgreesWithEzdxfOnTransformedCurves) {
    std::map<std::string, double> expected;
    {
        std::ifstream in("dxf/transforms.areas");
        std::string name;
        double area = 0;
        while (in >> name >> area) expected[name] = area;
    }
    ASSERT_EQ(expected.size(), 5u);
    DxfReadSettings settings;
    settings.tolerance = 0.001;
    auto result = readDxfPartFile("dxf/transforms.dxf", settings);
    ASSERT_TRUE(std::holds_alternative<DxfPartsContents>(result))
        << std::get<InputError>(result).detail;
    const DxfPartsContents& contents = std::get<DxfPartsContents>(result);
    EXPECT_TRUE(contents.warnings.empty()) << contents.warnings.front();
    std::map<std::string, double> read;
    std::size_t k = 0;
    for (const Part& part : contents.parts) {
        read[part.name()] = part.netArea();
        EXPECT_NEAR(part.netArea(), expected[part.name()],
                    perimeter(part.outerLoop()) * *settings.tolerance)
            << part.name();
        // The arcs kept as drawn, seen from below, give the exact areas: MIRRORED is 40 x 30
        // with a segment of bulge 0.4 added and one of bulge 0.3 taken away (sweep 4 atan b,
        // area r^2 / 2 (sweep - sin sweep) on chords of 40), ARCHED the segment of a 130
        // degree arc of radius 20. (ezdxf's areas above come from cubic curves, 1e-4 off.)
        // The stretched block's arcs, ellipses by now, and the splines keep none.
        const PartCurves& curves = contents.curves[k++];
        const auto segment = [](double bulge, double chord) {
            const double sweep = 4 * std::atan(bulge);
            const double r = chord / (2 * std::sin(sweep / 2));
            return r * r / 2 * (sweep - std::sin(sweep));
        };
        const std::map<std::string, double> exact{
            {"MIRRORED", 1200 + segment(0.4, 40) - segment(0.3, 40)},
            {"ARCHED", 20.0 * 20 / 2 * (130 * kPi / 180 - std::sin(130 * kPi / 180))}};
        ASSERT_EQ(curves.outer.corners.empty(), !exact.contains(part.name())) << part.name();
        if (exact.contains(part.name())) {
            EXPECT_NEAR(std::fabs(signedArea(curves.outer)), exact.at(part.name()), 1e-9)
                << part.name();
        }
    }
    EXPECT_EQ(read.size(), expected.size());
}

TEST(DxfPartReaderTest, CurvesStayWithinTheChordTolerance) {
    for (const double tolerance : {0.5, 0.05, 0.001}) {
        DxfReadSettings settings;
        settings.tolerance = tolerance;
        auto result = readDxfPartFile("dxf/outlines.dxf", settings);
        ASSERT_TRUE(std::holds_alternative<DxfPartsContents>(result));
        const Part& plate = std::get<DxfPartsContents>(result).parts.front();
        const Loop& hole = plate.innerLoops().front();  // radius 10 about (40, 30)
        const std::vector<Vertex>& v = hole.vertices();
        for (std::size_t i = 0; i < v.size(); ++i) {
            const Vertex& q = v[(i + 1) % v.size()];
            EXPECT_NEAR(std::hypot(v[i].x - 40, v[i].y - 30), 10, 1e-9);
            const Vertex mid{(v[i].x + q.x) / 2, (v[i].y + q.y) / 2};
            EXPECT_LE(10 - std::hypot(mid.x - 40, mid.y - 30), tolerance * (1 + 1e-9));
        }
        // And not needlessly fine: twice the chords would have done.
        const double step = 2 * std::acos(1 - tolerance / 10);
        EXPECT_LE(v.size(), std::ceil(2 * kPi / step) + 1);
    }
}

std::string lwpolyline(const std::string& handle, const std::string& layer,
                       const std::vector<Vertex>& corners, bool closed = true) {
    std::string text = "  0\nLWPOLYLINE\n  5\n" + handle + "\n  8\n" + layer + "\n 90\n" +
                       std::to_string(corners.size()) + "\n 70\n" + (closed ? "1" : "0") + "\n";
    for (const Vertex& v : corners)
        text += " 10\n" + std::to_string(v.x) + "\n 20\n" + std::to_string(v.y) + "\n";
    return text;
}

std::string drawing(const std::string& entities, int insUnits = -1) {
    std::string header;
    if (insUnits >= 0) {
        header = "  0\nSECTION\n  2\nHEADER\n  9\n$INSUNITS\n 70\n" + std::to_string(insUnits) +
                 "\n  0\nENDSEC\n";
    }
    return header + "  0\nSECTION\n  2\nENTITIES\n" + entities + "  0\nENDSEC\n  0\nEOF\n";
}

TEST(DxfPartReaderTest, ContoursNestEvenOddAndPartsTakeTheirLayerOrTheFallbackName) {
    // A frame with a window holding an island: the island is a part of its own.
    const std::string text =
        drawing(lwpolyline("A1", "0", {{0, 0}, {100, 0}, {100, 100}, {0, 100}}) +
                lwpolyline("A2", "0", {{10, 10}, {90, 10}, {90, 90}, {10, 90}}) +
                lwpolyline("A3", "ISLAND", {{40, 40}, {60, 40}, {60, 60}, {40, 60}}) +
                lwpolyline("A4", "0", {{200, 0}, {210, 0}, {210, 10}}));
    DxfReadSettings settings;
    settings.fallbackName = "frames";
    const DxfPartsContents contents = readOrFail(text, settings);
    ASSERT_EQ(contents.parts.count(), 3u);
    auto it = contents.parts.begin();
    EXPECT_EQ(it->name(), "frames");
    EXPECT_DOUBLE_EQ(it->netArea(), 10000 - 6400);
    ++it;
    EXPECT_EQ(it->name(), "ISLAND");
    EXPECT_DOUBLE_EQ(it->netArea(), 400);
    EXPECT_TRUE(it->innerLoops().empty());
    ++it;
    EXPECT_DOUBLE_EQ(it->netArea(), 50);
    EXPECT_EQ(contents.insUnits, 0);
    EXPECT_TRUE(contents.warnings.empty());
}

TEST(DxfPartReaderTest, UnitsAreConvertedOnlyWhenAskedAndOnlyWhenKnown) {
    const std::string square = lwpolyline("B1", "SQ", {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    EXPECT_DOUBLE_EQ(readOrFail(drawing(square, 1)).parts.front().netArea(), 1);
    DxfReadSettings toMm;
    toMm.targetUnits = insUnitsFromName("mm");
    ASSERT_TRUE(toMm.targetUnits.has_value());
    const DxfPartsContents inches = readOrFail(drawing(square, 1), toMm);
    EXPECT_DOUBLE_EQ(inches.unitScale, 25.4);
    EXPECT_NEAR(inches.parts.front().netArea(), 25.4 * 25.4, 1e-9);
    EXPECT_NE(errorOf(drawing(square), toMm).find("does not name its units"), std::string::npos);

    // Assumed units count only for a drawing that names none.
    DxfReadSettings assumed = toMm;
    assumed.assumedUnits = insUnitsFromName("in");
    const DxfPartsContents unnamed = readOrFail(drawing(square), assumed);
    EXPECT_EQ(unnamed.insUnits, 0);
    EXPECT_EQ(unnamed.assumedUnits, 1);
    EXPECT_EQ(unnamed.partUnits, 4);
    EXPECT_NEAR(unnamed.parts.front().netArea(), 25.4 * 25.4, 1e-9);
    const DxfPartsContents named = readOrFail(drawing(square, 5), assumed);
    EXPECT_EQ(named.assumedUnits, 0) << "centimetres, as it says";
    EXPECT_NEAR(named.parts.front().netArea(), 10 * 10, 1e-9);
    assumed.targetUnits.reset();
    const DxfPartsContents kept = readOrFail(drawing(square), assumed);
    EXPECT_EQ(kept.partUnits, 1) << "read in the assumed inches, unconverted";
    EXPECT_EQ(kept.unitScale, 1);
}

// The tolerance is meant in the units the parts are read in: a circle of 2 inches read in
// millimetres is packed as a polygon that holds it and strays at most 0.05 mm outside it (71
// tangents), not 0.05 inches (23).
TEST(DxfPartReaderTest, TheToleranceHoldsInTheConvertedUnits) {
    const std::string circle = drawing("  0\nCIRCLE\n 10\n1\n 20\n1\n 40\n2\n", 1);
    DxfReadSettings settings;
    settings.targetUnits = insUnitsFromName("mm");
    settings.tolerance = 0.05;
    const DxfPartsContents contents = readOrFail(circle, settings);
    ASSERT_EQ(contents.parts.count(), 1u);
    const std::vector<Vertex>& v = contents.parts.front().outerLoop().vertices();
    const Vertex centre{25.4, 25.4};
    const double radius = 2 * 25.4;
    double worst = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const Vertex& q = v[(i + 1) % v.size()];
        EXPECT_GE(distanceToSegment(centre, v[i], q), radius - 1e-9) << "an edge cuts the circle";
        worst = std::max(worst, std::hypot(v[i].x - centre.x, v[i].y - centre.y) - radius);
    }
    EXPECT_LE(worst, *settings.tolerance * (1 + 1e-9));
    EXPECT_GT(worst, *settings.tolerance / 4) << "no finer than the tolerance asks";
    ASSERT_EQ(contents.curves.size(), 1u);
    EXPECT_EQ(contents.curves.front().outer.corners.size(), 2u) << "two half turns";
    EXPECT_NEAR(std::fabs(signedArea(contents.curves.front().outer)), kPi * radius * radius, 1e-9);
}

// Without --tolerance a curve strays at most 0.05 mm, expressed in the units the drawing
// names (or is converted to); a drawing that names none keeps 0.05 of its own units. A circle
// of radius 50 mm drawn in metres, inches, millimetres and no units, and in metres read in
// centimetres.
TEST(DxfPartReaderTest, TheDefaultToleranceIsHalfATenthOfAMillimetre) {
    struct Case {
        int units;
        std::optional<int> target;
        double perUnit;  // millimetres per unit the parts are read in
        double tolerance;
    };
    for (const Case& c : {Case{6, {}, 1000, 0.00005}, Case{1, {}, 25.4, 0.05 / 25.4},
                          Case{4, {}, 1, 0.05}, Case{0, {}, 1, 0.05}, Case{6, 5, 10, 0.005}}) {
        const double drawn = c.units == 0 ? 1 : *metresPerUnit(c.units) * 1000;
        char entity[160];
        std::snprintf(entity, sizeof entity, "  0\nCIRCLE\n 10\n0\n 20\n0\n 40\n%.17g\n",
                      50 / drawn);
        DxfReadSettings settings;
        settings.targetUnits = c.target;
        const DxfPartsContents contents = readOrFail(drawing(entity, c.units), settings);
        ASSERT_EQ(contents.parts.count(), 1u) << c.units;
        const double radius = 50 / c.perUnit;
        double worst = 0;
        for (const Vertex& v : contents.parts.front().outerLoop().vertices())
            worst = std::max(worst, std::hypot(v.x, v.y) - radius);
        EXPECT_LE(worst, c.tolerance * (1 + 1e-9)) << c.units;
        EXPECT_GT(worst, c.tolerance / 4) << c.units << ": no finer than the default asks";
    }
}

// An ellipse is packed as its chords, within the tolerance of it in the units the parts are
// read in: drawn in millimetres, or in inches and read in millimetres, it strays at most
// 0.05 mm from its polygon (not 0.05 inches), measured along the ellipse drawn here.
TEST(DxfPartReaderTest, EllipsesStayWithinTheToleranceInTheUnitsAsked) {
    const Vertex centre{40, 25};
    const Vertex major{30, 12};
    const double ratio = 0.35;
    const Vertex minor{-major.y * ratio, major.x * ratio};
    for (const int units : {4, 1}) {
        const double per = units == 1 ? 25.4 : 1;  // millimetres per drawing unit
        char entity[256];
        std::snprintf(entity, sizeof entity,
                      "  0\nELLIPSE\n 10\n%.17g\n 20\n%.17g\n 11\n%.17g\n 21\n%.17g\n"
                      " 40\n%.17g\n 41\n0\n 42\n%.17g\n",
                      centre.x / per, centre.y / per, major.x / per, major.y / per, ratio, 2 * kPi);
        DxfReadSettings settings;
        settings.targetUnits = insUnitsFromName("mm");
        settings.tolerance = 0.05;
        const DxfPartsContents contents = readOrFail(drawing(entity, units), settings);
        ASSERT_EQ(contents.parts.count(), 1u) << units;
        const std::vector<Vertex>& v = contents.parts.front().outerLoop().vertices();
        double worst = 0;
        for (int k = 0; k < 20000; ++k) {
            const double t = 2 * kPi * k / 20000;
            const Vertex p{centre.x + major.x * std::cos(t) + minor.x * std::sin(t),
                           centre.y + major.y * std::cos(t) + minor.y * std::sin(t)};
            double nearest = std::numeric_limits<double>::infinity();
            for (std::size_t i = 0; i < v.size(); ++i)
                nearest = std::min(nearest, distanceToSegment(p, v[i], v[(i + 1) % v.size()]));
            worst = std::max(worst, nearest);
        }
        EXPECT_LE(worst, *settings.tolerance * (1 + 1e-6))
            << units << ": " << v.size() << " chords";
        EXPECT_GT(worst, *settings.tolerance / 4) << units << ": no finer than the tolerance asks";
    }
}

// A slot of two half circles and two lines, drawn with a gap of 0.8 at one joint, around a
// hole of radius 3: joining it takes --join 1, and the hole still gets the chords of the
// tolerance, not the octagon a tolerance of 1 would give.
TEST(DxfPartReaderTest, JoiningAndChordErrorAreTwoDistances) {
    const std::string slot = drawing(
        "  0\nARC\n 10\n0\n 20\n10\n 40\n10\n 50\n90\n 51\n270\n"
        "  0\nLINE\n 10\n0.8\n 20\n0\n 11\n40\n 21\n0\n"
        "  0\nARC\n 10\n40\n 20\n10\n 40\n10\n 50\n270\n 51\n90\n"
        "  0\nLINE\n 10\n40\n 20\n20\n 11\n0\n 21\n20\n"
        "  0\nCIRCLE\n 10\n20\n 20\n10\n 40\n3\n",
        4);
    const DxfPartsContents apart = readOrFail(slot);
    EXPECT_EQ(apart.parts.count(), 1u) << "the hole alone";
    EXPECT_EQ(countOf(apart.warnings.front(), "do not meet within 0.05"), 1) << apart.warnings[0];
    DxfReadSettings settings;
    settings.join = 1;
    const DxfPartsContents joined = readOrFail(slot, settings);
    ASSERT_EQ(joined.parts.count(), 1u);
    const Part& part = joined.parts.front();
    ASSERT_EQ(part.innerLoops().count(), 1);
    EXPECT_GE(part.innerLoops().begin()->vertexCount(), 16) << "chords within 0.05 of radius 3";
    ASSERT_EQ(joined.curves.size(), 1u);
    const PartCurves& curves = joined.curves.front();
    EXPECT_EQ(curves.outer.corners.size(), 4u) << "two half turns and two lines";
    EXPECT_NEAR(std::fabs(signedArea(curves.outer)), 800 + 100 * kPi, 1e-9);
    ASSERT_EQ(curves.holes.size(), 1u);
    EXPECT_NEAR(std::fabs(signedArea(curves.holes.front())), 9 * kPi, 1e-9);
    // The packed polygons hold the material: the outline's holds the slot, the hole's lies in
    // the hole.
    EXPECT_GE(part.outerLoop().area(), 800 + 100 * kPi);
    EXPECT_LE(part.innerLoops().begin()->area(), 9 * kPi);
}

// tests/data/dxf/framed.dxf (ezdxf): a frame and title block on FRAME around a plate on PLATE,
// dimensions on DIM. Only the drawing without its frame gives the plate, with its arcs.
TEST(DxfPartReaderTest, LayersChooseWhatIsReadAndAFrameIsNamed) {
    const auto read = [](const DxfReadSettings& settings) {
        auto result = readDxfPartFile("dxf/framed.dxf", settings);
        if (const auto* error = std::get_if<InputError>(&result)) {
            ADD_FAILURE() << error->detail;
            return DxfPartsContents{};
        }
        return std::move(std::get<DxfPartsContents>(result));
    };
    // As it is, the frame (border, title block and the line dividing it) is left out in one
    // line; kept, it swallows the plate, whose bore becomes a part.
    const DxfPartsContents unframed = read({});
    ASSERT_FALSE(unframed.warnings.empty());
    EXPECT_EQ(unframed.warnings.front(),
              "dxf/framed.dxf: a frame is left out: a border with a title block (LWPOLYLINE 8D, "
              "LWPOLYLINE 8E on layer FRAME and 1 line drawn on it) enclosing every other "
              "contour; --keep-frames reads it as a part");
    ASSERT_EQ(unframed.parts.count(), 1u);
    EXPECT_EQ(unframed.parts.front().name(), "PLATE");
    EXPECT_EQ(unframed.parts.front().innerLoops().count(), 1);
    DxfReadSettings keep;
    keep.keepFrames = true;
    const DxfPartsContents whole = read(keep);
    EXPECT_EQ(
        std::count_if(whole.warnings.begin(), whole.warnings.end(),
                      [](const std::string& w) { return w.find("frame is left out") != w.npos; }),
        0);
    ASSERT_EQ(whole.parts.count(), 2u) << "the frame, and the bore inside the plate its hole";
    EXPECT_EQ(whole.parts.front().name(), "PLATE 3 mm") << "named by the title block's text";

    // Plate: 100 x 80 with one corner rounded to radius 20; bore of radius 15.
    const double outer = 100 * 80 - 20 * 20 + kPi * 20 * 20 / 4;
    const double bore = kPi * 15 * 15;
    DxfReadSettings skip;
    skip.skipLayers = {"frame", "Dim"};
    DxfReadSettings only;
    only.layers = {"PLATE"};
    for (const DxfReadSettings& settings : {skip, only}) {
        const DxfPartsContents plate = read(settings);
        ASSERT_EQ(plate.parts.count(), 1u);
        EXPECT_EQ(plate.warnings, std::vector<std::string>{
                                      "dxf/framed.dxf: 7 entities on layers DIM, FRAME are left "
                                      "out: those layers are not read"});
        const Part& part = plate.parts.front();
        EXPECT_EQ(part.name(), "PLATE");
        ASSERT_EQ(part.innerLoops().count(), 1);
        ASSERT_EQ(plate.curves.size(), 1u);
        EXPECT_NEAR(std::fabs(signedArea(plate.curves.front().outer)), outer, 1e-9);
        ASSERT_EQ(plate.curves.front().holes.size(), 1u);
        EXPECT_NEAR(std::fabs(signedArea(plate.curves.front().holes.front())), bore, 1e-9);
        // The packed polygons hold the material, within the tolerance along the arcs.
        EXPECT_GE(part.netArea(), outer - bore);
        EXPECT_LE(part.netArea(), outer - bore + 0.05 * (kPi * 10 + kPi * 30));
    }
}

// A joining distance far below what the coordinates resolve (--join 1e-300) leaves the index
// of ends and the search for repeats their cells of a size the drawing's extent allows:
// 100,000 lines of 25,000 squares read as 25,000 parts well within the README's 10 s, where
// cells of 2e-300 would put every end in one cell and compare every pair.
TEST(DxfPartReaderTest, ATinyJoiningDistanceKeepsJoiningLinear) {
    std::string entities;
    entities.reserve(100000 * 60);
    char line[160];
    for (int k = 0; k < 25000; ++k) {
        const int x = (k % 250) * 20, y = (k / 250) * 20;
        const int c[4][2] = {{x, y}, {x + 10, y}, {x + 10, y + 10}, {x, y + 10}};
        for (int i = 0; i < 4; ++i) {
            std::snprintf(line, sizeof line, "  0\nLINE\n 10\n%d\n 20\n%d\n 11\n%d\n 21\n%d\n",
                          c[i][0], c[i][1], c[(i + 1) % 4][0], c[(i + 1) % 4][1]);
            entities += line;
        }
    }
    DxfReadSettings settings;
    settings.join = 1e-300;
    // The processor time, not the wall time: a loaded machine stretches the one, not the
    // other, and comparing every pair of ends takes far more than 10 s of either.
    const std::clock_t start = std::clock();
    const DxfPartsContents contents = readOrFail(drawing(entities, 4), settings);
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    EXPECT_EQ(contents.parts.count(), 25000u);
    EXPECT_LT(seconds, 10);
}

// A plate whose construction squares, on a layer of their own, cross its bolt circles: the
// plate encloses every other contour and the squares lie on another layer, but they crossed
// what they were drawn over, so the plate is no frame and is not called one.
TEST(DxfPartReaderTest, ConstructionLinesAcrossBoltCirclesMakeNoFrame) {
    std::string entities = lwpolyline("P1", "PLATE", {{0, 0}, {200, 0}, {200, 100}, {0, 100}});
    int handle = 0;
    for (const Vertex& c : {Vertex{30, 30}, Vertex{170, 30}, Vertex{30, 70}, Vertex{170, 70}}) {
        entities += "  0\nCIRCLE\n  5\nC" + std::to_string(++handle) + "\n  8\nPLATE\n 10\n" +
                    std::to_string(c.x) + "\n 20\n" + std::to_string(c.y) + "\n 40\n8\n";
        entities += lwpolyline(
            "S" + std::to_string(handle), "CONSTRUCTION",
            {{c.x - 6, c.y - 6}, {c.x + 6, c.y - 6}, {c.x + 6, c.y + 6}, {c.x - 6, c.y + 6}});
    }
    const DxfPartsContents contents = readOrFail(drawing(entities, 4));
    ASSERT_EQ(contents.parts.count(), 1u);
    EXPECT_EQ(contents.parts.front().innerLoops().count(), 4);
    for (const std::string& warning : contents.warnings)
        EXPECT_EQ(warning.find("frame"), std::string::npos) << warning;
}

// A plate with a slot 0.03 wide whose walls bulge 0.01 into it: tangents pushed out by the
// tolerance would cross, so the outline is packed by its chords, and said so.
TEST(DxfPartReaderTest, ArcsTooCloseToOtherEdgesArePackedByTheirChords) {
    std::string slotted = "  0\nLWPOLYLINE\n  5\n1A\n  8\nPLATE\n 90\n8\n 70\n1\n";
    for (const auto& [x, y, bulge] :
         std::vector<std::tuple<double, double, double>>{{0, 0, 0},
                                                         {20, 0, 0},
                                                         {20, 10, 0},
                                                         {10.015, 10, 0.0025},
                                                         {10.015, 2, 0},
                                                         {9.985, 2, 0.0025},
                                                         {9.985, 10, 0},
                                                         {0, 10, 0}}) {
        std::ostringstream corner;
        corner.precision(17);
        corner << " 10\n" << x << "\n 20\n" << y << "\n";
        if (bulge != 0) corner << " 42\n" << bulge << "\n";
        slotted += corner.str();
    }
    const DxfPartsContents contents = readOrFail(drawing(slotted, 4));
    ASSERT_EQ(contents.parts.count(), 1u);
    EXPECT_EQ(contents.warnings,
              std::vector<std::string>{"drawing.dxf: the contour of LWPOLYLINE 1A has arcs within "
                                       "0.05 of its other edges: it is packed by its chords, which "
                                       "may cut into its arcs"});
    EXPECT_EQ(contents.parts.front().outerLoop().vertexCount(), 8) << "each flat arc one chord";
    EXPECT_EQ(contents.curves.front().outer.corners.size(), 8u) << "the arcs are still kept";
}

TEST(DxfPartReaderTest, FaultsNameTheFileAndTheLine) {
    EXPECT_EQ(errorOf("  0\nSECTION\n  2\nENTITIES\nLINE\n"),
              "drawing.dxf:5: a group code (a whole number) was expected, not 'LINE'");
    EXPECT_EQ(errorOf("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\n1e999\n  0\nENDSEC\n"),
              "drawing.dxf:8: group code 10 needs a finite number, not '1e999'");
    EXPECT_NE(errorOf("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\n").find("ends after a group"),
              std::string::npos);
    EXPECT_NE(errorOf("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n").find("ends before ENDSEC"),
              std::string::npos);
    EXPECT_NE(errorOf("hello\nworld\n").find("drawing.dxf:1:"), std::string::npos);
    EXPECT_NE(errorOf("AutoCAD Binary DXF\r\n\x1a").find("binary DXF"), std::string::npos);
    // An empty drawing is no fault: it has no parts.
    EXPECT_EQ(readOrFail(drawing("")).parts.count(), 0u);
}

// A block of a square inscribed in a circle reads as a disc with a square cut-out in every
// copy, however its reference turns it: the square's corners lie on the circle, and its
// chords fall differently for every turn.
TEST(DxfPartReaderTest, ATurnedBlockReadsAsTheUnturnedOne) {
    const double r = 10;
    const double h = r / std::sqrt(2.0);
    std::string block =
        "  0\nSECTION\n  2\nBLOCKS\n  0\nBLOCK\n  2\nWASHER\n 10\n0\n 20\n0\n"
        "  0\nCIRCLE\n  8\n0\n 10\n0\n 20\n0\n 40\n10\n" +
        lwpolyline("C1", "0", {{h, h}, {-h, h}, {-h, -h}, {h, -h}}) + "  0\nENDBLK\n  0\nENDSEC\n";
    std::vector<double> turns{0, 90, 43.56, 180};
    std::mt19937 random(5);
    std::uniform_real_distribution<double> degrees(0, 360);
    for (int k = 0; k < 40; ++k) turns.push_back(degrees(random));
    std::string inserts;
    for (std::size_t k = 0; k < turns.size(); ++k) {
        char insert[160];
        std::snprintf(insert, sizeof insert,
                      "  0\nINSERT\n  2\nWASHER\n 10\n%zu\n 20\n0\n 50\n%.17g\n", 30 * k, turns[k]);
        inserts += insert;
    }
    const DxfPartsContents contents = readOrFail(block + drawing(inserts, 4));
    ASSERT_EQ(contents.parts.count(), turns.size()) << "one part a copy";
    const double net = kPi * r * r - 2 * r * r;
    std::size_t k = 0;
    for (const Part& part : contents.parts) {
        EXPECT_EQ(part.innerLoops().count(), 1) << turns[k] << " degrees";
        EXPECT_NEAR(part.netArea(), net, 0.05 * 2 * kPi * r) << turns[k] << " degrees";
        ++k;
    }
    EXPECT_TRUE(contents.warnings.empty()) << contents.warnings.front();
}

// Blocks that each place the one before ten times would make 10^8 lines; the bound on
// expanded entities stops the reading with a message instead.
TEST(DxfPartReaderTest, BlocksInsideBlocksCannotMultiplyWithoutBound) {
    std::string blocks =
        "  0\nSECTION\n  2\nBLOCKS\n  0\nBLOCK\n  2\nB0\n  0\nLINE\n 10\n0\n"
        " 20\n0\n 11\n1\n 21\n0\n  0\nENDBLK\n";
    for (int level = 1; level <= 8; ++level) {
        blocks += "  0\nBLOCK\n  2\nB" + std::to_string(level) + "\n";
        for (int k = 0; k < 10; ++k)
            blocks += "  0\nINSERT\n  2\nB" + std::to_string(level - 1) + "\n 10\n" +
                      std::to_string(k) + "\n 20\n0\n";
        blocks += "  0\nENDBLK\n";
    }
    blocks += "  0\nENDSEC\n";
    std::istringstream in(blocks + drawing("  0\nINSERT\n  2\nB8\n"));
    DxfReadLimits limits;
    limits.maxEntities = 100'000;
    auto result = readDxfPartData(in, "drawing.dxf", {}, limits);
    ASSERT_TRUE(std::holds_alternative<InputError>(result));
    EXPECT_NE(std::get<InputError>(result).detail.find(
                  "more than 100000 entities once block references are expanded"),
              std::string::npos)
        << std::get<InputError>(result).detail;
}

// Values at the edge of the double range: no overflow reaches the geometry.
TEST(DxfPartReaderTest, HugeValuesAreLeftOutWithAWarning) {
    const std::string text = drawing(
        "  0\nLWPOLYLINE\n  5\nC1\n 70\n1\n 10\n0\n 20\n0\n 42\n1e300\n 10\n1e300\n 20\n0\n"
        " 10\n1e300\n 20\n1e300\n  0\nCIRCLE\n  5\nC2\n 10\n1e308\n 20\n-1e308\n 40\n1e308\n"
        "  0\nCIRCLE\n  5\nC3\n 10\n0\n 20\n0\n 40\n1e-300\n");
    const DxfPartsContents contents = readOrFail(text);
    EXPECT_EQ(contents.parts.count(), 0u);
    EXPECT_EQ(contents.warnings.size(), 3u);
    for (const char* handle : {"C1", "C2", "C3"})
        EXPECT_TRUE(anyWarningHas(contents.warnings, std::string("LWPOLYLINE ") + handle, "") ||
                    anyWarningHas(contents.warnings, std::string("CIRCLE ") + handle, ""))
            << handle;
}

// Simple polygons far apart: star-shaped outlines (no gap between corners reaches half a
// turn, so the centre is well inside), each with a small triangular hole about
// its centre one time in two.
PartList randomStarParts(std::mt19937& random, int count) {
    std::uniform_real_distribution<double> unit(0, 1);
    PartList parts;
    for (int k = 0; k < count; ++k) {
        const double cx = 100 * (k % 5) + 50.5 * unit(random) + 25, cy = 100 * (k / 5) + 50;
        const int n = 5 + static_cast<int>(unit(random) * 12);
        std::vector<Vertex> outer;
        for (int i = 0; i < n; ++i) {
            const double a = (i + 0.5 * unit(random)) * 2 * kPi / n;
            const double r = 12 + 12 * unit(random);
            outer.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
        }
        std::vector<std::vector<Vertex>> holes;
        if (k % 2 == 0) holes.push_back({{cx - 3, cy - 2}, {cx + 3, cy - 2}, {cx, cy + 3}});
        parts.pushBack(makePart("P" + std::to_string(k), outer, holes));
    }
    return parts;
}

// The layout drawing is loose lines in order; they are shuffled and some turned around here,
// so that only the joining of ends can rebuild the outlines.
TEST(DxfPartReaderTest, ALayoutDrawingReadsBackAsTheSameOutlines) {
    std::mt19937 random(1313);
    for (int round = 0; round < 20; ++round) {
        const PartList parts = randomStarParts(random, 15);
        const std::string layout = formatLayoutDxf(parts, 600, 400, 550.25);
        const std::string head = "  0\nSECTION\n  2\nENTITIES\n  0\n";
        const std::string tail = "ENDSEC\n  0\nEOF\n";
        ASSERT_EQ(layout.substr(0, head.size()), head);
        std::vector<std::string> lines;
        {
            std::istringstream in(
                layout.substr(head.size(), layout.size() - head.size() - tail.size()));
            for (std::string line; std::getline(in, line);) lines.push_back(line);
        }
        ASSERT_EQ(lines.size() % 16, 0u);
        std::vector<std::vector<std::string>> entities;
        for (std::size_t i = 0; i < lines.size(); i += 16) {
            std::vector<std::string> e(lines.begin() + i, lines.begin() + i + 16);
            if (random() % 2 == 0) {  // start and end swap places
                std::swap(e[4], e[10]);
                std::swap(e[6], e[12]);
            }
            entities.push_back(std::move(e));
        }
        std::shuffle(entities.begin(), entities.end(), random);
        std::string shuffled = head;
        for (const auto& e : entities)
            for (const std::string& line : e) shuffled += line + "\n";
        shuffled += tail;

        const DxfPartsContents contents = readOrFail(shuffled);
        std::vector<Loop> written{rectangle(0, 0, 600, 400)};
        for (const Part& part : parts) {
            written.push_back(part.outerLoop());
            for (const Loop& hole : part.innerLoops()) written.push_back(hole);
        }
        std::vector<Loop> read;
        for (const Part& part : contents.parts) {
            read.push_back(part.outerLoop());
            for (const Loop& hole : part.innerLoops()) read.push_back(hole);
        }
        EXPECT_EQ(canonicalLoops(read, 6), canonicalLoops(written, 6)) << "round " << round;
        // The sheet holds every part as a hole; a part's hole is a part again.
        const auto sheet = std::max_element(contents.parts.begin(), contents.parts.end(),
                                            [](const Part& a, const Part& b) {
                                                return a.outerLoop().area() < b.outerLoop().area();
                                            });
        EXPECT_EQ(sheet->innerLoops().count(), parts.count());
        EXPECT_EQ(contents.parts.count(), 1 + (parts.count() + 1) / 2);
        // The packed-length line is the one thing left out, and said so.
        ASSERT_EQ(contents.warnings.size(), 1u);
        EXPECT_NE(contents.warnings[0].find("open contour of LINE at line"), std::string::npos)
            << contents.warnings[0];
    }
}

// tests/data/dxf/repeats.dxf and repeats_r12.dxf (ezdxf): edges drawn two or three times,
// outlines and circles drawn twice, a polyline drawn again as LINEs 0.0001 off, a bolt circle
// across bolt holes, a square across a larger one, 63 LINEs without length, a square whose
// corners lie on its circle, and a block placed with an attribute. Each layer must read as one
// part with the area worked out by hand, and each kind of fault as one warning line.
TEST(DxfPartReaderTest, RepeatedAndCrossingOutlinesReadAsCadExportsDrawThem) {
    struct Expected {
        double area;  // net
        std::size_t holes;
    };
    const double s = 20 / std::sqrt(2.0);
    const std::map<std::string, Expected> expected = {
        {"EDGES", {1500, 0}},
        {"TWICE", {1500, 0}},
        {"RING", {144 * kPi, 0}},
        {"MIXED", {1200, 0}},
        {"BOLT", {10000 - 4 * 25 * kPi, 4}},
        {"CROSS", {1600, 0}},
        {"INSCRIBED", {400 * kPi - 4 * s * s, 1}},
        {"TAG", {200, 0}},
    };
    for (const char* file : {"dxf/repeats.dxf", "dxf/repeats_r12.dxf"}) {
        SCOPED_TRACE(file);
        auto result = readDxfPartFile(file);
        ASSERT_TRUE(std::holds_alternative<DxfPartsContents>(result));
        const DxfPartsContents& contents = std::get<DxfPartsContents>(result);
        std::map<std::string, int> seen;
        for (const Part& part : contents.parts) {
            ++seen[part.name()];
            const auto want = expected.find(part.name());
            ASSERT_NE(want, expected.end()) << part.name();
            double edge = perimeter(part.outerLoop());
            for (const Loop& hole : part.innerLoops()) edge += perimeter(hole);
            EXPECT_NEAR(part.netArea(), want->second.area, edge * kDefaultDxfTolerance)
                << part.name();
            EXPECT_EQ(part.innerLoops().count(), want->second.holes) << part.name();
        }
        for (const auto& [name, count] : seen) EXPECT_EQ(count, 1) << name;
        const std::vector<std::string>& w = contents.warnings;
        for (const std::string& line : w) EXPECT_EQ(line.find("SEQEND"), std::string::npos);
        if (std::string(file) == "dxf/repeats_r12.dxf") {
            EXPECT_EQ(seen.size(), 3u);
            ASSERT_EQ(w.size(), 1u);
            EXPECT_NE(w[0].find("10 pieces drawn again within 0.05"), std::string::npos) << w[0];
            continue;
        }
        EXPECT_EQ(seen.size(), expected.size());
        const auto count = [&](const std::string& a, const std::string& b) {
            return std::count_if(w.begin(), w.end(), [&](const std::string& line) {
                return line.find(a) != std::string::npos && line.find(b) != std::string::npos;
            });
        };
        EXPECT_EQ(count("63 pieces without length left out", "LINE"), 1);
        EXPECT_EQ(count("6 pieces drawn again", "(of LINE"), 1);  // 4 edges, a polyline, a circle
        EXPECT_EQ(count("1 contour drawn again", "the contour of LINE"), 1);
        EXPECT_EQ(count("is left out: it crosses the contour of CIRCLE", "two holes"), 1);
        EXPECT_EQ(count("is left out: it crosses the contour of LWPOLYLINE", "two outlines"), 1);
        EXPECT_EQ(w.size(), 7u) << "and the ATTDEF and ATTRIB texts";
    }
}

// Hostile drawings, kept small: each reader step must stay near linear and every bound must
// count what is really made.
TEST(DxfPartReaderTest, HostileDrawingsEndWithinTheirBounds) {
    // Arrays of an empty block, 300 x 300 in three levels: 7 x 10^14 copies of nothing count.
    std::string blocks = "  0\nSECTION\n  2\nBLOCKS\n  0\nBLOCK\n  2\nE0\n  0\nENDBLK\n";
    for (int level = 1; level <= 3; ++level) {
        blocks += "  0\nBLOCK\n  2\nE" + std::to_string(level) + "\n  0\nINSERT\n  2\nE" +
                  std::to_string(level - 1) + "\n 70\n300\n 71\n300\n  0\nENDBLK\n";
    }
    blocks += "  0\nENDSEC\n";
    DxfReadLimits limits;
    limits.maxEntities = 100'000;
    {
        std::istringstream in(blocks + drawing("  0\nINSERT\n  2\nE3\n"));
        auto result = readDxfPartData(in, "arrays.dxf", {}, limits);
        ASSERT_TRUE(std::holds_alternative<InputError>(result));
        EXPECT_NE(std::get<InputError>(result).detail.find("more than 100000 entities once block"),
                  std::string::npos);
    }
    // One LWPOLYLINE past the bound on vertices fails while it is read, naming file and line.
    {
        std::vector<Vertex> many;
        for (int i = 0; i < 1001; ++i) many.push_back({double(i), double(i % 2)});
        std::istringstream in(drawing(lwpolyline("L1", "0", many)));
        limits.maxStoredVertices = 1000;
        auto result = readDxfPartData(in, "long.dxf", {}, limits);
        ASSERT_TRUE(std::holds_alternative<InputError>(result));
        EXPECT_EQ(std::get<InputError>(result).detail.rfind("long.dxf:", 0), 0u);
        EXPECT_NE(std::get<InputError>(result).detail.find("more than 1000 corners"),
                  std::string::npos);
    }
    // An open zigzag of 40,000 LINEs listed from its middle outwards: one chain, one line.
    {
        const int n = 40'000;
        std::string lines;
        const auto line = [&](int i) {
            lines += "  0\nLINE\n 10\n" + std::to_string(i) + "\n 20\n" + std::to_string(i % 2) +
                     "\n 11\n" + std::to_string(i + 1) + "\n 21\n" + std::to_string((i + 1) % 2) +
                     "\n";
        };
        for (int k = 0; k <= n / 2; ++k) {
            if (n / 2 + k < n) line(n / 2 + k);
            if (k > 0) line(n / 2 - k);
        }
        const DxfPartsContents contents = readOrFail(drawing(lines));
        ASSERT_EQ(contents.warnings.size(), 1u);
        EXPECT_NE(contents.warnings[0].find("and 39996 more is left out: its ends (0, 0) and "
                                            "(40000, 0) do not meet"),
                  std::string::npos)
            << contents.warnings[0];
    }
    // A spline of 20,000 control points is flattened span by span; closed by three lines, it
    // reads as one part within the control polygon's box.
    {
        const int n = 20'000;
        std::string spline = "  0\nSPLINE\n  5\nS1\n 71\n3\n";
        for (int k = 0; k < n + 4; ++k)
            spline += " 40\n" + std::to_string(std::clamp(k - 3, 0, n - 3)) + "\n";
        for (int i = 0; i < n; ++i)
            spline += " 10\n" + std::to_string(i) + "\n 20\n" + std::to_string(10 + i % 3) + "\n";
        const std::string end = std::to_string(n - 1);
        spline += "  0\nLINE\n 10\n" + end + "\n 20\n" + std::to_string(10 + (n - 1) % 3) +
                  "\n 11\n" + end + "\n 21\n0\n  0\nLINE\n 10\n" + end +
                  "\n 20\n0\n 11\n0\n 21\n0\n  0\nLINE\n 10\n0\n 20\n0\n 11\n0\n 21\n10\n";
        const DxfPartsContents contents = readOrFail(drawing(spline));
        ASSERT_EQ(contents.parts.count(), 1u)
            << (contents.warnings.empty() ? "" : contents.warnings[0]);
        const BoundingBox& box = contents.parts.front().bounds();
        EXPECT_GE(box.minX, 0);
        EXPECT_LE(box.maxX, n - 1);
        EXPECT_EQ(box.minY, 0);
        EXPECT_LE(box.maxY, 12 + 1e-9);
        const double area = contents.parts.front().netArea();
        EXPECT_GT(area, 10.0 * (n - 1));
        EXPECT_LT(area, 12.0 * (n - 1));
    }
    // 16 blocks nested, each named with 5,000 characters: a warning names a few, cut.
    {
        std::string nested = "  0\nSECTION\n  2\nBLOCKS\n";
        const auto name = [](int level) { return std::string(5000, char('A' + level)); };
        nested += "  0\nBLOCK\n  2\n" + name(0) + "\n  0\nLINE\n 11\n1\n  0\nENDBLK\n";
        for (int level = 1; level < 16; ++level) {
            nested += "  0\nBLOCK\n  2\n" + name(level) + "\n  0\nINSERT\n  2\n" + name(level - 1) +
                      "\n  0\nENDBLK\n";
        }
        nested += "  0\nENDSEC\n";
        const DxfPartsContents contents =
            readOrFail(nested + drawing("  0\nINSERT\n  2\n" + name(15) + "\n"));
        ASSERT_EQ(contents.warnings.size(), 1u);
        EXPECT_LT(contents.warnings[0].size(), 600u) << contents.warnings[0];
    }
}

// A vertex without its y is no vertex at (x, 0): the polyline is left out, and said so.
// Overlapping holes are not both cut: the larger is dropped, and said so.
TEST(DxfPartReaderTest, DoubtfulOutlinesAreNamedNotGuessed) {
    const DxfPartsContents noY = readOrFail(
        drawing("  0\nLWPOLYLINE\n  5\nY1\n 70\n1\n 10\n0\n 20\n0\n 10\n10\n 10\n10\n 20\n10\n"));
    EXPECT_EQ(noY.parts.count(), 0u);
    ASSERT_EQ(noY.warnings.size(), 1u);
    EXPECT_NE(noY.warnings[0].find("LWPOLYLINE Y1 is left out: its vertex at line 15 has no y"),
              std::string::npos)
        << noY.warnings[0];

    const DxfPartsContents holes =
        readOrFail(drawing(lwpolyline("H1", "P", {{0, 0}, {100, 0}, {100, 100}, {0, 100}}) +
                           lwpolyline("H2", "P", {{10, 10}, {50, 10}, {50, 50}, {10, 50}}) +
                           lwpolyline("H3", "P", {{40, 40}, {70, 40}, {70, 70}, {40, 70}})));
    ASSERT_EQ(holes.parts.count(), 1u);
    EXPECT_DOUBLE_EQ(holes.parts.front().netArea(), 10000 - 900);
    ASSERT_EQ(holes.warnings.size(), 1u);
    EXPECT_NE(holes.warnings[0].find("LWPOLYLINE H2 is left out: it crosses the contour of "
                                     "LWPOLYLINE H3"),
              std::string::npos)
        << holes.warnings[0];
}

// Drawings cut short anywhere or with bytes changed at random read or fail with a message;
// nothing else (the sanitizer build watches for the rest).
TEST(DxfPartReaderTest, DamagedDrawingsReadOrFailCleanly) {
    const std::string whole = readFile("dxf/outlines.dxf");
    std::mt19937 random(7);
    int failures = 0;
    for (std::size_t cut = 0; cut < whole.size(); cut += 1 + random() % 97) {
        std::istringstream in(whole.substr(0, cut));
        auto result = readDxfPartData(in, "cut.dxf");
        if (const auto* error = std::get_if<InputError>(&result)) {
            ++failures;
            EXPECT_EQ(error->detail.rfind("cut.dxf", 0), 0u) << error->detail;
        }
    }
    EXPECT_GT(failures, 0);
    const std::string alphabet = "0123456789-.eE \n\rAZ";
    for (int round = 0; round < 300; ++round) {
        std::string damaged = whole;
        for (int k = 0; k < 4; ++k)
            damaged[random() % damaged.size()] = alphabet[random() % alphabet.size()];
        std::istringstream in(damaged);
        auto result = readDxfPartData(in, "damaged.dxf");
        if (const auto* error = std::get_if<InputError>(&result)) {
            EXPECT_FALSE(error->detail.empty());
        }
    }
}

}  // namespace
}  // namespace blocknest
