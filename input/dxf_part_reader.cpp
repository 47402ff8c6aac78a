#include "input/dxf_part_reader.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <numbers>
#include <numeric>
#include <unordered_map>
#include <utility>

#include "base/number_format.hpp"
#include "geometry/predicates.hpp"
#include "input/number_parser.hpp"

namespace blocknest {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr std::size_t kMaxWarnings = 200;            // lines per drawing; the rest are counted
constexpr const char* kPaperSpace = " paper space";  // no type: values are trimmed

// Reading ends at the first fault; the public functions turn it into an InputError.
struct DxfFault {
    std::string message;
};

struct Pair {
    int code = 0;
    std::string value;
    int line = 0;  // the line of the group code
};

// Group-code/value pairs, with one pair of look-ahead. Line ends may be LF or CR LF; blanks
// around codes and values are dropped.
class PairReader {
public:
    PairReader(std::istream& in, std::string source, std::size_t maxLineLength)
        : buffer_(*in.rdbuf()), source_(std::move(source)), maxLineLength_(maxLineLength) {}

    const std::string& source() const { return source_; }
    int lineNumber() const { return lineNumber_; }

    // The next pair, or nothing at the end of the file.
    const Pair* peek() {
        if (!hasPeeked_) {
            hasPeeked_ = true;
            atEnd_ = !readPair(peeked_);
        }
        return atEnd_ ? nullptr : &peeked_;
    }
    std::optional<Pair> next() {
        const Pair* p = peek();
        if (p == nullptr) return std::nullopt;
        hasPeeked_ = false;
        return std::move(peeked_);
    }

    [[noreturn]] void fail(int line, const std::string& what) const {
        throw DxfFault{source_ + ":" + std::to_string(line) + ": " + what};
    }

private:
    bool readLine(std::string& line) {
        line.clear();
        bool any = false;
        for (int c = buffer_.sbumpc(); c != std::char_traits<char>::eof(); c = buffer_.sbumpc()) {
            any = true;
            if (c == '\n') break;
            if (line.size() == maxLineLength_) {
                fail(lineNumber_ + 1,
                     "a line longer than " + std::to_string(maxLineLength_) + " characters");
            }
            line.push_back(static_cast<char>(c));
        }
        if (!any) return false;
        ++lineNumber_;
        const std::size_t first = line.find_first_not_of(" \t\r");
        const std::size_t last = line.find_last_not_of(" \t\r");
        line = first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
        return true;
    }

    bool readPair(Pair& pair) {
        std::string codeText;
        // Blank lines at the very end are no pair.
        do {
            if (!readLine(codeText)) return false;
        } while (codeText.empty() && buffer_.sgetc() == std::char_traits<char>::eof());
        pair.line = lineNumber_;
        const char* end = codeText.data() + codeText.size();
        const auto [ptr, ec] = std::from_chars(codeText.data(), end, pair.code);
        if (ec != std::errc() || ptr != end || codeText.empty()) {
            fail(lineNumber_, "a group code (a whole number) was expected, not '" +
                                  codeText.substr(0, 40) + "'");
        }
        if (!readLine(pair.value)) fail(pair.line, "the file ends after a group code");
        return true;
    }

    std::streambuf& buffer_;
    std::string source_;
    std::size_t maxLineLength_;
    int lineNumber_ = 0;
    Pair peeked_;
    bool hasPeeked_ = false;
    bool atEnd_ = false;
};

// One entity as read: its type, where it starts, and its pairs after the type.
struct RawEntity {
    std::string type;
    int line = 0;
    std::vector<Pair> pairs;
    std::vector<RawEntity> vertices;  // a POLYLINE's VERTEX entities

    const Pair* find(int code) const {
        for (const Pair& p : pairs)
            if (p.code == code) return &p;
        return nullptr;
    }
    std::string text(int code, std::string fallback = {}) const {
        const Pair* p = find(code);
        return p != nullptr ? p->value : fallback;
    }
};

struct Block {
    Vertex base;
    std::vector<RawEntity> entities;
};

struct Drawing {
    int insUnits = 0;
    std::map<std::string, Block> blocks;
    std::vector<RawEntity> entities;
};

double toNumber(const PairReader& reader, const Pair& p) {
    const ParsedNumber n = parseDecimal(p.value);
    if (p.value.empty() || n.end != p.value.size() || !std::isfinite(n.value)) {
        reader.fail(p.line + 1, "group code " + std::to_string(p.code) +
                                    " needs a finite number, not '" + p.value.substr(0, 40) + "'");
    }
    return n.value;
}

// Numbers are checked where they are used, so that the line of a bad one can be named; the
// reader is kept for that.
class EntityValues {
public:
    EntityValues(const PairReader& reader, const RawEntity& entity)
        : reader_(reader), entity_(entity) {}
    double number(int code, double fallback = 0) const {
        const Pair* p = entity_.find(code);
        return p != nullptr ? toNumber(reader_, *p) : fallback;
    }
    std::int64_t integer(int code, std::int64_t fallback = 0) const {
        const Pair* p = entity_.find(code);
        if (p == nullptr) return fallback;
        const double value = toNumber(reader_, *p);
        if (value != std::trunc(value) || std::fabs(value) > 1e15) {
            reader_.fail(p->line + 1, "group code " + std::to_string(p->code) +
                                          " needs a whole number, not '" + p->value + "'");
        }
        return static_cast<std::int64_t>(value);
    }
    // Every value of a repeated code, in file order.
    std::vector<double> numbers(int code) const {
        std::vector<double> values;
        for (const Pair& p : entity_.pairs)
            if (p.code == code) values.push_back(toNumber(reader_, p));
        return values;
    }

private:
    const PairReader& reader_;
    const RawEntity& entity_;
};

RawEntity readEntity(PairReader& reader, const Pair& start) {
    RawEntity entity;
    entity.type = start.value;
    entity.line = start.line;
    while (const Pair* p = reader.peek()) {
        if (p->code == 0) break;
        entity.pairs.push_back(*reader.next());
    }
    return entity;
}

// Entities up to ENDSEC (or ENDBLK inside a block); POLYLINE takes its VERTEX entities.
std::vector<RawEntity> readEntities(PairReader& reader, const std::string& stop,
                                    std::int64_t& entityCount, const DxfReadLimits& limits) {
    std::vector<RawEntity> entities;
    for (;;) {
        std::optional<Pair> p = reader.next();
        if (!p) reader.fail(reader.lineNumber(), "the file ends before " + stop);
        if (p->code != 0) continue;  // stray values between entities carry nothing we use
        if (p->value == stop) return entities;
        if (p->value == "ENDSEC" || p->value == "EOF") {
            reader.fail(p->line, "'" + p->value + "' where " + stop + " was expected");
        }
        if (++entityCount > limits.maxEntities) {
            reader.fail(p->line, "more than " + std::to_string(limits.maxEntities) + " entities");
        }
        RawEntity entity = readEntity(reader, *p);
        if (entity.type == "VERTEX" && !entities.empty() && entities.back().type == "POLYLINE") {
            entities.back().vertices.push_back(std::move(entity));
        } else if (entity.type == "SEQEND" && !entities.empty() &&
                   entities.back().type == "POLYLINE") {
            // The POLYLINE is complete; nothing to keep.
        } else {
            entities.push_back(std::move(entity));
        }
    }
}

void readHeader(PairReader& reader, Drawing& drawing) {
    std::string variable;
    for (;;) {
        std::optional<Pair> p = reader.next();
        if (!p) reader.fail(reader.lineNumber(), "the file ends inside the HEADER section");
        if (p->code == 0 && p->value == "ENDSEC") return;
        if (p->code == 9) {
            variable = p->value;
        } else if (variable == "$INSUNITS" && p->code == 70) {
            const double code = toNumber(reader, *p);
            drawing.insUnits =
                code == std::trunc(code) && code >= 0 && code <= 100 ? static_cast<int>(code) : 0;
        }
    }
}

void readBlocks(PairReader& reader, Drawing& drawing, std::int64_t& entityCount,
                const DxfReadLimits& limits) {
    for (;;) {
        std::optional<Pair> p = reader.next();
        if (!p) reader.fail(reader.lineNumber(), "the file ends inside the BLOCKS section");
        if (p->code != 0) continue;
        if (p->value == "ENDSEC") return;
        if (p->value != "BLOCK")
            reader.fail(p->line, "'" + p->value + "' where BLOCK was expected");
        const RawEntity header = readEntity(reader, *p);
        const EntityValues values(reader, header);
        Block block;
        block.base = Vertex{values.number(10), values.number(20)};
        block.entities = readEntities(reader, "ENDBLK", entityCount, limits);
        drawing.blocks[header.text(2)] = std::move(block);
        // ENDBLK's own pairs
        while (const Pair* q = reader.peek()) {
            if (q->code == 0) break;
            reader.next();
        }
    }
}

Drawing readDrawing(PairReader& reader, const DxfReadLimits& limits) {
    Drawing drawing;
    std::int64_t entityCount = 0;
    bool anySection = false;
    while (std::optional<Pair> p = reader.next()) {
        if (p->code == 999) continue;
        if (p->code != 0)
            reader.fail(p->line, "group code 0 was expected, not " + std::to_string(p->code));
        if (p->value == "EOF") break;
        if (p->value != "SECTION") {
            reader.fail(p->line, "'" + p->value.substr(0, 40) + "' where SECTION was expected");
        }
        std::optional<Pair> name = reader.next();
        if (!name || name->code != 2)
            reader.fail(p->line, "a SECTION without its name (group code 2)");
        anySection = true;
        if (name->value == "HEADER") {
            readHeader(reader, drawing);
        } else if (name->value == "BLOCKS") {
            readBlocks(reader, drawing, entityCount, limits);
        } else if (name->value == "ENTITIES") {
            std::vector<RawEntity> entities = readEntities(reader, "ENDSEC", entityCount, limits);
            for (RawEntity& e : entities) drawing.entities.push_back(std::move(e));
        } else {
            for (;;) {
                std::optional<Pair> q = reader.next();
                if (!q) reader.fail(name->line, "the " + name->value + " section has no ENDSEC");
                if (q->code == 0 && q->value == "ENDSEC") break;
            }
        }
    }
    if (!anySection) reader.fail(1, "no SECTION: this is not a DXF drawing");
    return drawing;
}

// x' = a x + b y + tx, y' = c x + d y + ty
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    Vertex apply(const Vertex& p) const {
        return Vertex{a * p.x + b * p.y + tx, c * p.x + d * p.y + ty};
    }
    // this after inner
    Affine after(const Affine& inner) const {
        return Affine{a * inner.a + b * inner.c,        a * inner.b + b * inner.d,
                      c * inner.a + d * inner.c,        c * inner.b + d * inner.d,
                      a * inner.tx + b * inner.ty + tx, c * inner.tx + d * inner.ty + ty};
    }
    // The most any length grows: the larger singular value of the linear part.
    double maxStretch() const {
        const double sum = a * a + b * b + c * c + d * d;
        const double det = a * d - b * c;
        return std::sqrt((sum + std::sqrt(std::max(0.0, sum * sum - 4 * det * det))) / 2);
    }
};

// An outline piece in drawing coordinates: closed, or open and waiting to be chained.
struct Piece {
    std::vector<Vertex> points;
    bool closed = false;
    std::string label;  // "LINE 2F" or "LINE at line 120"
    std::string layer;
    std::string block;
};

double distance(const Vertex& p, const Vertex& q) { return std::hypot(p.x - q.x, p.y - q.y); }

// Chords of a circular arc, both ends included, straying at most tol from it.
std::vector<Vertex> arcPoints(const Vertex& centre, double radius, double start, double sweep,
                              double tol, int maxSegments) {
    double step = kPi / 4;
    if (tol < radius) step = std::min(step, 2 * std::acos(1 - tol / radius));
    const double wanted = std::ceil(std::fabs(sweep) / step);
    const int n = static_cast<int>(std::clamp(wanted, 1.0, static_cast<double>(maxSegments)));
    std::vector<Vertex> points;
    points.reserve(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        const double angle = start + sweep * i / n;
        points.push_back(
            Vertex{centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
    }
    return points;
}

// The arc that a bulge value draws from p to q: tan(sweep / 4), counter-clockwise positive.
// The ends are p and q exactly; p itself is not appended.
void appendBulge(std::vector<Vertex>& out, const Vertex& p, const Vertex& q, double bulge,
                 double tol, int maxSegments) {
    const double chord = distance(p, q);
    if (bulge == 0 || chord == 0) {
        out.push_back(q);
        return;
    }
    const double sweep = 4 * std::atan(bulge);
    const double ux = (q.x - p.x) / chord;
    const double uy = (q.y - p.y) / chord;
    // The centre lies on the chord's left for a counter-clockwise arc under half a turn.
    const double offset = chord / 2 * (1 - bulge * bulge) / (2 * bulge);
    const Vertex centre{(p.x + q.x) / 2 - uy * offset, (p.y + q.y) / 2 + ux * offset};
    const double radius = distance(p, centre);
    const double start = std::atan2(p.y - centre.y, p.x - centre.x);
    std::vector<Vertex> arc = arcPoints(centre, radius, start, sweep, tol, maxSegments);
    arc.back() = q;
    out.insert(out.end(), arc.begin() + 1, arc.end());
}

struct BSpline {
    int degree = 0;
    std::vector<double> knots;
    std::vector<Vertex> control;
    std::vector<double> weights;  // empty or one per control point

    // de Boor's algorithm in homogeneous coordinates.
    Vertex at(double t) const {
        const int n = static_cast<int>(control.size());
        int span = degree;
        while (span + 1 < n && knots[span + 1] <= t) ++span;
        std::vector<std::array<double, 3>> d(static_cast<std::size_t>(degree) + 1);
        for (int j = 0; j <= degree; ++j) {
            const Vertex& c = control[span - degree + j];
            const double w = weights.empty() ? 1.0 : weights[span - degree + j];
            d[j] = {c.x * w, c.y * w, w};
        }
        for (int r = 1; r <= degree; ++r) {
            for (int j = degree; j >= r; --j) {
                const int i = span - degree + j;
                const double den = knots[i + degree - r + 1] - knots[i];
                const double alpha = den == 0 ? 0 : (t - knots[i]) / den;
                for (int k = 0; k < 3; ++k) d[j][k] = (1 - alpha) * d[j - 1][k] + alpha * d[j][k];
            }
        }
        const auto& h = d[degree];
        return h[2] == 0 ? Vertex{h[0], h[1]} : Vertex{h[0] / h[2], h[1] / h[2]};
    }
};

double distanceToChord(const Vertex& p, const Vertex& a, const Vertex& b) {
    const double len = distance(a, b);
    if (len == 0) return distance(p, a);
    return std::fabs((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x)) / len;
}

// Bisects a parameter interval until the curve's mid and quarter points lie within tol of
// the chord.
template <class Curve>
void refine(const Curve& curve, double t0, const Vertex& p0, double t1, const Vertex& p1,
            double tol, int depth, std::vector<Vertex>& out, std::size_t maxPoints) {
    const double tm = (t0 + t1) / 2;
    const Vertex pm = curve(tm);
    const Vertex pa = curve((t0 + tm) / 2);
    const Vertex pb = curve((tm + t1) / 2);
    const bool flat = distanceToChord(pm, p0, p1) <= tol && distanceToChord(pa, p0, p1) <= tol &&
                      distanceToChord(pb, p0, p1) <= tol;
    if (flat || depth >= 20 || out.size() >= maxPoints) {
        out.push_back(p1);
        return;
    }
    refine(curve, t0, p0, tm, pm, tol, depth + 1, out, maxPoints);
    refine(curve, tm, pm, t1, p1, tol, depth + 1, out, maxPoints);
}

// Turns entities into pieces, expanding block references; collects the warnings.
class PieceMaker {
public:
    PieceMaker(const PairReader& reader, const Drawing& drawing, double tol,
               const DxfReadLimits& limits, std::vector<std::string>& warnings)
        : reader_(reader), drawing_(drawing), tol_(tol), limits_(limits), warnings_(warnings) {}

    std::vector<Piece> make() {
        for (const RawEntity& e : drawing_.entities) add(e, Affine{}, {}, 0);
        for (const auto& [type, count] : ignored_) {
            const std::string what = type == kPaperSpace ? "entit" : type + " entit";
            warnings_.push_back(
                reader_.source() + ": " + std::to_string(count) + " " + what +
                (count == 1 ? "y is" : "ies are") + " left out: " +
                (type == kPaperSpace ? "in paper space" : "not an outline this reader takes"));
        }
        return std::move(pieces_);
    }

private:
    struct Context {
        std::string block;  // the outermost block reference's block name
        std::string layer;  // the reference's layer, for entities on layer "0" inside it
        std::string via;    // " in block B (INSERT 1C)"
    };

    std::string label(const RawEntity& e, const Context& where) const {
        const std::string handle = e.text(5);
        return e.type + (handle.empty() ? " at line " + std::to_string(e.line) : " " + handle) +
               where.via;
    }

    void warn(const RawEntity& e, const Context& where, const std::string& why) {
        warnings_.push_back(reader_.source() + ": " + label(e, where) + " is left out: " + why);
    }

    void emit(const RawEntity& e, const Context& where, std::vector<Vertex> local, bool closed,
              bool mirrored, const Affine& toWorld) {
        storedVertices_ += static_cast<std::int64_t>(local.size());
        if (storedVertices_ > limits_.maxStoredVertices) {
            reader_.fail(e.line, "the outlines need more than " +
                                     std::to_string(limits_.maxStoredVertices) + " vertices");
        }
        Piece piece;
        piece.points.reserve(local.size());
        for (Vertex v : local) {
            if (mirrored) v.x = -v.x;
            piece.points.push_back(toWorld.apply(v));
            if (!std::isfinite(piece.points.back().x) || !std::isfinite(piece.points.back().y)) {
                return warn(e, where, "its coordinates overflow once drawn");
            }
        }
        piece.closed = closed;
        piece.label = label(e, where);
        std::string layer = e.text(8, "0");
        if (layer == "0" && !where.layer.empty()) layer = where.layer;
        piece.layer = layer;
        piece.block = where.block;
        pieces_.push_back(std::move(piece));
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
        const double tol = tol_ / std::max(toWorld.maxStretch(), 1e-300);
        const int maxSeg = limits_.maxArcSegments;
        if (e.type == "LINE") {
            emit(e, where, {Vertex{v.number(10), v.number(20)}, Vertex{v.number(11), v.number(21)}},
                 false, false, toWorld);
        } else if (e.type == "ARC" || e.type == "CIRCLE") {
            const std::optional<bool> mirrored = mirroredOcs(e, where);
            if (!mirrored) return;
            const double radius = v.number(40);
            if (!(radius > 0)) return warn(e, where, "its radius is not positive");
            const Vertex centre{v.number(10), v.number(20)};
            if (e.type == "CIRCLE") {
                std::vector<Vertex> points = arcPoints(centre, radius, 0, 2 * kPi, tol, maxSeg);
                points.pop_back();
                return emit(e, where, std::move(points), true, *mirrored, toWorld);
            }
            const double start = v.number(50) * kPi / 180;
            double sweep = std::fmod(v.number(51) * kPi / 180 - start, 2 * kPi);
            if (sweep <= 0) sweep += 2 * kPi;
            emit(e, where, arcPoints(centre, radius, start, sweep, tol, maxSeg), false, *mirrored,
                 toWorld);
        } else if (e.type == "LWPOLYLINE") {
            const std::optional<bool> mirrored = mirroredOcs(e, where);
            if (!mirrored) return;
            std::vector<Vertex> corners;
            std::vector<double> bulges;
            for (const Pair& p : e.pairs) {
                if (p.code == 10) {
                    corners.push_back(Vertex{toNumber(reader_, p), 0});
                    bulges.push_back(0);
                } else if (p.code == 20 && !corners.empty()) {
                    corners.back().y = toNumber(reader_, p);
                } else if (p.code == 42 && !corners.empty()) {
                    bulges.back() = toNumber(reader_, p);
                }
            }
            addPolyline(e, where, corners, bulges, (v.integer(70) & 1) != 0, *mirrored, toWorld,
                        tol);
        } else if (e.type == "POLYLINE") {
            const std::int64_t flags = v.integer(70);
            if ((flags & (16 | 64)) != 0) return warn(e, where, "it is a mesh, not an outline");
            const bool is3d = (flags & 8) != 0;
            std::optional<bool> mirrored = false;
            if (!is3d) mirrored = mirroredOcs(e, where);
            if (!mirrored) return;
            std::vector<Vertex> corners;
            std::vector<double> bulges;
            for (const RawEntity& vertex : e.vertices) {
                const EntityValues vv(reader_, vertex);
                if ((vv.integer(70) & 16) != 0) continue;  // a spline frame's control point
                corners.push_back(Vertex{vv.number(10), vv.number(20)});
                bulges.push_back(is3d ? 0 : vv.number(42));
            }
            addPolyline(e, where, corners, bulges, (flags & 1) != 0, *mirrored, toWorld, tol);
        } else if (e.type == "ELLIPSE") {
            addEllipse(e, where, toWorld, tol);
        } else if (e.type == "SPLINE") {
            addSpline(e, where, toWorld, tol);
        } else if (e.type == "INSERT") {
            addInsert(e, where, toWorld, depth);
        } else {
            ++ignored_[e.type];
        }
    }

    void addPolyline(const RawEntity& e, const Context& where, const std::vector<Vertex>& corners,
                     const std::vector<double>& bulges, bool closed, bool mirrored,
                     const Affine& toWorld, double tol) {
        if (corners.empty()) return warn(e, where, "it has no vertices");
        std::vector<Vertex> points{corners.front()};
        const std::size_t n = corners.size();
        for (std::size_t i = 0; i + 1 < n; ++i)
            appendBulge(points, corners[i], corners[i + 1], bulges[i], tol, limits_.maxArcSegments);
        if (closed && n > 1) {
            appendBulge(points, corners[n - 1], corners[0], bulges[n - 1], tol,
                        limits_.maxArcSegments);
            points.pop_back();  // the first corner again
        }
        emit(e, where, std::move(points), closed, mirrored, toWorld);
    }

    void addEllipse(const RawEntity& e, const Context& where, const Affine& toWorld, double tol) {
        const EntityValues v(reader_, e);
        const double nx = v.number(210), ny = v.number(220), nz = v.number(230, 1);
        if (std::fabs(nx) > 1e-9 || std::fabs(ny) > 1e-9 || nz == 0) {
            return warn(e, where, "it is not drawn in the XY plane");
        }
        const Vertex centre{v.number(10), v.number(20)};
        const Vertex major{v.number(11), v.number(21)};
        const double ratio = v.number(40, 1);
        const double a = std::hypot(major.x, major.y);
        if (!(a > 0) || !(ratio > 0)) return warn(e, where, "its axes are not positive");
        // The minor axis is the major one turned a quarter turn about the extrusion direction.
        const double sign = nz < 0 ? -1 : 1;
        const Vertex minor{-major.y * ratio * sign, major.x * ratio * sign};
        const double start = v.number(41, 0);
        double sweep = v.number(42, 2 * kPi) - start;
        const bool full = std::fabs(std::fabs(sweep) - 2 * kPi) < 1e-9;
        sweep = std::fmod(sweep, 2 * kPi);
        if (sweep <= 0 || full) sweep += 2 * kPi;
        if (full) sweep = 2 * kPi;
        // The sagitta of a step dt is at most a dt^2 / 8 on an ellipse of major semi-axis a.
        const double step = std::min(kPi / 8, std::sqrt(8 * tol / std::max(a, ratio * a)));
        const int n = static_cast<int>(
            std::clamp(std::ceil(sweep / step), 1.0, static_cast<double>(limits_.maxArcSegments)));
        std::vector<Vertex> points;
        for (int i = 0; i <= (full ? n - 1 : n); ++i) {
            const double t = start + sweep * i / n;
            points.push_back(Vertex{centre.x + major.x * std::cos(t) + minor.x * std::sin(t),
                                    centre.y + major.y * std::cos(t) + minor.y * std::sin(t)});
        }
        emit(e, where, std::move(points), full, false, toWorld);
    }

    void addSpline(const RawEntity& e, const Context& where, const Affine& toWorld, double tol) {
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
        const auto curve = [&spline](double t) { return spline.at(t); };
        std::vector<Vertex> points;
        const double t0 = spline.knots[spline.degree];
        points.push_back(curve(t0));
        const std::size_t maxPoints = static_cast<std::size_t>(limits_.maxArcSegments) * 4;
        // Each knot span is smooth; its ends are where the curve may bend sharply.
        for (std::size_t k = spline.degree; k < n; ++k) {
            const double a = spline.knots[k], b = spline.knots[k + 1];
            if (b <= a) continue;
            for (int part = 0; part < 4; ++part) {
                const double s0 = a + (b - a) * part / 4;
                const double s1 = part == 3 ? b : a + (b - a) * (part + 1) / 4;
                // The last knot belongs to the closing span, which the evaluator reaches
                // only from below.
                const double evalEnd = k + 1 == n && part == 3 ? std::nextafter(b, a) : s1;
                refine(curve, s0, points.back(), evalEnd, curve(evalEnd), tol, 0, points,
                       maxPoints);
            }
        }
        emit(e, where, std::move(points), false, false, toWorld);
    }

    void addInsert(const RawEntity& e, const Context& where, const Affine& toWorld, int depth) {
        const EntityValues v(reader_, e);
        const std::string name = e.text(2);
        const auto found = drawing_.blocks.find(name);
        if (found == drawing_.blocks.end()) {
            return warn(e, where, "it refers to block '" + name + "', which is not defined");
        }
        if (depth >= limits_.maxBlockDepth) {
            return warn(e, where,
                        "blocks nest more than " + std::to_string(limits_.maxBlockDepth) + " deep");
        }
        const std::optional<bool> mirrored = mirroredOcs(e, where);
        if (!mirrored) return;
        const Block& block = found->second;
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
            inner.block = name;
            const std::string layer = e.text(8, "0");
            inner.layer = layer;
        }
        inner.via = " in block " + name + " (" + label(e, where) + ")";
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
                if (*mirrored) local = Affine{-1, 0, 0, 1, 0, 0}.after(local);
                const Affine composed = toWorld.after(local);
                for (const RawEntity& child : block.entities)
                    add(child, composed, inner, depth + 1);
            }
        }
    }

    const PairReader& reader_;
    const Drawing& drawing_;
    double tol_;
    const DxfReadLimits& limits_;
    std::vector<std::string>& warnings_;
    std::vector<Piece> pieces_;
    std::map<std::string, int> ignored_;
    std::int64_t storedVertices_ = 0;
    std::int64_t expanded_ = 0;
};

// Ends of open pieces in square cells of the join tolerance's size; a query looks at the
// 3 x 3 cells around a point.
class EndIndex {
public:
    EndIndex(const std::vector<Piece>& pieces, double tol) : pieces_(pieces), tol_(tol) {
        cell_ = 2 * tol;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (pieces[i].closed) continue;
            cells_[key(pieces[i].points.front(), 0, 0)].push_back({i, 0});
            cells_[key(pieces[i].points.back(), 0, 0)].push_back({i, 1});
        }
    }

    struct End {
        std::size_t piece;
        int which;  // 0 its first point, 1 its last
    };

    // The nearest end of an unused piece within the tolerance of p.
    std::optional<End> nearest(const Vertex& p, const std::vector<char>& used) const {
        std::optional<End> best;
        double bestDistance = tol_;
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                const auto found = cells_.find(key(p, dx, dy));
                if (found == cells_.end()) continue;
                for (const End& end : found->second) {
                    if (used[end.piece]) continue;
                    const std::vector<Vertex>& pts = pieces_[end.piece].points;
                    const double d = distance(p, end.which == 0 ? pts.front() : pts.back());
                    if (d <= bestDistance &&
                        (!best || d < bestDistance || end.piece < best->piece)) {
                        best = end;
                        bestDistance = d;
                    }
                }
            }
        }
        return best;
    }

private:
    std::uint64_t key(const Vertex& p, int dx, int dy) const {
        const auto index = [this](double value, int offset) {
            const double q = std::clamp(std::floor(value / cell_), -1e15, 1e15);
            return static_cast<std::uint64_t>(static_cast<std::int64_t>(q) + offset);
        };
        const std::uint64_t ix = index(p.x, dx), iy = index(p.y, dy);
        return ix * 0x9E3779B97F4A7C15ULL ^ (iy + 0x632BE59BD9B4E019ULL + (ix << 6) + (ix >> 2));
    }

    const std::vector<Piece>& pieces_;
    double tol_;
    double cell_ = 1;
    std::unordered_map<std::uint64_t, std::vector<End>> cells_;
};

struct Contour {
    std::vector<Vertex> points;
    std::vector<std::string> labels;  // the entities it was made of
    std::string layer;
    std::string block;
};

std::string describe(const std::vector<std::string>& labels) {
    std::string text;
    const std::size_t shown = std::min<std::size_t>(labels.size(), 4);
    for (std::size_t i = 0; i < shown; ++i) text += (i > 0 ? ", " : "") + labels[i];
    if (labels.size() > shown) text += " and " + std::to_string(labels.size() - shown) + " more";
    return text;
}

std::string formatPoint(const Vertex& p) {
    return "(" + formatNumber(p.x) + ", " + formatNumber(p.y) + ")";
}

// Closed pieces are contours already; open ones are joined end to end where their ends meet
// within the tolerance. A chain whose ends do not meet is reported and left out.
std::vector<Contour> chainPieces(std::vector<Piece>& pieces, double tol, const std::string& source,
                                 std::vector<std::string>& warnings) {
    std::vector<Contour> contours;
    const EndIndex index(pieces, tol);
    std::vector<char> used(pieces.size(), 0);
    for (std::size_t start = 0; start < pieces.size(); ++start) {
        if (used[start]) continue;
        used[start] = 1;
        Piece& first = pieces[start];
        Contour contour{std::move(first.points), {first.label}, first.layer, first.block};
        if (first.closed) {
            contours.push_back(std::move(contour));
            continue;
        }
        std::vector<Vertex>& pts = contour.points;
        const auto closes = [&] {
            return pts.size() > 2 && distance(pts.back(), pts.front()) <= tol;
        };
        const auto grow = [&](bool atTail) {
            while (!closes()) {
                const Vertex& end = atTail ? pts.back() : pts.front();
                const std::optional<EndIndex::End> next = index.nearest(end, used);
                if (!next) return;
                used[next->piece] = 1;
                std::vector<Vertex> more = std::move(pieces[next->piece].points);
                // Appended at the tail, the piece must start at the joint; put at the head,
                // it must end there.
                if ((next->which == 1) == atTail) std::reverse(more.begin(), more.end());
                if (atTail) {
                    pts.insert(pts.end(), more.begin() + 1, more.end());
                    contour.labels.push_back(pieces[next->piece].label);
                } else {
                    pts.insert(pts.begin(), more.begin(), more.end() - 1);
                    contour.labels.insert(contour.labels.begin(), pieces[next->piece].label);
                }
            }
        };
        grow(true);
        grow(false);
        if (!closes()) {
            warnings.push_back(source + ": the open contour of " + describe(contour.labels) +
                               " is left out: its ends " + formatPoint(pts.front()) + " and " +
                               formatPoint(pts.back()) + " do not meet within " +
                               formatNumber(tol));
            continue;
        }
        pts.pop_back();
        contours.push_back(std::move(contour));
    }
    return contours;
}

double signedArea(const std::vector<Vertex>& v) {
    double twice = 0;
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++)
        twice += v[j].x * v[i].y - v[i].x * v[j].y;
    return twice / 2;
}

double cross(const Vertex& o, const Vertex& a, const Vertex& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool onSegment(const Vertex& p, const Vertex& a, const Vertex& b) {
    return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
           p.y <= std::max(a.y, b.y);
}

// Closed segments ab and cd share a point.
bool segmentsMeet(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d) {
    const double d1 = cross(c, d, a), d2 = cross(c, d, b);
    const double d3 = cross(a, b, c), d4 = cross(a, b, d);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return true;
    return (d1 == 0 && onSegment(a, c, d)) || (d2 == 0 && onSegment(b, c, d)) ||
           (d3 == 0 && onSegment(c, a, b)) || (d4 == 0 && onSegment(d, a, b));
}

// The first pair of edges that cross or touch, other than neighbours at their shared
// corner; an edge that turns straight back along its neighbour counts too.
std::optional<std::pair<std::size_t, std::size_t>> findSelfContact(const std::vector<Vertex>& v) {
    const std::size_t n = v.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Vertex& a = v[i];
        const Vertex& b = v[(i + 1) % n];
        const Vertex& c = v[(i + 2) % n];
        const double dot = (b.x - a.x) * (c.x - b.x) + (b.y - a.y) * (c.y - b.y);
        if (cross(a, b, c) == 0 && dot < 0) return std::pair{i, (i + 1) % n};
    }
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    const auto minX = [&](std::size_t i) { return std::min(v[i].x, v[(i + 1) % n].x); };
    const auto maxX = [&](std::size_t i) { return std::max(v[i].x, v[(i + 1) % n].x); };
    std::sort(order.begin(), order.end(), [&](std::size_t p, std::size_t q) {
        return minX(p) < minX(q) || (minX(p) == minX(q) && p < q);
    });
    for (std::size_t s = 0; s < n; ++s) {
        const std::size_t i = order[s];
        for (std::size_t t = s + 1; t < n && minX(order[t]) <= maxX(i); ++t) {
            const std::size_t j = order[t];
            if ((i + 1) % n == j || (j + 1) % n == i) continue;
            if (segmentsMeet(v[i], v[(i + 1) % n], v[j], v[(j + 1) % n]))
                return std::pair{std::min(i, j), std::max(i, j)};
        }
    }
    return std::nullopt;
}

// Repeated points go; contours without area or that cross themselves are reported and left
// out.
std::vector<Contour> keepSoundContours(std::vector<Contour> contours, const std::string& source,
                                       std::vector<std::string>& warnings) {
    std::vector<Contour> sound;
    for (Contour& c : contours) {
        std::vector<Vertex> pts;
        for (const Vertex& p : c.points) {
            const double eps = 1e-12 * (1 + std::fabs(p.x) + std::fabs(p.y));
            if (!pts.empty() && std::fabs(pts.back().x - p.x) <= eps &&
                std::fabs(pts.back().y - p.y) <= eps)
                continue;
            pts.push_back(p);
        }
        while (pts.size() > 1 &&
               distance(pts.front(), pts.back()) <=
                   1e-12 * (1 + std::fabs(pts.back().x) + std::fabs(pts.back().y)))
            pts.pop_back();
        const std::string what =
            source + ": the contour of " + describe(c.labels) + " is left out: ";
        if (pts.size() < 3) {
            warnings.push_back(what + "it has no area (fewer than 3 distinct corners)");
            continue;
        }
        const BoundingBox box = boundsOf(pts);
        const double span = std::hypot(box.maxX - box.minX, box.maxY - box.minY);
        if (!std::isfinite(signedArea(pts)) || !std::isfinite(span)) {
            warnings.push_back(what + "its coordinates are too large to measure its area");
            continue;
        }
        if (std::fabs(signedArea(pts)) <= 1e-9 * span * span) {
            warnings.push_back(what + "it has no area");
            continue;
        }
        if (const auto contact = findSelfContact(pts)) {
            warnings.push_back(what + "its outline crosses or touches itself near " +
                               formatPoint(pts[contact->first]) + " and " +
                               formatPoint(pts[contact->second]));
            continue;
        }
        c.points = std::move(pts);
        sound.push_back(std::move(c));
    }
    return sound;
}

bool boxInside(const BoundingBox& inner, const BoundingBox& outer) {
    return outer.minX <= inner.minX && inner.maxX <= outer.maxX && outer.minY <= inner.minY &&
           inner.maxY <= outer.maxY;
}

// The contours that may hold a given point: each contour is listed in the cells of a grid over
// the drawing that its box covers, or, when that is many cells, in one list every query sees.
class ContainerGrid {
public:
    explicit ContainerGrid(const std::vector<Loop>& loops) {
        if (loops.empty()) return;
        extent_ = loops.front().bounds();
        for (const Loop& loop : loops) {
            const BoundingBox& b = loop.bounds();
            extent_ = {std::min(extent_.minX, b.minX), std::max(extent_.maxX, b.maxX),
                       std::min(extent_.minY, b.minY), std::max(extent_.maxY, b.maxY)};
        }
        side_ = std::clamp(static_cast<int>(std::ceil(std::sqrt(double(loops.size())))), 1, 1024);
        cells_.resize(static_cast<std::size_t>(side_) * side_);
        for (std::size_t j = 0; j < loops.size(); ++j) {
            const BoundingBox& b = loops[j].bounds();
            const int c0 = column(b.minX), c1 = column(b.maxX);
            const int r0 = row(b.minY), r1 = row(b.maxY);
            if ((c1 - c0 + 1) * (r1 - r0 + 1) > kMaxCellsPerContour) {
                wide_.push_back(j);
                continue;
            }
            for (int c = c0; c <= c1; ++c)
                for (int r = r0; r <= r1; ++r) cells_[cell(c, r)].push_back(j);
        }
    }

    // Every contour whose box may hold p, some perhaps twice.
    std::vector<std::size_t> candidates(const Vertex& p) const {
        std::vector<std::size_t> found = wide_;
        const std::vector<std::size_t>& local = cells_[cell(column(p.x), row(p.y))];
        found.insert(found.end(), local.begin(), local.end());
        return found;
    }

private:
    static constexpr int kMaxCellsPerContour = 64;

    int index(double value, double low, double high) const {
        if (!(high > low)) return 0;
        const double at = std::floor((value - low) / (high - low) * side_);
        if (!std::isfinite(at)) return 0;
        return static_cast<int>(std::clamp(at, 0.0, static_cast<double>(side_ - 1)));
    }
    int column(double x) const { return index(x, extent_.minX, extent_.maxX); }
    int row(double y) const { return index(y, extent_.minY, extent_.maxY); }
    std::size_t cell(int c, int r) const { return static_cast<std::size_t>(c) * side_ + r; }

    BoundingBox extent_;
    int side_ = 1;
    std::vector<std::vector<std::size_t>> cells_{1};
    std::vector<std::size_t> wide_;
};

// Outermost contours become parts; a contour directly inside a part is its hole, and one
// inside a hole is a part again. Parts and holes keep the order of their contours.
PartList assembleParts(const std::vector<Contour>& contours, const std::string& fallbackName) {
    const std::size_t n = contours.size();
    std::vector<Loop> loops(n);
    for (std::size_t i = 0; i < n; ++i) loops[i].setVertices(contours[i].points);
    std::vector<std::size_t> byArea(n);
    std::iota(byArea.begin(), byArea.end(), 0);
    std::stable_sort(byArea.begin(), byArea.end(), [&](std::size_t p, std::size_t q) {
        return loops[p].area() > loops[q].area();
    });
    std::vector<std::size_t> rank(n);
    for (std::size_t s = 0; s < n; ++s) rank[byArea[s]] = s;
    const ContainerGrid grid(loops);
    std::vector<std::ptrdiff_t> parent(n, -1);
    std::vector<int> depth(n, 0);
    for (std::size_t s = 0; s < n; ++s) {
        const std::size_t i = byArea[s];
        const std::vector<Vertex>& pts = contours[i].points;
        // Larger contours only, the smallest first: the first that holds most of a few sample
        // corners is the parent (corners on a shared boundary would otherwise decide alone).
        std::vector<std::size_t> candidates = grid.candidates(pts.front());
        std::erase_if(candidates, [&](std::size_t j) { return rank[j] >= s; });
        std::sort(candidates.begin(), candidates.end(),
                  [&](std::size_t p, std::size_t q) { return rank[p] > rank[q]; });
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        for (const std::size_t j : candidates) {
            if (!boxInside(loops[i].bounds(), loops[j].bounds())) continue;
            int inside = 0;
            for (std::size_t k = 0; k < 5; ++k)
                inside += pointInLoop(pts[k * pts.size() / 5], loops[j]) ? 1 : 0;
            if (inside >= 3) {
                parent[i] = static_cast<std::ptrdiff_t>(j);
                depth[i] = depth[j] + 1;
                break;
            }
        }
    }
    std::vector<LoopList> holes(n);
    for (std::size_t k = 0; k < n; ++k)
        if (parent[k] >= 0) holes[static_cast<std::size_t>(parent[k])].pushBack(loops[k]);
    PartList parts;
    for (std::size_t i = 0; i < n; ++i) {
        if (depth[i] % 2 != 0) continue;
        const Contour& c = contours[i];
        const std::string name = !c.block.empty()                     ? c.block
                                 : !c.layer.empty() && c.layer != "0" ? c.layer
                                                                      : fallbackName;
        Part part;
        part.setShape(name, holes[i], loops[i]);
        parts.pushBack(std::move(part));
    }
    return parts;
}

DxfPartsContents readContents(PairReader& reader, const DxfReadSettings& settings,
                              const DxfReadLimits& limits) {
    const Drawing drawing = readDrawing(reader, limits);
    DxfPartsContents contents;
    contents.insUnits = drawing.insUnits;
    contents.partUnits = settings.targetUnits.value_or(drawing.insUnits);
    if (settings.targetUnits) {
        const std::optional<double> from = metresPerUnit(drawing.insUnits);
        const std::optional<double> to = metresPerUnit(*settings.targetUnits);
        if (!from) {
            throw DxfFault{reader.source() + ": the drawing does not name its units ($INSUNITS " +
                           std::to_string(drawing.insUnits) + "), so it cannot be converted to " +
                           std::string(insUnitsName(*settings.targetUnits))};
        }
        if (to) contents.unitScale = *from / *to;
    }
    // The tolerance is meant in the job's units; the drawing is read in its own.
    const double tol = settings.tolerance / contents.unitScale;
    std::vector<Piece> pieces = PieceMaker(reader, drawing, tol, limits, contents.warnings).make();
    std::vector<Contour> contours =
        keepSoundContours(chainPieces(pieces, tol, reader.source(), contents.warnings),
                          reader.source(), contents.warnings);
    if (contents.unitScale != 1) {
        for (Contour& c : contours)
            for (Vertex& p : c.points) {
                p.x *= contents.unitScale;
                p.y *= contents.unitScale;
            }
    }
    contents.parts = assembleParts(contours, settings.fallbackName);
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
    PairReader reader(in, sourceName, limits.maxLineLength);
    try {
        return readContents(reader, settings, limits);
    } catch (const DxfFault& fault) {
        return InputError{false, fault.message};
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

std::string_view insUnitsName(int code) {
    for (const UnitInfo& u : kUnits)
        if (u.code == code) return u.name;
    return "unitless";
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
