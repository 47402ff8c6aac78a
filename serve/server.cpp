#include "serve/server.hpp"

#include <httplib.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "job/job.hpp"
#include "job/part_rows.hpp"
#include "serve/job_request.hpp"
#include "serve/page.hpp"
#include "serve/zip_archive.hpp"

namespace blocknest {
namespace {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr auto kIdleLifetime = std::chrono::minutes(10);

// The error lines of a job, kept for the page.
class LinesConsole : public Console {
public:
    void write(std::string_view) override {}
    void write(Message) override {}
    void warn(Message) override {}
    void error(std::string_view line) override {
        const std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    }
    void pause() override {}
    std::vector<std::string> lines() const {
        const std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// One job of the page: its folder, its run on a thread of its own, what it reports.
struct WebJob {
    std::string id;
    std::filesystem::path folder;
    JobDescription description;
    std::atomic<bool> stop{false};
    LinesConsole console;
    std::thread worker;
    mutable std::mutex mutex;       // guards the fields below
    std::string state = "waiting";  // waiting, running, done, failed
    std::optional<SearchReport> progress;
    Clock::time_point progressAt;  // when the progress came
    Json layout;                   // the best layout so far, while the job runs
    int layoutVersion = 0;         // counts the layouts handed over
    Json result;
    std::condition_variable changed;  // a layout came, or the job ended
    Clock::time_point touched = Clock::now();

    ~WebJob() { finish(); }
    // Stops the run, waits for its thread and removes the job's folder.
    void finish() {
        stop.store(true);
        if (worker.joinable()) worker.join();
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    std::filesystem::path inputs() const { return folder / "in"; }
    std::filesystem::path outputs() const { return folder / "out"; }
};

// Lets at most a given number of jobs pack at once.
class Gate {
public:
    explicit Gate(int open) : open_(open) {}
    bool enter(const std::atomic<bool>& stop) {
        std::unique_lock lock(mutex_);
        while (open_ == 0) {
            if (stop.load()) return false;
            changed_.wait_for(lock, std::chrono::milliseconds(200));
        }
        --open_;
        return true;
    }
    void leave() {
        {
            const std::lock_guard lock(mutex_);
            ++open_;
        }
        changed_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int open_;
};

Json cornersJson(const std::vector<std::pair<double, double>>& corners) {
    Json out = Json::array();
    for (const auto& [x, y] : corners) out.push_back({x, y});
    return out;
}

Json placedJson(const std::vector<PartPlacement>& placements) {
    Json placed = Json::array();
    for (const PartPlacement& p : placements) {
        Json holes = Json::array();
        for (const auto& hole : p.holes) holes.push_back(cornersJson(hole));
        placed.push_back({{"name", p.name},
                          {"sheet", p.sheet},
                          {"x", p.x},
                          {"y", p.y},
                          {"rotation", p.rotation},
                          {"mirrored", p.mirrored},
                          {"outer", cornersJson(p.outer)},
                          {"holes", holes}});
    }
    return placed;
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// The per-sheet lines of the report ("Sheet 2 (600x600): Packed length:447 ..."), as figures.
Json sheetFigures(const std::string& report) {
    static const std::regex line(
        R"(Sheet (\d+)(?: \(([^)]*)\))?: Packed length:(\S+) Packing density:(\S+)% Parts:(\d+) Area of parts:(\S+))");
    Json sheets = Json::array();
    for (std::sregex_iterator it(report.begin(), report.end(), line), end; it != end; ++it) {
        const std::smatch& m = *it;
        sheets.push_back({{"sheet", std::stoi(m[1])},
                          {"kind", m[2].str()},
                          {"length", std::strtod(m[3].str().c_str(), nullptr)},
                          {"density", std::strtod(m[4].str().c_str(), nullptr)},
                          {"parts", std::stoi(m[5])},
                          {"area", std::strtod(m[6].str().c_str(), nullptr)}});
    }
    return sheets;
}

Json placementsJson(const JobResult& result, const std::filesystem::path& outputs) {
    Json left = Json::array();
    for (const LeftOffPart& p : result.leftOff)
        left.push_back({{"name", p.name}, {"reason", p.reason}});
    Json out{{"exit_code", result.exitCode},
             {"cut_short", result.cutShort},
             {"placements", placedJson(result.placements)},
             {"left_off", left}};
    if (result.figures) {
        out["figures"] = {{"length", result.figures->packedLength},
                          {"density", result.figures->density},
                          {"parts_placed", result.figures->partsPlaced},
                          {"parts_left_off", result.figures->partsLeftOff},
                          {"sheets", result.figures->sheetsUsed}};
    }
    const std::string report = readText(outputs / "Results.txt");
    out["report"] = report;
    out["sheet_figures"] = sheetFigures(report);
    // A stock's sheets: the box, material and cost of each, drawn kinds as well as sizes.
    for (Json& figures : out["sheet_figures"]) {
        for (const UsedSheet& used : result.stockSheets) {
            if (used.sheet != figures["sheet"].get<int>()) continue;
            figures["sheet_length"] = used.length;
            figures["sheet_width"] = used.width;
            figures["material"] = used.material;
            figures["cost"] = used.cost;
        }
    }
    const Json written = Json::parse(readText(outputs / "placements.json"), nullptr, false);
    if (written.is_object() && written.contains("solution") &&
        written["solution"].contains("sheet")) {
        out["sheet"] = written["solution"]["sheet"];
    }
    return out;
}

// The search's last figures; while it runs, the time counts on from them (one layout of many
// parts can take seconds).
Json progressJson(const WebJob& job) {
    SearchReport p = *job.progress;
    if (job.state == "running") {
        p.elapsed += std::chrono::duration<double>(Clock::now() - job.progressAt).count();
    }
    return {{"elapsed", p.elapsed}, {"time_limit", p.timeLimit},         {"layouts", p.layouts},
            {"moves", p.moves},     {"length", p.packedLength},          {"density", p.density},
            {"sheets", p.sheets},   {"sheets_at_least", p.sheetsAtLeast}};
}

class Registry {
public:
    explicit Registry(const ServeOptions& options) : options_(options), gate_(options.maxRunning) {}

    std::shared_ptr<WebJob> find(const std::string& id) {
        const std::lock_guard lock(mutex_);
        const auto it = jobs_.find(id);
        if (it == jobs_.end()) return nullptr;
        const std::lock_guard jobLock(it->second->mutex);
        it->second->touched = Clock::now();
        return it->second;
    }

    void add(const std::shared_ptr<WebJob>& job) {
        const std::lock_guard lock(mutex_);
        jobs_[job->id] = job;
    }

    bool remove(const std::string& id) {
        std::shared_ptr<WebJob> gone;
        {
            const std::lock_guard lock(mutex_);
            const auto it = jobs_.find(id);
            if (it == jobs_.end()) return false;
            gone = it->second;
            jobs_.erase(it);
        }
        // At once, not when the last answer that holds the job (an event stream closing on its
        // own thread) lets it go: a deleted job leaves nothing behind.
        gone->finish();
        return true;
    }

    // Drops the jobs nobody has asked about for a while (a closed page stops its job).
    void sweep() {
        std::vector<std::shared_ptr<WebJob>> gone;
        {
            const std::lock_guard lock(mutex_);
            for (auto it = jobs_.begin(); it != jobs_.end();) {
                bool idle = false;
                {
                    const std::lock_guard jobLock(it->second->mutex);
                    idle = Clock::now() - it->second->touched > kIdleLifetime;
                }
                if (idle) {
                    gone.push_back(it->second);
                    it = jobs_.erase(it);
                } else {
                    ++it;
                }
            }
        }
    }

    void stopAll() {
        std::map<std::string, std::shared_ptr<WebJob>> all;
        {
            const std::lock_guard lock(mutex_);
            all.swap(jobs_);
        }
        for (auto& [id, job] : all) job->stop.store(true);
    }

    void start(const std::shared_ptr<WebJob>& job) {
        job->worker = std::thread([this, raw = job.get()] { run(*raw); });
    }

    const ServeOptions& options() const { return options_; }

private:
    void run(WebJob& job) {
        if (!gate_.enter(job.stop)) {
            finish(job, Json(), "failed");
            return;
        }
        {
            const std::lock_guard lock(job.mutex);
            job.state = "running";
        }
        const auto showLayout = [&job](const std::vector<PartPlacement>& placements) {
            {
                const std::lock_guard lock(job.mutex);
                job.layout = placedJson(placements);
                ++job.layoutVersion;
            }
            job.changed.notify_all();
        };
        // With a stock the search hands over its layouts only once the sheets are chosen: a
        // one-pass run, quiet and writing nothing, shows the first one at once.
        const JobDescription& asked = job.description;
        if (searchRequested(asked) && asked.stockFile) {
            JobDescription first = asked;
            first.timeLimit.reset();
            first.evaluations.reset();
            first.writeLayout = false;
            first.svgFile.reset();
            first.jsonFile.reset();
            first.camFile.reset();
            first.remnantDxf.reset();
            LinesConsole silent;
            const JobResult onePass = runJob(first, silent);
            if (onePass.exitCode == 0) showLayout(onePass.placements);
        }
        JobControl control;
        control.stop = &job.stop;
        control.stopCause = [] { return std::string("the Stop button"); };
        control.progress = [&job](const SearchReport& report) {
            const std::lock_guard lock(job.mutex);
            job.progress = report;
            job.progressAt = Clock::now();
        };
        control.layouts = showLayout;
        const JobResult result = runJob(job.description, job.console, control);
        gate_.leave();
        finish(job, placementsJson(result, job.outputs()),
               result.exitCode == 0 ? "done" : "failed");
    }

    static void finish(WebJob& job, Json result, const char* state) {
        {
            const std::lock_guard lock(job.mutex);
            job.result = std::move(result);
            job.state = state;
        }
        job.changed.notify_all();
    }

    ServeOptions options_;
    Gate gate_;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<WebJob>> jobs_;
};

void answerError(httplib::Response& res, int status, const std::string& why) {
    res.status = status;
    res.set_content(Json{{"error", why}}.dump(), "application/json");
}

std::string newId() {
    static std::mutex mutex;
    static std::mt19937_64 random{std::random_device{}()};
    const std::lock_guard lock(mutex);
    char id[17];
    std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(random()));
    return id;
}

// The uploads of a field, in the order sent.
std::vector<httplib::MultipartFormData> uploadsOf(const httplib::Request& req, const char* field) {
    std::vector<httplib::MultipartFormData> uploads;
    const auto [first, last] = req.files.equal_range(field);
    for (auto it = first; it != last; ++it) uploads.push_back(it->second);
    return uploads;
}

// The settings field of a request as a JSON object, or why it is not one.
std::variant<Json, std::string> settingsOf(const httplib::Request& req) {
    if (!req.has_file("settings")) return Json::object();
    Json settings = Json::parse(req.get_file_value("settings").content, nullptr, false);
    if (settings.is_discarded() || !settings.is_object()) {
        return std::string("the settings field is not a JSON object");
    }
    return settings;
}

// A folder of its own under the temporary folder, or nothing.
std::optional<std::filesystem::path> newFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "blocknest-job-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return std::nullopt;
    return std::filesystem::path(pattern);
}

// Stores the uploads under safe names that differ from the names already taken.
std::vector<std::string> store(const std::vector<httplib::MultipartFormData>& uploads,
                               const std::filesystem::path& folder,
                               std::vector<std::string>& taken) {
    std::vector<std::string> names;
    for (const httplib::MultipartFormData& upload : uploads) {
        std::string name = safeName(upload.filename);
        while (std::find(taken.begin(), taken.end(), name) != taken.end()) name = "_" + name;
        std::ofstream(folder / name, std::ios::binary) << upload.content;
        taken.push_back(name);
        names.push_back(name);
    }
    return names;
}

// A folder removed when it goes out of scope.
struct ScratchFolder {
    std::filesystem::path path;
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
};

// The line with the job folder's path (ending in '/') taken out of every name it holds: the
// lines name the uploads by their place in the folder, the page by their names.
std::string withoutFolder(std::string line, const std::string& folder) {
    for (std::size_t at; (at = line.find(folder)) != std::string::npos;) {
        line.erase(at, folder.size());
    }
    return line;
}

Json rowsJson(const std::vector<FileRows>& files, const std::vector<std::string>& names) {
    const auto samePath = [](const std::string& a, const std::string& b) {
        return std::filesystem::path(a).lexically_normal() ==
               std::filesystem::path(b).lexically_normal();
    };
    Json out = Json::array();
    for (std::size_t f = 0; f < files.size(); ++f) {
        const FileRows& file = files[f];
        Json parts = Json::array();
        for (const PartRow& row : file.parts) {
            Json holes = Json::array();
            for (const auto& hole : row.holes) holes.push_back(cornersJson(hole));
            parts.push_back({{"name", row.name},
                             {"copies", row.copies},
                             {"width", row.width},
                             {"height", row.height},
                             {"net_area", row.netArea},
                             {"turns", row.turns},
                             {"mirror", row.mirror},
                             {"outer", cornersJson(row.outer)},
                             {"holes", holes}});
        }
        Json layers = Json::array();
        for (const DrawingLayer& layer : file.layers) {
            layers.push_back(
                {{"name", layer.name}, {"entities", layer.entities}, {"read", layer.read}});
        }
        Json entry{{"file", names[f]}, {"format", file.format},  {"parts", parts},
                   {"layers", layers}, {"units", file.insUnits}, {"warnings", Json::array()}};
        // A file that a job list sent with it names is packed as the list asks, not again.
        for (std::size_t g = 0; g < files.size(); ++g) {
            for (const std::string& listed : files[g].listed) {
                if (samePath(listed, file.path)) entry["listed_in"] = names[g];
            }
        }
        // The lines name the files by the job folder's path; the page knows them by name.
        const std::string folder = std::filesystem::path(file.path).parent_path().string() + "/";
        const auto local = [&](std::string line) {
            for (std::size_t at; (at = line.find(file.path)) != std::string::npos;) {
                line.replace(at, file.path.size(), names[f]);
            }
            return withoutFolder(std::move(line), folder);
        };
        for (const std::string& warning : file.warnings)
            entry["warnings"].push_back(local(warning));
        if (file.error) entry["error"] = local(*file.error);
        out.push_back(entry);
    }
    return out;
}

std::string noJobFolder() { return "no job folder can be made in the temporary folder"; }

void routes(httplib::Server& server, Registry& registry) {
    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(pageHtml(), "text/html; charset=utf-8");
    });
    // The part rows of the files chosen, read as the job would read them, nothing kept.
    server.Post("/api/parts", [&registry](const httplib::Request& req, httplib::Response& res) {
        if (!req.is_multipart_form_data()) {
            return answerError(res, 400, "the parts' files are posted as multipart/form-data");
        }
        std::variant<Json, std::string> settings = settingsOf(req);
        if (auto* why = std::get_if<std::string>(&settings)) return answerError(res, 400, *why);
        const std::vector<httplib::MultipartFormData> uploads = uploadsOf(req, "files");
        if (uploads.empty()) return answerError(res, 400, "no file was sent");
        if (static_cast<int>(uploads.size()) > registry.options().maxFiles) {
            return answerError(res, 413,
                               "at most " + std::to_string(registry.options().maxFiles) + " files");
        }
        const std::optional<std::filesystem::path> folder = newFolder();
        if (!folder) return answerError(res, 500, noJobFolder());
        const ScratchFolder scratch{*folder};
        std::vector<std::string> taken;
        const std::vector<std::string> names = store(uploads, *folder, taken);
        if (std::optional<std::string> why = listsReachOutside(names, *folder)) {
            return answerError(res, 400, *why);
        }
        JobDescription job;
        if (std::optional<std::string> why = describeReading(std::get<Json>(settings), job)) {
            return answerError(res, 400, *why);
        }
        for (const std::string& name : names) job.files.push_back({(*folder / name).string(), {}});
        res.set_content(Json{{"files", rowsJson(describeParts(job), names)}}.dump(
                            -1, ' ', false, Json::error_handler_t::replace),
                        "application/json");
    });
    server.Post("/api/jobs", [&registry](const httplib::Request& req, httplib::Response& res) {
        const ServeOptions& options = registry.options();
        if (!req.is_multipart_form_data()) {
            return answerError(res, 400, "a job is posted as multipart/form-data");
        }
        std::variant<Json, std::string> settings = settingsOf(req);
        if (auto* why = std::get_if<std::string>(&settings)) return answerError(res, 400, *why);
        const std::vector<httplib::MultipartFormData> parts = uploadsOf(req, "files");
        const std::vector<httplib::MultipartFormData> sheet = uploadsOf(req, "sheet");
        const std::vector<httplib::MultipartFormData> stock = uploadsOf(req, "stock_files");
        if (parts.empty()) return answerError(res, 400, "the job has no file");
        if (sheet.size() > 1) return answerError(res, 400, "a job takes one sheet drawing");
        if (static_cast<int>(parts.size() + stock.size()) > options.maxFiles) {
            return answerError(
                res, 413, "a job takes at most " + std::to_string(options.maxFiles) + " files");
        }
        auto job = std::make_shared<WebJob>();
        job->id = newId();
        const std::optional<std::filesystem::path> folder = newFolder();
        if (!folder) return answerError(res, 500, noJobFolder());
        job->folder = *folder;
        std::error_code error;
        std::filesystem::create_directory(job->inputs(), error);
        std::filesystem::create_directory(job->outputs(), error);
        std::vector<std::string> taken;
        JobUploads uploads;
        uploads.parts = store(parts, job->inputs(), taken);
        if (!sheet.empty()) uploads.sheet = store(sheet, job->inputs(), taken).front();
        uploads.stockFiles = store(stock, job->inputs(), taken);
        std::optional<std::string> why = listsReachOutside(uploads.parts, job->inputs());
        if (why) return answerError(res, 400, *why);
        try {
            why = describeJob(std::get<Json>(settings), uploads, job->inputs(), job->outputs(),
                              options, job->description);
        } catch (const std::exception& e) {
            // A value of an unexpected type deep in the settings.
            why = std::string("the settings cannot be read: ") + e.what();
        }
        if (why) return answerError(res, 400, *why);
        registry.add(job);
        registry.start(job);
        res.status = 201;
        res.set_content(Json{{"id", job->id}, {"files", uploads.parts}}.dump(), "application/json");
    });
    server.Get(R"(/api/jobs/([0-9a-f]{16}))", [&registry](const httplib::Request& req,
                                                          httplib::Response& res) {
        const std::shared_ptr<WebJob> job = registry.find(req.matches[1]);
        if (!job) return answerError(res, 404, "no such job");
        Json out;
        {
            const std::lock_guard lock(job->mutex);
            out = {{"id", job->id}, {"state", job->state}};
            if (job->progress) out["progress"] = progressJson(*job);
            if (!job->result.is_null()) out["result"] = job->result;
        }
        const std::string folder = job->inputs().string() + "/";
        std::vector<std::string> lines = job->console.lines();
        for (std::string& line : lines) line = withoutFolder(std::move(line), folder);
        out["messages"] = lines;
        std::vector<std::string> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(job->outputs(), error)) {
            files.push_back(entry.path().filename().string());
        }
        std::sort(files.begin(), files.end());
        out["files"] = files;
        res.set_content(out.dump(-1, ' ', false, Json::error_handler_t::replace),
                        "application/json");
    });
    // The job's state and progress at most once a second; the first event waits for the
    // first layout (or a second), and a layout goes out once each time it changes.
    server.Get(R"(/api/jobs/([0-9a-f]{16})/events)", [&registry](const httplib::Request& req,
                                                                 httplib::Response& res) {
        const std::shared_ptr<WebJob> job = registry.find(req.matches[1]);
        if (!job) return answerError(res, 404, "no such job");
        auto sent = std::make_shared<int>(0);  // the layout version sent
        auto last = std::make_shared<std::optional<Clock::time_point>>();
        res.set_chunked_content_provider(
            "text/event-stream", [job, sent, last](std::size_t, httplib::DataSink& sink) {
                const auto over = [&] { return job->state == "done" || job->state == "failed"; };
                Json event;
                {
                    std::unique_lock lock(job->mutex);
                    const auto until = last->value_or(Clock::now()) + std::chrono::seconds(1);
                    if (*last) {
                        job->changed.wait_until(lock, until, over);
                    } else {
                        job->changed.wait_until(
                            lock, until, [&] { return over() || job->layoutVersion > *sent; });
                    }
                    event = {{"state", job->state}};
                    if (job->progress) event["progress"] = progressJson(*job);
                    if (job->layoutVersion > *sent && !over()) {
                        event["layout"] = job->layout;
                        *sent = job->layoutVersion;
                    }
                    job->touched = Clock::now();
                }
                *last = Clock::now();
                const std::string text =
                    "data: " + event.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n\n";
                if (!sink.write(text.data(), text.size())) return false;
                if (event["state"] == "done" || event["state"] == "failed") sink.done();
                return true;
            });
    });
    server.Post(R"(/api/jobs/([0-9a-f]{16})/stop)",
                [&registry](const httplib::Request& req, httplib::Response& res) {
                    const std::shared_ptr<WebJob> job = registry.find(req.matches[1]);
                    if (!job) return answerError(res, 404, "no such job");
                    job->stop.store(true);
                    res.set_content(Json{{"stopping", true}}.dump(), "application/json");
                });
    server.Delete(R"(/api/jobs/([0-9a-f]{16}))",
                  [&registry](const httplib::Request& req, httplib::Response& res) {
                      if (!registry.remove(req.matches[1]))
                          return answerError(res, 404, "no such job");
                      res.set_content(Json{{"deleted", true}}.dump(), "application/json");
                  });
    // Every cut file of the job in one archive.
    server.Get(
        R"(/api/jobs/([0-9a-f]{16})/cut-files\.zip)",
        [&registry](const httplib::Request& req, httplib::Response& res) {
            const std::shared_ptr<WebJob> job = registry.find(req.matches[1]);
            if (!job) return answerError(res, 404, "no such job");
            std::vector<std::string> names;
            std::error_code error;
            for (const auto& entry : std::filesystem::directory_iterator(job->outputs(), error)) {
                const std::string name = entry.path().filename().string();
                if (name.starts_with("cut") && name.ends_with(".dxf")) names.push_back(name);
            }
            if (names.empty()) return answerError(res, 404, "the job has no cut file yet");
            std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
                return a.size() != b.size() ? a.size() < b.size() : a < b;
            });
            std::vector<std::pair<std::string, std::string>> files;
            for (const std::string& name : names) {
                files.emplace_back(name, readText(job->outputs() / name));
            }
            res.set_header("Content-Disposition", "attachment; filename=\"cut-files.zip\"");
            res.set_content(zipArchive(files), "application/zip");
        });
    server.Get(R"(/api/jobs/([0-9a-f]{16})/files/([^/]+))",
               [&registry](const httplib::Request& req, httplib::Response& res) {
                   const std::shared_ptr<WebJob> job = registry.find(req.matches[1]);
                   if (!job) return answerError(res, 404, "no such job");
                   const std::string name = req.matches[2];
                   if (name != safeName(name)) return answerError(res, 400, "not a file name");
                   std::ifstream in(job->outputs() / name, std::ios::binary);
                   if (!in) return answerError(res, 404, "no such file");
                   std::string content((std::istreambuf_iterator<char>(in)), {});
                   const bool svg = name.ends_with(".svg");
                   res.set_content(content, svg ? "image/svg+xml" : "application/octet-stream");
               });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) {
            res.set_content(Json{{"error", "status " + std::to_string(res.status)}}.dump(),
                            "application/json");
        }
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            answerError(res, 500, "the request could not be handled");
        });
}

}  // namespace

std::string serve(const ServeOptions& options, const std::atomic<bool>& stop,
                  std::atomic<int>& bound) {
    Registry registry(options);
    httplib::Server server;
    server.set_payload_max_length(static_cast<std::size_t>(options.maxUploadBytes));
    routes(server, registry);
    const int port = options.port == 0
                         ? server.bind_to_any_port(options.host)
                         : (server.bind_to_port(options.host, options.port) ? options.port : -1);
    if (port < 0) return "cannot listen on " + options.host + ":" + std::to_string(options.port);
    bound.store(port);
    std::thread watcher([&] {
        while (!stop.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            registry.sweep();
        }
        server.stop();
    });
    server.listen_after_bind();
    watcher.join();
    registry.stopAll();
    return {};
}

}  // namespace blocknest
