#pragma once  // output/dxf_writer.hpp: the layout as a DXF drawing of LINE entities
#include <ostream>
#include <string>

#include "geometry/part.hpp"
#include "geometry/sheet_shape.hpp"
#include "output/statistics.hpp"

namespace blocknest {

inline constexpr const char* kLayoutFileName = "Layout.dxf";

// One LINE entity on layer 0 with z written as "0.0", ended by the "  0" of what follows.
// Numbers have the stream's default form (six significant digits).
void writeLine(std::ostream& out, const Vertex& start, const Vertex& end);

// The sheet's four edges, counter-clockwise from the origin.
void writeSheetOutline(std::ostream& out, double sheetLength, double sheetWidth);

// Every edge of the outer loop, then of each hole in list order.
void writePartLines(std::ostream& out, const Part& part);

// The edges of the sheet's outline (the rectangle's, when it has none) and of its defects.
void writeSheetShape(std::ostream& out, const SheetShape& shape, double sheetLength,
                     double sheetWidth);

// The whole drawing: header, sheet outline, every part wherever it lies, the packed-length
// line across the sheet, trailer. With a shape that is not empty, its outline and defects
// stand for the sheet's four edges.
[[nodiscard]] std::string formatLayoutDxf(const PartList& parts, double sheetLength,
                                          double sheetWidth, double packedLength,
                                          const SheetShape& shape = {});

// A job over several sheets: each sheet's outline, its parts and its packed-length line, the
// sheets one after another along X (sheetOffset); then the parts on no sheet where they lie.
[[nodiscard]] std::string formatSheetsDxf(const std::vector<SheetLayout>& sheets,
                                          const PartList& unplaced, double sheetLength,
                                          double sheetWidth);

}  // namespace blocknest
