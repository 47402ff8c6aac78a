#include "app/packing_job.hpp"

#include <variant>

#include "input/job_preparation.hpp"
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

void PackingJob::packAllParts(Console& console, bool showProgress) {
    timingText_ = blocknest::packAllParts(parts_, sheet_, rotationCount_, console, showProgress);
}

}  // namespace blocknest
