#pragma once  // output/dxf_cam_writer.hpp: the layout as a drawing that CAM software cuts from
#include <filesystem>
#include <optional>
#include <string>

#include "geometry/part.hpp"

namespace blocknest {

// Which layer a contour goes on.
enum class CamLayers {
    byKind,  // outer contours on PARTS, holes on HOLES
    byName,  // a part's outer contour and holes on a layer named after the part
};

struct CamDrawingSettings {
    int insUnits = 0;  // the $INSUNITS code written to the header; 0 says unitless
    CamLayers layers = CamLayers::byKind;
};

// A complete AutoCAD 2000 (AC1015) drawing: header with $INSUNITS and the extents, the
// tables, blocks and objects that version requires, and in model space one closed
// LWPOLYLINE per contour of every part lying on the sheet (outer contours counter-clockwise,
// holes clockwise) and the sheet's outline on layer SHEET. Coordinates are written with as
// many digits as it takes to read back the same doubles.
[[nodiscard]] std::string formatCamDxf(const PartList& parts, double sheetLength, double sheetWidth,
                                       const CamDrawingSettings& settings);

// Writes formatCamDxf's drawing to path in one piece; returns why it failed, or nothing.
[[nodiscard]] std::optional<std::string> writeCamDxf(const std::filesystem::path& path,
                                                     const PartList& parts, double sheetLength,
                                                     double sheetWidth,
                                                     const CamDrawingSettings& settings);

// A layer name made from a part name: characters a layer name may not hold become '_'.
[[nodiscard]] std::string camLayerName(const std::string& partName);

}  // namespace blocknest
