#pragma once  // fuzz/exercise_dxf.hpp: one drawing through the DXF reader and the whole program
#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>

#include "fuzz/exercise.hpp"
#include "input/dxf_part_reader.hpp"

namespace blocknest::fuzzing {

// A message line of the reader: it names the drawing and is one line.
inline std::optional<std::string> checkDrawingMessage(const std::string& line,
                                                      const std::string& source) {
    if (line.rfind(source, 0) != 0)
        return "a message does not name the drawing: " + line.substr(0, 80);
    if (line.find('\n') != std::string::npos) return "a message spans lines: " + line.substr(0, 80);
    if (line.size() > 4096) return "a message of " + std::to_string(line.size()) + " characters";
    return std::nullopt;
}

// What every part read from a drawing must be: finite corners, an outline of area that does
// not cross itself, holes of three corners or more.
inline std::optional<std::string> checkDrawingParts(const PartList& parts) {
    for (const Part& part : parts) {
        const Loop& outer = part.outerLoop();
        if (outer.vertexCount() < 3) return "an outline of fewer than 3 corners";
        if (!(outer.area() > 0)) return "an outline without area";
        for (const Vertex& v : outer.vertices())
            if (!std::isfinite(v.x) || !std::isfinite(v.y)) return "a corner that is not finite";
        if (loopCrossesItself(outer)) return "an outline that crosses itself";
        for (const Loop& hole : part.innerLoops()) {
            if (hole.vertexCount() < 3) return "a hole of fewer than 3 corners";
            for (const Vertex& v : hole.vertices())
                if (!std::isfinite(v.x) || !std::isfinite(v.y)) return "a hole corner not finite";
        }
    }
    return std::nullopt;
}

// Reads the text as a drawing with small bounds, checks the messages and the parts, then
// packs a small job of them on a sheet that fits them, as the part data file is.
inline std::optional<std::string> exerciseDxf(std::string_view text) {
    const std::string source = "fuzz.dxf";
    DxfReadLimits limits;
    limits.maxLineLength = 1 << 16;
    limits.maxEntities = 20000;
    limits.maxStoredVertices = 200000;
    limits.maxArcSegments = 1 << 12;
    std::istringstream in{std::string(text)};
    std::variant<DxfPartsContents, InputError> read = readDxfPartData(in, source, {}, limits);
    if (const auto* error = std::get_if<InputError>(&read))
        return checkDrawingMessage(error->detail, source);
    DxfPartsContents& contents = std::get<DxfPartsContents>(read);
    if (contents.warnings.size() > 201) return "more than 201 warning lines";
    for (const std::string& w : contents.warnings)
        if (auto fault = checkDrawingMessage(w, source)) return fault;
    if (auto fault = checkDrawingParts(contents.parts)) return fault;
    if (contents.parts.empty() || contents.parts.count() > 40) return std::nullopt;
    double width = 0, length = 0;
    for (const Part& part : contents.parts) {
        const BoundingBox& b = part.bounds();
        const double side = std::max(b.maxX - b.minX, b.maxY - b.minY);
        width = std::max(width, side);
        length += side;
    }
    if (!std::isfinite(length) || !(width > 0)) return std::nullopt;
    PartFileContents job;
    job.sheetWidth = width * 1.2;
    job.sheetLength = length * 2;
    job.parts = std::move(contents.parts);
    return exercisePrepareAndPack(std::move(job), source);
}

}  // namespace blocknest::fuzzing
