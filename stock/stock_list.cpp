#include "stock/stock_list.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>

#include "base/number_format.hpp"
#include "base/text.hpp"
#include "input/csv_lines.hpp"
#include "stock/sheet_drawing.hpp"

namespace blocknest {
namespace {

constexpr std::int64_t kMaxCount = 1'000'000;
constexpr std::size_t kMaxLineLength = std::size_t{1} << 16;
constexpr std::size_t kMaxKinds = 1000;

enum class Column { file, length, width, count, cost };
constexpr std::array<std::pair<std::string_view, Column>, 5> kColumns{{
    {"file", Column::file},
    {"length", Column::length},
    {"width", Column::width},
    {"count", Column::count},
    {"cost", Column::cost},
}};

std::string lowered(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::optional<double> decimal(std::string_view text) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> wholeCount(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > kMaxCount) {
        return std::nullopt;
    }
    return value;
}

InputError lineError(const std::string& path, int line, const std::string& why) {
    InputError error;
    error.detail = path + ":" + std::to_string(line) + ": " + why;
    return error;
}

std::string quotedField(const std::string& text) {
    return "'" + printableName(text.substr(0, 60)) + (text.size() > 60 ? "...'" : "'");
}

// A number of a list whose fields are separated by semicolons may be written with a decimal
// comma, as spreadsheets in those locales write it.
std::string localDecimal(std::string text, char separator) {
    if (separator != ',') std::replace(text.begin(), text.end(), ',', '.');
    return text;
}

}  // namespace

std::variant<StockList, InputError> readStockList(std::istream& in, const std::string& path,
                                                  const std::string& folder,
                                                  const DxfReadSettings& settings) {
    StockList list;
    std::vector<Column> columns;
    char separator = ',';
    std::string raw;
    int line = 0;
    for (ListLine got; (got = readListLine(in, raw, kMaxLineLength)) != ListLine::end;) {
        ++line;
        if (got == ListLine::tooLong) {
            return lineError(
                path, line,
                "the line is longer than " + std::to_string(kMaxLineLength) + " characters");
        }
        if (line == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
        if (raw.find_first_not_of(" \t") == std::string::npos || raw.front() == '#') continue;
        if (columns.empty()) separator = csvSeparatorOf(raw);
        const std::optional<std::vector<std::string>> fields = splitCsvFields(raw, separator);
        if (!fields) return lineError(path, line, "a quoted field is not closed");
        if (columns.empty()) {
            const std::string first = lowered(fields->front());
            if (first != "length" && first != "file") {
                return lineError(path, line,
                                 "a stock list starts with a header \"length,width,count,cost\" "
                                 "or \"file,count,cost\", not " +
                                     quotedField(raw));
            }
            for (const std::string& name : *fields) {
                const auto known = std::find_if(kColumns.begin(), kColumns.end(),
                                                [&](auto& c) { return c.first == lowered(name); });
                if (known == kColumns.end()) {
                    return lineError(path, line,
                                     "the column " + quotedField(name) +
                                         " is none of file, length, width, count, cost");
                }
                if (std::find(columns.begin(), columns.end(), known->second) != columns.end()) {
                    return lineError(path, line,
                                     "the column " + quotedField(name) + " is named twice");
                }
                columns.push_back(known->second);
            }
            const bool hasLength = std::count(columns.begin(), columns.end(), Column::length) > 0;
            const bool hasWidth = std::count(columns.begin(), columns.end(), Column::width) > 0;
            if (hasLength != hasWidth) {
                return lineError(path, line,
                                 "a header with a length column needs a width one, "
                                 "and the other way round");
            }
            continue;
        }
        if (fields->size() > columns.size()) {
            return lineError(path, line,
                             std::to_string(fields->size()) + " fields where the header names " +
                                 std::to_string(columns.size()) + " columns");
        }
        if (list.kinds.size() == kMaxKinds) {
            return lineError(path, line,
                             "more than " + std::to_string(kMaxKinds) + " kinds of sheet");
        }
        std::string file;
        std::optional<double> length;
        std::optional<double> width;
        std::int64_t count = 1;
        std::optional<double> cost;
        for (std::size_t i = 0; i < fields->size(); ++i) {
            const std::string& text = (*fields)[i];
            if (text.empty()) continue;
            switch (columns[i]) {
                case Column::file:
                    file = text;
                    break;
                case Column::length:
                case Column::width: {
                    const std::optional<double> value = decimal(localDecimal(text, separator));
                    const char* what = columns[i] == Column::length ? "length" : "width";
                    if (!value || *value <= 0) {
                        return lineError(path, line,
                                         std::string("the ") + what +
                                             " must be a positive number, not " +
                                             quotedField(text));
                    }
                    (columns[i] == Column::length ? length : width) = value;
                    break;
                }
                case Column::count: {
                    const std::optional<std::int64_t> value = wholeCount(text);
                    if (!value) {
                        return lineError(path, line,
                                         "the count must be a whole number from 1 to " +
                                             std::to_string(kMaxCount) + ", not " +
                                             quotedField(text));
                    }
                    count = *value;
                    break;
                }
                case Column::cost:
                    cost = decimal(localDecimal(text, separator));
                    if (!cost || *cost < 0) {
                        return lineError(
                            path, line,
                            "the cost must be a number of 0 or more, not " + quotedField(text));
                    }
                    break;
            }
        }
        SheetKind kind;
        if (!file.empty()) {
            if (length || width) {
                return lineError(path, line,
                                 "a row gives either a file or a length and a width, not both");
            }
            std::filesystem::path drawingPath(file);
            if (drawingPath.is_relative() && !folder.empty()) drawingPath = folder / drawingPath;
            list.drawings.push_back(drawingPath.string());
            std::variant<SheetDrawing, InputError> drawing =
                readSheetDrawing(drawingPath.string(), settings);
            if (auto* error = std::get_if<InputError>(&drawing)) {
                InputError framed = lineError(path, line, error->detail);
                framed.notes = error->notes;
                return framed;
            }
            SheetDrawing& read = std::get<SheetDrawing>(drawing);
            list.notes.insert(list.notes.end(), read.notes.begin(), read.notes.end());
            kind = std::move(read.kind);
        } else if (length && width) {
            kind = rectangleKind(*length, *width);
        } else {
            return lineError(path, line,
                             columns.front() == Column::file
                                 ? "the row names no file"
                                 : "the row needs both a length and a width");
        }
        kind.count = count;
        kind.place = path + ":" + std::to_string(line);
        if (cost) kind.cost = *cost;
        list.kinds.push_back(std::move(kind));
    }
    if (columns.empty()) {
        InputError error;
        error.detail = path + ": the stock list is empty: it needs a header and a row per sheet";
        return error;
    }
    if (list.kinds.empty()) {
        InputError error;
        error.detail = path + ": the stock list names no sheet";
        return error;
    }
    return list;
}

std::variant<StockList, InputError> readStockListFile(const std::string& path,
                                                      const DxfReadSettings& settings) {
    if (std::optional<std::string> why = whyListUnreadable(path, "the stock list")) {
        InputError error;
        error.detail = *why;
        return error;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        InputError error;
        error.detail = path + ": the stock list cannot be opened";
        return error;
    }
    return readStockList(in, path, std::filesystem::path(path).parent_path().string(), settings);
}

}  // namespace blocknest
