#include "search/decoder.hpp"

#include <cassert>
#include <utility>

#include "output/statistics.hpp"
#include "packing/packer.hpp"
#include "packing/sheet_marking.hpp"

namespace blocknest {
namespace {

bool sameShape(const Part& a, const Part& b) {
    auto sameLoop = [](const Loop& p, const Loop& q) {
        if (p.vertexCount() != q.vertexCount()) return false;
        for (int i = 0; i < p.vertexCount(); ++i) {
            if (p.vertices()[i].x != q.vertices()[i].x || p.vertices()[i].y != q.vertices()[i].y)
                return false;
        }
        return true;
    };
    if (!sameLoop(a.outerLoop(), b.outerLoop())) return false;
    if (a.innerLoops().count() != b.innerLoops().count()) return false;
    auto hole = b.innerLoops().begin();
    for (const Loop& h : a.innerLoops()) {
        if (!sameLoop(h, *hole)) return false;
        ++hole;
    }
    return a.orientations() == b.orientations() && a.netArea() == b.netArea();
}

}  // namespace

bool Score::operator<(const Score& other) const {
    if (unplaced != other.unplaced) return unplaced < other.unplaced;
    if (length != other.length) return length < other.length;
    return spread < other.spread;
}

bool fillsAPlainSheet(const SearchInstance& instance) {
    const Sheet& sheet = instance.grids.front().sheet;
    return !instance.parts.empty() && !sheet.outside && sheet.defects.empty() &&
           instance.sheetLength > 0 && instance.sheetWidth > 0;
}

SearchInstance makeSearchInstance(const PartList& parts, const Sheet& sheet, int rotationCount,
                                  const std::vector<double>& extraBlockSides) {
    SearchInstance instance;
    instance.sheetLength = sheet.length;
    instance.sheetWidth = sheet.width;
    const std::vector<Orientation> even = evenTurns(rotationCount);
    std::vector<int> firstOfShape;
    for (const Part& part : parts) {
        instance.parts.push_back(part);
        instance.turns.push_back(part.orientations().empty() ? even : part.orientations());
        instance.totalArea += part.netArea();
        // A part is compared with the first part of each shape, not with every part before it.
        int shape = static_cast<int>(instance.parts.size()) - 1;
        for (const int first : firstOfShape) {
            if (sameShape(instance.parts[static_cast<std::size_t>(first)], part)) {
                shape = first;
                break;
            }
        }
        if (shape == static_cast<int>(instance.parts.size()) - 1) firstOfShape.push_back(shape);
        instance.shapeOf.push_back(shape);
    }
    instance.grids.push_back({sheet.blockSideLength, sheet});
    for (double side : extraBlockSides) {
        Grid grid;
        grid.blockSide = side;
        grid.sheet.length = sheet.length;
        grid.sheet.width = sheet.width;
        grid.sheet.blockSideLength = side;
        grid.sheet.bitmap = buildSheetBitmap(sheet.length, sheet.width, side);
        grid.sheet.outside = sheet.outside;
        grid.sheet.defects = sheet.defects;
        markObstaclesOnSheet(grid.sheet);
        instance.grids.push_back(std::move(grid));
    }
    return instance;
}

Genome onePassGenome(const SearchInstance& instance) {
    Genome genome;
    const int n = static_cast<int>(instance.parts.size());
    for (int i = 0; i < n; ++i) genome.order.push_back(i);
    genome.turns.assign(static_cast<std::size_t>(n), -1);
    return genome;
}

std::span<const Orientation> genomeTurns(const SearchInstance& instance, const Genome& genome,
                                         int id) {
    const std::vector<Orientation>& allowed = instance.turns[static_cast<std::size_t>(id)];
    const int turn = genome.turns[static_cast<std::size_t>(id)];
    if (turn < 0) return allowed;
    return std::span(&allowed[static_cast<std::size_t>(turn)], 1);
}

Score decodeLayout(const SearchInstance& instance, const Genome& genome, DecoderMemory& memory,
                   PartList* layout) {
    assert(genome.order.size() == instance.parts.size());
    const Grid& grid = instance.grids[static_cast<std::size_t>(genome.grid)];
    PartList local;
    PartList& list = layout ? *layout : local;
    list.clear();
    for (int id : genome.order) {
        Part part = instance.parts[static_cast<std::size_t>(id)];
        part.setBlockSideLength(grid.blockSide);
        list.insertBefore(list.end(), std::move(part));
    }
    Sheet sheet = grid.sheet;
    if (memory.images.size() < instance.grids.size()) memory.images.resize(instance.grids.size());
    PackingMemory packing(list, sheet);
    packing.extraSlidePairs = genome.extraSlides;
    packing.exactFirst = genome.exactFirst;
    std::swap(packing.images, memory.images[static_cast<std::size_t>(genome.grid)]);
    // The packing run speaks to the console only to warn of a vertex recount that disagrees,
    // which the one-pass run before the search has already met for the same parts.
    SilentConsole console;
    auto id = genome.order.begin();
    for (Part& part : list) {
        packPart(part, sheet, genomeTurns(instance, genome, *id), console, packing);
        ++id;
    }
    std::swap(packing.images, memory.images[static_cast<std::size_t>(genome.grid)]);

    return scoreLayout(instance, list);
}

Score scoreLayout(const SearchInstance& instance, PartList& layout) {
    const PackingStatistics stats =
        computeStatistics(layout, instance.sheetLength, instance.sheetWidth);
    Score score;
    score.length = stats.packedLength;
    score.area = stats.totalPartArea;
    double weighted = 0;
    for (const Part& part : layout) {
        if (!liesOnSheet(part, instance.sheetLength, instance.sheetWidth)) {
            ++score.unplaced;
            continue;
        }
        weighted += part.netArea() * part.bounds().maxX;
    }
    score.spread = instance.totalArea > 0 ? weighted / instance.totalArea : 0;
    return score;
}

}  // namespace blocknest
