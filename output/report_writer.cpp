#include "output/report_writer.hpp"

#include <sstream>

#include "base/number_format.hpp"

namespace blocknest {

std::string formatReport(const PackingStatistics& stats, const std::string& timingText) {
    std::ostringstream out;
    out << "Packed length:" << stats.packedLength << '\n';
    // 0 / 0 carries a sign bit that the stream would print as "-nan".
    out << "Packing density:" << formatNumber(stats.packingDensity * 100.0) << "%\n";
    out << "Area of all parts:" << stats.totalPartArea << '\n';
    // The timing text ends with its own line feed, and its record gets one more: the file
    // ends with an empty line.
    out << timingText << '\n';
    return out.str();
}

}  // namespace blocknest
