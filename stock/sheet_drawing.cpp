#include "stock/sheet_drawing.hpp"

#include <algorithm>
#include <filesystem>

#include "geometry/predicates.hpp"
#include "input/csv_lines.hpp"
#include "stock/outline_cuts.hpp"

namespace blocknest {

namespace {

// The sheet's outline less the crossing contours that reach into it; each is named in a note,
// the ones elsewhere as left out.
Loop notchedOutline(const Part& sheet,
                    const std::vector<DxfPartsContents::CrossingOutline>& crossing,
                    const std::string& sourceName, std::vector<Loop>& defects,
                    std::vector<std::string>& notes) {
    const Loop& outline = sheet.outerLoop();
    std::vector<Loop> cutOuts;
    for (const DxfPartsContents::CrossingOutline& c : crossing) {
        // A notch across a corner of the outline may hold the corner and no corner of its own.
        const std::vector<Vertex>& v = c.loop.vertices();
        const std::vector<Vertex>& corners = outline.vertices();
        const bool reaches =
            std::any_of(v.begin(), v.end(),
                        [&](const Vertex& p) { return pointInLoop(p, outline); }) ||
            std::any_of(corners.begin(), corners.end(),
                        [&](const Vertex& p) { return pointInLoop(p, c.loop); });
        if (!reaches) {
            notes.push_back(sourceName + ": the contour of " + c.label +
                            " is left out: it crosses a contour outside the sheet's outline");
            continue;
        }
        cutOuts.push_back(c.loop);
        notes.push_back(sourceName + ": the contour of " + c.label +
                        " crosses the sheet's outline: what lies beyond it is cut away, a notch "
                        "no part may cover");
    }
    if (cutOuts.empty()) return outline;
    std::optional<CutOutline> cut = cutOutline(outline, cutOuts);
    if (!cut) {
        notes.push_back(sourceName +
                        ": the contours that cross the sheet's outline leave no "
                        "material; the outline is kept as drawn");
        return outline;
    }
    if (cut->piecesLeftOut > 0) {
        notes.push_back(sourceName + ": the notches part " + std::to_string(cut->piecesLeftOut) +
                        " smaller piece" + (cut->piecesLeftOut == 1 ? "" : "s") +
                        " from the sheet; only the largest is used");
    }
    for (Loop& hole : cut->holes) defects.push_back(std::move(hole));
    return cut->outline;
}

// A part's outline is packed as a polygon that holds the drawn curve, its holes as polygons
// within theirs; for a sheet it is the other way round: the material is what lies within the
// drawn outline and outside the drawn defects, so the largest contour (the outline) becomes a
// polygon within its curve and its holes (the defects) polygons that hold theirs.
void holdObstaclesFromOutside(DxfPartsContents& contents, double tolerance) {
    Part* sheet = nullptr;
    const PartCurves* curves = nullptr;
    std::size_t index = 0;
    for (Part& part : contents.parts) {
        if (sheet == nullptr || part.outerLoop().area() > sheet->outerLoop().area()) {
            sheet = &part;
            curves = index < contents.curves.size() ? &contents.curves[index] : nullptr;
        }
        ++index;
    }
    // A contour without arcs is kept as read (its drawn form is empty then).
    if (sheet == nullptr || curves == nullptr ||
        curves->holes.size() != static_cast<std::size_t>(sheet->innerLoops().count())) {
        return;
    }
    constexpr int kMaxSegments = 1 << 16;
    Loop outline;
    outline.setVertices(hasArcs(curves->outer)
                            ? boundingPolygon(curves->outer, false, tolerance, kMaxSegments)
                            : sheet->outerLoop().vertices());
    LoopList defects;
    std::size_t k = 0;
    for (const Loop& hole : sheet->innerLoops()) {
        const CurveLoop& drawn = curves->holes[k++];
        Loop defect;
        defect.setVertices(hasArcs(drawn) ? boundingPolygon(drawn, true, tolerance, kMaxSegments)
                                          : hole.vertices());
        defects.pushBack(std::move(defect));
    }
    sheet->setShape(sheet->name(), defects, outline);
}

}  // namespace

SheetDrawing sheetFromParts(const PartList& parts, const std::string& name,
                            const std::string& sourceName,
                            const std::vector<DxfPartsContents::CrossingOutline>& crossing) {
    SheetDrawing drawing;
    const Part* sheet = nullptr;
    for (const Part& part : parts) {
        if (sheet == nullptr || part.outerLoop().area() > sheet->outerLoop().area()) sheet = &part;
    }
    drawing.kind.name = name;
    if (sheet == nullptr) return drawing;
    std::vector<Loop> defects;
    for (const Loop& hole : sheet->innerLoops()) defects.push_back(hole);
    const Loop outline = notchedOutline(*sheet, crossing, sourceName, defects, drawing.notes);
    const BoundingBox box = boundsOf(outline.vertices());
    drawing.kind.length = box.maxX - box.minX;
    drawing.kind.width = box.maxY - box.minY;
    drawing.kind.shape.outline = outline;
    drawing.kind.shape.outline->translate(-box.minX, -box.minY);
    for (Loop& defect : defects) {
        defect.translate(-box.minX, -box.minY);
        drawing.kind.shape.defects.push_back(std::move(defect));
    }
    for (const Part& part : parts) {
        if (&part == sheet || part.outerLoop().vertexCount() == 0) continue;
        const bool inside = pointInLoop(part.outerLoop().vertices().front(), outline);
        drawing.notes.push_back(
            sourceName + ": the contour \"" + part.name() + "\" is left out: " +
            (inside ? "it lies in a defect of the sheet" : "it lies outside the sheet's outline"));
    }
    drawing.kind.cost = materialArea(drawing.kind);
    return drawing;
}

std::variant<SheetDrawing, InputError> readSheetDrawing(const std::string& path,
                                                        const DxfReadSettings& settings) {
    // A device or a pipe may never end, and a folder is no drawing; a missing file is named
    // by the reader.
    std::error_code missing;
    if (std::filesystem::exists(path, missing)) {
        if (std::optional<std::string> why = whyListUnreadable(path, "the sheet drawing")) {
            return InputError{false, *why};
        }
    }
    DxfReadSettings sheetSettings = settings;
    sheetSettings.keepCrossingOutlines = true;
    sheetSettings.shopDrawing = false;
    std::variant<DxfPartsContents, InputError> read = readDxfPartFile(path, sheetSettings);
    if (auto* error = std::get_if<InputError>(&read)) return std::move(*error);
    DxfPartsContents& contents = std::get<DxfPartsContents>(read);
    holdObstaclesFromOutside(contents, toleranceIn(settings, contents.partUnits));
    if (contents.parts.count() == 0) {
        InputError error;
        error.detail = path + ": the sheet drawing holds no closed contour to take as its outline";
        error.notes = contents.warnings;
        return error;
    }
    SheetDrawing drawing =
        sheetFromParts(contents.parts, std::filesystem::path(path).stem().string(), path,
                       contents.crossingOutlines);
    drawing.insUnits = contents.partUnits;
    drawing.kind.insUnits = contents.partUnits;
    drawing.notes.insert(drawing.notes.begin(), contents.warnings.begin(), contents.warnings.end());
    return drawing;
}

}  // namespace blocknest
