#pragma once  // search/walk_runner.hpp: overlap-resolving walks run side by side on threads
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "search/separation.hpp"

namespace blocknest {

// What the walks share: the best score for the progress line, the moves made, and, when a
// watcher asked for it, a copy of the best layout not yet reported.
struct WalkShared {
    std::mutex mutex;
    Score best;
    bool improved = false;
    std::int64_t moves = 0;
    bool keepLayouts = false;
    std::optional<PartList> layout;

    // Counts a walk's moves in batches of 64 (made: the walk's count so far), so that the lock
    // is rarely taken.
    void countMoves(std::int64_t made) {
        if ((made & 63) != 0) return;
        const std::lock_guard lock(mutex);
        moves += 64;
    }
    // Records a walk's new best score, and its layout when kept, for the progress line.
    void offer(const Score& score, const PartList& made) {
        const std::lock_guard lock(mutex);
        if (score < best) {
            best = score;
            improved = true;
            if (keepLayouts) layout = made;
        }
    }
};

// Runs the walks (each with run(start, startScore, quota, options, shared), layout(), score()
// and moves()) on up to options.threads threads, each walk with its share of the move limit;
// the calling thread reports a few times a second and at the end. The outcome is the best
// walk's layout when it scores better than the start, the first such walk on a tie.
template <class Walk>
SeparationOutcome runWalks(std::vector<Walk>& walks, const PartList& start, const Score& startScore,
                           const SeparationOptions& options,
                           const std::function<void(const SeparationProgress&)>& report) {
    SeparationOutcome outcome;
    outcome.score = startScore;
    const int chains = static_cast<int>(walks.size());
    WalkShared shared;
    shared.best = startScore;
    shared.keepLayouts = options.keepLayouts;
    std::atomic<int> next{0};
    auto work = [&] {
        for (;;) {
            const int c = next.fetch_add(1);
            if (c >= chains) return;
            std::int64_t quota = 0;
            if (options.moves > 0) {
                quota = options.moves / chains + (c < options.moves % chains ? 1 : 0);
                if (quota == 0) continue;
            }
            walks[static_cast<std::size_t>(c)].run(start, startScore, quota, options, shared);
        }
    };
    const int threads = std::clamp(options.threads, 1, std::max(1, chains));
    std::condition_variable finished;
    int running = threads;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            work();
            const std::lock_guard lock(shared.mutex);
            --running;
            finished.notify_all();
        });
    }
    for (bool done = false; !done;) {
        SeparationProgress progress;
        std::optional<PartList> shown;  // the layout reported, outside the lock
        {
            std::unique_lock lock(shared.mutex);
            done = finished.wait_for(lock, std::chrono::milliseconds(100),
                                     [&] { return running == 0; });
            progress.best = shared.best;
            progress.improved = shared.improved;
            progress.moves = shared.moves;
            shared.improved = false;
            shown = std::move(shared.layout);
            shared.layout.reset();
        }
        if (shown) progress.layout = &*shown;
        if (done) {
            progress.moves = 0;
            for (const Walk& walk : walks) progress.moves += walk.moves();
        }
        report(progress);
    }
    for (std::thread& worker : workers) worker.join();

    for (Walk& walk : walks) {
        outcome.moves += walk.moves();
        if (walk.layout() && walk.score() < outcome.score) {
            outcome.score = walk.score();
            outcome.layout = walk.layout();
        }
    }
    return outcome;
}

}  // namespace blocknest
