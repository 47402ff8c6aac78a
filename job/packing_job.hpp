#pragma once  // job/packing_job.hpp: the one object that holds the state of a nesting run
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/console.hpp"
#include "geometry/part.hpp"
#include "input/job_input.hpp"
#include "input/part_file_reader.hpp"
#include "job/search_display.hpp"
#include "job/sheet_search_run.hpp"
#include "output/atomic_file.hpp"
#include "output/json_writer.hpp"
#include "output/statistics.hpp"
#include "packing/sheet_bounds.hpp"
#include "raster/sheet_bitmap.hpp"
#include "search/search.hpp"
#include "spacing/clearance.hpp"
#include "stock/remnant.hpp"
#include "stock/sheet_kind.hpp"

namespace blocknest {

// All state of one run: the parts, the sheet with its block grid, the rotation count, the
// figures of merit and the timing text. Never copied.
class PackingJob {
public:
    PackingJob() = default;  // sheet 6000 x 4000, block side 15, 8 rotations
    PackingJob(const PackingJob&) = delete;
    PackingJob& operator=(const PackingJob&) = delete;

    void setRotationCount(int count) { rotationCount_ = count; }
    // Sheets the parts may fill, one after another; 0: as many as they need. 1 by default.
    void setSheetCount(int count) { sheetCount_ = count; }
    // Also try every orientation of every part mirrored about its Y axis.
    void setMirror(bool mirror) { mirror_ = mirror; }
    bool mirror() const { return mirror_; }

    // Makes the job's sheet one of the kind (its size the one the job was prepared with): its
    // outline and defects become fixed obstacles. Says why it cannot.
    [[nodiscard]] std::optional<std::string> setSheetKind(const SheetKind& kind);
    // The sheets come from this stock, chosen by packStock; the job's sheet size must hold
    // every kind, so that parts parked beyond it lie on none. Says which kind's grid would be
    // too large on the job's blocks.
    [[nodiscard]] std::optional<std::string> setStock(std::vector<SheetKind> kinds);
    bool usesStock() const { return !stock_.empty(); }

    // Reads the part data file and prepares the job for packing; nothing on success.
    [[nodiscard]] std::optional<InputError> loadAndPrepare(const std::string& path);

    // Reads every file in its own format, merges them and the inputs made elsewhere into one
    // job and prepares it; the lines the user should see about the inputs are kept in
    // inputNotes().
    [[nodiscard]] std::optional<InputError> loadAndPrepare(const std::vector<InputFile>& files,
                                                           const InputSettings& settings,
                                                           std::vector<JobInput> made = {});

    // Places every part; keeps the timing text.
    void packAllParts(Console& console, bool showProgress = true);

    // Places every part so that the layout keeps the clearance's gaps, over the sheets set:
    // packs the grown parts on the placement sheet, sheet after sheet, then lays the real
    // parts where those went, each in its sheet's coordinates. Says why it cannot.
    // With search set, the search looks for the fewest sheets, shown as display says.
    [[nodiscard]] std::optional<std::string> packLayout(
        const Clearance& clearance, Console& console, bool showProgress = true,
        const SearchOptions* search = nullptr, SearchDisplay display = SearchDisplay::none);

    // Searches for a shorter layout, starting from the one the one-pass run makes, and keeps
    // the best one found; keeps the timing text of the whole search. With a clearance the
    // search packs the grown parts and the real parts are laid where those went (one sheet).
    // Says why it cannot.
    // A search (one sheet, several, or a stock plan's) hands its best layout to watcher as it
    // improves (the one-pass layout first), at most once a second: the real parts in sheet
    // coordinates, in list order with each one's sheet from 0 (sheetOf) over several sheets,
    // in packing order with sheetOf empty on one sheet, where those off the sheet lie beside
    // it.
    using LayoutWatcher =
        std::function<void(const PartList& parts, const std::vector<int>& sheetOf)>;
    void watchLayouts(LayoutWatcher watcher) { layoutWatcher_ = std::move(watcher); }

    [[nodiscard]] std::optional<std::string> searchForLayout(const SearchOptions& options,
                                                             Console& console,
                                                             SearchDisplay display,
                                                             const Clearance& clearance = {});

    // Fills sheets of the stock one after another (chooseSheets), each packed by the one-pass
    // run with the clearance's gaps, and names each sheet's kind. Says why it cannot.
    // With search set, the search then looks for fewer of those sheets, filled in the same
    // order, or a shorter last one.
    [[nodiscard]] std::optional<std::string> packStock(const Clearance& clearance, Console& console,
                                                       bool showProgress = true,
                                                       const SearchOptions* search = nullptr,
                                                       SearchDisplay display = SearchDisplay::none);

    // What is left of the last sheet used, cut across beyond its parts' packed length plus
    // the spacing (the whole sheet when none lies on it); nothing when no material is left.
    // After computeStatistics.
    [[nodiscard]] std::optional<Remnant> remnant(double spacing, const std::string& name) const;
    // The number (from 1) of the sheet the remnant is cut from: the last one used.
    [[nodiscard]] int remnantSheetNumber() const {
        return severalSheets() ? std::max<int>(1, static_cast<int>(sheets_.size())) : 1;
    }
    // Each stock kind and how many of it the job used (after computeStatistics).
    [[nodiscard]] const std::vector<SheetKind>& stock() const { return stock_; }
    [[nodiscard]] std::vector<int> stockUsed() const;
    // Each used sheet's kind, an index into stock() (after packStock).
    [[nodiscard]] const std::vector<std::size_t>& sheetKinds() const { return sheetKinds_; }

    // Counts the parts lying on the sheet and derives the figures of merit.
    void computeStatistics();

    // Stage "Layout.dxf" and "Results.txt" in directory; each returns why it failed. The
    // files replace the old ones when the set is committed.
    [[nodiscard]] std::optional<std::string> writeLayoutDxf(const std::filesystem::path& directory,
                                                            OutputSet& outputs) const;
    [[nodiscard]] std::optional<std::string> writeReport(const std::filesystem::path& directory,
                                                         OutputSet& outputs,
                                                         const std::string& lastLines = {}) const;

    // Stages the placement list for file; run names the instance and its files, the job adds
    // the sheet, the turns and the run time. Returns why it failed.
    [[nodiscard]] std::optional<std::string> writePlacementJson(const std::filesystem::path& file,
                                                                PlacementRun run,
                                                                OutputSet& outputs) const;

    const PartList& parts() const { return parts_; }
    int partCount() const { return partCount_; }
    double sheetLength() const { return sheet_.length; }
    double sheetWidth() const { return sheet_.width; }
    double blockSideLength() const { return sheet_.blockSideLength; }
    int rotationCount() const { return rotationCount_; }
    const std::string& timingText() const { return timingText_; }
    double packingSeconds() const { return packingSeconds_; }
    const std::vector<InputItem>& items() const { return items_; }  // parts' itemIndex()
    const std::vector<std::string>& inputNotes() const { return inputNotes_; }
    int insUnits() const { return insUnits_; }  // the drawings' $INSUNITS code; 0 unknown
    const PackingStatistics& statistics() const { return statistics_; }
    bool severalSheets() const { return sheetCount_ != 1 || usesStock(); }

    // Takes the filler parts out of the job's parts before packing, so that the packing and
    // the bounds see the required parts alone.
    void setFillersAside();
    // After packing: places the filler parts, largest first, each in the first room the
    // required parts leave on the sheets they use (in sheet order), with the same turns,
    // spacing and margin; never on a sheet of its own. Those placed join the job's parts;
    // the others are dropped and named by fillersWithoutRoomLine. Says why when the sheet
    // cannot take the margin.
    [[nodiscard]] std::optional<std::string> placeFillers(const Clearance& clearance);
    // "filler parts with no room on the sheets used: washer x 3, nut (none fit)" without a
    // line end, when some counted copy or some part placed as many times as fit found no room;
    // empty otherwise.
    [[nodiscard]] std::string fillersWithoutRoomLine() const;
    // The filler parts placed, by name with their count, in the order first placed.
    const std::vector<std::pair<std::string, int>>& fillersPlaced() const { return fillersPlaced_; }
    // "Filler parts placed: washer x 12, nut x 3" and its line end, when the job has filler
    // parts; empty otherwise.
    [[nodiscard]] std::string fillerLine() const;
    const SheetShape& sheetShape() const { return sheetKind_.shape; }  // of the one sheet
    // With several sheets: the sheets used, each with its parts and figures, and the parts on
    // none of them (after computeStatistics); the names of parts that fit no empty sheet.
    const std::vector<SheetLayout>& sheets() const { return sheets_; }
    const PartList& partsOnNoSheet() const { return partsOnNoSheet_; }
    [[nodiscard]] std::vector<const Part*> partsTooLarge() const;
    // With several sheets: the least number of sheets the parts that fit one could take, by
    // area alone (after computeStatistics).
    int sheetsAtLeast() const { return sheetsAtLeast_; }
    // True with one sheet when some part lies off it for want of room alone (whyLeftOff on the
    // sheet inside the margin) and no larger than the area the parts on it leave there: a
    // search may still place it.
    [[nodiscard]] bool partsLeftForRoom(double margin) const;
    // Lines of a part data file read against their likely meaning (listed in inputNotes).
    std::int64_t readWarningCount() const { return readWarningCount_; }

private:
    PartList parts_;
    int partCount_ = 0;
    Sheet sheet_;
    int rotationCount_ = 8;
    int sheetCount_ = 1;
    bool mirror_ = false;
    SheetKind sheetKind_;  // the one sheet's outline and defects, when drawn
    // What the parts' shapes prove of the sheets beyond their area, given each part's sheet.
    [[nodiscard]] int boundBeyondArea(const std::vector<int>& sheetOf) const;
    // Searches orders and turns of the prepared parts over the sheets the stock plan chose.
    [[nodiscard]] std::optional<std::string> searchStockPlan(const PartList& prepared,
                                                             const Clearance& clearance,
                                                             const SearchOptions& options,
                                                             Console& console,
                                                             SearchDisplay display);

    std::vector<SheetKind> stock_;  // the kinds to choose from, with a stock
    // What shows a search's layouts over several sheets to the layout watcher (placement: the
    // grown parts' job); empty when nobody watches.
    [[nodiscard]] SheetsLayoutWatch::Show watchSheets(const PlacementJob* placement) const;

    std::vector<std::size_t> sheetKinds_;  // each used sheet's kind, with a stock
    std::vector<int> sheetOf_;  // each part's sheet (kNoSheet, kTooLarge), with several sheets
    std::vector<SheetLayout> sheets_;
    PartList partsOnNoSheet_;
    int sheetsAtLeast_ = 0;
    std::vector<PartExtents> partExtents_;  // measured before packing, in list order
    std::vector<Part> fillers_;             // set aside until the required parts are packed
    int requiredCount_ = -1;                // the parts before the fillers placed; -1: all
    std::vector<std::pair<std::string, int>> fillersPlaced_;
    // The filler parts that found no room, by name: copies left over, or 0 for a part placed
    // as many times as fit of which none fit.
    std::vector<std::pair<std::string, int>> fillersWithoutRoom_;
    PackingStatistics statistics_;
    std::string timingText_;
    LayoutWatcher layoutWatcher_;
    std::int64_t readWarningCount_ = 0;
    double packingSeconds_ = 0;
    std::vector<InputItem> items_;
    std::vector<std::string> inputNotes_;
    int insUnits_ = 0;
};

}  // namespace blocknest
