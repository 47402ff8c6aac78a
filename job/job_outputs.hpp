#pragma once  // job/job_outputs.hpp: the files a finished job writes, all or none
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/console.hpp"
#include "job/job.hpp"
#include "job/packing_job.hpp"

namespace blocknest {

// Where the output files go; an output directory that is asked for is created up front.
[[nodiscard]] std::optional<std::filesystem::path> prepareOutputDir(const JobDescription& options,
                                                                    Console& console);

// The picture's folder is made as the output directory is.
[[nodiscard]] std::optional<std::string> preparePictureFolder(const JobDescription& options);

// Stages every output the description asks for and commits them together; returns the exit
// code: 0, or 1 when one could not be written (then no old one is replaced).
[[nodiscard]] int writeOutputs(const PackingJob& job, const JobDescription& options,
                               const std::filesystem::path& directory,
                               const std::vector<std::string>& stockDrawings, Console& console);

}  // namespace blocknest
