#pragma once  // search/sheet_search.hpp: the fewest sheets for a job that needs several
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "search/decoder.hpp"
#include "search/search.hpp"

namespace blocknest {

// How good a layout over several sheets is; smaller is better, compared in this order.
struct SheetsScore {
    int unplaced = 0;       // parts on no sheet, those left out from the start not counted
    int sheets = 0;         // sheets used
    double lastLength = 0;  // the packed length of the last sheet used
    double lastArea = 0;    // the net part area on it
    // The sum of the squared part areas of the sheets: larger when the parts crowd on the
    // first sheets and leave the last one emptier. Guides the search; not compared.
    double crowding = 0;

    bool operator<(const SheetsScore& other) const;
};

// Where each part of a search instance went: its sheet (or kNoSheet, or what it was given
// when left out) and its pose in that sheet's own coordinates.
struct SheetsLayout {
    std::vector<int> sheetOf;
    std::vector<Part> parts;
};

// Fills sheets one after another, each fresh, with the parts the earlier ones left, in the
// genome's order and turns, with the packing run's own steps, until every part lies on one,
// maxSheets are used (0: no bound), or a sheet takes none. Parts whose entry of leftOut is
// not kNoSheet are never packed and keep that entry. With a sequence given, sheet k is a
// fresh copy of sequence[k] (sheets of their own sizes and outlines, on the instance's first
// block side) and no more sheets than it holds are filled; the genome's grid is not used.
[[nodiscard]] SheetsScore decodeSheets(const SearchInstance& instance, const Genome& genome,
                                       int maxSheets, const std::vector<int>& leftOut,
                                       DecoderMemory& memory, SheetsLayout* layout = nullptr,
                                       std::span<const Sheet> sequence = {});

struct SheetsProgress {
    double elapsed = 0;
    std::int64_t evaluations = 0;  // layouts over all sheets, and then of the last sheet
    std::int64_t moves = 0;        // part moves while the last sheet is shortened
    SheetsScore best;
    bool improved = false;
    const Genome* genome = nullptr;  // the walk's best genome, valid during the report
    // The layout over every sheet, when options.keepLayouts is set and the last sheet's
    // shortening found a better one; valid during the report, null when unchanged.
    const SheetsLayout* layout = nullptr;
};

struct SheetsOutcome {
    SheetsLayout layout;
    SheetsScore score;
    std::int64_t evaluations = 0;
    std::int64_t moves = 0;
};

// Looks for the layout over sheets that uses the fewest, and then leaves the last one least
// used, starting from the sheet-by-sheet run in list order and never falling behind it. Half
// the budget goes to orders and turns of the whole job; of the rest most goes to emptying
// the last sheet onto the others by the exact overlap phase (see emptyLastSheets), and what is
// left shortens the last sheet's layout with the one-sheet search; without the overlap phase
// (options.separate false) the walk takes the whole budget. With an evaluation limit
// the outcome does not depend on the thread count or the machine's speed. report is called
// from the calling thread. With a sequence the sheets are filled in its order, as decodeSheets
// says; their outlines and defects are obstacles of the overlap phase.
[[nodiscard]] SheetsOutcome searchSheets(const SearchInstance& instance, int maxSheets,
                                         const std::vector<int>& leftOut,
                                         const SearchOptions& options,
                                         const std::function<void(const SheetsProgress&)>& report,
                                         std::span<const Sheet> sequence = {});

}  // namespace blocknest
