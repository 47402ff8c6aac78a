#include "output/svg_writer.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <sstream>
#include <vector>

#include "base/number_format.hpp"
#include "base/text.hpp"

namespace blocknest {
namespace {

constexpr int kMaxUnplacedDrawn = 60;
constexpr double kPictureWidthPx = 1000;

std::string svgNumber(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.7g", value);
    return buffer;
}

// Maps drawing coordinates to picture coordinates: Y flipped so that it points up, and an
// offset for parts drawn apart from where they lie.
struct Placement {
    double dx = 0;
    double dy = 0;
    double top = 0;  // the drawing Y shown at picture Y 0
    double px(double x) const { return x + dx; }
    double py(double y) const { return top - (y + dy); }
};

template <class Number>
std::string pathData(const Part& part, const Placement& at, const Number& number) {
    std::string d;
    auto addLoop = [&](const Loop& loop) {
        const std::vector<Vertex>& v = loop.vertices();
        for (std::size_t i = 0; i < v.size(); ++i) {
            d += (i == 0 ? "M" : "L") + number(at.px(v[i].x)) + "," + number(at.py(v[i].y)) + " ";
        }
        d += "Z ";
    };
    addLoop(part.outerLoop());
    for (const Loop& hole : part.innerLoops()) addLoop(hole);
    if (!d.empty()) d.pop_back();
    return d;
}

}  // namespace

std::string escapeXmlText(const std::string& text) {
    std::string out;
    for (const char ch : validUtf8(text)) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // XML 1.0 has no control characters but tab, line feed and carriage return;
                // these would not survive in an attribute or title as they are either.
                out += c < 0x20 || c == 0x7F ? '?' : ch;
        }
    }
    return out;
}

namespace {

// One sheet of the picture: its parts in the sheet's own coordinates, drawn x along and y
// down (y 0 or negative), and its title when the job has several sheets.
struct SheetView {
    std::vector<const Part*> parts;
    double packedLength = 0;
    double x = 0;
    double y = 0;
    std::string title;
    const SheetShape* shape = nullptr;  // drawn instead of the rectangle when not empty
    double width = 0;                   // the sheet's own width, when it has one
};

// The loop as a path of its own, for the sheet's outline and defects.
template <class Number>
std::string loopPathData(const Loop& loop, const Placement& at, const Number& number) {
    Part alone;
    alone.setShape("", LoopList(), loop);
    return pathData(alone, at, number);
}

// The sheets where their views say, each shown shownLength long, spanning span along X and
// down to bottom; the parts on no sheet in rows below.
std::optional<std::string> drawLayout(const std::vector<SheetView>& sheets,
                                      const std::vector<const Part*>& unplaced,
                                      std::size_t partCount, double sheetLength, double sheetWidth,
                                      double shownLength, double span, double bottom,
                                      double fontSize, const PackingStatistics& stats) {
    // Coordinates far out in the number range give sizes that are not numbers; such a
    // picture cannot be drawn.
    bool finite = true;
    const auto number = [&finite](double value) {
        if (!std::isfinite(value)) finite = false;
        return svgNumber(value);
    };
    const double margin = 0.03 * std::max(span, sheetWidth);
    const bool titled = std::any_of(sheets.begin(), sheets.end(),
                                    [](const SheetView& sheet) { return !sheet.title.empty(); });
    // Titles as long as a sheet at most, at about 0.55 of their height a character.
    std::size_t longestTitle = 1;
    for (const SheetView& sheet : sheets) longestTitle = std::max(longestTitle, sheet.title.size());
    const double titleSize =
        std::min(0.8 * fontSize, shownLength / (0.55 * static_cast<double>(longestTitle)));

    // The parts that did not fit, side by side in rows below the sheet, each at its own size.
    struct Apart {
        const Part* part;
        Placement at;
    };
    std::vector<Apart> apart;
    double rowX = 0;
    double rowTop = bottom - (2 * margin + fontSize);  // drawing Y of the current row's top
    double rowHeight = 0;
    double lowest = bottom;
    double widest = span;
    for (const Part* part : unplaced) {
        if (static_cast<int>(apart.size()) == kMaxUnplacedDrawn) break;
        const BoundingBox& box = part->bounds();
        const double w = box.maxX - box.minX;
        const double h = box.maxY - box.minY;
        if (rowX > 0 && rowX + w > span) {
            rowX = 0;
            rowTop -= rowHeight + margin;
            rowHeight = 0;
        }
        Placement at;
        at.dx = rowX - box.minX;
        at.dy = rowTop - box.maxY;
        at.top = sheetWidth;
        apart.push_back({part, at});
        widest = std::max(widest, rowX + w);
        rowX += w + margin;
        rowHeight = std::max(rowHeight, h);
        lowest = std::min(lowest, rowTop - rowHeight);
    }

    const double viewX = -margin;
    const double viewY = -margin - (titled ? 1.5 * titleSize : 0);
    const double viewW = widest + 2 * margin;
    const double captionLines = 2;
    const double viewH =
        sheetWidth - lowest + 2 * margin + captionLines * 1.6 * fontSize - (viewY + margin);

    std::ostringstream svg;
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << number(kPictureWidthPx)
        << "\" height=\"" << number(std::ceil(kPictureWidthPx * viewH / viewW)) << "\" viewBox=\""
        << number(viewX) << " " << number(viewY) << " " << number(viewW) << " " << number(viewH)
        << "\">\n"
        << "<title>blocknest layout</title>\n"
        << "<style>path,rect,line{vector-effect:non-scaling-stroke}"
           ".sheet{fill:#f4f4f0;stroke:#222;stroke-width:1.5}"
           ".part{fill:#9ecae1;fill-rule:evenodd;stroke:#08519c;stroke-width:1}"
           ".unplaced{fill:none;fill-rule:evenodd;stroke:#d62728;stroke-width:1.5}"
           ".packed-length{stroke:#d62728;stroke-width:1.5;stroke-dasharray:6 4}"
           "text{font-family:sans-serif;fill:#222}</style>\n";
    std::size_t placedCount = 0;
    for (const SheetView& sheet : sheets) {
        if (sheet.shape != nullptr && !sheet.shape->empty()) {
            const Placement onSheet{sheet.x, sheet.y, sheetWidth};
            if (sheet.shape->outline) {
                svg << "<path class=\"sheet\" d=\""
                    << loopPathData(*sheet.shape->outline, onSheet, number) << "\"/>\n";
            }
            for (const Loop& defect : sheet.shape->defects) {
                svg << "<path class=\"defect\" style=\"fill:#f2b8b5;stroke:#b2182b\" d=\""
                    << loopPathData(defect, onSheet, number) << "\"/>\n";
            }
        } else {
            svg << "<rect class=\"sheet\" x=\"" << number(sheet.x) << "\" y=\""
                << number(0 - sheet.y) << "\" width=\"" << number(shownLength) << "\" height=\""
                << number(sheetWidth) << "\"/>\n";
        }
        if (!sheet.title.empty()) {
            svg << "<text class=\"sheet-title\" x=\"" << number(sheet.x) << "\" y=\""
                << number(-sheet.y - 0.4 * titleSize) << "\" font-size=\"" << number(titleSize)
                << "\">" << escapeXmlText(sheet.title) << "</text>\n";
        }
    }
    for (const SheetView& sheet : sheets) {
        const Placement onSheet{sheet.x, sheet.y, sheetWidth};
        for (const Part* part : sheet.parts) {
            svg << "<path class=\"part\" d=\"" << pathData(*part, onSheet, number) << "\"><title>"
                << escapeXmlText(part->name()) << (part->turn().mirrored ? " (mirrored)" : "")
                << "</title></path>\n";
        }
        placedCount += sheet.parts.size();
    }
    for (const SheetView& sheet : sheets) {
        const double x = sheet.x + sheet.packedLength;
        // Across the sheet's own width: a smaller sheet of a stock lies at its cell's foot.
        const double top = sheet.width > 0 ? sheetWidth - sheet.width : 0;
        svg << "<line class=\"packed-length\" x1=\"" << number(x) << "\" y1=\""
            << number(top - sheet.y) << "\" x2=\"" << number(x) << "\" y2=\""
            << number(sheetWidth - sheet.y) << "\"/>\n";
    }
    if (!unplaced.empty()) {
        svg << "<text class=\"unplaced-label\" x=\"0\" y=\""
            << number(sheetWidth - bottom + margin + fontSize) << "\" font-size=\""
            << number(fontSize) << "\">Did not fit: " << unplaced.size() << " part"
            << (unplaced.size() == 1 ? "" : "s")
            << (unplaced.size() > apart.size()
                    ? " (the first " + std::to_string(apart.size()) + " shown)"
                    : std::string())
            << "</text>\n";
    }
    for (const Apart& a : apart) {
        svg << "<path class=\"unplaced\" d=\"" << pathData(*a.part, a.at, number) << "\"><title>"
            << escapeXmlText(a.part->name()) << "</title></path>\n";
    }
    const double captionY = sheetWidth - lowest + margin + 1.2 * fontSize;
    svg << "<text class=\"caption\" xml:space=\"preserve\" x=\"0\" y=\"" << number(captionY)
        << "\" font-size=\"" << number(fontSize)
        << "\">Packed length: " << formatNumber(stats.packedLength)
        << "   Packing density: " << formatNumber(stats.packingDensity * 100.0)
        << "%   Placed parts: " << placedCount << " of " << partCount;
    if (sheets.size() > 1) svg << "   Sheets: " << sheets.size();
    svg << "</text>\n";
    if (shownLength < sheetLength) {
        svg << "<text class=\"note\" x=\"0\" y=\"" << number(captionY + 1.6 * fontSize)
            << "\" font-size=\"" << number(fontSize * 0.8) << "\">Sheet "
            << formatNumber(sheetLength) << " x " << formatNumber(sheetWidth)
            << ", shown up to X = " << formatNumber(shownLength) << "</text>\n";
    }
    svg << "</svg>\n";
    if (!finite) return std::nullopt;
    return svg.str();
}

}  // namespace

std::optional<std::string> formatLayoutSvg(const PartList& parts, double sheetLength,
                                           double sheetWidth, const PackingStatistics& stats,
                                           const SheetShape& shape) {
    SheetView sheet;
    sheet.shape = &shape;
    std::vector<const Part*> unplaced;
    for (const Part& part : parts) {
        (liesOnSheet(part, sheetLength, sheetWidth) ? sheet.parts : unplaced).push_back(&part);
    }
    sheet.packedLength = stats.packedLength;
    // A strip sheet far longer than its layout is shown up to a little beyond the layout.
    const double used = std::max(stats.packedLength, sheetWidth);
    // A drawn sheet is shown whole: what is left of it is the point.
    const double shownLength =
        !shape.empty() || sheetLength <= std::max(2 * stats.packedLength, 3 * sheetWidth)
            ? sheetLength
            : std::max(1.15 * used, 3 * sheetWidth);
    const double span = shownLength;
    return drawLayout({sheet}, unplaced, parts.count(), sheetLength, sheetWidth, shownLength, span,
                      0, std::max(span, sheetWidth) / 45, stats);
}

int sheetGridColumns(std::size_t sheetCount, double sheetLength, double sheetWidth) {
    if (sheetCount <= 1 || !(sheetLength > 0) || !(sheetWidth > 0)) return 1;
    // The columns whose grid comes nearest a picture half again as wide as high.
    int best = 1;
    double bestMiss = std::numeric_limits<double>::infinity();
    for (std::size_t columns = 1; columns <= sheetCount; ++columns) {
        const std::size_t rows = (sheetCount + columns - 1) / columns;
        const double aspect = (static_cast<double>(columns) * sheetLength * 1.1) /
                              (static_cast<double>(rows) * sheetWidth * 1.3);
        const double miss = std::abs(std::log(aspect / 1.5));
        if (miss < bestMiss) {
            bestMiss = miss;
            best = static_cast<int>(columns);
        }
    }
    return best;
}

std::optional<std::string> formatSheetsSvg(const std::vector<SheetLayout>& sheets,
                                           const PartList& unplaced, double sheetLength,
                                           double sheetWidth, const PackingStatistics& stats) {
    // Sheets of their own sizes (from a stock) get cells as large as the largest of them,
    // not as the largest size the stock holds.
    if (!sheets.empty() && std::all_of(sheets.begin(), sheets.end(), [](const SheetLayout& s) {
            return s.length > 0 && s.width > 0;
        })) {
        sheetLength = 0;
        sheetWidth = 0;
        for (const SheetLayout& sheet : sheets) {
            sheetLength = std::max(sheetLength, sheet.length);
            sheetWidth = std::max(sheetWidth, sheet.width);
        }
    }
    const int columns = sheetGridColumns(sheets.size(), sheetLength, sheetWidth);
    const std::size_t rows = sheets.empty() ? 1 : (sheets.size() + columns - 1) / columns;
    const double gapX = 0.1 * sheetLength;
    const double span = columns * sheetLength + (columns - 1) * gapX;
    const double fontSize = std::max(span, sheetWidth) / 45;
    // Room between the rows for the titles.
    const double gapY = std::max(0.1 * sheetWidth, 2 * fontSize);
    std::vector<SheetView> views;
    std::size_t count = unplaced.count();
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        SheetView view;
        for (const Part& part : sheets[k].parts) view.parts.push_back(&part);
        const PackingStatistics& figures = sheets[k].statistics;
        view.packedLength = figures.packedLength;
        view.shape = &sheets[k].shape;
        view.width = sheets[k].width;
        view.x = static_cast<double>(k % columns) * (sheetLength + gapX);
        view.y = -static_cast<double>(k / columns) * (sheetWidth + gapY);
        char density[32];
        std::snprintf(density, sizeof density, "%.1f%%", figures.packingDensity * 100.0);
        view.title = "Sheet " + std::to_string(k + 1) +
                     (sheets[k].kind.empty() ? "" : " (" + sheets[k].kind + ")") + ": " +
                     std::to_string(view.parts.size()) + " part" +
                     (view.parts.size() == 1 ? "" : "s") + ", " + density;
        count += view.parts.size();
        views.push_back(std::move(view));
    }
    std::vector<const Part*> rest;
    for (const Part& part : unplaced) rest.push_back(&part);
    const double bottom = -static_cast<double>(rows - 1) * (sheetWidth + gapY);
    return drawLayout(views, rest, count, sheetLength, sheetWidth, sheetLength, span, bottom,
                      fontSize, stats);
}

}  // namespace blocknest
