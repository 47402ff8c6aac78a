#pragma once  // output/report_writer.hpp: the text of "Results.txt"
#include <string>
#include <vector>

#include "output/statistics.hpp"

namespace blocknest {

inline constexpr const char* kReportFileName = "Results.txt";

// Four records without separators between label and number, numbers in the stream's default
// form (six significant digits): packed length, density in percent, area of the parts, and
// the timing text as stored (it brings its own line end). A density that is not a number
// reads "nan".
[[nodiscard]] std::string formatReport(const PackingStatistics& stats,
                                       const std::string& timingText);

// The same four records for a job over several sheets, then one line per sheet:
// "Sheet <k>: Packed length:<x> Packing density:<d>% Parts:<n> Area of parts:<a>", and with
// any sheet used one line for the whole job: "Sheets used:<n> (at least <m>) Sheet area
// used:<u> Scrap:<s> (<p>%)", m being the least number of sheets by area, the area used being every
// sheet but the last whole and the last up to its packed length, the scrap what of it the parts do
// not cover.
[[nodiscard]] std::string formatSheetsReport(const PackingStatistics& stats,
                                             const std::string& timingText,
                                             const std::vector<SheetLayout>& sheets,
                                             double sheetLength, double sheetWidth,
                                             int sheetsAtLeast);

}  // namespace blocknest
