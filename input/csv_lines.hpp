#pragma once  // input/csv_lines.hpp: the lines of a CSV list, each read within a bound
#include <cstddef>
#include <istream>
#include <optional>
#include <string>

namespace blocknest {

// What reading one line of a list found.
enum class ListLine { read, end, tooLong };

// Reads the next line without its line end (a CR before the LF belongs to it) into line, at
// most maxLength characters: a longer line is not read on, so that a file without line ends
// cannot take all memory.
[[nodiscard]] ListLine readListLine(std::istream& in, std::string& line, std::size_t maxLength);

// Why a list (or another file read whole) at path cannot be read: it is missing, a
// directory, or not a regular file (a device or a FIFO may never end); nothing when it can.
// what names the file in the line ("the stock list").
[[nodiscard]] std::optional<std::string> whyListUnreadable(const std::string& path,
                                                           const std::string& what);

}  // namespace blocknest
