#include "app/driver.hpp"

#include <unistd.h>

#include <filesystem>
#include <optional>
#include <system_error>

#include "app/interrupt.hpp"
#include "job/job.hpp"

namespace blocknest {

std::string choosePartFile(const Options& options, Console& console, std::istream& in) {
    if (!options.files.empty()) return options.files.front().path;
    console.write(std::string(kDialogTitle) + "\n");
    std::string path;
    if (!std::getline(in, path)) path.clear();
    if (!path.empty() && path.back() == '\r') path.pop_back();
    if (path.empty()) console.warn(Message::fileOpenFailed);
    // Dropping a file on a terminal pastes its path in quotes; a file named with the quotes
    // still wins.
    std::error_code error;
    if (path.size() >= 2 && (path.front() == '\'' || path.front() == '"') &&
        path.back() == path.front() && !std::filesystem::exists(path, error) &&
        std::filesystem::exists(path.substr(1, path.size() - 2), error)) {
        return path.substr(1, path.size() - 2);
    }
    return path;
}

int runBlocknest(const Options& options, Console& console, std::istream& in) {
    JobDescription job = options;
    if (job.files.empty())
        job.files.push_back({choosePartFile(options, console, in), std::nullopt});
    // A search's signals are caught until its layout is committed: a signal that comes after
    // the search's budget has run out still finds the layout written in full.
    std::optional<InterruptToStop> interrupt;
    if (searchRequested(job)) interrupt.emplace();
    JobControl control;
    control.liveProgress = isatty(STDOUT_FILENO) != 0;
    if (interrupt) {
        control.stop = &interrupt->stopFlag();
        control.stopCause = [&interrupt] { return interrupt->cause(); };
    }
    const JobResult result = runJob(job, console, control);
    interrupt.reset();
    if (result.exitCode == 0) console.pause();
    return result.exitCode;
}

}  // namespace blocknest
