#pragma once  // job/output_plan.hpp: the files a run reads and writes, named before it starts
#include <optional>
#include <string>
#include <vector>

#include "job/job.hpp"
#include "output/path_clash.hpp"

namespace blocknest {

// Every file the run reads: the files given (and those their job lists name), the sheet drawing,
// the stock list and the drawings it names (stockDrawings, as the stock reader found them).
[[nodiscard]] std::vector<InputPath> plannedInputs(const JobDescription& options,
                                                   const std::vector<InputFile>& files,
                                                   const std::vector<std::string>& stockDrawings);

// Every file the run may write or remove: the drawing and the report in the output folder, and
// each extra output asked for (the drawings for cutting of every sheet there may be).
[[nodiscard]] std::vector<OutputPath> plannedOutputs(const JobDescription& options);

// Why the run may not start: an output that would replace an input or another output, as one
// line naming both; nothing when every output has a file of its own.
[[nodiscard]] std::optional<std::string> findOutputClash(
    const JobDescription& options, const std::vector<InputFile>& files,
    const std::vector<std::string>& stockDrawings);

}  // namespace blocknest
