#include "base/text.hpp"

#include <cstdint>
#include <cstdio>

namespace blocknest {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the valid UTF-8 sequence at text[i] and its code point, or 0.
std::size_t sequenceAt(std::string_view text, std::size_t i, std::uint32_t& code) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) {
        code = c;
        return 1;
    }
    std::size_t length = 0;
    std::uint32_t min = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        code = c & 0x1F;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        code = c & 0x0F;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        code = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE ||
        code == 0xFFFF) {
        return 0;
    }
    return length;
}

// Control characters as \\xNN; a backslash doubled when asked.
std::string printable(std::string_view text, bool doubleBackslashes) {
    std::string out;
    const auto escape = [&](std::string_view bytes) {
        for (char c : bytes) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned char>(c));
            out += buffer;
        }
    };
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t code = 0;
        const std::size_t length = sequenceAt(text, i, code);
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (length == 0) {
            out += text[i];  // not UTF-8: the console's own encoding, perhaps
            i += 1;
            continue;
        }
        if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) {
            escape(text.substr(i, length));
        } else if (c == '\\' && doubleBackslashes) {
            out += "\\\\";
        } else {
            out += text.substr(i, length);
        }
        i += length;
    }
    return out;
}

}  // namespace

std::string validUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t code = 0;
        const std::size_t length = sequenceAt(text, i, code);
        if (length == 0) {
            out += kReplacement;
            ++i;
        } else {
            out += text.substr(i, length);
            i += length;
        }
    }
    return out;
}

std::string printableName(std::string_view text) { return printable(text, true); }

std::string printableLine(std::string_view text) { return printable(text, false); }

namespace {

std::string_view trimmedBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<std::vector<std::string>> splitCsvFields(std::string_view line, char separator) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    bool wasQuoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"' && trimmedBlanks(field).empty()) {
            field.clear();
            quoted = wasQuoted = true;
        } else if (c == separator) {
            fields.emplace_back(wasQuoted ? field : std::string(trimmedBlanks(field)));
            field.clear();
            wasQuoted = false;
        } else if (!wasQuoted || (c != ' ' && c != '\t' && c != '\r')) {
            field += c;
        }
    }
    if (quoted) return std::nullopt;
    fields.emplace_back(wasQuoted ? field : std::string(trimmedBlanks(field)));
    return fields;
}

}  // namespace blocknest

namespace blocknest {

char csvSeparatorOf(std::string_view header) {
    bool quoted = false;
    for (const char c : header) {
        if (c == '"') quoted = !quoted;
        if (!quoted && (c == ',' || c == ';' || c == '\t')) return c;
    }
    return ',';
}

}  // namespace blocknest
