#pragma once  // fuzz/exercise_json.hpp: one JSON instance through the whole program, in memory
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>

#include "base/console.hpp"
#include "base/fatal_error.hpp"
#include "fuzz/exercise.hpp"
#include "fuzz/output_checks.hpp"
#include "input/job_loader.hpp"
#include "input/json_instance_reader.hpp"
#include "output/dxf_writer.hpp"
#include "output/json_writer.hpp"
#include "output/report_writer.hpp"
#include "output/statistics.hpp"
#include "output/svg_writer.hpp"
#include "packing/packer.hpp"

namespace blocknest::fuzzing {

// A line for the user: it names the input, is one line, and holds no control character.
inline std::optional<std::string> checkMessage(const std::string& line, std::string_view kind) {
    if (line.rfind("fuzz", 0) != 0 && line.rfind("blocknest: ", 0) != 0) {
        return std::string(kind) + " names no file: " + line.substr(0, 80);
    }
    if (line.size() > 1000) return std::string(kind) + " is longer than 1000 bytes";
    for (const char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return std::string(kind) + " holds a control character";
    }
    return std::nullopt;
}

// The library writes a number that is not finite as null, which the placement list never
// holds otherwise.
inline bool holdsNull(const nlohmann::json& value) {
    if (value.is_null()) return true;
    if (!value.is_structured()) return false;
    for (const nlohmann::json& member : value) {
        if (holdsNull(member)) return true;
    }
    return false;
}

// Reads the text as a JSON instance and takes it as the command line would (its own strip
// height, else a sheet of 100 x 50), with bounds small enough for many runs a second; a job
// small enough is packed, and its outputs, the placement list among them, are formatted and
// checked. Every failure and warning must be one line that names the file. Returns what is
// wrong.
inline std::optional<std::string> exerciseJsonInstance(std::string_view text) {
    InputSettings settings;
    settings.limits.read.maxParts = 2000;
    settings.limits.read.maxStoredVertices = 200000;
    settings.limits.maxSheetCells = 1 << 22;
    std::istringstream in{std::string(text)};
    std::variant<JobInput, InputError> read = readJsonInstance(in, "fuzz", settings.limits.read);
    if (const auto* error = std::get_if<InputError>(&read)) {
        return checkMessage(error->detail, "the error");
    }
    for (const std::string& warning : std::get<JobInput>(read).warnings) {
        if (auto fault = checkMessage(warning, "a warning")) return fault;
    }
    if (!std::get<JobInput>(read).sheetWidth) settings.sheet = SheetSize{100, 50};
    std::vector<JobInput> inputs;
    inputs.push_back(std::move(std::get<JobInput>(read)));
    std::variant<MergedInput, InputError> mergedOrError = mergeInputs(std::move(inputs), settings);
    if (const auto* error = std::get_if<InputError>(&mergedOrError)) {
        return checkMessage(error->detail, "the error");
    }
    MergedInput& merged = std::get<MergedInput>(mergedOrError);
    if (merged.contents.parts.count() > 40) return std::nullopt;
    if (!merged.lengthGiven && !merged.contents.parts.empty() &&
        std::isfinite(merged.contents.sheetWidth) && merged.contents.sheetWidth > 0) {
        merged.contents.sheetLength =
            sheetLengthBound(merged.contents.parts, merged.contents.sheetWidth);
    }
    std::variant<PreparedJob, InputError> prepared =
        prepareJob(std::move(merged.contents), "fuzz", settings.limits);
    if (const auto* error = std::get_if<InputError>(&prepared)) {
        return checkMessage(error->detail, "the error");
    }
    PreparedJob& job = std::get<PreparedJob>(prepared);
    if (static_cast<long long>(job.sheet.bitmap.rows()) * job.sheet.bitmap.cols() > (1 << 18)) {
        return std::nullopt;
    }
    return packAndCheck(job, [&](const PackingStatistics& stats) -> std::optional<std::string> {
        PlacementRun run;
        run.name = "fuzz";
        run.inputFiles = {"fuzz"};
        run.sheetLength = job.sheet.length;
        run.sheetWidth = job.sheet.width;
        const std::string placements = formatPlacementJson(job.parts, merged.items, stats, run);
        const nlohmann::json list = nlohmann::json::parse(placements, nullptr, false);
        if (list.is_discarded()) return "the placement list is not JSON";
        if (holdsNull(list)) return "the placement list holds a number that is not finite";
        return std::nullopt;
    });
}

}  // namespace blocknest::fuzzing
