#pragma once  // job/part_rows.hpp: what a job's files hold, part by part, before it runs
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "job/job.hpp"

namespace blocknest {

// One part as its file gives it: how many, its box, net area, turns and outline as read.
struct PartRow {
    std::string name;
    std::int64_t copies = 0;
    double width = 0;   // its box along X, as read
    double height = 0;  // along Y
    double netArea = 0;
    std::vector<double> turns;                     // its own turns in degrees; empty: the job's
    bool mirror = false;                           // its own turns include mirrored ones
    std::vector<std::pair<double, double>> outer;  // corners, not closed
    std::vector<std::vector<std::pair<double, double>>> holes;  // the same
};

// A layer of a drawing: how many entities lie on it and whether the job reads it.
struct DrawingLayer {
    std::string name;
    int entities = 0;
    bool read = true;
};

// One file of the job as read on its own: its parts, or why it cannot be read, and the lines
// its reader has for the user, in the command line's words.
struct FileRows {
    std::string path;
    std::string format;  // "part data file", "JSON instance", "DXF drawing" or "job list"
    std::vector<PartRow> parts;
    std::vector<std::string> warnings;
    std::optional<std::string> error;  // the file could not be read: why, in full lines
    double sheetLength = 0;            // the sheet the file gives; 0: none
    double sheetWidth = 0;
    int insUnits = 0;                  // a drawing's $INSUNITS code as drawn; 0: none
    std::vector<DrawingLayer> layers;  // a drawing's layers, in the order first met
    std::vector<std::string> listed;   // a job list's: the paths of the files it names, once each
};

// Reads each of the job's files with the job's reading settings (copies, turns, units,
// layers), one after another; a file that fails is named with its reason and the others are
// still read. Never throws.
[[nodiscard]] std::vector<FileRows> describeParts(const JobDescription& job);

// The paths of the files a job list names, once each in the list's order; none when the file
// is not a job list or cannot be read.
[[nodiscard]] std::vector<std::string> listedFiles(const std::string& path);

}  // namespace blocknest
