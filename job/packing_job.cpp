#include "job/packing_job.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <variant>

#include "base/number_format.hpp"
#include "input/job_loader.hpp"
#include "input/job_preparation.hpp"
#include "job/sheet_search_run.hpp"
#include "output/atomic_file.hpp"
#include "output/dxf_writer.hpp"
#include "output/report_writer.hpp"
#include "packing/packer.hpp"
#include "packing/sheet_bounds.hpp"
#include "packing/sheets.hpp"
#include "stock/sheet_choice.hpp"

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
                                                     const InputSettings& settings,
                                                     std::vector<JobInput> made) {
    std::variant<LoadedJob, InputError> loaded = loadJob(files, settings, std::move(made));
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

std::optional<std::string> PackingJob::setSheetKind(const SheetKind& kind) {
    if (std::optional<std::string> why = makeSheetOfKind(sheet_, kind)) return why;
    sheetKind_ = kind;
    return std::nullopt;
}

std::optional<std::string> PackingJob::setStock(std::vector<SheetKind> kinds) {
    for (const SheetKind& kind : kinds) {
        if (std::optional<std::string> why = whyKindTooLarge(kind, sheet_.blockSideLength)) {
            return why;
        }
    }
    stock_ = std::move(kinds);
    return std::nullopt;
}

std::optional<std::string> PackingJob::packStock(const Clearance& clearance, Console& console,
                                                 bool showProgress, const SearchOptions* search,
                                                 SearchDisplay display) {
    const PartList prepared = parts_;
    partExtents_ = measurePartExtents(parts_, rotationCount_, mirror_);
    const auto start = std::chrono::steady_clock::now();
    SheetPacking packing;
    packing.blockSideLength = sheet_.blockSideLength;
    packing.rotationCount = rotationCount_;
    packing.mirror = mirror_;
    packing.clearance = clearance;
    std::variant<StockPlan, std::string> planned =
        chooseSheets(parts_, stock_, [&](const PartList& left, const SheetKind& kind) {
            return packOnSheetKind(left, kind, packing);
        });
    if (auto* why = std::get_if<std::string>(&planned)) return *why;
    StockPlan& plan = std::get<StockPlan>(planned);
    parts_ = std::move(plan.parts);
    sheetOf_ = std::move(plan.sheetOf);
    sheetKinds_ = std::move(plan.sheetKinds);
    if (search) {
        if (std::optional<std::string> why =
                searchStockPlan(prepared, clearance, *search, console, display)) {
            return why;
        }
    }
    if (showProgress) {
        for (std::size_t k = 0; k < sheetKinds_.size(); ++k) {
            const auto count = std::count(sheetOf_.begin(), sheetOf_.end(), static_cast<int>(k));
            console.write("Sheet " + std::to_string(k + 1) + " (" + stock_[sheetKinds_[k]].name +
                          "): " + std::to_string(count) + " parts\n");
        }
    }
    const std::chrono::duration<long double> elapsed = std::chrono::steady_clock::now() - start;
    timingText_ = blocknest::timingText(elapsed.count());
    packingSeconds_ = static_cast<double>(elapsed.count());
    console.write("Sheets used: " + std::to_string(sheetKinds_.size()) + " " + timingText_);
    return std::nullopt;
}

std::optional<Remnant> PackingJob::remnant(double spacing, const std::string& name) const {
    double used = statistics_.packedLength;
    SheetKind kind =
        sheetKind_.length > 0 ? sheetKind_ : rectangleKind(sheet_.length, sheet_.width);
    if (severalSheets()) {
        if (sheets_.empty()) {
            used = 0;
            if (usesStock()) kind = stock_.front();
        } else {
            used = sheets_.back().statistics.packedLength;
            if (usesStock()) kind = stock_[sheetKinds_.back()];
        }
    }
    // The cut keeps the gap a neighbouring part would keep.
    return cutRemnant(kind, used > 0 ? used + spacing : 0, name);
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

// The job the packing run works on with a clearance: the grown parts on the placement sheet;
// nothing without one, when the parts themselves are packed. Says why it cannot be made.
std::variant<std::optional<PlacementJob>, std::string> placementFor(const PartList& parts,
                                                                    const Sheet& sheet,
                                                                    const Clearance& clearance) {
    if (!clearance.any()) return std::optional<PlacementJob>();
    std::variant<PlacementJob, std::string> made = makePlacementJob(parts, sheet, clearance);
    if (auto* why = std::get_if<std::string>(&made)) return std::move(*why);
    return std::optional<PlacementJob>(std::move(std::get<PlacementJob>(made)));
}

// The block sides a search packs on besides the sheet's own.
std::vector<double> finerBlockSides(const Sheet& sheet) {
    std::vector<double> finer;
    for (double fraction : kFinerGrids) {
        const double side = sheet.blockSideLength * fraction;
        if (sheetGridSize(sheet.length, sheet.width, side, kMaxSearchGridCells)) {
            finer.push_back(side);
        }
    }
    return finer;
}

// How the packed figures a search reports map to the real parts': with a clearance it packs
// grown parts on a placement sheet; their length and area are shown as the real parts' would
// be (the length to within the corners' growth beyond half the spacing).
struct RealFigures {
    double lengthShift = 0;  // real length = packed length + this
    double areaScale = 1;    // real area = packed area x this
    double sheetWidth = 0;
};

std::string searchProgressLine(const SearchProgress& progress, const SearchOptions& options,
                               const RealFigures& real) {
    const std::string budget = searchBudgetText(progress.elapsed, options.timeLimit);
    char moves[48] = "";
    if (progress.separating) {
        std::snprintf(moves, sizeof moves, ", %lld moves", static_cast<long long>(progress.moves));
    }
    const double length = progress.best.length + real.lengthShift;
    char line[240];
    std::snprintf(line, sizeof line,
                  "Searching: %s, %lld layouts%s, best packed length %s, density %.2f%%",
                  budget.c_str(), static_cast<long long>(progress.evaluations), moves,
                  formatNumber(length).c_str(),
                  100 * progress.best.area * real.areaScale / (length * real.sheetWidth));
    return line;
}

}  // namespace

std::optional<std::string> PackingJob::searchForLayout(const SearchOptions& options,
                                                       Console& console, SearchDisplay display,
                                                       const Clearance& clearance) {
    std::variant<std::optional<PlacementJob>, std::string> made =
        placementFor(parts_, sheet_, clearance);
    if (auto* why = std::get_if<std::string>(&made)) return *why;
    std::optional<PlacementJob>& placement = std::get<std::optional<PlacementJob>>(made);
    PartList& parts = placement ? placement->parts : parts_;
    const Sheet& sheet = placement ? placement->sheet : sheet_;
    if (mirror_) allowMirrored(parts, rotationCount_);
    const auto start = std::chrono::steady_clock::now();
    console.write(Message::packingStarted);
    console.write("\n");
    console.write("Part Number:" + std::to_string(partCount_) + "\n");
    const SearchInstance instance =
        makeSearchInstance(parts, sheet, rotationCount_, finerBlockSides(sheet));
    RealFigures real{0, 1, sheet_.width};
    if (placement) {
        double packedArea = 0;
        double realArea = 0;
        for (const Part& part : parts) packedArea += part.netArea();
        for (const Part& part : parts_) realArea += part.netArea();
        real.lengthShift = placement->sheetOrigin - clearance.spacing / 2;
        real.areaScale = packedArea > 0 ? realArea / packedArea : 1;
    }
    ProgressLines lines(console, display);
    // The watched layout: an improvement waits while the last one shown is under a second
    // old, and the newest waiting one is decoded at a report after that.
    // The real parts and their parked poses in a layout's packing order, which the grown
    // parts of the layout follow.
    const auto inPackingOrder = [&](const std::vector<int>& order) {
        std::vector<const Part*> originals;
        for (const Part& part : parts_) originals.push_back(&part);
        std::pair<PartList, PlacementJob> real;
        real.second.sheet = placement->sheet;
        real.second.sheetOrigin = placement->sheetOrigin;
        for (const int i : order) {
            const auto k = static_cast<std::size_t>(i);
            real.first.pushBack(*originals[k]);
            real.second.parkedPoses.push_back(placement->parkedPoses[k]);
            real.second.parkShifts.push_back(placement->parkShifts[k]);
        }
        return real;
    };
    // A first phase's genome waits to be decoded; an overlap phase's layout waits as it is,
    // with the order of the genome it started from.
    std::optional<Genome> waiting;
    std::optional<PartList> waitingLayout;
    std::vector<int> waitingOrder;
    std::optional<std::chrono::steady_clock::time_point> shown;
    const auto showLayout = [&](const SearchProgress& p) {
        if (p.layout && p.genome) {
            waitingLayout = *p.layout;
            waitingOrder = p.genome->order;
            waiting.reset();
        } else if (p.improved && p.genome && !p.separating) {
            waiting = *p.genome;
        }
        const auto now = std::chrono::steady_clock::now();
        if ((!waiting && !waitingLayout) || (shown && now - *shown < std::chrono::seconds(1))) {
            return;
        }
        shown = now;
        PartList packed;
        if (waitingLayout) {
            packed = std::move(*waitingLayout);
        } else {
            DecoderMemory memory;
            (void)decodeLayout(instance, *waiting, memory, &packed);
            waitingOrder = waiting->order;
        }
        if (placement) {
            auto [real, reordered] = inPackingOrder(waitingOrder);
            placeOriginals(real, reordered, packed);
            packed = std::move(real);
        }
        waiting.reset();
        waitingLayout.reset();
        layoutWatcher_(packed, {});
    };
    const SearchOutcome outcome = searchLayout(instance, options, [&](const SearchProgress& p) {
        if (layoutWatcher_) showLayout(p);
        const double length = p.best.length + real.lengthShift;
        SearchReport report;
        report.elapsed = p.elapsed;
        report.timeLimit = options.timeLimit;
        report.layouts = p.evaluations;
        report.moves = p.moves;
        report.packedLength = length;
        report.density = 100 * p.best.area * real.areaScale / (length * real.sheetWidth);
        report.improved = p.improved;
        lines.show(searchProgressLine(p, options, real),
                   formatNumber(p.best.length) + " " + std::to_string(p.best.unplaced), report);
    });
    if (outcome.layout) {
        parts = *outcome.layout;
    } else {
        DecoderMemory memory;
        (void)decodeLayout(instance, outcome.best, memory, &parts);
    }
    if (placement) {
        // The layout holds the parts in packing order; the real parts follow them.
        auto [ordered, reordered] = inPackingOrder(outcome.best.order);
        // The search scores the grown parts, whose ends stand out of the real ones by more at
        // sharp corners than at round ones: of the overlap phase's layout and the first
        // phase's, the one whose real parts end first is kept.
        PartList placed = ordered;
        placeOriginals(placed, reordered, parts);
        if (outcome.layout) {
            PartList first;
            DecoderMemory memory;
            (void)decodeLayout(instance, outcome.best, memory, &first);
            PartList firstPlaced = ordered;
            placeOriginals(firstPlaced, reordered, first);
            auto measured = [&](PartList& list) {
                const PackingStatistics stats =
                    blocknest::computeStatistics(list, sheet_.length, sheet_.width);
                int off = 0;
                for (const Part& part : list)
                    off += !liesOnSheet(part, sheet_.length, sheet_.width);
                return std::pair{off, stats.packedLength};
            };
            if (measured(firstPlaced) < measured(placed)) {
                placed = std::move(firstPlaced);
                parts = std::move(first);
            }
        }
        parts_ = std::move(placed);
    }
    console.write(display == SearchDisplay::liveLine ? "\nPacking Completed."
                                                     : "Packing Completed.");
    const std::chrono::duration<long double> elapsed = std::chrono::steady_clock::now() - start;
    timingText_ = blocknest::timingText(elapsed.count());
    packingSeconds_ = static_cast<double>(elapsed.count());
    console.write(timingText_);
    if (display != SearchDisplay::none) {
        console.write("Searched " + std::to_string(outcome.evaluations) + " layouts and " +
                      std::to_string(outcome.moves) + " part moves\n");
    }
    return std::nullopt;
}

std::optional<std::string> PackingJob::packLayout(const Clearance& clearance, Console& console,
                                                  bool showProgress, const SearchOptions* search,
                                                  SearchDisplay display) {
    const auto started = std::chrono::steady_clock::now();
    if (severalSheets()) partExtents_ = measurePartExtents(parts_, rotationCount_, mirror_);
    std::variant<std::optional<PlacementJob>, std::string> made =
        placementFor(parts_, sheet_, clearance);
    if (auto* why = std::get_if<std::string>(&made)) return *why;
    std::optional<PlacementJob>& placement = std::get<std::optional<PlacementJob>>(made);
    PartList& parts = placement ? placement->parts : parts_;
    Sheet& sheet = placement ? placement->sheet : sheet_;
    if (mirror_) allowMirrored(parts, rotationCount_);
    if (!severalSheets()) {
        timingText_ = blocknest::packAllParts(parts, sheet, rotationCount_, console, showProgress);
    } else if (search) {
        std::vector<double> areas;
        for (const Part& part : parts_) areas.push_back(part.netArea());
        const SheetSearchRun run = runSheetSearch(
            parts, sheet, rotationCount_, sheetCount_, finerBlockSides(sheet), areas,
            [&](const std::vector<int>& sheetOf) { return boundBeyondArea(sheetOf); }, sheet_,
            placement ? placement->sheetOrigin - clearance.spacing / 2 : 0, *search, console,
            display, watchSheets(placement ? &*placement : nullptr));
        sheetOf_ = run.sheetOf;
        timingText_ = run.timingText;
    } else {
        const auto start = std::chrono::steady_clock::now();
        int sheetNumber = 0;
        SilentConsole silent;
        const PackOneSheet packOne = [&](PartList& batch, Sheet& fresh, bool probe) {
            if (!probe) console.write("Sheet " + std::to_string(++sheetNumber) + ":\n");
            blocknest::packAllParts(batch, fresh, rotationCount_, probe ? silent : console,
                                    showProgress && !probe);
        };
        sheetOf_ = packSheets(parts, sheet, sheetCount_, packOne);
        const std::chrono::duration<long double> elapsed = std::chrono::steady_clock::now() - start;
        timingText_ = blocknest::timingText(elapsed.count());
        // A sheet that was tried and took no part is not used.
        int used = 0;
        for (const int k : sheetOf_) used = std::max(used, k + 1);
        console.write("Sheets used: " + std::to_string(used) + " " + timingText_);
    }
    if (placement) placeOriginals(parts_, *placement, placement->parts);
    packingSeconds_ =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return std::nullopt;
}

SheetsLayoutWatch::Show PackingJob::watchSheets(const PlacementJob* placement) const {
    if (!layoutWatcher_) return {};
    return [this, placement](const SheetsLayout& layout) {
        PartList packed;
        for (const Part& part : layout.parts) packed.pushBack(part);
        PartList real = parts_;
        if (placement) {
            placeOriginals(real, *placement, packed);
        } else {
            real = std::move(packed);
        }
        layoutWatcher_(real, layout.sheetOf);
    };
}

bool PackingJob::partsLeftForRoom(double margin) const {
    if (severalSheets()) return false;
    const double length = sheet_.length - 2 * margin;
    const double width = sheet_.width - 2 * margin;
    double free = length * width;
    for (const Part& part : parts_) {
        if (liesOnSheet(part, sheet_.length, sheet_.width)) free -= part.netArea();
    }
    // A part larger than the area the others leave cannot be placed by any search.
    for (const Part& part : parts_) {
        if (!liesOnSheet(part, sheet_.length, sheet_.width) && part.netArea() <= free &&
            whyLeftOff(part, length, width) == LeftOffReason::noRoom) {
            return true;
        }
    }
    return false;
}

std::vector<const Part*> PackingJob::partsTooLarge() const {
    std::vector<const Part*> named;
    std::size_t i = 0;
    for (const Part& part : parts_) {
        if (i < sheetOf_.size() && sheetOf_[i] == kTooLarge &&
            std::none_of(named.begin(), named.end(),
                         [&](const Part* p) { return p->name() == part.name(); })) {
            named.push_back(&part);
        }
        ++i;
    }
    return named;
}

void PackingJob::computeStatistics() {
    if (!severalSheets()) {
        statistics_ = blocknest::computeStatistics(parts_, sheet_.length, sheet_.width);
        return;
    }
    sheets_.clear();
    partsOnNoSheet_ = PartList();
    std::size_t i = 0;
    for (const Part& part : parts_) {
        const int k = i < sheetOf_.size() ? sheetOf_[i] : kNoSheet;
        if (k < 0) {
            partsOnNoSheet_.pushBack(part);
        } else {
            if (sheets_.size() <= static_cast<std::size_t>(k)) sheets_.resize(k + 1);
            sheets_[k].parts.pushBack(part);
        }
        ++i;
    }
    if (usesStock()) sheets_.resize(sheetKinds_.size());
    for (std::size_t k = 0; k < sheets_.size(); ++k) {
        SheetLayout& sheet = sheets_[k];
        if (usesStock()) {
            const SheetKind& kind = stock_[sheetKinds_[k]];
            sheet.kind = kind.name;
            sheet.cost = kind.cost;
            sheet.shape = kind.shape;
            if (!sheet.shape.outline) {
                // Sheets of several sizes: each is drawn as its own rectangle.
                Loop rectangle;
                rectangle.setVertices(
                    {{0, 0}, {kind.length, 0}, {kind.length, kind.width}, {0, kind.width}});
                sheet.shape.outline = std::move(rectangle);
            }
            sheet.length = kind.length;
            sheet.width = kind.width;
            sheet.statistics = blocknest::computeStatistics(sheet.parts, kind.length, kind.width);
        } else {
            sheet.shape = sheetKind_.shape;
            sheet.statistics =
                blocknest::computeStatistics(sheet.parts, sheet_.length, sheet_.width);
        }
    }
    statistics_ = combineSheets(sheets_, sheet_.length, sheet_.width);
    // The bounds count the required parts: the filler parts placed follow them.
    std::vector<double> areas;
    for (const Part& part : parts_) {
        if (requiredCount_ >= 0 && areas.size() >= static_cast<std::size_t>(requiredCount_)) break;
        areas.push_back(part.netArea());
    }
    if (!usesStock()) {
        sheetsAtLeast_ =
            std::max(blocknest::sheetsAtLeast(areas, sheetOf_, sheet_.length * sheet_.width),
                     boundBeyondArea(sheetOf_));
        return;
    }
    // Any sheet of the stock lies within the largest length and width of its kinds.
    double length = 0;
    double width = 0;
    double area = 0;
    for (const SheetKind& kind : stock_) {
        length = std::max(length, kind.length);
        width = std::max(width, kind.width);
        area = std::max(area, kind.length * kind.width);
    }
    sheetsAtLeast_ = std::max(blocknest::sheetsAtLeast(areas, sheetOf_, area),
                              sheetsAtLeastByExtents(partExtents_, sheetOf_, length, width));
}

int PackingJob::boundBeyondArea(const std::vector<int>& sheetOf) const {
    return std::max(
        partsNeedingOwnSheet(parts_, sheetOf, sheet_.length, sheet_.width, rotationCount_),
        sheetsAtLeastByExtents(partExtents_, sheetOf, sheet_.length, sheet_.width));
}

std::optional<std::string> PackingJob::writeLayoutDxf(const std::filesystem::path& directory,
                                                      OutputSet& outputs) const {
    if (severalSheets()) {
        return outputs.stage(
            directory / kLayoutFileName,
            formatSheetsDxf(sheets_, partsOnNoSheet_, sheet_.length, sheet_.width));
    }
    return outputs.stage(directory / kLayoutFileName,
                         formatLayoutDxf(parts_, sheet_.length, sheet_.width,
                                         statistics_.packedLength, sheetKind_.shape));
}

std::vector<int> PackingJob::stockUsed() const {
    std::vector<int> used(stock_.size(), 0);
    for (std::size_t k = 0; k < sheets_.size() && k < sheetKinds_.size(); ++k) {
        if (sheetKinds_[k] < used.size() && sheets_[k].parts.count() > 0) ++used[sheetKinds_[k]];
    }
    return used;
}

std::optional<std::string> PackingJob::writeReport(const std::filesystem::path& directory,
                                                   OutputSet& outputs,
                                                   const std::string& lastLines) const {
    if (severalSheets() || mirror_) {
        std::string text = severalSheets()
                               ? formatSheetsReport(statistics_, timingText_, sheets_,
                                                    sheet_.length, sheet_.width, sheetsAtLeast_)
                               : formatReport(statistics_, timingText_);
        if (mirror_) {
            int mirrored = 0;
            for (const Part& part : parts_) {
                if (part.turn().mirrored && liesOnSheet(part, sheet_.length, sheet_.width)) {
                    ++mirrored;
                }
            }
            text += "Mirrored parts:" + std::to_string(mirrored) + "\n";
        }
        return outputs.stage(directory / kReportFileName, text + fillerLine() + lastLines);
    }
    return outputs.stage(directory / kReportFileName,
                         formatReport(statistics_, timingText_) + fillerLine() + lastLines);
}

std::string PackingJob::fillerLine() const {
    if (fillers_.empty()) return "";
    std::string line = "Filler parts placed:";
    if (fillersPlaced_.empty()) line += " none";
    for (std::size_t k = 0; k < fillersPlaced_.size(); ++k) {
        line += (k == 0 ? " " : ", ") + fillersPlaced_[k].first + " x " +
                std::to_string(fillersPlaced_[k].second);
    }
    return line + "\n";
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
    run.fillersPlaced = fillersPlaced_;
    if (severalSheets()) {
        run.sheetOf = sheetOf_;
        for (const SheetLayout& sheet : sheets_) {
            run.sheetFigures.push_back(sheet.statistics);
            if (usesStock()) run.sheetKinds.push_back(sheet.kind);
        }
        run.sheetsAtLeast = sheetsAtLeast_;
        if (usesStock()) run.sheetAreaUsed = sheetAreaUsed(sheets_, sheet_.length, sheet_.width);
    }
    return outputs.stage(file, formatPlacementJson(parts_, items_, statistics_, run));
}

}  // namespace blocknest
