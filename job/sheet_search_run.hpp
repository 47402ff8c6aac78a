#pragma once  // job/sheet_search_run.hpp: a search for the fewest sheets, shown on the console
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/console.hpp"
#include "geometry/part.hpp"
#include "job/search_display.hpp"
#include "raster/sheet_bitmap.hpp"
#include "search/search.hpp"
#include "search/sheet_search.hpp"

namespace blocknest {

// Hands the layouts of a search over several sheets to show at most once a second: the
// newest waiting genome is decoded, or the newest waiting layout shown as it is, at the
// first report a second after the last one shown (the first one at once).
class SheetsLayoutWatch {
public:
    using Decode = std::function<void(const Genome&, SheetsLayout&)>;
    using Show = std::function<void(const SheetsLayout&)>;

    // An idle watch when show is empty.
    SheetsLayoutWatch(Decode decode, Show show);
    // Takes a report's genome or layout and shows the newest when a second has passed.
    void see(const SheetsProgress& progress);

private:
    Decode decode_;
    Show show_;
    std::optional<Genome> genome_;
    std::optional<SheetsLayout> layout_;
    std::optional<std::chrono::steady_clock::time_point> shown_;
};

// A least number of sheets, given each part's sheet (list order).
using SheetBound = std::function<int(const std::vector<int>& sheetOf)>;

struct SheetSearchRun {
    std::vector<int> sheetOf;  // each part's sheet, kNoSheet or kTooLarge, in list order
    std::string timingText;
    std::int64_t evaluations = 0;
    std::int64_t moves = 0;
};

// Packs the parts (prepared, parked) on at most maxSheets copies of sheet (0: no bound) so
// that they use the fewest sheets and the last one least, within the search's budget; never
// more sheets than the sheet-by-sheet run in list order. Each placed part is left in its
// sheet's coordinates. The real sheet and the real parts' areas (partAreas, in list order;
// the packed parts may be grown, on a placement sheet) give the least number of sheets shown
// beside the sheets used, with boundBeyondArea, what the parts' extents prove, given each
// part's sheet in the plain run (kTooLarge parts do not count);
// lengthShift takes a packed length to the real parts' one. watcher, when set, is shown the
// packed parts' layout as the search improves it, at most once a second.
// The search also packs on grids of the finer block sides.
[[nodiscard]] SheetSearchRun runSheetSearch(
    PartList& parts, const Sheet& sheet, int rotationCount, int maxSheets,
    const std::vector<double>& finerBlockSides, const std::vector<double>& partAreas,
    const SheetBound& boundBeyondArea, const Sheet& realSheet, double lengthShift,
    const SearchOptions& options, Console& console, SearchDisplay display,
    const SheetsLayoutWatch::Show& watcher = {});

}  // namespace blocknest
