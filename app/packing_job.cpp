#include "app/packing_job.hpp"

#include <variant>

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
    readWarnings_ = std::move(job.warnings);
    readWarningCount_ = job.warningCount;
    return std::nullopt;
}

void PackingJob::packAllParts(Console& console, bool showProgress) {
    timingText_ = blocknest::packAllParts(parts_, sheet_, rotationCount_, console, showProgress);
}

void PackingJob::computeStatistics() {
    statistics_ = blocknest::computeStatistics(parts_, sheet_.length, sheet_.width);
}

std::optional<std::string> PackingJob::writeLayoutDxf(const std::filesystem::path& directory,
                                                      OutputSet& outputs) const {
    return outputs.stage(
        directory / kLayoutFileName,
        formatLayoutDxf(parts_, sheet_.length, sheet_.width, statistics_.packedLength));
}

std::optional<std::string> PackingJob::writeReport(const std::filesystem::path& directory,
                                                   OutputSet& outputs) const {
    return outputs.stage(directory / kReportFileName, formatReport(statistics_, timingText_));
}

}  // namespace blocknest
