#include "search/row_fill.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "output/statistics.hpp"
#include "packing/overlap.hpp"
#include "search/random.hpp"
#include "search/separation.hpp"

namespace blocknest {
namespace {

// A slide back ends with a step below this share of the sheet's length.
constexpr double kSlideResolution = 1e-5;
// Attempts after the first weigh each candidate's waste by up to this share more, at random.
constexpr double kWasteNoise = 0.25;
// Parts set and slid back at most in one attempt: a job of many parts tries each one at every
// step, as the square of their count.
constexpr std::int64_t kMostSlides = 40'000;

// Slides the part toward X = 0 while the exact test (edges closed) passes, in steps halving from
// a quarter of its box's length down to resolution.
void slideBack(const PartIndex& index, Part& part, double resolution) {
    const BoundingBox& box = part.bounds();
    for (double step = (box.maxX - box.minX) / 4; step >= resolution; step /= 2) {
        for (;;) {
            const double before = part.bounds().minX;
            part.translate(-step, 0);
            if (part.bounds().minX < before && part.bounds().minX >= 0 &&
                isPlacementFeasible(index, part, true)) {
                continue;
            }
            part.translate(step, 0);
            break;
        }
    }
}

// The area of the part's box right of its outline: the next part of a row may fill it.
// Between two heights of its vertices the outline's rightmost edge is one straight edge (the
// outline is simple), so its crossing at the middle height gives that slab's area exactly.
double rightVoid(const Part& part) {
    const BoundingBox& box = part.bounds();
    const std::vector<Vertex>& v = part.outerLoop().vertices();
    std::vector<double> heights;
    for (const Vertex& p : v) heights.push_back(p.y);
    std::sort(heights.begin(), heights.end());
    heights.erase(std::unique(heights.begin(), heights.end()), heights.end());
    double sum = 0;
    for (std::size_t k = 0; k + 1 < heights.size(); ++k) {
        const double y = (heights[k] + heights[k + 1]) / 2;
        double right = box.minX;
        for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
            if ((v[i].y <= y) != (v[j].y <= y)) {
                right =
                    std::max(right, v[i].x + (y - v[i].y) * (v[j].x - v[i].x) / (v[j].y - v[i].y));
            }
        }
        sum += (box.maxX - right) * (heights[k + 1] - heights[k]);
    }
    return sum;
}

struct Candidate {
    double rank = std::numeric_limits<double>::infinity();  // lower first, then less waste
    double waste = std::numeric_limits<double>::infinity();
    int id = -1;
    std::optional<Part> pose;
};

// One attempt: the parts not yet placed (every one an element of list, which index was built
// over) laid in rows, and marked placed; the order they were placed in, or none when some part
// finds no row. With partial the rows end, and the order is that of the parts placed, when no
// part starts a new row, and each row starts with the tallest part that fits.
std::optional<std::vector<int>> layRows(const SearchInstance& instance,
                                        const std::vector<std::vector<Part>>& turned,
                                        const std::vector<std::vector<double>>& voids,
                                        const std::vector<Part*>& element, PartIndex& index,
                                        std::vector<char>& placed, bool partial, Random* noise,
                                        const std::function<bool()>& stopped) {
    const double length = instance.sheetLength;
    const double width = instance.sheetWidth;
    const double tolerance = 1e-9 * std::max(length, width);
    const double resolution = kSlideResolution * length;
    const int n = static_cast<int>(turned.size());
    const auto left = static_cast<std::size_t>(std::count(placed.begin(), placed.end(), 0));
    std::vector<int> order;
    std::int64_t slides = 0;
    double y = 0;
    while (order.size() < left) {
        double rowHeight = 0;
        double rowEnd = 0;
        for (;;) {
            if (slides > kMostSlides || stopped()) return std::nullopt;
            Candidate best;
            std::vector<int> shapesTried;
            for (int id = 0; id < n; ++id) {
                if (placed[static_cast<std::size_t>(id)]) continue;
                const int shape = instance.shapeOf[static_cast<std::size_t>(id)];
                if (std::find(shapesTried.begin(), shapesTried.end(), shape) != shapesTried.end()) {
                    continue;
                }
                shapesTried.push_back(shape);
                Part& part = *element[static_cast<std::size_t>(id)];
                const auto& poses = turned[static_cast<std::size_t>(id)];
                for (std::size_t t = 0; t < poses.size(); ++t) {
                    const Part& pose = poses[t];
                    const BoundingBox& box = pose.bounds();
                    const double h = box.maxY - box.minY;
                    if ((rowHeight > 0 && h > rowHeight + tolerance) || y + h > width + tolerance) {
                        continue;
                    }
                    part = pose;
                    part.translate(rowEnd - box.minX, y - box.minY);
                    if (!isPlacementFeasible(index, part, true)) continue;
                    slideBack(index, part, resolution);
                    ++slides;
                    const BoundingBox& at = part.bounds();
                    if (at.maxX > length + tolerance) continue;
                    const double height = rowHeight > 0 ? rowHeight : h;
                    // The row's area the part takes beyond its own, the room it leaves right
                    // of it for the next part not counted.
                    double waste = (at.maxX - rowEnd) * height - part.netArea() -
                                   voids[static_cast<std::size_t>(id)][t];
                    if (noise) waste *= 1 + kWasteNoise * noise->unit();
                    // Over several sheets a row starts with the tallest part: rows of alike
                    // heights come first and waste no strip above the shorter parts.
                    const double rank = partial && rowHeight == 0 ? -h : 0;
                    if (rank < best.rank - tolerance ||
                        (rank <= best.rank + tolerance && waste < best.waste)) {
                        best = {rank, waste, id, part};
                    }
                }
            }
            if (best.id < 0) break;
            Part& chosen = *element[static_cast<std::size_t>(best.id)];
            chosen = *best.pose;
            index.markPlaced(chosen);
            placed[static_cast<std::size_t>(best.id)] = 1;
            order.push_back(best.id);
            const BoundingBox& at = chosen.bounds();
            rowEnd = std::max(rowEnd, at.maxX);
            rowHeight = std::max(rowHeight, at.maxY - at.minY);
        }
        if (rowHeight == 0) {  // no part fits a row here
            if (partial) break;
            return std::nullopt;
        }
        y += rowHeight;
    }
    return order;
}

// What every attempt starts from: each part in every turn it may take, its box at the origin,
// with the room right of it, and the strip the parts are tested on while they slide.
struct RowParts {
    std::vector<std::vector<Part>> turned;
    std::vector<std::vector<double>> voids;
    Sheet strip;
};

RowParts rowParts(const SearchInstance& instance) {
    const Grid& grid = instance.grids.front();
    RowParts rows;
    for (std::size_t id = 0; id < instance.parts.size(); ++id) {
        std::vector<Part> poses;
        for (const Orientation& turn : instance.turns[id]) {
            Part part = instance.parts[id];
            part.setBlockSideLength(grid.blockSide);
            part.applyTurn(turn);
            part.setTurn(turn);
            const BoundingBox box = part.refreshBounds();
            part.translate(-box.minX, -box.minY);
            poses.push_back(std::move(part));
        }
        rows.turned.push_back(std::move(poses));
    }
    for (const auto& poses : rows.turned) {
        rows.voids.emplace_back();
        for (const Part& pose : poses) rows.voids.back().push_back(rightVoid(pose));
    }
    // A part set after a row's end may reach past the sheet's end before it slides back: the
    // parts are tested on a strip three times as long, their ends against the sheet's after.
    rows.strip = grid.sheet;
    rows.strip.length = 3 * instance.sheetLength;
    return rows;
}

// One sheet's rows of the parts not yet placed (marked placed as they are laid), settled and
// checked against the sheet; the parts in the order laid, or none.
std::optional<RowFill> layOneSheet(const SearchInstance& instance, const RowParts& rows,
                                   std::vector<char>& placed, bool partial, Random* noise,
                                   const std::function<bool()>& stopped) {
    PartList list;
    std::vector<Part*> element;
    // Parked far beyond the sheet until placed: the index tests parts not placed too.
    for (const auto& poses : rows.turned) list.pushBack(poses.front());
    for (Part& part : list) {
        part.translate(10 * (instance.sheetLength + instance.sheetWidth), 0);
        element.push_back(&part);
    }
    PartIndex index(list, rows.strip);
    const auto order =
        layRows(instance, rows.turned, rows.voids, element, index, placed, partial, noise, stopped);
    if (!order) return std::nullopt;
    RowFill fill;
    for (const int id : *order) fill.layout.pushBack(*element[static_cast<std::size_t>(id)]);
    fill.order = *order;
    if (!settleLayout(instance, fill.layout)) return std::nullopt;
    const bool onSheet = std::all_of(fill.layout.begin(), fill.layout.end(), [&](const Part& part) {
        return liesOnSheet(part, instance.sheetLength, instance.sheetWidth);
    });
    if (!onSheet) return std::nullopt;
    return fill;
}

// Runs up to options.attempts attempts, the first greedy and the others with noise, on the
// parts prepared once; the first result one gives, or none.
template <typename Result, typename Attempt>
std::optional<Result> runAttempts(const SearchInstance& instance, const RowFillOptions& options,
                                  const Attempt& attempt) {
    const RowParts rows = rowParts(instance);
    Random random(options.seed);
    const std::function<bool()> stopped = [&] {
        return (options.stop && options.stop->load()) ||
               (options.deadline && std::chrono::steady_clock::now() >= *options.deadline);
    };
    for (int k = 0; k < options.attempts && !stopped(); ++k) {
        std::optional<Result> result = attempt(rows, k > 0 ? &random : nullptr, stopped);
        if (result) return result;
    }
    return std::nullopt;
}

}  // namespace

std::optional<RowFill> fillInRows(const SearchInstance& instance, const RowFillOptions& options) {
    if (!fillsAPlainSheet(instance)) return std::nullopt;
    return runAttempts<RowFill>(
        instance, options,
        [&](const RowParts& rows, Random* noise, const std::function<bool()>& stopped) {
            std::vector<char> placed(instance.parts.size(), 0);
            return layOneSheet(instance, rows, placed, false, noise, stopped);
        });
}

std::optional<RowSheets> fillSheetsInRows(const SearchInstance& instance, int maxSheets,
                                          const RowFillOptions& options) {
    if (!fillsAPlainSheet(instance) || maxSheets < 1) return std::nullopt;
    return runAttempts<RowSheets>(
        instance, options,
        [&](const RowParts& rows, Random* noise,
            const std::function<bool()>& stopped) -> std::optional<RowSheets> {
            std::vector<char> placed(instance.parts.size(), 0);
            RowSheets sheets;
            sheets.sheetOf.assign(instance.parts.size(), -1);
            sheets.parts = instance.parts;
            while (sheets.sheets < maxSheets &&
                   std::find(placed.begin(), placed.end(), 0) != placed.end()) {
                const std::optional<RowFill> fill =
                    layOneSheet(instance, rows, placed, true, noise, stopped);
                if (!fill || fill->order.empty()) break;
                auto part = fill->layout.begin();
                for (const int id : fill->order) {
                    sheets.sheetOf[static_cast<std::size_t>(id)] = sheets.sheets;
                    sheets.parts[static_cast<std::size_t>(id)] = *part++;
                }
                ++sheets.sheets;
            }
            if (std::find(placed.begin(), placed.end(), 0) != placed.end()) return std::nullopt;
            return sheets;
        });
}

}  // namespace blocknest
