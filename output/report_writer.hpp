#pragma once  // output/report_writer.hpp: the text of "Results.txt"
#include <string>

#include "output/statistics.hpp"

namespace blocknest {

inline constexpr const char* kReportFileName = "Results.txt";

// Four records without separators between label and number, numbers in the stream's default
// form (six significant digits): packed length, density in percent, area of the parts, and
// the timing text as stored (it brings its own line end). A density that is not a number
// reads "nan".
[[nodiscard]] std::string formatReport(const PackingStatistics& stats,
                                       const std::string& timingText);

}  // namespace blocknest
