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
#include "input/job_input.hpp"
#include "job/job_outputs.hpp"
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
            const auto k = static_cast<std::size_t>(number - 1);
            if (job.usesStock() && k < job.sheetKinds().size() && sheet.parts.count() > 0) {
                const SheetKind& kind = job.stock()[job.sheetKinds()[k]];
                result.stockSheets.push_back(
                    {number, kind.name, kind.length, kind.width, materialArea(kind), kind.cost});
            }
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
    InputSettings settings = inputSettingsOf(options);
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
    for (const std::string& note : job.inputNotes()) {
        if (!options.quiet || !isPlainUnitsLine(note)) console.error(note);
    }
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
    job.setFillersAside();
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
        // On a drawn sheet only the exact phase runs: it knows the outline and the defects.
        search.separate = options.overlapPhase;
        const auto display = options.quiet          ? SearchDisplay::none
                             : control.liveProgress ? SearchDisplay::liveLine
                                                    : SearchDisplay::improvements;
        search.stop = control.stop;
        if (control.layouts) {
            search.keepLayouts = true;
            job.watchLayouts(
                [&job, &control](const PartList& parts, const std::vector<int>& sheetOf) {
                    std::vector<PartPlacement> placements;
                    std::size_t i = 0;
                    for (const Part& part : parts) {
                        if (sheetOf.empty()) {
                            if (liesOnSheet(part, job.sheetLength(), job.sheetWidth())) {
                                addPlacement(part, 1, job, placements);
                            }
                        } else if (i < sheetOf.size() && sheetOf[i] >= 0) {
                            addPlacement(part, sheetOf[i] + 1, job, placements);
                        }
                        ++i;
                    }
                    control.layouts(placements);
                });
        }
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
    if (std::optional<std::string> why = job.placeFillers(clearance)) {
        console.error("blocknest: " + source + ": " + *why);
        return failed(1);
    }
    if (const std::string left = job.fillersWithoutRoomLine(); !left.empty()) {
        console.error("blocknest: " + source + ": " + left);
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
