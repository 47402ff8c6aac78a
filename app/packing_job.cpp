#include "app/packing_job.hpp"

#include <algorithm>
#include <chrono>
#include <variant>

#include "input/job_preparation.hpp"
#include "output/atomic_file.hpp"
#include "output/dxf_writer.hpp"
#include "output/report_writer.hpp"
#include "packing/packer.hpp"
#include "packing/sheets.hpp"

namespace blocknest {

std::optional<InputError> PackingJob::loadAndPrepare(const std::string& path) {
    std::variant<PreparedJob, InputError> prepared = blocknest::loadAndPrepare(path);
    if (auto* error = std::get_if<InputError>(&prepared)) return std::move(*error);
    PreparedJob& job = std::get<PreparedJob>(prepared);
    parts_ = std::move(job.parts);
    partCount_ = job.partCount;
    sheet_ = std::move(job.sheet);
    return std::nullopt;
}

void PackingJob::packAllParts(Console& console, bool showProgress) {
    timingText_ = blocknest::packAllParts(parts_, sheet_, rotationCount_, console, showProgress);
}

namespace {

class SilentConsole : public Console {
public:
    void write(std::string_view) override {}
    void write(Message) override {}
    void warn(Message) override {}
    void error(std::string_view) override {}
    void pause() override {}
};

}  // namespace

std::optional<std::string> PackingJob::packLayout(const Clearance& clearance, Console& console,
                                                  bool showProgress) {
    std::optional<PlacementJob> placement;
    if (clearance.any()) {
        std::variant<PlacementJob, std::string> made = makePlacementJob(parts_, sheet_, clearance);
        if (auto* why = std::get_if<std::string>(&made)) return *why;
        placement = std::move(std::get<PlacementJob>(made));
    }
    PartList& parts = placement ? placement->parts : parts_;
    Sheet& sheet = placement ? placement->sheet : sheet_;
    if (mirror_) {
        const std::vector<Orientation> even = evenTurns(rotationCount_);
        for (Part& part : parts) {
            part.setOrientations(
                withMirrored(part.orientations().empty() ? even : part.orientations()));
        }
    }
    if (!severalSheets()) {
        timingText_ = blocknest::packAllParts(parts, sheet, rotationCount_, console, showProgress);
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
        console.write("Sheets used: " + std::to_string(sheetNumber) + " " + timingText_);
    }
    if (placement) placeOriginals(parts_, *placement, placement->parts);
    return std::nullopt;
}

std::vector<std::string> PackingJob::partsTooLarge() const {
    std::vector<std::string> names;
    std::size_t i = 0;
    for (const Part& part : parts_) {
        if (i < sheetOf_.size() && sheetOf_[i] == kTooLarge &&
            std::find(names.begin(), names.end(), part.name()) == names.end()) {
            names.push_back(part.name());
        }
        ++i;
    }
    return names;
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
    for (SheetLayout& sheet : sheets_) {
        sheet.statistics = blocknest::computeStatistics(sheet.parts, sheet_.length, sheet_.width);
    }
    statistics_ = combineSheets(sheets_, sheet_.length, sheet_.width);
}

std::optional<std::string> PackingJob::writeLayoutDxf(
    const std::filesystem::path& directory) const {
    if (severalSheets()) {
        return replaceFile(directory / kLayoutFileName,
                           formatSheetsDxf(sheets_, partsOnNoSheet_, sheet_.length, sheet_.width));
    }
    return replaceFile(
        directory / kLayoutFileName,
        formatLayoutDxf(parts_, sheet_.length, sheet_.width, statistics_.packedLength));
}

std::optional<std::string> PackingJob::writeReport(const std::filesystem::path& directory) const {
    if (severalSheets() || mirror_) {
        std::string text = severalSheets() ? formatSheetsReport(statistics_, timingText_, sheets_)
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
        return replaceFile(directory / kReportFileName, text);
    }
    return replaceFile(directory / kReportFileName, formatReport(statistics_, timingText_));
}

}  // namespace blocknest
