#include "serve/job_request.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>

#include "input/job_input.hpp"
#include "input/job_list_reader.hpp"
#include "job/part_rows.hpp"
#include "serve/server.hpp"

namespace blocknest {
namespace {

using Json = nlohmann::json;

double numberOr(const Json& settings, const char* key, double fallback) {
    const auto it = settings.find(key);
    return it != settings.end() && it->is_number() ? it->get<double>() : fallback;
}

std::vector<std::string> stringsOf(const Json& settings, const char* key) {
    std::vector<std::string> out;
    const auto it = settings.find(key);
    if (it == settings.end() || !it->is_array()) return out;
    for (const Json& value : *it) {
        if (value.is_string()) out.push_back(value.get<std::string>());
    }
    return out;
}

// A true or false setting into flag when given; false when it is something else.
bool flagOf(const Json& settings, const char* key, bool& flag) {
    const auto it = settings.find(key);
    if (it == settings.end()) return true;
    if (!it->is_boolean()) return false;
    flag = it->get<bool>();
    return true;
}

bool sameTurns(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::abs(a[i] - b[i]) > 1e-9) return false;
    }
    return true;
}

// The stock table as the stock reader's CSV, in the input folder; drawings by their names.
std::optional<std::string> writeStock(const Json& table, const JobUploads& uploads,
                                      const std::filesystem::path& inputs, JobDescription& job) {
    std::string csv = "length,width,count,cost,file\n";
    int rows = 0;
    for (const Json& row : table) {
        if (!row.is_object()) return "a stock row is not an object";
        const double number = numberOr(row, "count", 1);
        const double cost = numberOr(row, "cost", 0);
        if (!(number >= 1 && number <= 100000) || !(cost >= 0) || !std::isfinite(cost)) {
            return "a stock row's count or cost is out of range";
        }
        const auto count = static_cast<long long>(number);
        const std::string costText = cost > 0 ? std::to_string(cost) : "";
        if (row.contains("file") && row["file"].is_string() &&
            !row["file"].get<std::string>().empty()) {
            const std::string name = safeName(row["file"].get<std::string>());
            if (std::find(uploads.stockFiles.begin(), uploads.stockFiles.end(), name) ==
                uploads.stockFiles.end()) {
                return "the stock names the drawing \"" + name + "\", which was not uploaded";
            }
            csv += ",," + std::to_string(count) + "," + costText + "," + name + "\n";
        } else {
            const double length = numberOr(row, "length", 0);
            const double width = numberOr(row, "width", 0);
            if (!(length > 0 && width > 0 && length < 1e9 && width < 1e9)) {
                return "a stock row needs a length and a width above 0, or a drawing";
            }
            csv += std::to_string(length) + "," + std::to_string(width) + "," +
                   std::to_string(count) + "," + costText + ",\n";
        }
        if (++rows > 100) return "the stock table has more than 100 rows";
    }
    if (rows == 0) return std::nullopt;
    const std::filesystem::path path = inputs / "stock-table.csv";
    std::ofstream(path, std::ios::binary) << csv;
    job.stockFile = path.string();
    return std::nullopt;
}

}  // namespace

std::string safeName(const std::string& sent) {
    std::string base = sent.substr(sent.find_last_of("/\\") + 1);
    std::string name;
    for (const char c : base) {
        const bool plain =
            std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
        name += plain ? c : '_';
    }
    if (name.empty() || name.find_first_not_of('.') == std::string::npos) name = "file";
    return name.substr(0, 100);
}

std::optional<std::string> describeReading(const Json& settings, JobDescription& job) {
    if (const auto it = settings.find("units"); it != settings.end() && it->is_number_integer()) {
        const int code = it->get<int>();
        if (code < 0 || code > 20) return "the drawings' units are not a known code";
        if (code > 0) job.assumeUnits = code;
    }
    job.skipLayers = stringsOf(settings, "skip_layers");
    if (job.skipLayers.size() > 1000) return "too many layers to leave out";
    const double rotations = numberOr(settings, "rotations", 2);
    if (!(rotations >= 1 && rotations <= JobDescription::kMaxRotations)) {
        return "the turns are out of range (1 to 360)";
    }
    job.rotations = static_cast<int>(rotations);
    return std::nullopt;
}

std::optional<std::string> listsReachOutside(const std::vector<std::string>& names,
                                             const std::filesystem::path& folder) {
    const std::filesystem::path inside = folder.lexically_normal();
    for (const std::string& name : names) {
        const std::string path = (folder / name).string();
        if (detectInputFormat(path) != InputFormat::jobList) continue;
        const auto rows = readJobListFile(path);
        if (!std::holds_alternative<std::vector<JobListRow>>(rows)) continue;  // the run says why
        for (const JobListRow& row : std::get<std::vector<JobListRow>>(rows)) {
            const std::filesystem::path named = std::filesystem::path(row.path).lexically_normal();
            if (named.parent_path() == inside) continue;
            return name + ":" + std::to_string(row.line) + ": \"" + named.filename().string() +
                   "\" lies outside the files sent with the list; send it with the list and name "
                   "it by its name alone";
        }
    }
    return std::nullopt;
}

std::optional<std::string> describeJob(const Json& settings, const JobUploads& uploads,
                                       const std::filesystem::path& inputs,
                                       const std::filesystem::path& outputs,
                                       const ServeOptions& options, JobDescription& job) {
    if (std::optional<std::string> why = describeReading(settings, job)) return why;
    const double length = numberOr(settings, "length", 0);
    const double width = numberOr(settings, "width", 0);
    if (length > 0 && width > 0) {
        if (!(length < 1e9 && width < 1e9)) return "the sheet is too large";
        job.sheet = SheetSize{length, width};
    }
    const double sheets = numberOr(settings, "sheets", 1);
    if (!(sheets >= 0 && sheets <= 1000)) return "the sheets are out of range (0 to 1000)";
    job.sheets = static_cast<int>(sheets);
    job.spacing = numberOr(settings, "spacing", 0);
    job.margin = numberOr(settings, "margin", 0);
    if (!(job.spacing >= 0) || !(job.margin >= 0) || !(job.spacing < 1e6) || !(job.margin < 1e6)) {
        return "the settings are out of range";
    }
    if (!flagOf(settings, "mirror", job.mirror)) return "mirror is neither true nor false";
    const double seconds = numberOr(settings, "seconds", 0);
    if (seconds > options.maxSeconds) {
        return "a job may search at most " + std::to_string(static_cast<int>(options.maxSeconds)) +
               " seconds";
    }
    if (seconds > 0) job.timeLimit = seconds;
    if (const auto it = settings.find("evaluations"); it != settings.end() && it->is_number()) {
        const double evaluations = it->get<double>();
        if (!(evaluations >= 1 && evaluations <= 1e10)) {
            return "the evaluations are out of range (1 to 10000000000)";
        }
        job.evaluations = static_cast<std::int64_t>(evaluations);
    }
    job.threads = options.threadsPerJob;
    if (uploads.sheet) job.sheetDxf = (inputs / *uploads.sheet).string();
    if (const auto it = settings.find("stock"); it != settings.end() && it->is_array()) {
        if (std::optional<std::string> why = writeStock(*it, uploads, inputs, job)) return why;
    }
    if (job.sheetDxf && job.stockFile) return "a job takes a drawn sheet or a stock, not both";

    // The part rows: a drawing whose rows all ask one quantity and keep their turns is read
    // as FILE:N; any other changed file is packed from its parts' outlines as read.
    const Json rows = settings.value("rows", Json::object());
    if (!rows.is_object()) return "the part rows are not an object";
    // A file that a job list sent with it names is packed as the list asks, not again.
    std::vector<std::filesystem::path> listed;
    for (const std::string& name : uploads.parts) {
        for (const std::string& path : listedFiles((inputs / name).string()))
            listed.push_back(std::filesystem::path(path).lexically_normal());
    }
    std::int64_t total = 0;
    for (const std::string& name : uploads.parts) {
        const std::string path = (inputs / name).string();
        if (std::find(listed.begin(), listed.end(), (inputs / name).lexically_normal()) !=
            listed.end()) {
            continue;
        }
        const auto it = rows.find(name);
        if (it == rows.end()) {
            job.files.push_back({path, std::nullopt});
            continue;
        }
        if (!it->is_array()) return "the rows of \"" + name + "\" are not a list";
        JobDescription reading = job;
        reading.files = {{path, std::nullopt}};
        const std::vector<FileRows> read = describeParts(reading);
        if (read.front().error) {
            job.files.push_back({path, std::nullopt});  // the run says what is wrong with it
            continue;
        }
        if (read.front().parts.size() != it->size()) {
            return "\"" + name + "\" holds " + std::to_string(read.front().parts.size()) +
                   " parts, its rows " + std::to_string(it->size());
        }
        const std::vector<PartRow>& parts = read.front().parts;
        std::vector<PartShape> shapes;
        bool changed = false;
        std::optional<std::int64_t> common;
        bool oneCount = true;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const Json& row = (*it)[i];
            if (!row.is_object()) return "a part row of \"" + name + "\" is not an object";
            const double copies = numberOr(row, "copies", static_cast<double>(parts[i].copies));
            if (!(copies >= 0 && copies <= options.maxParts)) {
                return "a part's quantity is out of range (0 to " +
                       std::to_string(options.maxParts) + ")";
            }
            PartShape shape{parts[i].name,  parts[i].outer,
                            parts[i].holes, static_cast<std::int64_t>(copies),
                            parts[i].turns, parts[i].mirror};
            if (const auto turns = row.find("turns"); turns != row.end() && turns->is_array()) {
                shape.turns.clear();
                for (const Json& t : *turns) {
                    if (!t.is_number() || !std::isfinite(t.get<double>())) {
                        return "a part's turns are not numbers of degrees";
                    }
                    shape.turns.push_back(t.get<double>());
                }
                if (shape.turns.size() > 360) return "a part has more than 360 turns";
            }
            shape.mirror = parts[i].mirror;
            if (!flagOf(row, "mirror", shape.mirror))
                return "a part's mirror is neither true nor false";
            const bool turnsKept =
                sameTurns(shape.turns, parts[i].turns) && shape.mirror == parts[i].mirror;
            changed = changed || !turnsKept || shape.copies != parts[i].copies;
            oneCount = oneCount && turnsKept && (!common || *common == shape.copies);
            common = shape.copies;
            total += shape.copies;
            if (shape.copies > 0) shapes.push_back(std::move(shape));
        }
        const bool drawing = read.front().format == "DXF drawing";
        if (!changed) {
            job.files.push_back({path, std::nullopt});
        } else if (drawing && oneCount && common && *common > 0) {
            job.files.push_back({path, *common});
        } else {
            // The outlines give no sheet: the one the file gave stays, unless one is set.
            if (!job.sheet && read.front().sheetLength > 0 && read.front().sheetWidth > 0) {
                job.sheet = SheetSize{read.front().sheetLength, read.front().sheetWidth};
            }
            for (PartShape& shape : shapes) job.parts.push_back(std::move(shape));
        }
    }
    if (total > options.maxParts) {
        return "a job takes at most " + std::to_string(options.maxParts) + " parts";
    }
    if (job.files.empty() && job.parts.empty()) return "the job has no part to pack";
    job.quiet = true;
    job.outputDir = outputs.string();
    job.svgFile = (outputs / "layout.svg").string();
    job.jsonFile = (outputs / "placements.json").string();
    job.camFile = (outputs / "cut.dxf").string();
    job.remnantDxf = (outputs / "remnant.dxf").string();
    return std::nullopt;
}

}  // namespace blocknest
