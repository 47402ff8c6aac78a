#pragma once  // job/part_shapes.hpp: parts given as polygons, as one more input of the job
#include <string>
#include <variant>
#include <vector>

#include "input/job_input.hpp"
#include "job/job.hpp"

namespace blocknest {

// How the job's files are read: the sheet, copies, turns and the drawings' settings it gives.
[[nodiscard]] InputSettings inputSettingsOf(const JobDescription& job);

// The parts as an input that gives no sheet, one item per shape with its copies, turns and
// mirroring (the job's rotationCount turns where a shape names none); or why a shape cannot
// be one: "part 2 (\"plate\"): ...", naming the first fault.
[[nodiscard]] std::variant<JobInput, std::string> shapesInput(const std::vector<PartShape>& shapes,
                                                              int rotationCount,
                                                              const ReadLimits& limits);

}  // namespace blocknest
