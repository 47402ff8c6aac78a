#pragma once  // fuzz/exercise.hpp: one input through the whole program, in memory
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>

#include "base/console.hpp"
#include "base/fatal_error.hpp"
#include "fuzz/output_checks.hpp"
#include "input/job_preparation.hpp"
#include "output/dxf_writer.hpp"
#include "output/report_writer.hpp"
#include "output/statistics.hpp"
#include "output/svg_writer.hpp"
#include "packing/packer.hpp"

namespace blocknest::fuzzing {

// The limits the fuzz targets prepare jobs with: small enough for many runs a second.
inline PrepareLimits fuzzPrepareLimits() {
    PrepareLimits limits;
    limits.read.maxParts = 2000;
    limits.read.maxStoredVertices = 200000;
    limits.read.maxLineLength = 1 << 20;
    limits.maxSheetCells = 1 << 22;
    return limits;
}

// Packs a prepared job and checks its figures, drawing and picture; more checks the outputs
// of a reader's own (its placement list, say) may add, given the figures. Everything must end
// here without a crash; the one exception allowed is the FatalError with which the program
// ends a run cleanly. Returns what is wrong with an output.
inline std::optional<std::string> packAndCheck(
    PreparedJob& job,
    const std::function<std::optional<std::string>(const PackingStatistics&)>& moreChecks) {
    SilentConsole console;
    std::string timing;
    try {
        timing = packAllParts(job.parts, job.sheet, 2, console, false);
    } catch (const FatalError&) {
        return std::nullopt;  // the run ends with its message and exit code 1: a clean ending
    }
    const PackingStatistics stats = computeStatistics(job.parts, job.sheet.length, job.sheet.width);
    const std::string report = formatReport(stats, timing);
    const std::string dxf =
        formatLayoutDxf(job.parts, job.sheet.length, job.sheet.width, stats.packedLength);
    const bool simple = outlinesAreSimple(job.parts, job.sheet.length, job.sheet.width);
    if (auto fault = checkFigures(stats, report, simple)) return fault;
    if (auto fault = checkDxf(dxf)) return fault;
    if (auto fault = moreChecks(stats)) return fault;
    // A picture that cannot be drawn is left out, and said so.
    const std::optional<std::string> svg =
        formatLayoutSvg(job.parts, job.sheet.length, job.sheet.width, stats);
    if (svg) return checkSvg(*svg);
    return std::nullopt;
}

// Prepares what a reader made; a job small enough is packed and its outputs formatted and
// checked too. Everything must end here without a crash; the one exception allowed is the
// FatalError with which the program ends a run cleanly. Returns what is wrong with an output.
inline std::optional<std::string> exercisePrepareAndPack(PartFileContents contents,
                                                         const std::string& source) {
    std::variant<PreparedJob, InputError> prepared =
        prepareJob(std::move(contents), source, fuzzPrepareLimits());
    if (std::holds_alternative<InputError>(prepared)) return std::nullopt;
    PreparedJob& job = std::get<PreparedJob>(prepared);
    if (job.partCount > 40 ||
        static_cast<long long>(job.sheet.bitmap.rows()) * job.sheet.bitmap.cols() > (1 << 18)) {
        return std::nullopt;
    }
    return packAndCheck(job, [](const PackingStatistics&) { return std::nullopt; });
}

// Reads and prepares the text as a part data file, then packs it as above.
inline std::optional<std::string> exerciseReadAndPrepare(std::string_view text) {
    const PrepareLimits limits = fuzzPrepareLimits();
    std::istringstream in{std::string(text)};
    std::variant<PartFileContents, InputError> contents = readPartData(in, "fuzz", limits.read);
    if (std::holds_alternative<InputError>(contents)) return std::nullopt;
    return exercisePrepareAndPack(std::move(std::get<PartFileContents>(contents)), "fuzz");
}

}  // namespace blocknest::fuzzing
