#include "stock/cost_bound.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace blocknest {
namespace {

struct Offer {
    double area = 0;  // material of one sheet
    double cost = 0;
    double count = 0;
};

constexpr double kNone = std::numeric_limits<double>::infinity();

// The least cost of the offers from first on covering need, sheets cut to size: each taken
// whole while it helps, the last in part.
double fractionalCost(const std::vector<Offer>& offers, std::size_t first, double need) {
    double cost = 0;
    for (std::size_t k = first; k < offers.size() && need > 0; ++k) {
        const Offer& offer = offers[k];
        if (offer.count * offer.area >= need) return cost + need / offer.area * offer.cost;
        cost += offer.count * offer.cost;
        need -= offer.count * offer.area;
    }
    return need > 0 ? kNone : cost;
}

struct Search {
    const std::vector<Offer>& offers;
    double done;  // a need at or below this is met: a rounding's width of the area
    long stepsLeft;
    double best = kNone;

    void from(std::size_t k, double need, double cost) {
        if (need <= done) {
            best = std::min(best, cost);
            return;
        }
        if (k == offers.size() || --stepsLeft < 0) return;
        if (cost + fractionalCost(offers, k, need) >= best) return;
        const Offer& offer = offers[k];
        const double most = std::min(offer.count, std::ceil(need / offer.area));
        for (double n = most; n >= 0 && stepsLeft >= 0; --n) {
            from(k + 1, need - n * offer.area, cost + n * offer.cost);
        }
    }
};

}  // namespace

std::optional<double> leastSheetsCost(const std::vector<SheetKind>& kinds, double area,
                                      long nodeLimit) {
    std::vector<Offer> offers;
    for (const SheetKind& kind : kinds) {
        const double material = materialArea(kind);
        if (material > 0 && kind.count > 0) {
            offers.push_back({material, std::max(0.0, kind.cost), static_cast<double>(kind.count)});
        }
    }
    std::stable_sort(offers.begin(), offers.end(), [](const Offer& a, const Offer& b) {
        return a.cost * b.area < b.cost * a.area;
    });
    const double need = std::max(0.0, area);
    const double done = 1e-9 * need;
    const double fractional = fractionalCost(offers, 0, need - done);
    if (fractional == kNone) return std::nullopt;
    Search search{offers, done, nodeLimit};
    search.from(0, need, 0);
    if (search.stepsLeft < 0 || search.best == kNone) return fractional;
    return search.best;
}

}  // namespace blocknest
