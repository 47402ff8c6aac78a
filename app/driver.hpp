#pragma once  // app/driver.hpp: the order of a run
#include <istream>
#include <optional>
#include <string>

#include "app/options.hpp"
#include "base/console.hpp"

namespace blocknest {

inline constexpr const char* kDialogTitle = "Select a text file storing 2D Packing information.";

// The path of the part data file: the first file given, or one line read from in after the
// dialog's title. An empty answer or the end of input counts as a cancelled dialog: the warning
// is shown and the path is empty.
[[nodiscard]] std::string choosePartFile(const Options& options, Console& console,
                                         std::istream& in);

// Runs the whole job and returns the exit code; in answers the file question.
[[nodiscard]] int runBlocknest(const Options& options, Console& console, std::istream& in);

}  // namespace blocknest
