#pragma once  // input/json_instance_reader.hpp: strip-packing instances in JSON
#include <istream>
#include <string>
#include <variant>

#include "input/job_input.hpp"

namespace blocknest {

// Reads a JSON instance: "name", "strip_height" (the sheet width), "items" with "id",
// "demand", "allowed_orientations" (degrees) and "shape" ("simple_polygon", "polygon",
// "multi_polygon" whose members become parts of their own, "rectangle"). Each item's copies
// go to the front of the part list, as the part data file's blocks do; parts are named
// "<name>_<id>" ("<name>_<id>_<member>" for multi-polygon members). sourceName labels the
// messages, which name the place in the file as a JSON path.
[[nodiscard]] std::variant<JobInput, InputError> readJsonInstance(std::istream& in,
                                                                  const std::string& sourceName,
                                                                  const ReadLimits& limits = {});

// The same for the file at path.
[[nodiscard]] std::variant<JobInput, InputError> readJsonInstanceFile(
    const std::string& path, const ReadLimits& limits = {});

// The turns for a set of angles in degrees: exactly evenTurns(N) when the set is that of
// `-r N`, otherwise each angle as index / steps of a full turn, ascending and without
// repeats. Nothing when an angle is not a finite number or no fraction of a turn with at most
// 3600 steps gives it exactly.
[[nodiscard]] std::optional<std::vector<Orientation>> orientationsForAngles(
    const std::vector<double>& degrees);

}  // namespace blocknest
