#include "app/driver.hpp"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

#include "app/packing_job.hpp"
#include "base/number_format.hpp"
#include "output/atomic_file.hpp"
#include "output/dxf_cam_writer.hpp"
#include "output/statistics.hpp"
#include "output/svg_writer.hpp"

namespace blocknest {
namespace {

constexpr std::size_t kMaxNamesInSummary = 10;

void reportInputError(const InputError& error, Console& console) {
    if (error.showReadWarning) console.warn(Message::partFileReadFailed);
    if (!error.detail.empty()) console.error(error.detail);
}

// Where the output files go; an output directory that is asked for is created up front.
std::optional<std::filesystem::path> prepareOutputDir(const Options& options, Console& console) {
    if (!options.outputDir) return std::filesystem::path();
    const std::filesystem::path dir(*options.outputDir);
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error || !std::filesystem::is_directory(dir)) {
        const std::string why = error ? error.message() : "it is not a directory";
        console.error("blocknest: cannot use the output directory '" + dir.string() + "': " + why);
        return std::nullopt;
    }
    return dir;
}

}  // namespace

std::string choosePartFile(const Options& options, Console& console, std::istream& in) {
    if (!options.files.empty()) return options.files.front().path;
    console.write(std::string(kDialogTitle) + "\n");
    std::string path;
    if (!std::getline(in, path)) path.clear();
    if (!path.empty() && path.back() == '\r') path.pop_back();
    if (path.empty()) console.warn(Message::fileOpenFailed);
    return path;
}

std::optional<std::string> notFittedSummary(const PartList& parts, double sheetLength,
                                            double sheetWidth) {
    // Names grouped in order of first appearance, with their counts.
    std::vector<std::pair<std::string, int>> groups;
    int missing = 0;
    for (const Part& part : parts) {
        if (liesOnSheet(part, sheetLength, sheetWidth)) continue;
        ++missing;
        auto it = std::find_if(groups.begin(), groups.end(),
                               [&](const auto& g) { return g.first == part.name(); });
        if (it == groups.end()) {
            groups.emplace_back(part.name(), 1);
        } else {
            ++it->second;
        }
    }
    if (missing == 0) return std::nullopt;
    std::string line = "blocknest: " + std::to_string(missing) + " of " +
                       std::to_string(parts.count()) + " part" + (parts.count() == 1 ? "" : "s") +
                       " did not fit on the sheet: ";
    int listed = 0;
    for (std::size_t i = 0; i < groups.size() && i < kMaxNamesInSummary; ++i) {
        if (i > 0) line += ", ";
        line += "\"" + groups[i].first + "\"";
        if (groups[i].second > 1) line += " x" + std::to_string(groups[i].second);
        listed += groups[i].second;
    }
    if (listed < missing) line += ", and " + std::to_string(missing - listed) + " more";
    return line;
}

int runBlocknest(const Options& options, Console& console, std::istream& in) {
    const std::optional<std::filesystem::path> directory = prepareOutputDir(options, console);
    if (!directory) return 1;
    PackingJob job;
    job.setRotationCount(options.rotations);
    job.setSheetCount(options.sheets);
    job.setMirror(options.mirror);
    std::vector<InputFile> files = options.files;
    if (files.empty()) files.push_back({choosePartFile(options, console, in), std::nullopt});
    InputSettings settings;
    settings.sheet = options.sheet;
    settings.defaultCopies = options.copies;
    settings.dxf.tolerance = options.tolerance;
    settings.dxf.targetUnits = options.units;
    if (std::optional<InputError> error = job.loadAndPrepare(files, settings)) {
        reportInputError(*error, console);
        return error->commandLine ? 2 : 1;
    }
    for (const std::string& note : job.inputNotes()) console.error(note);
    console.write("Packing Block Side Length = " + formatNumber(job.blockSideLength()) + "\n");
    console.write("Part Rotation Number = " + std::to_string(job.rotationCount()) + "\n");
    const Clearance clearance{options.spacing, options.margin};
    const std::string& source = files.front().path;  // names the job in messages
    if (searchRequested(options)) {
        SearchOptions search;
        search.timeLimit = options.timeLimit.value_or(0);
        search.evaluations = options.evaluations.value_or(0);
        search.seed = options.seed;
        search.threads = options.threads > 0
                             ? options.threads
                             : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
        const auto display = options.quiet           ? PackingJob::SearchDisplay::none
                             : isatty(STDOUT_FILENO) ? PackingJob::SearchDisplay::liveLine
                                                     : PackingJob::SearchDisplay::improvements;
        if (std::optional<std::string> why =
                job.searchForLayout(search, console, display, clearance)) {
            console.error("blocknest: " + source + ": " + *why);
            return 1;
        }
    } else if (!clearance.any() && !job.severalSheets() && !job.mirror()) {
        job.packAllParts(console, !options.quiet);
    } else if (std::optional<std::string> why =
                   job.packLayout(clearance, console, !options.quiet)) {
        console.error("blocknest: " + source + ": " + *why);
        return 1;
    }
    job.computeStatistics();
    if (std::optional<std::string> failure = job.writeLayoutDxf(*directory)) {
        console.warn(Message::layoutWriteFailed);
        console.error("blocknest: " + *failure);
        return 1;
    }
    if (std::optional<std::string> failure = job.writeReport(*directory)) {
        console.error("report file open error!");
        console.error("blocknest: " + *failure);
        return 1;
    }
    if (options.svgFile) {
        const std::string svg =
            job.severalSheets()
                ? formatSheetsSvg(job.sheets(), job.partsOnNoSheet(), job.sheetLength(),
                                  job.sheetWidth(), job.statistics())
                : formatLayoutSvg(job.parts(), job.sheetLength(), job.sheetWidth(),
                                  job.statistics());
        if (std::optional<std::string> failure = replaceFile(*options.svgFile, svg)) {
            console.error("blocknest: " + *failure);
            return 1;
        }
    }
    for (const std::string& name : job.partsTooLarge()) {
        console.error("blocknest: " + source + ": the part \"" + name +
                      "\" is larger than the sheet: it fits no empty sheet in any of its "
                      "orientations");
    }
    if (options.jsonFile) {
        PlacementRun run;
        run.name = std::filesystem::path(files.front().path).stem().string();
        for (const InputFile& file : files) run.inputFiles.push_back(file.path);
        if (std::optional<std::string> failure =
                job.writePlacementJson(*options.jsonFile, std::move(run))) {
            console.error("blocknest: " + *failure);
            return 1;
        }
    }
    if (options.camFile) {
        const CamDrawingSettings cam{job.insUnits(), options.camLayers};
        if (std::optional<std::string> failure = writeCamDxf(
                *options.camFile, job.parts(), job.sheetLength(), job.sheetWidth(), cam)) {
            console.error("blocknest: " + *failure);
            return 1;
        }
    }
    if (std::optional<std::string> summary =
            notFittedSummary(job.parts(), job.sheetLength(), job.sheetWidth())) {
        console.error(*summary);
    }
    console.pause();
    return 0;
}

}  // namespace blocknest
