#include "job/part_shapes.hpp"

#include <cmath>

#include "geometry/orientation.hpp"

namespace blocknest {

InputSettings inputSettingsOf(const JobDescription& job) {
    InputSettings settings;
    settings.sheet = job.sheet;
    settings.defaultCopies = job.copies;
    settings.rotationCount = job.rotations;
    settings.dxf.tolerance = job.tolerance;
    settings.dxf.join = job.join;
    settings.dxf.layers = job.layers;
    settings.dxf.skipLayers = job.skipLayers;
    settings.dxf.keepFrames = job.keepFrames;
    settings.dxf.targetUnits = job.units;
    settings.dxf.assumedUnits = job.assumeUnits;
    return settings;
}
namespace {

// The name the job's messages and outputs use for parts given as polygons.
constexpr const char* kShapesSource = "the parts given as polygons";

std::vector<Vertex> cornersOf(const std::vector<std::pair<double, double>>& points) {
    std::vector<Vertex> corners;
    corners.reserve(points.size());
    for (const auto& [x, y] : points) corners.push_back({x, y});
    return corners;
}

std::string problemWith(const std::vector<std::pair<double, double>>& points) {
    if (points.size() < 3)
        return "it needs at least 3 corners, not " + std::to_string(points.size());
    for (const auto& [x, y] : points) {
        if (!std::isfinite(x) || !std::isfinite(y)) return "a coordinate is not a finite number";
    }
    return {};
}

}  // namespace

std::variant<JobInput, std::string> shapesInput(const std::vector<PartShape>& shapes,
                                                int rotationCount, const ReadLimits& limits) {
    JobInput input;
    input.format = InputFormat::dxf;  // like a drawing, it gives no sheet
    input.source = kShapesSource;
    std::int64_t parts = 0;
    std::int64_t vertices = 0;
    for (std::size_t k = 0; k < shapes.size(); ++k) {
        const PartShape& shape = shapes[k];
        const std::string name = shape.name.empty() ? "part" + std::to_string(k + 1) : shape.name;
        const std::string place = "part " + std::to_string(k + 1) + " (\"" + name + "\"): ";
        if (std::string why = problemWith(shape.outer); !why.empty()) {
            return place + "the outer contour: " + why;
        }
        for (std::size_t h = 0; h < shape.holes.size(); ++h) {
            if (std::string why = problemWith(shape.holes[h]); !why.empty()) {
                return place + "hole " + std::to_string(h + 1) + ": " + why;
            }
        }
        if (shape.copies < 1) {
            return place + "the copies must be at least 1, not " + std::to_string(shape.copies);
        }
        for (const double degrees : shape.turns) {
            if (!std::isfinite(degrees)) return place + "a turn is not a finite number";
        }
        Loop outer;
        outer.setVertices(cornersOf(shape.outer));
        LoopList holes;
        for (const auto& points : shape.holes) {
            Loop hole;
            hole.setVertices(cornersOf(points));
            holes.pushBack(std::move(hole));
        }
        Part part;
        part.setShape(name, holes, outer);
        std::vector<Orientation> turns;
        if (!shape.turns.empty()) turns = turnsFromDegrees(shape.turns);
        if (shape.mirror) turns = withMirrored(turns.empty() ? evenTurns(rotationCount) : turns);
        part.setOrientations(turns);
        part.setItemIndex(static_cast<int>(input.items.size()));
        const std::int64_t corners = part.totalVertexCount();
        if (shape.copies > limits.maxParts - parts ||
            shape.copies > (limits.maxStoredVertices - vertices) / corners) {
            return place + "the copies take the job past " + std::to_string(limits.maxParts) +
                   " parts or " + std::to_string(limits.maxStoredVertices) +
                   " vertices in all, more than fit in memory";
        }
        parts += shape.copies;
        vertices += shape.copies * corners;
        for (std::int64_t i = 0; i < shape.copies; ++i) input.parts.pushBack(part);
        InputItem item;
        item.file = kShapesSource;
        item.sourceId = static_cast<std::int64_t>(k);
        item.name = part.name();
        item.copies = shape.copies;
        item.outer = cornersOf(shape.outer);
        for (const auto& points : shape.holes) item.holes.push_back(cornersOf(points));
        item.orientations = turns;
        input.items.push_back(std::move(item));
    }
    return input;
}

}  // namespace blocknest
