#include "output/dxf_cam_writer.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "input/dxf_part_reader.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// A few parts on a 300 x 200 sheet, some with holes and turned by odd angles so that the
// coordinates need all their digits; one part lies beyond the sheet and is not to be cut.
PartList placedParts() {
    PartList parts;
    parts.pushBack(makePart("bracket", {{10, 10}, {110, 10}, {110, 70}, {10, 70}},
                            {{{30, 30}, {50, 30}, {40, 50}}, {{70, 30}, {90, 30}, {90, 50}}}));
    parts.pushBack(makePart("gusset", {{150, 20}, {250, 20}, {150, 120}}));
    Part turned = makePart("washer", {{0, 0}, {40, 0}, {40, 40}, {0, 40}},
                           {{{10, 10}, {30, 10}, {30, 30}, {10, 30}}});
    turned.rotate(Vertex{0, 0}, 0.3);
    turned.translate(200 + 1.0 / 3, 130.1);
    turned.refreshBounds();
    parts.pushBack(std::move(turned));
    Part parked = makePart("unplaced", {{310, -50}, {350, -50}, {350, -10}});
    parts.pushBack(std::move(parked));
    return parts;
}

std::vector<Loop> loopsOf(const PartList& parts) {
    std::vector<Loop> loops;
    for (const Part& part : parts) {
        loops.push_back(part.outerLoop());
        for (const Loop& hole : part.innerLoops()) loops.push_back(hole);
    }
    return loops;
}

TEST(DxfCamWriterTest, ReadsBackAsTheSameOutlinesOnTheirLayers) {
    const PartList parts = placedParts();
    CamDrawingSettings settings;
    settings.insUnits = 4;
    const std::string dxf = formatCamDxf(parts, 300, 200, settings);

    // Read back as a part drawing, the sheet is a frame around parts with holes: left out,
    // and said so in one line. Kept, it is the outer contour: the parts are its holes, and
    // their holes parts again, each named after the layer it lies on.
    std::vector<Loop> expected;
    PartList placed;
    for (const Part& part : parts)
        if (part.name() != "unplaced") placed.pushBack(part);
    for (const Loop& loop : loopsOf(placed)) expected.push_back(loop);
    for (const bool keepFrames : {false, true}) {
        std::istringstream in(dxf);
        DxfReadSettings reading;
        reading.keepFrames = keepFrames;
        auto result = readDxfPartData(in, "cam.dxf", reading);
        ASSERT_TRUE(std::holds_alternative<DxfPartsContents>(result))
            << std::get<InputError>(result).detail;
        const DxfPartsContents& back = std::get<DxfPartsContents>(result);
        EXPECT_EQ(back.insUnits, 4);
        ASSERT_EQ(back.warnings.size(), keepFrames ? 0u : 1u);
        std::map<std::string, int> names;
        for (const Part& part : back.parts) ++names[part.name()];
        // Every contour comes back digit for digit: each placed part's, and the sheet's.
        std::vector<Loop> drawn = expected;
        if (keepFrames) {
            drawn.insert(drawn.begin(), rectangle(0, 0, 300, 200));
            EXPECT_EQ(names, (std::map<std::string, int>{{"SHEET", 1}, {"HOLES", 3}}));
            EXPECT_EQ(back.parts.front().innerLoops().count(), 3u);
        } else {
            EXPECT_EQ(back.warnings.front(),
                      "cam.dxf: a frame is left out: a contour four times the area of what lies "
                      "directly inside it (LWPOLYLINE 2F on layer SHEET) enclosing every other "
                      "contour; --keep-frames reads it as a part");
            EXPECT_EQ(names, (std::map<std::string, int>{{"PARTS", 3}}));
        }
        EXPECT_EQ(canonicalLoops(loopsOf(back.parts), 17), canonicalLoops(drawn, 17));
    }

    EXPECT_EQ(countOf(dxf, "\nLWPOLYLINE\n"), 1 + 3 + 3);
    EXPECT_EQ(countOf(dxf, "\n  8\nPARTS\n"), 3);
    EXPECT_EQ(countOf(dxf, "\n  8\nHOLES\n"), 3);
    EXPECT_EQ(countOf(dxf, "\n  8\nSHEET\n"), 1);
    EXPECT_NE(dxf.find("$INSUNITS\n 70\n4\n"), std::string::npos);
    EXPECT_NE(dxf.find("$EXTMAX\n 10\n300\n 20\n200\n"), std::string::npos);
}

TEST(DxfCamWriterTest, OuterContoursRunCounterClockwiseAndHolesClockwise) {
    PartList parts;
    // Given clockwise outside and counter-clockwise inside, the drawing turns both.
    parts.pushBack(makePart("p", {{0, 0}, {0, 50}, {50, 50}, {50, 0}},
                            {{{10, 10}, {20, 10}, {20, 20}, {10, 20}}}));
    CamDrawingSettings settings;
    settings.layers = CamLayers::byName;
    const std::string dxf = formatCamDxf(parts, 100, 100, settings);
    EXPECT_NE(dxf.find(" 10\n50\n 20\n0\n 10\n50\n 20\n50\n 10\n0\n 20\n50\n"), std::string::npos);
    EXPECT_NE(dxf.find(" 10\n10\n 20\n20\n 10\n20\n 20\n20\n 10\n20\n 20\n10\n"),
              std::string::npos);
    EXPECT_EQ(countOf(dxf, "\n  8\np\n"), 2) << "by name: the part and its hole on its layer";
    EXPECT_EQ(countOf(dxf, "\nPARTS\n"), 0);
    EXPECT_EQ(camLayerName("a/b:c"), "a_b_c");
    EXPECT_EQ(camLayerName("sheet"), "sheet_PART");
}

// ezdxf's audit is an independent judge of the file's structure (handles, owners, tables,
// objects); skipped where python3-ezdxf is not installed.
TEST(DxfCamWriterTest, EzdxfAuditsTheDrawingWithoutErrors) {
    if (std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3-ezdxf is not installed";
    const TempDir dir;
    for (const CamLayers layers : {CamLayers::byKind, CamLayers::byName}) {
        CamDrawingSettings settings;
        settings.insUnits = 4;
        settings.layers = layers;
        const std::filesystem::path path = dir.path() / "cam.dxf";
        ASSERT_FALSE(writeCamDxf(path, placedParts(), 300, 200, settings).has_value());
        const std::string script =
            "import sys, ezdxf\n"
            "doc = ezdxf.readfile(sys.argv[1])\n"
            "auditor = doc.audit()\n"
            "print(len(auditor.errors), len(auditor.fixes), doc.dxfversion,\n"
            "      doc.header['$INSUNITS'], len(doc.modelspace().query('LWPOLYLINE')))\n";
        const std::filesystem::path scriptPath = dir.write("audit.py", script);
        const std::string command =
            "/usr/bin/python3 " + scriptPath.string() + " " + path.string() + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
        EXPECT_EQ(pclose(pipe), 0) << output;
        EXPECT_EQ(output, "0 0 AC1015 4 7\n") << "errors, fixes, version, units, polylines";
    }
}

// A program that adds to the drawing takes its new handles from $HANDSEED on: the seed must
// lie above every handle the drawing uses, and every pointer must name an object that is
// there. Checked on drawings of 0 to 40 parts, read back pair by pair.
TEST(DxfCamWriterTest, TheHandleSeedLiesAboveEveryHandleUsed) {
    std::mt19937 random(19);
    for (int trial = 0; trial < 12; ++trial) {
        PartList parts;
        const int count = static_cast<int>(random() % 41);
        for (int k = 0; k < count; ++k) {
            const double x = 10 * (k % 10), y = 10 * (k / 10);
            if (k % 3 == 0) {
                parts.pushBack(makePart("p", {{x, y}, {x + 8, y}, {x + 8, y + 8}, {x, y + 8}},
                                        {{{x + 2, y + 2}, {x + 6, y + 2}, {x + 4, y + 6}}}));
            } else {
                parts.pushBack(makePart("p", {{x, y}, {x + 8, y}, {x + 4, y + 8}}));
            }
        }
        const std::string dxf = formatCamDxf(parts, 100, 50, CamDrawingSettings{});
        std::istringstream in(dxf);
        std::string codeLine, value;
        std::set<unsigned long> handles;
        std::vector<unsigned long> pointers;
        std::optional<unsigned long> seed;
        bool seedNext = false;
        while (std::getline(in, codeLine) && std::getline(in, value)) {
            const int code = std::stoi(codeLine);
            if (seedNext) {
                ASSERT_EQ(code, 5);
                seed = std::stoul(value, nullptr, 16);
                seedNext = false;
            } else if (code == 9 && value == "$HANDSEED") {
                seedNext = true;
            } else if (code == 5 || code == 105) {
                EXPECT_TRUE(handles.insert(std::stoul(value, nullptr, 16)).second)
                    << "handle " << value << " given twice";
            } else if (code >= 330 && code <= 369) {
                pointers.push_back(std::stoul(value, nullptr, 16));
            }
        }
        ASSERT_TRUE(seed.has_value()) << "no $HANDSEED";
        ASSERT_FALSE(handles.empty());
        EXPECT_GT(*seed, *handles.rbegin()) << count << " parts";
        for (const unsigned long pointer : pointers) {
            EXPECT_TRUE(pointer == 0 || handles.count(pointer) == 1)
                << "a pointer to " << std::hex << pointer << " names nothing";
        }
    }
}

// A closed polyline of a drawing for cutting as read back: its layer, corners and bulges.
struct ReadPolyline {
    std::string layer;
    std::vector<Vertex> corners;
    std::vector<double> bulges;
};

std::vector<ReadPolyline> readPolylines(const std::string& dxf) {
    std::istringstream in(dxf);
    std::string codeLine, value;
    std::vector<ReadPolyline> polylines;
    bool inPolyline = false;
    while (std::getline(in, codeLine) && std::getline(in, value)) {
        const int code = std::stoi(codeLine);
        if (code == 0) {
            inPolyline = value == "LWPOLYLINE";
            if (inPolyline) polylines.emplace_back();
        } else if (inPolyline && code == 8) {
            polylines.back().layer = value;
        } else if (inPolyline && code == 10) {
            polylines.back().corners.push_back({std::stod(value), 0});
            polylines.back().bulges.push_back(0);
        } else if (inPolyline && code == 20) {
            polylines.back().corners.back().y = std::stod(value);
        } else if (inPolyline && code == 42) {
            polylines.back().bulges.back() = std::stod(value);
        }
    }
    return polylines;
}

// The area a closed polyline encloses, positive counter-clockwise: its corners' polygon plus,
// for each arc, the circle's segment between chord and arc (sweep 4 atan(bulge), left of the
// chord for a positive bulge).
double signedAreaWithArcs(const ReadPolyline& p) {
    double area = 0;
    for (std::size_t i = 0; i < p.corners.size(); ++i) {
        const Vertex& a = p.corners[i];
        const Vertex& b = p.corners[(i + 1) % p.corners.size()];
        area += (a.x * b.y - b.x * a.y) / 2;
        if (p.bulges[i] == 0) continue;
        const double sweep = 4 * std::atan(std::fabs(p.bulges[i]));
        const double chord = std::hypot(b.x - a.x, b.y - a.y);
        const double radius = chord / (2 * std::sin(sweep / 2));
        area += std::copysign(radius * radius / 2 * (sweep - std::sin(sweep)), p.bulges[i]);
    }
    return area;
}

// Parts drawn with circles and arcs, both ways round: a washer of two circles, a plate drawn
// clockwise with one round hole drawn clockwise and one counter-clockwise, and a slot drawn
// clockwise with two half circles. In the drawing for cutting every outline must run
// counter-clockwise and every hole clockwise, arcs counted, and the arcs must stay arcs.
TEST(DxfCamWriterTest, RoundOutlinesRunCounterClockwiseAndRoundHolesClockwise) {
    const TempDir dir;
    auto polyline = [](const std::vector<std::array<double, 3>>& corners) {
        std::string text =
            "0\nLWPOLYLINE\n8\n0\n90\n" + std::to_string(corners.size()) + "\n70\n1\n";
        for (const auto& [x, y, bulge] : corners) {
            text += "10\n" + std::to_string(x) + "\n20\n" + std::to_string(y) + "\n";
            if (bulge != 0) text += "42\n" + std::to_string(bulge) + "\n";
        }
        return text;
    };
    std::string dxf = "0\nSECTION\n2\nENTITIES\n";
    dxf += "0\nCIRCLE\n8\n0\n10\n0\n20\n0\n40\n20\n0\nCIRCLE\n8\n0\n10\n0\n20\n0\n40\n8\n";
    dxf += polyline({{100, 0, 0}, {100, 40, 0}, {160, 40, 0}, {160, 0, 0}});
    dxf += polyline({{114, 20, -1}, {126, 20, -1}});
    dxf += polyline({{140, 20, 1}, {150, 20, 1}});
    dxf += polyline({{200, 0, -1}, {200, 20, 0}, {240, 20, -1}, {240, 0, 0}});
    dxf += "0\nENDSEC\n0\nEOF\n";
    const std::string parts = dir.write("round.dxf", dxf).string();
    const RunResult run = runBlocknestBinary({"--no-pause", "-q", "--sheet", "300x200", "--dxf-cam",
                                              "cut.dxf", "-o", dir.path().string(), parts},
                                             dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const double pi = std::acos(-1.0);
    std::multiset<long long> outlines;  // areas in thousandths
    std::multiset<long long> holes;
    for (const ReadPolyline& p : readPolylines(readFile(dir.path() / "cut.dxf"))) {
        if (p.layer == "SHEET") continue;
        const double area = signedAreaWithArcs(p);
        if (p.layer == "PARTS") {
            EXPECT_GT(area, 0) << "an outline runs clockwise: " << area;
        } else {
            EXPECT_EQ(p.layer, "HOLES");
            EXPECT_LT(area, 0) << "a hole runs counter-clockwise: " << area;
        }
        (p.layer == "PARTS" ? outlines : holes).insert(std::llround(std::fabs(area) * 1000));
    }
    auto thousandths = [](double area) { return std::llround(area * 1000); };
    EXPECT_EQ(outlines, (std::multiset<long long>{thousandths(400 * pi), thousandths(2400),
                                                  thousandths(800 + 100 * pi)}))
        << "the arcs are not kept";
    EXPECT_EQ(holes, (std::multiset<long long>{thousandths(64 * pi), thousandths(36 * pi),
                                               thousandths(25 * pi)}));
}

}  // namespace
}  // namespace blocknest
