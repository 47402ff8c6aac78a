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
#include <thread>
#include <vector>

#include "job/job.hpp"
#include "serve/page.hpp"

namespace blocknest {
namespace {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr auto kIdleLifetime = std::chrono::minutes(10);

// A name the browser sent, made safe: its last path part, only letters, digits and ._-; never
// empty, never "." or "..".
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
    Json result;
    Clock::time_point touched = Clock::now();

    ~WebJob() {
        stop.store(true);
        if (worker.joinable()) worker.join();
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
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

Json placementsJson(const JobResult& result) {
    Json placed = Json::array();
    for (const PartPlacement& p : result.placements) {
        placed.push_back({{"name", p.name},
                          {"sheet", p.sheet},
                          {"x", p.x},
                          {"y", p.y},
                          {"rotation", p.rotation},
                          {"mirrored", p.mirrored}});
    }
    Json left = Json::array();
    for (const LeftOffPart& p : result.leftOff)
        left.push_back({{"name", p.name}, {"reason", p.reason}});
    Json out{{"exit_code", result.exitCode},
             {"cut_short", result.cutShort},
             {"placements", placed},
             {"left_off", left}};
    if (result.figures) {
        out["figures"] = {{"length", result.figures->packedLength},
                          {"density", result.figures->density},
                          {"parts_placed", result.figures->partsPlaced},
                          {"parts_left_off", result.figures->partsLeftOff},
                          {"sheets", result.figures->sheetsUsed}};
    }
    return out;
}

Json progressJson(const SearchReport& p) {
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
        return true;  // the job's thread is joined and its folder removed as it goes
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
        if (!gate_.enter(job.stop)) return;
        {
            const std::lock_guard lock(job.mutex);
            job.state = "running";
        }
        JobControl control;
        control.stop = &job.stop;
        control.stopCause = [] { return std::string("the Stop button"); };
        control.progress = [&job](const SearchReport& report) {
            const std::lock_guard lock(job.mutex);
            job.progress = report;
        };
        const JobResult result = runJob(job.description, job.console, control);
        gate_.leave();
        const std::lock_guard lock(job.mutex);
        job.result = placementsJson(result);
        job.state = result.exitCode == 0 ? "done" : "failed";
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

// The job's description from the settings field, with its files in folder.
std::optional<std::string> describe(const Json& settings, const std::vector<std::string>& files,
                                    const std::filesystem::path& folder,
                                    const ServeOptions& options, JobDescription& job) {
    const auto number = [&](const char* key, double fallback) {
        const auto it = settings.find(key);
        return it != settings.end() && it->is_number() ? it->get<double>() : fallback;
    };
    const double length = number("length", 0);
    const double width = number("width", 0);
    if (length > 0 && width > 0) job.sheet = SheetSize{length, width};
    job.sheets = static_cast<int>(number("sheets", 1));
    job.spacing = number("spacing", 0);
    job.margin = number("margin", 0);
    job.rotations = static_cast<int>(number("rotations", 2));
    if (job.sheets < 0 || job.sheets > 1000 || job.rotations < 1 || job.rotations > 360 ||
        !(job.spacing >= 0) || !(job.margin >= 0)) {
        return "the settings are out of range";
    }
    job.mirror = settings.value("mirror", false);
    const double seconds = number("seconds", 0);
    if (seconds > options.maxSeconds) {
        return "a job may search at most " + std::to_string(static_cast<int>(options.maxSeconds)) +
               " seconds";
    }
    if (seconds > 0) job.timeLimit = seconds;
    if (const auto it = settings.find("evaluations"); it != settings.end() && it->is_number()) {
        job.evaluations = it->get<std::int64_t>();
    }
    job.threads = options.threadsPerJob;
    const Json copies = settings.value("copies", Json::object());
    for (const std::string& name : files) {
        std::optional<std::int64_t> count;
        if (copies.is_object() && copies.contains(name) && copies[name].is_number_integer()) {
            count = copies[name].get<std::int64_t>();
        }
        const bool drawing = name.size() > 4 && (name.ends_with(".dxf") || name.ends_with(".DXF"));
        job.files.push_back({(folder / name).string(), drawing ? count : std::nullopt});
    }
    job.quiet = true;
    job.outputDir = folder.string();
    job.svgFile = (folder / "layout.svg").string();
    job.jsonFile = (folder / "placements.json").string();
    job.camFile = (folder / "cut.dxf").string();
    return std::nullopt;
}

void routes(httplib::Server& server, Registry& registry) {
    server.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(pageHtml(), "text/html; charset=utf-8");
    });
    server.Post("/api/jobs", [&registry](const httplib::Request& req, httplib::Response& res) {
        const ServeOptions& options = registry.options();
        if (!req.is_multipart_form_data()) {
            return answerError(res, 400, "a job is posted as multipart/form-data");
        }
        Json settings = Json::object();
        if (req.has_file("settings")) {
            settings = Json::parse(req.get_file_value("settings").content, nullptr, false);
            if (settings.is_discarded() || !settings.is_object()) {
                return answerError(res, 400, "the settings field is not a JSON object");
            }
        }
        std::vector<httplib::MultipartFormData> uploads;
        const auto [first, last] = req.files.equal_range("files");
        for (auto it = first; it != last; ++it) uploads.push_back(it->second);
        if (uploads.empty()) return answerError(res, 400, "the job has no file");
        if (static_cast<int>(uploads.size()) > options.maxFiles) {
            return answerError(
                res, 413, "a job takes at most " + std::to_string(options.maxFiles) + " files");
        }
        auto job = std::make_shared<WebJob>();
        job->id = newId();
        std::string pattern =
            (std::filesystem::temp_directory_path() / "blocknest-job-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return answerError(res, 500, "no job folder");
        job->folder = pattern;
        std::vector<std::string> names;
        for (const httplib::MultipartFormData& upload : uploads) {
            std::string name = safeName(upload.filename);
            while (std::find(names.begin(), names.end(), name) != names.end()) name = "_" + name;
            std::ofstream(job->folder / name, std::ios::binary) << upload.content;
            names.push_back(name);
        }
        if (std::optional<std::string> why =
                describe(settings, names, job->folder, options, job->description)) {
            return answerError(res, 400, *why);
        }
        registry.add(job);
        registry.start(job);
        res.status = 201;
        res.set_content(Json{{"id", job->id}, {"files", names}}.dump(), "application/json");
    });
    server.Get(R"(/api/jobs/([0-9a-f]{16}))", [&registry](const httplib::Request& req,
                                                          httplib::Response& res) {
        const std::shared_ptr<WebJob> job = registry.find(req.matches[1]);
        if (!job) return answerError(res, 404, "no such job");
        Json out;
        {
            const std::lock_guard lock(job->mutex);
            out = {{"id", job->id}, {"state", job->state}};
            if (job->progress) out["progress"] = progressJson(*job->progress);
            if (!job->result.is_null()) out["result"] = job->result;
        }
        out["messages"] = job->console.lines();
        std::vector<std::string> files;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(job->folder, error)) {
            files.push_back(entry.path().filename().string());
        }
        std::sort(files.begin(), files.end());
        out["files"] = files;
        res.set_content(out.dump(), "application/json");
    });
    server.Get(R"(/api/jobs/([0-9a-f]{16})/events)",
               [&registry](const httplib::Request& req, httplib::Response& res) {
                   const std::shared_ptr<WebJob> job = registry.find(req.matches[1]);
                   if (!job) return answerError(res, 404, "no such job");
                   res.set_chunked_content_provider(
                       "text/event-stream", [job](std::size_t, httplib::DataSink& sink) {
                           Json event;
                           bool over = false;
                           {
                               const std::lock_guard lock(job->mutex);
                               event = {{"state", job->state}};
                               if (job->progress) event["progress"] = progressJson(*job->progress);
                               over = job->state == "done" || job->state == "failed";
                               job->touched = Clock::now();
                           }
                           const std::string text = "data: " + event.dump() + "\n\n";
                           if (!sink.write(text.data(), text.size())) return false;
                           if (over) {
                               sink.done();
                               return true;
                           }
                           std::this_thread::sleep_for(std::chrono::milliseconds(500));
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
    server.Get(R"(/api/jobs/([0-9a-f]{16})/files/([^/]+))",
               [&registry](const httplib::Request& req, httplib::Response& res) {
                   const std::shared_ptr<WebJob> job = registry.find(req.matches[1]);
                   if (!job) return answerError(res, 404, "no such job");
                   const std::string name = req.matches[2];
                   if (name != safeName(name)) return answerError(res, 400, "not a file name");
                   std::ifstream in(job->folder / name, std::ios::binary);
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
