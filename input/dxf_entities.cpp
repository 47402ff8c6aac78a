#include "input/dxf_entities.hpp"

#include <algorithm>
#include <map>
#include <numbers>
#include <optional>

#include "base/number_format.hpp"

namespace blocknest {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr const char* kPaperSpace = " paper space";  // no type: values are trimmed
constexpr std::size_t kMaxPartName = 255;            // characters of a block or layer name kept
constexpr std::size_t kMaxNameInLabel = 40;          // characters of a name in a message
constexpr std::size_t kMaxViaLength = 200;           // characters naming the enclosing blocks

// A name no longer than most characters, "..." marking a cut.
std::string cutName(const std::string& name, std::size_t most) {
    return name.size() <= most ? name : name.substr(0, most) + "...";
}

// Turns entities into curves, expanding block references; collects the warnings.
class CurveCollector {
public:
    CurveCollector(const DxfPairReader& reader, const DxfDrawing& drawing,
                   const DxfExpansionLimits& limits, const CurveSink& sink,
                   std::vector<std::string>& warnings, const LayerFilter& readsLayer,
                   IgnoredTypes* ignoredLines)
        : reader_(reader),
          drawing_(drawing),
          limits_(limits),
          sink_(sink),
          warnings_(warnings),
          readsLayer_(readsLayer),
          ignoredLines_(ignoredLines) {}

    void collect() {
        for (const RawEntity& e : drawing_.entities) add(e, Affine{}, {}, 0);
        for (const auto& [type, count] : ignored_) {
            if (type == kPaperSpace) {
                warnings_.push_back(reader_.source() + ": " + std::to_string(count) + " entit" +
                                    (count == 1 ? "y is" : "ies are") +
                                    " left out: in paper space");
                continue;
            }
            if (ignoredLines_ != nullptr) (*ignoredLines_)[type] = {warnings_.size(), count};
            warnings_.push_back(ignoredTypeLine(reader_.source(), type, count));
        }
        if (skipped_.empty()) return;
        std::int64_t count = 0;
        std::string names;
        for (const auto& [layer, n] : skipped_) {
            count += n;
            if (names.size() < kMaxViaLength)
                names += (names.empty() ? "" : ", ") + cutName(layer, kMaxNameInLabel);
        }
        warnings_.push_back(
            reader_.source() + ": " + std::to_string(count) +
            (count == 1 ? " entity" : " entities") + " on layer" +
            (skipped_.size() == 1 ? " " : "s ") + names + (count == 1 ? " is" : " are") +
            " left out: " + (skipped_.size() == 1 ? "that layer is" : "those layers are") +
            " not read");
    }

private:
    struct Context {
        std::string block;  // the outermost block reference's block name
        std::string layer;  // the reference's layer, for entities on layer "0" inside it
        std::string via;    // " in block B (INSERT 1C)"
    };

    // "LINE 2F", or "LINE at line 120" in a drawing without handles.
    static std::string ownLabel(const RawEntity& e) {
        const std::string handle = e.text(5);
        return cutName(e.type, kMaxNameInLabel) + (handle.empty()
                                                       ? " at line " + std::to_string(e.line)
                                                       : " " + cutName(handle, kMaxNameInLabel));
    }

    std::string label(const RawEntity& e, const Context& where) const {
        return ownLabel(e) + where.via;
    }

    void warn(const RawEntity& e, const Context& where, const std::string& why) {
        warnings_.push_back(reader_.source() + ": " + label(e, where) + " is left out: " + why);
    }

    template <class Shape>
    void emit(const RawEntity& e, const Context& where, Shape shape, bool mirrored,
              const Affine& toWorld) {
        CurvePiece piece;
        piece.shape = std::move(shape);
        piece.mirrored = mirrored;
        piece.toWorld = toWorld;
        piece.label = label(e, where);
        std::string layer = e.text(8, "0");
        if (layer == "0" && !where.layer.empty()) layer = where.layer;
        piece.layer = std::move(layer);
        piece.block = where.block;
        piece.line = e.line;
        sink_(std::move(piece));
    }

    // Entities drawn in an object coordinate system: only the two views along Z are flat in
    // the drawing's plane; seen from below, x runs the other way.
    std::optional<bool> mirroredOcs(const RawEntity& e, const Context& where) {
        const EntityValues v(reader_, e);
        const double nx = v.number(210), ny = v.number(220), nz = v.number(230, 1);
        if (std::fabs(nx) > 1e-9 || std::fabs(ny) > 1e-9 || nz == 0) {
            warn(e, where,
                 "it is not drawn in the XY plane (extrusion direction " + formatNumber(nx) + ", " +
                     formatNumber(ny) + ", " + formatNumber(nz) + ")");
            return std::nullopt;
        }
        return nz < 0;
    }

    void add(const RawEntity& e, const Affine& toWorld, const Context& where, int depth) {
        const EntityValues v(reader_, e);
        // Blocks inside blocks multiply; the bound holds for the entities they make.
        if (++expanded_ > limits_.maxEntities) {
            reader_.fail(e.line, "more than " + std::to_string(limits_.maxEntities) +
                                     " entities once block references are expanded");
        }
        if (v.integer(67) == 1) {
            ++ignored_[kPaperSpace];
            return;
        }
        if (readsLayer_) {
            std::string layer = e.text(8, "0");
            if (layer == "0" && !where.layer.empty()) layer = where.layer;
            if (!readsLayer_(layer)) {
                ++skipped_[cutName(layer, kMaxPartName)];
                return;
            }
        }
        if (e.type == "LINE") {
            PolylineCurve line;
            line.corners = {Vertex{v.number(10), v.number(20)}, Vertex{v.number(11), v.number(21)}};
            line.bulges = {0, 0};
            emit(e, where, std::move(line), false, toWorld);
        } else if (e.type == "ARC" || e.type == "CIRCLE") {
            const std::optional<bool> mirrored = mirroredOcs(e, where);
            if (!mirrored) return;
            ArcCurve arc;
            arc.radius = v.number(40);
            if (!(arc.radius > 0)) return warn(e, where, "its radius is not positive");
            arc.centre = Vertex{v.number(10), v.number(20)};
            if (e.type == "CIRCLE") {
                arc.sweep = 2 * kPi;
                arc.closed = true;
            } else {
                arc.start = v.number(50) * kPi / 180;
                arc.sweep = std::fmod(v.number(51) * kPi / 180 - arc.start, 2 * kPi);
                if (arc.sweep <= 0) arc.sweep += 2 * kPi;
            }
            emit(e, where, std::move(arc), *mirrored, toWorld);
        } else if (e.type == "LWPOLYLINE") {
            const std::optional<bool> mirrored = mirroredOcs(e, where);
            if (!mirrored) return;
            PolylineCurve polyline;
            polyline.corners.reserve(e.corners.size());
            polyline.bulges.reserve(e.corners.size());
            for (const LwVertex& corner : e.corners) {
                if (!corner.hasY) {
                    return warn(e, where,
                                "its vertex at line " + std::to_string(corner.line) +
                                    " has no y (group code 20)");
                }
                polyline.corners.push_back(Vertex{corner.x, corner.y});
                polyline.bulges.push_back(corner.bulge);
            }
            polyline.closed = (v.integer(70) & 1) != 0;
            addPolyline(e, where, std::move(polyline), *mirrored, toWorld);
        } else if (e.type == "POLYLINE") {
            const std::int64_t flags = v.integer(70);
            if ((flags & (16 | 64)) != 0) return warn(e, where, "it is a mesh, not an outline");
            const bool is3d = (flags & 8) != 0;
            std::optional<bool> mirrored = false;
            if (!is3d) mirrored = mirroredOcs(e, where);
            if (!mirrored) return;
            PolylineCurve polyline;
            for (const RawEntity& vertex : e.vertices) {
                const EntityValues vv(reader_, vertex);
                if ((vv.integer(70) & 16) != 0) continue;  // a spline frame's control point
                polyline.corners.push_back(Vertex{vv.number(10), vv.number(20)});
                polyline.bulges.push_back(is3d ? 0 : vv.number(42));
            }
            polyline.closed = (flags & 1) != 0;
            addPolyline(e, where, std::move(polyline), *mirrored, toWorld);
        } else if (e.type == "ELLIPSE") {
            addEllipse(e, where, toWorld);
        } else if (e.type == "SPLINE") {
            addSpline(e, where, toWorld);
        } else if (e.type == "INSERT") {
            addInsert(e, where, toWorld, depth);
        } else {
            ++ignored_[e.type];
        }
    }

    void addPolyline(const RawEntity& e, const Context& where, PolylineCurve polyline,
                     bool mirrored, const Affine& toWorld) {
        if (polyline.corners.empty()) return warn(e, where, "it has no vertices");
        emit(e, where, std::move(polyline), mirrored, toWorld);
    }

    void addEllipse(const RawEntity& e, const Context& where, const Affine& toWorld) {
        const EntityValues v(reader_, e);
        const double nx = v.number(210), ny = v.number(220), nz = v.number(230, 1);
        if (std::fabs(nx) > 1e-9 || std::fabs(ny) > 1e-9 || nz == 0) {
            return warn(e, where, "it is not drawn in the XY plane");
        }
        EllipseCurve ellipse;
        ellipse.centre = Vertex{v.number(10), v.number(20)};
        ellipse.major = Vertex{v.number(11), v.number(21)};
        const double ratio = v.number(40, 1);
        const double a = std::hypot(ellipse.major.x, ellipse.major.y);
        if (!(a > 0) || !(ratio > 0)) return warn(e, where, "its axes are not positive");
        // The minor axis is the major one turned a quarter turn about the extrusion direction.
        const double sign = nz < 0 ? -1 : 1;
        ellipse.minor = Vertex{-ellipse.major.y * ratio * sign, ellipse.major.x * ratio * sign};
        ellipse.start = v.number(41, 0);
        double sweep = v.number(42, 2 * kPi) - ellipse.start;
        const bool full = std::fabs(std::fabs(sweep) - 2 * kPi) < 1e-9;
        sweep = std::fmod(sweep, 2 * kPi);
        if (sweep <= 0 || full) sweep += 2 * kPi;
        if (full) sweep = 2 * kPi;
        ellipse.sweep = sweep;
        ellipse.closed = full;
        emit(e, where, std::move(ellipse), false, toWorld);
    }

    void addSpline(const RawEntity& e, const Context& where, const Affine& toWorld) {
        const EntityValues v(reader_, e);
        BSpline spline;
        spline.degree = static_cast<int>(v.integer(71, 3));
        spline.knots = v.numbers(40);
        spline.weights = v.numbers(41);
        const std::vector<double> xs = v.numbers(10), ys = v.numbers(20);
        if (xs.empty()) {
            return warn(e, where,
                        "it gives only fit points, no control points, and this reader draws a "
                        "spline from its control points");
        }
        if (xs.size() != ys.size()) return warn(e, where, "its control points lack coordinates");
        for (std::size_t i = 0; i < xs.size(); ++i) spline.control.push_back(Vertex{xs[i], ys[i]});
        const std::size_t n = spline.control.size();
        if (spline.degree < 1 || spline.degree > 25 ||
            n < static_cast<std::size_t>(spline.degree) + 1 ||
            spline.knots.size() != n + spline.degree + 1 ||
            !std::is_sorted(spline.knots.begin(), spline.knots.end()) ||
            (!spline.weights.empty() && spline.weights.size() != n)) {
            return warn(e, where,
                        "its degree, knots and control points do not make a B-spline (degree " +
                            std::to_string(spline.degree) + ", " +
                            std::to_string(spline.knots.size()) + " knots, " + std::to_string(n) +
                            " control points)");
        }
        for (double w : spline.weights)
            if (!(w > 0)) return warn(e, where, "a weight is not positive");
        emit(e, where, std::move(spline), false, toWorld);
    }

    void addInsert(const RawEntity& e, const Context& where, const Affine& toWorld, int depth) {
        const EntityValues v(reader_, e);
        const std::string name = e.text(2);
        const auto found = drawing_.blocks.find(name);
        if (found == drawing_.blocks.end()) {
            return warn(e, where,
                        "it refers to block '" + cutName(name, kMaxNameInLabel) +
                            "', which is not defined");
        }
        if (depth >= limits_.maxBlockDepth) {
            return warn(e, where,
                        "blocks nest more than " + std::to_string(limits_.maxBlockDepth) + " deep");
        }
        const std::optional<bool> mirrored = mirroredOcs(e, where);
        if (!mirrored) return;
        const DxfBlock& block = found->second;
        const double sx = v.number(41, 1), sy = v.number(42, 1);
        const double angle = v.number(50) * kPi / 180;
        const std::int64_t columns = std::max<std::int64_t>(1, v.integer(70, 1));
        const std::int64_t rows = std::max<std::int64_t>(1, v.integer(71, 1));
        if (columns > limits_.maxEntities || rows > limits_.maxEntities / columns) {
            return warn(e, where, "its array has too many copies");
        }
        const double columnSpacing = v.number(44), rowSpacing = v.number(45);
        Context inner = where;
        if (inner.block.empty()) {
            inner.block = cutName(name, kMaxPartName);
            inner.layer = cutName(e.text(8, "0"), kMaxPartName);
        }
        // Messages name the block and the reference to it, and at most a few enclosing ones.
        inner.via = " in block " + cutName(name, kMaxNameInLabel) + " (" + ownLabel(e) + ")" +
                    (where.via.size() > kMaxViaLength ? " ..." : where.via);
        const double cs = std::cos(angle), sn = std::sin(angle);
        for (std::int64_t r = 0; r < rows; ++r) {
            for (std::int64_t c = 0; c < columns; ++c) {
                // Block coordinates: shift by the base point, scale, then array offset, turn,
                // and move to the insertion point; in the insert's OCS, then to the parent.
                const double ox = c * columnSpacing, oy = r * rowSpacing;
                Affine local{cs * sx, -sn * sy, sn * sx, cs * sy, 0, 0};
                local.tx = -(local.a * block.base.x + local.b * block.base.y) + cs * ox - sn * oy +
                           v.number(10);
                local.ty = -(local.c * block.base.x + local.d * block.base.y) + sn * ox + cs * oy +
                           v.number(20);
                // Every copy counts toward the bound, an empty block's too.
                if (++expanded_ > limits_.maxEntities) {
                    reader_.fail(e.line, "more than " + std::to_string(limits_.maxEntities) +
                                             " entities once block references are expanded");
                }
                if (*mirrored) local = Affine{-1, 0, 0, 1, 0, 0}.after(local);
                const Affine composed = toWorld.after(local);
                for (const RawEntity& child : block.entities)
                    add(child, composed, inner, depth + 1);
            }
        }
    }

    const DxfPairReader& reader_;
    const DxfDrawing& drawing_;
    const DxfExpansionLimits& limits_;
    const CurveSink& sink_;
    std::vector<std::string>& warnings_;
    const LayerFilter& readsLayer_;
    IgnoredTypes* ignoredLines_;
    std::map<std::string, int> ignored_;
    std::map<std::string, std::int64_t> skipped_;  // entities by the layer not read
    std::int64_t expanded_ = 0;
};

}  // namespace

void collectCurves(const DxfPairReader& reader, const DxfDrawing& drawing,
                   const DxfExpansionLimits& limits, const CurveSink& sink,
                   std::vector<std::string>& warnings, const LayerFilter& readsLayer,
                   IgnoredTypes* ignoredLines) {
    CurveCollector(reader, drawing, limits, sink, warnings, readsLayer, ignoredLines).collect();
}

std::string ignoredTypeLine(const std::string& source, const std::string& type,
                            std::int64_t count) {
    return source + ": " + std::to_string(count) + " " + cutName(type, kMaxNameInLabel) + " entit" +
           (count == 1 ? "y is" : "ies are") + " left out: not an outline this reader takes";
}

}  // namespace blocknest
