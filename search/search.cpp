#include "search/search.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <initializer_list>
#include <optional>
#include <thread>
#include <vector>

#include "output/statistics.hpp"
#include "search/exact_separation.hpp"
#include "search/genome_walk.hpp"
#include "search/random.hpp"
#include "search/rectangle_fill.hpp"
#include "search/row_fill.hpp"
#include "search/separation.hpp"

namespace blocknest {
namespace {

constexpr int kExtraSlides = 4;
// The first phase's share of the time; of an evaluation budget it takes one packing run for
// every kEvaluationsPerLayout evaluations, so that it takes about as large a share.
constexpr double kFirstPhaseShare = 0.2;
// The first phase's share of the budget when the one-pass run leaves parts off.
constexpr double kLeftOffFirstShare = 0.2;
// With an evaluation limit the second phase runs this many walks, whatever the thread count.
constexpr int kCountedWalks = 2;
// The fills of parts left off before the search: their share of the time; the edge-to-edge
// fill's search steps per evaluation of a budget (a step costs about a thousandth of a packing
// run) or at most.
constexpr double kFillShare = 0.25;
constexpr std::int64_t kFillStepsPerEvaluation = 100;
constexpr std::int64_t kMostFillSteps = 50'000'000;
// Attempts of the fill in rows at most, and one per so many evaluations of a budget.
constexpr int kRowAttempts = 8;
constexpr std::int64_t kEvaluationsPerRowAttempt = 20'000;

using Clock = std::chrono::steady_clock;

// The walk judges layouts by packed length alone, so that it drifts freely among layouts of
// equal length; the finer score only picks the best of a batch and the best found.
bool longer(const Score& a, const Score& b) {
    if (a.unplaced != b.unplaced) return a.unplaced > b.unplaced;
    return a.length > b.length;
}

// The genome with the parts its layout (in packing order) leaves off the sheet moved to the
// front of the order, in the order they had.
Genome leftOffFirst(const SearchInstance& instance, const Genome& genome, const PartList& layout) {
    std::vector<int> leftOff;
    std::vector<int> placed;
    auto id = genome.order.begin();
    for (const Part& part : layout) {
        const bool on = liesOnSheet(part, instance.sheetLength, instance.sheetWidth);
        (on ? placed : leftOff).push_back(*id);
        ++id;
    }
    Genome first = genome;
    first.order = std::move(leftOff);
    first.order.insert(first.order.end(), placed.begin(), placed.end());
    return first;
}

// A layout placing every part, laid out before the search (in order, the instance's part
// indices): taken as the best when it places more parts, then shortened by the overlap phase
// with moves (0: until end). False, and the outcome unchanged, when it places no more.
bool takeWholeLayout(const SearchInstance& instance, const SearchOptions& options,
                     Clock::time_point began, std::optional<Clock::time_point> end,
                     std::int64_t moves, PartList layout, const std::vector<int>& order,
                     SearchOutcome& outcome,
                     const std::function<void(const SearchProgress&)>& report) {
    const Score score = scoreLayout(instance, layout);
    if (!(score < outcome.score)) return false;
    // The genome's order is the order of the layout's parts.
    outcome.best.order = order;
    outcome.score = score;
    ++outcome.evaluations;
    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - began).count(); };
    report({elapsed(), outcome.evaluations, 0, true, score, true, &outcome.best,
            options.keepLayouts ? &layout : nullptr});
    const bool stopped = options.stop && options.stop->load();
    if (options.separate && !stopped && !(end && Clock::now() >= *end)) {
        SeparationOutcome shortened = shortenLayout(
            instance, order, layout, score, options, end, moves, [&](const SeparationProgress& p) {
                report({elapsed(), outcome.evaluations, p.moves, true, p.best, p.improved,
                        &outcome.best, p.layout});
            });
        outcome.moves = shortened.moves;
        if (shortened.layout && shortened.score < outcome.score) {
            outcome.score = shortened.score;
            layout = std::move(*shortened.layout);
        }
    }
    outcome.layout = std::move(layout);
    return true;
}

// Parts the one-pass run leaves off, laid out whole before the search within a share of the
// budget: rectangles (or parts nearly their boxes, as their boxes) edge to edge, other parts
// in rows; false when neither places them all.
bool fillBeforeSearch(const SearchInstance& instance, const SearchOptions& options,
                      Clock::time_point began, std::optional<Clock::time_point> end,
                      std::int64_t moves, SearchOutcome& outcome,
                      const std::function<void(const SearchProgress&)>& report) {
    const Clock::time_point start = Clock::now();
    std::optional<Clock::time_point> fillEnd;
    if (end) {
        fillEnd = start + std::chrono::duration_cast<Clock::duration>((*end - start) * kFillShare);
    }
    const bool rectangles = fillsWithRectangles(instance);
    if (rectangles || fillsWithBoxes(instance)) {
        RectangleFillOptions fill;
        fill.boxes = !rectangles;
        fill.seed = options.seed;
        fill.stop = options.stop;
        fill.nodes = options.evaluations > 0 ? options.evaluations * kFillStepsPerEvaluation
                                             : kMostFillSteps;
        fill.deadline = fillEnd;
        std::optional<RectangleFill> filled = fillWithRectangles(instance, fill);
        return filled && takeWholeLayout(instance, options, began, end, moves,
                                         std::move(filled->layout), filled->order, outcome, report);
    }
    RowFillOptions rows;
    rows.seed = options.seed;
    rows.stop = options.stop;
    rows.deadline = fillEnd;
    rows.attempts = options.evaluations > 0
                        ? static_cast<int>(std::clamp<std::int64_t>(
                              options.evaluations / kEvaluationsPerRowAttempt, 1, kRowAttempts))
                        : kRowAttempts;
    std::optional<RowFill> filled = fillInRows(instance, rows);
    return filled && takeWholeLayout(instance, options, began, end, moves,
                                     std::move(filled->layout), filled->order, outcome, report);
}

}  // namespace

SeparationOptions separationOptionsFor(const SearchOptions& options,
                                       std::optional<Clock::time_point> deadline,
                                       std::int64_t moves) {
    SeparationOptions separation;
    separation.deadline = deadline;
    separation.moves = moves;
    separation.seed = options.seed;
    separation.chains = options.evaluations > 0 ? kCountedWalks : std::max(1, options.threads);
    separation.threads = std::max(1, options.threads);
    separation.stop = options.stop;
    separation.keepLayouts = options.keepLayouts;
    separation.meetEvery = options.meetEvery;
    return separation;
}

SeparationOutcome shortenLayout(const SearchInstance& instance, const std::vector<int>& order,
                                const PartList& start, const Score& startScore,
                                const SearchOptions& options, std::optional<Clock::time_point> end,
                                std::int64_t moves,
                                const std::function<void(const SeparationProgress&)>& report) {
    // The cell phase needs every part placed, and knows no drawn outline or defect.
    const Sheet& sheet = instance.grids.front().sheet;
    const double exactShare = std::clamp(options.exactShare, 0.0, 1.0);
    const bool cellsServe = startScore.unplaced == 0 && !sheet.outside && sheet.defects.empty();
    const double cellShare = cellsServe ? 1 - exactShare : 0;
    std::optional<Clock::time_point> cellEnd = end;
    if (end) {
        cellEnd = Clock::now() +
                  std::chrono::duration_cast<Clock::duration>((*end - Clock::now()) * cellShare);
    }
    const auto cellMoves = static_cast<std::int64_t>(static_cast<double>(moves) * cellShare);
    SeparationOutcome outcome;
    outcome.score = startScore;
    PartList layout = start;
    std::int64_t movesBefore = 0;
    auto take = [&](SeparationOutcome separated) {
        outcome.moves += separated.moves;
        movesBefore = outcome.moves;
        if (separated.layout && separated.score < outcome.score) {
            outcome.score = separated.score;
            layout = *separated.layout;
            outcome.layout = std::move(separated.layout);
        }
    };
    auto progress = [&](const SeparationProgress& p) {
        SeparationProgress total = p;
        total.moves += movesBefore;
        report(total);
    };
    auto stopped = [&] { return options.stop && options.stop->load(); };
    if (cellShare > 0 && (moves == 0 || cellMoves > 0)) {
        take(separateLayout(instance, order, layout, outcome.score,
                            separationOptionsFor(options, cellEnd, cellMoves), progress));
    }
    if (cellShare < 1 && (moves == 0 || moves > cellMoves) && !stopped() &&
        !(end && Clock::now() >= *end)) {
        take(separateExactly(instance, order, layout, outcome.score,
                             separationOptionsFor(options, end, moves - cellMoves), progress));
    }
    return outcome;
}

SearchOutcome searchLayout(const SearchInstance& instance, const SearchOptions& options,
                           const std::function<void(const SearchProgress&)>& report) {
    const Clock::time_point start = Clock::now();
    std::optional<Clock::time_point> end;
    std::optional<Clock::time_point> deadline;
    auto after = [&](double seconds) {
        return start +
               std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    };
    if (options.timeLimit > 0) {
        end = after(options.timeLimit);
        deadline = options.separate ? after(options.timeLimit * kFirstPhaseShare) : end;
    }
    // Set once the one-pass layout tells whether the second phase can run.
    std::int64_t layoutLimit = options.evaluations;
    auto stopped = [&] { return options.stop && options.stop->load(); };
    std::vector<DecoderMemory> memories(static_cast<std::size_t>(std::max(1, options.threads)));
    auto decode = [&](const Genome& genome, DecoderMemory& memory) {
        return decodeLayout(instance, genome, memory);
    };
    Random random(options.seed);
    SearchOutcome outcome;
    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    auto budgetLeft = [&](std::int64_t wanted) -> std::int64_t {
        if (stopped() || (deadline && Clock::now() >= *deadline)) return 0;
        if (layoutLimit > 0) return std::min(wanted, layoutLimit - outcome.evaluations);
        return wanted;
    };

    // The one-pass layout first: it is the layout to beat, and always counts as found.
    Genome current = onePassGenome(instance);
    outcome.best = current;
    PartList onePass;
    outcome.score = decodeLayout(instance, current, memories[0], &onePass);
    outcome.evaluations = 1;
    // The cell phase needs every part placed; the exact phase also puts the parts left off onto
    // the sheet. Without either, the first phase takes the whole budget: the whole time, or one
    // packing run per evaluation.
    const double exactShare = std::clamp(options.exactShare, 0.0, 1.0);
    const bool separate = options.separate && (outcome.score.unplaced == 0 || exactShare > 0);
    // With parts left off, the first phase (whose exact positions place many of them) takes a
    // fifth of the budget, as time or as packing runs, and the exact phase the rest: layouts
    // that leave the same parts off are worth no more for being shorter, and the exact phase
    // puts the parts left off onto the sheet.
    const bool leftOff = outcome.score.unplaced > 0;
    if (!separate) deadline = end;
    if (separate && leftOff && options.timeLimit > 0) {
        deadline = after(options.timeLimit * kLeftOffFirstShare);
    }
    std::int64_t secondMoves = options.evaluations;
    if (separate && options.evaluations > 0) {
        layoutLimit = std::max<std::int64_t>(1, options.evaluations / kEvaluationsPerLayout);
        if (leftOff) {
            layoutLimit = std::max<std::int64_t>(
                1, static_cast<std::int64_t>(static_cast<double>(options.evaluations) *
                                             kLeftOffFirstShare));
            secondMoves = options.evaluations - layoutLimit;
        }
    }
    report({elapsed(), outcome.evaluations, 0, false, outcome.score, true, &outcome.best});
    if (leftOff && !stopped()) {
        if (fillBeforeSearch(instance, options, start, end, secondMoves, outcome, report)) {
            return outcome;
        }
        if (options.timeLimit > 0 && deadline) {
            // The fill took its share of the time: the first phase keeps its share of the rest.
            const Clock::time_point now = Clock::now();
            deadline = now + std::chrono::duration_cast<Clock::duration>(
                                 (*end - now) * (separate ? kLeftOffFirstShare : 1.0));
        }
    }
    Score currentScore = outcome.score;

    // The same order on each grid, with and without more slides; the search goes on from the
    // best of them.
    {
        std::vector<Genome> batch;
        const std::int64_t room = budgetLeft(1 << 20);
        // Parts left off for want of room may find it when they are packed first, or when
        // every part is placed against what is there (a walk from such a genome keeps it).
        if (outcome.score.unplaced > 0) {
            const Genome first = leftOffFirst(instance, current, onePass);
            for (std::size_t g = 0; g < instance.grids.size(); ++g) {
                if (static_cast<std::int64_t>(batch.size()) >= room) break;
                Genome genome = first;
                genome.grid = static_cast<int>(g);
                batch.push_back(std::move(genome));
            }
            for (const Genome* base : std::initializer_list<const Genome*>{&current, &first}) {
                if (static_cast<std::int64_t>(batch.size()) >= room) break;
                Genome genome = *base;
                genome.exactFirst = true;
                batch.push_back(std::move(genome));
            }
        }
        for (std::size_t g = 0; g < instance.grids.size(); ++g) {
            for (int slides : {0, kExtraSlides}) {
                if ((g == 0 && slides == 0) || static_cast<std::int64_t>(batch.size()) >= room) {
                    continue;
                }
                Genome genome = current;
                genome.grid = static_cast<int>(g);
                genome.extraSlides = slides;
                batch.push_back(std::move(genome));
            }
        }
        std::vector<std::optional<Score>> scores(batch.size());
        scoreBatch(batch, scores, memories, deadline, decode);
        for (std::size_t i = 0; i < batch.size(); ++i) {
            if (!scores[i]) continue;
            ++outcome.evaluations;
            if (*scores[i] < currentScore) {
                current = batch[i];
                currentScore = *scores[i];
            }
        }
        if (currentScore < outcome.score) {
            outcome.best = current;
            outcome.score = currentScore;
            report({elapsed(), outcome.evaluations, 0, false, outcome.score, true, &outcome.best});
        }
    }

    WalkBest<Score> walk{outcome.best, outcome.score, outcome.evaluations};
    auto walkBudget = [&](std::int64_t wanted) -> std::int64_t {
        outcome.evaluations = walk.evaluations;
        return budgetLeft(wanted);
    };
    walkGenomes(
        instance, current, currentScore, walk, random, memories, deadline, decode, longer,
        walkBudget, [&](bool improved) {
            report({elapsed(), walk.evaluations, 0, false, walk.score, improved, &walk.genome});
        });
    outcome.best = walk.genome;
    outcome.score = walk.score;
    outcome.evaluations = walk.evaluations;
    if (!separate || stopped() || (end && Clock::now() >= *end)) return outcome;

    PartList layout;
    DecoderMemory memory;
    (void)decodeLayout(instance, outcome.best, memory, &layout);
    SeparationOutcome shortened =
        shortenLayout(instance, outcome.best.order, layout, outcome.score, options, end,
                      secondMoves, [&](const SeparationProgress& p) {
                          report({elapsed(), outcome.evaluations, p.moves, true, p.best, p.improved,
                                  &outcome.best, p.layout});
                      });
    outcome.moves = shortened.moves;
    if (shortened.layout && shortened.score < outcome.score) {
        outcome.score = shortened.score;
        outcome.layout = std::move(shortened.layout);
    }
    return outcome;
}

}  // namespace blocknest
