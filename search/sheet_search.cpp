#include "search/sheet_search.hpp"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <optional>
#include <span>
#include <utility>

#include "packing/packer.hpp"
#include "packing/sheets.hpp"
#include "search/genome_walk.hpp"
#include "search/separation.hpp"
#include "search/sheet_emptying.hpp"

namespace blocknest {
namespace {

using Clock = std::chrono::steady_clock;

// The whole job's orders and turns take this share of the budget; emptying the last sheet
// and then shortening it the rest. Of an evaluation budget the walk packs one layout over all
// sheets for every kEvaluationsPerLayout evaluations, as the one-sheet search does, and the
// other two make one part move per evaluation.
// On a job of many parts a layout over all sheets costs seconds, so that the walk meets few
// of them, while emptying the last sheet moves parts one at a time: half the budget each way.
constexpr double kWalkShare = 0.5;
// Of what the walk leaves, the share that emptying the last sheet may take; the shortening
// gets the rest and whatever emptying leaves.
constexpr double kEmptyingShare = 0.8;

// The walk heads for layouts whose parts crowd on the first sheets: the way to empty the
// last one, and then to shorten it.
bool worse(const SheetsScore& a, const SheetsScore& b) {
    if (a.unplaced != b.unplaced) return a.unplaced > b.unplaced;
    if (a.sheets != b.sheets) return a.sheets > b.sheets;
    return a.crowding < b.crowding;
}

}  // namespace

bool SheetsScore::operator<(const SheetsScore& other) const {
    if (unplaced != other.unplaced) return unplaced < other.unplaced;
    if (sheets != other.sheets) return sheets < other.sheets;
    if (lastLength != other.lastLength) return lastLength < other.lastLength;
    return lastArea < other.lastArea;
}

SheetsScore decodeSheets(const SearchInstance& instance, const Genome& genome, int maxSheets,
                         const std::vector<int>& leftOut, DecoderMemory& memory,
                         SheetsLayout* layout, std::span<const Sheet> sequence) {
    assert(genome.order.size() == instance.parts.size());
    assert(leftOut.size() == instance.parts.size());
    const std::size_t g = sequence.empty() ? static_cast<std::size_t>(genome.grid) : 0;
    const Grid& grid = instance.grids[g];
    if (memory.images.size() < instance.grids.size()) memory.images.resize(instance.grids.size());
    PixelizeMemo& images = memory.images[g];
    std::vector<int> sheetOf = leftOut;
    std::vector<int> waiting;  // part ids in genome order, not yet on a sheet
    for (const int id : genome.order) {
        if (leftOut[static_cast<std::size_t>(id)] == kNoSheet) waiting.push_back(id);
    }
    // The packing run speaks to the console only to warn of a vertex recount that disagrees,
    // which the run before the search has already met for the same parts.
    SilentConsole console;
    if (layout) layout->parts = instance.parts;  // parked until placed
    SheetsScore score;
    for (int k = 0; !waiting.empty() && (maxSheets == 0 || k < maxSheets) &&
                    (sequence.empty() || static_cast<std::size_t>(k) < sequence.size());
         ++k) {
        PartList batch;
        for (const int id : waiting) {
            Part part = instance.parts[static_cast<std::size_t>(id)];
            part.setBlockSideLength(grid.blockSide);
            batch.insertBefore(batch.end(), std::move(part));
        }
        Sheet sheet = sequence.empty() ? grid.sheet : sequence[static_cast<std::size_t>(k)];
        PackingMemory packing(batch, sheet);
        packing.extraSlidePairs = genome.extraSlides;
        std::swap(packing.images, images);
        auto id = waiting.begin();
        for (Part& part : batch) {
            packPart(part, sheet, genomeTurns(instance, genome, *id), console, packing);
            ++id;
        }
        std::swap(packing.images, images);
        std::vector<int> left;
        double length = 0;
        double area = 0;
        id = waiting.begin();
        for (const Part& part : batch) {
            const auto k2 = static_cast<std::size_t>(*id);
            if (liesWithin(part, sheet)) {
                sheetOf[k2] = k;
                length = std::max(length, part.outerLoop().bounds().maxX);
                area += part.netArea();
                if (layout) layout->parts[k2] = part;
            } else {
                left.push_back(*id);
            }
            ++id;
        }
        if (left.size() == waiting.size()) break;  // an empty sheet that takes none
        score.sheets = k + 1;
        score.lastLength = length;
        score.lastArea = area;
        score.crowding += area * area;
        waiting = std::move(left);
    }
    score.unplaced = static_cast<int>(waiting.size());
    if (layout) {
        layout->sheetOf = std::move(sheetOf);
        for (const int id : waiting) {
            layout->parts[static_cast<std::size_t>(id)] =
                instance.parts[static_cast<std::size_t>(id)];
        }
    }
    return score;
}

SheetsOutcome searchSheets(const SearchInstance& instance, int maxSheets,
                           const std::vector<int>& leftOut, const SearchOptions& options,
                           const std::function<void(const SheetsProgress&)>& report,
                           std::span<const Sheet> sequence) {
    const Clock::time_point start = Clock::now();
    auto after = [&](double seconds) {
        return start +
               std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    };
    // Without the overlap phase the walk takes the whole budget: the whole time, or one layout
    // over all sheets per evaluation.
    const double share = options.separate ? kWalkShare : 1.0;
    std::optional<Clock::time_point> deadline;
    if (options.timeLimit > 0) deadline = after(options.timeLimit * share);
    const std::int64_t walkLimit =
        options.evaluations <= 0 ? 0
        : options.separate
            ? std::max<std::int64_t>(
                  1, static_cast<std::int64_t>(
                         static_cast<double>(options.evaluations / kEvaluationsPerLayout) * share))
            : options.evaluations;
    auto stopped = [&] { return options.stop && options.stop->load(); };
    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    std::vector<DecoderMemory> memories(static_cast<std::size_t>(std::max(1, options.threads)));
    auto decode = [&](const Genome& genome, DecoderMemory& memory) {
        return decodeSheets(instance, genome, maxSheets, leftOut, memory, nullptr, sequence);
    };

    SheetsOutcome outcome;
    WalkBest<SheetsScore> walk;
    walk.genome = onePassGenome(instance);
    walk.score = decode(walk.genome, memories[0]);
    walk.evaluations = 1;
    report({elapsed(), walk.evaluations, 0, walk.score, true, &walk.genome});
    // Larger parts first fill sheets better than the list order, as a rule: the walk starts
    // from the best of both on every grid.
    {
        std::vector<Genome> starts;
        Genome larger = walk.genome;
        std::stable_sort(larger.order.begin(), larger.order.end(), [&](int a, int b) {
            return instance.parts[static_cast<std::size_t>(a)].netArea() >
                   instance.parts[static_cast<std::size_t>(b)].netArea();
        });
        for (const Genome& first : {walk.genome, larger}) {
            for (std::size_t g = 0; g < (sequence.empty() ? instance.grids.size() : 1); ++g) {
                if (g == 0 && first.order == walk.genome.order) continue;
                Genome genome = first;
                genome.grid = static_cast<int>(g);
                starts.push_back(std::move(genome));
            }
        }
        if (walkLimit > 0) {
            starts.resize(std::min(starts.size(), static_cast<std::size_t>(std::max<std::int64_t>(
                                                      0, walkLimit - walk.evaluations))));
        }
        std::vector<std::optional<SheetsScore>> scores(starts.size());
        scoreBatch(starts, scores, memories, deadline, decode);
        bool improved = false;
        for (std::size_t i = 0; i < starts.size(); ++i) {
            if (!scores[i]) continue;
            ++walk.evaluations;
            if (*scores[i] < walk.score) {
                walk.genome = starts[i];
                walk.score = *scores[i];
                improved = true;
            }
        }
        if (improved) report({elapsed(), walk.evaluations, 0, walk.score, true, &walk.genome});
    }
    auto budget = [&](std::int64_t wanted) -> std::int64_t {
        if (stopped() || (deadline && Clock::now() >= *deadline)) return 0;
        if (walkLimit > 0) return std::min(wanted, walkLimit - walk.evaluations);
        return wanted;
    };
    auto lastReport = Clock::now();
    Random random(options.seed);
    walkGenomes(instance, walk.genome, walk.score, walk, random, memories, deadline, decode, worse,
                budget, [&](bool improved) {
                    const auto now = Clock::now();
                    if (!improved && now - lastReport < std::chrono::milliseconds(200)) return;
                    lastReport = now;
                    report({elapsed(), walk.evaluations, 0, walk.score, improved, &walk.genome});
                });
    outcome.score = decodeSheets(instance, walk.genome, maxSheets, leftOut, memories[0],
                                 &outcome.layout, sequence);
    outcome.evaluations = walk.evaluations;
    if (!options.separate || stopped() || outcome.score.sheets == 0) return outcome;

    std::optional<Clock::time_point> end;
    if (options.timeLimit > 0) {
        end = after(options.timeLimit);
        if (Clock::now() >= *end) return outcome;
    }
    const std::int64_t moves =
        options.evaluations > 0
            ? std::max<std::int64_t>(1,
                                     options.evaluations - walk.evaluations * kEvaluationsPerLayout)
            : 0;
    // The last sheet emptied onto the others where they have room.
    if (outcome.score.sheets > 1) {
        EmptyingBudget emptying;
        if (options.timeLimit > 0) {
            emptying.end = after(options.timeLimit * (share + (1 - share) * kEmptyingShare));
        }
        emptying.moves = static_cast<std::int64_t>(static_cast<double>(moves) * kEmptyingShare);
        if (moves > 0 && emptying.moves == 0) emptying.moves = 1;
        outcome.moves +=
            emptyLastSheets(instance, sequence, options, emptying, outcome.layout, outcome.score,
                            [&](std::int64_t made, const SheetsScore& score) {
                                report({elapsed(), walk.evaluations, made, score, true, nullptr,
                                        options.keepLayouts ? &outcome.layout : nullptr});
                            });
        if (stopped()) return outcome;
    }

    // The last sheet alone: its layout shortened by the overlap-resolving search.
    const int lastSheet = outcome.score.sheets - 1;
    const std::vector<int> onLast = partsOnSheet(outcome.layout, lastSheet);
    PartList startLayout;
    for (const int i : onLast)
        startLayout.pushBack(outcome.layout.parts[static_cast<std::size_t>(i)]);
    const SearchInstance last =
        sheetInstance(instance, onLast,
                      sequence.empty() ? nullptr : &sequence[static_cast<std::size_t>(lastSheet)]);
    std::vector<int> order(onLast.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    const std::int64_t movesBefore = outcome.moves;
    const SeparationOutcome shortened =
        shortenLayout(last, order, startLayout, scoreLayout(last, startLayout), options, end,
                      moves > 0 ? std::max<std::int64_t>(1, moves - movesBefore) : 0,
                      [&](const SeparationProgress& p) {
                          SheetsScore now = outcome.score;
                          now.lastLength = std::min(now.lastLength, p.best.length);
                          std::optional<SheetsLayout> shown;
                          if (p.layout) {
                              shown = outcome.layout;
                              auto placed = p.layout->begin();
                              for (const int i : onLast)
                                  shown->parts[static_cast<std::size_t>(i)] = *placed++;
                          }
                          report({elapsed(), walk.evaluations, movesBefore + p.moves, now,
                                  p.improved, nullptr, shown ? &*shown : nullptr});
                      });
    outcome.moves += shortened.moves;
    if (!shortened.layout || shortened.score.unplaced > 0) return outcome;
    auto part = shortened.layout->begin();
    for (const int i : onLast) outcome.layout.parts[static_cast<std::size_t>(i)] = *part++;
    outcome.score = rescoreSheets(instance, outcome.layout, outcome.score);
    return outcome;
}

}  // namespace blocknest
