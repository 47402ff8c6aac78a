#include "job/job_outputs.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>

#include "base/fatal_error.hpp"
#include "base/number_format.hpp"
#include "base/text.hpp"
#include "input/dxf_part_reader.hpp"
#include "job/output_plan.hpp"
#include "job/packing_job.hpp"
#include "job/part_shapes.hpp"
#include "output/atomic_file.hpp"
#include "output/cut_files.hpp"
#include "output/cut_labels.hpp"
#include "output/dxf_writer.hpp"
#include "output/job_sheet.hpp"
#include "output/json_writer.hpp"
#include "output/report_writer.hpp"
#include "output/statistics.hpp"
#include "output/svg_writer.hpp"
#include "packing/packer.hpp"
#include "stock/cost_bound.hpp"
#include "stock/sheet_drawing.hpp"
#include "stock/stock_list.hpp"
#include "stock/stock_out.hpp"

namespace blocknest {
namespace {
// The tests of signals that land between a search and its commit hold the run there for the
// milliseconds BLOCKNEST_HOLD_BEFORE_COMMIT_MS names, and say so on standard error when the hold
// begins, so that they need not guess when it does.
void holdBeforeCommit() {
    const char* hold = std::getenv("BLOCKNEST_HOLD_BEFORE_COMMIT_MS");
    if (hold == nullptr) return;
    const long milliseconds = std::strtol(hold, nullptr, 10);
    if (milliseconds > 0 && milliseconds <= 60'000) {
        std::fprintf(stderr, "blocknest: held before the commit for %ld ms\n", milliseconds);
        std::fflush(stderr);
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}
// The stock list after the job: each kind less the sheets used of it, the drawn kinds by the
// drawings the stock list named (in its order), and the remnant written, one of it.
std::string stockLeft(const PackingJob& job, const JobDescription& options,
                      const std::vector<std::string>& stockDrawings) {
    std::vector<StockLeft> left;
    const std::vector<int> used = job.stockUsed();
    std::size_t drawing = 0;
    for (std::size_t k = 0; k < job.stock().size(); ++k) {
        StockLeft kind{job.stock()[k], std::nullopt, job.stock()[k].count - used[k]};
        if (kind.kind.drawn() && drawing < stockDrawings.size()) {
            kind.drawing = stockDrawings[drawing++];
        }
        left.push_back(std::move(kind));
    }
    if (options.remnantDxf) {
        const std::string name = std::filesystem::path(*options.remnantDxf).stem().string();
        if (std::optional<Remnant> remnant = job.remnant(options.spacing, name)) {
            left.push_back({remnant->kind, *options.remnantDxf, 1});
        }
    }
    return formatStockList(left, *options.stockOutFile);
}

// The report's line on the remnant, when one is asked for and left.
std::string remnantLine(const PackingJob& job, const JobDescription& options) {
    if (!options.remnantDxf) return {};
    const std::string name = std::filesystem::path(*options.remnantDxf).stem().string();
    const std::optional<Remnant> remnant = job.remnant(options.spacing, name);
    if (!remnant) return {};
    std::string line = remnantRecord(*remnant, job.remnantSheetNumber());
    line[0] = 'R';
    return line + "\n";
}

// The remnant the stock list after the job takes back, worth its share of its sheet's cost:
// the job is not charged for it, the job that uses it next is.
std::optional<RemnantCredit> remnantCreditOf(const PackingJob& job, const JobDescription& options) {
    if (!options.stockOutFile || !options.remnantDxf || !job.usesStock()) return std::nullopt;
    const std::string name = std::filesystem::path(*options.remnantDxf).stem().string();
    const std::optional<Remnant> remnant = job.remnant(options.spacing, name);
    if (!remnant) return std::nullopt;
    return RemnantCredit{remnantId(*remnant), remnant->kind.cost};
}

// With a stock: the remnant given back and the least the stock's sheets could cost for the
// area of the parts placed.
JobCosts jobCostsOf(const PackingJob& job, const JobDescription& options) {
    JobCosts costs;
    costs.credit = remnantCreditOf(job, options);
    if (!job.usesStock()) return costs;
    double area = 0;
    for (const SheetLayout& sheet : job.sheets()) {
        for (const Part& part : sheet.parts) area += part.netArea();
    }
    costs.sheetsCostAtLeast = leastSheetsCost(job.stock(), area);
    return costs;
}

// With a job sheet asked for: its figures per distinct sheet; none otherwise.
std::vector<JobSheetFigures> jobSheetOf(const PackingJob& job, const JobDescription& options);

// The one sheet of a job packed on one: the parts on it, as a sheet of several would hold them.
SheetLayout oneSheetLayout(const PackingJob& job) {
    SheetLayout sheet;
    for (const Part& part : job.parts()) {
        if (liesOnSheet(part, job.sheetLength(), job.sheetWidth())) sheet.parts.pushBack(part);
    }
    sheet.statistics = job.statistics();
    sheet.shape = job.sheetShape();
    return sheet;
}

std::vector<JobSheetFigures> jobSheetOf(const PackingJob& job, const JobDescription& options) {
    if (!options.jobSheetFile) return {};
    return job.severalSheets()
               ? jobSheetFigures(job.sheets(), job.items(), job.sheetLength(), job.sheetWidth())
               : jobSheetFigures({oneSheetLayout(job)}, job.items(), job.sheetLength(),
                                 job.sheetWidth());
}

PartList partsOffTheSheet(const PackingJob& job) {
    PartList off;
    for (const Part& part : job.parts()) {
        if (!liesOnSheet(part, job.sheetLength(), job.sheetWidth())) off.pushBack(part);
    }
    return off;
}

}  // namespace

// Where the output files go; an output directory that is asked for is created up front.
std::optional<std::filesystem::path> prepareOutputDir(const JobDescription& options,
                                                      Console& console) {
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

// The picture's folder is made as the output directory is.
std::optional<std::string> preparePictureFolder(const JobDescription& options) {
    if (!options.svgFile) return std::nullopt;
    const std::filesystem::path svg(*options.svgFile);
    std::error_code error;
    if (svg.has_parent_path()) std::filesystem::create_directories(svg.parent_path(), error);
    if (error) {
        return "cannot use the folder of the picture '" + svg.string() + "': " + error.message();
    }
    return std::nullopt;
}

// Stages every output the description asks for and commits them together; returns the exit
// code: 0, or 1 when one could not be written (then no old one is replaced).
int writeOutputs(const PackingJob& job, const JobDescription& options,
                 const std::filesystem::path& directory,
                 const std::vector<std::string>& stockDrawings, Console& console) {
    const std::vector<InputFile>& files = options.files;
    // Every output is written in full before any old one is replaced.
    OutputSet outputs;
    if (!options.writeLayout) {
    } else if (std::optional<std::string> failure = job.writeLayoutDxf(directory, outputs)) {
        console.warn(Message::layoutWriteFailed);
        console.error("blocknest: " + *failure);
        return 1;
    } else if (std::optional<std::string> failure = job.writeReport(
                   directory, outputs,
                   remnantLine(job, options) + (options.jobSheetFile
                                                    ? formatJobSheetLines(jobSheetOf(job, options),
                                                                          jobCostsOf(job, options))
                                                    : std::string()))) {
        console.error("report file open error!");
        console.error("blocknest: " + *failure);
        return 1;
    }
    if (options.svgFile) {
        const std::optional<std::string> svg =
            job.severalSheets()
                ? formatSheetsSvg(job.sheets(), job.partsOnNoSheet(), job.sheetLength(),
                                  job.sheetWidth(), job.statistics())
                : formatLayoutSvg(job.parts(), job.sheetLength(), job.sheetWidth(),
                                  job.statistics(), job.sheetShape());
        if (!svg) {
            console.error("blocknest: the picture '" + *options.svgFile +
                          "' is left out: its coordinates are too large to draw" +
                          (std::filesystem::exists(*options.svgFile)
                               ? "; the picture of an earlier run there is removed"
                               : ""));
            outputs.stageRemoval(*options.svgFile);
        } else if (std::optional<std::string> failure = outputs.stage(*options.svgFile, *svg)) {
            console.error("blocknest: " + *failure);
            return 1;
        }
    }
    if (options.jsonFile) {
        PlacementRun run;
        run.name = files.empty() ? std::string("parts")
                                 : std::filesystem::path(files.front().path).stem().string();
        for (const InputFile& file : files) run.inputFiles.push_back(file.path);
        run.jobSheet = jobSheetOf(job, options);
        if (!run.jobSheet.empty()) run.costs = jobCostsOf(job, options);
        if (std::optional<std::string> failure =
                job.writePlacementJson(*options.jsonFile, std::move(run), outputs)) {
            console.error("blocknest: " + *failure);
            return 1;
        }
    }
    if (options.camFile) {
        CamDrawingSettings cam{job.insUnits(), options.camLayers, options.camLabels, job.items(),
                               std::nullopt};
        if (options.remnantCut) {
            if (const std::optional<Remnant> remnant = job.remnant(options.spacing, "remnant")) {
                cam.remnantCutAt = remnant->cutAt;
            }
        }
        std::vector<const PartList*> sheets{&job.parts()};
        std::vector<const SheetShape*> shapes{&job.sheetShape()};
        std::vector<std::string> kinds;
        if (job.severalSheets()) {
            sheets.clear();
            shapes.clear();
            for (const SheetLayout& sheet : job.sheets()) {
                sheets.push_back(&sheet.parts);
                shapes.push_back(&sheet.shape);
                kinds.push_back(sheet.kind);
            }
            if (sheets.empty()) {
                console.error("blocknest: no part lies on a sheet: no drawing for cutting '" +
                              *options.camFile + "' is written");
            }
        }
        std::vector<std::filesystem::path> stale =
            otherFormCutFiles(*options.camFile, job.severalSheets());
        for (const std::filesystem::path& file : stale) outputs.stageRemoval(file);
        std::size_t unlabelled = 0;
        if (std::optional<std::string> failure =
                stageCutFiles(*options.camFile, sheets, job.severalSheets(), job.sheetLength(),
                              job.sheetWidth(), cam, outputs, shapes, kinds, &unlabelled, &stale)) {
            console.error("blocknest: " + *failure);
            return 1;
        }
        if (!stale.empty()) {
            std::string names;
            for (const std::filesystem::path& file : stale) {
                names += (names.empty() ? "'" : ", '") + file.string() + "'";
            }
            console.error("blocknest: the drawings for cutting " + names +
                          " of an earlier run are removed with the new ones written");
        }
        if (unlabelled > 0) {
            console.error("blocknest: " + std::to_string(unlabelled) +
                          (unlabelled == 1 ? " label" : " labels") +
                          " left out: parts too small (a label is at least " +
                          formatNumber(leastLabelHeight(cam.insUnits)) +
                          (insUnitsSymbol(cam.insUnits).empty()
                               ? std::string(" drawing units")
                               : " " + std::string(insUnitsSymbol(cam.insUnits))) +
                          " high)");
        }
    }
    if (options.remnantDxf) {
        const std::string& file = *options.remnantDxf;
        const std::string name = std::filesystem::path(file).stem().string();
        if (std::optional<Remnant> remnant = job.remnant(options.spacing, name)) {
            if (remnant->piecesLeftOut > 0) {
                console.error("blocknest: the remnant '" + file + "' is the largest of " +
                              std::to_string(remnant->piecesLeftOut + 1) +
                              " pieces the cut leaves; the others are not written");
            }
            if (std::optional<std::string> failure = outputs.stage(
                    file, formatRemnantDxf(*remnant, job.insUnits(), job.remnantSheetNumber()))) {
                console.error("blocknest: " + *failure);
                return 1;
            }
        } else {
            console.error("blocknest: no remnant is written to '" + file +
                          "': the last sheet is used to its end" +
                          (std::filesystem::exists(file)
                               ? "; the remnant of an earlier run there is removed"
                               : ""));
            outputs.stageRemoval(file);
        }
    }
    if (options.jobSheetFile) {
        const std::string title = files.empty()
                                      ? std::string("parts")
                                      : std::filesystem::path(files.front().path).stem().string();
        const std::string units =
            job.insUnits() != 0 ? std::string(insUnitsSymbol(job.insUnits())) : std::string();
        const std::string page =
            job.severalSheets()
                ? formatJobSheet(title, job.sheets(), job.partsOnNoSheet(), job.items(),
                                 job.sheetLength(), job.sheetWidth(), units,
                                 jobCostsOf(job, options))
                : formatJobSheet(title, {oneSheetLayout(job)}, partsOffTheSheet(job), job.items(),
                                 job.sheetLength(), job.sheetWidth(), units);
        if (std::optional<std::string> failure = outputs.stage(*options.jobSheetFile, page)) {
            console.error("blocknest: " + *failure);
            return 1;
        }
    }
    if (options.stockOutFile) {
        if (std::optional<std::string> failure =
                outputs.stage(*options.stockOutFile, stockLeft(job, options, stockDrawings))) {
            console.error("blocknest: " + *failure);
            return 1;
        }
    }
    holdBeforeCommit();
    if (std::optional<std::string> failure = outputs.commit()) {
        console.error("blocknest: " + *failure);
        return 1;
    }
    return 0;
}

}  // namespace blocknest
