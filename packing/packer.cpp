#include "packing/packer.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "base/fatal_error.hpp"
#include "geometry/predicates.hpp"
#include "packing/closing_up.hpp"
#include "packing/compaction.hpp"
#include "packing/exact_fit.hpp"
#include "packing/first_fit.hpp"
#include "packing/sheet_marking.hpp"
#include "raster/pixelize.hpp"

namespace blocknest {

std::string progressLine(int index, int partCount) {
    const char* format = index == 1   ? "Packing the %3dst part, %3d parts left.\r"
                         : index == 2 ? "Packing the %3dnd part, %3d parts left.\r"
                         : index == 3 ? "Packing the %3drd part, %3d parts left.\r"
                                      : "Packing the %3dth part, %3d parts left.\r";
    char buffer[100];
    std::snprintf(buffer, sizeof buffer, format, index, partCount - index);
    return buffer;
}

std::string timingText(long double seconds) {
    char buffer[100];
    if (seconds > 1) {
        std::snprintf(buffer, sizeof buffer, "(Packing time:%.2f s)\n",
                      static_cast<double>(seconds));
    } else {
        std::snprintf(buffer, sizeof buffer, "(Packing time:%.2f ms)\n",
                      static_cast<double>(seconds * 1000));
    }
    return buffer;
}

namespace {

std::string imageTooLarge(const Part& part, double angle, const ImageSize& size) {
    char text[400];
    std::snprintf(text, sizeof text,
                  "the part \"%s\" turned by %.6g degrees would need a block image of %.6g x "
                  "%.6g blocks, more than the %lld this program holds; the block side %.6g, "
                  "derived from the smallest part, is too small for it",
                  part.name().c_str(), angle * 180 / std::acos(-1.0), size.rows, size.cols,
                  static_cast<long long>(kMaxImageCells), part.blockSideLength());
    return text;
}

// Slides the part, placed, toward X = 0 and then Y = 0 (and again as often as memory says
// while it moves), then marks it on the sheet and as placed.
void settlePart(Part& part, Sheet& sheet, Console& console, PackingMemory& memory) {
    const double bs = sheet.blockSideLength;
    compactAlongX(memory.others, part, bs);
    compactAlongY(memory.others, part, bs);
    for (int pair = 0; pair < memory.extraSlidePairs; ++pair) {
        const BoundingBox before = part.bounds();
        compactAlongX(memory.others, part, bs);
        compactAlongY(memory.others, part, bs);
        if (part.bounds().minX == before.minX && part.bounds().minY == before.minY) break;
    }
    markPartOnSheet(sheet, part, console);
    memory.others.markPlaced(part);
    memory.exactMisses.clear();
}

bool sameLoop(const Loop& a, const Loop& b) {
    if (a.vertexCount() != b.vertexCount()) return false;
    for (std::size_t i = 0; i < a.vertices().size(); ++i) {
        if (a.vertices()[i].x != b.vertices()[i].x || a.vertices()[i].y != b.vertices()[i].y) {
            return false;
        }
    }
    return true;
}

bool sameMiss(const ExactMiss& miss, const Part& part, std::span<const Orientation> trials) {
    if (!sameLoop(miss.part.outerLoop(), part.outerLoop()) ||
        miss.part.innerLoops().count() != part.innerLoops().count() ||
        !std::equal(miss.trials.begin(), miss.trials.end(), trials.begin(), trials.end())) {
        return false;
    }
    auto hole = part.innerLoops().begin();
    for (const Loop& h : miss.part.innerLoops()) {
        if (!sameLoop(h, *hole)) return false;
        ++hole;
    }
    return true;
}

// False when the part is larger than the room the placed parts leave, so that it fits nowhere;
// areas summed to the sheet's own may round a little above it.
bool roomLeftFor(const Part& part, const Sheet& sheet, const PartIndex& others) {
    const double area = sheet.length * sheet.width;
    double free = area;
    others.forEachPlaced([&](const Part& placed) { free -= placed.netArea(); });
    return part.netArea() <= free + 1e-9 * area;
}

// Places the part at the exact fit of the orientation whose centroid lands at the smallest X
// (the earlier one among equals), spending at most testsLeft exact tests; leaves it where it
// is and returns false when none has one.
bool placeByExactFit(Part& part, const Sheet& sheet, std::span<const Orientation> trials,
                     PackingMemory& memory, int& testsLeft) {
    for (const ExactMiss& miss : memory.exactMisses) {
        if (sameMiss(miss, part, trials)) return false;
    }
    const Part unplaced = part;
    std::optional<Part> chosen;
    if (roomLeftFor(part, sheet, memory.others)) {
        for (const Orientation& turn : trials) {
            part = unplaced;
            part.applyTurn(turn);
            part.setTurn(turn);
            part.dropBitmap();
            std::optional<Part> fit = findExactFit(memory.others, part, testsLeft);
            if (fit && (!chosen || fit->centroid().x < chosen->centroid().x)) {
                chosen = std::move(fit);
            }
        }
    }
    if (chosen) {
        part = std::move(*chosen);
        return true;
    }
    part = unplaced;
    memory.exactMisses.push_back({unplaced, {trials.begin(), trials.end()}});
    return false;
}

// A run gives up closing up after this many tries that placed nothing: on a full sheet
// every part left is refused, and each try spends exact tests on every placed part.
constexpr int kClosingTries = 1;

// Where a part is refused, closes up the placed parts and tries its exact fit again; keeps
// the closed-up layout only when the part is placed, so that a run refusing a part that does
// not fit is as it was. Returns false when it closed up (or found nothing to close up) and
// the part was refused all the same.
bool placeAfterClosingUp(Part& part, std::span<Part* const> placed, Sheet& sheet,
                         std::span<const Orientation> trials, Console& console,
                         PackingMemory& memory) {
    if (placed.empty() || !roomLeftFor(part, sheet, memory.others)) return true;
    const std::vector<std::pair<Part*, Part>> moved = closeUpPlaced(placed, memory.others);
    if (moved.empty()) return false;
    std::vector<ExactMiss> misses = std::move(memory.exactMisses);
    memory.exactMisses.clear();
    int tests = kExactFitTests / 4;
    if (!placeByExactFit(part, sheet, trials, memory, tests)) {
        for (const auto& [p, before] : moved) *p = before;
        memory.exactMisses = std::move(misses);
        return false;
    }
    // The moved parts are marked where they now lie too; the blocks they left stay taken,
    // as the grid only ever gains taken blocks.
    for (const auto& [p, before] : moved) markPartOnSheet(sheet, *p, console);
    settlePart(part, sheet, console, memory);
    return true;
}

}  // namespace

void packPart(Part& part, Sheet& sheet, int rotationCount, Console& console,
              PackingMemory& memory) {
    packPart(part, sheet, evenTurns(rotationCount), console, memory);
}

void packPart(Part& part, Sheet& sheet, std::span<const Orientation> trials, Console& console,
              PackingMemory& memory) {
    // Nothing to place: a flat part, or one whose holes take all of its area.
    if (!(part.netArea() > 0)) return;
    if (memory.exactFirst && memory.exactFirstTests > 0) {
        int tests = std::min(kExactFitTests, memory.exactFirstTests);
        const int given = tests;
        const bool placed = placeByExactFit(part, sheet, trials, memory, tests);
        memory.exactFirstTests -= given - tests;
        if (placed) {
            settlePart(part, sheet, console, memory);
            return;
        }
    }
    // Per orientation, the last grid position whose exact pose was refused: a thin sliver of a
    // placed part can lie in blocks that no corner or vertex of it marks.
    std::vector<std::optional<FirstFit>> refused(trials.size());
    const Part unplaced = part;
    for (;;) {
        double bestX = sheet.length;
        // Only the best orientation so far is kept; the others are dropped as soon as they lose.
        std::optional<Part> chosen;
        FirstFit best;
        std::size_t chosenTrial = 0;
        for (std::size_t t = 0; t < trials.size(); ++t) {
            const Orientation& turn = trials[t];
            Part trial = part;  // every trial turns the unrotated list part: no angle accumulates
            trial.applyTurn(turn);
            const ImageSize size = checkImageSize(trial);
            // A pose whose coordinates run out of the number range fits no sheet.
            if (size.verdict == ImageSize::Verdict::notFinite) continue;
            if (size.verdict == ImageSize::Verdict::tooLarge) {
                // Too large to build at all: a box larger than the sheet cannot lie on it; a
                // part that could is more than this program can hold.
                const BoundingBox& box = trial.bounds();
                if (box.maxX - box.minX > sheet.length || box.maxY - box.minY > sheet.width) {
                    continue;
                }
                throw FatalError(1, imageTooLarge(trial, turn.angle(), size));
            }
            // An image whose occupied blocks span more rows or columns than the sheet's grid
            // has no first fit; the blocks at its edges often tell so without the whole image.
            const SheetBitmap& grid = sheet.bitmap;
            if ((size.rows > grid.rows() || size.cols > grid.cols()) &&
                occupiedSpanExceeds(trial, grid.rows(), grid.cols())) {
                continue;
            }
            memory.images.pixelize(trial, console);
            const std::optional<FirstFit> fit =
                refused[t] ? findFirstFitAfter(sheet, trial, memory.firstFits, *refused[t])
                           : findFirstFit(sheet, trial, memory.firstFits);
            // A strictly smaller X wins, so the lowest orientation wins among equals; a found
            // position whose X is not a number is never taken and the part stays parked.
            if (fit && fit->candidateX < bestX) {
                bestX = fit->candidateX;
                best = *fit;
                chosen = std::move(trial);
                chosen->setTurn(turn);
                chosenTrial = t;
            }
        }
        if (!chosen) break;
        const double b = chosen->blockSideLength();
        const double bs = sheet.blockSideLength;
        const double dx = best.row * bs - (chosen->bounds().minX + chosen->bitmap().anchorRow * b);
        const double dy = best.col * bs - (chosen->bounds().minY + chosen->bitmap().anchorCol * b);
        chosen->dropBitmap();
        part = *chosen;
        part.translate(dx, dy);
        // The grid's blocks lie in the closed sheet rectangle: the pose may touch its edges.
        if (isPlacementFeasible(memory.others, part, true)) {
            settlePart(part, sheet, console, memory);
            return;
        }
        part = unplaced;
        refused[chosenTrial] = best;
    }
    // The grid rounds the part up and the free room down; the exact test may still find a
    // place where no block image fits.
    int tests = kExactFitTests;
    if (placeByExactFit(part, sheet, trials, memory, tests)) {
        settlePart(part, sheet, console, memory);
    }
}

LeftOffReason whyLeftOff(const Part& part, double sheetLength, double sheetWidth) {
    if (!(part.netArea() > 0)) return LeftOffReason::noArea;
    if (loopCrossesItself(part.outerLoop())) return LeftOffReason::selfCrossing;
    const BoundingBox& box = part.bounds();
    const double w = box.maxX - box.minX;
    const double h = box.maxY - box.minY;
    if ((w > sheetLength || h > sheetWidth) && (h > sheetLength || w > sheetWidth)) {
        return LeftOffReason::largerThanSheet;
    }
    return LeftOffReason::noRoom;
}

std::string packAllParts(PartList& parts, Sheet& sheet, int rotationCount, Console& console,
                         bool showProgress) {
    const auto start = std::chrono::steady_clock::now();
    console.write(Message::packingStarted);
    console.write("\n");
    const int partCount = parts.count();
    console.write("Part Number:" + std::to_string(partCount) + "\n");
    PackingMemory memory(parts, sheet);
    const std::vector<Orientation> evenTrials = evenTurns(rotationCount);
    std::vector<Part*> placed;
    // Closing up again finds nothing new until another part is placed.
    bool closedSincePlaced = false;
    int closingTries = kClosingTries;
    int index = 1;
    for (Part& part : parts) {
        if (showProgress) console.write(progressLine(index, partCount));
        const std::span<const Orientation> trials =
            part.orientations().empty() ? std::span<const Orientation>(evenTrials)
                                        : std::span<const Orientation>(part.orientations());
        const std::size_t placedBefore = memory.others.placedCount();
        packPart(part, sheet, trials, console, memory);
        if (memory.others.placedCount() == placedBefore && part.netArea() > 0 &&
            !closedSincePlaced && closingTries > 0) {
            closedSincePlaced = true;
            if (!placeAfterClosingUp(part, placed, sheet, trials, console, memory)) {
                --closingTries;
            }
        }
        if (memory.others.placedCount() > placedBefore) {
            placed.push_back(&part);
            closedSincePlaced = false;
        }
        // The line end closes the last progress line.
        if (index == partCount)
            console.write(showProgress ? "\nPacking Completed." : "Packing Completed.");
        ++index;
    }
    const std::chrono::duration<long double> elapsed = std::chrono::steady_clock::now() - start;
    std::string text = timingText(elapsed.count());
    console.write(text);
    return text;
}

}  // namespace blocknest
