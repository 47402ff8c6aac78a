#include "packing/packer.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "packing/compaction.hpp"
#include "packing/first_fit.hpp"
#include "packing/sheet_marking.hpp"
#include "raster/pixelize.hpp"

namespace blocknest {

double rotationStep(int rotationCount) {
    const double pi = std::acos(-1.0);
    return static_cast<double>(static_cast<long double>(2 * pi) / rotationCount);
}

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

void packPart(Part& part, Sheet& sheet, int rotationCount, Console& console,
              PackingMemory& memory) {
    if (rotationCount < 1) return;
    const double step = rotationStep(rotationCount);
    std::vector<Part> trials(static_cast<std::size_t>(rotationCount));
    double bestX = sheet.length;
    std::optional<int> taken;
    FirstFit best;
    for (int i = 0; i < rotationCount; ++i) {
        Part& trial = trials[static_cast<std::size_t>(i)];
        trial = part;  // every trial turns the unrotated list part, so angles never accumulate
        if (i > 0) trial.rotate(Vertex{0, 0}, i * step);
        memory.images.pixelize(trial, console);
        const std::optional<FirstFit> fit = findFirstFit(sheet, trial, memory.firstFits);
        // A strictly smaller X wins, so the lowest orientation wins among equals; a found
        // position whose X is not a number is never taken and the part stays parked.
        if (fit && fit->candidateX < bestX) {
            bestX = fit->candidateX;
            taken = i;
            best = *fit;
        }
    }
    if (!taken) return;
    Part& chosen = trials[static_cast<std::size_t>(*taken)];
    const double b = chosen.blockSideLength();
    const double bs = sheet.blockSideLength;
    const double dx = best.row * bs - (chosen.bounds().minX + chosen.bitmap().anchorRow * b);
    const double dy = best.col * bs - (chosen.bounds().minY + chosen.bitmap().anchorCol * b);
    chosen.dropBitmap();
    part = chosen;
    part.translate(dx, dy);
    compactAlongX(memory.others, part, bs);
    compactAlongY(memory.others, part, bs);
    markPartOnSheet(sheet, part, console);
    memory.others.markPlaced(part);
}

std::string packAllParts(PartList& parts, Sheet& sheet, int rotationCount, Console& console,
                         bool showProgress) {
    const auto start = std::chrono::steady_clock::now();
    console.write(Message::packingStarted);
    console.write("\n");
    const int partCount = parts.count();
    console.write("Part Number:" + std::to_string(partCount) + "\n");
    PackingMemory memory(parts, sheet);
    int index = 1;
    for (Part& part : parts) {
        if (showProgress) console.write(progressLine(index, partCount));
        packPart(part, sheet, rotationCount, console, memory);
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
