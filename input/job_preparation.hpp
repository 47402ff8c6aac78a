#pragma once  // input/job_preparation.hpp: from the part data file to a job ready for packing
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "geometry/part.hpp"
#include "input/part_file_reader.hpp"
#include "raster/sheet_bitmap.hpp"

namespace blocknest {

// A job ready for packing: parts in packing order, each parked off the sheet and carrying the
// block side length; the sheet with its block grid.
struct PreparedJob {
    PartList parts;
    int partCount = 0;
    Sheet sheet;
    std::vector<std::string> warnings;  // the reader's doubts (PartFileContents)
    std::int64_t warningCount = 0;
};

struct PrepareLimits {
    ReadLimits read;
    std::int64_t maxSheetCells = std::int64_t{1} << 31;
    std::int64_t maxSheetBytes = std::int64_t{1} << 29;  // a narrow sheet's rows cost words
    // Off for a stock of several kinds: the sheet is then only the box the parts are parked
    // beyond, and each kind's grid is checked and built when a sheet of it is packed.
    bool buildSheetGrid = true;
};

// Reads the file, orders the parts, derives the block side, builds the sheet grid, parks.
[[nodiscard]] std::variant<PreparedJob, InputError> loadAndPrepare(
    const std::string& path, const PrepareLimits& limits = {});

// The same from contents already read; sourceName labels the messages.
[[nodiscard]] std::variant<PreparedJob, InputError> prepareJob(PartFileContents contents,
                                                               const std::string& sourceName,
                                                               const PrepareLimits& limits = {});

// Orders by non-increasing net area. The order among equal areas is that of a selection
// working from the back of the list: the last part p stays; the parts before it that are
// smaller follow it, largest first and, among equals, the later one first; then the same for
// the last of the parts left before p, and so on.
void orderPartsByArea(PartList& parts);

// A tenth of the mean box side of the part with the smallest net area, the one nearest the
// front among equals. Recomputes every net area. Needs a part.
[[nodiscard]] double computeBlockSideLength(PartList& parts);

// Moves every part so that its box starts at X = sheetLength and ends at Y = 0.
void parkParts(PartList& parts, double sheetLength);

}  // namespace blocknest
