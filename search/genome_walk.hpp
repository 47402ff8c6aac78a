#pragma once  // search/genome_walk.hpp: a late-acceptance walk over packing genomes
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

#include "search/decoder.hpp"
#include "search/random.hpp"

namespace blocknest {

// A neighbour of the genome: two parts of different shapes swap places, one part moves to
// another place in the order, one part takes another turn (or all of them again), or, now and
// then, the layout is packed on another grid.
[[nodiscard]] Genome mutate(const Genome& genome, const SearchInstance& instance, Random& random);

// Scores a batch of genomes on as many threads as there are memories, each thread with its
// own. A genome not scored before the deadline keeps no score. decode(genome, memory) -> S.
template <class S, class Decode>
void scoreBatch(const std::vector<Genome>& batch, std::vector<std::optional<S>>& scores,
                std::vector<DecoderMemory>& memories,
                std::optional<std::chrono::steady_clock::time_point> deadline,
                const Decode& decode) {
    std::atomic<std::size_t> next{0};
    auto work = [&](DecoderMemory& memory) {
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= batch.size()) return;
            if (deadline && std::chrono::steady_clock::now() >= *deadline) continue;
            scores[i] = decode(batch[i], memory);
        }
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < memories.size(); ++t) {
        helpers.emplace_back(work, std::ref(memories[t]));
    }
    work(memories[0]);
    for (std::thread& helper : helpers) helper.join();
}

// The best genome a walk has found, its score, and the genomes it has scored.
template <class S>
struct WalkBest {
    Genome genome;
    S score;
    std::int64_t evaluations = 0;
};

inline constexpr int kWalkBatchSize = 8;

// Walks from current: each step scores a batch of kWalkBatchSize neighbours (fewer when
// budget(wanted) allows fewer; it ends the walk at 0) and goes to the best of them by judge
// (ties broken by <) unless it is worse, by judge, than both the current genome and the one
// kept from 40 steps before.
// After 300 steps without a new best the walk returns to the best. judge(a, b) is true when a
// is worse than b; the walk drifts freely among genomes it holds equal, while S's own < picks
// the best. report(improved) follows every step.
template <class S, class Decode, class Judge, class Budget, class Report>
void walkGenomes(const SearchInstance& instance, Genome current, S currentScore, WalkBest<S>& best,
                 Random& random, std::vector<DecoderMemory>& memories,
                 std::optional<std::chrono::steady_clock::time_point> deadline,
                 const Decode& decode, const Judge& judge, const Budget& budget,
                 const Report& report) {
    constexpr int kHistoryLength = 40;
    constexpr int kPatience = 300;
    std::vector<S> history(kHistoryLength, currentScore);
    std::int64_t step = 0;
    int sinceBest = 0;
    for (;;) {
        const std::int64_t size = budget(std::int64_t{kWalkBatchSize});
        if (size <= 0) break;
        std::vector<Genome> batch;
        for (std::int64_t i = 0; i < size; ++i) batch.push_back(mutate(current, instance, random));
        std::vector<std::optional<S>> scores(batch.size());
        scoreBatch(batch, scores, memories, deadline, decode);
        // The walk goes on from the batch's best by judge (ties broken by <); the best found
        // is the best by <.
        std::optional<std::size_t> chosen;
        bool improved = false;
        for (std::size_t i = 0; i < batch.size(); ++i) {
            if (!scores[i]) continue;
            ++best.evaluations;
            const S& score = *scores[i];
            if (!chosen || judge(*scores[*chosen], score) ||
                (!judge(score, *scores[*chosen]) && score < *scores[*chosen])) {
                chosen = i;
            }
            if (score < best.score) {
                best.genome = batch[i];
                best.score = score;
                improved = true;
            }
        }
        if (!chosen) break;
        const S& candidate = *scores[*chosen];
        S& judged = history[static_cast<std::size_t>(step % kHistoryLength)];
        if (!judge(candidate, currentScore) || !judge(candidate, judged)) {
            current = std::move(batch[*chosen]);
            currentScore = candidate;
        }
        if (judge(judged, currentScore)) judged = currentScore;
        ++step;
        sinceBest = improved ? 0 : sinceBest + 1;
        if (sinceBest >= kPatience) {
            current = best.genome;
            currentScore = best.score;
            std::fill(history.begin(), history.end(), currentScore);
            sinceBest = 0;
        }
        report(improved);
    }
}

}  // namespace blocknest
