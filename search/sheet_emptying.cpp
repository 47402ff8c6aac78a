#include "search/sheet_emptying.hpp"

#include <algorithm>
#include <numeric>
#include <utility>

#include "base/console.hpp"
#include "packing/overlap.hpp"
#include "packing/packer.hpp"
#include "packing/sheet_marking.hpp"
#include "packing/sheets.hpp"
#include "search/exact_separation.hpp"
#include "search/rectangle_fill.hpp"
#include "search/row_fill.hpp"

namespace blocknest {
namespace {

// Part moves one try to put a part onto a sheet may make, per part then on that sheet: short
// tries over every part and sheet first, so that a sheet without room costs little, then
// longer ones while the budget lasts.
constexpr std::int64_t kMovesPerPart[] = {40, 300, 1000, 3000, 10000};
// Tries with fewer moves than this are not begun.
constexpr std::int64_t kLeastTry = 200;
// Search steps of one try to lay a sheet's rectangles out edge to edge with one more (short
// tries over every part and sheet first), and the steps all tries may take per part move of a
// move budget.
constexpr std::int64_t kFillStepsPerTry[] = {20'000, 200'000};
constexpr std::int64_t kFillStepsPerMove = 1000;
// Attempts to lay the whole job out in rows over one sheet fewer, and the part moves of a move
// budget one attempt stands for.
constexpr int kSheetsInRowsAttempts = 4;
constexpr std::int64_t kMovesPerSheetsInRows = 10'000;
// A part that no sheet takes may send parts of an earlier sheet to the last one to take their
// place when they weigh at most this multiple of its net area: smaller parts find gaps more
// easily.
constexpr double kEvictedShare = 1.6;

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

// A pose for a part on a sheet as its parts lie, and the parts of the sheet it overlaps.
struct Eviction {
    Part pose;
    std::vector<int> evicted;
    double area = 0;  // their net area
};

// The pose of part id on sheet k that overlaps the least net area of the parts there, less
// than below and only parts smaller than it, or none: each turn with its box against the
// sheet's edges or against the boxes of the parts there, on both axes.
std::optional<Eviction> cheapestEviction(const SearchInstance& instance, const SheetsLayout& work,
                                         int id, int k, double below) {
    const Sheet& sheet = instance.grids.front().sheet;
    const std::vector<int> ids = partsOnSheet(work, k);
    const double area = instance.parts[static_cast<std::size_t>(id)].netArea();
    std::optional<Eviction> best;
    for (const Orientation& turn : instance.turns[static_cast<std::size_t>(id)]) {
        Part turned = instance.parts[static_cast<std::size_t>(id)];
        turned.applyTurn(turn);
        turned.setTurn(turn);
        const BoundingBox box = turned.outerLoop().bounds();
        const double w = box.maxX - box.minX;
        const double h = box.maxY - box.minY;
        std::vector<double> xs{0, sheet.length - w};
        std::vector<double> ys{0, sheet.width - h};
        for (const int i : ids) {
            const BoundingBox& other = work.parts[static_cast<std::size_t>(i)].outerLoop().bounds();
            xs.insert(xs.end(), {other.maxX, other.minX - w});
            ys.insert(ys.end(), {other.maxY, other.minY - h});
        }
        for (std::vector<double>* axis : {&xs, &ys}) {
            std::sort(axis->begin(), axis->end());
            axis->erase(std::unique(axis->begin(), axis->end()), axis->end());
        }
        for (const double x : xs) {
            for (const double y : ys) {
                Part pose = turned;
                pose.translate(x - box.minX, y - box.minY);
                if (!liesWithin(pose, sheet)) continue;
                const double limit = best ? best->area : below;
                Eviction eviction;
                for (const int i : ids) {
                    const Part& other = work.parts[static_cast<std::size_t>(i)];
                    if (partsDisjoint(pose, other)) continue;
                    // Only smaller parts make way: an alike one would just trade places.
                    eviction.area =
                        other.netArea() < area ? eviction.area + other.netArea() : limit;
                    eviction.evicted.push_back(i);
                    if (eviction.area >= limit) break;
                }
                if (eviction.area >= limit) continue;
                eviction.pose = std::move(pose);
                best = std::move(eviction);
            }
        }
    }
    return best;
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
    // The overlap phase's try on sheet k with the parts ids, posed as start says (the last ones
    // parked off the sheet), at most perPart moves per part; it ends once every part is placed.
    auto resolve = [&](const std::vector<int>& ids, PartList& start, int k, std::int64_t perPart) {
        const SearchInstance one =
            sheetInstance(instance, ids, alike ? nullptr : &sequence[static_cast<std::size_t>(k)]);
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
        SeparationOutcome placed = separateExactly(one, order, start, startScore, separation,
                                                   [](const SeparationProgress&) {});
        used += placed.moves;
        return placed;
    };
    // Part id of the last sheet set on sheet target as eviction says, the parts it overlaps
    // there packed into the last sheet's gaps instead; false, and no change, when one of them
    // finds no gap.
    auto tryRoom = [&](int id, int last, const Eviction& eviction, int target) {
        SheetsLayout trial = work;
        trial.sheetOf[static_cast<std::size_t>(id)] = target;
        trial.parts[static_cast<std::size_t>(id)] = eviction.pose;
        std::vector<int> back = eviction.evicted;
        for (const int i : back) trial.sheetOf[static_cast<std::size_t>(i)] = kNoSheet;
        byArea(back);
        for (const int i : back) {
            if (!packIntoGaps(instance, sequence, last, i, trial)) return false;
            trial.sheetOf[static_cast<std::size_t>(i)] = last;
        }
        work = std::move(trial);
        now = rescoreSheets(instance, work, now);
        keep();
        return true;
    };
    // Part id of the last sheet and the parts of sheet k laid out on k edge to edge, when they
    // are all rectangles; false, and no change, when the fill finds no layout within its steps.
    // Parts that are all nearly their boxes are laid out as their boxes.
    const bool exactRectangles = fillsWithRectangles(instance);
    const bool rectangles = exactRectangles || fillsWithBoxes(instance);
    std::int64_t fillSteps = 0;
    auto fillEdgeToEdge = [&](int id, int k, std::int64_t steps) {
        if (budget.moves > 0 && fillSteps + steps > budget.moves * kFillStepsPerMove) {
            return false;
        }
        fillSteps += steps;
        std::vector<int> ids = partsOnSheet(work, k);
        ids.push_back(id);
        const SearchInstance one =
            sheetInstance(instance, ids, alike ? nullptr : &sequence[static_cast<std::size_t>(k)]);
        RectangleFillOptions fill;
        fill.nodes = steps;
        fill.seed = options.seed * 0x9E3779B97F4A7C15ULL + ++tries;
        fill.stop = options.stop;
        fill.deadline = budget.end;
        fill.boxes = !exactRectangles;
        const std::optional<RectangleFill> filled = fillWithRectangles(one, fill);
        if (!filled) return false;
        auto part = filled->layout.begin();
        for (const int i : filled->order) {
            work.parts[static_cast<std::size_t>(ids[static_cast<std::size_t>(i)])] = *part++;
        }
        moveTo(id, k);
        return true;
    };
    // Sheets alike without a drawn outline or defect: parts that are not all rectangles may be
    // laid out in rows, and parts may make room for others.
    const bool plainSheets = alike && fillsAPlainSheet(instance);
    const bool rows = !rectangles && plainSheets;
    // Room made on an earlier sheet for part id of the last sheet, which none takes: the part
    // set where it overlaps the least net area of an earlier sheet's parts (at most
    // kEvictedShare of its own), those parts sent to the last sheet, from where the next
    // round moves them on. Once for each part, so that the rounds end.
    std::vector<char> roomMade(work.sheetOf.size(), 0);
    auto makeRoom = [&](int id, int last) {
        if (!plainSheets || roomMade[static_cast<std::size_t>(id)]) return false;
        roomMade[static_cast<std::size_t>(id)] = 1;
        std::vector<std::pair<Eviction, int>> evictions;
        for (int k = 0; k < last; ++k) {
            std::optional<Eviction> eviction = cheapestEviction(
                instance, work, id, k,
                kEvictedShare * instance.parts[static_cast<std::size_t>(id)].netArea());
            if (eviction) evictions.emplace_back(std::move(*eviction), k);
        }
        std::stable_sort(evictions.begin(), evictions.end(),
                         [](const auto& a, const auto& b) { return a.first.area < b.first.area; });
        for (auto& [eviction, target] : evictions) {
            if (timeUp()) return false;
            if (tryRoom(id, last, eviction, target)) return true;
        }
        return false;
    };
    // Parts that are not all rectangles laid afresh in rows over one sheet fewer: pieces cut
    // apart by one line interlock again, whichever sheet the search had put them on.
    if (rows && now.sheets > 1) {
        std::vector<int> ids;
        for (std::size_t i = 0; i < work.sheetOf.size(); ++i) {
            if (work.sheetOf[i] >= 0) ids.push_back(static_cast<int>(i));
        }
        RowFillOptions fill;
        fill.attempts = budget.moves > 0
                            ? static_cast<int>(std::clamp<std::int64_t>(
                                  budget.moves / kMovesPerSheetsInRows, 0, kSheetsInRowsAttempts))
                            : kSheetsInRowsAttempts;
        // A seed of its own: the tries after it take the same seeds as without it.
        fill.seed = options.seed * 0x9E3779B97F4A7C15ULL + 0x5EED;
        fill.stop = options.stop;
        fill.deadline = budget.end;
        const std::optional<RowSheets> laid =
            fill.attempts > 0
                ? fillSheetsInRows(sheetInstance(instance, ids, nullptr), now.sheets - 1, fill)
                : std::nullopt;
        if (laid) {
            for (std::size_t k = 0; k < ids.size(); ++k) {
                const auto i = static_cast<std::size_t>(ids[k]);
                work.sheetOf[i] = laid->sheetOf[k];
                work.parts[i] = laid->parts[k];
            }
            now = rescoreSheets(instance, work, now);
            keep();
        }
    }
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
        // Rectangles next: a sheet's parts and the newcomer laid out afresh edge to edge.
        // Short tries over every part and sheet first, then longer ones.
        for (const std::int64_t steps : kFillStepsPerTry) {
            if (!rectangles) break;
            leaving = partsOnSheet(work, last);
            byArea(leaving);
            for (const int id : leaving) {
                if (timeUp()) break;
                for (const int k : roomFor(id, last)) {
                    if (timeUp() || fillEdgeToEdge(id, k, steps)) break;
                }
            }
            if (now.sheets <= last) break;
        }
        // Then the overlap phase for the rest: each part put onto a sheet overlapping its parts,
        // which may shift to make room; short tries over every part and sheet first, so that a
        // part that fits nowhere costs little, then longer ones. When the sheet keeps some parts
        // after the tries of 300 moves per part, room made for one of them on an earlier sheet
        // (which sends smaller parts to this one) begins the round again; only when no part
        // gets room do longer tries follow.
        bool again = false;
        for (const std::int64_t perPart : kMovesPerPart) {
            leaving = partsOnSheet(work, last);
            byArea(leaving);
            for (const int id : leaving) {
                if (stopped()) break;
                for (const int k : roomFor(id, last)) {
                    if (stopped()) break;
                    std::vector<int> ids = partsOnSheet(work, k);
                    ids.push_back(id);
                    PartList start;
                    for (std::size_t i = 0; i + 1 < ids.size(); ++i) {
                        start.pushBack(work.parts[static_cast<std::size_t>(ids[i])]);
                    }
                    start.pushBack(instance.parts[static_cast<std::size_t>(id)]);  // parked: off
                    const SeparationOutcome placed = resolve(ids, start, k, perPart);
                    if (!placed.layout || placed.score.unplaced > 0) continue;
                    auto part = placed.layout->begin();
                    for (const int i : ids) work.parts[static_cast<std::size_t>(i)] = *part++;
                    moveTo(id, k);
                    break;
                }
            }
            if (now.sheets <= last) break;
            if (perPart < kMovesPerPart[1]) continue;
            leaving = partsOnSheet(work, last);
            byArea(leaving);
            for (const int id : leaving) {
                if (timeUp()) break;
                if ((again = makeRoom(id, last))) break;
            }
            if (again) break;
        }
        if (now.sheets > last && !again) break;  // no lighter sheet to try
    }
    return used;
}

}  // namespace blocknest
