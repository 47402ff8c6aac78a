#include "job/part_rows.hpp"

#include <algorithm>
#include <cmath>
#include <exception>
#include <fstream>
#include <limits>
#include <variant>

#include "input/dxf_drawing.hpp"
#include "input/job_list_reader.hpp"
#include "input/job_loader.hpp"
#include "job/part_shapes.hpp"

namespace blocknest {
namespace {

using Corners = std::vector<std::pair<double, double>>;

Corners cornersOf(const std::vector<Vertex>& loop) {
    Corners corners;
    corners.reserve(loop.size());
    for (const Vertex& v : loop) corners.emplace_back(v.x, v.y);
    return corners;
}

double signedArea(const std::vector<Vertex>& loop) {
    double twice = 0;
    for (std::size_t i = 0; i < loop.size(); ++i) {
        const Vertex& a = loop[i];
        const Vertex& b = loop[(i + 1) % loop.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return twice / 2;
}

PartRow rowOf(const InputItem& item) {
    PartRow row;
    row.name = item.name;
    row.copies = item.copies;
    double minX = std::numeric_limits<double>::max();
    double minY = minX;
    double maxX = std::numeric_limits<double>::lowest();
    double maxY = maxX;
    for (const Vertex& v : item.outer) {
        minX = std::min(minX, v.x);
        maxX = std::max(maxX, v.x);
        minY = std::min(minY, v.y);
        maxY = std::max(maxY, v.y);
    }
    if (!item.outer.empty()) {
        row.width = maxX - minX;
        row.height = maxY - minY;
    }
    row.netArea = std::abs(signedArea(item.outer));
    for (const std::vector<Vertex>& hole : item.holes) row.netArea -= std::abs(signedArea(hole));
    for (const Orientation& turn : item.orientations) {
        if (turn.mirrored) {
            row.mirror = true;
        } else {
            row.turns.push_back(turn.degrees());
        }
    }
    row.outer = cornersOf(item.outer);
    for (const std::vector<Vertex>& hole : item.holes) row.holes.push_back(cornersOf(hole));
    return row;
}

// The drawing's layers with the entities on each, model space and blocks alike.
void listLayers(const std::string& path, const DxfReadSettings& settings, FileRows& rows) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    DxfPairReader reader(in, path, DxfReadLimits{}.maxLineLength);
    const DxfDrawing drawing =
        readDxfDrawing(reader, DxfReadLimits{}.maxEntities, DxfReadLimits{}.maxEntities);
    rows.insUnits = drawing.insUnits;
    const auto count = [&](const RawEntity& entity) {
        const std::string layer = entity.text(8, "0");
        auto it = std::find_if(rows.layers.begin(), rows.layers.end(),
                               [&](const DrawingLayer& l) { return l.name == layer; });
        if (it == rows.layers.end()) {
            rows.layers.push_back({layer, 0, readsLayer(settings, layer)});
            it = rows.layers.end() - 1;
        }
        ++it->entities;
    };
    for (const RawEntity& entity : drawing.entities) count(entity);
    for (const auto& [name, block] : drawing.blocks) {
        for (const RawEntity& entity : block.entities) count(entity);
    }
}

}  // namespace

std::vector<FileRows> describeParts(const JobDescription& job) {
    InputSettings settings = inputSettingsOf(job);
    std::vector<FileRows> all;
    for (const InputFile& file : job.files) {
        FileRows rows;
        rows.path = file.path;
        try {
            const InputFormat format = detectInputFormat(file.path);
            rows.format = formatName(format);
            std::variant<JobInput, InputError> read = InputError{};
            if (format == InputFormat::jobList) {
                // The parts of the files it names, as many as its rows ask.
                rows.listed = listedFiles(file.path);
                std::variant<std::vector<JobInput>, InputError> listed =
                    readJobListInputs(file.path, settings);
                if (auto* failure = std::get_if<InputError>(&listed)) {
                    read = std::move(*failure);
                } else {
                    JobInput all;
                    for (JobInput& input : std::get<std::vector<JobInput>>(listed)) {
                        for (InputItem& item : input.items) all.items.push_back(std::move(item));
                        for (std::string& line : input.warnings)
                            all.warnings.push_back(std::move(line));
                    }
                    read = std::move(all);
                }
            } else if (std::optional<InputError> foreign = foreignFileError(file.path, format)) {
                read = std::move(*foreign);
            } else {
                read = readInput(file, format, settings);
            }
            if (auto* failure = std::get_if<InputError>(&read)) {
                std::string why;
                for (const std::string& note : failure->notes) why += note + "\n";
                why += failure->detail.empty() ? "blocknest: " + file.path + ": cannot be read"
                                               : failure->detail;
                rows.error = why;
            } else {
                JobInput& input = std::get<JobInput>(read);
                rows.warnings = std::move(input.warnings);
                rows.sheetLength = input.sheetLength.value_or(0);
                rows.sheetWidth = input.sheetWidth.value_or(0);
                for (const InputItem& item : input.items) rows.parts.push_back(rowOf(item));
            }
            if (format == InputFormat::dxf && !rows.error) {
                try {
                    listLayers(file.path, settings.dxf, rows);
                } catch (const DxfFault& fault) {
                    // The reader read its parts; the layers' list is only a help.
                    rows.warnings.push_back("blocknest: its layers cannot be listed: " +
                                            fault.message);
                }
            }
        } catch (const std::exception& e) {
            rows.error = "blocknest: " + file.path + ": " + e.what();
        }
        all.push_back(std::move(rows));
    }
    return all;
}

std::vector<std::string> listedFiles(const std::string& path) {
    std::vector<std::string> paths;
    if (detectInputFormat(path) != InputFormat::jobList) return paths;
    std::variant<std::vector<JobListRow>, InputError> rows = readJobListFile(path);
    if (std::holds_alternative<InputError>(rows)) return paths;
    for (const JobListRow& row : std::get<std::vector<JobListRow>>(rows)) {
        if (std::find(paths.begin(), paths.end(), row.path) == paths.end())
            paths.push_back(row.path);
    }
    return paths;
}

}  // namespace blocknest
