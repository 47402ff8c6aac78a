#include "output/report_writer.hpp"

#include <cmath>
#include <sstream>

namespace blocknest {

std::string formatReport(const PackingStatistics& stats, const std::string& timingText) {
    std::ostringstream out;
    out << "Packed length:" << stats.packedLength << '\n';
    out << "Packing density:";
    // 0 / 0 carries a sign bit that the runtime would print as "-nan".
    if (std::isnan(stats.packingDensity)) {
        out << "nan";
    } else {
        out << stats.packingDensity * 100.0;
    }
    out << "%\n";
    out << "Area of all parts:" << stats.totalPartArea << '\n';
    out << timingText;
    return out.str();
}

}  // namespace blocknest
