#include "stock/remnant.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "base/number_format.hpp"
#include "output/dxf_cam_writer.hpp"
#include "stock/clipper_paths.hpp"

namespace blocknest {
namespace {

namespace cl = ClipperLib;

}  // namespace

std::optional<Remnant> cutRemnant(const SheetKind& sheet, double cut, const std::string& name) {
    const double length = sheet.length;
    const double width = sheet.width;
    if (!(cut < length)) return std::nullopt;
    const double scale = clipperScale(2 * std::max(length, width) + 2);
    const std::vector<Vertex> box{{0, 0}, {length, 0}, {length, width}, {0, width}};
    const cl::Path outline =
        toClipperPath(sheet.shape.outline ? sheet.shape.outline->vertices() : box, scale);
    const double from = std::max(cut, 0.0);
    const cl::Path beyond = toClipperPath(
        {{from, -1}, {length + 1, -1}, {length + 1, width + 1}, {from, width + 1}}, scale);
    cl::Clipper clipper;
    clipper.AddPath(outline, cl::ptSubject, true);
    clipper.AddPath(beyond, cl::ptClip, true);
    cl::Paths material;
    clipper.Execute(cl::ctIntersection, material, cl::pftNonZero, cl::pftNonZero);
    clipper.Clear();
    clipper.AddPaths(material, cl::ptSubject, true);
    for (const Loop& defect : sheet.shape.defects) {
        clipper.AddPath(toClipperPath(defect.vertices(), scale), cl::ptClip, true);
    }
    cl::PolyTree tree;
    clipper.Execute(cl::ctDifference, tree, cl::pftNonZero, cl::pftNonZero);
    // Outer contours: the tree's top level, and islands inside holes.
    std::vector<const cl::PolyNode*> pieces;
    std::vector<const cl::PolyNode*> open(tree.Childs.begin(), tree.Childs.end());
    while (!open.empty()) {
        const cl::PolyNode* node = open.back();
        open.pop_back();
        if (!node->IsHole()) pieces.push_back(node);
        open.insert(open.end(), node->Childs.begin(), node->Childs.end());
    }
    const cl::PolyNode* largest = nullptr;
    for (const cl::PolyNode* piece : pieces) {
        if (piece->Contour.size() < 3) continue;
        if (largest == nullptr ||
            std::fabs(cl::Area(piece->Contour)) > std::fabs(cl::Area(largest->Contour))) {
            largest = piece;
        }
    }
    if (largest == nullptr) return std::nullopt;
    Remnant remnant;
    remnant.cutAt = cut;
    remnant.piecesLeftOut = static_cast<int>(pieces.size()) - 1;
    SheetShape& shape = remnant.kind.shape;
    shape.outline = fromClipperPath(largest->Contour, scale);
    for (const cl::PolyNode* hole : largest->Childs) {
        if (hole->Contour.size() >= 3)
            shape.defects.push_back(fromClipperPath(hole->Contour, scale));
    }
    const BoundingBox bounds = boundsOf(shape.outline->vertices());
    remnant.origin = {bounds.minX, bounds.minY};
    shape.outline->translate(-bounds.minX, -bounds.minY);
    for (Loop& defect : shape.defects) defect.translate(-bounds.minX, -bounds.minY);
    remnant.kind.name = name;
    remnant.kind.length = bounds.maxX - bounds.minX;
    remnant.kind.width = bounds.maxY - bounds.minY;
    // The remnant keeps its share of the sheet's cost, by material: what a job is credited for
    // giving it back is what the next job pays for it.
    const double whole = materialArea(sheet);
    remnant.kind.cost =
        whole > 0 ? sheet.cost / whole * materialArea(remnant.kind) : materialArea(remnant.kind);
    return remnant;
}

std::string remnantId(const Remnant& remnant) {
    // FNV-1a over the coordinates as written: the same piece gives the same digits.
    std::uint32_t hash = 2166136261u;
    const auto add = [&hash](const std::string& text) {
        for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    };
    const auto addLoop = [&](const Loop& loop) {
        for (const Vertex& v : loop.vertices())
            add(formatNumber(v.x) + "," + formatNumber(v.y) + ";");
        add("|");
    };
    if (remnant.kind.shape.outline) addLoop(*remnant.kind.shape.outline);
    for (const Loop& defect : remnant.kind.shape.defects) addLoop(defect);
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", hash);
    return remnant.kind.name + "-" + digits;
}

std::string remnantRecord(const Remnant& remnant, int sheetNumber) {
    return "remnant " + remnantId(remnant) + ": " + formatNumber(remnant.kind.length) + " x " +
           formatNumber(remnant.kind.width) + " from sheet " + std::to_string(sheetNumber) +
           ", cut at X " + formatNumber(remnant.cutAt) + "; its (0, 0) lay at (" +
           formatNumber(remnant.origin.x) + ", " + formatNumber(remnant.origin.y) +
           ") on that sheet";
}

std::string formatRemnantDxf(const Remnant& remnant, int insUnits, int sheetNumber) {
    CamDrawingSettings settings;
    settings.insUnits = insUnits;
    return "999\n" + remnantRecord(remnant, sheetNumber) + "\n" +
           formatCamDxf(PartList(), remnant.kind.length, remnant.kind.width, settings,
                        &remnant.kind.shape);
}

}  // namespace blocknest
