// The filler parts of a job: set aside before packing, then placed in the room the required
// parts leave on the sheets they use.
#include <algorithm>
#include <cmath>
#include <numeric>

#include "job/packing_job.hpp"
#include "packing/packer.hpp"
#include "packing/sheet_marking.hpp"
#include "packing/sheets.hpp"
#include "spacing/clearance.hpp"

namespace blocknest {
namespace {

// At most this many copies of a part placed as many times as it fits are tried on one sheet.
constexpr std::int64_t kMaxFillerCopiesPerSheet = 10000;

}  // namespace

void PackingJob::setFillersAside() {
    PartList required;
    fillers_.clear();
    for (Part& part : parts_) {
        if (part.filler() == Part::Filler::no) {
            required.pushBack(std::move(part));
        } else {
            fillers_.push_back(std::move(part));
        }
    }
    parts_ = std::move(required);
    requiredCount_ = parts_.count();
}

std::optional<std::string> PackingJob::placeFillers(const Clearance& clearance) {
    fillersPlaced_.clear();
    fillersWithoutRoom_.clear();
    if (fillers_.empty()) return std::nullopt;
    // Largest first; alike parts keep their order.
    std::vector<std::size_t> order(fillers_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return fillers_[a].netArea() > fillers_[b].netArea();
    });
    std::vector<char> placedAlready(fillers_.size(), 0);
    // The required parts on each sheet they use (list order): fillers never open a sheet.
    std::vector<std::vector<std::size_t>> onSheet;
    std::size_t i = 0;
    for (const Part& part : parts_) {
        int k = -1;
        if (severalSheets()) {
            k = i < sheetOf_.size() ? sheetOf_[i] : kNoSheet;
        } else if (liesOnSheet(part, sheet_.length, sheet_.width)) {
            k = 0;
        }
        if (k >= 0) {
            if (onSheet.size() <= static_cast<std::size_t>(k)) onSheet.resize(k + 1);
            onSheet[k].push_back(i);
        }
        ++i;
    }
    std::vector<const Part*> byIndex;
    for (const Part& part : parts_) byIndex.push_back(&part);
    PartList placedFillers;
    std::vector<int> placedSheet;
    const double half = clearance.spacing / 2;
    SilentConsole silent;
    for (std::size_t k = 0; k < onSheet.size(); ++k) {
        if (onSheet[k].empty()) continue;
        Sheet sheet = sheet_;
        double sheetArea = sheet_.length * sheet_.width;
        if (usesStock()) {
            const SheetKind& kind = stock_[sheetKinds_[k]];
            if (std::optional<std::string> why = makeSheetOfKind(sheet, kind)) return why;
            sheetArea = kind.length * kind.width;
        }
        double free = sheetArea;
        for (const std::size_t r : onSheet[k]) free -= byIndex[r]->netArea();
        // The candidates for this sheet, largest first: each counted filler not yet placed,
        // and for a part placed as many times as fit, as many copies as the room could hold.
        PartList candidates;
        std::vector<std::size_t> source;
        for (const std::size_t f : order) {
            const Part& filler = fillers_[f];
            if (filler.filler() == Part::Filler::counted) {
                if (placedAlready[f]) continue;
                candidates.pushBack(filler);
                source.push_back(f);
            } else if (filler.netArea() > 0) {
                const double room = std::floor(std::max(0.0, free) / filler.netArea());
                const auto copies =
                    static_cast<std::int64_t>(std::min<double>(room, kMaxFillerCopiesPerSheet));
                for (std::int64_t c = 0; c < copies; ++c) {
                    candidates.pushBack(filler);
                    source.push_back(f);
                }
            }
        }
        if (candidates.count() == 0) continue;
        std::variant<PlacementJob, std::string> made =
            makePlacementJob(candidates, sheet, clearance);
        if (auto* why = std::get_if<std::string>(&made)) return *why;
        PlacementJob& placement = std::get<PlacementJob>(made);
        if (mirror_) allowMirrored(placement.parts, rotationCount_);
        // The required parts stand where they are, grown as the fillers are, in the placement
        // sheet's coordinates.
        PartList all;
        for (const std::size_t r : onSheet[k]) {
            Part fixed = half > 0 ? growPart(*byIndex[r], half) : *byIndex[r];
            fixed.translate(-placement.sheetOrigin, -placement.sheetOrigin);
            all.pushBack(std::move(fixed));
        }
        for (const Part& part : placement.parts) all.pushBack(part);
        PackingMemory memory(all, placement.sheet);
        const std::vector<Orientation> evenTrials = evenTurns(rotationCount_);
        std::size_t n = 0;
        for (Part& part : all) {
            if (n++ < onSheet[k].size()) {
                markPartOnSheet(placement.sheet, part, silent);
                memory.others.markPlaced(part);
            } else {
                packPart(part, placement.sheet,
                         part.orientations().empty() ? evenTrials : part.orientations(), silent,
                         memory);
            }
        }
        PartList packed;
        n = 0;
        for (Part& part : all) {
            if (n++ >= onSheet[k].size()) packed.pushBack(std::move(part));
        }
        PartList real = candidates;
        placeOriginals(real, placement, packed);
        auto grown = packed.begin();
        std::size_t c = 0;
        for (Part& part : real) {
            if (liesWithin(*grown, placement.sheet)) {
                placedAlready[source[c]] = 1;
                placedFillers.pushBack(std::move(part));
                placedSheet.push_back(static_cast<int>(k));
            }
            ++grown;
            ++c;
        }
    }
    for (Part& part : placedFillers) {
        const auto named =
            std::find_if(fillersPlaced_.begin(), fillersPlaced_.end(),
                         [&](const auto& entry) { return entry.first == part.name(); });
        if (named == fillersPlaced_.end()) {
            fillersPlaced_.emplace_back(part.name(), 1);
        } else {
            ++named->second;
        }
        parts_.pushBack(std::move(part));
    }
    if (severalSheets()) sheetOf_.insert(sheetOf_.end(), placedSheet.begin(), placedSheet.end());
    // The fillers left over, named in list order: counted copies by how many, the others when
    // not one copy fit.
    for (std::size_t f = 0; f < fillers_.size(); ++f) {
        const Part& filler = fillers_[f];
        const bool counted = filler.filler() == Part::Filler::counted;
        if (counted
                ? placedAlready[f] != 0
                : std::any_of(fillersPlaced_.begin(), fillersPlaced_.end(),
                              [&](const auto& entry) { return entry.first == filler.name(); })) {
            continue;
        }
        const auto named =
            std::find_if(fillersWithoutRoom_.begin(), fillersWithoutRoom_.end(),
                         [&](const auto& entry) { return entry.first == filler.name(); });
        if (named == fillersWithoutRoom_.end()) {
            fillersWithoutRoom_.emplace_back(filler.name(), counted ? 1 : 0);
        } else if (counted) {
            ++named->second;
        }
    }
    return std::nullopt;
}

std::string PackingJob::fillersWithoutRoomLine() const {
    if (fillersWithoutRoom_.empty()) return "";
    std::string line = "filler parts with no room on the sheets used:";
    for (std::size_t k = 0; k < fillersWithoutRoom_.size(); ++k) {
        const auto& [name, count] = fillersWithoutRoom_[k];
        line += (k == 0 ? " " : ", ") + name +
                (count > 0 ? " x " + std::to_string(count) : std::string(" (none fit)"));
    }
    return line;
}

}  // namespace blocknest
