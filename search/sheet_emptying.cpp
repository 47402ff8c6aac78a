#include "search/sheet_emptying.hpp"

#include <algorithm>
#include <numeric>
#include <utility>

#include "base/console.hpp"
#include "packing/packer.hpp"
#include "packing/sheet_marking.hpp"
#include "packing/sheets.hpp"
#include "search/exact_separation.hpp"

namespace blocknest {
namespace {

// Part moves one try to put a part onto a sheet may make, per part then on that sheet: enough
// to resolve the overlap of a newcomer on a sheet with room, few enough that a sheet without
// it costs little.
constexpr std::int64_t kMovesPerPart = 300;
// The same for the short tries made over every part and sheet first.
constexpr std::int64_t kShortMovesPerPart = 40;
// Tries with fewer moves than this are not begun.
constexpr std::int64_t kLeastTry = 200;

double sheetArea(const SearchInstance& instance, std::span<const Sheet> sequence, int k) {
    if (sequence.empty()) return instance.sheetLength * instance.sheetWidth;
    const Sheet& sheet = sequence[static_cast<std::size_t>(k)];
    return sheet.length * sheet.width;
}

double netAreaOf(const SearchInstance& instance, const std::vector<int>& ids) {
    double area = 0;
    for (const int id : ids) area += instance.parts[static_cast<std::size_t>(id)].netArea();
    return area;
}

// Packs part id onto sheet k as the parts there lie, by the packing run's own steps (which may
// close those parts up toward the sheet's start); true, and the poses taken into work, when it
// lies on the sheet.
bool packIntoGaps(const SearchInstance& instance, std::span<const Sheet> sequence, int k, int id,
                  SheetsLayout& work) {
    const Grid& grid = instance.grids.front();
    Sheet sheet = sequence.empty() ? grid.sheet : sequence[static_cast<std::size_t>(k)];
    const std::vector<int> ids = partsOnSheet(work, k);
    PartList batch;
    for (const int i : ids) {
        Part part = work.parts[static_cast<std::size_t>(i)];
        part.setBlockSideLength(grid.blockSide);
        batch.pushBack(std::move(part));
    }
    Part newcomer = instance.parts[static_cast<std::size_t>(id)];
    newcomer.setBlockSideLength(grid.blockSide);
    batch.pushBack(std::move(newcomer));
    SilentConsole console;
    PackingMemory packing(batch, sheet);
    auto part = batch.begin();
    for (std::size_t i = 0; i < ids.size(); ++i, ++part) {
        markPartOnSheet(sheet, *part, console);
        packing.others.markPlaced(*part);
    }
    packPart(*part, sheet, instance.turns[static_cast<std::size_t>(id)], console, packing);
    if (!liesWithin(*part, sheet)) return false;
    part = batch.begin();
    for (const int i : ids) work.parts[static_cast<std::size_t>(i)] = *part++;
    work.parts[static_cast<std::size_t>(id)] = *part;
    return true;
}

}  // namespace

SearchInstance sheetInstance(const SearchInstance& instance, const std::vector<int>& ids,
                             const Sheet* own) {
    SearchInstance sheet;
    if (own) {
        sheet.grids.push_back({own->blockSideLength, *own});
        sheet.sheetLength = own->length;
        sheet.sheetWidth = own->width;
    } else {
        sheet.grids = instance.grids;
        sheet.sheetLength = instance.sheetLength;
        sheet.sheetWidth = instance.sheetWidth;
    }
    std::vector<int> firstOfShape;  // per shape of the job: its first part here, or -1
    for (const int id : ids) {
        const auto k = static_cast<std::size_t>(id);
        sheet.parts.push_back(instance.parts[k]);
        sheet.turns.push_back(instance.turns[k]);
        sheet.totalArea += instance.parts[k].netArea();
        const auto shape = static_cast<std::size_t>(instance.shapeOf[k]);
        if (firstOfShape.size() <= shape) firstOfShape.resize(shape + 1, -1);
        if (firstOfShape[shape] < 0) firstOfShape[shape] = static_cast<int>(sheet.shapeOf.size());
        sheet.shapeOf.push_back(firstOfShape[shape]);
    }
    return sheet;
}

std::vector<int> partsOnSheet(const SheetsLayout& layout, int k) {
    std::vector<int> ids;
    for (std::size_t i = 0; i < layout.sheetOf.size(); ++i) {
        if (layout.sheetOf[i] == k) ids.push_back(static_cast<int>(i));
    }
    return ids;
}

SheetsScore rescoreSheets(const SearchInstance& instance, const SheetsLayout& layout,
                          const SheetsScore& score) {
    SheetsScore rescored = score;
    rescored.sheets = 0;
    for (const int k : layout.sheetOf) rescored.sheets = std::max(rescored.sheets, k + 1);
    rescored.lastLength = 0;
    rescored.lastArea = 0;
    for (std::size_t i = 0; i < layout.sheetOf.size(); ++i) {
        if (layout.sheetOf[i] != rescored.sheets - 1) continue;
        rescored.lastLength =
            std::max(rescored.lastLength, layout.parts[i].outerLoop().bounds().maxX);
        rescored.lastArea += instance.parts[i].netArea();
    }
    return rescored;
}

std::int64_t emptyLastSheets(const SearchInstance& instance, std::span<const Sheet> sequence,
                             const SearchOptions& options, const EmptyingBudget& budget,
                             SheetsLayout& layout, SheetsScore& score,
                             const std::function<void(std::int64_t, const SheetsScore&)>& report) {
    const bool alike = sequence.empty();
    SheetsLayout work = layout;
    SheetsScore now = rescoreSheets(instance, work, score);
    std::int64_t used = 0;
    std::uint64_t tries = 0;
    auto timeUp = [&] {
        if (options.stop && options.stop->load()) return true;
        return budget.end && std::chrono::steady_clock::now() >= *budget.end;
    };
    auto stopped = [&] {
        return timeUp() || (budget.moves > 0 && budget.moves - used < kLeastTry);
    };
    auto keep = [&] {
        if (!(now < score)) return;
        layout = work;
        score = now;
        report(used, score);
    };
    auto byArea = [&](std::vector<int>& ids) {
        std::stable_sort(ids.begin(), ids.end(), [&](int a, int b) {
            return instance.parts[static_cast<std::size_t>(a)].netArea() >
                   instance.parts[static_cast<std::size_t>(b)].netArea();
        });
    };
    // The earlier sheets with the free area for the part, most free first.
    auto roomFor = [&](int id, int last) {
        const double need = instance.parts[static_cast<std::size_t>(id)].netArea();
        std::vector<std::pair<double, int>> room;
        for (int k = 0; k < last; ++k) {
            const double free =
                sheetArea(instance, sequence, k) - netAreaOf(instance, partsOnSheet(work, k));
            if (free >= need) room.emplace_back(-free, k);
        }
        std::sort(room.begin(), room.end());
        std::vector<int> sheets;
        for (const auto& entry : room) sheets.push_back(entry.second);
        return sheets;
    };
    auto moveTo = [&](int id, int k) {
        work.sheetOf[static_cast<std::size_t>(id)] = k;
        now = rescoreSheets(instance, work, now);
        keep();
    };
    while (now.sheets > 1 && !timeUp()) {
        const int last = now.sheets - 1;
        if (alike) {
            // Sheets alike: the least used one is the one to empty, taken to the end.
            std::vector<double> area(static_cast<std::size_t>(now.sheets), 0);
            for (std::size_t i = 0; i < work.sheetOf.size(); ++i) {
                if (work.sheetOf[i] >= 0) {
                    area[static_cast<std::size_t>(work.sheetOf[i])] += instance.parts[i].netArea();
                }
            }
            const auto least =
                static_cast<int>(std::min_element(area.begin(), area.end()) - area.begin());
            for (int& k : work.sheetOf) {
                if (k == least) {
                    k = last;
                } else if (k == last) {
                    k = least;
                }
            }
            now = rescoreSheets(instance, work, now);
        }
        // First the gaps as they are: the packing run's own steps put a part where the parts
        // of a sheet leave room for it, at the cost of one part's packing.
        std::vector<int> leaving = partsOnSheet(work, last);
        byArea(leaving);
        for (const int id : leaving) {
            if (timeUp()) break;
            for (const int k : roomFor(id, last)) {
                if (timeUp()) break;
                if (packIntoGaps(instance, sequence, k, id, work)) {
                    moveTo(id, k);
                    break;
                }
            }
        }
        // Then the overlap phase for the rest: each part put onto a sheet overlapping its parts,
        // which may shift to make room; short tries over every part and sheet first, so that a
        // part that fits nowhere costs little, then longer ones.
        for (const std::int64_t perPart : {kShortMovesPerPart, kMovesPerPart}) {
            leaving = partsOnSheet(work, last);
            byArea(leaving);
            for (const int id : leaving) {
                if (stopped()) break;
                for (const int k : roomFor(id, last)) {
                    if (stopped()) break;
                    std::vector<int> ids = partsOnSheet(work, k);
                    ids.push_back(id);
                    const SearchInstance one = sheetInstance(
                        instance, ids, alike ? nullptr : &sequence[static_cast<std::size_t>(k)]);
                    PartList start;
                    for (std::size_t i = 0; i + 1 < ids.size(); ++i) {
                        start.pushBack(work.parts[static_cast<std::size_t>(ids[i])]);
                    }
                    start.pushBack(instance.parts[static_cast<std::size_t>(id)]);  // parked: off
                    const Score startScore = scoreLayout(one, start);
                    std::vector<int> order(ids.size());
                    std::iota(order.begin(), order.end(), 0);
                    std::int64_t quota = perPart * static_cast<std::int64_t>(ids.size());
                    if (budget.moves > 0) quota = std::min(quota, budget.moves - used);
                    SearchOptions attempt = options;
                    attempt.seed = options.seed * 0x9E3779B97F4A7C15ULL + ++tries;
                    SeparationOptions separation = separationOptionsFor(attempt, budget.end, quota);
                    // One walk: two would each go on until they place the part.
                    separation.chains = 1;
                    separation.threads = 1;
                    separation.untilPlaced = true;
                    const SeparationOutcome placed =
                        separateExactly(one, order, start, startScore, separation,
                                        [](const SeparationProgress&) {});
                    used += placed.moves;
                    if (!placed.layout || placed.score.unplaced > 0) continue;
                    auto part = placed.layout->begin();
                    for (const int i : ids) work.parts[static_cast<std::size_t>(i)] = *part++;
                    moveTo(id, k);
                    break;
                }
            }
        }
        if (now.sheets > last) break;  // the sheet kept some part: no lighter sheet to try
    }
    return used;
}

}  // namespace blocknest
