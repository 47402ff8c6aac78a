#pragma once  // output/dxf_cam_writer.hpp: the layout as a drawing that CAM software cuts from
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "geometry/input_item.hpp"
#include "geometry/part.hpp"
#include "geometry/sheet_shape.hpp"
#include "output/cam_layers.hpp"

namespace blocknest {

struct CamDrawingSettings {
    int insUnits = 0;  // the $INSUNITS code written to the header; 0 says unitless
    CamLayers layers = CamLayers::byKind;
    bool labels = false;  // each part's number on the sheet and name as TEXT on layer LABELS
    // The job's items, which parts refer to by itemIndex(): a part whose item has curves is
    // written with its arcs, placed as the part was; the others as their polygons.
    std::span<const InputItem> items;
    // A line across the sheet at this X on layer REMNANT_CUT, after every part: where the
    // remnant is cut off.
    std::optional<double> remnantCutAt;
};

// A complete AutoCAD 2000 (AC1015) drawing: header with $INSUNITS and the extents, the
// tables, blocks and objects that version requires, and in model space the sheet's outline on
// layer SHEET (with a shape: its outline, or the rectangle when it has none, and its defects),
// then one closed LWPOLYLINE per contour of every part lying on the sheet, the
// parts in cutting order (cutOrder) and each part's holes (clockwise) before its outer contour
// (counter-clockwise). A contour drawn with arcs keeps them as bulges (a full circle is two
// half turns); the others are their polygons. Coordinates are written with as many digits as
// it takes to read back the same doubles. With labels, a part that takes no label of
// leastLabelHeight is left unlabelled and counted in labelsLeftOut where it is given.
[[nodiscard]] std::string formatCamDxf(const PartList& parts, double sheetLength, double sheetWidth,
                                       const CamDrawingSettings& settings,
                                       const SheetShape* shape = nullptr,
                                       std::size_t* labelsLeftOut = nullptr);

// Writes formatCamDxf's drawing to path in one piece; returns why it failed, or nothing.
[[nodiscard]] std::optional<std::string> writeCamDxf(const std::filesystem::path& path,
                                                     const PartList& parts, double sheetLength,
                                                     double sheetWidth,
                                                     const CamDrawingSettings& settings);

// A layer name made from a part name: characters a layer name may not hold become '_', and
// the names of the drawing's own layers (0, SHEET, LABELS, MARK, REMNANT_CUT, in any case) get
// "_PART" added.
[[nodiscard]] std::string camLayerName(const std::string& partName);

}  // namespace blocknest
