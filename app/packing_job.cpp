#include "app/packing_job.hpp"

#include <chrono>
#include <variant>

#include "input/job_loader.hpp"
#include "input/job_preparation.hpp"
#include "output/atomic_file.hpp"
#include "output/dxf_writer.hpp"
#include "output/report_writer.hpp"
#include "packing/packer.hpp"

namespace blocknest {

std::optional<InputError> PackingJob::loadAndPrepare(const std::string& path) {
    std::variant<PreparedJob, InputError> prepared = blocknest::loadAndPrepare(path);
    if (auto* error = std::get_if<InputError>(&prepared)) return std::move(*error);
    PreparedJob& job = std::get<PreparedJob>(prepared);
    parts_ = std::move(job.parts);
    partCount_ = job.partCount;
    sheet_ = std::move(job.sheet);
    return std::nullopt;
}

std::optional<InputError> PackingJob::loadAndPrepare(const std::vector<InputFile>& files,
                                                     const InputSettings& settings) {
    std::variant<LoadedJob, InputError> loaded = loadJob(files, settings);
    if (auto* error = std::get_if<InputError>(&loaded)) return std::move(*error);
    LoadedJob& job = std::get<LoadedJob>(loaded);
    parts_ = std::move(job.prepared.parts);
    partCount_ = job.prepared.partCount;
    sheet_ = std::move(job.prepared.sheet);
    items_ = std::move(job.items);
    inputNotes_ = std::move(job.notes);
    insUnits_ = job.insUnits;
    return std::nullopt;
}

void PackingJob::packAllParts(Console& console, bool showProgress) {
    const auto start = std::chrono::steady_clock::now();
    timingText_ = blocknest::packAllParts(parts_, sheet_, rotationCount_, console, showProgress);
    packingSeconds_ =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void PackingJob::computeStatistics() {
    statistics_ = blocknest::computeStatistics(parts_, sheet_.length, sheet_.width);
}

std::optional<std::string> PackingJob::writeLayoutDxf(
    const std::filesystem::path& directory) const {
    return replaceFile(
        directory / kLayoutFileName,
        formatLayoutDxf(parts_, sheet_.length, sheet_.width, statistics_.packedLength));
}

std::optional<std::string> PackingJob::writeReport(const std::filesystem::path& directory) const {
    return replaceFile(directory / kReportFileName, formatReport(statistics_, timingText_));
}

}  // namespace blocknest

namespace blocknest {

std::optional<std::string> PackingJob::writePlacementJson(const std::filesystem::path& file,
                                                          PlacementRun run) const {
    run.sheetLength = sheet_.length;
    run.sheetWidth = sheet_.width;
    run.rotationCount = rotationCount_;
    run.runSeconds = packingSeconds_;
    return replaceFile(file, formatPlacementJson(parts_, items_, statistics_, run));
}

}  // namespace blocknest
