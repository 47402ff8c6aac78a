#include "input/dxf_texts.hpp"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace blocknest {
namespace {

constexpr std::size_t kMaxNameLength = 255;  // characters of a text kept as a name

std::optional<double> numberOf(const RawEntity& e, int code) {
    const DxfPair* pair = e.find(code);
    if (pair == nullptr) return std::nullopt;
    const std::string& text = pair->value;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// MTEXT's inline codes: \P a line break; \f...; \H...; and the like set a font or size; \L,
// \O, \K and their ends underline, overline or strike; braces group; \\ \{ \} are themselves.
std::string plainMtext(std::string_view raw) {
    std::string plain;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '{' || c == '}') continue;
        if (c != '\\' || i + 1 == raw.size()) {
            plain += c;
            continue;
        }
        const char code = raw[++i];
        if (code == 'P' || code == 'N' || code == '~') {
            plain += ' ';
        } else if (code == '\\' || code == '{' || code == '}') {
            plain += code;
        } else if (std::string_view("LlOoKk").find(code) != std::string_view::npos) {
            // a switch without value
        } else {
            const std::size_t semicolon = raw.find(';', i);
            if (semicolon == std::string_view::npos) break;
            i = semicolon;
        }
    }
    return plain;
}

// One line, control characters as spaces, runs of spaces as one, no space at either end.
std::string oneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        const bool blank = static_cast<unsigned char>(c) < 32 || c == ' ' || c == 127;
        if (blank) {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (line.size() > kMaxNameLength) line.resize(kMaxNameLength);
    return line;
}

}  // namespace

std::vector<DrawnText> readDrawnTexts(const DxfDrawing& drawing,
                                      const std::function<bool(const std::string&)>& readsLayer) {
    std::vector<DrawnText> texts;
    for (const RawEntity& e : drawing.entities) {
        if (e.type != "TEXT" && e.type != "MTEXT") continue;
        if (e.text(67) == "1") continue;  // paper space
        if (readsLayer && !readsLayer(e.text(8, "0"))) continue;
        std::string raw;
        if (e.type == "MTEXT") {
            for (const DxfPair& pair : e.pairs)
                if (pair.code == 3) raw += pair.value;
            raw = plainMtext(raw + e.text(1));
        } else {
            raw = e.text(1);
        }
        const std::string text = oneLine(raw);
        bool named = false;
        for (const char c : text) named = named || std::isalnum(static_cast<unsigned char>(c));
        if (!named) continue;
        // A TEXT aligned other than left on its base line hangs on its second point.
        const bool aligned = e.type == "TEXT" &&
                             (e.text(72, "0") != "0" || e.text(73, "0") != "0") &&
                             e.find(11) != nullptr;
        const std::optional<double> x = numberOf(e, aligned ? 11 : 10);
        const std::optional<double> y = numberOf(e, aligned ? 21 : 20);
        if (!x || !y) continue;
        texts.push_back(DrawnText{Vertex{*x, *y}, text, e.type});
    }
    return texts;
}

}  // namespace blocknest
