#include "job/sheet_search_run.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include "base/number_format.hpp"
#include "packing/packer.hpp"
#include "packing/sheets.hpp"
#include "search/sheet_search.hpp"

namespace blocknest {

SheetsLayoutWatch::SheetsLayoutWatch(Decode decode, Show show)
    : decode_(std::move(decode)), show_(std::move(show)) {}

void SheetsLayoutWatch::see(const SheetsProgress& progress) {
    if (!show_) return;
    if (progress.layout) {
        layout_ = *progress.layout;
        genome_.reset();
    } else if (progress.improved && progress.genome) {
        genome_ = *progress.genome;
        layout_.reset();
    }
    const auto now = std::chrono::steady_clock::now();
    if ((!genome_ && !layout_) || (shown_ && now - *shown_ < std::chrono::seconds(1))) return;
    shown_ = now;
    if (genome_) {
        layout_.emplace();
        decode_(*genome_, *layout_);
        genome_.reset();
    }
    show_(*layout_);
    layout_.reset();
}

namespace {

SearchReport progressReport(const SheetsProgress& progress, const SearchOptions& options,
                            int atLeast, const Sheet& realSheet, double lengthShift,
                            double totalArea) {
    const SheetsScore& best = progress.best;
    const double last = best.sheets > 0 ? best.lastLength + lengthShift : 0;
    const double used = (std::max(0, best.sheets - 1) * realSheet.length + last) * realSheet.width;
    SearchReport report;
    report.elapsed = progress.elapsed;
    report.timeLimit = options.timeLimit;
    report.layouts = progress.evaluations;
    report.moves = progress.moves;
    report.packedLength = last;
    report.density = used > 0 ? 100 * totalArea / used : 0.0;
    report.sheets = best.sheets;
    report.sheetsAtLeast = atLeast;
    report.improved = progress.improved;
    return report;
}

std::string progressLine(const SheetsProgress& progress, const SearchOptions& options, int atLeast,
                         const Sheet& realSheet, double lengthShift, double totalArea) {
    const std::string budget = searchBudgetText(progress.elapsed, options.timeLimit);
    const SheetsScore& best = progress.best;
    const double last = best.sheets > 0 ? best.lastLength + lengthShift : 0;
    const double used = (std::max(0, best.sheets - 1) * realSheet.length + last) * realSheet.width;
    char moves[48] = "";
    if (progress.moves > 0) {
        std::snprintf(moves, sizeof moves, ", %lld moves", static_cast<long long>(progress.moves));
    }
    char line[300];
    std::snprintf(line, sizeof line,
                  "Searching: %s, %lld layouts%s, %d sheets (at least %d), last sheet length %s, "
                  "density %.2f%%",
                  budget.c_str(), static_cast<long long>(progress.evaluations), moves, best.sheets,
                  atLeast, formatNumber(last).c_str(), used > 0 ? 100 * totalArea / used : 0.0);
    return line;
}

}  // namespace

SheetSearchRun runSheetSearch(PartList& parts, const Sheet& sheet, int rotationCount, int maxSheets,
                              const std::vector<double>& finerBlockSides,
                              const std::vector<double>& partAreas,
                              const SheetBound& boundBeyondArea, const Sheet& realSheet,
                              double lengthShift, const SearchOptions& options, Console& console,
                              SearchDisplay display, const SheetsLayoutWatch::Show& watcher) {
    const auto start = std::chrono::steady_clock::now();
    SheetSearchRun run;
    // The sheet-by-sheet run in list order: the layout to beat, and which parts no empty
    // sheet takes.
    SilentConsole silent;
    PartList plain = parts;
    const std::vector<int> plainSheetOf =
        packSheets(plain, sheet, maxSheets, [&](PartList& batch, Sheet& fresh, bool) {
            (void)packAllParts(batch, fresh, rotationCount, silent, false);
        });
    std::vector<int> leftOut(plainSheetOf.size(), kNoSheet);
    int plainSheets = 0;
    int plainUnplaced = 0;
    for (std::size_t i = 0; i < plainSheetOf.size(); ++i) {
        if (plainSheetOf[i] == kTooLarge) leftOut[i] = kTooLarge;
        if (plainSheetOf[i] == kNoSheet) ++plainUnplaced;
        plainSheets = std::max(plainSheets, plainSheetOf[i] + 1);
    }
    const int atLeast =
        std::max(sheetsAtLeast(partAreas, plainSheetOf, realSheet.length * realSheet.width),
                 boundBeyondArea(plainSheetOf));
    double totalArea = 0;
    for (std::size_t i = 0; i < partAreas.size(); ++i) {
        if (leftOut[i] == kNoSheet) totalArea += partAreas[i];
    }

    console.write(Message::packingStarted);
    console.write("\n");
    console.write("Part Number:" + std::to_string(parts.count()) + "\n");
    const SearchInstance instance =
        makeSearchInstance(parts, sheet, rotationCount, finerBlockSides);
    ProgressLines lines(console, display);
    SheetsLayoutWatch watch(
        [&](const Genome& genome, SheetsLayout& layout) {
            DecoderMemory memory;
            (void)decodeSheets(instance, genome, maxSheets, leftOut, memory, &layout);
        },
        watcher);
    const SheetsOutcome outcome =
        searchSheets(instance, maxSheets, leftOut, options, [&](const SheetsProgress& p) {
            watch.see(p);
            lines.show(progressLine(p, options, atLeast, realSheet, lengthShift, totalArea),
                       std::to_string(p.best.sheets) + " " + formatNumber(p.best.lastLength),
                       progressReport(p, options, atLeast, realSheet, lengthShift, totalArea));
        });
    run.evaluations = outcome.evaluations;
    run.moves = outcome.moves;
    if (outcome.score.unplaced > plainUnplaced ||
        (outcome.score.unplaced == plainUnplaced && outcome.score.sheets > plainSheets)) {
        // Never behind the plain run: that one packs without the stricter hole test.
        parts = std::move(plain);
        run.sheetOf = plainSheetOf;
    } else {
        auto posed = outcome.layout.parts.begin();
        for (Part& part : parts) part = *posed++;
        run.sheetOf = outcome.layout.sheetOf;
    }
    int used = 0;
    for (const int k : run.sheetOf) used = std::max(used, k + 1);
    lines.finish();
    console.write("Packing Completed.");
    const std::chrono::duration<long double> elapsed = std::chrono::steady_clock::now() - start;
    run.timingText = timingText(elapsed.count());
    console.write(run.timingText);
    console.write("Sheets used: " + std::to_string(used) + " (at least " + std::to_string(atLeast) +
                  ")\n");
    if (display != SearchDisplay::none) {
        console.write("Searched " + std::to_string(run.evaluations) + " layouts and " +
                      std::to_string(run.moves) + " part moves\n");
    }
    return run;
}

}  // namespace blocknest
