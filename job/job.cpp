#include "job/job.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
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
#include "output/dxf_writer.hpp"
#include "output/job_sheet.hpp"
#include "output/json_writer.hpp"
#include "output/report_writer.hpp"
#include "output/statistics.hpp"
#include "output/svg_writer.hpp"
#include "packing/packer.hpp"
#include "stock/sheet_drawing.hpp"
#include "stock/stock_list.hpp"
#include "stock/stock_out.hpp"

namespace blocknest {

// A job that has run: its layout, what it was asked, and what its stock list named.
struct FinishedJob {
    PackingJob job;
    JobDescription description;
    std::vector<std::string> stockDrawings;
};

namespace {

JobResult failed(int exitCode) {
    JobResult result;
    result.exitCode = exitCode;
    return result;
}

bool stopAsked(const JobControl& control) {
    return control.stop != nullptr && control.stop->load();
}

std::string stopCause(const JobControl& control) {
    return control.stopCause ? control.stopCause() : std::string("a stop request");
}

constexpr std::size_t kMaxNamesInSummary = 10;

const char* reasonText(LeftOffReason reason) {
    static constexpr const char* kReasons[] = {"no area", "self-crossing outline",
                                               "larger than the sheet", "no room left"};
    return kReasons[static_cast<int>(reason)];
}

void reportInputError(const InputError& error, Console& console) {
    for (const std::string& note : error.notes) console.error(note);
    if (error.showReadWarning) console.warn(Message::partFileReadFailed);
    if (!error.detail.empty()) console.error(error.detail);
}

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

// The tests of signals that land between a search and its commit hold the run there for the
// milliseconds BLOCKNEST_HOLD_BEFORE_COMMIT_MS names.
void holdBeforeCommit() {
    const char* hold = std::getenv("BLOCKNEST_HOLD_BEFORE_COMMIT_MS");
    if (hold == nullptr) return;
    const long milliseconds = std::strtol(hold, nullptr, 10);
    if (milliseconds > 0 && milliseconds <= 60'000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

// One line naming how many of the parts did not fit on the sheet and which (at most ten
// names, with their counts), or nothing when every part lies on the sheet.
std::optional<std::string> notFittedSummary(const PartList& parts, double sheetLength,
                                            double sheetWidth) {
    // Names grouped with their reason in order of first appearance, with their counts. The
    // reason of a part is worked out once for all parts of the same name and shape.
    struct Group {
        std::string name;
        int vertices;
        double area;
        LeftOffReason reason;
        int count;
        BoundingBox box;
    };
    std::vector<Group> groups;
    int missing = 0;
    for (const Part& part : parts) {
        if (liesOnSheet(part, sheetLength, sheetWidth)) continue;
        ++missing;
        auto it = std::find_if(groups.begin(), groups.end(), [&](const Group& g) {
            return g.name == part.name() && g.vertices == part.totalVertexCount() &&
                   (g.area == part.netArea() || (std::isnan(g.area) && std::isnan(part.netArea())));
        });
        if (it == groups.end()) {
            groups.push_back({part.name(), part.totalVertexCount(), part.netArea(),
                              whyLeftOff(part, sheetLength, sheetWidth), 1, part.bounds()});
        } else {
            ++it->count;
        }
    }
    if (missing == 0) return std::nullopt;
    // The sheet's size is named where a part's size is set against it.
    const bool sized = std::any_of(groups.begin(), groups.end(), [](const Group& g) {
        return g.reason == LeftOffReason::largerThanSheet;
    });
    std::string line =
        "blocknest: " + std::to_string(missing) + " of " + std::to_string(parts.count()) + " part" +
        (parts.count() == 1 ? "" : "s") + " left off the sheet" +
        (sized ? " (" + formatNumber(sheetLength) + " x " + formatNumber(sheetWidth) + ")"
               : std::string()) +
        ": ";
    int listed = 0;
    for (std::size_t i = 0; i < groups.size() && i < kMaxNamesInSummary; ++i) {
        if (i > 0) line += ", ";
        line += "\"" + printableName(groups[i].name) + "\"";
        if (groups[i].count > 1) line += " x" + std::to_string(groups[i].count);
        line += std::string(" (") + reasonText(groups[i].reason);
        if (groups[i].reason == LeftOffReason::largerThanSheet) {
            const BoundingBox& box = groups[i].box;
            line += ": " + formatNumber(box.maxX - box.minX) + " x " +
                    formatNumber(box.maxY - box.minY);
        }
        line += ")";
        listed += groups[i].count;
    }
    if (listed < missing) line += ", and " + std::to_string(missing - listed) + " more";
    return line;
}

void addPlacement(const Part& part, int sheet, const PackingJob& job,
                  std::vector<PartPlacement>& placements) {
    const Placement placed =
        placementOf(part, job.items()[static_cast<std::size_t>(part.itemIndex())]);
    const auto cornersOf = [](const Loop& loop) {
        std::vector<std::pair<double, double>> corners;
        corners.reserve(loop.vertices().size());
        for (const Vertex& v : loop.vertices()) corners.emplace_back(v.x, v.y);
        return corners;
    };
    PartPlacement placement{part.name(),
                            sheet,
                            placed.translationX,
                            placed.translationY,
                            placed.rotationDegrees,
                            placed.mirrored,
                            cornersOf(part.outerLoop()),
                            {}};
    for (const Loop& hole : part.innerLoops()) placement.holes.push_back(cornersOf(hole));
    placements.push_back(std::move(placement));
}

// Every placed part in its sheet's coordinates, and every part left off with its reason.
void describeLayout(const PackingJob& job, JobResult& result) {
    if (job.severalSheets()) {
        int number = 0;
        for (const SheetLayout& sheet : job.sheets()) {
            ++number;
            for (const Part& part : sheet.parts) addPlacement(part, number, job, result.placements);
        }
        for (const Part& part : job.partsOnNoSheet()) {
            result.leftOff.push_back(
                {part.name(), reasonText(whyLeftOff(part, job.sheetLength(), job.sheetWidth()))});
        }
        return;
    }
    for (const Part& part : job.parts()) {
        if (liesOnSheet(part, job.sheetLength(), job.sheetWidth())) {
            addPlacement(part, 1, job, result.placements);
        } else {
            result.leftOff.push_back(
                {part.name(), reasonText(whyLeftOff(part, job.sheetLength(), job.sheetWidth()))});
        }
    }
}

JobFigures figuresOf(const PackingJob& job) {
    JobFigures figures;
    const PackingStatistics& statistics = job.statistics();
    figures.packedLength = statistics.packedLength;
    figures.density =
        std::isfinite(statistics.packingDensity) ? 100 * statistics.packingDensity : 0;
    if (job.severalSheets()) {
        for (const SheetLayout& sheet : job.sheets()) figures.partsPlaced += sheet.parts.count();
        figures.partsLeftOff = job.partsOnNoSheet().count();
        figures.sheetsUsed = static_cast<int>(job.sheets().size());
    } else {
        for (const Part& part : job.parts()) {
            if (liesOnSheet(part, job.sheetLength(), job.sheetWidth())) ++figures.partsPlaced;
        }
        figures.partsLeftOff = job.parts().count() - figures.partsPlaced;
        figures.sheetsUsed = figures.partsPlaced > 0 ? 1 : 0;
    }
    return figures;
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

PartList partsOffTheSheet(const PackingJob& job) {
    PartList off;
    for (const Part& part : job.parts()) {
        if (!liesOnSheet(part, job.sheetLength(), job.sheetWidth())) off.pushBack(part);
    }
    return off;
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
    } else if (std::optional<std::string> failure =
                   job.writeReport(directory, outputs, remnantLine(job, options))) {
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
        const std::vector<std::filesystem::path> stale =
            otherFormCutFiles(*options.camFile, job.severalSheets());
        if (!stale.empty()) {
            std::string names;
            for (const std::filesystem::path& file : stale) {
                names += (names.empty() ? "'" : ", '") + file.string() + "'";
                outputs.stageRemoval(file);
            }
            console.error("blocknest: the drawings for cutting " + names +
                          " of an earlier run are removed with the new ones written");
        }
        if (std::optional<std::string> failure =
                stageCutFiles(*options.camFile, sheets, job.severalSheets(), job.sheetLength(),
                              job.sheetWidth(), cam, outputs, shapes, kinds)) {
            console.error("blocknest: " + *failure);
            return 1;
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
                                 job.sheetLength(), job.sheetWidth(), units)
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

JobResult runStages(const JobDescription& options, Console& console, const JobControl& control) {
    auto finished = std::make_shared<FinishedJob>();
    finished->description = options;
    PackingJob& job = finished->job;
    job.setRotationCount(options.rotations);
    job.setSheetCount(options.sheets);
    job.setMirror(options.mirror);
    const std::vector<InputFile>& files = options.files;
    // A budget of nothing would search for ever: the command line refuses it, and so does
    // every other front end.
    if ((options.timeLimit && !(*options.timeLimit > 0)) ||
        (options.evaluations && *options.evaluations < 1)) {
        console.error(
            "blocknest: a search needs a time limit above 0 seconds or at least one "
            "evaluation");
        return failed(2);
    }
    if (files.empty() && options.parts.empty()) {
        console.error("blocknest: the job names no file and no part to pack");
        return failed(2);
    }
    InputSettings settings;
    settings.sheet = options.sheet;
    settings.defaultCopies = options.copies;
    settings.rotationCount = options.rotations;
    settings.dxf.tolerance = options.tolerance;
    settings.dxf.join = options.join;
    settings.dxf.layers = options.layers;
    settings.dxf.skipLayers = options.skipLayers;
    settings.dxf.targetUnits = options.units;
    settings.dxf.assumedUnits = options.assumeUnits;
    // The layers chosen are the parts' drawings' own: a sheet drawing is read whole.
    DxfReadSettings sheetReading = settings.dxf;
    sheetReading.layers = {};
    sheetReading.skipLayers = {};
    // A sheet drawing or a stock list is read first: its box is the sheet the job is
    // prepared for, the largest kind's with a stock, so that parts parked beyond it lie on
    // no sheet of any kind.
    std::optional<SheetKind> drawnSheet;
    std::vector<SheetKind> stock;
    std::vector<std::string> stockDrawings;
    if (options.sheetDxf) {
        std::variant<SheetDrawing, InputError> read =
            readSheetDrawing(*options.sheetDxf, sheetReading);
        if (auto* error = std::get_if<InputError>(&read)) {
            reportInputError(*error, console);
            return failed(1);
        }
        SheetDrawing& drawing = std::get<SheetDrawing>(read);
        for (const std::string& note : drawing.notes) console.error("blocknest: " + note);
        settings.sheet = SheetSize{drawing.kind.length, drawing.kind.width};
        settings.sheetGivenBy = "--sheet-dxf " + *options.sheetDxf;
        drawnSheet = std::move(drawing.kind);
    }
    if (options.stockFile) {
        std::variant<StockList, InputError> read =
            readStockListFile(*options.stockFile, sheetReading);
        if (auto* error = std::get_if<InputError>(&read)) {
            reportInputError(*error, console);
            return failed(1);
        }
        StockList& list = std::get<StockList>(read);
        for (const std::string& note : list.notes) console.error("blocknest: " + note);
        SheetSize largest;
        for (const SheetKind& kind : list.kinds) {
            largest.length = std::max(largest.length, kind.length);
            largest.width = std::max(largest.width, kind.width);
        }
        settings.sheet = largest;
        settings.limits.buildSheetGrid = false;
        settings.sheetGivenBy = "--stock " + *options.stockFile + " (its largest length and width)";
        stock = std::move(list.kinds);
        stockDrawings = list.drawings;
        finished->stockDrawings = std::move(list.drawings);
    }
    // No output may take the place of an input or of another output; this is known before
    // anything is written, and before the parts are read and packed.
    if (std::optional<std::string> clash = findOutputClash(options, files, stockDrawings)) {
        console.error("blocknest: " + *clash);
        return failed(2);
    }
    const std::optional<std::filesystem::path> directory = prepareOutputDir(options, console);
    if (!directory) return failed(1);
    if (std::optional<std::string> problem = preparePictureFolder(options)) {
        console.error("blocknest: " + *problem);
        return failed(2);
    }
    std::vector<JobInput> made;
    if (!options.parts.empty()) {
        std::variant<JobInput, std::string> shapes =
            shapesInput(options.parts, options.rotations, settings.limits.read);
        if (const auto* why = std::get_if<std::string>(&shapes)) {
            console.error("blocknest: " + *why);
            return failed(1);
        }
        made.push_back(std::move(std::get<JobInput>(shapes)));
    }
    if (std::optional<InputError> error = job.loadAndPrepare(files, settings, std::move(made))) {
        reportInputError(*error, console);
        return failed(error->commandLine ? 2 : 1);
    }
    if (drawnSheet) {
        if (std::optional<std::string> why = job.setSheetKind(*drawnSheet)) {
            console.error("blocknest: " + *options.sheetDxf + ": " + *why);
            return failed(1);
        }
    }
    // A sheet drawn in other units than the parts would be nested at the wrong scale.
    std::vector<const SheetKind*> drawn;
    if (drawnSheet) drawn.push_back(&*drawnSheet);
    for (const SheetKind& kind : stock) drawn.push_back(&kind);
    for (const SheetKind* kind : drawn) {
        if (kind->insUnits != 0 && job.insUnits() != 0 && kind->insUnits != job.insUnits()) {
            console.error("blocknest: the sheet \"" + kind->name + "\" is drawn in " +
                          std::string(insUnitsName(kind->insUnits)) + ", the parts in " +
                          std::string(insUnitsName(job.insUnits())) +
                          ": give --units to convert both to one unit");
            return failed(1);
        }
    }
    if (!stock.empty()) {
        if (std::optional<std::string> why = job.setStock(std::move(stock))) {
            console.error("blocknest: " + *why);
            return failed(1);
        }
    }
    for (const std::string& note : job.inputNotes()) console.error(note);
    if (options.margin > 0 &&
        !(2 * options.margin < job.sheetLength() && 2 * options.margin < job.sheetWidth())) {
        console.error("blocknest: --margin " + formatNumber(options.margin) +
                      " leaves no room on the sheet " + formatNumber(job.sheetLength()) + " x " +
                      formatNumber(job.sheetWidth()) +
                      ": it keeps the parts that far from every edge");
        return failed(2);
    }
    if (options.strict && job.readWarningCount() > 0) {
        console.error(
            "blocknest: refused under --strict: " + std::to_string(job.readWarningCount()) +
            " line" + (job.readWarningCount() == 1 ? "" : "s") + " read against their meaning");
        return failed(1);
    }
    console.write("Packing Block Side Length = " + formatNumber(job.blockSideLength()) + "\n");
    console.write("Part Rotation Number = " + std::to_string(job.rotationCount()) + "\n");
    const Clearance clearance{options.spacing, options.margin};
    const std::string source =  // names the job in messages
        files.empty() ? std::string("the parts given as polygons") : files.front().path;
    bool cutShort = false;
    if (searchRequested(options)) {
        SearchOptions search;
        search.timeLimit = options.timeLimit.value_or(0);
        search.evaluations = options.evaluations.value_or(0);
        search.seed = options.seed;
        search.threads = options.threads > 0
                             ? options.threads
                             : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
        // The overlap phase separates parts from each other only; on a drawn sheet each of its
        // layouts would cross the outline or a defect and be thrown away by the exact test.
        search.separate = options.overlapPhase && !options.sheetDxf;
        const auto display = options.quiet          ? SearchDisplay::none
                             : control.liveProgress ? SearchDisplay::liveLine
                                                    : SearchDisplay::improvements;
        search.stop = control.stop;
        std::optional<std::string> why =
            job.usesStock() ? job.packStock(clearance, console, !options.quiet, &search, display)
            : job.severalSheets()
                ? job.packLayout(clearance, console, !options.quiet, &search, display)
                : job.searchForLayout(search, console, display, clearance);
        if (why) {
            console.error("blocknest: " + source + ": " + *why);
            return failed(1);
        }
        if (stopAsked(control)) {
            cutShort = true;
            console.error("blocknest: the search was cut short by " + stopCause(control) +
                          "; the best layout it found is written");
        }
    } else if (job.usesStock()) {
        if (std::optional<std::string> why = job.packStock(clearance, console, !options.quiet)) {
            console.error("blocknest: " + source + ": " + *why);
            return failed(1);
        }
    } else if (!clearance.any() && !job.severalSheets() && !job.mirror()) {
        job.packAllParts(console, !options.quiet);
    } else if (std::optional<std::string> why =
                   job.packLayout(clearance, console, !options.quiet)) {
        console.error("blocknest: " + source + ": " + *why);
        return failed(1);
    }
    job.computeStatistics();
    for (const Part* part : job.partsTooLarge()) {
        const BoundingBox& box = part->bounds();
        console.error("blocknest: " + source + ": the part \"" + part->name() + "\" (" +
                      formatNumber(box.maxX - box.minX) + " x " +
                      formatNumber(box.maxY - box.minY) + ") is larger than the sheet (" +
                      formatNumber(job.sheetLength()) + " x " + formatNumber(job.sheetWidth()) +
                      "): it fits no empty sheet in any of its orientations");
    }
    if (const int failure = writeOutputs(job, options, *directory, stockDrawings, console);
        failure != 0) {
        return failed(failure);
    }
    // A stop that comes after the search has ended finds its layout written in full.
    if (searchRequested(options) && stopAsked(control) && !cutShort) {
        console.error("blocknest: " + stopCause(control) +
                      " came after the search had ended; its layout is written in full");
    }
    if (std::optional<std::string> summary =
            notFittedSummary(job.parts(), job.sheetLength(), job.sheetWidth())) {
        console.error(*summary);
    }
    if (!searchRequested(options) && job.partsLeftForRoom(options.margin)) {
        console.error(
            "blocknest: a search may find room for the parts left off: give it time "
            "with -t SECONDS");
    }
    JobResult result;
    result.cutShort = cutShort;
    result.figures = figuresOf(job);
    describeLayout(job, result);
    result.finished = std::move(finished);
    return result;
}

}  // namespace

// The front end's console, with the search's figures also handed to the progress callback.
class ReportingConsole : public Console {
public:
    ReportingConsole(Console& inner, const std::function<void(const SearchReport&)>& progress)
        : inner_(inner), progress_(progress) {}
    void write(std::string_view text) override { inner_.write(text); }
    void write(Message message) override { inner_.write(message); }
    void warn(Message message) override { inner_.warn(message); }
    void error(std::string_view line) override { inner_.error(line); }
    void pause() override { inner_.pause(); }
    void searchProgress(const SearchReport& report) override {
        inner_.searchProgress(report);
        progress_(report);
    }

private:
    Console& inner_;
    const std::function<void(const SearchReport&)>& progress_;
};

JobResult runJob(const JobDescription& job, Console& console, const JobControl& control) {
    try {
        if (control.progress) {
            ReportingConsole reporting(console, control.progress);
            return runStages(job, reporting, control);
        }
        return runStages(job, console, control);
    } catch (const FatalError& e) {
        if (*e.what() != '\0') console.error(std::string("blocknest: ") + e.what());
        return failed(e.exitCode());
    } catch (const std::bad_alloc&) {
        console.error("blocknest: out of memory");
        return failed(1);
    } catch (const std::exception& e) {
        // Nothing is meant to reach here; if something does, it still ends in one line.
        console.error(std::string("blocknest: ") + e.what());
        return failed(1);
    }
}

const char* libraryVersion() { return BLOCKNEST_VERSION; }

int writeJobOutputs(const JobResult& result, const JobDescription& outputs, Console& console) {
    if (!result.finished) {
        console.error("blocknest: the run made no layout to write");
        return 1;
    }
    const FinishedJob& finished = *result.finished;
    JobDescription asked = finished.description;
    asked.writeLayout = outputs.writeLayout;
    asked.outputDir = outputs.outputDir;
    asked.svgFile = outputs.svgFile;
    asked.jsonFile = outputs.jsonFile;
    asked.camFile = outputs.camFile;
    asked.camLayers = outputs.camLayers;
    asked.camLabels = outputs.camLabels;
    asked.remnantCut = outputs.remnantCut;
    asked.remnantDxf = outputs.remnantDxf;
    asked.jobSheetFile = outputs.jobSheetFile;
    asked.stockOutFile = outputs.stockOutFile;
    try {
        if (std::optional<std::string> clash =
                findOutputClash(asked, asked.files, finished.stockDrawings)) {
            console.error("blocknest: " + *clash);
            return 2;
        }
        const std::optional<std::filesystem::path> directory = prepareOutputDir(asked, console);
        if (!directory) return 1;
        if (std::optional<std::string> problem = preparePictureFolder(asked)) {
            console.error("blocknest: " + *problem);
            return 2;
        }
        return writeOutputs(finished.job, asked, *directory, finished.stockDrawings, console);
    } catch (const std::exception& e) {
        console.error(std::string("blocknest: ") + e.what());
        return 1;
    }
}

}  // namespace blocknest
