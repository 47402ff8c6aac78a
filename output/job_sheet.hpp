#pragma once  // output/job_sheet.hpp: a printable page for the shop floor: what to cut, how often
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "geometry/input_item.hpp"
#include "output/statistics.hpp"

namespace blocknest {

// What the job sheet says about one distinct sheet layout and how often to run it.
struct JobSheetFigures {
    int runs = 1;                // identical sheets, grouped
    std::vector<int> numbers;    // the report's sheet numbers (from 1) of the group
    double cutLength = 0;        // every contour of every part, arcs as arcs
    int pierces = 0;             // one per contour
    double materialArea = 0;     // the sheet's (the outline's less its defects where drawn)
    double partArea = 0;         // the parts' net area
    std::optional<double> cost;  // one run's sheet cost, with a stock list
    // Each part name on the sheet (" (M)" added for the mirrored) and how many, in the order
    // they first appear.
    std::vector<std::pair<std::string, int>> parts;
};

// A remnant given back to the stock list after the job: the job is not charged for it, the
// job that takes it from stock is.
struct RemnantCredit {
    std::string id;  // the remnant's name and ID
    double value = 0;
};

// What a stock list adds to the job's costs.
struct JobCosts {
    std::optional<RemnantCredit> credit;  // a remnant given back, off the job's cost
    // The least the sheets could cost for the parts placed, by their area alone.
    std::optional<double> sheetsCostAtLeast;
};

// The job's totals over every run of every distinct sheet.
struct JobSheetTotals {
    int runs = 0;
    double cutLength = 0;
    int pierces = 0;
    double materialArea = 0;
    double partArea = 0;
    std::optional<double> sheetsCost;         // runs x cost summed, when every sheet has a cost
    std::optional<double> cost;               // sheetsCost less a remnant given back
    std::optional<double> sheetsCostAtLeast;  // with sheetsCost, when known
};

// Adds up the groups; the costs count only where the sheets have costs.
[[nodiscard]] JobSheetTotals jobSheetTotals(const std::vector<JobSheetFigures>& groups,
                                            const JobCosts& costs);

// Groups the sheets (each with its parts in its own coordinates) into distinct layouts: two
// sheets are one when they are of one kind and hold the same parts at the same places. Cut
// lengths follow the items' drawn arcs where they have them, else the polygons.
[[nodiscard]] std::vector<JobSheetFigures> jobSheetFigures(const std::vector<SheetLayout>& sheets,
                                                           std::span<const InputItem> items,
                                                           double sheetLength, double sheetWidth);

// The job sheet's figures as lines of Results.txt: one per distinct sheet ("Job sheet 1
// (sheets 1, 3): Runs:2 Parts:bracket x 3, washer x 2 Packing density:71.2% Cut length:..
// Pierces:.. Material:.. Scrap:.." and, with costs, " Sheet cost:.. Cost:.."), then the job's
// totals ("Job: Sheets to run:.. Cut length:.. Pierces:.. Material:.. Scrap:.." and, with
// costs, " Sheets cost:.. (at least ..) Remnant returned:.. Cost:.."). Numbers in six
// significant digits.
[[nodiscard]] std::string formatJobSheetLines(const std::vector<JobSheetFigures>& groups,
                                              const JobCosts& costs = {});

// A self-contained HTML page (no script, no network; prints on A4) for the operator: per
// distinct sheet its run count, picture, parts (name x count, mirrored ones marked), density,
// cut length, pierces, material, scrap and, with a stock list, cost; the job's totals; the
// parts left off. units is the drawing unit's symbol ("mm"; empty when unknown).
[[nodiscard]] std::string formatJobSheet(const std::string& title,
                                         const std::vector<SheetLayout>& sheets,
                                         const PartList& leftOff, std::span<const InputItem> items,
                                         double sheetLength, double sheetWidth,
                                         const std::string& units, const JobCosts& costs = {});

}  // namespace blocknest
