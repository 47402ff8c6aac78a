#include "input/job_loader.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "base/number_format.hpp"
#include "input/job_list_reader.hpp"
#include "input/json_instance_reader.hpp"

namespace blocknest {
namespace {

// The copies made of each filler part: as many as fit are made from one, copied as they find
// room.
std::int64_t fillerCopies(const FillerCount& fill) { return fill.asManyAsFit ? 1 : fill.count; }

// Makes every part of the input a filler part.
void markFillers(JobInput& input, const FillerCount& fill) {
    for (Part& part : input.parts) {
        part.setFiller(fill.asManyAsFit ? Part::Filler::asManyAsFit : Part::Filler::counted);
    }
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

std::string sheetText(const JobInput& input) {
    if (input.sheetLength) {
        return "the sheet " + formatNumber(*input.sheetLength) + " x " +
               formatNumber(input.sheetWidth.value_or(0)) + " of " + quoted(input.source);
    }
    return "the strip height " + formatNumber(input.sheetWidth.value_or(0)) + " of " +
           quoted(input.source);
}

// Which files could have given the sheet and why none did, for the line that asks for --sheet.
std::string whyNoSheet(const std::vector<JobInput>& inputs) {
    constexpr std::size_t kMaxNamed = 3;
    std::string listing;
    for (std::size_t i = 0; i < inputs.size() && i < kMaxNamed; ++i) {
        listing +=
            (i == 0 ? "" : ", ") + quoted(inputs[i].source) +
            (inputs[i].format == InputFormat::json ? " has no \"strip_height\"" : " is a drawing");
    }
    if (inputs.size() > kMaxNamed)
        listing += ", and " + std::to_string(inputs.size() - kMaxNamed) + " more";
    return "no file gives the sheet (" + listing + ")";
}

// The drawings' units become the job's when they agree; when they do not, the user is told.
void mergeDrawingUnits(const std::vector<JobInput>& inputs, MergedInput& merged) {
    std::optional<int> common;
    std::string listing;
    bool mixed = false;
    bool unnamed = false;
    for (const JobInput& input : inputs) {
        if (!input.insUnits) continue;
        if (common && *common != *input.insUnits) mixed = true;
        if (!common) common = input.insUnits;
        unnamed = unnamed || *input.insUnits == 0;
        listing += (listing.empty() ? "" : ", ") + quoted(input.source) +
                   (*input.insUnits == 0 ? " naming none"
                                         : " in " + std::string(insUnitsName(*input.insUnits)));
    }
    if (!mixed) {
        merged.insUnits = common.value_or(0);
        return;
    }
    merged.notes.push_back(
        "blocknest: the drawings are in different units (" + listing +
        ") and are read as they are; --units converts them to one" +
        (unnamed ? ", with --assume-units for the drawings that name none" : ""));
}

// The unit to convert a job's drawings to when they name different units, each one (or its
// job list row) naming its own, and no --units asks for one: the unit most of them are in
// (the first one's among equals). None when they agree, or one names no unit.
std::optional<int> commonUnitFor(const std::vector<JobInput>& inputs) {
    std::vector<std::pair<int, int>> counts;  // unit, drawings in it, in order of first use
    for (const JobInput& input : inputs) {
        if (!input.insUnits) continue;
        if (*input.insUnits == 0 || !metresPerUnit(*input.insUnits)) return std::nullopt;
        const auto same = std::find_if(counts.begin(), counts.end(),
                                       [&](const auto& c) { return c.first == *input.insUnits; });
        if (same == counts.end()) {
            counts.emplace_back(*input.insUnits, 1);
        } else {
            ++same->second;
        }
    }
    if (counts.size() < 2) return std::nullopt;
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

// A file read as a part data file for want of another format, that is no text at all.
std::optional<InputError> refuseForeign(const std::string& path, InputFormat format) {
    if (format != InputFormat::partData) return std::nullopt;
    const std::optional<std::string> kind = foreignFileKind(path);
    if (!kind) return std::nullopt;
    const bool dwg = *kind == "a DWG drawing";
    return InputError{true, path + ": " + *kind +
                                ", not a part data file, DXF drawing, JSON instance or job list" +
                                (dwg ? " (a CAD program saves it as DXF)" : "")};
}

// A job list's layer cell: one name, or several separated by ';' (commas separate the cells).
std::vector<std::string> layerList(const std::string& cell) {
    std::vector<std::string> names;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = cell.find(';', start);
        std::string name = cell.substr(start, end == std::string::npos ? end : end - start);
        name.erase(0, name.find_first_not_of(" \t"));
        name.erase(name.find_last_not_of(" \t") + 1);
        if (!name.empty()) names.push_back(std::move(name));
        if (end == std::string::npos) return names;
        start = end + 1;
    }
}

// What a job list's row says about its parts: their name (in the place of the file's stem),
// turns and mirroring.
void applyRow(const JobListRow& row, int rotationCount, JobInput& input) {
    const std::string stem = std::filesystem::path(row.path).stem().string();
    for (InputItem& item : input.items) {
        if (row.name && input.items.size() == 1) {
            item.name = *row.name;
        } else if (row.name) {
            // "stem:layer" becomes "name:layer", a numbered "stem-2" becomes "name-2".
            const bool stemmed = item.name.starts_with(stem + ":");
            const bool numbered =
                item.name.starts_with(stem + "-") && item.name.size() > stem.size() + 1 &&
                item.name.find_first_not_of("0123456789", stem.size() + 1) == std::string::npos;
            item.name = numbered ? *row.name + item.name.substr(stem.size())
                                 : *row.name + ":" +
                                       (stemmed ? item.name.substr(stem.size() + 1) : item.name);
        }
        if (row.turns || row.mirror) {
            std::vector<Orientation> turns = row.turns.value_or(
                item.orientations.empty() ? evenTurns(rotationCount) : item.orientations);
            item.orientations = row.mirror ? withMirrored(turns) : turns;
        }
    }
    for (Part& part : input.parts) {
        const InputItem& item = input.items[static_cast<std::size_t>(part.itemIndex())];
        part.setName(item.name);
        if (row.turns || row.mirror) part.setOrientations(item.orientations);
    }
}

// What the files read so far hold, over the whole job: the bounds each file is held to hold
// for their sum, so that many files within them cannot take all memory together.
class JobTotals {
public:
    explicit JobTotals(const ReadLimits& limits) : limits_(limits) {}

    // Adds the input's parts; where names it ("jobs.csv:4" or the file) in the line that says
    // which bound the job now passes.
    std::optional<InputError> add(const JobInput& input, const std::string& where) {
        std::int64_t vertices = 0;
        for (const Part& part : input.parts) vertices += part.totalVertexCount();
        return add(input.parts.count(), vertices, where);
    }

    // The same for copies of a drawing's parts before they are made: each part that many
    // times.
    std::optional<InputError> addCopies(const PartList& parts, std::int64_t copies,
                                        const std::string& where) {
        std::int64_t vertices = 0;
        for (const Part& part : parts) vertices += part.totalVertexCount();
        const std::int64_t count = parts.count();
        // Past either bound, the sums are not needed exactly.
        const std::int64_t cap = std::max(limits_.maxParts, limits_.maxStoredVertices) + 1;
        const auto times = [&](std::int64_t n) {
            return n == 0 ? 0 : copies > cap / n ? cap : n * copies;
        };
        return add(times(count), times(vertices), where);
    }

private:
    std::optional<InputError> add(std::int64_t parts, std::int64_t vertices,
                                  const std::string& where) {
        parts_ += parts;
        vertices_ += vertices;
        const auto over = [&](std::int64_t limit, const char* what) {
            return InputError{false, where + ": the job's files hold more than " +
                                         std::to_string(limit) + " " + what +
                                         " in all, the bound on a whole job"};
        };
        if (parts_ > limits_.maxParts) return over(limits_.maxParts, "parts");
        if (vertices_ > limits_.maxStoredVertices) {
            return over(limits_.maxStoredVertices, "vertices (copies counted)");
        }
        return std::nullopt;
    }

    ReadLimits limits_;
    std::int64_t parts_ = 0;
    std::int64_t vertices_ = 0;
};

// A job list's files as read, so that rows naming one file read it once for each set of
// layers they ask for: its format, and the drawing (before its copies are made) or the input.
struct ListedFiles {
    struct Kind {
        InputFormat format = InputFormat::partData;
        std::optional<InputError> foreign;
    };
    std::map<std::string, Kind> kinds;
    std::map<std::tuple<std::string, std::vector<std::string>, std::optional<int>>,
             DxfPartsContents>
        drawings;
    std::map<std::string, JobInput> others;
};

// The row's file as a job input: read once for the file and the row's layers, then copied as
// often as the row asks; lines about the file come with its first row only. The job's totals
// take the row's parts, a drawing's copies counted before they are made.
std::variant<JobInput, InputError> readListedFile(const JobListRow& row, InputFormat format,
                                                  const InputSettings& settings,
                                                  ListedFiles& listed, JobTotals& totals,
                                                  const std::string& place) {
    if (format != InputFormat::dxf) {
        auto found = listed.others.find(row.path);
        if (found == listed.others.end()) {
            std::variant<JobInput, InputError> input =
                readInput(InputFile{row.path, std::nullopt}, format, settings);
            if (std::holds_alternative<InputError>(input)) return input;
            found = listed.others.emplace(row.path, std::move(std::get<JobInput>(input))).first;
            if (std::optional<InputError> over = totals.add(found->second, place)) return *over;
            return found->second;
        }
        if (std::optional<InputError> over = totals.add(found->second, place)) return *over;
        JobInput again = found->second;
        again.warnings.clear();
        return again;
    }
    const auto key = std::make_tuple(row.path, settings.dxf.layers, settings.dxf.assumedUnits);
    auto found = listed.drawings.find(key);
    const bool first = found == listed.drawings.end();
    if (first) {
        DxfReadSettings dxf = settings.dxf;
        dxf.fallbackName = std::filesystem::path(row.path).stem().string();
        std::variant<DxfPartsContents, InputError> contents = readDxfPartFile(row.path, dxf);
        if (auto* error = std::get_if<InputError>(&contents)) return std::move(*error);
        found = listed.drawings.emplace(key, std::move(std::get<DxfPartsContents>(contents))).first;
    }
    const std::int64_t copies =
        row.fill ? fillerCopies(*row.fill) : row.quantity.value_or(settings.defaultCopies);
    if (std::optional<InputError> over = totals.addCopies(found->second.parts, copies, place)) {
        return *over;
    }
    std::variant<JobInput, InputError> input =
        toJobInput(found->second, row.path, copies, settings.limits.read);
    if (auto* read = std::get_if<JobInput>(&input); read != nullptr) {
        if (!first) read->warnings.clear();
        if (row.fill) markFillers(*read, *row.fill);
    }
    return input;
}

// Keeps of a drawing's input the one part the row names: by its whole name ("kit-2",
// "kit:PLATE") or by what follows the file's name ("2", "PLATE"). False when none is so named.
bool keepNamedPart(JobInput& input, const std::string& wanted, const std::string& stem) {
    std::optional<std::size_t> kept;
    for (std::size_t i = 0; i < input.items.size() && !kept; ++i) {
        const std::string& name = input.items[i].name;
        if (name == wanted || name == stem + ":" + wanted || name == stem + "-" + wanted) kept = i;
    }
    if (!kept) return false;
    PartList parts;
    for (Part& part : input.parts) {
        if (part.itemIndex() != static_cast<int>(*kept)) continue;
        part.setItemIndex(0);
        parts.pushBack(std::move(part));
    }
    input.parts = std::move(parts);
    InputItem item = std::move(input.items[*kept]);
    input.items.clear();
    input.items.push_back(std::move(item));
    return true;
}

// The files a job list names, each read in its own format and given the row's settings.
std::variant<std::vector<JobInput>, InputError> readJobListInputs(const std::string& listPath,
                                                                  const InputSettings& settings,
                                                                  JobTotals& totals) {
    std::variant<std::vector<JobListRow>, InputError> rows = readJobListFile(listPath);
    if (auto* error = std::get_if<InputError>(&rows)) return std::move(*error);
    std::vector<JobInput> inputs;
    ListedFiles listed;
    for (const JobListRow& row : std::get<std::vector<JobListRow>>(rows)) {
        const std::string place = listPath + ":" + std::to_string(row.line);
        const std::string where = place + ": ";
        auto known = listed.kinds.find(row.path);
        if (known == listed.kinds.end()) {
            std::error_code error;
            if (!std::filesystem::exists(row.path, error)) {
                return InputError{false,
                                  where + "the file " + quoted(row.path) + " does not exist"};
            }
            ListedFiles::Kind kind;
            kind.format = detectInputFormat(row.path);
            kind.foreign = refuseForeign(row.path, kind.format);
            known = listed.kinds.emplace(row.path, std::move(kind)).first;
        }
        const InputFormat format = known->second.format;
        if (format == InputFormat::jobList) {
            return InputError{false, where + quoted(row.path) +
                                         " is a job list; a job list names drawings, part data "
                                         "files and JSON instances"};
        }
        if (row.quantity && *row.quantity != 1 && format != InputFormat::dxf) {
            return InputError{
                false, where + "a quantity applies to DXF drawings only, and " + quoted(row.path) +
                           " is a " + std::string(formatName(format)) + " with counts of its own"};
        }
        if (row.fill && format != InputFormat::dxf) {
            return InputError{false, where + "filler parts are taken from DXF drawings only, and " +
                                         quoted(row.path) + " is a " +
                                         std::string(formatName(format))};
        }
        if (row.layer && format != InputFormat::dxf) {
            return InputError{false, where + "a layer applies to DXF drawings only, and " +
                                         quoted(row.path) + " is a " +
                                         std::string(formatName(format))};
        }
        if (row.part && format != InputFormat::dxf) {
            return InputError{false, where + "a part is picked from DXF drawings only, and " +
                                         quoted(row.path) + " is a " +
                                         std::string(formatName(format))};
        }
        if (row.units && format != InputFormat::dxf) {
            return InputError{false, where + "units apply to DXF drawings only, and " +
                                         quoted(row.path) + " is a " +
                                         std::string(formatName(format))};
        }
        if (known->second.foreign) {
            InputError foreign = *known->second.foreign;
            foreign.detail += " (listed in " + place + ")";
            return foreign;
        }
        InputSettings own = settings;
        // The row's units are the drawing's where it names none; --units converts as usual.
        if (row.units) own.dxf.assumedUnits = row.units;
        if (row.layer) {
            own.dxf.layers = layerList(*row.layer);
            if (own.dxf.layers.empty())
                return InputError{false, where + "the layer cell names no layer"};
        }
        std::variant<JobInput, InputError> input =
            readListedFile(row, format, own, listed, totals, place);
        if (auto* failed = std::get_if<InputError>(&input)) {
            // A bound on the whole job names the row already.
            if (!failed->detail.starts_with(place)) failed->detail += " (listed in " + place + ")";
            return std::move(*failed);
        }
        JobInput& read = std::get<JobInput>(input);
        if (row.layer && read.parts.empty()) {
            InputError none{false, where + quoted(row.path) + " holds no part on the layer" +
                                       (own.dxf.layers.size() == 1 ? " " : "s ") +
                                       quoted(*row.layer) + " that the row names"};
            none.notes = read.warnings;
            return none;
        }
        if (row.part) {
            std::string names;
            for (const InputItem& item : read.items)
                names += (names.empty() ? "" : ", ") + item.name;
            if (!keepNamedPart(read, *row.part, std::filesystem::path(row.path).stem().string())) {
                return InputError{false, where + quoted(row.path) + " holds no part named " +
                                             quoted(*row.part) + " (its parts: " + names + ")"};
            }
        }
        applyRow(row, settings.rotationCount, read);
        inputs.push_back(std::move(read));
    }
    return inputs;
}

}  // namespace

std::variant<JobInput, InputError> readInput(const InputFile& file, InputFormat format,
                                             const InputSettings& settings) {
    switch (format) {
        case InputFormat::partData: {
            std::variant<PartFileContents, InputError> contents =
                readPartFile(file.path, settings.limits.read);
            if (auto* error = std::get_if<InputError>(&contents)) return std::move(*error);
            return toJobInput(std::move(std::get<PartFileContents>(contents)), file.path);
        }
        case InputFormat::json:
            return readJsonInstanceFile(file.path, settings.limits.read);
        case InputFormat::dxf: {
            DxfReadSettings dxf = settings.dxf;
            dxf.fallbackName = std::filesystem::path(file.path).stem().string();
            std::variant<DxfPartsContents, InputError> contents = readDxfPartFile(file.path, dxf);
            if (auto* error = std::get_if<InputError>(&contents)) return std::move(*error);
            std::variant<JobInput, InputError> input = toJobInput(
                std::move(std::get<DxfPartsContents>(contents)), file.path,
                file.fill ? fillerCopies(*file.fill) : file.copies.value_or(settings.defaultCopies),
                settings.limits.read);
            if (auto* read = std::get_if<JobInput>(&input); read != nullptr && file.fill) {
                markFillers(*read, *file.fill);
            }
            return input;
        }
        case InputFormat::jobList:
            break;  // loadJob reads the files it names
    }
    return InputError{false, file.path + ": cannot be read"};
}

std::variant<std::vector<JobInput>, InputError> readJobListInputs(const std::string& listPath,
                                                                  const InputSettings& settings) {
    JobTotals totals(settings.limits.read);
    return readJobListInputs(listPath, settings, totals);
}

std::optional<InputError> foreignFileError(const std::string& path, InputFormat format) {
    return refuseForeign(path, format);
}

std::variant<MergedInput, InputError> mergeInputs(std::vector<JobInput> inputs,
                                                  const InputSettings& settings) {
    MergedInput merged;
    const JobInput* sheetSource = nullptr;  // the part data file, else the first JSON width
    for (const JobInput& input : inputs) {
        if (input.format != InputFormat::partData) continue;
        if (sheetSource != nullptr) {
            return InputError{false,
                              "blocknest: more than one part data file given (" +
                                  quoted(sheetSource->source) + " and " + quoted(input.source) +
                                  ")",
                              true};
        }
        sheetSource = &input;
    }
    for (const JobInput& input : inputs) {
        if (input.format == InputFormat::partData || !input.sheetWidth) continue;
        if (sheetSource == nullptr) {
            sheetSource = &input;
        } else if (*input.sheetWidth != *sheetSource->sheetWidth && !settings.sheet) {
            if (sheetSource->format == InputFormat::partData) {
                merged.notes.push_back("blocknest: " + sheetText(input) + " gives way to " +
                                       sheetText(*sheetSource));
            } else {
                return InputError{false, input.source + ": its strip height " +
                                             formatNumber(*input.sheetWidth) +
                                             " differs from the strip height " +
                                             formatNumber(*sheetSource->sheetWidth) + " of " +
                                             quoted(sheetSource->source) +
                                             "; give the sheet with --sheet LENGTHxWIDTH"};
            }
        }
    }
    if (settings.sheet) {
        merged.contents.sheetLength = settings.sheet->length;
        merged.contents.sheetWidth = settings.sheet->width;
        merged.lengthGiven = true;
        for (const JobInput& input : inputs) {
            if (!input.sheetWidth) continue;
            const std::string size =
                formatNumber(settings.sheet->length) + "x" + formatNumber(settings.sheet->width);
            merged.notes.push_back("blocknest: " +
                                   (settings.sheetGivenBy.empty()
                                        ? "--sheet " + size
                                        : "the sheet " + size + " of " + settings.sheetGivenBy) +
                                   " replaces " + sheetText(input));
        }
    } else if (sheetSource != nullptr) {
        merged.contents.sheetWidth = *sheetSource->sheetWidth;
        merged.lengthGiven = sheetSource->sheetLength.has_value();
        merged.contents.sheetLength = sheetSource->sheetLength.value_or(0);
    } else {
        return InputError{
            false, "blocknest: " + whyNoSheet(inputs) + "; give it with --sheet LENGTHxWIDTH",
            true};
    }
    std::set<std::string> named;
    for (JobInput& input : inputs) {
        for (std::string& warning : input.warnings) merged.notes.push_back(std::move(warning));
        merged.doubtfulLines += input.doubtfulLines;
        const int offset = static_cast<int>(merged.items.size());
        for (InputItem& item : input.items) merged.items.push_back(std::move(item));
        for (Part& part : input.parts) part.setItemIndex(part.itemIndex() + offset);
        if (merged.contents.parts.empty()) {
            merged.contents.parts = std::move(input.parts);
        } else {
            for (Part& part : input.parts) merged.contents.parts.pushBack(std::move(part));
        }
        // A file that several rows of a job list name is named once.
        if (named.insert(input.source).second) {
            if (!merged.sourceName.empty()) merged.sourceName += ", ";
            merged.sourceName += input.source;
        }
    }
    mergeDrawingUnits(inputs, merged);
    return merged;
}

double sheetLengthBound(PartList& parts, double sheetWidth) {
    if (parts.empty()) return 0;
    orderPartsByArea(parts);
    const double b = computeBlockSideLength(parts);
    double lengths = 0;
    double area = 0;
    for (const Part& part : parts) {
        lengths += part.bounds().maxX - part.bounds().minX + 3 * b;
        area += part.netArea();
    }
    return std::ceil(std::max(lengths, 3 * area / sheetWidth) + 4 * b);
}

std::variant<LoadedJob, InputError> loadJob(const std::vector<InputFile>& files,
                                            const InputSettings& settings,
                                            std::vector<JobInput> made) {
    std::vector<JobInput> inputs;
    // A failure keeps what the drawings read so far said, so that the reasons behind it (every
    // contour of a drawing left out, say) are not lost with the run.
    const auto withNotes = [&inputs](InputError error) {
        std::vector<std::string> notes;
        for (const JobInput& input : inputs)
            if (input.format == InputFormat::dxf)
                notes.insert(notes.end(), input.warnings.begin(), input.warnings.end());
        error.notes.insert(error.notes.begin(), notes.begin(), notes.end());
        return error;
    };
    JobTotals totals(settings.limits.read);
    for (const InputFile& file : files) {
        const InputFormat format = detectInputFormat(file.path);
        if (format == InputFormat::jobList && !file.copies && !file.fill) {
            std::variant<std::vector<JobInput>, InputError> listed =
                readJobListInputs(file.path, settings, totals);
            if (auto* error = std::get_if<InputError>(&listed)) return std::move(*error);
            for (JobInput& input : std::get<std::vector<JobInput>>(listed))
                inputs.push_back(std::move(input));
            continue;
        }
        std::error_code missing;
        if (file.copies && !std::filesystem::exists(file.path, missing)) {
            return InputError{
                false, "blocknest: " + quoted(file.path + ":" + std::to_string(*file.copies)) +
                           ": the file " + quoted(file.path) + " does not exist"};
        }
        if (file.fill && format != InputFormat::dxf) {
            return InputError{false,
                              "blocknest: " + quoted(file.path) +
                                  ": filler parts are taken from DXF drawings only, and it is a " +
                                  std::string(formatName(format)),
                              true};
        }
        if (file.copies && format != InputFormat::dxf) {
            return InputError{
                false,
                "blocknest: " + quoted(file.path + ":" + std::to_string(*file.copies)) +
                    ": a copy count applies to DXF drawings only, and " + quoted(file.path) +
                    " is a " + std::string(formatName(format)),
                true};
        }
        if (std::optional<InputError> foreign = refuseForeign(file.path, format)) return *foreign;
        std::variant<JobInput, InputError> input = readInput(file, format, settings);
        if (auto* error = std::get_if<InputError>(&input)) return withNotes(std::move(*error));
        if (std::optional<InputError> over = totals.add(std::get<JobInput>(input), file.path)) {
            return withNotes(std::move(*over));
        }
        inputs.push_back(std::move(std::get<JobInput>(input)));
    }
    if (!settings.dxf.targetUnits) {
        if (const std::optional<int> unit = commonUnitFor(inputs)) {
            // Every drawing's unit is known: read them again converted, at their true sizes.
            std::string listing;
            for (const JobInput& input : inputs) {
                if (!input.insUnits || *input.insUnits == *unit) continue;
                listing += (listing.empty() ? "" : ", ") + quoted(input.source) + " from " +
                           std::string(insUnitsName(*input.insUnits));
            }
            InputSettings converted = settings;
            converted.dxf.targetUnits = *unit;
            std::variant<LoadedJob, InputError> job = loadJob(files, converted, std::move(made));
            if (auto* loaded = std::get_if<LoadedJob>(&job)) {
                loaded->notes.insert(
                    loaded->notes.begin(),
                    "blocknest: the drawings name different units: the job is in " +
                        std::string(insUnitsName(*unit)) +
                        ", the unit most of them name, and --sheet, --spacing and --margin "
                        "with it; converted: " +
                        listing + " (--units picks another)");
            }
            return job;
        }
    }
    for (JobInput& input : made) inputs.push_back(std::move(input));
    const InputError noted = withNotes(InputError{});
    std::variant<MergedInput, InputError> mergedOrError = mergeInputs(std::move(inputs), settings);
    if (auto* error = std::get_if<InputError>(&mergedOrError)) {
        error->notes = noted.notes;
        return std::move(*error);
    }
    MergedInput& merged = std::get<MergedInput>(mergedOrError);
    if (!merged.lengthGiven && !merged.contents.parts.empty() &&
        std::isfinite(merged.contents.sheetWidth) && merged.contents.sheetWidth > 0) {
        merged.contents.sheetLength =
            sheetLengthBound(merged.contents.parts, merged.contents.sheetWidth);
        merged.notes.push_back("blocknest: sheet length " +
                               formatNumber(merged.contents.sheetLength) +
                               ", long enough for every part (no file or --sheet gives it)");
    }
    std::variant<PreparedJob, InputError> prepared =
        prepareJob(std::move(merged.contents), merged.sourceName, settings.limits);
    if (auto* error = std::get_if<InputError>(&prepared)) {
        error->notes = noted.notes;
        return std::move(*error);
    }
    return LoadedJob{std::move(std::get<PreparedJob>(prepared)), std::move(merged.items),
                     std::move(merged.notes), merged.insUnits, merged.doubtfulLines};
}

}  // namespace blocknest
