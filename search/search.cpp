#include "search/search.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "search/random.hpp"
#include "search/separation.hpp"

namespace blocknest {
namespace {

constexpr int kBatchSize = 8;
constexpr int kHistoryLength = 40;
constexpr int kExtraSlides = 4;
constexpr int kPatience = 300;  // batches without a new best before the walk returns to it
// The first phase's share of the time; of an evaluation budget it takes one packing run for
// every kMovesPerLayout evaluations (a packing run takes the time of 50 to 500 moves of the
// second phase, which counts moves), so that it takes about as large a share.
constexpr double kFirstPhaseShare = 0.2;
constexpr std::int64_t kMovesPerLayout = 500;
// With an evaluation limit the second phase runs this many walks, whatever the thread count.
constexpr int kCountedWalks = 2;

using Clock = std::chrono::steady_clock;

// The walk judges layouts by packed length alone, so that it drifts freely among layouts of
// equal length; the finer score only picks the best of a batch and the best found.
bool longer(const Score& a, const Score& b) {
    if (a.unplaced != b.unplaced) return a.unplaced > b.unplaced;
    return a.length > b.length;
}

// A neighbour of the genome: two parts of different shapes swap places, one part moves to
// another place in the order, or one part takes another turn (or all of them again).
Genome mutate(const Genome& genome, const SearchInstance& instance, Random& random) {
    Genome next = genome;
    const int n = static_cast<int>(next.order.size());
    if (n < 2) {
        if (n == 1 && instance.turns[0].size() > 1) {
            next.turns[0] = random.below(static_cast<int>(instance.turns[0].size()) + 1) - 1;
        }
        return next;
    }
    const int kind = random.below(100);
    const int grids = static_cast<int>(instance.grids.size());
    if (grids > 1 && random.chance(1, 20)) {
        next.grid = (next.grid + 1 + random.below(grids - 1)) % grids;
        return next;
    }
    auto shape = [&](int position) {
        return instance
            .shapeOf[static_cast<std::size_t>(next.order[static_cast<std::size_t>(position)])];
    };
    if (kind < 70) {
        // A swap of two different shapes; near swaps are tried as often as far ones.
        for (int attempt = 0; attempt < 8; ++attempt) {
            const int i = random.below(n);
            int j = random.below(n);
            if (kind >= 35) {
                const int distance = 1 + random.below(std::min(4, n - 1));
                j = i + distance < n ? i + distance : i - distance;
                if (j < 0) continue;
            }
            if (i == j || shape(i) == shape(j)) continue;
            std::swap(next.order[static_cast<std::size_t>(i)],
                      next.order[static_cast<std::size_t>(j)]);
            return next;
        }
        return next;
    }
    if (kind < 85) {
        const int from = random.below(n);
        const int to = random.below(n);
        if (from == to) return next;
        const int moved = next.order[static_cast<std::size_t>(from)];
        next.order.erase(next.order.begin() + from);
        next.order.insert(next.order.begin() + to, moved);
        return next;
    }
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int id = random.below(n);
        const int choices = static_cast<int>(instance.turns[static_cast<std::size_t>(id)].size());
        if (choices < 2) continue;
        // Any of the other choices: every allowed turn alone, or all of them tried.
        const int current = next.turns[static_cast<std::size_t>(id)];
        int turn = random.below(choices) - 1;
        if (turn >= current) ++turn;
        next.turns[static_cast<std::size_t>(id)] = turn;
        return next;
    }
    return next;
}

// Evaluates a batch of genomes on the given number of threads, each with its own decoder
// memory. A genome not evaluated before the deadline keeps no score.
void evaluateBatch(const SearchInstance& instance, const std::vector<Genome>& batch,
                   std::vector<std::optional<Score>>& scores, std::vector<DecoderMemory>& memories,
                   std::optional<Clock::time_point> deadline) {
    std::atomic<std::size_t> next{0};
    auto work = [&](DecoderMemory& memory) {
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= batch.size()) return;
            if (deadline && Clock::now() >= *deadline) continue;
            scores[i] = decodeLayout(instance, batch[i], memory);
        }
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < memories.size(); ++t) {
        helpers.emplace_back(work, std::ref(memories[t]));
    }
    work(memories[0]);
    for (std::thread& helper : helpers) helper.join();
}

}  // namespace

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
    const std::int64_t layoutLimit =
        options.evaluations > 0 && options.separate
            ? std::max<std::int64_t>(1, options.evaluations / kMovesPerLayout)
            : options.evaluations;
    auto stopped = [&] { return options.stop && options.stop->load(); };
    std::vector<DecoderMemory> memories(static_cast<std::size_t>(std::max(1, options.threads)));
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
    outcome.score = decodeLayout(instance, current, memories[0]);
    outcome.evaluations = 1;
    // The second phase needs every part placed; a sheet that cannot take them all (one of
    // several) gives the whole time to the first phase.
    const bool separate = options.separate && outcome.score.unplaced == 0;
    if (!separate) deadline = end;
    Score currentScore = outcome.score;
    report({elapsed(), outcome.evaluations, 0, false, outcome.score, true});

    // The same order on each grid, with and without more slides; the search goes on from the
    // best of them.
    {
        std::vector<Genome> batch;
        const std::int64_t room = budgetLeft(1 << 20);
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
        evaluateBatch(instance, batch, scores, memories, deadline);
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
            report({elapsed(), outcome.evaluations, 0, false, outcome.score, true});
        }
    }

    std::vector<Score> history(kHistoryLength, currentScore);
    std::int64_t step = 0;
    int sinceBest = 0;
    for (;;) {
        const std::int64_t size = budgetLeft(kBatchSize);
        if (size <= 0) break;
        std::vector<Genome> batch;
        for (std::int64_t i = 0; i < size; ++i) batch.push_back(mutate(current, instance, random));
        std::vector<std::optional<Score>> scores(batch.size());
        evaluateBatch(instance, batch, scores, memories, deadline);
        std::optional<std::size_t> chosen;
        for (std::size_t i = 0; i < batch.size(); ++i) {
            if (!scores[i]) continue;
            ++outcome.evaluations;
            if (!chosen || *scores[i] < *scores[*chosen]) chosen = i;
        }
        if (!chosen) break;
        const Score& candidate = *scores[*chosen];
        bool improved = false;
        if (candidate < outcome.score) {
            outcome.best = batch[*chosen];
            outcome.score = candidate;
            improved = true;
        }
        Score& judged = history[static_cast<std::size_t>(step % kHistoryLength)];
        if (!longer(candidate, currentScore) || !longer(candidate, judged)) {
            current = std::move(batch[*chosen]);
            currentScore = candidate;
        }
        if (longer(judged, currentScore)) judged = currentScore;
        ++step;
        sinceBest = improved ? 0 : sinceBest + 1;
        if (sinceBest >= kPatience) {
            current = outcome.best;
            currentScore = outcome.score;
            std::fill(history.begin(), history.end(), currentScore);
            sinceBest = 0;
        }
        report({elapsed(), outcome.evaluations, 0, false, outcome.score, improved});
    }
    if (!separate || stopped() || (end && Clock::now() >= *end)) return outcome;

    PartList firstBest;
    DecoderMemory memory;
    (void)decodeLayout(instance, outcome.best, memory, &firstBest);
    SeparationOptions second;
    second.deadline = end;
    second.moves = options.evaluations;
    second.seed = options.seed;
    second.chains = options.evaluations > 0 ? kCountedWalks : std::max(1, options.threads);
    second.threads = std::max(1, options.threads);
    second.stop = options.stop;
    SeparationOutcome separated = separateLayout(
        instance, outcome.best.order, firstBest, outcome.score, second,
        [&](const SeparationProgress& p) {
            report({elapsed(), outcome.evaluations, p.moves, true, p.best, p.improved});
        });
    outcome.moves = separated.moves;
    if (separated.layout && separated.score < outcome.score) {
        outcome.score = separated.score;
        outcome.layout = std::move(separated.layout);
    }
    return outcome;
}

}  // namespace blocknest
