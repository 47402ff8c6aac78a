#pragma once  // packing/packer.hpp: placing every part in turn
#include <string>

#include "geometry/console.hpp"
#include "geometry/part.hpp"
#include "raster/sheet_bitmap.hpp"

namespace blocknest {

// Places every part of the list in list order, printing progress, and returns the timing text
// "(Packing time:... s)" or "(Packing time:... ms)" with its line end. With showProgress off
// the per-part progress lines are left out.
std::string packAllParts(PartList& parts, Sheet& sheet, int rotationCount, Console& console,
                         bool showProgress = true);

// Tries rotationCount orientations of the part (turned about the origin from its list pose),
// keeps the one whose centroid lands at the smallest X at its first fit, moves it there,
// slides it toward X = 0 and then Y = 0, and marks it on the sheet. A part that fits nowhere
// stays where it is. part must be an element of parts.
void packPart(PartList& parts, Part& part, Sheet& sheet, int rotationCount, Console& console);

// The rotation step 2 * pi / rotationCount, divided in extended precision.
[[nodiscard]] double rotationStep(int rotationCount);

// "Packing the %3d<suffix> part, %3d parts left.\r"; the suffix depends on the whole index.
[[nodiscard]] std::string progressLine(int index, int partCount);

// The timing text for an elapsed time in seconds: seconds above 1 s, milliseconds otherwise.
[[nodiscard]] std::string timingText(long double seconds);

}  // namespace blocknest
