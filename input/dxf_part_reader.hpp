#pragma once  // input/dxf_part_reader.hpp: parts from the outlines of a DXF drawing
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "geometry/curve_loop.hpp"
#include "geometry/part.hpp"
#include "input/input_file.hpp"
#include "input/part_file_reader.hpp"

namespace blocknest {

// How to read a drawing.
struct DxfReadSettings {
    // > 0, in the units the parts are read in; none: kDefaultDxfTolerance millimetres in those
    // units where they are known, else kDefaultDxfTolerance of them.
    std::optional<double> tolerance;
    std::optional<double> join;       // > 0, the same units: ends this close meet; none: tolerance
    std::optional<int> targetUnits;   // an $INSUNITS code to convert to; none: no conversion
    std::optional<int> assumedUnits;  // the $INSUNITS code of drawings that name none (0)
    std::string fallbackName = "NoName";  // for outlines on layer "0" outside any block
    std::vector<std::string> layers;      // read only outlines on these layers; empty: all
    std::vector<std::string> skipLayers;  // leave out outlines on these layers
    // A sheet: outlines that cross a larger one are handed back (crossingOutlines) rather
    // than left out with a warning.
    bool keepCrossingOutlines = false;
    // A part drawing as shops draw them: a frame (see findFrame) is left out, and open lines
    // that meet an outline on another layer are kept as mark lines (see takeMarkLines). A
    // sheet drawing is read without either.
    bool shopDrawing = true;
    bool keepFrames = false;  // a frame is read as drawn: a part, what it encloses its holes
};

// Whether an outline on a layer is read under the settings' layer lists; layer names match
// whatever their case, as CAD programs treat them.
[[nodiscard]] bool readsLayer(const DxfReadSettings& settings, const std::string& layer);

// Bounds on what one drawing may ask for, so that a hostile file fails clearly.
struct DxfReadLimits {
    std::size_t maxLineLength = std::size_t{1} << 20;  // characters of one line
    std::int64_t maxEntities = 2'000'000;              // after block references are expanded
    std::int64_t maxStoredVertices = 20'000'000;       // over every flattened outline
    int maxBlockDepth = 16;                            // blocks inside blocks
    int maxArcSegments = 1 << 16;                      // chords for one curve
};

// What the drawing holds: one part per outermost contour with the contours directly inside it
// as holes (a contour inside a hole is a part again), in the order their outlines appear.
struct DxfPartsContents {
    PartList parts;
    std::vector<PartCurves> curves;  // per part in list order: its outlines with their arcs
    int insUnits = 0;                // the drawing's $INSUNITS code; 0 when it names none
    double unitScale = 1;            // the factor applied to every coordinate (1 without --units)
    int partUnits = 0;     // the $INSUNITS code the parts are in: the target, if converted
    int assumedUnits = 0;  // the code taken for a drawing that names none; 0: none taken
    std::vector<std::string> warnings;  // one line each: what was left out, where and why
    // With keepCrossingOutlines: each outline that crosses a larger one, as a polygon that
    // holds it (tangents outside its arcs), with the entities it was drawn as.
    struct CrossingOutline {
        Loop loop;
        std::string label;
    };
    std::vector<CrossingOutline> crossingOutlines;
};

// The tolerance a drawing is read with, in the units its parts are read in (an $INSUNITS
// code; 0 when unknown): the one the settings give, else the default as above.
[[nodiscard]] double toleranceIn(const DxfReadSettings& settings, int partUnits);

// Reads the drawing at path; path labels the messages.
[[nodiscard]] std::variant<DxfPartsContents, InputError> readDxfPartFile(
    const std::string& path, const DxfReadSettings& settings = {},
    const DxfReadLimits& limits = {});

// Reads a drawing from a stream; sourceName labels the messages.
[[nodiscard]] std::variant<DxfPartsContents, InputError> readDxfPartData(
    std::istream& in, const std::string& sourceName, const DxfReadSettings& settings = {},
    const DxfReadLimits& limits = {});

// The unit an $INSUNITS code names ("millimetres"), or "unitless" for 0 and unknown codes.
[[nodiscard]] std::string_view insUnitsName(int code);
// Its symbol ("mm", "in"), or its name where it has none; empty for an unknown code.
[[nodiscard]] std::string_view insUnitsSymbol(int code);

// Metres per unit of an $INSUNITS code; nothing for 0 and unknown codes.
[[nodiscard]] std::optional<double> metresPerUnit(int code);

// The $INSUNITS code of a unit as the command line names it: mm, cm, dm, m, in, ft, yd, um.
[[nodiscard]] std::optional<int> insUnitsFromName(std::string_view name);

}  // namespace blocknest
