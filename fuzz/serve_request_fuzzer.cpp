// libFuzzer entry: a page's job request without a socket. The input's first line is the
// settings field, the lines after it the names the browser sent for the uploads (the first a
// part data file, the others drawings for a stock table). Every request is either refused
// with a reason or makes a job whose inputs lie in the job's own folder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "serve/job_request.hpp"
#include "serve/server.hpp"

namespace {

const std::filesystem::path& folder() {
    static const std::filesystem::path path = [] {
        const std::filesystem::path made =
            std::filesystem::temp_directory_path() / "blocknest-request-fuzz";
        std::filesystem::create_directories(made / "in");
        std::ofstream(made / "in" / "parts.txt")
            << "SheetLength: 100\nSheetWidth: 50\nPartTypeCount: 1\nPart\nName\nsquare\n"
               "Quantity\n2\nVertexNumber\n4\nVertex\n0 0\n10 0\n10 10\n0 10\n";
        return made;
    }();
    return path;
}

[[noreturn]] void fault(const std::string& what) {
    std::fprintf(stderr, "request fault: %s\n", what.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t end = input.find('\n');
    const nlohmann::json settings = nlohmann::json::parse(input.substr(0, end), nullptr, false);
    if (settings.is_discarded() || !settings.is_object()) return 0;  // refused before
    blocknest::JobUploads uploads;
    uploads.parts.push_back("parts.txt");
    for (std::size_t at = end; at != std::string_view::npos && at < input.size();) {
        const std::size_t next = input.find('\n', at + 1);
        const std::string sent(input.substr(
            at + 1, next == std::string_view::npos ? std::string_view::npos : next - at - 1));
        const std::string name = blocknest::safeName(sent);
        if (name.empty() || name == "." || name == ".." ||
            name.find_first_of("/\\") != std::string::npos || name.size() > 100) {
            fault("unsafe name \"" + name + "\" from \"" + sent + "\"");
        }
        uploads.stockFiles.push_back(name);
        at = next;
    }
    blocknest::JobDescription job;
    std::optional<std::string> why;
    try {
        why = blocknest::describeJob(settings, uploads, folder() / "in", folder() / "out",
                                     blocknest::ServeOptions{}, job);
    } catch (const std::exception&) {
        return 0;  // answered 400 by the server
    }
    if (why) {
        if (why->empty()) fault("a refusal without a reason");
        return 0;
    }
    const std::string inputs = (folder() / "in").string() + "/";
    for (const blocknest::InputFile& file : job.files) {
        if (!file.path.starts_with(inputs)) fault("an input outside the job: " + file.path);
    }
    if (job.stockFile && !job.stockFile->starts_with(inputs)) fault("a stock outside the job");
    if (job.timeLimit && *job.timeLimit > blocknest::ServeOptions{}.maxSeconds) {
        fault("a time budget over the limit");
    }
    return 0;
}
