// The page's server through its HTTP API, with httplib's client: jobs from uploads, their
// results and files, Stop, several clients at once, and requests that must be refused with a
// reason without taking the server down; the job folders gone afterwards.
#include "serve/server.hpp"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <sstream>
#include <thread>
#include <tuple>

#include "support.hpp"

namespace blocknest {
namespace {

using Json = nlohmann::json;
using testing_support::countOf;
using testing_support::readFile;

const std::string kWorkshop = BLOCKNEST_SOURCE_DIR "/examples/workshop_parts.txt";

// A server on a free port for one test, stopped and joined at its end.
class Running {
public:
    Running() : thread_([this] { failure_ = serve(ServeOptions{"127.0.0.1", 0}, stop_, port_); }) {
        for (int i = 0; i < 500 && port_.load() == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~Running() {
        stop_.store(true);
        thread_.join();
    }
    httplib::Client client() const { return httplib::Client("127.0.0.1", port_.load()); }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> port_{0};
    std::string failure_;
    std::thread thread_;
};

std::string postJob(httplib::Client& client, const std::string& settings) {
    const httplib::MultipartFormDataItems items{
        {"files", readFile(kWorkshop), "workshop_parts.txt", "text/plain"},
        {"settings", settings, "", "application/json"}};
    const auto answer = client.Post("/api/jobs", items);
    if (!answer || answer->status != 201) return {};
    return Json::parse(answer->body)["id"].get<std::string>();
}

Json waitFor(httplib::Client& client, const std::string& id) {
    for (int i = 0; i < 1000; ++i) {
        const auto answer = client.Get(("/api/jobs/" + id).c_str());
        if (!answer || answer->status != 200) return Json();
        Json job = Json::parse(answer->body);
        if (job["state"] == "done" || job["state"] == "failed") return job;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return Json();
}

// Whether the job's search has reported its progress: it is under way.
bool progressShown(httplib::Client& client, const std::string& id) {
    const auto answer = client.Get(("/api/jobs/" + id).c_str());
    return answer && answer->status == 200 && Json::parse(answer->body).contains("progress");
}

std::vector<std::filesystem::path> jobFolders() {
    std::vector<std::filesystem::path> folders;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
        if (entry.path().filename().string().starts_with("blocknest-job-"))
            folders.push_back(entry.path());
    }
    return folders;
}

// The temporary folder of this test alone, so that the jobs of tests running beside it in
// other processes do not count as its own.
class OwnTemporaryFolder {
public:
    OwnTemporaryFolder() {
        const char* old = std::getenv("TMPDIR");
        if (old != nullptr) old_ = old;
        setenv("TMPDIR", folder_.path().c_str(), 1);
    }
    ~OwnTemporaryFolder() {
        if (old_) {
            setenv("TMPDIR", old_->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

private:
    testing_support::TempDir folder_;
    std::optional<std::string> old_;
};

TEST(ServerTest, AJobFromUploadsGivesItsLayoutFiguresAndFiles) {
    const OwnTemporaryFolder own;
    const auto before = jobFolders();
    EXPECT_TRUE(before.empty());
    {
        const Running server;
        httplib::Client client = server.client();
        const auto page = client.Get("/");
        ASSERT_TRUE(page);
        EXPECT_NE(page->body.find("id=\"start\">Start</button>"), std::string::npos);
        const std::string id = postJob(client, R"({"evaluations": 400, "rotations": 2})");
        ASSERT_FALSE(id.empty());
        const Json job = waitFor(client, id);
        ASSERT_EQ(job["state"], "done") << job.dump();
        EXPECT_EQ(job["result"]["placements"].size(), 34u);
        EXPECT_GT(job["result"]["figures"]["density"].get<double>(), 50);
        const auto svg = client.Get(("/api/jobs/" + id + "/files/layout.svg").c_str());
        ASSERT_TRUE(svg);
        EXPECT_EQ(countOf(svg->body, "class=\"part\""), 34);
        const auto cut = client.Get(("/api/jobs/" + id + "/files/cut.dxf").c_str());
        ASSERT_TRUE(cut);
        EXPECT_EQ(cut->status, 200);
        EXPECT_NE(cut->body.find("LWPOLYLINE"), std::string::npos);
        // The same job from the command line gives the same layout.
        testing_support::TempDir dir;
        const auto run = testing_support::runBlocknestBinary(
            {"--no-pause", "-q", "--evaluations", "400", "-j", "2", kWorkshop}, dir.path());
        ASSERT_EQ(run.exitCode, 0);
        const auto layout = client.Get(("/api/jobs/" + id + "/files/Layout.dxf").c_str());
        ASSERT_TRUE(layout);
        EXPECT_EQ(layout->body, readFile(dir.path() / "Layout.dxf"));
        const auto deleted = client.Delete(("/api/jobs/" + id).c_str());
        ASSERT_TRUE(deleted);
        EXPECT_EQ(deleted->status, 200);
        EXPECT_EQ(client.Get(("/api/jobs/" + id).c_str())->status, 404);
    }
    EXPECT_EQ(jobFolders(), before) << "every job folder is removed";
}

TEST(ServerTest, StopKeepsTheBestLayoutAndSeveralClientsRunAtOnce) {
    const Running server;
    httplib::Client client = server.client();
    const std::string slow = postJob(client, R"({"seconds": 60})");
    ASSERT_FALSE(slow.empty());
    std::vector<std::string> ids;
    std::vector<std::thread> clients;
    std::mutex mutex;
    for (int k = 0; k < 4; ++k) {
        clients.emplace_back([&] {
            httplib::Client own = server.client();
            const std::string id = postJob(own, R"({"evaluations": 200})");
            const std::lock_guard lock(mutex);
            ids.push_back(id);
        });
    }
    for (std::thread& c : clients) c.join();
    // Stopped once its search reports progress, not after a while: on a loaded machine the
    // job may not have begun by then.
    for (int i = 0; i < 3000 && !progressShown(client, slow); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(progressShown(client, slow)) << "the slow job's search never reported";
    const auto stopped = client.Post(("/api/jobs/" + slow + "/stop").c_str());
    ASSERT_TRUE(stopped);
    const auto start = std::chrono::steady_clock::now();
    const Json job = waitFor(client, slow);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    ASSERT_EQ(job["state"], "done") << job.dump();
    EXPECT_TRUE(job["result"]["cut_short"].get<bool>());
    EXPECT_EQ(job["result"]["placements"].size(), 34u);
    for (const std::string& id : ids) {
        ASSERT_FALSE(id.empty());
        const Json other = waitFor(client, id);
        EXPECT_EQ(other["state"], "done");
        EXPECT_EQ(other["result"]["placements"].size(), 34u);
    }
}

TEST(ServerTest, BadRequestsAreRefusedWithAReason) {
    const Running server;
    httplib::Client client = server.client();
    const auto plain = client.Post("/api/jobs", "{}", "application/json");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->status, 400);
    EXPECT_NE(plain->body.find("multipart"), std::string::npos);
    const httplib::MultipartFormDataItems badSettings{
        {"files", "x", "a.txt", "text/plain"}, {"settings", "{oops", "", "application/json"}};
    EXPECT_EQ(client.Post("/api/jobs", badSettings)->status, 400);
    const httplib::MultipartFormDataItems noFile{{"settings", "{}", "", "application/json"}};
    EXPECT_EQ(client.Post("/api/jobs", noFile)->status, 400);
    const httplib::MultipartFormDataItems tooLong{
        {"files", readFile(kWorkshop), "w.txt", "text/plain"},
        {"settings", R"({"seconds": 100000})", "", "application/json"}};
    EXPECT_EQ(client.Post("/api/jobs", tooLong)->status, 400);
    EXPECT_EQ(client.Get("/api/jobs/0123456789abcdef")->status, 404);
    EXPECT_EQ(client.Get("/api/jobs/..%2F..%2Fetc")->status, 404);
    // A name with path parts is stored by its last part, inside the job's own folder.
    const httplib::MultipartFormDataItems tricky{
        {"files", readFile(kWorkshop), "../../etc/../escape.txt", "text/plain"},
        {"settings", R"({"evaluations": 100})", "", "application/json"}};
    const auto made = client.Post("/api/jobs", tricky);
    ASSERT_TRUE(made);
    ASSERT_EQ(made->status, 201) << made->body;
    EXPECT_EQ(Json::parse(made->body)["files"][0], "escape.txt");
    const std::string id = Json::parse(made->body)["id"];
    EXPECT_EQ(waitFor(client, id)["state"], "done");
    EXPECT_EQ(client.Get(("/api/jobs/" + id + "/files/..").c_str())->status, 400);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::temp_directory_path() / "escape.txt"));
    EXPECT_EQ(client.Get("/")->status, 200) << "the server is still up";
}

const std::string kBracket = BLOCKNEST_SOURCE_DIR "/examples/bracket.dxf";

// The events of a job's stream until it ends: each event's JSON and when it came.
std::vector<std::pair<Json, double>> eventsOf(const Running& server, const std::string& id) {
    std::vector<std::pair<Json, double>> events;
    httplib::Client client = server.client();
    client.set_read_timeout(60, 0);
    std::string pending;
    const auto start = std::chrono::steady_clock::now();
    (void)client.Get(("/api/jobs/" + id + "/events").c_str(), [&](const char* data, size_t size) {
        pending.append(data, size);
        for (std::size_t end; (end = pending.find("\n\n")) != std::string::npos;) {
            const std::string event = pending.substr(0, end);
            pending.erase(0, end + 2);
            if (!event.starts_with("data: ")) continue;
            const std::chrono::duration<double> at = std::chrono::steady_clock::now() - start;
            events.emplace_back(Json::parse(event.substr(6)), at.count());
        }
        return true;
    });
    return events;
}

// The first event that tells anything: a loaded machine can send one or more with neither a
// layout nor progress before the job has begun, a second apart.
std::size_t firstTelling(const std::vector<std::pair<Json, double>>& events) {
    std::size_t at = 0;
    while (at + 1 < events.size() && !events[at].first.contains("layout") &&
           !events[at].first.contains("progress") && events[at].first["state"] != "done" &&
           events[at].first["state"] != "failed") {
        ++at;
    }
    return at;
}

TEST(ServerTest, PartRowsLayoutsAsTheSearchGoesAndTheCutFilesInOneArchive) {
    const OwnTemporaryFolder own;
    const Running server;
    httplib::Client client = server.client();
    // The rows of two good files and a broken one: the broken one is named with its reason.
    const httplib::MultipartFormDataItems files{
        {"files", readFile(kWorkshop), "workshop_parts.txt", "text/plain"},
        {"files", readFile(kBracket), "bracket.dxf", "application/dxf"},
        {"files", "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\nA\n10\nx\n", "broken.dxf", "text/plain"},
        {"settings", R"({"skip_layers": ["washer"]})", "", "application/json"}};
    const auto rows = client.Post("/api/parts", files);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->status, 200) << rows->body;
    const Json described = Json::parse(rows->body)["files"];
    ASSERT_EQ(described.size(), 3u);
    std::int64_t copies = 0;
    for (const Json& part : described[0]["parts"]) copies += part["copies"].get<std::int64_t>();
    EXPECT_EQ(copies, 34);
    EXPECT_EQ(described[0]["parts"][0]["name"], "Base plate 200x120");
    EXPECT_NEAR(described[0]["parts"][0]["width"].get<double>(), 200, 1e-9);
    EXPECT_NEAR(described[0]["parts"][0]["net_area"].get<double>(), 23275.9, 0.1);
    // The layer left out is listed as such, and its part is not read.
    ASSERT_EQ(described[1]["parts"].size(), 1u) << described[1].dump();
    bool washerListed = false;
    for (const Json& layer : described[1]["layers"]) {
        if (layer["name"] == "washer") washerListed = !layer["read"].get<bool>();
    }
    EXPECT_TRUE(washerListed) << described[1]["layers"].dump();
    ASSERT_TRUE(described[2].contains("error")) << described[2].dump();
    EXPECT_NE(described[2]["error"].get<std::string>().find("broken.dxf"), std::string::npos);
    EXPECT_EQ(described[2]["error"].get<std::string>().find("blocknest-job-"), std::string::npos);

    // The base plates set to 1 and the drawing's washers to 2: 31 + 1 + 2 parts. A search
    // by time: the one-pass layout comes first, and the events come at most once a second.
    const httplib::MultipartFormDataItems job{
        {"files", readFile(kWorkshop), "workshop_parts.txt", "text/plain"},
        {"files", readFile(kBracket), "bracket.dxf", "application/dxf"},
        {"settings",
         R"({"seconds": 2.5, "rows": {"workshop_parts.txt": [{"copies": 1}],
             "bracket.dxf": [{"copies": 1}, {"copies": 2}]}})",
         "", "application/json"}};
    const auto made = client.Post("/api/jobs", job);
    ASSERT_TRUE(made);
    ASSERT_EQ(made->status, 400) << "a row list shorter than the file's parts is refused";
    const httplib::MultipartFormDataItems fixed{
        job[0],
        job[1],
        {"settings",
         R"({"seconds": 2.5, "rows": {"workshop_parts.txt": [{"copies": 1}, {}, {}, {}, {}, {}, {}],
             "bracket.dxf": [{"copies": 1}, {"copies": 2}]}})",
         "", "application/json"}};
    const auto posted = client.Post("/api/jobs", fixed);
    ASSERT_TRUE(posted);
    ASSERT_EQ(posted->status, 201) << posted->body;
    const std::string id = Json::parse(posted->body)["id"];
    const auto events = eventsOf(server, id);
    ASSERT_GE(events.size(), 2u) << waitFor(client, id).dump().substr(0, 2000);
    // The one-pass layout before anything else; how soon it comes is bench/serve-targets'.
    const Json& first = events[firstTelling(events)].first;
    ASSERT_TRUE(first.contains("layout")) << first.dump();
    EXPECT_EQ(first["layout"].size(), 34u);
    // A second apart, but for the last, which says the job ended.
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
        EXPECT_GT(events[i].second - events[i - 1].second, 0.9) << "events a second apart";
    }
    int layouts = 0;
    for (const auto& [event, at] : events) layouts += event.contains("layout") ? 1 : 0;
    EXPECT_GE(layouts, 2) << "the layout is shown again as the search improves it";
    EXPECT_EQ(events.back().first["state"], "done");
    const Json done = waitFor(client, id);
    ASSERT_EQ(done["result"]["placements"].size(), 34u) << done.dump();
    EXPECT_FALSE(done["result"]["report"].get<std::string>().empty());
    for (const Json& p : done["result"]["placements"]) EXPECT_GE(p["outer"].size(), 3u);

    // The archive holds the cut file byte for byte.
    const auto cut = client.Get(("/api/jobs/" + id + "/files/cut.dxf").c_str());
    const auto zip = client.Get(("/api/jobs/" + id + "/cut-files.zip").c_str());
    ASSERT_TRUE(cut && zip);
    ASSERT_EQ(zip->status, 200);
    EXPECT_TRUE(zip->body.starts_with("PK\x03\x04"));
    EXPECT_NE(zip->body.find("cut.dxf" + cut->body), std::string::npos);
    EXPECT_EQ(countOf(zip->body, "PK\x01\x02"), 1) << "one entry in the directory";
    ASSERT_EQ(client.Delete(("/api/jobs/" + id).c_str())->status, 200);
    EXPECT_TRUE(jobFolders().empty()) << "the part rows' and the job's folders are removed";
}

TEST(ServerTest, SeveralSheetsShowTheirOnePassLayoutFirstAndEachSheetsFigures) {
    const Running server;
    httplib::Client client = server.client();
    const httplib::MultipartFormDataItems job{
        {"files", readFile(kWorkshop), "workshop_parts.txt", "text/plain"},
        {"settings", R"({"length": 300, "width": 200, "sheets": 0, "evaluations": 2000})", "",
         "application/json"}};
    const auto posted = client.Post("/api/jobs", job);
    ASSERT_TRUE(posted);
    ASSERT_EQ(posted->status, 201) << posted->body;
    const std::string id = Json::parse(posted->body)["id"];
    const auto events = eventsOf(server, id);
    ASSERT_FALSE(events.empty());
    const Json& first = events[firstTelling(events)].first;
    ASSERT_TRUE(first.contains("layout")) << first.dump();
    const Json done = waitFor(client, id);
    const Json& sheets = done["result"]["sheet_figures"];
    ASSERT_EQ(sheets.size(), done["result"]["figures"]["sheets"].get<std::size_t>());
    int parts = 0;
    for (const Json& sheet : sheets) parts += sheet["parts"].get<int>();
    EXPECT_EQ(parts, 34);
    const auto zip = client.Get(("/api/jobs/" + id + "/cut-files.zip").c_str());
    ASSERT_TRUE(zip);
    EXPECT_EQ(countOf(zip->body, "PK\x01\x02"), static_cast<int>(sheets.size()));
}

// Random requests, seeded: mangled multipart bodies, settings of random JSON, odd paths and
// methods. Each gets an answer below 500 with a reason, and the server keeps serving.
TEST(ServerTest, RandomRequestsAreAnsweredWithAReasonAndNeverTakeTheServerDown) {
    const Running server;
    httplib::Client client = server.client();
    std::mt19937 random(7);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::vector<std::string> values{"1",
                                          "-1",
                                          "1e308",
                                          "\"x\"",
                                          "null",
                                          "[]",
                                          "{}",
                                          "true",
                                          "0",
                                          "99999999",
                                          "[1,\"a\"]",
                                          "{\"copies\":-5}",
                                          "[{\"copies\":1e9,\"turns\":[\"a\"]}]",
                                          "[{\"turns\":[1e400]}]"};
    const std::vector<std::string> keys{
        "length",      "width", "sheets", "seconds", "evaluations", "rotations", "units",
        "skip_layers", "rows",  "stock",  "spacing", "margin",      "mirror"};
    const std::string example = readFile(kWorkshop);
    for (int round = 0; round < 40; ++round) {
        std::string settings = "{";
        for (int k = pick(4); k > 0; --k) {
            settings += "\"" + keys[pick(static_cast<int>(keys.size()))] + "\":";
            if (pick(3) == 0) {
                settings +=
                    "{\"workshop_parts.txt\":" + values[pick(static_cast<int>(values.size()))] +
                    "}";
            } else {
                settings += values[pick(static_cast<int>(values.size()))];
            }
            settings += k > 1 ? "," : "";
        }
        settings += pick(10) == 0 ? "" : "}";
        std::string content = example;
        for (int k = pick(3); k > 0; --k)
            content[random() % content.size()] = static_cast<char>(random());
        const std::string name = pick(4) == 0
                                     ? "../../" + std::string(1, static_cast<char>(random()))
                                     : "workshop_parts.txt";
        const char* path = pick(2) == 0 ? "/api/jobs" : "/api/parts";
        const bool damaged = pick(5) == 0;
        const httplib::Result answer = [&] {
            if (!damaged) {
                const httplib::MultipartFormDataItems items{
                    {"files", content, name, "text/plain"},
                    {"settings", settings, "", "application/json"}};
                return client.Post(path, items);
            }
            // A multipart body cut short or with its boundary damaged.
            std::string body =
                "--b\r\nContent-Disposition: form-data; name=\"files\"; filename=\"" + name +
                "\"\r\n\r\n" + content + "\r\n--b--\r\n";
            body.resize(random() % body.size());
            return client.Post(path, body, "multipart/form-data; boundary=b");
        }();
        ASSERT_TRUE(answer) << "round " << round << ": no answer";
        EXPECT_LT(answer->status, 500) << settings << " " << answer->body;
        if (answer->status >= 400) {
            const Json why = Json::parse(answer->body, nullptr, false);
            EXPECT_TRUE(why.is_object() && why.contains("error")) << answer->body;
        } else if (answer->status == 201) {
            const std::string id = Json::parse(answer->body)["id"];
            (void)client.Post(("/api/jobs/" + id + "/stop").c_str());
            (void)client.Delete(("/api/jobs/" + id).c_str());
        }
        const std::string odd = "/api/jobs/" + std::to_string(random()) + "/" +
                                std::string(1, static_cast<char>('a' + pick(26)));
        const auto lost = client.Get(odd.c_str());
        ASSERT_TRUE(lost);
        EXPECT_GE(lost->status, 400);
        EXPECT_LT(lost->status, 500);
    }
    EXPECT_EQ(client.Get("/")->status, 200) << "the server is still up";
}

// A stock table edited on the page, one of its rows a drawn remnant, and a drawn sheet: the
// sheets come from them, and what the page sends wrong is refused with a reason.
TEST(ServerTest, AStockTableAndADrawnSheetMakeTheSheets) {
    const Running server;
    httplib::Client client = server.client();
    const std::string examples = BLOCKNEST_SOURCE_DIR "/examples/";
    const auto post = [&](const std::string& settings, bool remnant, bool sheet) {
        httplib::MultipartFormDataItems items{
            {"files", readFile(kWorkshop), "workshop_parts.txt", "text/plain"},
            {"settings", settings, "", "application/json"}};
        if (remnant) {
            items.push_back({"stock_files", readFile(examples + "plate_remnant.dxf"),
                             "plate_remnant.dxf", "application/dxf"});
        }
        if (sheet) {
            items.push_back({"sheet", readFile(examples + "plate_with_defects.dxf"),
                             "plate_with_defects.dxf", "application/dxf"});
        }
        return client.Post("/api/jobs", items);
    };
    const auto stocked = post(R"({"stock": [{"length": 600, "width": 600, "count": 10,
        "cost": 400000}, {"file": "plate_remnant.dxf", "count": 1, "cost": 50}], "length": 0})",
                              true, false);
    ASSERT_TRUE(stocked);
    ASSERT_EQ(stocked->status, 201) << stocked->body;
    const Json done = waitFor(client, Json::parse(stocked->body)["id"]);
    ASSERT_EQ(done["state"], "done") << done.dump().substr(0, 1000);
    std::vector<std::string> kinds;
    for (const Json& sheet : done["result"]["sheet_figures"]) kinds.push_back(sheet["kind"]);
    EXPECT_EQ(kinds, (std::vector<std::string>{"plate_remnant", "600x600"}))
        << "the remnant first, then the half sheet";
    // Each sheet's cost as the table gave it, the drawn one's box and material its own.
    const Json& figures = done["result"]["sheet_figures"];
    if (figures.size() == 2) {
        EXPECT_EQ(figures[0]["cost"], 50.0);
        EXPECT_EQ(figures[1]["cost"], 400000.0);
        EXPECT_EQ(figures[1]["material"], 360000.0);
        const double box =
            figures[0]["sheet_length"].get<double>() * figures[0]["sheet_width"].get<double>();
        EXPECT_GT(figures[0]["material"].get<double>(), figures[0]["area"].get<double>());
        EXPECT_LE(figures[0]["material"].get<double>(), box + 1e-6);
        EXPECT_NE(box, 360000.0) << "the remnant's own box, not the half sheet's";
    }
    const auto drawn = post("{\"length\": 0}", false, true);
    ASSERT_TRUE(drawn);
    ASSERT_EQ(drawn->status, 201) << drawn->body;
    const Json onSheet = waitFor(client, Json::parse(drawn->body)["id"]);
    ASSERT_EQ(onSheet["state"], "done") << onSheet.dump().substr(0, 1000);
    EXPECT_GT(onSheet["result"]["placements"].size(), 0u);
    // A stock row naming a drawing not sent, a row without a size, both a sheet and a stock.
    for (const auto& [settings, remnant, sheet] : std::vector<std::tuple<std::string, bool, bool>>{
             {R"({"stock": [{"file": "plate_remnant.dxf"}]})", false, false},
             {R"({"stock": [{"length": 600}]})", false, false},
             {R"({"stock": [{"length": 600, "width": 600, "count": 0}]})", false, false},
             {R"({"stock": [{"file": "plate_remnant.dxf"}]})", true, true}}) {
        const auto refused = post(settings, remnant, sheet);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 400) << settings;
        EXPECT_TRUE(Json::parse(refused->body).contains("error"));
    }
}

// A job list sent with the drawings it names: its rows take the list's quantities, the
// drawings are named as the list's, and the job packs each part as often as the list asks,
// not once more for the drawing sent beside it. A list without its drawings names the row
// and the file missing, without the job folder's path.
TEST(ServerTest, AJobListWithItsDrawingsIsPackedAsTheListAsks) {
    const OwnTemporaryFolder own;
    const Running server;
    httplib::Client client = server.client();
    const std::filesystem::path shop = BLOCKNEST_SOURCE_DIR "/examples/shop";
    // The order's quantities by drawing, read from the list here.
    std::map<std::string, std::int64_t> ordered;
    std::istringstream order(readFile(shop / "order.csv"));
    for (std::string line; std::getline(order, line);) {
        if (line.empty() || line[0] == '#' || line.starts_with("file,")) continue;
        const std::size_t comma = line.find(',');
        const std::string drawing = line.substr(0, comma);
        ordered[drawing.substr(0, drawing.size() - 4)] += std::stoll(line.substr(comma + 1));
    }
    ASSERT_EQ(ordered.size(), 12u);
    httplib::MultipartFormDataItems files;
    for (const auto& [name, copies] : ordered) {
        files.push_back(
            {"files", readFile(shop / (name + ".dxf")), name + ".dxf", "application/dxf"});
    }
    files.push_back({"files", readFile(shop / "order.csv"), "order.csv", "text/csv"});
    const auto rows = client.Post("/api/parts", files);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->status, 200) << rows->body;
    const Json described = Json::parse(rows->body)["files"];
    ASSERT_EQ(described.size(), 13u);
    const Json& list = described.back();
    ASSERT_FALSE(list.contains("error")) << list.dump().substr(0, 2000);
    std::map<std::string, std::int64_t> listed;
    for (const Json& part : list["parts"]) {
        listed[part["name"].get<std::string>()] += part["copies"].get<std::int64_t>();
        EXPECT_GE(part["outer"].size(), 3u);
    }
    EXPECT_EQ(listed, ordered);
    for (std::size_t f = 0; f + 1 < described.size(); ++f) {
        EXPECT_EQ(described[f].value("listed_in", ""), "order.csv") << described[f]["file"];
    }

    // Packed once over as many 1000 x 500 sheets as needed; then the washers set to 3 on the
    // page's rows (the list's first row).
    Json editedRows = Json::array();
    for (std::size_t i = 0; i < list["parts"].size(); ++i) editedRows.push_back(Json::object());
    editedRows[0]["copies"] = 3;
    ASSERT_EQ(list["parts"][0]["name"], "washer");
    for (const Json& settings : {Json{{"length", 1000}, {"width", 500}, {"sheets", 0}},
                                 Json{{"length", 1000},
                                      {"width", 500},
                                      {"sheets", 0},
                                      {"rows", {{"order.csv", editedRows}}}}}) {
        httplib::MultipartFormDataItems job = files;
        job.push_back({"settings", settings.dump(), "", "application/json"});
        const auto posted = client.Post("/api/jobs", job);
        ASSERT_TRUE(posted);
        ASSERT_EQ(posted->status, 201) << posted->body;
        const Json done = waitFor(client, Json::parse(posted->body)["id"]);
        ASSERT_EQ(done["state"], "done") << done.dump().substr(0, 2000);
        std::map<std::string, std::int64_t> placed;
        for (const Json& p : done["result"]["placements"]) ++placed[p["name"].get<std::string>()];
        for (const Json& p : done["result"]["left_off"]) ++placed[p["name"].get<std::string>()];
        std::map<std::string, std::int64_t> expected = ordered;
        if (settings.contains("rows")) expected["washer"] = 3;
        EXPECT_EQ(placed, expected) << settings.dump();
    }

    const httplib::MultipartFormDataItems alone{
        {"files", readFile(shop / "order.csv"), "order.csv", "text/csv"}};
    const auto missing = client.Post("/api/parts", alone);
    ASSERT_TRUE(missing);
    const std::string why = Json::parse(missing->body)["files"][0].value("error", "");
    EXPECT_NE(why.find("order.csv:3"), std::string::npos) << why;
    EXPECT_NE(why.find("'washer.dxf' does not exist"), std::string::npos) << why;
    EXPECT_EQ(why.find("blocknest-job-"), std::string::npos) << why;

    // A list that names a file on the server's machine, by an absolute path or by climbing out
    // of the job's folder, is refused with its line before anything is read, both for the rows
    // and for a job.
    const std::string outside = BLOCKNEST_SOURCE_DIR "/examples/workshop_parts.txt";
    for (const std::string& named : {outside, "../../../../../../../.." + outside}) {
        const httplib::MultipartFormDataItems reaching{
            {"files", "file,quantity\nwasher.dxf,1\n" + named + ",1\n", "order.csv", "text/csv"},
            {"files", readFile(shop / "washer.dxf"), "washer.dxf", "application/dxf"},
            {"settings", R"({"evaluations": 10})", "", "application/json"}};
        for (const char* path : {"/api/parts", "/api/jobs"}) {
            const auto refused = client.Post(path, reaching);
            ASSERT_TRUE(refused);
            EXPECT_EQ(refused->status, 400) << path << " " << named << ": " << refused->body;
            const std::string reason = Json::parse(refused->body).value("error", "");
            EXPECT_NE(reason.find("order.csv:3: \"workshop_parts.txt\" lies outside"),
                      std::string::npos)
                << reason;
            EXPECT_EQ(refused->body.find("Base plate"), std::string::npos) << "nothing read";
        }
    }
}

// Files that are no parts' files at all (an image, a PDF, a DWG drawing, an archive; the rest of
// each random bytes) are named in the part rows with what they are, as a run names them, and
// the good file sent with them is still read.
TEST(ServerTest, FilesThatAreNoPartsFilesAreNamedWithWhatTheyAre) {
    const Running server;
    httplib::Client client = server.client();
    const std::vector<std::tuple<std::string, std::string, std::string>> foreign{
        {"photo.png", "\x89PNG\r\n\x1a\n", "a PNG image"},
        {"drawing.txt", "%PDF-1.7\n", "a PDF document"},
        {"bracket.dwg", "AC1027", "a DWG drawing"},
        {"parts.csv", std::string("PK\x03\x04", 4), "a ZIP archive"}};
    std::mt19937 random(7);
    httplib::MultipartFormDataItems files{
        {"files", readFile(kWorkshop), "workshop_parts.txt", "text/plain"}};
    for (const auto& [name, head, kind] : foreign) {
        std::string content = head;
        for (int i = 0; i < 200; ++i) content += static_cast<char>(random() % 256);
        files.push_back({"files", content, name, "application/octet-stream"});
    }
    const auto rows = client.Post("/api/parts", files);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->status, 200) << rows->body;
    const Json described = Json::parse(rows->body)["files"];
    ASSERT_EQ(described.size(), foreign.size() + 1);
    EXPECT_EQ(described[0]["parts"].size(), 7u);
    for (std::size_t f = 0; f < foreign.size(); ++f) {
        const auto& [name, head, kind] = foreign[f];
        const std::string why = described[f + 1].value("error", "");
        EXPECT_TRUE(why.starts_with(name + ": " + kind)) << name << ": " << why;
        EXPECT_TRUE(described[f + 1]["parts"].empty());
    }
}

}  // namespace
}  // namespace blocknest
