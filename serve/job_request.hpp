#pragma once  // serve/job_request.hpp: a job of the page, from its settings and uploaded files
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "job/job.hpp"

namespace blocknest {

struct ServeOptions;

// A name the browser sent, made safe: its last path part, only letters, digits and ._-; never
// empty, never "." or "..", at most 100 characters.
[[nodiscard]] std::string safeName(const std::string& sent);

// The uploaded files of a job, by kind, each already stored in the job's input folder.
struct JobUploads {
    std::vector<std::string> parts;       // the parts' files, in the order sent
    std::optional<std::string> sheet;     // a drawn sheet or remnant
    std::vector<std::string> stockFiles;  // drawings the stock table names
};

// The job's description from the page's settings (a JSON object): the sheet or stock, the
// search, the drawings' units and layers, and the part rows the user changed (a file with a
// changed row is packed from its parts' outlines as read). Inputs in inputs, outputs in
// outputs. Says why the settings cannot make a job (a 4xx answer's reason).
[[nodiscard]] std::optional<std::string> describeJob(
    const nlohmann::json& settings, const JobUploads& uploads, const std::filesystem::path& inputs,
    const std::filesystem::path& outputs, const ServeOptions& options, JobDescription& job);

// Why the job lists among the uploaded files (by name, in folder) cannot be read here: a row
// names a file that lies outside folder, an absolute path or one that climbs out. The server
// reads only what was uploaded, and a list names the files sent with it by their names.
[[nodiscard]] std::optional<std::string> listsReachOutside(const std::vector<std::string>& names,
                                                           const std::filesystem::path& folder);

// The reading settings alone (units, layers, copies), for the part rows of uploaded files.
[[nodiscard]] std::optional<std::string> describeReading(const nlohmann::json& settings,
                                                         JobDescription& job);

}  // namespace blocknest
