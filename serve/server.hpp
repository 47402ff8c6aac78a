#pragma once  // serve/server.hpp: the job in a browser, served by the program itself
#include <atomic>
#include <cstdint>
#include <string>

namespace blocknest {

// Where the page is served and what a job may ask for.
struct ServeOptions {
    std::string host = "127.0.0.1";
    int port = 8080;                                       // 0: any free port
    std::int64_t maxUploadBytes = std::int64_t{64} << 20;  // one request's body
    int maxFiles = 50;                                     // files in one job
    std::int64_t maxParts = 20000;                         // copies the rows may ask for
    double maxSeconds = 600;                               // a job's time budget
    int maxRunning = 2;                                    // jobs packing at once; the others wait
    int threadsPerJob = 2;                                 // search threads of one job
};

// Serves the page and its API until stop is set (checked every few tenths of a second): jobs
// are made of uploaded files only, each in a folder of its own that is removed when the job
// is deleted, after ten idle minutes, or when the server stops. bound receives the port
// listened on. Returns why the server could not start, or an empty string.
[[nodiscard]] std::string serve(const ServeOptions& options, const std::atomic<bool>& stop,
                                std::atomic<int>& bound);

}  // namespace blocknest
