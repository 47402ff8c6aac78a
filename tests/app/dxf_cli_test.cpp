#include <gtest/gtest.h>

#include "input/dxf_part_reader.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

const std::string kBracket = BLOCKNEST_SOURCE_DIR "/examples/bracket.dxf";
const std::string kOutlines = BLOCKNEST_SOURCE_DIR "/tests/data/dxf/outlines.dxf";

class DxfCliTest : public testing::Test {
protected:
    DxfPartsContents read(const std::filesystem::path& path, const DxfReadSettings& settings = {}) {
        auto result = readDxfPartFile(path.string(), settings);
        if (const auto* error = std::get_if<InputError>(&result)) {
            ADD_FAILURE() << error->detail;
            return {};
        }
        return std::move(std::get<DxfPartsContents>(result));
    }
    static std::vector<Loop> loopsOf(const PartList& parts) {
        std::vector<Loop> loops;
        for (const Part& part : parts) {
            loops.push_back(part.outerLoop());
            for (const Loop& hole : part.innerLoops()) loops.push_back(hole);
        }
        return loops;
    }
    // Outlines the same to the six significant digits the layout is written with, compared
    // within a unit of the last digit.
    static void expectSameOutlines(const std::vector<Loop>& a, const std::vector<Loop>& b) {
        const auto ca = canonicalLoops(a, 6), cb = canonicalLoops(b, 6);
        ASSERT_EQ(ca.size(), cb.size());
        for (std::size_t i = 0; i < ca.size(); ++i) {
            ASSERT_EQ(ca[i].size(), cb[i].size()) << "loop " << i;
            for (std::size_t k = 0; k < ca[i].size(); ++k) {
                const auto [ax, ay] = ca[i][k];
                const auto [bx, by] = cb[i][k];
                EXPECT_NEAR(ax, bx, 1e-5 * std::max(1.0, std::fabs(bx)))
                    << "loop " << i << ", " << k;
                EXPECT_NEAR(ay, by, 1e-5 * std::max(1.0, std::fabs(by)))
                    << "loop " << i << ", " << k;
            }
        }
    }
    TempDir dir_;
};

// Both drawings of one run, read back by the DXF reader, hold the same outlines to the
// layout's six digits: the drawing for cutting keeps the arcs as drawn, placed as the parts
// were, and read again they give the very polygons that were packed.
TEST_F(DxfCliTest, TheDrawingForCuttingHoldsTheLayoutsOutlines) {
    const RunResult run = runBlocknestBinary({"--no-pause", "-q", "--sheet", "600x300", "-r", "4",
                                              "--dxf-cam", "cam.dxf", kBracket + ":3"},
                                             dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Quiet: what the drawing names, with nothing assumed or converted, goes unsaid.
    EXPECT_EQ(run.err.find("drawing units"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("Part Number:6\n"), std::string::npos) << run.out;

    DxfReadSettings partsOnly;
    partsOnly.layers = {"parts", "HOLES"};
    const DxfPartsContents cam = read(dir_.path() / "cam.dxf", partsOnly);
    const DxfPartsContents layout = read(dir_.path() / "Layout.dxf");
    EXPECT_EQ(cam.insUnits, 4);
    ASSERT_EQ(cam.warnings.size(), 1u);
    EXPECT_EQ(cam.warnings.front(),
              (dir_.path() / "cam.dxf").string() +
                  ": 1 entity on layer SHEET is left out: that layer is not read");
    ASSERT_EQ(layout.warnings.size(), 1u) << "the packed-length line is an open contour";
    std::vector<Loop> packed = loopsOf(layout.parts);
    std::erase_if(packed, [](const Loop& loop) { return loop.area() == 600.0 * 300; });
    expectSameOutlines(loopsOf(cam.parts), packed);
    // 3 brackets with 2 bolt holes and a slot each, 3 washers with a bore.
    EXPECT_EQ(loopsOf(cam.parts).size(), 3u * 4 + 3 * 2);
    const std::string file = readFile(dir_.path() / "cam.dxf");
    const std::size_t entities = file.find("ENTITIES");
    const std::string text = file.substr(entities, file.find("OBJECTS") - entities);
    // Per bracket: the half-round end and the slot's two ends; per washer and hole: two half
    // turns. No chords of arcs remain.
    EXPECT_EQ(countOf(text, "\n 42\n"), 3 * (1 + 2 + 2 * 2) + 3 * 2 * 2) << text;
}

// A job over several sheets gets one drawing for cutting per sheet used, numbered, each with
// the parts the report gives its sheet; labels and outlines pair up.
TEST_F(DxfCliTest, EverySheetUsedGetsADrawingForCuttingOfItsOwn) {
    const std::string workshop = BLOCKNEST_SOURCE_DIR "/examples/workshop_parts.txt";
    for (const std::string& name : {std::string("cut.dxf"), std::string("s{n}/cam.dxf")}) {
        const std::filesystem::path out = dir_.path() / std::to_string(name.size());
        std::filesystem::create_directories(out / "s1");
        std::filesystem::create_directories(out / "s2");
        std::filesystem::create_directories(out / "s3");
        const RunResult run =
            runBlocknestBinary({"--no-pause", "-q", "--sheets", "3", "--sheet", "400x300",
                                "--dxf-cam", name, "--dxf-cam-labels", workshop},
                               out);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find("Sheets used: 3 "), std::string::npos) << run.out;
        const std::string report = readFile(out / "Results.txt");
        int placed = 0;
        int labelled = 0;
        for (int k = 1; k <= 3; ++k) {
            const std::filesystem::path file = name == "cut.dxf"
                                                   ? out / ("cut-" + std::to_string(k) + ".dxf")
                                                   : out / ("s" + std::to_string(k)) / "cam.dxf";
            ASSERT_TRUE(std::filesystem::exists(file)) << file;
            const std::string cam = readFile(file);
            const std::string parts =
                textAfter(report, "Sheet " + std::to_string(k) + ": Packed length:", "\n");
            const int count = std::stoi(textAfter(parts, "Parts:"));
            placed += count;
            EXPECT_EQ(countOf(cam, "\n  8\nPARTS\n"), count) << file;
            // A part too small for a label 3 units high goes without: the run counts those.
            const int labels = static_cast<int>(countOf(cam, "\n  8\nLABELS\n"));
            EXPECT_LE(labels, count) << file;
            labelled += labels;
            EXPECT_EQ(read(file).insUnits, 0);
        }
        EXPECT_GT(placed, 0);
        const int unlabelled = placed - labelled;
        if (unlabelled > 0) {
            EXPECT_NE(
                run.err.find(std::to_string(unlabelled) + (unlabelled == 1 ? " label" : " labels") +
                             " left out: parts too small"),
                std::string::npos)
                << run.err;
        }
        EXPECT_FALSE(std::filesystem::exists(out / "cut.dxf"));
        EXPECT_FALSE(std::filesystem::exists(out / "cut-4.dxf"));
    }
}

TEST_F(DxfCliTest, WhatADrawingLeavesOutIsSaidOnStandardError) {
    const RunResult run = runBlocknestBinary(
        {"--no-pause", "-q", "--sheet", "3000x500", "--copies", "2", kOutlines}, dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("the open contour of LINE 3A, LINE 3B is left out"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("LWPOLYLINE 3C is left out"), std::string::npos);
    EXPECT_NE(run.out.find("Part Number:12\n"), std::string::npos) << run.out;
}

// A plate as a drawing office sends it (tests/data/dxf/framed.dxf, written by ezdxf): a frame
// and title block on FRAME, a dimension and extension lines on DIM. As it is, the frame
// swallows the plate and says so; with the layers left out, the plate is the one part, named
// after the file, with its bore and its rounded corner kept as arcs.
TEST_F(DxfCliTest, AFrameIsLeftOutWithOneLineAndTheLayerOptionsLeaveItOut) {
    const std::string framed = BLOCKNEST_SOURCE_DIR "/tests/data/dxf/framed.dxf";
    RunResult run =
        runBlocknestBinary({"--no-pause", "-q", "--sheet", "400x300", framed}, dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(countOf(run.err,
                      "framed.dxf: a frame is left out: a border with a title block "
                      "(LWPOLYLINE 8D, LWPOLYLINE 8E on layer FRAME and 1 line drawn on it) "
                      "enclosing every other contour; --keep-frames reads it as a part\n"),
              1)
        << run.err;
    EXPECT_EQ(countOf(run.err, "\n"), 5) << "frame, dimension, text, two lines: " << run.err;
    EXPECT_NE(run.out.find("Part Number:1\n"), std::string::npos) << run.out;
    run = runBlocknestBinary({"--no-pause", "-q", "--sheet", "400x300", "--keep-frames", framed},
                             dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("frame is left out"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("Part Number:2\n"), std::string::npos) << run.out;
    for (const std::vector<std::string>& choice :
         {std::vector<std::string>{"--skip-layers", "frame, DIM"},
          std::vector<std::string>{"--layers", "Plate"}}) {
        std::vector<std::string> args{"--no-pause", "-q",          "--sheet",   "400x300",
                                      "--json",     "placed.json", "--dxf-cam", "cut.dxf"};
        args.insert(args.end(), choice.begin(), choice.end());
        args.push_back(framed);
        run = runBlocknestBinary(args, dir_.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err.find("frame is left out"), std::string::npos) << run.err;
        EXPECT_EQ(countOf(run.err,
                          "framed.dxf: 7 entities on layers DIM, FRAME are left out: "
                          "those layers are not read\n"),
                  1)
            << run.err;
        EXPECT_EQ(countOf(run.err, "left out"), 1) << "the dimension and open lines too" << run.err;
        EXPECT_NE(run.out.find("Part Number:1\n"), std::string::npos) << run.out;
        EXPECT_EQ(countOf(readFile(dir_.path() / "placed.json"), "\"name\": \"framed\""), 4)
            << "the run, the instance, its item and the placed part";
        // The bore as two half turns, the rounded corner as a quarter turn.
        EXPECT_EQ(countOf(readFile(dir_.path() / "cut.dxf"), "\n 42\n0.41421356237309"), 1);
    }
}

// A drawing of which every contour is left out (tests/data/dxf/only_faults.dxf): the run
// fails, and still names every contour and why, before the line that ends it.
TEST_F(DxfCliTest, TheReasonsStayWhenNoPartIsLeft) {
    const std::string onlyFaults = BLOCKNEST_SOURCE_DIR "/tests/data/dxf/only_faults.dxf";
    const RunResult run =
        runBlocknestBinary({"--no-pause", "-q", "--sheet", "300x300", onlyFaults}, dir_.path());
    EXPECT_EQ(run.exitCode, 1);
    const std::size_t open = run.err.find("the open contour of LINE 2F, LINE 30 is left out");
    const std::size_t crossing = run.err.find("LWPOLYLINE 31 is left out: its outline crosses");
    const std::size_t tilted = run.err.find("CIRCLE 32 is left out: it is not drawn in the XY");
    const std::size_t end = run.err.find("holds no part to pack");
    ASSERT_NE(end, std::string::npos) << run.err;
    for (const std::size_t at : {open, crossing, tilted}) EXPECT_LT(at, end) << run.err;
}

TEST_F(DxfCliTest, FaultsAndBadOptionsEndWithALineNamingThem) {
    const auto bad = dir_.write("bad.dxf",
                                "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\nten\n"
                                "  0\nENDSEC\n  0\nEOF\n");
    RunResult run =
        runBlocknestBinary({"--no-pause", "--sheet", "100x100", bad.string()}, dir_.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("bad.dxf:8: group code 10 needs a finite number, not 'ten'"),
              std::string::npos)
        << run.err;

    const auto unitless = dir_.write("plain.dxf",
                                     "  0\nSECTION\n  2\nENTITIES\n  0\nCIRCLE\n 10\n0\n 20\n0\n"
                                     " 40\n5\n  0\nENDSEC\n  0\nEOF\n");
    run = runBlocknestBinary(
        {"--no-pause", "--sheet", "100x100", "--units", "mm", unitless.string()}, dir_.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("plain.dxf: the drawing does not name its units ($INSUNITS 0), so it "
                           "cannot be converted to millimetres; --assume-units U says what they "
                           "are\n"),
              std::string::npos)
        << run.err;
    // An old R12 drawing, without $INSUNITS, said to be in inches.
    const std::string r12 = BLOCKNEST_SOURCE_DIR "/tests/data/dxf/repeats_r12.dxf";
    run = runBlocknestBinary({"--no-pause", "-q", "--sheet", "9000x9000", "--units", "mm",
                              "--assume-units", "in", "--dxf-cam", "cut.dxf", r12},
                             dir_.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("repeats_r12.dxf': drawing units unitless ($INSUNITS 0), taken as "
                           "inches (--assume-units), converted to millimetres (x 25.4)\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(readFile(dir_.path() / "cut.dxf").find("$INSUNITS\n 70\n4\n"), std::string::npos);

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--tolerance", "0", kBracket},
          std::vector<std::string>{"--units", "furlong", kBracket},
          std::vector<std::string>{"--dxf-cam-layers", "by-colour", kBracket},
          std::vector<std::string>{"--join", "0", kBracket},
          std::vector<std::string>{"--assume-units", "parsec", kBracket},
          std::vector<std::string>{"--skip-layers", "FRAME,", kBracket},
          std::vector<std::string>{"--layers", " ", kBracket}}) {
        run = runBlocknestBinary(args, dir_.path());
        EXPECT_EQ(run.exitCode, 2) << args[0];
        EXPECT_NE(run.err.find(args[0]), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace blocknest
