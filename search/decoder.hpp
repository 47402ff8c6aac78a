#pragma once  // search/decoder.hpp: one packing run for a chosen order, turns and block side
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "geometry/part.hpp"
#include "raster/pixelize.hpp"
#include "raster/sheet_bitmap.hpp"

namespace blocknest {

// What a search may vary about a packing run: the order in which the parts are packed, the
// turn each part takes, and the block side of the grid. Part i is the i-th part of the
// prepared list.
struct Genome {
    std::vector<int> order;   // a permutation of the part indices
    std::vector<int> turns;   // per part: -1 tries every allowed turn, k >= 0 only the k-th
    int grid = 0;             // index into the instance's grids
    int extraSlides = 0;      // slide pairs after the packing run's own, while they move a part
    bool exactFirst = false;  // each part tries the exact positions before the grid's
};

// How good a packed layout is; smaller is better, compared in this order.
struct Score {
    int unplaced = 0;   // parts left off the sheet
    double length = 0;  // the packed length
    double spread = 0;  // the area-weighted mean X of the parts' right ends: breaks ties
    double area = 0;    // net area of the parts on the sheet; not compared

    bool operator<(const Score& other) const;
};

// One block grid a search may pack on: the sheet built for that block side.
struct Grid {
    double blockSide = 0;
    Sheet sheet;  // with every cell free but those outside the sheet
};

// The fixed facts of a search: the prepared parts (parked, in their packing order), the
// turns each may take, and the grids to pack on.
struct SearchInstance {
    std::vector<Part> parts;
    std::vector<std::vector<Orientation>> turns;  // per part, never empty
    std::vector<int> shapeOf;  // per part: parts with the same number are alike in every way
    std::vector<Grid> grids;   // grids[0] is the one the one-pass run uses
    double sheetLength = 0;
    double sheetWidth = 0;
    double totalArea = 0;
};

// Builds the instance from a prepared list and sheet: the turns are each part's own or the
// rotationCount even turns; grids[0] is the sheet as given, then one per extra block side.
[[nodiscard]] SearchInstance makeSearchInstance(const PartList& parts, const Sheet& sheet,
                                                int rotationCount,
                                                const std::vector<double>& extraBlockSides);

// True when the instance has parts and its sheet is a plain rectangle (no drawn outline, no
// defect) of some size: the fills that lay the parts out afresh need one.
[[nodiscard]] bool fillsAPlainSheet(const SearchInstance& instance);

// The genome of the one-pass run: list order, every turn tried, the first grid.
[[nodiscard]] Genome onePassGenome(const SearchInstance& instance);

// Memory a decoder keeps between runs to go faster; it never changes a result.
struct DecoderMemory {
    std::vector<PixelizeMemo> images;  // one per grid
};

// The turns the genome lets part id try: all it may take, or the one chosen.
[[nodiscard]] std::span<const Orientation> genomeTurns(const SearchInstance& instance,
                                                       const Genome& genome, int id);

// Packs the parts as the genome says with the packing run's own steps, and scores the
// layout. With layout given, the packed parts are left in it, in packing order.
[[nodiscard]] Score decodeLayout(const SearchInstance& instance, const Genome& genome,
                                 DecoderMemory& memory, PartList* layout = nullptr);

// Scores a layout of the instance's parts as decodeLayout does; refreshes their boxes.
[[nodiscard]] Score scoreLayout(const SearchInstance& instance, PartList& layout);

}  // namespace blocknest
