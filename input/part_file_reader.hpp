#pragma once  // input/part_file_reader.hpp: reading the part data file
#include <cstdint>
#include <istream>
#include <string>
#include <variant>
#include <vector>

#include "geometry/part.hpp"

namespace blocknest {

// Why the input cannot be used. With showReadWarning the user sees the reader's warning
// ("the part data file cannot be read"); detail, when not empty, is one more line that says
// where and what.
struct InputError {
    bool showReadWarning = false;
    std::string detail;
    bool commandLine = false;  // the command line asks what the files cannot give: exit 2
    std::vector<std::string> notes =
        {};  // what the files read before the failure said, shown first
};

// What the file holds: the sheet size and one part per requested copy. Each block's copies
// go to the front, so the list holds the blocks in reverse file order. Each part's item index
// is the number of its part block in the file, from 0.
struct PartFileContents {
    double sheetLength = 0;
    double sheetWidth = 0;
    PartList parts;
    // Lines read by the file format's rules in a way their author hardly meant (a vertex
    // "0,abc" read as (0, 0), a copy count "2.5" read as 2): "FILE:LINE: what was read and
    // how". The first kMaxListedWarnings are kept; warningCount counts all.
    static constexpr std::size_t kMaxListedWarnings = 20;
    std::vector<std::string> warnings;
    std::int64_t warningCount = 0;
};

// Bounds on what one file may ask for, so that a hostile file fails clearly instead of
// exhausting memory.
struct ReadLimits {
    std::int64_t maxParts = 1'000'000;                    // part instances over the whole file
    std::int64_t maxStoredVertices = 3'000'000;           // vertices held over all instances
    std::size_t maxLineLength = std::size_t{64} << 20;    // characters of one line
    std::int64_t maxFileBytes = std::int64_t{256} << 20;  // bytes read from the whole file
};

// Reads the part data file at path; name is used in messages.
[[nodiscard]] std::variant<PartFileContents, InputError> readPartFile(
    const std::string& path, const ReadLimits& limits = {});

// Reads the part data from a stream; sourceName labels the messages.
[[nodiscard]] std::variant<PartFileContents, InputError> readPartData(
    std::istream& in, const std::string& sourceName, const ReadLimits& limits = {});

}  // namespace blocknest
