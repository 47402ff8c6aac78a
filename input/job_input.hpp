#pragma once  // input/job_input.hpp: what one input file gives a job, whatever its format
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "geometry/input_item.hpp"
#include "geometry/part.hpp"
#include "input/dxf_part_reader.hpp"
#include "input/input_file.hpp"
#include "input/job_preparation.hpp"
#include "input/part_file_reader.hpp"

namespace blocknest {

// The file formats the program reads; a job list names files of the others.
enum class InputFormat { partData, json, dxf, jobList };

// What one input file contributes: a sheet it fixes (in whole or in part), its items, one part
// per copy in the order they join the job's list, and warnings (whole lines naming the file and
// place) about things it left out. Each part's itemIndex() indexes items.
struct JobInput {
    InputFormat format = InputFormat::partData;
    std::string source;  // the path, for messages
    std::optional<double> sheetLength;
    std::optional<double> sheetWidth;
    std::vector<InputItem> items;
    PartList parts;
    std::vector<std::string> warnings;
    std::int64_t doubtfulLines = 0;  // a part data file's lines read against their meaning
    std::optional<int> insUnits;     // a drawing's: the $INSUNITS code its parts are now in
};

// What the readers and the merge take from the command line.
struct InputSettings {
    std::optional<SheetSize> sheet;  // --sheet: replaces any sheet a file gives
    std::string sheetGivenBy;        // what gave the sheet when not --sheet, for the notes
    std::int64_t defaultCopies = 1;  // --copies: drawing parts without FILE:N
    int rotationCount = 2;           // -r: the turns of parts a job list mirrors without its own
    DxfReadSettings dxf;             // --tolerance, --units
    PrepareLimits limits;
};

// The format of a file from its first bytes, with the path's extension deciding only when the
// contents say nothing: '{' opens a JSON instance; a "0" / "SECTION" group or the binary DXF
// sentinel opens a drawing; "SheetLength" opens a part data file; a first line starting with
// "file," opens a job list; anything else is read as a part data file too, as always.
[[nodiscard]] InputFormat detectInputFormat(std::string_view head, std::string_view path);

// The same for a file on disk; a file that cannot be opened counts as a part data file, whose
// reader then says that it cannot be read.
[[nodiscard]] InputFormat detectInputFormat(const std::string& path);

// What a file that none of the readers reads is, from its first bytes: "a PDF document",
// "a DWG drawing", ... or "a binary file" for any other that holds a NUL byte; nothing for
// text, which the part data reader then reads.
[[nodiscard]] std::optional<std::string> foreignFileKind(std::string_view head);

// The same for a file on disk; nothing when it cannot be opened.
[[nodiscard]] std::optional<std::string> foreignFileKind(const std::string& path);

// "part data file", "JSON instance", "DXF drawing" or "job list".
[[nodiscard]] std::string_view formatName(InputFormat format);

// The part data file as a JobInput: the sheet it gives, one item per part block that made
// parts, its parts in the reader's order.
[[nodiscard]] JobInput toJobInput(PartFileContents contents, const std::string& path);

// A drawing as a JobInput: one item per part read, each copied `copies` times and named after
// the file's stem ("bracket"), with the name the reader gave (its block or layer) added where
// the drawing holds several parts ("plate:HOLE_PLATE") and that name is not the stem itself;
// a line naming the drawing's units (and any conversion) joins its warnings. Fails when the
// copies exceed the limits.
[[nodiscard]] std::variant<JobInput, InputError> toJobInput(DxfPartsContents contents,
                                                            const std::string& path,
                                                            std::int64_t copies,
                                                            const ReadLimits& limits);

// Whether a line is toJobInput's on a drawing's units that only says what the drawing names,
// with nothing assumed or converted: what a quiet run leaves unsaid.
[[nodiscard]] bool isPlainUnitsLine(const std::string& line);

}  // namespace blocknest
