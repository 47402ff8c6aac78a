#pragma once  // fuzz/output_checks.hpp: what every output of a run must be, whatever the input
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.hpp"
#include "geometry/predicates.hpp"
#include "output/statistics.hpp"

namespace blocknest::fuzzing {

// A number in an output where a coordinate or a figure belongs that is not finite.
inline bool holdsNonFinite(std::string_view text) {
    for (std::string_view word : {"nan", "inf", "NaN", "INF"}) {
        if (text.find(word) != std::string_view::npos) return true;
    }
    return false;
}

// The picture is well-formed XML as far as this writer goes: valid UTF-8 without control
// characters, every tag closed in order, and no attribute value that is not finite.
inline std::optional<std::string> checkSvg(std::string_view svg) {
    if (validUtf8(svg) != svg) return "the picture is not valid UTF-8";
    for (char c : svg) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\n') || u == 0x7F) return "the picture holds a control character";
    }
    std::vector<std::string> open;
    for (std::size_t at = svg.find('<'); at != std::string_view::npos; at = svg.find('<', at)) {
        const std::size_t end = svg.find('>', at);
        if (end == std::string_view::npos) return "a tag is not closed";
        const std::string_view tag = svg.substr(at + 1, end - at - 1);
        if (tag.find('<') != std::string_view::npos) return "'<' inside a tag";
        at = end;
        if (tag.empty() || tag.front() == '?') continue;
        // Attribute values, between the quotes after '='.
        for (std::size_t q = tag.find("=\""); q != std::string_view::npos; q = tag.find("=\"", q)) {
            const std::size_t close = tag.find('"', q + 2);
            if (close == std::string_view::npos) return "an attribute value is not closed";
            if (holdsNonFinite(tag.substr(q + 2, close - q - 2))) {
                return "an attribute is not a finite number: " + std::string(tag.substr(0, 60));
            }
            q = close;
        }
        const std::string name(tag.substr(tag.front() == '/' ? 1 : 0,
                                          tag.find_first_of(" /", 1) - (tag.front() == '/')));
        if (tag.front() == '/') {
            if (open.empty() || open.back() != name) return "</" + name + "> closes nothing open";
            open.pop_back();
        } else if (tag.back() != '/') {
            open.push_back(name);
        }
    }
    if (!open.empty()) return "<" + open.back() + "> is never closed";
    return std::nullopt;
}

// Whether every outline on the sheet is simple: no two edges cross and no vertex comes twice.
// An outline that winds around a region twice (a pentagram, or loops joined at a point) has,
// by the area rule, more area than it covers, and then the density may pass 100 %.
inline bool outlinesAreSimple(const PartList& parts, double sheetLength, double sheetWidth) {
    for (const Part& part : parts) {
        if (!liesOnSheet(part, sheetLength, sheetWidth)) continue;
        if (loopCrossesItself(part.outerLoop())) return false;
        std::vector<std::pair<double, double>> seen;
        for (const Vertex& v : part.outerLoop().vertices()) seen.emplace_back(v.x, v.y);
        std::sort(seen.begin(), seen.end());
        if (std::adjacent_find(seen.begin(), seen.end()) != seen.end()) return false;
    }
    return true;
}

// The figures: finite, and the density a share of at most the whole when some part counts
// and (densityBounded) the outlines cover their area.
inline std::optional<std::string> checkFigures(const PackingStatistics& stats,
                                               std::string_view report,
                                               bool densityBounded = true) {
    if (!std::isfinite(stats.packedLength) || stats.packedLength < 0) {
        return "the packed length is not a finite length";
    }
    if (!std::isfinite(stats.totalPartArea) || stats.totalPartArea < 0) {
        return "the area of the parts is not a finite area";
    }
    if (stats.packedLength > 0 && !(stats.packingDensity >= 0)) {
        return "the density is not a number of 0 % or more";
    }
    if (stats.packedLength > 0 && densityBounded && !(stats.packingDensity <= 1 + 1e-9)) {
        return "the density is above 100 %";
    }
    if (report.size() < 2 || report.substr(report.size() - 2) != "\n\n") {
        return "the report does not end with an empty line";
    }
    return std::nullopt;
}

// Every coordinate of the drawing is a finite number.
inline std::optional<std::string> checkDxf(std::string_view dxf) {
    if (holdsNonFinite(dxf)) return "the drawing holds a number that is not finite";
    return std::nullopt;
}

}  // namespace blocknest::fuzzing
