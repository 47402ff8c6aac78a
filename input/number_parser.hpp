#pragma once  // input/number_parser.hpp: the decimal number grammar of the part data file
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace blocknest {

struct ParsedNumber {
    double value = 0;
    std::size_t end = 0;  // just past the number; the start position when there is none
};

// Reads a decimal number from pos on, as the C library's conversion does in the "C" locale,
// but without its hexadecimal, "inf" and "nan" forms: blanks skipped, then the longest prefix
// [sign] digits [. digits] [e [sign] digits] with at least one digit in the mantissa. No
// number gives the value 0. A value beyond the double range gives an infinity.
[[nodiscard]] ParsedNumber parseDecimal(std::string_view text, std::size_t pos = 0);

// Reads a decimal integer: blanks skipped, optional sign, digits up to the first other
// character; 0 when there is none. Saturates at the bounds of int64.
[[nodiscard]] std::int64_t parseInteger(std::string_view text);

}  // namespace blocknest
