#pragma once  // app/options.hpp: the command line
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "input/job_input.hpp"
#include "output/dxf_cam_writer.hpp"

namespace blocknest {

// What the user asked for on the command line. With no option the run is the plain one:
// the file is asked for, the files go to the current directory, 2 rotations, a final pause.
struct Options {
    static constexpr int kDefaultRotations = 2;
    static constexpr int kMaxRotations = 360;

    std::vector<InputFile> files;             // the part data file is asked for when none
    std::optional<std::string> outputDir;     // the current directory when absent
    std::optional<std::string> svgFile;       // also draw the layout as SVG there
    int rotations = kDefaultRotations;        // trial orientations per part, 1 .. kMaxRotations
    std::optional<SheetSize> sheet;           // --sheet LENGTHxWIDTH
    std::int64_t copies = 1;                  // --copies: per drawing part without FILE:N
    std::optional<std::string> jsonFile;      // also write the placements as JSON there
    std::optional<double> timeLimit;          // seconds; turns the search on
    std::optional<std::int64_t> evaluations;  // packing runs; turns the search on
    std::uint64_t seed = 1;
    int threads = 0;           // search threads; 0: one per core
    bool overlapPhase = true;  // the search's second phase

    // Drawings in and out: --tolerance, --join, --units, --dxf-cam, --dxf-cam-layers,
    // --dxf-cam-labels.
    std::optional<double> tolerance;      // chords and joints; none: 0.05 mm in drawing units
    std::optional<double> join;           // --join: joints, the job's units; none: tolerance
    std::optional<int> units;             // drawings converted to this $INSUNITS code
    std::optional<int> assumeUnits;       // the $INSUNITS code of drawings naming none
    std::vector<std::string> layers;      // --layers: the only layers of drawings read
    std::vector<std::string> skipLayers;  // --skip-layers: layers of drawings left out
    std::optional<std::string> camFile;   // also a drawing for cutting there
    CamLayers camLayers = CamLayers::byKind;
    bool camLabels = false;  // --dxf-cam-labels

    // Gaps, sheets and mirroring: --spacing, --margin, --sheets, --mirror.
    double spacing = 0;   // the least gap between two parts, drawing units
    double margin = 0;    // the least gap between a part and the sheet's edges
    bool mirror = false;  // also try every part mirrored about its Y axis
    int sheets = 1;       // sheets the parts may fill, one after another; 0: as many as needed

    // Sheets as drawings and from stock: --sheet-dxf, --stock, --remnant-dxf.
    std::optional<std::string> sheetDxf;    // the sheet's outline and defects from a drawing
    std::optional<std::string> stockFile;   // the sheets are chosen from this stock list
    std::optional<std::string> remnantDxf;  // also write what is left of the last sheet there

    bool pause = true;
    bool quiet = false;   // no progress lines
    bool strict = false;  // lines read against their likely meaning are errors
    bool showHelp = false;
    bool showVersion = false;
};

// True when a search for a denser layout was asked for.
[[nodiscard]] inline bool searchRequested(const Options& options) {
    return options.timeLimit || options.evaluations;
}

struct UsageError {
    std::string message;  // one line, without the program name
};

[[nodiscard]] std::variant<Options, UsageError> parseOptions(
    const std::vector<std::string_view>& args);

// The --help text.
[[nodiscard]] std::string usageText();

}  // namespace blocknest
