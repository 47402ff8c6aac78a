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

// What the walks share: the best score for the progress line, the moves made, when a
// watcher asked for it a copy of the best layout not yet reported, and the walks' meetings. Every
// walk that is still running stops at each meeting until all have come; the last to come lets the
// walks that are behind take up the best one's layout (exchange). What a walk does between meetings
// depends only on its own state, so with a move limit the outcome is the same however many walks
// run at once.
struct WalkShared {
    std::mutex mutex;
    std::condition_variable changed;
    Score best;
    bool improved = false;
    std::int64_t moves = 0;
    bool keepLayouts = false;
    std::optional<PartList> layout;
    int slots = 1;    // walks that may run at once
    int running = 0;  // walks running now
    int walking = 0;  // walks not yet finished
    int waiting = 0;  // walks at the meeting
    std::int64_t meetings = 0;
    std::function<void()> exchange;  // called by the last walk to come, the others waiting

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
    // Waits for a free slot before a walk starts.
    void enter() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return running < slots; });
        ++running;
    }
    // Waits at a meeting until every running walk has come and the exchange is made.
    void meet() {
        std::unique_lock lock(mutex);
        --running;
        const std::int64_t held = meetings;
        if (++waiting == walking) {
            close();
        } else {
            changed.notify_all();
        }
        changed.wait(lock, [&] { return meetings != held && running < slots; });
        ++running;
    }
    // A walk has finished: the others no longer wait for it.
    void leave() {
        const std::lock_guard lock(mutex);
        --running;
        --walking;
        if (waiting > 0 && waiting == walking) close();
        changed.notify_all();
    }

private:
    void close() {
        if (exchange) exchange();
        waiting = 0;
        ++meetings;
        changed.notify_all();
    }
};

// Moves a walk makes between meetings (perPart moves a part, 0: the default): enough for each
// to go its own way for a long while, so that the walks do not all end in one place.
[[nodiscard]] inline std::int64_t meetingInterval(int parts, std::int64_t perPart) {
    return (perPart > 0 ? perPart : 10000) * static_cast<std::int64_t>(std::max(parts, 8));
}

// Runs the walks (each with run(start, startScore, quota, options, shared), layout(), score(),
// moves(), reach(), stalled() and adopt(other)), each on a thread of its own, up to options.threads
// at once, each with its share of the move limit; the calling thread reports a few times a second
// and at the end. At each meeting a walk whose best layout reaches further than the best
// walk's (reach), and that found nothing shorter since its last meeting (stalled), takes that
// one up (adopt), the first walk on a tie. The outcome is the best
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
    shared.slots = std::max(1, options.threads);
    shared.keepLayouts = options.keepLayouts;
    shared.exchange = [&walks] {
        std::size_t lead = 0;
        for (std::size_t c = 1; c < walks.size(); ++c) {
            if (walks[c].reach() < walks[lead].reach()) lead = c;
        }
        for (std::size_t c = 0; c < walks.size(); ++c) {
            if (walks[lead].reach() < walks[c].reach() && walks[c].stalled()) {
                walks[c].adopt(walks[lead]);
            }
        }
    };
    std::vector<std::int64_t> quotas;
    for (int c = 0; c < chains; ++c) {
        std::int64_t quota = 0;
        if (options.moves > 0)
            quota = options.moves / chains + (c < options.moves % chains ? 1 : 0);
        quotas.push_back(quota);
        if (options.moves == 0 || quota > 0) ++shared.walking;
    }
    std::vector<std::thread> workers;
    for (int c = 0; c < chains; ++c) {
        const std::int64_t quota = quotas[static_cast<std::size_t>(c)];
        if (options.moves > 0 && quota == 0) continue;
        workers.emplace_back([&, c, quota] {
            shared.enter();
            walks[static_cast<std::size_t>(c)].run(start, startScore, quota, options, shared);
            shared.leave();
        });
    }
    for (bool done = false; !done;) {
        SeparationProgress progress;
        std::optional<PartList> shown;  // the layout reported, outside the lock
        {
            std::unique_lock lock(shared.mutex);
            done = shared.changed.wait_for(lock, std::chrono::milliseconds(100),
                                           [&] { return shared.walking == 0; });
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
