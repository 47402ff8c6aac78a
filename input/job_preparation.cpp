#include "input/job_preparation.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

#include "base/number_format.hpp"

namespace blocknest {
namespace {

bool isPositiveFinite(double value) { return std::isfinite(value) && value > 0; }

}  // namespace

void orderPartsByArea(PartList& parts) {
    if (parts.count() <= 1) return;
    // The selection from the back, done in one pass: the parts that stay in place as the
    // selection's p form a chain from the back, each the last part before the previous one
    // that is not smaller. Every other part follows the first chain part (counted from the
    // back) that is larger than it, and the parts following one chain part are ordered by
    // area descending and, among equals, by list position descending.
    struct Entry {
        PartList::iterator it;
        double area;
        std::size_t position;
    };
    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(parts.count()));
    std::size_t position = 0;
    for (auto it = parts.begin(); it != parts.end(); ++it) {
        entries.push_back({it, it->netArea(), position++});
    }
    std::vector<std::size_t> chain;  // positions, from the back; areas never decrease
    chain.push_back(entries.size() - 1);
    for (std::size_t i = entries.size() - 1; i-- > 0;) {
        if (!(entries[i].area < entries[chain.back()].area)) chain.push_back(i);
    }
    std::vector<std::vector<std::size_t>> followers(chain.size());
    std::vector<bool> inChain(entries.size(), false);
    for (std::size_t c : chain) inChain[c] = true;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (inChain[i]) continue;
        // The first chain part, counted from the back, whose area exceeds this part's.
        const auto larger =
            std::upper_bound(chain.begin(), chain.end(), entries[i].area,
                             [&](double area, std::size_t c) { return area < entries[c].area; });
        assert(larger != chain.end());
        followers[static_cast<std::size_t>(larger - chain.begin())].push_back(i);
    }
    for (std::size_t k = chain.size(); k-- > 0;) {
        parts.moveBefore(entries[chain[k]].it, parts.end());
        std::vector<std::size_t>& group = followers[k];
        std::sort(group.begin(), group.end(), [&](std::size_t a, std::size_t b) {
            if (entries[a].area != entries[b].area) return entries[a].area > entries[b].area;
            return a > b;
        });
        for (std::size_t i : group) parts.moveBefore(entries[i].it, parts.end());
    }
}

double computeBlockSideLength(PartList& parts) {
    assert(!parts.empty());
    auto candidate = parts.begin();
    if (parts.count() > 1) {
        double smallest = candidate->computeNetArea();
        for (auto it = std::next(parts.begin()); it != parts.end(); ++it) {
            const double area = it->computeNetArea();
            if (area < smallest) {
                smallest = area;
                candidate = it;
            }
        }
    }
    const BoundingBox& box = candidate->bounds();
    const double w = box.maxX - box.minX;
    return (w + box.maxY - box.minY) * 0.5 * 0.1;
}

void parkParts(PartList& parts, double sheetLength) {
    for (Part& part : parts) {
        part.translate(sheetLength - part.bounds().minX, 0 - part.bounds().maxY);
    }
}

std::variant<PreparedJob, InputError> prepareJob(PartFileContents contents,
                                                 const std::string& sourceName,
                                                 const PrepareLimits& limits) {
    PreparedJob job;
    job.sheet.length = contents.sheetLength;
    job.sheet.width = contents.sheetWidth;
    job.parts = std::move(contents.parts);
    job.warnings = std::move(contents.warnings);
    job.warningCount = contents.warningCount;
    job.partCount = job.parts.count();
    if (job.parts.empty()) {
        return InputError{true, sourceName + ": the file holds no part to pack"};
    }
    if (!isPositiveFinite(job.sheet.length)) {
        return InputError{false, sourceName +
                                     ":1: the sheet length must be a positive number, "
                                     "not " +
                                     formatNumber(job.sheet.length)};
    }
    if (!isPositiveFinite(job.sheet.width)) {
        return InputError{false, sourceName +
                                     ":2: the sheet width must be a positive number, "
                                     "not " +
                                     formatNumber(job.sheet.width)};
    }
    for (const Part& part : job.parts) {
        if (!std::isfinite(part.netArea())) {
            return InputError{false, sourceName + ": the area of the part \"" + part.name() +
                                         "\" is too large to compute"};
        }
    }
    orderPartsByArea(job.parts);
    const double blockSide = computeBlockSideLength(job.parts);
    if (!isPositiveFinite(blockSide)) {
        return InputError{false, sourceName +
                                     ": the smallest part has no extent, so no block "
                                     "side length can be derived from it (" +
                                     formatNumber(blockSide) + ")"};
    }
    job.sheet.blockSideLength = blockSide;
    for (Part& part : job.parts) part.setBlockSideLength(blockSide);
    if (!limits.buildSheetGrid) {
        parkParts(job.parts, job.sheet.length);
        return job;
    }
    const std::optional<GridSize> grid =
        sheetGridSize(job.sheet.length, job.sheet.width, blockSide, limits.maxSheetCells);
    const std::string sheetText = sourceName + ": the sheet " + formatNumber(job.sheet.length) +
                                  " x " + formatNumber(job.sheet.width) + " in blocks of " +
                                  formatNumber(blockSide) + " makes a grid of ";
    if (!grid) {
        return InputError{
            false, sheetText + "more than " + std::to_string(limits.maxSheetCells) + " blocks"};
    }
    if (sheetGridBytes(*grid) > limits.maxSheetBytes) {
        return InputError{false, sheetText + std::to_string(grid->rows) + " rows of " +
                                     std::to_string(grid->cols) + " blocks, more than the " +
                                     std::to_string(limits.maxSheetBytes >> 20) +
                                     " MiB a sheet grid may take"};
    }
    job.sheet.bitmap = buildSheetBitmap(job.sheet.length, job.sheet.width, blockSide);
    parkParts(job.parts, job.sheet.length);
    return job;
}

std::variant<PreparedJob, InputError> loadAndPrepare(const std::string& path,
                                                     const PrepareLimits& limits) {
    std::variant<PartFileContents, InputError> contents = readPartFile(path, limits.read);
    if (auto* error = std::get_if<InputError>(&contents)) return std::move(*error);
    return prepareJob(std::move(std::get<PartFileContents>(contents)), path, limits);
}

}  // namespace blocknest
