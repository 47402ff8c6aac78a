#pragma once  // input/job_list_reader.hpp: a job list, one input file with its quantity per line
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "geometry/orientation.hpp"
#include "input/input_file.hpp"
#include "input/part_file_reader.hpp"

namespace blocknest {

// One row of a job list: a drawing (or part data file, or JSON instance) and what the row says
// about its parts. Empty cells leave the file's or the command line's choice.
struct JobListRow {
    int line = 0;                                   // in the list, from 1
    std::string path;                               // relative paths taken from the list's folder
    std::optional<std::int64_t> quantity;           // copies of each of the drawing's parts
    std::optional<std::string> name;                // the parts' name
    std::optional<std::vector<Orientation>> turns;  // the parts' own turns
    bool mirror = false;                            // the turns mirrored too
    std::optional<std::string> layer;               // the layers to read, ';' between two
    std::optional<int> units;         // the $INSUNITS code of a drawing that names none
    std::optional<std::string> part;  // the one part of a drawing the row takes, by its name
    std::optional<FillerCount> fill;  // the parts are fillers: this many copies, or max
};

// True when the text opens a job list: its first line that is not blank starts with "file,"
// (any case, after a byte order mark).
[[nodiscard]] bool opensJobList(std::string_view head);

// Reads a job list: CSV with a header line naming the columns, "file" first and "quantity"
// required, "name", "rotations" (a count like -r, or degrees separated by ';' or spaces),
// "mirror" (yes/no), "layer" (a name, or names separated by ';') and "fill" (a count or max: the
// row's parts are filler parts, the quantity cell then empty) optional, in any order; fields
// may be quoted ("a, b" with "" for a quote). Blank lines and lines starting with '#' are skipped.
// A fault ends the reading with one line naming the list and the line: "jobs.csv:4: ...".
[[nodiscard]] std::variant<std::vector<JobListRow>, InputError> readJobList(
    std::istream& in, const std::string& path);

// The same for the file at path; relative paths in it are taken from its folder.
[[nodiscard]] std::variant<std::vector<JobListRow>, InputError> readJobListFile(
    const std::string& path);

}  // namespace blocknest
