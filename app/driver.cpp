#include "app/driver.hpp"

#include <sstream>

#include "app/packing_job.hpp"

namespace blocknest {
namespace {

// The stream's default form: six significant digits, no trailing zeros (15, 7.5, 2.25).
std::string formatDefault(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

void reportInputError(const InputError& error, Console& console) {
    if (error.showReadWarning) console.warn(Message::partFileReadFailed);
    if (!error.detail.empty()) console.error(error.detail);
}

}  // namespace

std::string choosePartFile(const Options& options, Console& console, std::istream& in) {
    if (options.partFile) return *options.partFile;
    console.write(std::string(kDialogTitle) + "\n");
    std::string path;
    if (!std::getline(in, path)) path.clear();
    if (!path.empty() && path.back() == '\r') path.pop_back();
    if (path.empty()) console.warn(Message::fileOpenFailed);
    return path;
}

int runBlocknest(const Options& options, Console& console, std::istream& in) {
    PackingJob job;
    job.setRotationCount(2);
    const std::string path = choosePartFile(options, console, in);
    if (std::optional<InputError> error = job.loadAndPrepare(path)) {
        reportInputError(*error, console);
        return 1;
    }
    console.write("Packing Block Side Length = " + formatDefault(job.blockSideLength()) + "\n");
    console.write("Part Rotation Number = " + std::to_string(job.rotationCount()) + "\n");
    job.packAllParts(console);
    job.computeStatistics();
    const std::filesystem::path directory;  // the current directory
    if (std::optional<std::string> failure = job.writeLayoutDxf(directory)) {
        console.warn(Message::layoutWriteFailed);
        console.error("blocknest: " + *failure);
        return 1;
    }
    if (std::optional<std::string> failure = job.writeReport(directory)) {
        console.error("report file open error!");
        console.error("blocknest: " + *failure);
        return 1;
    }
    console.pause();
    return 0;
}

}  // namespace blocknest
