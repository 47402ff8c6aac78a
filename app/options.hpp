#pragma once  // app/options.hpp: the command line
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "job/job.hpp"

namespace blocknest {

// What the user asked for on the command line: the job, and what only the command line has.
// With no option the run is the plain one: the file is asked for, the files go to the current
// directory, 2 rotations, a final pause.
struct Options : JobDescription {
    bool pause = true;
    bool showHelp = false;
    bool showVersion = false;
    std::vector<InputFile> fillerFiles;  // --fill, until they join the files
};

struct UsageError {
    std::string message;  // one line, without the program name
};

[[nodiscard]] std::variant<Options, UsageError> parseOptions(
    const std::vector<std::string_view>& args);

// The --help text.
[[nodiscard]] std::string usageText();

}  // namespace blocknest
