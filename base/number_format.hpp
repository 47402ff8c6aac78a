#pragma once  // base/number_format.hpp: numbers as the console, report and drawing show them
#include <string>

namespace blocknest {

// The output stream's default form: six significant digits, no trailing zeros, scientific
// notation with a two-digit exponent outside 1e-5 .. 1e6 (15, 7.5, 1.23457e+06); a value
// that is not a number reads "nan", whatever its sign bit.
[[nodiscard]] std::string formatNumber(double value);

}  // namespace blocknest
