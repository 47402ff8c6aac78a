#include "input/dxf_part_reader.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <new>

#include "base/number_format.hpp"
#include "input/dxf_chaining.hpp"
#include "input/dxf_contours.hpp"
#include "input/dxf_curves.hpp"
#include "input/dxf_drawing.hpp"
#include "input/dxf_entities.hpp"
#include "input/dxf_frames.hpp"
#include "input/dxf_marks.hpp"

namespace blocknest {
namespace {

constexpr std::size_t kMaxWarnings = 200;  // lines per drawing; the rest are counted

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

bool listed(const std::vector<std::string>& names, const std::string& layer) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& name) { return sameName(name, layer); });
}

// Flattens each outline on a layer the settings read as it is found, within the bound on
// stored vertices.
std::vector<Piece> flattenedPieces(const DxfPairReader& reader, const DxfDrawing& drawing,
                                   double tol, const DxfReadSettings& settings,
                                   const DxfReadLimits& limits, std::vector<std::string>& warnings,
                                   IgnoredTypes* ignoredLines) {
    std::vector<Piece> pieces;
    std::int64_t storedVertices = 0;
    const auto flatten = [&](CurvePiece&& curve) {
        std::vector<Vertex> points = flattenCurve(curve, tol, limits.maxArcSegments);
        CurvePath path = curvePath(curve);
        // An arc packed by its tangents takes one point more than by its chords.
        storedVertices += static_cast<std::int64_t>(points.size() + path.corners.size());
        if (storedVertices > limits.maxStoredVertices) {
            reader.fail(curve.line, "the outlines need more than " +
                                        std::to_string(limits.maxStoredVertices) + " vertices");
        }
        for (const Vertex& v : points) {
            if (!std::isfinite(v.x) || !std::isfinite(v.y)) {
                warnings.push_back(reader.source() + ": " + curve.label +
                                   " is left out: its coordinates overflow once drawn");
                return;
            }
        }
        const bool closed = isClosed(curve);
        pieces.push_back(Piece{std::move(points), closed, std::move(curve.label),
                               std::move(curve.layer), std::move(curve.block),
                               std::move(path.corners), std::move(path.bulges)});
    };
    DxfExpansionLimits expansion;
    expansion.maxEntities = limits.maxEntities;
    expansion.maxBlockDepth = limits.maxBlockDepth;
    LayerFilter filter;
    if (!settings.layers.empty() || !settings.skipLayers.empty())
        filter = [&settings](const std::string& layer) { return readsLayer(settings, layer); };
    collectCurves(reader, drawing, expansion, flatten, warnings, filter, ignoredLines);
    return pieces;
}

std::string joinedNames(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += i == 0 ? "" : i + 1 == names.size() ? " and " : ", ";
        const bool plain = std::all_of(names[i].begin(), names[i].end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
        });
        text += plain && !names[i].empty() ? names[i] : "'" + names[i] + "'";
    }
    return text;
}

// Takes the frame's contours out, with the loose lines drawn on it (their warnings taken back)
// and the mark lines inside its title block, and gives the one line that says so.
std::string leaveOutFrame(const DrawingFrame& frame, std::vector<Contour>& contours,
                          const std::vector<OpenChain>& openChains, std::vector<Piece>& marks,
                          double tol, std::vector<std::string>& warnings,
                          const std::string& source) {
    std::vector<std::string> labels, layers;
    for (const std::size_t i : frame.contours) {
        const Contour& c = contours[i];
        labels.insert(labels.end(), c.labels.begin(), c.labels.end());
        if (std::none_of(layers.begin(), layers.end(),
                         [&](const std::string& l) { return sameName(l, c.layer); }))
            layers.push_back(c.layer);
    }
    for (auto it = frame.contours.rbegin(); it != frame.contours.rend(); ++it)
        contours.erase(contours.begin() + static_cast<std::ptrdiff_t>(*it));
    std::vector<std::size_t> taken;
    for (const OpenChain& chain : openChains)
        if (frameHolds(frame, chain.points, tol)) taken.push_back(chain.warning);
    std::sort(taken.rbegin(), taken.rend());
    for (const std::size_t at : taken)
        warnings.erase(warnings.begin() + static_cast<std::ptrdiff_t>(at));
    const std::size_t before = marks.size();
    std::erase_if(marks, [&](const Piece& m) { return frameHolds(frame, m.points, tol); });
    const std::size_t lines = taken.size() + (before - marks.size());
    return source + ": a frame is left out: " + frame.kind + " (" + describeLabels(labels) +
           " on " + (layers.size() == 1 ? "layer " : "layers ") + joinedNames(layers) +
           (lines == 0 ? ""
                       : " and " + std::to_string(lines) + (lines == 1 ? " line" : " lines") +
                             " drawn on it") +
           ") enclosing every other contour; --keep-frames reads it as a part";
}

// The texts that named parts were read, not left out: they leave the count of texts left out
// (and its line, when they were all of them).
void countNamingTexts(const std::vector<DrawnText>& texts, const std::vector<std::size_t>& naming,
                      const IgnoredTypes& ignoredLines, const std::string& source,
                      std::vector<std::string>& warnings) {
    std::map<std::string, std::int64_t> read;
    for (const std::size_t t : naming) ++read[texts[t].type];
    std::vector<std::size_t> gone;
    for (const auto& [type, count] : read) {
        const auto line = ignoredLines.find(type);
        if (line == ignoredLines.end() || line->second.line >= warnings.size()) continue;
        const std::int64_t left = line->second.count - count;
        if (left > 0) {
            warnings[line->second.line] = ignoredTypeLine(source, type, left);
        } else {
            gone.push_back(line->second.line);
        }
    }
    std::sort(gone.rbegin(), gone.rend());
    for (const std::size_t line : gone) {
        warnings.erase(warnings.begin() + static_cast<std::ptrdiff_t>(line));
    }
}

DxfPartsContents readContents(DxfPairReader& reader, const DxfReadSettings& settings,
                              const DxfReadLimits& limits) {
    DxfDrawing drawing = readDxfDrawing(reader, limits.maxEntities, limits.maxStoredVertices);
    std::vector<DrawnText> texts;
    if (settings.shopDrawing) {
        texts = readDrawnTexts(
            drawing, [&settings](const std::string& layer) { return readsLayer(settings, layer); });
    }
    DxfPartsContents contents;
    contents.insUnits = drawing.insUnits;
    if (drawing.insUnits == 0 && settings.assumedUnits)
        contents.assumedUnits = *settings.assumedUnits;
    const int units = contents.assumedUnits != 0 ? contents.assumedUnits : drawing.insUnits;
    contents.partUnits = settings.targetUnits.value_or(units);
    if (settings.targetUnits) {
        const std::optional<double> from = metresPerUnit(units);
        const std::optional<double> to = metresPerUnit(*settings.targetUnits);
        if (!from) {
            throw DxfFault{reader.source() + ": the drawing does not name its units ($INSUNITS " +
                           std::to_string(drawing.insUnits) + "), so it cannot be converted to " +
                           std::string(insUnitsName(*settings.targetUnits)) +
                           (drawing.insUnits == 0 ? "; --assume-units U says what they are" : "")};
        }
        if (to) contents.unitScale = *from / *to;
    }
    // The distances are meant in the job's units; the drawing is read in its own.
    const double tolerance = toleranceIn(settings, contents.partUnits);
    const double chordTol = tolerance / contents.unitScale;
    const double tol = settings.join.value_or(tolerance) / contents.unitScale;
    IgnoredTypes ignoredLines;
    std::vector<Piece> pieces = flattenedPieces(reader, drawing, chordTol, settings, limits,
                                                contents.warnings, &ignoredLines);
    drawing = DxfDrawing();  // the entities as read are not needed again: their memory goes

    const std::string& source = reader.source();
    dropIdlePieces(pieces, tol, source, contents.warnings);
    std::vector<Piece> marks;
    if (settings.shopDrawing) marks = takeMarkLines(pieces, tol, source);
    std::vector<OpenChain> openChains;
    std::vector<Contour> contours =
        keepSoundContours(chainPieces(pieces, tol, source, contents.warnings, &openChains), source,
                          contents.warnings);
    contours = dropRepeatedContours(std::move(contours), tol, source, contents.warnings);
    std::string frameLine;
    if (settings.shopDrawing && !settings.keepFrames) {
        if (const std::optional<DrawingFrame> frame = findFrame(contours, tol))
            frameLine =
                leaveOutFrame(*frame, contours, openChains, marks, tol, contents.warnings, source);
    }
    std::vector<Contour> crossing;
    contours = dropCrossingContours(std::move(contours), tol, source, contents.warnings,
                                    settings.keepCrossingOutlines ? &crossing : nullptr);
    if (contents.unitScale != 1) {
        const auto scale = [&](std::vector<Vertex>& points) {
            for (Vertex& p : points) {
                p.x *= contents.unitScale;
                p.y *= contents.unitScale;
            }
        };
        for (Contour& c : crossing) {
            scale(c.points);
            scale(c.corners);
        }
        for (Contour& c : contours) {
            scale(c.points);
            scale(c.corners);
        }
        for (Piece& m : marks) {
            scale(m.points);
            scale(m.corners);
        }
        for (DrawnText& t : texts) {
            t.at.x *= contents.unitScale;
            t.at.y *= contents.unitScale;
        }
    }
    AssembledParts assembled =
        assembleParts(contours, settings.fallbackName, tolerance, limits.maxArcSegments, texts);
    contents.parts = std::move(assembled.parts);
    contents.curves = std::move(assembled.curves);
    countNamingTexts(texts, assembled.namingTexts, ignoredLines, source, contents.warnings);
    if (!marks.empty()) {
        const std::size_t found = marks.size();
        std::vector<std::string> labels, layers;
        for (const Piece& m : marks) {
            labels.push_back(m.label);
            if (std::none_of(layers.begin(), layers.end(),
                             [&](const std::string& l) { return sameName(l, m.layer); }))
                layers.push_back(m.layer);
        }
        const std::vector<Piece> loose =
            attachMarkLines(std::move(marks), contents.parts, contents.curves);
        contents.warnings.push_back(
            source + ": " + std::to_string(found) + (found == 1 ? " open line" : " open lines") +
            " on " + (layers.size() == 1 ? "layer " : "layers ") + joinedNames(layers) +
            " meeting outlines on other layers (" + describeLabels(labels) +
            ") are marked, not cut: they go on layer MARK of the drawing for cutting");
        for (const Piece& m : loose) {
            contents.warnings.push_back(source + ": " + m.label +
                                        " is left out: a mark line on no part");
        }
    }
    for (const Contour& c : crossing) {
        DxfPartsContents::CrossingOutline outline;
        outline.loop.setVertices(c.corners.empty()
                                     ? c.points
                                     : boundingPolygon(CurveLoop{c.corners, c.bulges}, true,
                                                       tolerance, limits.maxArcSegments));
        outline.label = describeLabels(c.labels);
        contents.crossingOutlines.push_back(std::move(outline));
    }
    for (const std::size_t i : assembled.packedByChords) {
        contents.warnings.push_back(
            reader.source() + ": the contour of " + describeLabels(contours[i].labels) +
            " has arcs within " + formatNumber(tolerance) +
            " of its other edges: it is packed by its chords, which may cut into its arcs");
    }
    // First, so that the list's bound never cuts it.
    if (!frameLine.empty()) contents.warnings.insert(contents.warnings.begin(), frameLine);
    if (contents.warnings.size() > kMaxWarnings) {
        const std::size_t more = contents.warnings.size() - kMaxWarnings;
        contents.warnings.resize(kMaxWarnings);
        contents.warnings.push_back(reader.source() + ": and " + std::to_string(more) +
                                    " more things left out, not listed here");
    }
    return contents;
}

}  // namespace

std::variant<DxfPartsContents, InputError> readDxfPartData(std::istream& in,
                                                           const std::string& sourceName,
                                                           const DxfReadSettings& settings,
                                                           const DxfReadLimits& limits) {
    const std::string binaryMark = "AutoCAD Binary DXF";
    if (in.rdbuf()->sgetc() == 'A') {
        std::string head(binaryMark.size(), '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        if (head == binaryMark) {
            return InputError{false, sourceName +
                                         ": binary DXF cannot be read; save the drawing "
                                         "as ASCII DXF"};
        }
        in.clear();
        in.seekg(0);
    }
    DxfPairReader reader(in, sourceName, limits.maxLineLength);
    try {
        return readContents(reader, settings, limits);
    } catch (const DxfFault& fault) {
        return InputError{false, fault.message};
    } catch (const std::bad_alloc&) {
        return InputError{false, sourceName + ": there is not enough memory to read the drawing"};
    }
}

std::variant<DxfPartsContents, InputError> readDxfPartFile(const std::string& path,
                                                           const DxfReadSettings& settings,
                                                           const DxfReadLimits& limits) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return InputError{false, path + ": cannot be opened"};
    return readDxfPartData(in, path, settings, limits);
}

namespace {

struct UnitInfo {
    int code;
    std::string_view name;
    std::string_view shortName;
    double metres;
};

constexpr UnitInfo kUnits[] = {
    {1, "inches", "in", 0.0254},
    {2, "feet", "ft", 0.3048},
    {3, "miles", "mi", 1609.344},
    {4, "millimetres", "mm", 0.001},
    {5, "centimetres", "cm", 0.01},
    {6, "metres", "m", 1.0},
    {7, "kilometres", "km", 1000.0},
    {8, "microinches", "", 2.54e-8},
    {9, "mils", "mil", 2.54e-5},
    {10, "yards", "yd", 0.9144},
    {11, "angstroms", "", 1e-10},
    {12, "nanometres", "nm", 1e-9},
    {13, "micrometres", "um", 1e-6},
    {14, "decimetres", "dm", 0.1},
    {15, "decametres", "", 10.0},
    {16, "hectometres", "", 100.0},
    {17, "gigametres", "", 1e9},
    {18, "astronomical units", "", 1.495978707e11},
    {19, "light years", "", 9.4607304725808e15},
    {20, "parsecs", "", 3.0856775814913673e16},
};

}  // namespace

double toleranceIn(const DxfReadSettings& settings, int partUnits) {
    if (settings.tolerance) return *settings.tolerance;
    const std::optional<double> metres = metresPerUnit(partUnits);
    // Millimetres per unit as a ratio of the table's entries, so that a drawing in millimetres
    // gets exactly the default.
    return metres ? kDefaultDxfTolerance * (0.001 / *metres) : kDefaultDxfTolerance;
}

bool readsLayer(const DxfReadSettings& settings, const std::string& layer) {
    if (!settings.layers.empty() && !listed(settings.layers, layer)) return false;
    return !listed(settings.skipLayers, layer);
}

std::string_view insUnitsName(int code) {
    for (const UnitInfo& u : kUnits)
        if (u.code == code) return u.name;
    return "unitless";
}

std::string_view insUnitsSymbol(int code) {
    for (const UnitInfo& u : kUnits)
        if (u.code == code) return u.shortName.empty() ? u.name : u.shortName;
    return "";
}

std::optional<double> metresPerUnit(int code) {
    for (const UnitInfo& u : kUnits)
        if (u.code == code) return u.metres;
    return std::nullopt;
}

std::optional<int> insUnitsFromName(std::string_view name) {
    for (const UnitInfo& u : kUnits)
        if (!u.shortName.empty() && u.shortName == name) return u.code;
    return std::nullopt;
}

}  // namespace blocknest
