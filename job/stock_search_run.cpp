// A search over the sheets a stock plan chose: orders and turns of the parts over those
// sheets, filled in the plan's order, for fewer of them and a shorter last one.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "base/number_format.hpp"
#include "job/packing_job.hpp"
#include "job/sheet_search_run.hpp"
#include "packing/sheets.hpp"
#include "search/sheet_search.hpp"
#include "stock/sheet_choice.hpp"

namespace blocknest {

std::optional<std::string> PackingJob::searchStockPlan(const PartList& prepared,
                                                       const Clearance& clearance,
                                                       const SearchOptions& options,
                                                       Console& console, SearchDisplay display) {
    // One sheet per sheet of the plan, of its kind; with a clearance the placement sheet
    // (outline shrunk by the margin, defects grown) and the grown parts, parked alike for
    // every kind.
    PartList parts = prepared;
    if (mirror_) allowMirrored(parts, rotationCount_);
    std::vector<Sheet> sequence;
    std::vector<PlacementJob> placements;
    for (const std::size_t kind : sheetKinds_) {
        Sheet sheet;
        sheet.blockSideLength = sheet_.blockSideLength;
        if (std::optional<std::string> why = makeSheetOfKind(sheet, stock_[kind])) return why;
        if (clearance.any()) {
            std::variant<PlacementJob, std::string> made =
                makePlacementJob(parts, sheet, clearance);
            if (auto* why = std::get_if<std::string>(&made)) return *why;
            placements.push_back(std::move(std::get<PlacementJob>(made)));
            sequence.push_back(placements.back().sheet);
        } else {
            sequence.push_back(std::move(sheet));
        }
    }
    if (sequence.empty()) return std::nullopt;
    const PartList& packed = placements.empty() ? parts : placements.front().parts;
    const SearchInstance instance =
        makeSearchInstance(packed, sequence.front(), rotationCount_, {});
    const std::vector<int> leftOut(instance.parts.size(), kNoSheet);
    int planUnplaced = 0;
    for (const int k : sheetOf_) planUnplaced += k < 0 ? 1 : 0;
    // The grown parts' length shown as the real parts' (to within the corners' growth).
    const double lengthShift =
        placements.empty() ? 0 : placements.front().sheetOrigin - clearance.spacing / 2;
    // The real parts laid where a layout over the plan's sheets put the packed ones.
    const auto realOf = [&](const SheetsLayout& layout) {
        PartList real = prepared;
        if (placements.empty()) {
            auto posed = layout.parts.begin();
            for (Part& part : real) part = *posed++;
            return real;
        }
        // Each sheet's parts laid where their grown ones went on that sheet's placement.
        int sheets = 0;
        for (const int k : layout.sheetOf) sheets = std::max(sheets, k + 1);
        for (int k = 0; k < sheets; ++k) {
            PartList onSheet;
            for (std::size_t i = 0; i < layout.parts.size(); ++i) {
                onSheet.pushBack(layout.sheetOf[i] == k ? layout.parts[i] : instance.parts[i]);
            }
            placeOriginals(real, placements[static_cast<std::size_t>(k)], onSheet);
        }
        return real;
    };
    SheetsLayoutWatch watch(
        [&](const Genome& genome, SheetsLayout& layout) {
            DecoderMemory memory;
            (void)decodeSheets(instance, genome, 0, leftOut, memory, &layout, sequence);
        },
        layoutWatcher_ ? SheetsLayoutWatch::Show([&](const SheetsLayout& layout) {
            layoutWatcher_(realOf(layout), layout.sheetOf);
        })
                       : SheetsLayoutWatch::Show());
    ProgressLines lines(console, display);
    const SheetsOutcome outcome = searchSheets(
        instance, 0, leftOut, options,
        [&](const SheetsProgress& p) {
            watch.see(p);
            const std::string figures = std::to_string(p.best.sheets) + " of the plan's " +
                                        std::to_string(sheetKinds_.size()) +
                                        " sheets, last sheet length " +
                                        formatNumber(p.best.lastLength + lengthShift);
            SearchReport report;
            report.elapsed = p.elapsed;
            report.timeLimit = options.timeLimit;
            report.layouts = p.evaluations;
            report.moves = p.moves;
            report.packedLength = p.best.lastLength + lengthShift;
            report.sheets = p.best.sheets;
            report.improved = p.improved;
            lines.show("Searching: " + searchBudgetText(p.elapsed, options.timeLimit) + ", " +
                           std::to_string(p.evaluations) + " layouts, " + figures,
                       figures, report);
        },
        sequence);
    lines.finish();
    if (display != SearchDisplay::none) {
        console.write("Searched " + std::to_string(outcome.evaluations) +
                      " layouts over the plan's sheets\n");
    }
    const int planSheets = static_cast<int>(sheetKinds_.size());
    const SheetsScore& found = outcome.score;
    if (found.unplaced > planUnplaced ||
        (found.unplaced == planUnplaced && found.sheets > planSheets)) {
        return std::nullopt;
    }
    PartList real = realOf(outcome.layout);
    // With as many sheets and parts placed, kept only when the last sheet gets shorter.
    auto lastLength = [](const PartList& list, const std::vector<int>& sheetOf, int last) {
        double length = 0;
        std::size_t i = 0;
        for (const Part& part : list) {
            if (sheetOf[i++] == last) length = std::max(length, part.outerLoop().bounds().maxX);
        }
        return length;
    };
    if (found.unplaced == planUnplaced && found.sheets == planSheets &&
        !(lastLength(real, outcome.layout.sheetOf, found.sheets - 1) <
          lastLength(parts_, sheetOf_, planSheets - 1))) {
        return std::nullopt;
    }
    parts_ = std::move(real);
    sheetOf_ = outcome.layout.sheetOf;
    sheetKinds_.resize(static_cast<std::size_t>(found.sheets));
    return std::nullopt;
}

}  // namespace blocknest
