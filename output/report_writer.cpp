#include "output/report_writer.hpp"

#include <cmath>
#include <sstream>

#include "base/number_format.hpp"

namespace blocknest {

std::string formatReport(const PackingStatistics& stats, const std::string& timingText) {
    std::ostringstream out;
    out << "Packed length:" << stats.packedLength << '\n';
    // With no part on the sheet the density is 0 / 0: nothing of the sheet is used.
    const double density = std::isfinite(stats.packingDensity) ? stats.packingDensity : 0.0;
    out << "Packing density:" << formatNumber(density * 100.0) << "%\n";
    out << "Area of all parts:" << stats.totalPartArea << '\n';
    // The timing text ends with its own line feed, and its record gets one more: the file
    // ends with an empty line.
    out << timingText << '\n';
    return out.str();
}

std::string formatSheetsReport(const PackingStatistics& stats, const std::string& timingText,
                               const std::vector<SheetLayout>& sheets, double sheetLength,
                               double sheetWidth, int sheetsAtLeast) {
    std::ostringstream out;
    out << formatReport(stats, timingText);
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        const PackingStatistics& s = sheets[k].statistics;
        out << "Sheet " << k + 1;
        if (!sheets[k].kind.empty()) out << " (" << sheets[k].kind << ")";
        out << ": Packed length:" << s.packedLength
            << " Packing density:" << formatNumber(s.packingDensity * 100.0)
            << "% Parts:" << sheets[k].parts.count() << " Area of parts:" << s.totalPartArea
            << '\n';
    }
    if (sheets.empty()) {
        out << "Sheets used:0 (at least " << sheetsAtLeast << ")\n";
    } else {
        const double used = sheetAreaUsed(sheets, sheetLength, sheetWidth);
        const double scrap = used - stats.totalPartArea;
        out << "Sheets used:" << sheets.size() << " (at least " << sheetsAtLeast
            << ") Sheet area used:" << used << " Scrap:" << scrap << " ("
            << formatNumber(100.0 * scrap / used) << "%)\n";
    }
    return out.str();
}

}  // namespace blocknest
