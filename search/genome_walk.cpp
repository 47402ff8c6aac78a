#include "search/genome_walk.hpp"

namespace blocknest {

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

}  // namespace blocknest
