#include "stock/sheet_drawing.hpp"

#include <filesystem>

#include "geometry/predicates.hpp"

namespace blocknest {

SheetDrawing sheetFromParts(const PartList& parts, const std::string& name,
                            const std::string& sourceName) {
    SheetDrawing drawing;
    const Part* sheet = nullptr;
    for (const Part& part : parts) {
        if (sheet == nullptr || part.outerLoop().area() > sheet->outerLoop().area()) sheet = &part;
    }
    drawing.kind.name = name;
    if (sheet == nullptr) return drawing;
    const BoundingBox box = boundsOf(sheet->outerLoop().vertices());
    drawing.kind.length = box.maxX - box.minX;
    drawing.kind.width = box.maxY - box.minY;
    drawing.kind.shape.outline = sheet->outerLoop();
    drawing.kind.shape.outline->translate(-box.minX, -box.minY);
    for (const Loop& hole : sheet->innerLoops()) {
        Loop defect = hole;
        defect.translate(-box.minX, -box.minY);
        drawing.kind.shape.defects.push_back(std::move(defect));
    }
    for (const Part& part : parts) {
        if (&part == sheet || part.outerLoop().vertexCount() == 0) continue;
        const bool inside = pointInLoop(part.outerLoop().vertices().front(), sheet->outerLoop());
        drawing.notes.push_back(
            sourceName + ": the contour \"" + part.name() + "\" is left out: " +
            (inside ? "it lies in a defect of the sheet" : "it lies outside the sheet's outline"));
    }
    drawing.kind.cost = materialArea(drawing.kind);
    return drawing;
}

std::variant<SheetDrawing, InputError> readSheetDrawing(const std::string& path,
                                                        const DxfReadSettings& settings) {
    std::variant<DxfPartsContents, InputError> read = readDxfPartFile(path, settings);
    if (auto* error = std::get_if<InputError>(&read)) return std::move(*error);
    const DxfPartsContents& contents = std::get<DxfPartsContents>(read);
    if (contents.parts.count() == 0) {
        InputError error;
        error.detail = path + ": the sheet drawing holds no closed contour to take as its outline";
        error.notes = contents.warnings;
        return error;
    }
    SheetDrawing drawing =
        sheetFromParts(contents.parts, std::filesystem::path(path).stem().string(), path);
    drawing.insUnits = contents.partUnits;
    drawing.kind.insUnits = contents.partUnits;
    drawing.notes.insert(drawing.notes.begin(), contents.warnings.begin(), contents.warnings.end());
    return drawing;
}

}  // namespace blocknest
