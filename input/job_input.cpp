#include "input/job_input.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>

#include "base/number_format.hpp"
#include "base/text.hpp"
#include "input/job_list_reader.hpp"

namespace blocknest {
namespace {

constexpr std::size_t kHeadSize = 4096;

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(),
                      [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// The first two lines of an ASCII drawing are the group code 0 and "SECTION".
bool opensAsciiDxf(std::string_view head) {
    std::string_view lines[2];
    for (std::string_view& line : lines) {
        while (!head.empty() && trimmed(head.substr(0, head.find('\n'))).empty()) {
            const std::size_t end = head.find('\n');
            head.remove_prefix(end == std::string_view::npos ? head.size() : end + 1);
        }
        const std::size_t end = head.find('\n');
        if (end == std::string_view::npos) return false;
        line = trimmed(head.substr(0, end));
        head.remove_prefix(end + 1);
    }
    return lines[0] == "0" && lines[1] == "SECTION";
}

}  // namespace

InputFormat detectInputFormat(std::string_view head, std::string_view path) {
    std::string_view text = head;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && text[first] == '{') return InputFormat::json;
    if (text.starts_with("SheetLength")) return InputFormat::partData;
    if (text.starts_with("AutoCAD Binary DXF") || opensAsciiDxf(text)) return InputFormat::dxf;
    if (opensJobList(text)) return InputFormat::jobList;
    if (endsWithIgnoringCase(path, ".json")) return InputFormat::json;
    if (endsWithIgnoringCase(path, ".dxf")) return InputFormat::dxf;
    return InputFormat::partData;
}

InputFormat detectInputFormat(const std::string& path) {
    // Only a regular file is opened: a FIFO or a device may never give its first bytes. The
    // part data reader then says what else the path is.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return InputFormat::partData;
    std::ifstream in(path, std::ios::binary);
    if (path.empty() || !in) return InputFormat::partData;
    std::string head(kHeadSize, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return detectInputFormat(head, path);
}

std::optional<std::string> foreignFileKind(std::string_view head) {
    static constexpr std::pair<std::string_view, std::string_view> kSignatures[] = {
        {"%PDF-", "a PDF document"},
        {"%!PS", "a PostScript file"},
        {"\x89PNG", "a PNG image"},
        {"\xFF\xD8\xFF", "a JPEG image"},
        {"GIF8", "a GIF image"},
        {"PK\x03\x04", "a ZIP archive (or an office document)"},
        {"\xD0\xCF\x11\xE0", "an office document"},
        {"\x7F"
         "ELF",
         "a program"},
    };
    for (const auto& [signature, kind] : kSignatures)
        if (head.starts_with(signature)) return std::string(kind);
    if (head.size() >= 6 && head.starts_with("AC10") &&
        std::isdigit(static_cast<unsigned char>(head[4])) &&
        std::isdigit(static_cast<unsigned char>(head[5]))) {
        return "a DWG drawing";
    }
    if (head.find('\0') != std::string_view::npos) return "a binary file";
    return std::nullopt;
}

std::optional<std::string> foreignFileKind(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string head(kHeadSize, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return foreignFileKind(std::string_view(head));
}

std::string_view formatName(InputFormat format) {
    switch (format) {
        case InputFormat::partData:
            return "part data file";
        case InputFormat::json:
            return "JSON instance";
        case InputFormat::dxf:
            return "DXF drawing";
        case InputFormat::jobList:
            return "job list";
    }
    return "file";
}

JobInput toJobInput(PartFileContents contents, const std::string& path) {
    JobInput input;
    input.format = InputFormat::partData;
    input.source = path;
    input.sheetLength = contents.sheetLength;
    input.sheetWidth = contents.sheetWidth;
    // Blocks in file order; each block's copies share its number.
    std::map<int, int> itemOfBlock;
    for (auto it = contents.parts.end(); it != contents.parts.begin();) {
        Part& part = *--it;
        auto [entry, added] =
            itemOfBlock.try_emplace(part.itemIndex(), static_cast<int>(input.items.size()));
        if (added) {
            InputItem item;
            item.file = path;
            item.sourceId = part.itemIndex();
            item.name = part.name();
            item.outer = part.outerLoop().vertices();
            for (const Loop& hole : part.innerLoops()) item.holes.push_back(hole.vertices());
            item.orientations = part.orientations();
            input.items.push_back(std::move(item));
        }
        ++input.items[static_cast<std::size_t>(entry->second)].copies;
        part.setItemIndex(entry->second);
    }
    input.parts = std::move(contents.parts);
    // The lines quote the file, so no control character of it reaches the terminal.
    for (const std::string& doubt : contents.warnings) {
        input.warnings.push_back("warning: " + printableName(doubt));
    }
    const std::int64_t unlisted =
        contents.warningCount - static_cast<std::int64_t>(contents.warnings.size());
    if (unlisted > 0) {
        input.warnings.push_back("blocknest: " + std::to_string(unlisted) + " more such line" +
                                 (unlisted == 1 ? "" : "s") + " not listed");
    }
    input.doubtfulLines = contents.warningCount;
    return input;
}

bool isPlainUnitsLine(const std::string& line) {
    return line.starts_with("blocknest: '") &&
           line.find("': drawing units ") != std::string::npos && line.ends_with(")") &&
           line.find(", taken as ") == std::string::npos &&
           line.find(", converted to ") == std::string::npos;
}

std::variant<JobInput, InputError> toJobInput(DxfPartsContents contents, const std::string& path,
                                              std::int64_t copies, const ReadLimits& limits) {
    JobInput input;
    input.format = InputFormat::dxf;
    input.source = path;
    input.warnings = std::move(contents.warnings);
    input.insUnits = contents.partUnits;
    const int code = contents.insUnits;
    std::string units = "blocknest: '" + path + "': drawing units " +
                        std::string(insUnitsName(code)) + " ($INSUNITS " + std::to_string(code) +
                        ")";
    if (contents.assumedUnits != 0) {
        units +=
            ", taken as " + std::string(insUnitsName(contents.assumedUnits)) + " (--assume-units)";
    }
    if (contents.partUnits != (contents.assumedUnits != 0 ? contents.assumedUnits : code)) {
        units += ", converted to " + std::string(insUnitsName(contents.partUnits)) + " (x " +
                 formatNumber(contents.unitScale) + ")";
    }
    input.warnings.insert(input.warnings.begin(), units);
    if (contents.parts.empty()) input.warnings.push_back("blocknest: '" + path + "': no part");
    std::int64_t partTotal = 0;
    std::int64_t vertexTotal = 0;
    const std::string stem = std::filesystem::path(path).stem().string();
    const bool several = contents.parts.count() > 1;
    // Parts that neither a block nor a layer names are told apart by their number in reading
    // order, when there are several: stem-1, stem-2, ...
    int unnamed = 0;
    for (const Part& part : contents.parts) unnamed += part.name() == stem || part.name().empty();
    int number = 0;
    std::size_t index = 0;
    for (Part& part : contents.parts) {
        PartCurves curves =
            index < contents.curves.size() ? std::move(contents.curves[index]) : PartCurves{};
        ++index;
        // The file names the part; its block or layer tells it from the file's other parts.
        const std::string& own = part.name();
        if (own == stem || own.empty()) {
            part.setName(unnamed > 1 ? stem + "-" + std::to_string(++number) : stem);
        } else {
            part.setName(several ? stem + ":" + own : stem);
        }
        const std::int64_t vertices = part.totalVertexCount();
        if (copies > limits.maxParts - partTotal ||
            copies > (limits.maxStoredVertices - vertexTotal) / vertices) {
            return InputError{false, path + ": " + std::to_string(copies) +
                                         " copies of each part are more than " +
                                         std::to_string(limits.maxParts) + " parts or " +
                                         std::to_string(limits.maxStoredVertices) +
                                         " vertices in all"};
        }
        partTotal += copies;
        vertexTotal += copies * vertices;
        part.setItemIndex(static_cast<int>(input.items.size()));
        InputItem item;
        item.file = path;
        item.sourceId = static_cast<std::int64_t>(input.items.size());
        item.name = part.name();
        item.copies = copies;
        item.outer = part.outerLoop().vertices();
        for (const Loop& hole : part.innerLoops()) item.holes.push_back(hole.vertices());
        item.curves = std::move(curves);
        input.items.push_back(std::move(item));
        // Copies go to the front, as the other readers place them.
        for (std::int64_t i = 0; i < copies; ++i) input.parts.pushFront(part);
    }
    return input;
}

}  // namespace blocknest
