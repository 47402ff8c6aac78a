#include "app/driver.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <thread>

#include "app/interrupt.hpp"
#include "app/packing_job.hpp"
#include "base/number_format.hpp"
#include "base/text.hpp"
#include "output/atomic_file.hpp"
#include "output/cut_files.hpp"
#include "output/dxf_writer.hpp"
#include "output/report_writer.hpp"
#include "output/statistics.hpp"
#include "output/svg_writer.hpp"
#include "packing/packer.hpp"
#include "stock/sheet_drawing.hpp"
#include "stock/stock_list.hpp"

namespace blocknest {
namespace {

constexpr std::size_t kMaxNamesInSummary = 10;

void reportInputError(const InputError& error, Console& console) {
    for (const std::string& note : error.notes) console.error(note);
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

// The run's own file that an extra output at file would replace: the drawing or the report.
std::optional<std::string> ownOutputAt(const std::filesystem::path& file,
                                       const std::filesystem::path& directory) {
    std::error_code error;
    const std::filesystem::path base = directory.empty() ? std::filesystem::path(".") : directory;
    for (const char* name : {kLayoutFileName, kReportFileName}) {
        if (std::filesystem::weakly_canonical(file, error) ==
            std::filesystem::weakly_canonical(base / name, error)) {
            return name;
        }
    }
    return std::nullopt;
}

// The picture's folder is made as the output directory is; the picture may not take the
// place of the drawing or the report, nor may the remnant.
std::optional<std::string> prepareExtraTargets(const Options& options,
                                               const std::filesystem::path& directory) {
    if (options.remnantDxf) {
        if (std::optional<std::string> own = ownOutputAt(*options.remnantDxf, directory)) {
            return "the remnant '" + *options.remnantDxf + "' would replace the run's own " + *own;
        }
    }
    if (!options.svgFile) return std::nullopt;
    const std::filesystem::path svg(*options.svgFile);
    std::error_code error;
    if (svg.has_parent_path()) std::filesystem::create_directories(svg.parent_path(), error);
    if (error) {
        return "cannot use the folder of the picture '" + svg.string() + "': " + error.message();
    }
    if (std::optional<std::string> own = ownOutputAt(svg, directory)) {
        return "the picture '" + svg.string() + "' would replace the run's own " + *own;
    }
    return std::nullopt;
}

}  // namespace

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
                              whyLeftOff(part, sheetLength, sheetWidth), 1});
        } else {
            ++it->count;
        }
    }
    if (missing == 0) return std::nullopt;
    std::string line = "blocknest: " + std::to_string(missing) + " of " +
                       std::to_string(parts.count()) + " part" + (parts.count() == 1 ? "" : "s") +
                       " left off the sheet: ";
    int listed = 0;
    for (std::size_t i = 0; i < groups.size() && i < kMaxNamesInSummary; ++i) {
        static constexpr const char* kReasons[] = {"no area", "self-crossing outline",
                                                   "larger than the sheet", "no room left"};
        if (i > 0) line += ", ";
        line += "\"" + printableName(groups[i].name) + "\"";
        if (groups[i].count > 1) line += " x" + std::to_string(groups[i].count);
        line += std::string(" (") + kReasons[static_cast<int>(groups[i].reason)] + ")";
        listed += groups[i].count;
    }
    if (listed < missing) line += ", and " + std::to_string(missing - listed) + " more";
    return line;
}

int runBlocknest(const Options& options, Console& console, std::istream& in) {
    const std::optional<std::filesystem::path> directory = prepareOutputDir(options, console);
    if (!directory) return 1;
    if (std::optional<std::string> problem = prepareExtraTargets(options, *directory)) {
        console.error("blocknest: " + *problem);
        return 2;
    }
    PackingJob job;
    job.setRotationCount(options.rotations);
    job.setSheetCount(options.sheets);
    job.setMirror(options.mirror);
    std::vector<InputFile> files = options.files;
    if (files.empty()) files.push_back({choosePartFile(options, console, in), std::nullopt});
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
    if (options.sheetDxf) {
        std::variant<SheetDrawing, InputError> read =
            readSheetDrawing(*options.sheetDxf, sheetReading);
        if (auto* error = std::get_if<InputError>(&read)) {
            reportInputError(*error, console);
            return 1;
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
            return 1;
        }
        StockList& list = std::get<StockList>(read);
        for (const std::string& note : list.notes) console.error("blocknest: " + note);
        SheetSize largest;
        for (const SheetKind& kind : list.kinds) {
            largest.length = std::max(largest.length, kind.length);
            largest.width = std::max(largest.width, kind.width);
        }
        settings.sheet = largest;
        settings.sheetGivenBy = "--stock " + *options.stockFile + " (its largest length and width)";
        stock = std::move(list.kinds);
    }
    if (std::optional<InputError> error = job.loadAndPrepare(files, settings)) {
        reportInputError(*error, console);
        return error->commandLine ? 2 : 1;
    }
    if (drawnSheet) {
        if (std::optional<std::string> why = job.setSheetKind(*drawnSheet)) {
            console.error("blocknest: " + *options.sheetDxf + ": " + *why);
            return 1;
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
            return 1;
        }
    }
    if (!stock.empty()) job.setStock(std::move(stock));
    for (const std::string& note : job.inputNotes()) console.error(note);
    if (options.margin > 0 &&
        !(2 * options.margin < job.sheetLength() && 2 * options.margin < job.sheetWidth())) {
        console.error("blocknest: --margin " + formatNumber(options.margin) +
                      " leaves no room on the sheet " + formatNumber(job.sheetLength()) + " x " +
                      formatNumber(job.sheetWidth()) +
                      ": it keeps the parts that far from every edge");
        return 2;
    }
    if (options.strict && job.readWarningCount() > 0) {
        console.error(
            "blocknest: refused under --strict: " + std::to_string(job.readWarningCount()) +
            " line" + (job.readWarningCount() == 1 ? "" : "s") + " read against their meaning");
        return 1;
    }
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
        // The overlap phase separates parts from each other only; on a drawn sheet each of its
        // layouts would cross the outline or a defect and be thrown away by the exact test.
        search.separate = options.overlapPhase && !options.sheetDxf;
        const auto display = options.quiet           ? SearchDisplay::none
                             : isatty(STDOUT_FILENO) ? SearchDisplay::liveLine
                                                     : SearchDisplay::improvements;
        const InterruptToStop interrupt;
        search.stop = &interrupt.stopFlag();
        std::optional<std::string> why =
            job.usesStock() ? job.packStock(clearance, console, !options.quiet, &search, display)
            : job.severalSheets()
                ? job.packLayout(clearance, console, !options.quiet, &search, display)
                : job.searchForLayout(search, console, display, clearance);
        if (why) {
            console.error("blocknest: " + source + ": " + *why);
            return 1;
        }
        if (interrupt.interrupted()) {
            console.error(
                "blocknest: the search was cut short by Ctrl-C; the best layout it "
                "found is written");
        }
    } else if (job.usesStock()) {
        if (std::optional<std::string> why = job.packStock(clearance, console, !options.quiet)) {
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
    // Every output is written in full before any old one is replaced.
    OutputSet outputs;
    if (std::optional<std::string> failure = job.writeLayoutDxf(*directory, outputs)) {
        console.warn(Message::layoutWriteFailed);
        console.error("blocknest: " + *failure);
        return 1;
    }
    if (std::optional<std::string> failure = job.writeReport(*directory, outputs)) {
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
                job.writePlacementJson(*options.jsonFile, std::move(run), outputs)) {
            console.error("blocknest: " + *failure);
            return 1;
        }
    }
    if (options.camFile) {
        const CamDrawingSettings cam{job.insUnits(), options.camLayers, options.camLabels,
                                     job.items()};
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
            if (std::optional<std::string> failure =
                    outputs.stage(file, formatRemnantDxf(*remnant, job.insUnits()))) {
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
    if (std::optional<std::string> failure = outputs.commit()) {
        console.error("blocknest: " + *failure);
        return 1;
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
    console.pause();
    return 0;
}

}  // namespace blocknest
