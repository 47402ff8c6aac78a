#include "output/dxf_cam_writer.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <span>
#include <sstream>
#include <tuple>
#include <vector>

#include "output/atomic_file.hpp"
#include "output/cut_labels.hpp"
#include "output/cut_order.hpp"
#include "output/json_writer.hpp"
#include "output/statistics.hpp"

namespace blocknest {
namespace {

constexpr const char* kSheetLayer = "SHEET";
constexpr const char* kRemnantCutLayer = "REMNANT_CUT";
constexpr const char* kPartsLayer = "PARTS";
constexpr const char* kHolesLayer = "HOLES";
constexpr const char* kLabelsLayer = "LABELS";
constexpr const char* kMarkLayer = "MARK";

// The shortest text that reads back as the same double; never "-0".
std::string number(double value) {
    if (value == 0) value = 0;  // folds -0 into 0
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

struct Contour {
    std::vector<Vertex> corners;
    std::vector<double> bulges;  // empty: straight edges only
    std::string layer;
    bool closed = true;  // an open line is a cut across the sheet
};

// A line of text centred on a point, on the labels' layer.
struct Label {
    Vertex at;
    double height = 0;
    std::string text;
};

// What model space holds, in drawing order: a contour or a label.
struct Entity {
    Contour contour;
    std::optional<Label> label;
};

double signedArea(const std::vector<Vertex>& v) {
    double twice = 0;
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++)
        twice += v[j].x * v[i].y - v[i].x * v[j].y;
    return twice / 2;
}

Contour oriented(const Loop& loop, bool counterClockwise, const std::string& layer) {
    std::vector<Vertex> corners = loop.vertices();
    if (!corners.empty() && (signedArea(corners) > 0) != counterClockwise)
        std::reverse(corners.begin(), corners.end());
    return Contour{std::move(corners), {}, layer};
}

Contour oriented(const CurveLoop& loop, bool counterClockwise, const std::string& layer) {
    CurveLoop turned = (signedArea(loop) > 0) != counterClockwise ? reversed(loop) : loop;
    return Contour{std::move(turned.corners), std::move(turned.bulges), layer};
}

// A part's outlines as drawn, moved where the part lies, when its item has them and they
// match its polygons (the same number of holes).
std::optional<PartCurves> placedCurves(const Part& part, std::span<const InputItem> items) {
    const int index = part.itemIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return std::nullopt;
    const InputItem& item = items[static_cast<std::size_t>(index)];
    if (item.curves.outer.corners.empty() || item.outer.empty() ||
        static_cast<int>(item.curves.holes.size()) != part.innerLoops().count()) {
        return std::nullopt;
    }
    const Placement pose = placementOf(part, item);
    PartCurves moved;
    moved.outer = placed(item.curves.outer, part.turn(), pose.translationX, pose.translationY);
    for (const CurveLoop& hole : item.curves.holes)
        moved.holes.push_back(placed(hole, part.turn(), pose.translationX, pose.translationY));
    return moved;
}

// A part's mark lines (bend, mark and centre lines), moved where the part lies.
std::vector<CurveLoop> placedMarks(const Part& part, std::span<const InputItem> items) {
    const int index = part.itemIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return {};
    const InputItem& item = items[static_cast<std::size_t>(index)];
    if (item.curves.marks.empty() || item.outer.empty()) return {};
    const Placement pose = placementOf(part, item);
    std::vector<CurveLoop> moved;
    for (const CurveLoop& mark : item.curves.marks)
        moved.push_back(placed(mark, part.turn(), pose.translationX, pose.translationY));
    return moved;
}

// Writes group-code/value pairs with codes right-aligned in three characters, and hands out
// entity handles.
class DxfStream {
public:
    void pair(int code, const std::string& value) {
        char label[8];
        std::snprintf(label, sizeof label, "%3d", code);
        out_ << label << '\n' << value << '\n';
    }
    void pair(int code, double value) { pair(code, number(value)); }
    void pair(int code, int value) { pair(code, std::to_string(value)); }
    void pair(int code, const char* value) { pair(code, std::string(value)); }
    void point(int code, double x, double y) {
        pair(code, x);
        pair(code + 10, y);
    }
    std::string handle() {
        char text[20];
        std::snprintf(text, sizeof text, "%X", next_++);
        return text;
    }
    int nextHandle() const { return next_; }
    std::string str() const { return out_.str(); }

private:
    std::ostringstream out_;
    int next_ = 0x20;  // handles below are the fixed ones written by name below
};

// Fixed handles of the objects that refer to each other.
constexpr const char* kVportTable = "1";
constexpr const char* kLtypeTable = "2";
constexpr const char* kLayerTable = "3";
constexpr const char* kStyleTable = "4";
constexpr const char* kViewTable = "5";
constexpr const char* kUcsTable = "6";
constexpr const char* kAppidTable = "7";
constexpr const char* kDimstyleTable = "8";
constexpr const char* kBlockRecordTable = "9";
constexpr const char* kModelRecord = "A";
constexpr const char* kPaperRecord = "B";
constexpr const char* kRootDictionary = "C";
constexpr const char* kGroupDictionary = "D";
constexpr const char* kLayoutDictionary = "E";
constexpr const char* kModelLayout = "F";
constexpr const char* kPaperLayout = "10";

void beginTable(DxfStream& dxf, const char* name, const char* handle, int count) {
    dxf.pair(0, "TABLE");
    dxf.pair(2, name);
    dxf.pair(5, handle);
    dxf.pair(330, "0");
    dxf.pair(100, "AcDbSymbolTable");
    dxf.pair(70, count);
}

void beginRecord(DxfStream& dxf, const char* type, const char* table, const char* subclass) {
    dxf.pair(0, type);
    dxf.pair(5, dxf.handle());
    dxf.pair(330, table);
    dxf.pair(100, "AcDbSymbolTableRecord");
    dxf.pair(100, subclass);
}

void writeHeader(DxfStream& dxf, const BoundingBox& extents, int insUnits, int handleSeed) {
    dxf.pair(0, "SECTION");
    dxf.pair(2, "HEADER");
    dxf.pair(9, "$ACADVER");
    dxf.pair(1, "AC1015");
    dxf.pair(9, "$DWGCODEPAGE");
    dxf.pair(3, "ANSI_1252");
    dxf.pair(9, "$INSBASE");
    dxf.point(10, 0.0, 0.0);
    dxf.pair(30, 0.0);
    dxf.pair(9, "$EXTMIN");
    dxf.point(10, extents.minX, extents.minY);
    dxf.pair(30, 0.0);
    dxf.pair(9, "$EXTMAX");
    dxf.point(10, extents.maxX, extents.maxY);
    dxf.pair(30, 0.0);
    dxf.pair(9, "$LIMMIN");
    dxf.point(10, extents.minX, extents.minY);
    dxf.pair(9, "$LIMMAX");
    dxf.point(10, extents.maxX, extents.maxY);
    dxf.pair(9, "$INSUNITS");
    dxf.pair(70, insUnits);
    char seed[20];
    std::snprintf(seed, sizeof seed, "%X", handleSeed);
    dxf.pair(9, "$HANDSEED");
    dxf.pair(5, seed);
    dxf.pair(0, "ENDSEC");
}

void writeTables(DxfStream& dxf, const std::vector<std::pair<std::string, int>>& layers) {
    dxf.pair(0, "SECTION");
    dxf.pair(2, "TABLES");

    beginTable(dxf, "VPORT", kVportTable, 1);
    beginRecord(dxf, "VPORT", kVportTable, "AcDbViewportTableRecord");
    dxf.pair(2, "*Active");
    dxf.pair(70, 0);
    dxf.point(10, 0.0, 0.0);
    dxf.point(11, 1.0, 1.0);
    dxf.pair(0, "ENDTAB");

    beginTable(dxf, "LTYPE", kLtypeTable, 3);
    for (const char* name : {"ByBlock", "ByLayer", "Continuous"}) {
        beginRecord(dxf, "LTYPE", kLtypeTable, "AcDbLinetypeTableRecord");
        dxf.pair(2, name);
        dxf.pair(70, 0);
        dxf.pair(3, std::string(name) == "Continuous" ? "Solid line" : "");
        dxf.pair(72, 65);
        dxf.pair(73, 0);
        dxf.pair(40, 0.0);
    }
    dxf.pair(0, "ENDTAB");

    beginTable(dxf, "LAYER", kLayerTable, static_cast<int>(layers.size()) + 1);
    std::vector<std::pair<std::string, int>> all{{"0", 7}};
    all.insert(all.end(), layers.begin(), layers.end());
    for (const auto& [name, colour] : all) {
        beginRecord(dxf, "LAYER", kLayerTable, "AcDbLayerTableRecord");
        dxf.pair(2, name);
        dxf.pair(70, 0);
        dxf.pair(62, colour);
        dxf.pair(6, "Continuous");
    }
    dxf.pair(0, "ENDTAB");

    beginTable(dxf, "STYLE", kStyleTable, 1);
    beginRecord(dxf, "STYLE", kStyleTable, "AcDbTextStyleTableRecord");
    dxf.pair(2, "Standard");
    dxf.pair(70, 0);
    dxf.pair(40, 0.0);
    dxf.pair(41, 1.0);
    dxf.pair(50, 0.0);
    dxf.pair(71, 0);
    dxf.pair(42, 2.5);
    dxf.pair(3, "txt");
    dxf.pair(4, "");
    dxf.pair(0, "ENDTAB");

    beginTable(dxf, "VIEW", kViewTable, 0);
    dxf.pair(0, "ENDTAB");
    beginTable(dxf, "UCS", kUcsTable, 0);
    dxf.pair(0, "ENDTAB");

    beginTable(dxf, "APPID", kAppidTable, 1);
    beginRecord(dxf, "APPID", kAppidTable, "AcDbRegAppTableRecord");
    dxf.pair(2, "ACAD");
    dxf.pair(70, 0);
    dxf.pair(0, "ENDTAB");

    beginTable(dxf, "DIMSTYLE", kDimstyleTable, 1);
    dxf.pair(100, "AcDbDimStyleTable");
    dxf.pair(0, "DIMSTYLE");
    dxf.pair(105, dxf.handle());  // a dimension style's handle has a code of its own
    dxf.pair(330, kDimstyleTable);
    dxf.pair(100, "AcDbSymbolTableRecord");
    dxf.pair(100, "AcDbDimStyleTableRecord");
    dxf.pair(2, "Standard");
    dxf.pair(70, 0);
    dxf.pair(0, "ENDTAB");

    beginTable(dxf, "BLOCK_RECORD", kBlockRecordTable, 2);
    for (const auto& [name, handle, layout] :
         {std::tuple{"*Model_Space", kModelRecord, kModelLayout},
          std::tuple{"*Paper_Space", kPaperRecord, kPaperLayout}}) {
        dxf.pair(0, "BLOCK_RECORD");
        dxf.pair(5, handle);
        dxf.pair(330, kBlockRecordTable);
        dxf.pair(100, "AcDbSymbolTableRecord");
        dxf.pair(100, "AcDbBlockTableRecord");
        dxf.pair(2, name);
        dxf.pair(340, layout);
    }
    dxf.pair(0, "ENDTAB");
    dxf.pair(0, "ENDSEC");
}

void writeBlocks(DxfStream& dxf) {
    dxf.pair(0, "SECTION");
    dxf.pair(2, "BLOCKS");
    for (const auto& [name, record] :
         {std::pair{"*Model_Space", kModelRecord}, std::pair{"*Paper_Space", kPaperRecord}}) {
        dxf.pair(0, "BLOCK");
        dxf.pair(5, dxf.handle());
        dxf.pair(330, record);
        dxf.pair(100, "AcDbEntity");
        dxf.pair(8, "0");
        dxf.pair(100, "AcDbBlockBegin");
        dxf.pair(2, name);
        dxf.pair(70, 0);
        dxf.point(10, 0.0, 0.0);
        dxf.pair(30, 0.0);
        dxf.pair(3, name);
        dxf.pair(1, "");
        dxf.pair(0, "ENDBLK");
        dxf.pair(5, dxf.handle());
        dxf.pair(330, record);
        dxf.pair(100, "AcDbEntity");
        dxf.pair(8, "0");
        dxf.pair(100, "AcDbBlockEnd");
    }
    dxf.pair(0, "ENDSEC");
}

void writeText(DxfStream& dxf, const Label& label) {
    dxf.pair(0, "TEXT");
    dxf.pair(5, dxf.handle());
    dxf.pair(330, kModelRecord);
    dxf.pair(100, "AcDbEntity");
    dxf.pair(8, kLabelsLayer);
    dxf.pair(100, "AcDbText");
    dxf.point(10, label.at.x, label.at.y);
    dxf.pair(30, 0.0);
    dxf.pair(40, label.height);
    dxf.pair(1, label.text);
    dxf.pair(72, 1);  // centred on the second point
    dxf.point(11, label.at.x, label.at.y);
    dxf.pair(31, 0.0);
    dxf.pair(100, "AcDbText");
    dxf.pair(73, 2);  // and in the middle of the line's height
}

void writeEntities(DxfStream& dxf, const std::vector<Entity>& entities) {
    dxf.pair(0, "SECTION");
    dxf.pair(2, "ENTITIES");
    for (const Entity& entity : entities) {
        if (entity.label) {
            writeText(dxf, *entity.label);
            continue;
        }
        const Contour& contour = entity.contour;
        dxf.pair(0, "LWPOLYLINE");
        dxf.pair(5, dxf.handle());
        dxf.pair(330, kModelRecord);
        dxf.pair(100, "AcDbEntity");
        dxf.pair(8, contour.layer);
        dxf.pair(100, "AcDbPolyline");
        dxf.pair(90, static_cast<int>(contour.corners.size()));
        dxf.pair(70, contour.closed ? 1 : 0);
        for (std::size_t i = 0; i < contour.corners.size(); ++i) {
            dxf.point(10, contour.corners[i].x, contour.corners[i].y);
            if (i < contour.bulges.size() && contour.bulges[i] != 0)
                dxf.pair(42, contour.bulges[i]);
        }
    }
    dxf.pair(0, "ENDSEC");
}

void writeLayout(DxfStream& dxf, const char* handle, const char* name, int order,
                 const char* record, const BoundingBox& extents) {
    dxf.pair(0, "LAYOUT");
    dxf.pair(5, handle);
    dxf.pair(330, kLayoutDictionary);
    dxf.pair(100, "AcDbPlotSettings");
    dxf.pair(1, "");
    dxf.pair(2, "none_device");
    dxf.pair(4, "");
    dxf.pair(6, "");
    for (int code = 40; code <= 49; ++code) dxf.pair(code, 0.0);
    dxf.pair(140, 0.0);
    dxf.pair(141, 0.0);
    dxf.pair(142, 1.0);
    dxf.pair(143, 1.0);
    dxf.pair(70, 688);
    dxf.pair(72, 0);
    dxf.pair(73, 0);
    dxf.pair(74, 5);
    dxf.pair(7, "");
    dxf.pair(75, 16);
    dxf.pair(147, 1.0);
    dxf.pair(148, 0.0);
    dxf.pair(149, 0.0);
    dxf.pair(100, "AcDbLayout");
    dxf.pair(1, name);
    dxf.pair(70, 1);
    dxf.pair(71, order);
    dxf.point(10, 0.0, 0.0);
    dxf.point(11, extents.maxX, extents.maxY);
    dxf.point(12, 0.0, 0.0);
    dxf.pair(32, 0.0);
    dxf.point(14, extents.minX, extents.minY);
    dxf.pair(34, 0.0);
    dxf.point(15, extents.maxX, extents.maxY);
    dxf.pair(35, 0.0);
    dxf.pair(146, 0.0);
    dxf.point(13, 0.0, 0.0);
    dxf.pair(33, 0.0);
    dxf.point(16, 1.0, 0.0);
    dxf.pair(36, 0.0);
    dxf.point(17, 0.0, 1.0);
    dxf.pair(37, 0.0);
    dxf.pair(76, 0);
    dxf.pair(330, record);
}

void writeObjects(DxfStream& dxf, const BoundingBox& extents) {
    dxf.pair(0, "SECTION");
    dxf.pair(2, "OBJECTS");
    dxf.pair(0, "DICTIONARY");
    dxf.pair(5, kRootDictionary);
    dxf.pair(330, "0");
    dxf.pair(100, "AcDbDictionary");
    dxf.pair(281, 1);
    dxf.pair(3, "ACAD_GROUP");
    dxf.pair(350, kGroupDictionary);
    dxf.pair(3, "ACAD_LAYOUT");
    dxf.pair(350, kLayoutDictionary);

    dxf.pair(0, "DICTIONARY");
    dxf.pair(5, kGroupDictionary);
    dxf.pair(330, kRootDictionary);
    dxf.pair(100, "AcDbDictionary");
    dxf.pair(281, 1);

    dxf.pair(0, "DICTIONARY");
    dxf.pair(5, kLayoutDictionary);
    dxf.pair(330, kRootDictionary);
    dxf.pair(100, "AcDbDictionary");
    dxf.pair(281, 1);
    dxf.pair(3, "Model");
    dxf.pair(350, kModelLayout);
    dxf.pair(3, "Layout1");
    dxf.pair(350, kPaperLayout);

    writeLayout(dxf, kModelLayout, "Model", 0, kModelRecord, extents);
    writeLayout(dxf, kPaperLayout, "Layout1", 1, kPaperRecord, extents);
    dxf.pair(0, "ENDSEC");
}

// "3 bracket" in the part's material, clear of its contours; "3 bracket (M)" for a part
// placed mirrored, so that the operator knows which side is up. None for a part that takes
// no such text of the least height: a label too small to read is worse than none.
std::optional<Label> labelFor(const Part& part, int number, double leastHeight) {
    const std::string text =
        std::to_string(number) + " " + part.name() + (part.turn().mirrored ? " (M)" : "");
    const LabelSpot spot = labelSpot(part, text.size());
    if (!(spot.height >= leastHeight)) return std::nullopt;
    return Label{spot.at, spot.height, dxfText(text)};
}

}  // namespace

std::string camLayerName(const std::string& partName) {
    std::string name;
    for (const char c : partName) {
        const auto u = static_cast<unsigned char>(c);
        const bool allowed = u > 32 && u < 127 &&
                             std::string_view("<>/\\\":;?*|=`,").find(c) == std::string_view::npos;
        name += allowed || c == ' ' ? c : '_';
    }
    if (name.empty() || name.find_first_not_of(' ') == std::string::npos) name = "NoName";
    // The fixed layers keep their meaning.
    for (const char* reserved : {kSheetLayer, kLabelsLayer, kRemnantCutLayer, kMarkLayer, "0"}) {
        std::string upper = name;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (upper == reserved) name += "_PART";
    }
    return name;
}

std::string formatCamDxf(const PartList& parts, double sheetLength, double sheetWidth,
                         const CamDrawingSettings& settings, const SheetShape* shape,
                         std::size_t* labelsLeftOut) {
    std::vector<Entity> entities;
    if (shape != nullptr && shape->outline && shape->outline->vertexCount() >= 3) {
        entities.push_back(Entity{oriented(*shape->outline, true, kSheetLayer), std::nullopt});
    } else {
        entities.push_back(
            Entity{{{{0, 0}, {sheetLength, 0}, {sheetLength, sheetWidth}, {0, sheetWidth}},
                    {},
                    kSheetLayer},
                   std::nullopt});
    }
    if (shape != nullptr) {
        for (const Loop& defect : shape->defects) {
            if (defect.vertexCount() >= 3) {
                entities.push_back(Entity{oriented(defect, false, kSheetLayer), std::nullopt});
            }
        }
    }
    std::vector<std::pair<std::string, int>> layers{{kSheetLayer, 8}};
    if (settings.layers == CamLayers::byKind) {
        layers.emplace_back(kPartsLayer, 7);
        layers.emplace_back(kHolesLayer, 1);
    }
    if (settings.labels) layers.emplace_back(kLabelsLayer, 3);
    if (settings.remnantCutAt) layers.emplace_back(kRemnantCutLayer, 6);
    BoundingBox extents{0, sheetLength, 0, sheetWidth};
    std::vector<const Part*> onSheet;
    for (const Part& part : parts) {
        if (!liesOnSheet(part, sheetLength, sheetWidth)) continue;
        if (part.outerLoop().vertexCount() < 3) continue;
        onSheet.push_back(&part);
        if (settings.layers == CamLayers::byName) {
            const std::string name = camLayerName(part.name());
            const bool known = std::any_of(layers.begin(), layers.end(),
                                           [&](const auto& l) { return l.first == name; });
            // Colours 1 to 6 in turn, so that neighbouring names look apart.
            if (!known) layers.emplace_back(name, 1 + static_cast<int>(layers.size() - 1) % 6);
        }
    }
    // Marked before anything is cut, while the sheet lies still.
    const bool marked = std::any_of(onSheet.begin(), onSheet.end(), [&](const Part* part) {
        return !placedMarks(*part, settings.items).empty();
    });
    if (marked) layers.emplace_back(kMarkLayer, 4);
    int number = 0;
    for (const std::size_t index : cutOrder(onSheet)) {
        const Part& part = *onSheet[index];
        const bool byName = settings.layers == CamLayers::byName;
        const std::string outerLayer = byName ? camLayerName(part.name()) : kPartsLayer;
        const std::string holeLayer = byName ? outerLayer : kHolesLayer;
        for (CurveLoop& mark : placedMarks(part, settings.items)) {
            entities.push_back(
                Entity{{std::move(mark.corners), std::move(mark.bulges), kMarkLayer, false},
                       std::nullopt});
        }
        // Inside first: a part cut free of the sheet may drop or shift.
        if (const std::optional<PartCurves> curves = placedCurves(part, settings.items)) {
            for (const CurveLoop& hole : curves->holes)
                entities.push_back(Entity{oriented(hole, false, holeLayer), std::nullopt});
            entities.push_back(Entity{oriented(curves->outer, true, outerLayer), std::nullopt});
        } else {
            for (const Loop& hole : part.innerLoops())
                if (hole.vertexCount() >= 3)
                    entities.push_back(Entity{oriented(hole, false, holeLayer), std::nullopt});
            entities.push_back(Entity{oriented(part.outerLoop(), true, outerLayer), std::nullopt});
        }
        ++number;
        if (settings.labels) {
            if (std::optional<Label> label =
                    labelFor(part, number, leastLabelHeight(settings.insUnits))) {
                entities.push_back(Entity{{}, std::move(label)});
            } else if (labelsLeftOut != nullptr) {
                ++*labelsLeftOut;
            }
        }
        for (const Vertex& v : part.outerLoop().vertices()) {
            extents.minX = std::min(extents.minX, v.x);
            extents.maxX = std::max(extents.maxX, v.x);
            extents.minY = std::min(extents.minY, v.y);
            extents.maxY = std::max(extents.maxY, v.y);
        }
    }
    // The remnant comes off once every part is cut: its line is the last entity.
    if (settings.remnantCutAt) {
        const double x = *settings.remnantCutAt;
        entities.push_back(
            Entity{{{{x, 0}, {x, sheetWidth}}, {}, kRemnantCutLayer, false}, std::nullopt});
    }
    // Handles are handed out in writing order, so the seed is known only at the end; the
    // header goes in front afterwards.
    DxfStream body;
    writeTables(body, layers);
    writeBlocks(body);
    writeEntities(body, entities);
    writeObjects(body, extents);
    body.pair(0, "EOF");
    DxfStream head;
    writeHeader(head, extents, settings.insUnits, body.nextHandle());
    return head.str() + body.str();
}

std::optional<std::string> writeCamDxf(const std::filesystem::path& path, const PartList& parts,
                                       double sheetLength, double sheetWidth,
                                       const CamDrawingSettings& settings) {
    return replaceFile(path, formatCamDxf(parts, sheetLength, sheetWidth, settings));
}

}  // namespace blocknest
