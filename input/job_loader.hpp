#pragma once  // input/job_loader.hpp: from the command line's files to one job ready for packing
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "input/job_input.hpp"
#include "input/job_preparation.hpp"

namespace blocknest {

// Reads one file with the reader of its format.
[[nodiscard]] std::variant<JobInput, InputError> readInput(const InputFile& file,
                                                           InputFormat format,
                                                           const InputSettings& settings);

// The files a job list names, each read in its format with its row's quantity, name, turns,
// layers and units, one input per row in the list's order.
[[nodiscard]] std::variant<std::vector<JobInput>, InputError> readJobListInputs(
    const std::string& listPath, const InputSettings& settings);

// Why a file taken for a part data file for want of another format cannot be one (it is no
// text at all: an image, a DWG drawing, ...), in the words of a run; nothing for any other file.
[[nodiscard]] std::optional<InputError> foreignFileError(const std::string& path,
                                                         InputFormat format);

// Several inputs as one: the part data file's sheet (at most one such file), else the sheet
// width every JSON instance agrees on and no length, each replaced by --sheet; parts in command
// line order, each input's own order kept; item tables joined, the parts' item indexes shifted
// to match; warnings and notes about the sheet collected as lines for the user.
struct MergedInput {
    PartFileContents contents;  // sheetLength 0 when no file or option gives it
    bool lengthGiven = false;
    std::vector<InputItem> items;
    std::vector<std::string> notes;
    std::int64_t doubtfulLines = 0;  // summed over the inputs
    std::string sourceName;          // the paths, for messages about the whole job
    int insUnits = 0;                // the drawings' common $INSUNITS code; 0 when none or mixed
};
[[nodiscard]] std::variant<MergedInput, InputError> mergeInputs(std::vector<JobInput> inputs,
                                                                const InputSettings& settings);

// The sheet length when no file or option gives one, long enough for every part: with b the
// block side the job derives, max(sum over the parts of (box length + 3 b),
// 3 x total net area / width) + 4 b, rounded up to a whole number. Orders the parts as the
// preparation will.
[[nodiscard]] double sheetLengthBound(PartList& parts, double sheetWidth);

// A job ready for packing, the item table its parts refer to, and lines for the user.
struct LoadedJob {
    PreparedJob prepared;
    std::vector<InputItem> items;
    std::vector<std::string> notes;
    int insUnits = 0;                // as MergedInput's
    std::int64_t doubtfulLines = 0;  // as MergedInput's
};

// Recognises, reads and merges the files and the inputs made elsewhere (after the files'),
// then prepares the job.
[[nodiscard]] std::variant<LoadedJob, InputError> loadJob(const std::vector<InputFile>& files,
                                                          const InputSettings& settings,
                                                          std::vector<JobInput> made = {});

}  // namespace blocknest
