#pragma once  // output/svg_writer.hpp: a picture of the layout for a browser
#include <optional>
#include <string>
#include <vector>

#include "geometry/part.hpp"
#include "geometry/sheet_shape.hpp"
#include "output/statistics.hpp"

namespace blocknest {

// An SVG picture with Y pointing up: the sheet, every placed part filled with its holes cut
// out (one path each), the packed-length line, the parts that did not fit outlined in red in
// a row below the sheet, and a caption with the figures of the report. A long, mostly empty
// sheet is shown up to a little beyond the packed length. Nothing when some coordinate of
// the picture would not be a finite number.
// A sheet with a shape is drawn as its outline with its defects, shown whole.
[[nodiscard]] std::optional<std::string> formatLayoutSvg(const PartList& parts, double sheetLength,
                                                         double sheetWidth,
                                                         const PackingStatistics& stats,
                                                         const SheetShape& shape = {});

// The same for a job over several sheets: the sheets in a grid of sheetGridColumns columns,
// row after row, each whole with its parts, its packed-length line and a title with its
// number, part count, length and density; the parts on no sheet below them.
[[nodiscard]] std::optional<std::string> formatSheetsSvg(const std::vector<SheetLayout>& sheets,
                                                         const PartList& unplaced,
                                                         double sheetLength, double sheetWidth,
                                                         const PackingStatistics& stats);

// The columns of the picture's grid of sheets: the count that makes the grid nearest half
// again as wide as it is high; 1 for one sheet.
[[nodiscard]] int sheetGridColumns(std::size_t sheetCount, double sheetLength, double sheetWidth);

// Text made safe for XML: markup characters escaped, bytes that are not UTF-8 or are control
// characters replaced by U+FFFD and '?'.
[[nodiscard]] std::string escapeXmlText(const std::string& text);

}  // namespace blocknest
