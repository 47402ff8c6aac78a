#pragma once  // job/job.hpp: a whole nesting job, from its description to its files
// The one door of the engine: every front end (the command line, the page, the Python module)
// describes a job, runs it through runJob and reads the result; the messages, progress and
// outputs are those of the command line.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/console.hpp"
#include "input/input_file.hpp"
#include "output/cam_layers.hpp"

namespace blocknest {

// A part given as polygons rather than in a file: its outer contour and holes, each a list of
// (x, y) corners not closed, in the job's units.
struct PartShape {
    std::string name;
    std::vector<std::pair<double, double>> outer;
    std::vector<std::vector<std::pair<double, double>>> holes;
    std::int64_t copies = 1;
    std::vector<double> turns;  // degrees; empty: the job's rotations
    bool mirror = false;        // also each turn mirrored about the Y axis
};

// What to nest, on what, how hard to search, and what to write; every default is the plain
// run's: 2 turns, one sheet, no gaps, no search, Layout.dxf and Results.txt in the current
// directory. Lengths are in the job's drawing units.
struct JobDescription {
    static constexpr int kDefaultRotations = 2;
    static constexpr int kMaxRotations = 360;

    std::vector<InputFile> files;    // part data files, drawings (FILE:N), JSON instances, lists
    std::vector<PartShape> parts;    // parts given as polygons, after those of the files
    std::optional<SheetSize> sheet;  // replaces the sheet a file gives
    std::optional<std::string> sheetDxf;   // the sheet's outline and defects from a drawing
    std::optional<std::string> stockFile;  // the sheets are chosen from this stock list
    int sheets = 1;  // sheets the parts may fill, one after another; 0: as many as needed
    int rotations = kDefaultRotations;  // trial orientations per part, 1 .. kMaxRotations
    bool mirror = false;                // also try every part mirrored about its Y axis
    double spacing = 0;                 // the least gap between two parts
    double margin = 0;                  // the least gap between a part and the sheet's edges
    std::int64_t copies = 1;            // per drawing part without FILE:N

    // Drawings: chords, joints, units, layers.
    std::optional<double> tolerance;      // chords and joints; none: 0.05 mm in drawing units
    std::optional<double> join;           // joints, the job's units; none: the tolerance
    std::optional<int> units;             // drawings converted to this $INSUNITS code
    std::optional<int> assumeUnits;       // the $INSUNITS code of drawings naming none
    std::vector<std::string> layers;      // the only layers of drawings read
    std::vector<std::string> skipLayers;  // layers of drawings left out
    bool keepFrames = false;              // a drawing's frame is read as a part

    // The search: a time limit or an evaluation budget turns it on.
    std::optional<double> timeLimit;          // seconds
    std::optional<std::int64_t> evaluations;  // packing runs and part moves; reproducible
    std::uint64_t seed = 1;
    int threads = 0;           // 0: one per core
    bool overlapPhase = true;  // the search's second phase

    // Outputs: Layout.dxf and Results.txt in outputDir (unless writeLayout is off), and those
    // asked for besides.
    bool writeLayout = true;
    std::optional<std::string> outputDir;  // the current directory when absent
    std::optional<std::string> svgFile;    // the layout as an SVG picture
    std::optional<std::string> jsonFile;   // the placement list
    std::optional<std::string> camFile;    // the drawing for cutting ({n}: per sheet)
    CamLayers camLayers = CamLayers::byKind;
    bool camLabels = false;
    bool remnantCut = false;  // the last sheet's cut file draws where the remnant comes off
    std::optional<std::string> remnantDxf;    // what is left of the last sheet
    std::optional<std::string> jobSheetFile;  // a printable page: what to cut, how often
    std::optional<std::string> stockOutFile;  // the stock left after the job, the remnant added

    bool quiet = false;   // no progress lines
    bool strict = false;  // lines of a part data file read against their likely meaning refuse it
};

// True when a search for a denser layout was asked for.
[[nodiscard]] inline bool searchRequested(const JobDescription& job) {
    return job.timeLimit || job.evaluations;
}

struct PartPlacement;

// How the front end follows and steers a run. Text goes to the console, and a search's
// figures also to progress (from the thread that runs the job); a search that sees stop set
// ends and its best layout is written, named by stopCause ("Ctrl-C").
struct JobControl {
    bool liveProgress = false;  // progress lines rewritten in place (a terminal), else a line each
    std::function<void(const SearchReport&)> progress;
    const std::atomic<bool>* stop = nullptr;
    std::function<std::string()> stopCause;
    // When set, a one-sheet search hands over its best layout as it improves (the one-pass
    // layout first), at most once a second; x, y and rotation are those of the final list.
    std::function<void(const std::vector<PartPlacement>&)> layouts;
};

// The figures of the written layout, as the report gives them.
struct JobFigures {
    double packedLength = 0;  // the last sheet's, over several sheets
    double density = 0;       // percent; 0 when nothing was placed
    int partsPlaced = 0;
    int partsLeftOff = 0;
    int sheetsUsed = 0;
};

// Where a part lies: its outline as read, mirrored about the Y axis when mirrored, turned by
// rotation degrees about the origin, then moved by (x, y) in its sheet's own coordinates; and
// that outline and its holes as placed, corners not closed.
struct PartPlacement {
    std::string name;
    int sheet = 1;  // from 1
    double x = 0;
    double y = 0;
    double rotation = 0;
    bool mirrored = false;
    std::vector<std::pair<double, double>> outer;               // the placed outline's corners
    std::vector<std::vector<std::pair<double, double>>> holes;  // the placed holes' corners
};

// A part left off every sheet, and why: "no area", "self-crossing outline", "larger than the
// sheet" or "no room left".
struct LeftOffPart {
    std::string name;
    std::string reason;
};

// A sheet of a stock that the layout used: its kind ("1200x600", or a drawing's stem), the
// box of its outline, the area of its material and what it costs (the stock's cost, which is
// the material's area where the stock names none).
struct UsedSheet {
    int sheet = 1;  // from 1
    std::string kind;
    double length = 0;
    double width = 0;
    double material = 0;
    double cost = 0;
};

struct FinishedJob;  // the layout a run made, for writing its outputs later

// How a run ended: the command line's exit code (0 done, 1 an input or output failed, 2 the
// job was wrong), whether a stop cut its search short, and, when it made a layout, its
// figures, every placed part in packing order, the parts left off, the stock's sheets used
// and the layout itself.
struct JobResult {
    int exitCode = 0;
    bool cutShort = false;
    std::optional<JobFigures> figures;
    std::vector<PartPlacement> placements;
    std::vector<LeftOffPart> leftOff;
    std::vector<UsedSheet> stockSheets;  // with a stock: every sheet used, in order
    std::shared_ptr<const FinishedJob> finished;
};

// The library's version, "1.0.0".
[[nodiscard]] const char* libraryVersion();

// Reads, packs, searches and writes the job; every failure is one line on the console's error
// stream and an exit code, never an exception.
[[nodiscard]] JobResult runJob(const JobDescription& job, Console& console,
                               const JobControl& control = {});

// Writes the outputs that outputs names (its output fields only: writeLayout with outputDir,
// svgFile, jsonFile, camFile with its settings, remnantDxf, jobSheetFile, stockOutFile) for
// the layout of a
// finished run, all or none, never over one of the run's inputs; returns the exit code as runJob
// does.
[[nodiscard]] int writeJobOutputs(const JobResult& result, const JobDescription& outputs,
                                  Console& console);

}  // namespace blocknest
