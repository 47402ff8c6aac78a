#pragma once  // output/json_writer.hpp: the placements as JSON, in the strip-packing conventions
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "geometry/input_item.hpp"
#include "geometry/part.hpp"
#include "output/job_sheet.hpp"
#include "output/statistics.hpp"

namespace blocknest {

// What the placement list says about the run besides the parts.
struct PlacementRun {
    std::string name;                     // the instance's name
    std::vector<std::string> inputFiles;  // the files the job was read from
    double sheetLength = 0;
    double sheetWidth = 0;
    int rotationCount = 2;  // the turns of the items without their own
    double runSeconds = 0;  // the packing run's time
    // With several sheets: each part's sheet index from 0 in list order, or a negative value
    // for a part on none (-2: it fits no empty sheet). Empty with one sheet.
    std::vector<int> sheetOf;
    std::vector<PackingStatistics> sheetFigures;  // with several sheets: each used sheet
    int sheetsAtLeast = 0;                // with several sheets: the least number of sheets by area
    std::vector<std::string> sheetKinds;  // with a stock: each used sheet's kind
    std::optional<double> sheetAreaUsed;  // when the sheets differ in size
    // The filler parts placed, by name with their count; empty when the job has none.
    std::vector<std::pair<std::string, int>> fillersPlaced;
    // With a job sheet: its figures per distinct sheet, written as "job_sheet".
    std::vector<JobSheetFigures> jobSheet;
    JobCosts costs;  // with a job sheet and a stock: a remnant given back, the least cost
};

// The rotation (degrees) and translation that take an item's input outline, mirrored about
// the Y axis if the part was, turned about the origin and then moved, onto a packed part.
struct Placement {
    bool mirrored = false;
    double rotationDegrees = 0;
    double translationX = 0;
    double translationY = 0;
};

// The placement of a packed part from the outline it was read with: its turn, and the
// translation that carries the turned first outer vertex onto the part's first outer vertex.
[[nodiscard]] Placement placementOf(const Part& part, const InputItem& item);

// The instance (every item with its id, name, demand, orientations and outline, closed as the
// conventions write it, and the file it came from), then the solution: the packed length as
// "strip_width", the sheet, the density, the run time, every part lying on the sheet with its
// item id, name, rotation and translation ("mirrored": true first for a mirrored part, and
// "sheet", numbered from 1, when the run filled several sheets), and every other part with
// the reason; with several sheets also "sheets", each used sheet's number, part count, packed
// length and density, and the job's "sheet_area_used" and "scrap_area" (as the report
// counts them). A filler part placed says "filler": true, and "filler_parts_placed" lists
// their names with counts when the job has filler parts. Parts appear
// in packing order; item ids index the written instance's items.
[[nodiscard]] std::string formatPlacementJson(const PartList& parts,
                                              std::span<const InputItem> items,
                                              const PackingStatistics& statistics,
                                              const PlacementRun& run);

}  // namespace blocknest
