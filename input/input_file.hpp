#pragma once  // input/input_file.hpp: the files and the sheet a job is given, as plain values
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace blocknest {

// Curves are packed as polygons that stray at most this far from them, and unless told
// otherwise the ends of lines and arcs that lie this close join into one contour: in
// millimetres, converted to the units a drawing names; in the units of a drawing that names
// none.
inline constexpr double kDefaultDxfTolerance = 0.05;

// Copies of a drawing's parts that are optional (filler parts): a count, or as many as fit.
struct FillerCount {
    std::int64_t count = 0;
    bool asManyAsFit = false;
};

// One FILE of the command line: a path and, for drawings, how many copies of each part.
struct InputFile {
    InputFile() = default;
    InputFile(std::string path, std::optional<std::int64_t> copies = std::nullopt,
              std::optional<FillerCount> fill = std::nullopt)
        : path(std::move(path)), copies(copies), fill(fill) {}
    std::string path;
    std::optional<std::int64_t> copies;  // FILE:N; nothing takes the --copies default
    std::optional<FillerCount> fill;     // FILE:+N or --fill: the parts are fillers
};

// A sheet given on the command line.
struct SheetSize {
    double length = 0;
    double width = 0;
};

}  // namespace blocknest
