#include "input/job_list_reader.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "base/text.hpp"
#include "input/csv_lines.hpp"
#include "input/dxf_part_reader.hpp"

namespace blocknest {
namespace {

constexpr std::int64_t kMaxQuantity = 1'000'000;
constexpr int kMaxRotationCount = 360;
constexpr std::size_t kMaxLineLength = std::size_t{1} << 16;

enum class Column { file, quantity, name, rotations, mirror, layer, units, part, fill };
constexpr std::array<std::pair<std::string_view, Column>, 9> kColumns{{
    {"file", Column::file},
    {"quantity", Column::quantity},
    {"name", Column::name},
    {"rotations", Column::rotations},
    {"mirror", Column::mirror},
    {"layer", Column::layer},
    {"units", Column::units},
    {"part", Column::part},
    {"fill", Column::fill},
}};

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string lowered(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::optional<std::int64_t> wholeNumber(std::string_view text, std::int64_t min, std::int64_t max) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

// A count of even turns, or a list of degrees separated by ';', ',' or blanks.
std::optional<std::vector<Orientation>> parseTurns(std::string_view text) {
    // A lone whole number is a count, as -r takes it: "0" is no turn at all, not 0 degrees.
    if (wholeNumber(text, INT64_MIN, INT64_MAX)) {
        const auto count = wholeNumber(text, 1, kMaxRotationCount);
        if (!count) return std::nullopt;
        return evenTurns(static_cast<int>(*count));
    }
    std::vector<double> degrees;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of(";, \t", pos);
        const std::string_view piece =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        if (piece.empty()) continue;
        double value = 0;
        const auto [stop, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value,
                                                std::chars_format::fixed);
        if (ec != std::errc() || stop != piece.data() + piece.size() || !std::isfinite(value)) {
            return std::nullopt;
        }
        degrees.push_back(value);
    }
    if (degrees.empty() || degrees.size() > static_cast<std::size_t>(kMaxRotationCount)) {
        return std::nullopt;
    }
    return turnsFromDegrees(degrees);
}

std::optional<bool> parseYesNo(std::string_view text) {
    const std::string lower = lowered(text);
    if (lower.empty() || lower == "no" || lower == "n" || lower == "false" || lower == "0") {
        return false;
    }
    if (lower == "yes" || lower == "y" || lower == "true" || lower == "1") return true;
    return std::nullopt;
}

}  // namespace

bool opensJobList(std::string_view head) {
    if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
    while (!head.empty()) {
        const std::size_t end = head.find('\n');
        const std::string_view line = trimmed(head.substr(0, end));
        if (!line.empty()) {
            const std::string start = lowered(line.substr(0, 5));
            return start == "file," || start == "file;" || start == "file\t";
        }
        if (end == std::string_view::npos) break;
        head.remove_prefix(end + 1);
    }
    return false;
}

std::variant<std::vector<JobListRow>, InputError> readJobList(std::istream& in,
                                                              const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::vector<JobListRow> rows;
    std::vector<Column> columns;
    char separator = ',';
    std::string text;
    int number = 0;
    const auto fail = [&](const std::string& why) {
        return InputError{false, path + ":" + std::to_string(number) + ": " + why};
    };
    for (ListLine got; (got = readListLine(in, text, kMaxLineLength)) != ListLine::end;) {
        ++number;
        if (got == ListLine::tooLong) {
            return fail("the line is longer than " + std::to_string(kMaxLineLength) +
                        " characters");
        }
        std::string_view line = text;
        if (number == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
        if (trimmed(line).empty() || trimmed(line).front() == '#') continue;
        if (columns.empty()) separator = csvSeparatorOf(line);
        const std::optional<std::vector<std::string>> fields = splitCsvFields(line, separator);
        if (!fields) return fail("a quote is not closed");
        if (columns.empty()) {
            for (const std::string& field : *fields) {
                const auto known =
                    std::find_if(kColumns.begin(), kColumns.end(),
                                 [&](const auto& c) { return c.first == lowered(field); });
                if (known == kColumns.end()) {
                    return fail("unknown column '" + printableName(field) +
                                "' (the columns are file, quantity, name, rotations, mirror, "
                                "layer, units, part, fill)");
                }
                if (std::find(columns.begin(), columns.end(), known->second) != columns.end()) {
                    return fail("the column '" + printableName(field) + "' is named twice");
                }
                columns.push_back(known->second);
            }
            if (columns.front() != Column::file) return fail("the first column must be 'file'");
            if (std::find(columns.begin(), columns.end(), Column::quantity) == columns.end()) {
                return fail("the header names no 'quantity' column");
            }
            continue;
        }
        if (fields->size() > columns.size()) {
            return fail(std::to_string(fields->size()) + " fields, but the header names " +
                        std::to_string(columns.size()) + " columns");
        }
        JobListRow row;
        row.line = number;
        for (std::size_t i = 0; i < fields->size(); ++i) {
            const std::string& value = (*fields)[i];
            const std::string shown = "'" + printableName(value) + "'";
            switch (columns[i]) {
                case Column::file:
                    if (value.empty()) return fail("no file named");
                    row.path = std::filesystem::path(value).is_absolute()
                                   ? value
                                   : (folder / value).string();
                    break;
                case Column::quantity:
                    if (value.empty()) break;
                    row.quantity = wholeNumber(value, 1, kMaxQuantity);
                    if (!row.quantity) {
                        return fail("the quantity " + shown + " must be a whole number from 1 to " +
                                    std::to_string(kMaxQuantity));
                    }
                    break;
                case Column::name:
                    if (!value.empty()) row.name = value;
                    break;
                case Column::rotations:
                    if (value.empty()) break;
                    row.turns = parseTurns(value);
                    if (!row.turns) {
                        return fail("the rotations " + shown +
                                    " must be a count from 1 to 360 or a list of degrees");
                    }
                    break;
                case Column::mirror: {
                    const std::optional<bool> mirror = parseYesNo(value);
                    if (!mirror) return fail("mirror is " + shown + ", not yes or no");
                    row.mirror = *mirror;
                    break;
                }
                case Column::layer:
                    if (!value.empty()) row.layer = value;
                    break;
                case Column::part:
                    if (!value.empty()) row.part = value;
                    break;
                case Column::fill:
                    if (value.empty()) break;
                    if (lowered(value) == "max") {
                        row.fill = FillerCount{0, true};
                    } else if (const std::optional<std::int64_t> count =
                                   wholeNumber(value, 1, kMaxQuantity)) {
                        row.fill = FillerCount{*count, false};
                    } else {
                        return fail("the fill " + shown +
                                    " must be max or a whole number from 1 to " +
                                    std::to_string(kMaxQuantity));
                    }
                    break;
                case Column::units:
                    if (value.empty()) break;
                    row.units = insUnitsFromName(lowered(value));
                    if (!row.units) {
                        return fail("the units " + shown +
                                    " are none of mm, cm, dm, m, um, in, ft, yd, mil");
                    }
                    break;
            }
        }
        if (row.path.empty()) return fail("no file named");
        if (row.fill && row.quantity) {
            return fail(
                "a row gives a quantity of required parts or a fill of filler parts, "
                "not both");
        }
        rows.push_back(std::move(row));
    }
    if (in.bad()) return InputError{false, path + ": cannot be read"};
    if (columns.empty()) return InputError{false, path + ": the job list has no header line"};
    if (rows.empty()) return InputError{false, path + ": the job list names no file"};
    return rows;
}

std::variant<std::vector<JobListRow>, InputError> readJobListFile(const std::string& path) {
    if (std::optional<std::string> why = whyListUnreadable(path, "the job list")) {
        return InputError{false, *why};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return InputError{false, path + ": cannot be opened"};
    return readJobList(in, path);
}

}  // namespace blocknest
