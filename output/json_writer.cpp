#include "output/json_writer.hpp"

#include <cmath>
#include <nlohmann/json.hpp>

namespace blocknest {
namespace {

using Json = nlohmann::ordered_json;

Json ring(const std::vector<Vertex>& vertices) {
    Json points = Json::array();
    for (const Vertex& v : vertices) points.push_back({v.x, v.y});
    if (!vertices.empty()) points.push_back({vertices.front().x, vertices.front().y});
    return points;
}

Json shapeOf(const InputItem& item) {
    if (item.holes.empty()) return {{"type", "simple_polygon"}, {"data", ring(item.outer)}};
    Json inner = Json::array();
    for (const std::vector<Vertex>& hole : item.holes) inner.push_back(ring(hole));
    return {{"type", "polygon"}, {"data", {{"outer", ring(item.outer)}, {"inner", inner}}}};
}

Json degreesOf(const std::vector<Orientation>& turns) {
    Json angles = Json::array();
    for (const Orientation& turn : turns) angles.push_back(turn.degrees());
    return angles;
}

Json numberOrNull(double value) { return std::isfinite(value) ? Json(value) : Json(nullptr); }

}  // namespace

Placement placementOf(const Part& part, const InputItem& item) {
    const double angle = part.turn().angle();
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    Vertex from = item.outer.front();
    if (part.turn().mirrored) from.x = -from.x;
    const Vertex& to = part.outerLoop().vertices().front();
    return {part.turn().mirrored, part.turn().degrees(), to.x - (c * from.x - s * from.y),
            to.y - (s * from.x + c * from.y)};
}

std::string formatPlacementJson(const PartList& parts, std::span<const InputItem> items,
                                const PackingStatistics& statistics, const PlacementRun& run) {
    Json instanceItems = Json::array();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const InputItem& item = items[i];
        Json source = {{"file", item.file}, {"id", item.sourceId}};
        if (item.member >= 0) source["member"] = item.member;
        const std::vector<Orientation> turns =
            item.orientations.empty() ? evenTurns(run.rotationCount) : item.orientations;
        instanceItems.push_back({{"id", i},
                                 {"name", item.name},
                                 {"demand", item.copies},
                                 {"allowed_orientations", degreesOf(turns)},
                                 {"shape", shapeOf(item)},
                                 {"source", source}});
    }
    Json placed = Json::array();
    Json unplaced = Json::array();
    std::size_t position = 0;
    for (const Part& part : parts) {
        const int sheet = position < run.sheetOf.size() ? run.sheetOf[position] : 0;
        ++position;
        const int index = part.itemIndex();
        const bool known = index >= 0 && static_cast<std::size_t>(index) < items.size();
        Json entry = {{"item_id", known ? Json(index) : Json(nullptr)}, {"name", part.name()}};
        if (!liesOnSheet(part, run.sheetLength, run.sheetWidth) || sheet < 0) {
            entry["reason"] = sheet == -2 ? "larger than the sheet in all of its orientations"
                                          : "no room on the sheet in any of its orientations";
            unplaced.push_back(std::move(entry));
            continue;
        }
        if (known && !items[static_cast<std::size_t>(index)].outer.empty()) {
            const Placement p = placementOf(part, items[static_cast<std::size_t>(index)]);
            entry["transformation"] = {{"rotation", p.rotationDegrees},
                                       {"translation", {p.translationX, p.translationY}}};
            if (p.mirrored) entry["transformation"]["mirrored"] = true;
        }
        if (part.filler() != Part::Filler::no) entry["filler"] = true;
        if (!run.sheetOf.empty()) entry["sheet"] = sheet + 1;
        if (static_cast<std::size_t>(sheet) < run.sheetKinds.size()) {
            entry["sheet_kind"] = run.sheetKinds[static_cast<std::size_t>(sheet)];
        }
        placed.push_back(std::move(entry));
    }
    Json solution = {{"strip_width", statistics.packedLength},
                     {"sheet", {{"length", run.sheetLength}, {"width", run.sheetWidth}}},
                     {"density", numberOrNull(statistics.packingDensity)},
                     {"run_time_sec", run.runSeconds},
                     {"layout", {{"placed_items", placed}, {"unplaced_items", unplaced}}}};
    if (!run.fillersPlaced.empty()) {
        Json fillers = Json::array();
        for (const auto& [name, count] : run.fillersPlaced) {
            fillers.push_back({{"name", name}, {"count", count}});
        }
        solution["filler_parts_placed"] = fillers;
    }
    if (!run.sheetOf.empty()) {
        std::vector<int> counts(run.sheetFigures.size(), 0);
        for (const Json& entry : placed) {
            const int sheet = entry["sheet"].get<int>() - 1;
            if (sheet >= 0 && static_cast<std::size_t>(sheet) < counts.size()) ++counts[sheet];
        }
        Json sheets = Json::array();
        for (std::size_t k = 0; k < run.sheetFigures.size(); ++k) {
            const PackingStatistics& figures = run.sheetFigures[k];
            sheets.push_back({{"number", k + 1},
                              {"parts", counts[k]},
                              {"packed_length", figures.packedLength},
                              {"density", numberOrNull(figures.packingDensity)},
                              {"area_of_parts", figures.totalPartArea}});
            if (k < run.sheetKinds.size()) sheets.back()["kind"] = run.sheetKinds[k];
        }
        solution["sheets"] = sheets;
        solution["sheets_at_least"] = run.sheetsAtLeast;
        if (!run.sheetFigures.empty()) {
            const double used =
                run.sheetAreaUsed
                    ? *run.sheetAreaUsed
                    : (static_cast<double>(run.sheetFigures.size() - 1) * run.sheetLength +
                       run.sheetFigures.back().packedLength) *
                          run.sheetWidth;
            solution["sheet_area_used"] = used;
            solution["scrap_area"] = used - statistics.totalPartArea;
        }
    }
    if (!run.jobSheet.empty()) {
        Json groups = Json::array();
        for (const JobSheetFigures& group : run.jobSheet) {
            Json names = Json::array();
            for (const auto& [name, count] : group.parts)
                names.push_back({{"name", name}, {"count", count}});
            Json entry = {
                {"runs", group.runs},
                {"sheets", group.numbers},
                {"parts", names},
                {"density", group.materialArea > 0 ? group.partArea / group.materialArea : 0.0},
                {"cut_length", group.cutLength},
                {"pierces", group.pierces},
                {"material_area", group.materialArea},
                {"scrap_area", group.materialArea - group.partArea}};
            if (group.cost) {
                entry["sheet_cost"] = *group.cost;
                entry["cost"] = group.runs * *group.cost;
            }
            groups.push_back(std::move(entry));
        }
        const JobSheetTotals totals = jobSheetTotals(run.jobSheet, run.costs);
        const std::optional<RemnantCredit>& credit = run.costs.credit;
        Json total = {{"runs", totals.runs},
                      {"cut_length", totals.cutLength},
                      {"pierces", totals.pierces},
                      {"material_area", totals.materialArea},
                      {"scrap_area", totals.materialArea - totals.partArea}};
        if (totals.cost) {
            total["sheets_cost"] = *totals.sheetsCost;
            if (totals.sheetsCostAtLeast) total["sheets_cost_at_least"] = *totals.sheetsCostAtLeast;
            if (credit) total["remnant_returned"] = {{"id", credit->id}, {"value", credit->value}};
            total["cost"] = *totals.cost;
        }
        solution["job_sheet"] = {{"sheets", groups}, {"total", total}};
    }
    const Json document = {
        {"name", run.name},
        {"input_files", run.inputFiles},
        {"instance",
         {{"name", run.name}, {"strip_height", run.sheetWidth}, {"items", instanceItems}}},
        {"solution", solution}};
    return document.dump(2) + "\n";
}

}  // namespace blocknest
