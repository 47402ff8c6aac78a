#pragma once  // stock/sheet_drawing.hpp: a sheet read from a drawing
#include <string>
#include <variant>
#include <vector>

#include "input/dxf_part_reader.hpp"
#include "stock/sheet_kind.hpp"

namespace blocknest {

// A sheet as a drawing gives it, and what the user should know about the reading.
struct SheetDrawing {
    SheetKind kind;                  // one in stock, costing its material's area
    int insUnits = 0;                // the drawing's $INSUNITS code; 0 when it names none
    std::vector<std::string> notes;  // one line each, naming the file
};

// The sheet a drawing's outlines make: the largest outer contour is the outline, the closed
// contours in it are defects, and a contour that crosses it (crossing, as the reader hands
// them back) cuts a notch into it: no material lies beyond a defect. Moved so that the
// outline's box starts at (0, 0), named after the file's stem. Contours outside the outline,
// or inside a defect, are left out with a note, as are pieces that notches part from it.
[[nodiscard]] SheetDrawing sheetFromParts(
    const PartList& parts, const std::string& name, const std::string& sourceName,
    const std::vector<DxfPartsContents::CrossingOutline>& crossing = {});

// Reads the drawing at path, curves flattened and units converted as for the parts; path
// labels the messages. Refused when it holds no closed contour.
[[nodiscard]] std::variant<SheetDrawing, InputError> readSheetDrawing(
    const std::string& path, const DxfReadSettings& settings = {});

}  // namespace blocknest
