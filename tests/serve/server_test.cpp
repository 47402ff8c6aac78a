// The page's server through its HTTP API, with httplib's client: jobs from uploads, their
// results and files, Stop, several clients at once, and requests that must be refused with a
// reason without taking the server down; the job folders gone afterwards.
#include "serve/server.hpp"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

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

std::vector<std::filesystem::path> jobFolders() {
    std::vector<std::filesystem::path> folders;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
        if (entry.path().filename().string().starts_with("blocknest-job-"))
            folders.push_back(entry.path());
    }
    return folders;
}

TEST(ServerTest, AJobFromUploadsGivesItsLayoutFiguresAndFiles) {
    const auto before = jobFolders();
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
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
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

}  // namespace
}  // namespace blocknest
