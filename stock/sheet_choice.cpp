#include "stock/sheet_choice.hpp"

#include <algorithm>
#include <limits>
#include <optional>

#include "base/console.hpp"
#include "input/job_preparation.hpp"
#include "output/statistics.hpp"
#include "packing/packer.hpp"
#include "packing/sheets.hpp"

namespace blocknest {

std::variant<PartList, std::string> packOnSheetKind(const PartList& partsLeft,
                                                    const SheetKind& kind,
                                                    const SheetPacking& packing) {
    Sheet sheet;
    sheet.blockSideLength = packing.blockSideLength;
    if (std::optional<std::string> why = makeSheetOfKind(sheet, kind)) return *why;
    PartList parts = partsLeft;
    parkParts(parts, kind.length);
    if (packing.mirror) allowMirrored(parts, packing.rotationCount);
    SilentConsole silent;
    if (!packing.clearance.any()) {
        (void)packAllParts(parts, sheet, packing.rotationCount, silent, false);
        return parts;
    }
    std::variant<PlacementJob, std::string> made =
        makePlacementJob(parts, sheet, packing.clearance);
    if (auto* why = std::get_if<std::string>(&made)) return *why;
    PlacementJob& placement = std::get<PlacementJob>(made);
    (void)packAllParts(placement.parts, placement.sheet, packing.rotationCount, silent, false);
    placeOriginals(parts, placement, placement.parts);
    return parts;
}

namespace {

struct Trial {
    std::size_t kind = 0;
    PartList parts;
    std::vector<bool> placed;
    double area = 0;
    bool all = false;
};

double areaPerCost(const Trial& trial, const SheetKind& kind) {
    return kind.cost > 0 ? trial.area / kind.cost : std::numeric_limits<double>::infinity();
}

// Each packing trial costs a run over every part left: with many kinds in stock only this
// many of each group below are tried for a sheet.
constexpr std::size_t kKindsTriedPerGroup = 8;

// The kinds still in stock that a sheet is tried on: all of them when they are few; else,
// ranked by what they could place at best (the parts' area left, or their material when
// less) per cost, the first drawn kinds and rectangles, and, where a kind that takes every
// part left is preferred, the cheapest with material for all of them. In list order.
std::vector<std::size_t> kindsToTry(const std::vector<SheetKind>& kinds,
                                    const std::vector<double>& material,
                                    const std::vector<std::int64_t>& left, double areaLeft,
                                    bool takeAllFirst) {
    std::vector<std::size_t> open;
    for (std::size_t k = 0; k < kinds.size(); ++k)
        if (left[k] > 0) open.push_back(k);
    if (open.size() <= 3 * kKindsTriedPerGroup) return open;
    const auto bound = [&](std::size_t k) {
        const double placed = std::min(material[k], areaLeft);
        return kinds[k].cost > 0 ? placed / kinds[k].cost : std::numeric_limits<double>::infinity();
    };
    std::vector<char> tried(kinds.size(), 0);
    const auto takeFirst = [&](auto&& belongs, auto&& before) {
        std::vector<std::size_t> group;
        for (const std::size_t k : open)
            if (belongs(k)) group.push_back(k);
        std::stable_sort(group.begin(), group.end(), before);
        for (std::size_t i = 0; i < group.size() && i < kKindsTriedPerGroup; ++i)
            tried[group[i]] = 1;
    };
    const auto moreAreaPerCost = [&](std::size_t a, std::size_t b) { return bound(a) > bound(b); };
    takeFirst([&](std::size_t k) { return kinds[k].drawn(); }, moreAreaPerCost);
    takeFirst([&](std::size_t k) { return !kinds[k].drawn(); }, moreAreaPerCost);
    if (takeAllFirst) {
        takeFirst([&](std::size_t k) { return material[k] >= areaLeft; },
                  [&](std::size_t a, std::size_t b) { return kinds[a].cost < kinds[b].cost; });
    }
    std::erase_if(open, [&](std::size_t k) { return !tried[k]; });
    return open;
}

}  // namespace

namespace {

// One plan by the rules chooseSheets gives; with takeAllFirst off a kind that takes every
// part left is not preferred to the one that places the most area per cost.
std::variant<StockPlan, std::string> planSheets(const PartList& parts,
                                                const std::vector<SheetKind>& kinds,
                                                const PackOnKind& pack, bool takeAllFirst) {
    StockPlan plan;
    plan.parts = parts;
    std::vector<Part*> all;
    for (Part& part : plan.parts) all.push_back(&part);
    plan.sheetOf.assign(all.size(), kNoSheet);
    std::vector<std::int64_t> left;
    std::vector<double> material;
    for (const SheetKind& kind : kinds) {
        left.push_back(kind.count);
        material.push_back(materialArea(kind));
    }
    while (true) {
        std::vector<std::size_t> waiting;
        PartList batch;
        double areaLeft = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (plan.sheetOf[i] != kNoSheet) continue;
            waiting.push_back(i);
            batch.pushBack(*all[i]);
            areaLeft += all[i]->netArea();
        }
        if (waiting.empty()) break;
        std::vector<Trial> trials;
        for (const std::size_t k : kindsToTry(kinds, material, left, areaLeft, takeAllFirst)) {
            std::variant<PartList, std::string> packed = pack(batch, kinds[k]);
            if (auto* why = std::get_if<std::string>(&packed)) return *why;
            Trial trial;
            trial.kind = k;
            trial.parts = std::move(std::get<PartList>(packed));
            trial.all = true;
            for (const Part& part : trial.parts) {
                const bool on = liesOnSheet(part, kinds[k].length, kinds[k].width);
                trial.placed.push_back(on);
                if (on) trial.area += part.netArea();
                trial.all = trial.all && on;
            }
            if (trial.area > 0) trials.push_back(std::move(trial));
        }
        if (trials.empty()) break;
        const Trial* chosen = nullptr;
        auto better = [&](const Trial& a, const Trial* b) {
            return b == nullptr || areaPerCost(a, kinds[a.kind]) > areaPerCost(*b, kinds[b->kind]);
        };
        for (const Trial& trial : trials) {
            if (kinds[trial.kind].drawn() && better(trial, chosen)) chosen = &trial;
        }
        if (chosen == nullptr && takeAllFirst) {
            for (const Trial& trial : trials) {
                if (trial.all &&
                    (chosen == nullptr || kinds[trial.kind].cost < kinds[chosen->kind].cost)) {
                    chosen = &trial;
                }
            }
        }
        if (chosen == nullptr) {
            for (const Trial& trial : trials) {
                if (better(trial, chosen)) chosen = &trial;
            }
        }
        const int sheet = static_cast<int>(plan.sheetKinds.size());
        plan.sheetKinds.push_back(chosen->kind);
        --left[chosen->kind];
        auto part = chosen->parts.begin();
        for (std::size_t j = 0; j < waiting.size(); ++j, ++part) {
            if (!chosen->placed[j]) continue;
            *all[waiting[j]] = *part;
            plan.sheetOf[waiting[j]] = sheet;
        }
    }
    return plan;
}

}  // namespace

std::variant<StockPlan, std::string> chooseSheets(const PartList& parts,
                                                  const std::vector<SheetKind>& kinds,
                                                  const PackOnKind& pack) {
    // A large sheet that takes every part left may cost more than smaller ones that take them
    // between them: both ways are planned to the end, and the cheaper kept.
    std::variant<StockPlan, std::string> first = planSheets(parts, kinds, pack, true);
    if (std::holds_alternative<std::string>(first)) return first;
    std::variant<StockPlan, std::string> second = planSheets(parts, kinds, pack, false);
    if (std::holds_alternative<std::string>(second)) return first;
    auto unplaced = [](const StockPlan& plan) {
        return std::count(plan.sheetOf.begin(), plan.sheetOf.end(), kNoSheet);
    };
    auto cost = [&](const StockPlan& plan) {
        double total = 0;
        for (const std::size_t kind : plan.sheetKinds) total += kinds[kind].cost;
        return total;
    };
    const StockPlan& a = std::get<StockPlan>(first);
    const StockPlan& b = std::get<StockPlan>(second);
    if (unplaced(b) < unplaced(a) || (unplaced(b) == unplaced(a) && cost(b) < cost(a))) {
        return second;
    }
    return first;
}

}  // namespace blocknest
