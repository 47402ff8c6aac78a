#include "base/number_format.hpp"

#include <cmath>
#include <sstream>

namespace blocknest {

std::string formatNumber(double value) {
    if (std::isnan(value)) return "nan";
    std::ostringstream out;
    out << value;
    return out.str();
}

}  // namespace blocknest
