#pragma once  // base/text.hpp: names from a file made safe for the places they are shown
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace blocknest {

// The text with every byte sequence that is not a UTF-8 encoding of a character allowed in
// XML (overlong forms, surrogates, code points above U+10FFFF, U+FFFE and U+FFFF included)
// replaced by U+FFFD.
[[nodiscard]] std::string validUtf8(std::string_view text);

// The text for a terminal: control characters (C0, DEL and, in valid UTF-8, C1) written as
// \xNN so that none acts on the terminal; a backslash is doubled. Other bytes stay, so that
// names in the console's own encoding read as they are.
[[nodiscard]] std::string printableName(std::string_view text);

// The same for a whole message line, but a backslash stays single: a line that holds names
// already made printable reads the same.
[[nodiscard]] std::string printableLine(std::string_view text);

// The fields of one CSV line, split at separator, each trimmed of blanks; a quoted field keeps
// its blanks and separators, and "" in it is a quote. Nothing when a quote is left open.
[[nodiscard]] std::optional<std::vector<std::string>> splitCsvFields(std::string_view line,
                                                                     char separator = ',');

// The separator of a list from its header line: the first comma, semicolon or tab outside
// quotes (spreadsheets in many locales write semicolons), a comma when there is none.
[[nodiscard]] char csvSeparatorOf(std::string_view header);

}  // namespace blocknest
