#pragma once  // packing/packer.hpp: placing every part in turn
#include <span>
#include <string>
#include <vector>

#include "base/console.hpp"
#include "geometry/part.hpp"
#include "packing/exact_fit.hpp"
#include "packing/first_fit.hpp"
#include "packing/overlap.hpp"
#include "raster/pixelize.hpp"
#include "raster/sheet_bitmap.hpp"

namespace blocknest {

// Places every part of the list in list order, printing progress, and returns the timing text
// "(Packing time:... s)" or "(Packing time:... ms)" with its line end. With showProgress off
// the per-part progress lines are left out. A part tries its own orientations where it has
// them, the rotationCount even turns otherwise.
std::string packAllParts(PartList& parts, Sheet& sheet, int rotationCount, Console& console,
                         bool showProgress = true);

// The exact tests a run with PackingMemory::exactFirst spends before it, over all its parts;
// the exact positions of parts the grid refuses are tried beyond it all the same.
inline constexpr int kExactFirstTests = 200000;

// A part that neither the grid nor the exact positions could place, with the turns it tried.
struct ExactMiss {
    Part part;
    std::vector<Orientation> trials;
};

// What the packing of one part list on one sheet keeps from part to part to go faster, and
// how it places them.
struct PackingMemory {
    PackingMemory(const PartList& parts, const Sheet& sheet) : others(parts, sheet) {}
    // Slides toward X = 0 and then Y = 0 after the first pair, repeated while they move the
    // part; 0 is the packing run's own single pair.
    int extraSlidePairs = 0;
    // Each part tries the exact positions of findExactFit before the grid: slower, but parts
    // then touch what is there, as a tight sheet needs. Changes results, unlike the rest.
    bool exactFirst = false;
    int exactFirstTests = kExactFirstTests;  // what exactFirst may still spend in this run
    FirstFitMemo firstFits;
    PixelizeMemo images;
    PartIndex others;  // every part of the list; placed ones are marked as they are placed
    // Refused since the last part was placed: an alike part with the same turns is refused too.
    std::vector<ExactMiss> exactMisses;
};

// Tries the given orientations of the part in turn (each turned about the origin from its list
// pose), keeps the one whose centroid lands at the smallest X at its first fit (the earlier
// one among equals), moves it there, slides it toward X = 0 and then Y = 0, and marks it on
// the sheet. A first fit whose exact pose fails isPlacementFeasible (edges closed) is passed
// over for that orientation's next one. Where no orientation has a first fit on the grid, the
// exact positions of findExactFit are tried the same way (with memory.exactFirst, before the
// grid). A part that fits nowhere stays where it is, as does a part whose net area is not
// positive. part must be an element of the list that memory was made for.
void packPart(Part& part, Sheet& sheet, std::span<const Orientation> trials, Console& console,
              PackingMemory& memory);

// The same with the rotationCount even turns.
void packPart(Part& part, Sheet& sheet, int rotationCount, Console& console, PackingMemory& memory);

// Why a part that does not lie on the sheet was left off.
enum class LeftOffReason { noArea, selfCrossing, largerThanSheet, noRoom };

// The first that holds: its net area is not positive (flat, or holes that take all of it),
// its outline crosses itself, its box fits the sheet neither as drawn nor turned a quarter,
// or else there was no room left.
[[nodiscard]] LeftOffReason whyLeftOff(const Part& part, double sheetLength, double sheetWidth);

// "Packing the %3d<suffix> part, %3d parts left.\r"; the suffix depends on the whole index.
[[nodiscard]] std::string progressLine(int index, int partCount);

// The timing text for an elapsed time in seconds: seconds above 1 s, milliseconds otherwise.
[[nodiscard]] std::string timingText(long double seconds);

}  // namespace blocknest
