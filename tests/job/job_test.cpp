// The job library is the command line's engine: the same description gives the same files
// through runJob as through the program, failures come back as exit codes and lines, and a
// stop asked for keeps the best layout.
#include "job/job.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

#include "job/part_rows.hpp"
#include "support.hpp"

namespace blocknest {
namespace {

using testing_support::readFile;
using testing_support::RecordingConsole;
using testing_support::runBlocknestBinary;
using testing_support::RunResult;
using testing_support::TempDir;

const std::string kInstances = BLOCKNEST_SOURCE_DIR "/tests/data/instances/";
const std::string kBracket = BLOCKNEST_SOURCE_DIR "/examples/bracket.dxf";

// Every output the program writes, from the program and from the library, byte for byte.
TEST(JobTest, WritesWhatTheCommandLineWrites) {
    struct Case {
        std::string file;
        int rotations;
        std::vector<std::string> extra;  // command-line options, set on the description too
    };
    for (const Case& c : {Case{"poly1a.txt", 2, {}}, Case{"han.txt", 4, {}},
                          Case{"dighe1.txt", 1, {"--evaluations", "300"}},
                          Case{kBracket + ":5", 4, {"--sheet", "400x200", "--sheets", "0"}}}) {
        const std::string file = c.file.front() == '/' ? c.file : kInstances + c.file;
        TempDir cli;
        std::vector<std::string> args{
            "--no-pause", "-q",       "-r",    std::to_string(c.rotations),
            "--json",     "run.json", "--svg", "run.svg"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        args.push_back(file);
        const RunResult run = runBlocknestBinary(args, cli.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;

        TempDir lib;
        JobDescription job;
        const auto colon = file.rfind(':');
        if (colon != std::string::npos && colon > file.rfind('/')) {
            job.files.push_back({file.substr(0, colon), std::stoll(file.substr(colon + 1))});
        } else {
            job.files.push_back({file, std::nullopt});
        }
        job.rotations = c.rotations;
        job.quiet = true;
        job.outputDir = lib.path().string();
        job.jsonFile = (lib.path() / "run.json").string();
        job.svgFile = (lib.path() / "run.svg").string();
        for (std::size_t i = 0; i < c.extra.size(); i += 2) {
            if (c.extra[i] == "--evaluations") job.evaluations = std::stoll(c.extra[i + 1]);
            if (c.extra[i] == "--sheets") job.sheets = std::stoi(c.extra[i + 1]);
            if (c.extra[i] == "--sheet") job.sheet = SheetSize{400, 200};
        }
        RecordingConsole console;
        const JobResult result = runJob(job, console);
        ASSERT_EQ(result.exitCode, 0) << c.file;
        ASSERT_TRUE(result.figures.has_value());
        EXPECT_GT(result.figures->partsPlaced, 0);
        EXPECT_EQ(readFile(lib.path() / "Layout.dxf"), readFile(cli.path() / "Layout.dxf"))
            << c.file;
        EXPECT_EQ(readFile(lib.path() / "Results.txt").substr(0, 80),
                  readFile(cli.path() / "Results.txt").substr(0, 80))
            << c.file;
        EXPECT_EQ(readFile(lib.path() / "run.svg"), readFile(cli.path() / "run.svg")) << c.file;
        // The report's packed length is the figure the result gives, to its six digits.
        const std::string report = readFile(lib.path() / "Results.txt");
        if (job.sheets == 1) {
            EXPECT_NEAR(std::stod(testing_support::textAfter(report, "Packed length:", "\n")),
                        result.figures->packedLength, 1e-5 * result.figures->packedLength)
                << "the report gives six significant digits";
        }
    }
}

// A library call never throws and never ends the process: each failure is an exit code and
// lines on the console, as on the command line.
TEST(JobTest, FailuresAreExitCodesAndLines) {
    TempDir dir;
    {
        RecordingConsole console;
        const JobResult result = runJob(JobDescription{}, console);
        EXPECT_EQ(result.exitCode, 2);
        ASSERT_EQ(console.errors.size(), 1u);
        EXPECT_NE(console.errors[0].find("names no file and no part"), std::string::npos);
    }
    for (const bool byTime : {true, false}) {
        JobDescription job;
        job.files.push_back({kInstances + "poly1a.txt", std::nullopt});
        job.outputDir = dir.path().string();
        if (byTime) job.timeLimit = 0;
        if (!byTime) job.evaluations = 0;
        RecordingConsole console;
        EXPECT_EQ(runJob(job, console).exitCode, 2) << "an empty budget would search for ever";
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "Layout.dxf"));
    }
    {
        JobDescription job;
        job.files.push_back({(dir.path() / "missing.txt").string(), std::nullopt});
        job.outputDir = dir.path().string();
        RecordingConsole console;
        EXPECT_EQ(runJob(job, console).exitCode, 1);
        EXPECT_FALSE(console.errors.empty());
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "Layout.dxf"));
    }
    {
        const std::filesystem::path input =
            dir.write("parts.txt", readFile(kInstances + "han.txt"));
        JobDescription job;
        job.files.push_back({input.string(), std::nullopt});
        job.outputDir = dir.path().string();
        job.svgFile = input.string();
        RecordingConsole console;
        EXPECT_EQ(runJob(job, console).exitCode, 2);
        EXPECT_EQ(readFile(input), readFile(kInstances + "han.txt"));
    }
}

// A stop already asked for ends the search at once with the one-pass layout written, and says
// by what; the result says the search was cut short.
TEST(JobTest, AStopKeepsTheBestLayout) {
    TempDir dir;
    JobDescription job;
    job.files.push_back({kInstances + "poly1a.txt", std::nullopt});
    job.outputDir = dir.path().string();
    job.timeLimit = 60;
    job.quiet = true;
    const std::atomic<bool> stop{true};
    JobControl control;
    control.stop = &stop;
    control.stopCause = [] { return std::string("the Stop button"); };
    RecordingConsole console;
    const JobResult result = runJob(job, console, control);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.cutShort);
    ASSERT_TRUE(result.figures.has_value());
    EXPECT_GT(result.figures->density, 0);
    bool named = false;
    for (const std::string& line : console.errors) {
        named = named || line.find("cut short by the Stop button") != std::string::npos;
    }
    EXPECT_TRUE(named);
    EXPECT_NE(readFile(dir.path() / "Layout.dxf").find("EOF"), std::string::npos);
}

}  // namespace
}  // namespace blocknest

namespace blocknest {
namespace {

// The placements carry each part's outline, as the file gives it, onto the sheet: rectangles
// moved by them lie on the sheet and apart, checked here with boxes of the test's own; the
// part too large for the sheet is named with its reason; outputs written afterwards come from
// the same layout and never replace an input.
TEST(JobTest, PlacementsPutTheOutlinesOnTheSheetAndOutputsFollow) {
    TempDir dir;
    struct Rect {
        std::string name;
        double w, h;
        int copies;
    };
    const std::vector<Rect> rects{{"plate", 30, 20, 3}, {"bar", 45, 8, 4}, {"huge", 150, 5, 1}};
    std::string text = testing_support::partFileHeader(120, 60);
    for (const Rect& r : rects) {
        text +=
            testing_support::partBlock(r.name, r.copies, {{0, 0}, {r.w, 0}, {r.w, r.h}, {0, r.h}});
    }
    const std::filesystem::path input = dir.write("rects.txt", text);
    JobDescription job;
    job.files.push_back({input.string(), std::nullopt});
    job.rotations = 4;
    job.writeLayout = false;
    job.outputDir = dir.path().string();
    job.quiet = true;
    RecordingConsole console;
    const JobResult result = runJob(job, console);
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Layout.dxf"))
        << "writeLayout off writes no Layout.dxf";
    ASSERT_EQ(result.leftOff.size(), 1u);
    EXPECT_EQ(result.leftOff[0].name, "huge");
    EXPECT_EQ(result.leftOff[0].reason, "larger than the sheet");
    ASSERT_EQ(result.placements.size(), 7u);
    struct Box {
        double x0, y0, x1, y1;
    };
    std::vector<Box> boxes;
    for (const PartPlacement& p : result.placements) {
        const auto it = std::find_if(rects.begin(), rects.end(),
                                     [&](const Rect& r) { return r.name == p.name; });
        ASSERT_NE(it, rects.end());
        EXPECT_FALSE(p.mirrored);
        const double turn = p.rotation * std::acos(-1.0) / 180;
        Box box{1e300, 1e300, -1e300, -1e300};
        for (const auto& [vx, vy] : {std::pair{0.0, 0.0}, std::pair{it->w, 0.0},
                                     std::pair{it->w, it->h}, std::pair{0.0, it->h}}) {
            const double x = vx * std::cos(turn) - vy * std::sin(turn) + p.x;
            const double y = vx * std::sin(turn) + vy * std::cos(turn) + p.y;
            box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x),
                   std::max(box.y1, y)};
        }
        EXPECT_NEAR((box.x1 - box.x0) * (box.y1 - box.y0), it->w * it->h, 1e-6)
            << "a rectangle turned by a quarter turn stays a box";
        EXPECT_GE(box.x0, -1e-9);
        EXPECT_GE(box.y0, -1e-9);
        EXPECT_LE(box.x1, 120 + 1e-9);
        EXPECT_LE(box.y1, 60 + 1e-9);
        for (const Box& other : boxes) {
            const double dx = std::min(box.x1, other.x1) - std::max(box.x0, other.x0);
            const double dy = std::min(box.y1, other.y1) - std::max(box.y0, other.y0);
            EXPECT_FALSE(dx > 1e-9 && dy > 1e-9) << p.name << " overlaps a part placed before";
        }
        boxes.push_back(box);
    }
    JobDescription outputs;
    outputs.writeLayout = false;
    outputs.camFile = (dir.path() / "cut.dxf").string();
    outputs.svgFile = (dir.path() / "layout.svg").string();
    EXPECT_EQ(writeJobOutputs(result, outputs, console), 0);
    EXPECT_EQ(testing_support::countOf(readFile(dir.path() / "cut.dxf"), "LWPOLYLINE"), 7 + 1)
        << "seven parts and the sheet";
    const std::string picture = readFile(dir.path() / "layout.svg");
    for (const char* name : {"plate", "bar"}) {
        EXPECT_NE(picture.find(name), std::string::npos) << name;
    }
    outputs.svgFile = input.string();
    EXPECT_EQ(writeJobOutputs(result, outputs, console), 2);
    EXPECT_EQ(readFile(input), text);
    EXPECT_EQ(writeJobOutputs(JobResult{}, outputs, console), 1);
}

}  // namespace
}  // namespace blocknest

namespace blocknest {
namespace {

// Parts given as polygons nest exactly as the same parts read from a part data file: random
// outlines with holes, turns and copies, the same drawing byte for byte.
TEST(JobTest, PartsGivenAsPolygonsNestAsTheSamePartsFromAFile) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 4; ++trial) {
        TempDir dir;
        JobDescription fromShapes;
        std::string text = testing_support::partFileHeader(300, 120);
        const int kinds = 2 + trial;
        for (int k = 0; k < kinds; ++k) {
            const std::vector<Vertex> outline = testing_support::star(random, 0, 0, 20 + 5 * k, 7);
            std::vector<std::vector<Vertex>> holes;
            if (k % 2 == 0) holes.push_back({{-3, -3}, {-3, 3}, {3, 3}, {3, -3}});
            const int copies = 1 + k % 3;
            text += testing_support::partBlock("p" + std::to_string(k), copies, outline, holes);
            PartShape shape;
            shape.name = "p" + std::to_string(k);
            for (const Vertex& v : outline) shape.outer.emplace_back(v.x, v.y);
            for (const auto& hole : holes) {
                shape.holes.emplace_back();
                for (const Vertex& v : hole) shape.holes.back().emplace_back(v.x, v.y);
            }
            shape.copies = copies;
            fromShapes.parts.push_back(shape);
        }
        JobDescription fromFile;
        fromFile.files.push_back({dir.write("parts.txt", text).string(), std::nullopt});
        for (JobDescription* job : {&fromShapes, &fromFile}) {
            job->sheet = SheetSize{300, 120};
            job->rotations = 4;
            job->quiet = true;
            job->outputDir = (dir.path() / (job == &fromFile ? "file" : "shapes")).string();
        }
        RecordingConsole console;
        const JobResult shapes = runJob(fromShapes, console);
        const JobResult file = runJob(fromFile, console);
        ASSERT_EQ(shapes.exitCode, 0);
        ASSERT_EQ(file.exitCode, 0);
        EXPECT_EQ(readFile(dir.path() / "shapes" / "Layout.dxf"),
                  readFile(dir.path() / "file" / "Layout.dxf"))
            << "trial " << trial;
        ASSERT_EQ(shapes.placements.size(), file.placements.size());
        for (std::size_t i = 0; i < shapes.placements.size(); ++i) {
            EXPECT_EQ(shapes.placements[i].name, file.placements[i].name);
        }
        // Each placed outline is its given outline moved by the placement, corner for corner.
        for (const PartPlacement& placed : shapes.placements) {
            const auto shape =
                std::find_if(fromShapes.parts.begin(), fromShapes.parts.end(),
                             [&](const PartShape& s) { return s.name == placed.name; });
            ASSERT_NE(shape, fromShapes.parts.end());
            const auto expectMoved = [&](const std::vector<std::pair<double, double>>& given,
                                         const std::vector<std::pair<double, double>>& found) {
                ASSERT_EQ(given.size(), found.size()) << placed.name;
                const double turn = placed.rotation * std::acos(-1.0) / 180;
                for (const auto& [gx, gy] : given) {
                    const double x = placed.mirrored ? -gx : gx;
                    const double mx = x * std::cos(turn) - gy * std::sin(turn) + placed.x;
                    const double my = x * std::sin(turn) + gy * std::cos(turn) + placed.y;
                    EXPECT_TRUE(std::any_of(found.begin(), found.end(),
                                            [&](const auto& corner) {
                                                return std::hypot(corner.first - mx,
                                                                  corner.second - my) < 1e-6;
                                            }))
                        << placed.name << " corner (" << gx << ", " << gy << ")";
                }
            };
            expectMoved(shape->outer, placed.outer);
            ASSERT_EQ(shape->holes.size(), placed.holes.size()) << placed.name;
            for (std::size_t h = 0; h < placed.holes.size(); ++h) {
                expectMoved(shape->holes[h], placed.holes[h]);
            }
        }
    }
    PartShape flat;
    flat.name = "flat";
    flat.outer = {{0, 0}, {1, 0}};
    JobDescription job;
    job.parts.push_back(flat);
    job.sheet = SheetSize{10, 10};
    RecordingConsole console;
    EXPECT_EQ(runJob(job, console).exitCode, 1);
    ASSERT_FALSE(console.errors.empty());
    EXPECT_NE(console.errors.back().find("part 1 (\"flat\"): the outer contour"), std::string::npos)
        << console.errors.back();
}

}  // namespace
}  // namespace blocknest

namespace blocknest {
namespace {

// A search hands its figures to the progress callback, quiet or not: time moves on, the best
// length never grows between improvements, and the layout written is no longer than the
// first best reported, on one sheet and over several.
TEST(JobTest, ProgressReportsFollowTheSearch) {
    for (const int sheets : {1, 0}) {
        TempDir dir;
        JobDescription job;
        job.files.push_back({kInstances + "poly1a.txt", std::nullopt});
        job.outputDir = dir.path().string();
        job.evaluations = 3000;
        job.threads = 2;
        job.quiet = true;
        job.sheets = sheets;
        if (sheets == 0) job.sheet = SheetSize{12, 40};
        std::vector<SearchReport> reports;
        JobControl control;
        control.progress = [&reports](const SearchReport& report) { reports.push_back(report); };
        RecordingConsole console;
        const JobResult result = runJob(job, console, control);
        ASSERT_EQ(result.exitCode, 0);
        ASSERT_FALSE(reports.empty()) << "sheets " << sheets;
        EXPECT_EQ(console.out.find("Searching:"), std::string::npos) << "quiet shows no lines";
        double best = reports.front().packedLength;
        for (std::size_t i = 1; i < reports.size(); ++i) {
            EXPECT_GE(reports[i].elapsed, reports[i - 1].elapsed);
            EXPECT_GE(reports[i].layouts, reports[i - 1].layouts);
            if (reports[i].improved && reports[i].sheets == reports[i - 1].sheets) {
                EXPECT_LE(reports[i].packedLength, best + 1e-9) << "report " << i;
            }
            if (reports[i].sheets == reports[i - 1].sheets) best = reports[i].packedLength;
            EXPECT_GT(reports[i].density, 0);
        }
        if (sheets == 1) {
            EXPECT_LE(result.figures->packedLength, reports.front().packedLength + 1e-9);
        } else {
            EXPECT_LE(result.figures->sheetsUsed, reports.front().sheets);
            EXPECT_GE(reports.back().sheetsAtLeast, 1);
        }
    }
}

// The layouts a search hands over: the first is the one-pass run's layout, part for part and
// corner for corner, and with spacing the real parts are handed over where the grown ones
// went; every part each time, at most once a second.
TEST(JobTest, TheSearchHandsOverItsLayoutsTheOnePassOneFirst) {
    for (const double spacing : {0.0, 0.5}) {
        TempDir dir;
        JobDescription plain;
        plain.files.push_back({kInstances + "poly1a.txt", std::nullopt});
        plain.outputDir = dir.path().string();
        plain.quiet = true;
        plain.spacing = spacing;
        RecordingConsole quiet;
        const JobResult onePass = runJob(plain, quiet);
        ASSERT_EQ(onePass.exitCode, 0);
        JobDescription searched = plain;
        searched.timeLimit = 0.8;
        searched.threads = 2;
        std::vector<std::vector<PartPlacement>> layouts;
        std::vector<std::chrono::steady_clock::time_point> when;
        JobControl control;
        control.layouts = [&](const std::vector<PartPlacement>& placements) {
            layouts.push_back(placements);
            when.push_back(std::chrono::steady_clock::now());
        };
        RecordingConsole console;
        const JobResult result = runJob(searched, console, control);
        ASSERT_EQ(result.exitCode, 0);
        ASSERT_FALSE(layouts.empty()) << "spacing " << spacing;
        ASSERT_EQ(layouts.front().size(), onePass.placements.size());
        for (std::size_t i = 0; i < onePass.placements.size(); ++i) {
            const PartPlacement& a = layouts.front()[i];
            const PartPlacement& b = onePass.placements[i];
            EXPECT_EQ(a.name, b.name);
            ASSERT_EQ(a.outer.size(), b.outer.size());
            for (std::size_t k = 0; k < a.outer.size(); ++k) {
                EXPECT_NEAR(a.outer[k].first, b.outer[k].first, 1e-9);
                EXPECT_NEAR(a.outer[k].second, b.outer[k].second, 1e-9);
            }
        }
        for (std::size_t i = 1; i < when.size(); ++i) {
            EXPECT_GE(when[i] - when[i - 1], std::chrono::milliseconds(999)) << "once a second";
        }
        for (const auto& layout : layouts) {
            EXPECT_EQ(layout.size(), result.placements.size()) << "every part, every time";
        }
    }
}

// Watching a search changes nothing it does: the same evaluation budget writes the same
// Layout.dxf with layouts handed over as without, on one sheet (with and without spacing),
// over several sheets and over a stock plan's sheets; every layout handed over holds a part
// at most once, on a sheet the job uses.
TEST(JobTest, WatchingASearchLeavesItsLayoutAsItIs) {
    struct Case {
        double spacing;
        int sheets;
        bool stock;
    };
    for (const Case c :
         {Case{0, 1, false}, Case{0.5, 1, false}, Case{0.5, 0, false}, Case{0, 1, true}}) {
        const std::string label = "spacing " + std::to_string(c.spacing) + ", sheets " +
                                  std::to_string(c.sheets) + (c.stock ? ", stock" : "");
        TempDir dir;
        JobDescription job;
        job.files.push_back({kInstances + "poly1a.txt", std::nullopt});
        job.evaluations = 2500;
        job.threads = 2;
        job.quiet = true;
        job.spacing = c.spacing;
        job.sheets = c.sheets;
        if (c.sheets == 0) job.sheet = SheetSize{30, 40};
        if (c.stock) {
            job.stockFile =
                dir.write("stock.csv", "length,width,count,cost\n40,40,3,\n30,40,4,\n").string();
        }
        std::string written[2];
        int sheetsUsed = 0;
        std::vector<std::vector<PartPlacement>> layouts;
        for (const bool watched : {false, true}) {
            job.outputDir = (dir.path() / (watched ? "watched" : "plain")).string();
            std::filesystem::create_directories(*job.outputDir);
            JobControl control;
            if (watched) {
                control.layouts = [&](const std::vector<PartPlacement>& placements) {
                    layouts.push_back(placements);
                };
            }
            RecordingConsole console;
            const JobResult result = runJob(job, console, control);
            ASSERT_EQ(result.exitCode, 0)
                << label << (console.errors.empty() ? "" : console.errors.front());
            written[watched] = readFile(std::filesystem::path(*job.outputDir) / "Layout.dxf");
            sheetsUsed = result.figures->sheetsUsed;
        }
        EXPECT_EQ(written[0], written[1]) << label;
        ASSERT_FALSE(layouts.empty()) << label;
        for (const std::vector<PartPlacement>& layout : layouts) {
            std::vector<std::string> names;
            for (const PartPlacement& placed : layout) {
                EXPECT_GE(placed.sheet, 1) << label;
                if (c.sheets == 1 && !c.stock) {
                    EXPECT_EQ(placed.sheet, 1) << label;
                }
                names.push_back(placed.name + " " + std::to_string(placed.x) + " " +
                                std::to_string(placed.y) + " " + std::to_string(placed.sheet));
            }
            std::sort(names.begin(), names.end());
            EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << label;
        }
        EXPECT_GE(sheetsUsed, 1) << label;
    }
}

// The overlap phase's better layouts reach the watcher too, not only the first phase's: a
// layout shorter than the first phase's best is handed over, and the lengths handed over never
// grow, the one written no longer than the last. The watcher stops the job at that layout, so
// the test waits on the event, not on a time limit that a loaded machine could spend before
// the overlap phase moves a part; the evaluations only bound a search that never hands one
// over.
TEST(JobTest, TheOverlapPhaseHandsOverItsLayouts) {
    TempDir dir;
    JobDescription job;
    job.files.push_back({kInstances + "poly1a.txt", std::nullopt});
    job.outputDir = dir.path().string();
    job.evaluations = 100000;
    job.threads = 2;
    job.quiet = true;
    double firstPhaseBest = std::numeric_limits<double>::infinity();
    std::int64_t movesSoFar = 0;
    std::vector<double> lengths;
    bool overlapLayout = false;
    std::atomic<bool> stop{false};
    JobControl control;
    control.stop = &stop;
    control.progress = [&](const SearchReport& report) {
        movesSoFar = report.moves;
        if (report.moves == 0) firstPhaseBest = std::min(firstPhaseBest, report.packedLength);
    };
    control.layouts = [&](const std::vector<PartPlacement>& placements) {
        double length = 0;
        for (const PartPlacement& placed : placements) {
            for (const auto& corner : placed.outer) length = std::max(length, corner.first);
        }
        lengths.push_back(length);
        if (movesSoFar > 0 && length < firstPhaseBest * (1 - 1e-9)) {
            overlapLayout = true;
            stop.store(true);
        }
    };
    RecordingConsole console;
    const JobResult result = runJob(job, console, control);
    ASSERT_EQ(result.exitCode, 0);
    ASSERT_FALSE(lengths.empty());
    EXPECT_TRUE(overlapLayout) << "no layout shorter than the first phase's best ("
                               << firstPhaseBest << ") handed over; the last: " << lengths.back();
    for (std::size_t i = 1; i < lengths.size(); ++i) EXPECT_LE(lengths[i], lengths[i - 1] + 1e-9);
    EXPECT_LE(result.figures->packedLength, lengths.back() + 1e-9);
}

// The rows of a job's files: each part with its count, box and net area as read, a drawing's
// layers, and a file that cannot be read named with its reason while the others stay.
TEST(JobTest, DescribedPartsAreTheFilesPartsAndTheirFailures) {
    JobDescription job;
    job.files = {{BLOCKNEST_SOURCE_DIR "/examples/workshop_parts.txt", std::nullopt},
                 {kBracket, 3},
                 {"/no/such/file.txt", std::nullopt}};
    job.skipLayers = {"WASHER"};
    const std::vector<FileRows> files = describeParts(job);
    ASSERT_EQ(files.size(), 3u);
    std::int64_t copies = 0;
    for (const PartRow& row : files[0].parts) copies += row.copies;
    EXPECT_EQ(copies, 34);
    EXPECT_EQ(files[0].sheetLength, 1200);
    const PartRow& plate = files[0].parts.front();
    EXPECT_EQ(plate.name, "Base plate 200x120");
    EXPECT_NEAR(plate.width, 200, 1e-9);
    EXPECT_NEAR(plate.height, 120, 1e-9);
    EXPECT_NEAR(plate.netArea, 23275.9, 0.1);  // 200 x 120 less four holes as 8-gons
    ASSERT_EQ(files[1].parts.size(), 1u) << "the washer's layer is left out";
    EXPECT_EQ(files[1].parts.front().copies, 3);
    EXPECT_EQ(files[1].insUnits, 4);
    const auto washer = std::find_if(files[1].layers.begin(), files[1].layers.end(),
                                     [](const DrawingLayer& l) { return l.name == "washer"; });
    ASSERT_NE(washer, files[1].layers.end());
    EXPECT_FALSE(washer->read);
    EXPECT_FALSE(files[1].warnings.empty()) << "the drawing's units are said";
    ASSERT_TRUE(files[2].error);
    EXPECT_NE(files[2].error->find("/no/such/file.txt"), std::string::npos) << *files[2].error;
    EXPECT_TRUE(files[2].parts.empty());
}

}  // namespace
}  // namespace blocknest
