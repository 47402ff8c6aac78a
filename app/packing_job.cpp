#include "app/packing_job.hpp"

#include <chrono>
#include <cstdio>
#include <variant>

#include "base/number_format.hpp"
#include "input/job_loader.hpp"
#include "input/job_preparation.hpp"
#include "output/atomic_file.hpp"
#include "output/dxf_writer.hpp"
#include "output/report_writer.hpp"
#include "packing/packer.hpp"

namespace blocknest {

std::optional<InputError> PackingJob::loadAndPrepare(const std::string& path) {
    std::variant<PreparedJob, InputError> prepared = blocknest::loadAndPrepare(path);
    if (auto* error = std::get_if<InputError>(&prepared)) return std::move(*error);
    PreparedJob& job = std::get<PreparedJob>(prepared);
    parts_ = std::move(job.parts);
    partCount_ = job.partCount;
    sheet_ = std::move(job.sheet);
    readWarningCount_ = job.warningCount;
    return std::nullopt;
}

std::optional<InputError> PackingJob::loadAndPrepare(const std::vector<InputFile>& files,
                                                     const InputSettings& settings) {
    std::variant<LoadedJob, InputError> loaded = loadJob(files, settings);
    if (auto* error = std::get_if<InputError>(&loaded)) return std::move(*error);
    LoadedJob& job = std::get<LoadedJob>(loaded);
    parts_ = std::move(job.prepared.parts);
    partCount_ = job.prepared.partCount;
    sheet_ = std::move(job.prepared.sheet);
    items_ = std::move(job.items);
    inputNotes_ = std::move(job.notes);
    readWarningCount_ = job.doubtfulLines;
    insUnits_ = job.insUnits;
    return std::nullopt;
}

void PackingJob::packAllParts(Console& console, bool showProgress) {
    const auto start = std::chrono::steady_clock::now();
    timingText_ = blocknest::packAllParts(parts_, sheet_, rotationCount_, console, showProgress);
    packingSeconds_ =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

namespace {

// The finer grids a search also packs on, as fractions of the derived block side.
constexpr double kFinerGrids[] = {0.7, 0.5, 0.35};
// Every search thread holds a copy of each grid: 8 MiB at most for one.
constexpr std::int64_t kMaxSearchGridCells = std::int64_t{1} << 26;

std::string searchProgressLine(const SearchProgress& progress, const SearchOptions& options,
                               double sheetWidth) {
    char budget[64];
    if (options.timeLimit > 0) {
        std::snprintf(budget, sizeof budget, "%.1f / %.1f s", progress.elapsed, options.timeLimit);
    } else {
        std::snprintf(budget, sizeof budget, "%.1f s", progress.elapsed);
    }
    char line[200];
    std::snprintf(line, sizeof line,
                  "Searching: %s, %lld layouts, best packed length %s, density %.2f%%", budget,
                  static_cast<long long>(progress.evaluations),
                  formatNumber(progress.best.length).c_str(),
                  100 * progress.best.area / (progress.best.length * sheetWidth));
    return line;
}

}  // namespace

void PackingJob::searchForLayout(const SearchOptions& options, Console& console,
                                 SearchDisplay display) {
    const auto start = std::chrono::steady_clock::now();
    console.write(Message::packingStarted);
    console.write("\n");
    console.write("Part Number:" + std::to_string(partCount_) + "\n");
    std::vector<double> finer;
    for (double fraction : kFinerGrids) {
        const double side = sheet_.blockSideLength * fraction;
        if (sheetGridSize(sheet_.length, sheet_.width, side, kMaxSearchGridCells)) {
            finer.push_back(side);
        }
    }
    const SearchInstance instance = makeSearchInstance(parts_, sheet_, rotationCount_, finer);
    auto last = std::chrono::steady_clock::now() - std::chrono::hours(1);
    std::size_t shown = 0;
    std::string shownLength;
    int shownUnplaced = -1;
    const SearchOutcome outcome = searchLayout(instance, options, [&](const SearchProgress& p) {
        // A line of its own only when the packed length shown changes, not for each tie broken.
        if (display == SearchDisplay::improvements && p.improved &&
            (formatNumber(p.best.length) != shownLength || p.best.unplaced != shownUnplaced)) {
            shownLength = formatNumber(p.best.length);
            shownUnplaced = p.best.unplaced;
            console.write(searchProgressLine(p, options, sheet_.width) + "\n");
        } else if (display == SearchDisplay::liveLine) {
            const auto now = std::chrono::steady_clock::now();
            if (!p.improved && now - last < std::chrono::milliseconds(200)) return;
            last = now;
            std::string line = searchProgressLine(p, options, sheet_.width);
            const std::size_t length = line.size();
            if (length < shown) line.append(shown - length, ' ');
            shown = length;
            console.write("\r" + line);
        }
    });
    DecoderMemory memory;
    (void)decodeLayout(instance, outcome.best, memory, &parts_);
    console.write(display == SearchDisplay::liveLine ? "\nPacking Completed."
                                                     : "Packing Completed.");
    const std::chrono::duration<long double> elapsed = std::chrono::steady_clock::now() - start;
    timingText_ = blocknest::timingText(elapsed.count());
    packingSeconds_ = static_cast<double>(elapsed.count());
    console.write(timingText_);
}

void PackingJob::computeStatistics() {
    statistics_ = blocknest::computeStatistics(parts_, sheet_.length, sheet_.width);
}

std::optional<std::string> PackingJob::writeLayoutDxf(const std::filesystem::path& directory,
                                                      OutputSet& outputs) const {
    return outputs.stage(
        directory / kLayoutFileName,
        formatLayoutDxf(parts_, sheet_.length, sheet_.width, statistics_.packedLength));
}

std::optional<std::string> PackingJob::writeReport(const std::filesystem::path& directory,
                                                   OutputSet& outputs) const {
    return outputs.stage(directory / kReportFileName, formatReport(statistics_, timingText_));
}

}  // namespace blocknest

namespace blocknest {

std::optional<std::string> PackingJob::writePlacementJson(const std::filesystem::path& file,
                                                          PlacementRun run,
                                                          OutputSet& outputs) const {
    run.sheetLength = sheet_.length;
    run.sheetWidth = sheet_.width;
    run.rotationCount = rotationCount_;
    run.runSeconds = packingSeconds_;
    return outputs.stage(file, formatPlacementJson(parts_, items_, statistics_, run));
}

}  // namespace blocknest
