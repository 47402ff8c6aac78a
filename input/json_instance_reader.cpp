#include "input/json_instance_reader.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "base/number_format.hpp"
#include "base/text.hpp"
#include "geometry/predicates.hpp"

namespace blocknest {
namespace {

using Json = nlohmann::json;

constexpr int kMaxSteps = 3600;
constexpr std::size_t kMaxWarnings = 200;  // lines per file; the rest are counted
// The parsed document takes several times the file's size; a bound far above any instance
// keeps a hostile file from taking all memory.
constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

// Line and column (both from 1) of a byte offset.
std::string lineAndColumn(const std::string& text, std::size_t offset) {
    offset = std::min(offset, text.size());
    const auto begin = text.begin();
    const auto at = begin + static_cast<std::ptrdiff_t>(offset);
    const std::size_t line = static_cast<std::size_t>(std::count(begin, at, '\n')) + 1;
    const std::size_t lineStart = text.rfind('\n', offset == 0 ? 0 : offset - 1);
    const std::size_t column =
        lineStart == std::string::npos || offset == 0 ? offset + 1 : offset - lineStart;
    return std::to_string(line) + ":" + std::to_string(column);
}

// Deeper than any instance needs (an instance nests seven levels); echoing or taking apart a
// value nested far deeper would take as much stack.
constexpr int kMaxDepth = 64;
// Values are echoed up to this many characters and the library's reasons up to twice as
// many, so that one message stays a short line.
constexpr std::size_t kMaxEchoed = 60;

// The text cut to at most limit bytes, never inside a UTF-8 sequence.
std::string shortened(const std::string& text, std::size_t limit = kMaxEchoed) {
    if (text.size() <= limit) return text;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut) + "... (" + std::to_string(text.size()) + " characters)";
}

// A value as JSON, cut short when long: ASCII with every control character escaped, as the
// library writes it.
std::string echo(const Json& value) {
    return shortened(value.dump(-1, ' ', true, Json::error_handler_t::replace));
}

// Text from the file inside the library's reasons, made fit for a terminal.
std::string printableReason(const std::string& reason) {
    return printableLine(validUtf8(shortened(reason, 2 * kMaxEchoed)));
}

// The library's reason without its prefix and position.
std::string parseReason(const std::string& what) {
    const std::size_t column = what.find("column ");
    if (column == std::string::npos) {
        const std::size_t bracket = what.rfind("] ", what.find(' '));
        return bracket == std::string::npos ? what : what.substr(bracket + 2);
    }
    const std::size_t colon = what.find(": ", column);
    return colon == std::string::npos ? what : what.substr(colon + 2);
}

// Where the values of text first nest deeper than kMaxDepth, as a byte offset; nothing when
// they never do. Brackets inside strings do not count.
std::optional<std::size_t> tooDeepAt(const std::string& text) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth) return i;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return std::nullopt;
}

// The library's document builder, which also refuses a key given twice in one object and
// keeps where the text stops being JSON.
class DocumentBuilder : public nlohmann::detail::json_sax_dom_parser<Json> {
public:
    explicit DocumentBuilder(Json& root) : json_sax_dom_parser(root, false) {}

    bool start_object(std::size_t length) {
        keys_.emplace_back();
        return json_sax_dom_parser::start_object(length);
    }
    bool end_object() {
        keys_.pop_back();
        return json_sax_dom_parser::end_object();
    }
    bool key(string_t& name) {
        if (!keys_.back().insert(name).second) {
            duplicate_ = name;
            return false;
        }
        return json_sax_dom_parser::key(name);
    }
    bool parse_error(std::size_t position, const std::string& lastToken,
                     const nlohmann::detail::exception& error) {
        position_ = position;
        reason_ = error.id == 406 ? "the number " + printableReason(lastToken) + " is too large"
                                  : printableReason(parseReason(error.what()));
        return false;
    }

    const std::optional<std::string>& duplicate() const { return duplicate_; }
    std::size_t position() const { return position_; }
    const std::string& reason() const { return reason_; }

private:
    std::vector<std::set<std::string>> keys_;  // the keys of each open object
    std::optional<std::string> duplicate_;
    std::size_t position_ = 0;
    std::string reason_;
};

struct Failure {
    std::string place;
    std::string problem;
};

class InstanceBuilder {
public:
    InstanceBuilder(std::string sourceName, const ReadLimits& limits)
        : source_(std::move(sourceName)), limits_(limits) {}

    std::variant<JobInput, InputError> build(const Json& root) {
        try {
            readRoot(root);
        } catch (const Failure& failure) {
            return InputError{false, source_ + ": " + failure.place + ": " + failure.problem};
        }
        if (input_.warnings.size() > kMaxWarnings) {
            const std::size_t more = input_.warnings.size() - kMaxWarnings;
            input_.warnings.resize(kMaxWarnings);
            input_.warnings.push_back(source_ + ": and " + std::to_string(more) +
                                      " more shapes like those above");
        }
        return std::move(input_);
    }

private:
    [[noreturn]] static void fail(const std::string& place, const std::string& problem) {
        throw Failure{place, problem};
    }

    static const Json& member(const Json& object, const char* key, const std::string& place) {
        const auto it = object.find(key);
        if (it == object.end()) fail(place, "\"" + std::string(key) + "\" is missing");
        return *it;
    }

    static double number(const Json& value, const std::string& place) {
        if (!value.is_number()) fail(place, "a number is expected, not " + echo(value));
        const double x = value.get<double>();
        if (!std::isfinite(x)) fail(place, "the number is too large");
        return x;
    }

    static std::int64_t count(const Json& value, const std::string& place) {
        if (value.is_number_unsigned() || value.is_number_integer()) {
            if (value.is_number_unsigned() &&
                value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
                fail(place, "the number is too large");
            }
            const std::int64_t n = value.get<std::int64_t>();
            if (n < 0) fail(place, "a whole number of at least 0 is expected, not " + echo(value));
            return n;
        }
        if (value.is_number_float()) {
            const double x = value.get<double>();
            if (x >= 0 && x < 9.0e15 && x == std::floor(x)) return static_cast<std::int64_t>(x);
        }
        fail(place, "a whole number of at least 0 is expected, not " + echo(value));
    }

    void readRoot(const Json& root) {
        if (!root.is_object()) fail("the top level", "an object is expected");
        input_.format = InputFormat::json;
        input_.source = source_;
        std::string name = std::filesystem::path(source_).stem().string();
        if (const auto it = root.find("name"); it != root.end()) {
            if (!it->is_string()) fail("name", "a string is expected, not " + echo(*it));
            name = it->get<std::string>();
        }
        if (const auto it = root.find("strip_height"); it != root.end()) {
            const double height = number(*it, "strip_height");
            if (height <= 0) fail("strip_height", "the strip height must be positive");
            input_.sheetWidth = height;
        }
        const Json& items = member(root, "items", "the top level");
        if (!items.is_array()) fail("items", "an array is expected");
        std::map<std::int64_t, std::size_t> seen;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::string place = "items[" + std::to_string(i) + "]";
            const Json& item = items[i];
            if (!item.is_object()) fail(place, "an object is expected");
            const std::int64_t id = count(member(item, "id", place), place + ".id");
            if (const auto [it, added] = seen.try_emplace(id, i); !added) {
                fail(place + ".id", "the id " + std::to_string(id) + " is also that of items[" +
                                        std::to_string(it->second) + "]");
            }
            readItem(item, id, name + "_" + std::to_string(id), place);
        }
    }

    void readItem(const Json& item, std::int64_t id, const std::string& name,
                  const std::string& place) {
        const std::int64_t demand = count(member(item, "demand", place), place + ".demand");
        std::vector<Orientation> turns;
        if (const auto it = item.find("allowed_orientations"); it != item.end() && !it->is_null()) {
            const std::string where = place + ".allowed_orientations";
            if (!it->is_array() || it->empty())
                fail(where, "a non-empty array of angles is expected");
            std::vector<double> degrees;
            for (std::size_t k = 0; k < it->size(); ++k) {
                degrees.push_back(number((*it)[k], where + "[" + std::to_string(k) + "]"));
            }
            std::optional<std::vector<Orientation>> mapped = orientationsForAngles(degrees);
            if (!mapped) {
                fail(where,
                     "an angle is not a whole number of steps of a full turn divided into at "
                     "most " +
                         std::to_string(kMaxSteps) + " (" + echo(*it) + ")");
            }
            turns = std::move(*mapped);
        }
        const std::string shapePlace = place + ".shape";
        const Json& shape = member(item, "shape", place);
        if (!shape.is_object()) fail(shapePlace, "an object is expected");
        const Json& type = member(shape, "type", shapePlace);
        const Json& data = member(shape, "data", shapePlace);
        const std::string dataPlace = shapePlace + ".data";
        if (type == "simple_polygon") {
            Outline outline{ring(data, dataPlace), {}};
            warnAboutShape(outline, dataPlace, dataPlace);
            addItem(id, -1, name, std::move(outline), turns, demand, place);
        } else if (type == "polygon") {
            Outline outline = polygon(data, dataPlace);
            warnAboutShape(outline, dataPlace + ".outer", dataPlace + ".inner");
            addItem(id, -1, name, std::move(outline), turns, demand, place);
        } else if (type == "multi_polygon") {
            if (!data.is_array() || data.empty()) fail(dataPlace, "a non-empty array is expected");
            for (std::size_t k = 0; k < data.size(); ++k) {
                const std::string memberPlace = dataPlace + "[" + std::to_string(k) + "]";
                Outline outline = polygon(data[k], memberPlace);
                warnAboutShape(outline, memberPlace + ".outer", memberPlace + ".inner");
                addItem(id, static_cast<int>(k), name + "_" + std::to_string(k), std::move(outline),
                        turns, demand, place);
            }
        } else if (type == "rectangle") {
            addItem(id, -1, name, {rectangle(data, dataPlace), {}}, turns, demand, place);
        } else {
            fail(shapePlace + ".type",
                 "the shape type " + echo(type) +
                     " is not one of simple_polygon, polygon, multi_polygon, rectangle");
        }
    }

    struct Outline {
        std::vector<Vertex> outer;
        std::vector<std::vector<Vertex>> holes;
    };

    // Points [x, y]; a last point equal to the first only closes the ring and is dropped.
    static std::vector<Vertex> ring(const Json& data, const std::string& place) {
        if (!data.is_array()) fail(place, "an array of points is expected");
        std::vector<Vertex> vertices;
        for (std::size_t k = 0; k < data.size(); ++k) {
            const std::string at = place + "[" + std::to_string(k) + "]";
            const Json& point = data[k];
            if (!point.is_array() || point.size() != 2) fail(at, "a point [x, y] is expected");
            Vertex v;
            v.x = number(point[0], at + "[0]");
            v.y = number(point[1], at + "[1]");
            vertices.push_back(v);
        }
        if (vertices.size() > 1 && vertices.front().x == vertices.back().x &&
            vertices.front().y == vertices.back().y) {
            vertices.pop_back();
        }
        if (vertices.size() < 3) fail(place, "a contour needs at least three distinct points");
        return vertices;
    }

    static Outline polygon(const Json& data, const std::string& place) {
        if (!data.is_object()) fail(place, "an object with \"outer\" and \"inner\" is expected");
        Outline outline;
        outline.outer = ring(member(data, "outer", place), place + ".outer");
        if (const auto it = data.find("inner"); it != data.end()) {
            if (!it->is_array()) fail(place + ".inner", "an array of contours is expected");
            for (std::size_t k = 0; k < it->size(); ++k) {
                outline.holes.push_back(
                    ring((*it)[k], place + ".inner[" + std::to_string(k) + "]"));
            }
        }
        return outline;
    }

    // Outlines that cross themselves and holes that reach outside their outer ring are packed
    // as they are given, and said out loud: the shape meant is rarely the one drawn.
    void warnAboutShape(const Outline& outline, const std::string& outerPlace,
                        const std::string& innerPlace) {
        Loop outer;
        outer.setVertices(outline.outer);
        if (loopCrossesItself(outer)) warn(outerPlace, "the outline crosses itself");
        const LoopPointTest inOuter(outer);
        const BoundingBox& box = outer.bounds();
        const double slack = 1e-9 * std::hypot(box.maxX - box.minX, box.maxY - box.minY);
        for (std::size_t k = 0; k < outline.holes.size(); ++k) {
            const std::string place = innerPlace + "[" + std::to_string(k) + "]";
            Loop hole;
            hole.setVertices(outline.holes[k]);
            if (loopCrossesItself(hole)) warn(place, "the hole crosses itself");
            for (const Vertex& v : outline.holes[k]) {
                if (inOuter.contains(v) || nearOutline(v, outline.outer, slack)) continue;
                warn(place, "the hole reaches outside its outer ring, near " + pointText(v));
                break;
            }
        }
    }

    static bool nearOutline(const Vertex& p, const std::vector<Vertex>& ring, double slack) {
        for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
            const Vertex& a = ring[j];
            const Vertex& b = ring[i];
            const double dx = b.x - a.x;
            const double dy = b.y - a.y;
            const double length2 = dx * dx + dy * dy;
            const double t =
                length2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0)
                            : 0.0;
            if (std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y) <= slack) return true;
        }
        return false;
    }

    static std::string pointText(const Vertex& v) {
        return "(" + formatNumber(v.x) + ", " + formatNumber(v.y) + ")";
    }

    void warn(const std::string& place, const std::string& problem) {
        input_.warnings.push_back(source_ + ": " + place + ": " + problem +
                                  "; it is packed as given");
    }

    static std::vector<Vertex> rectangle(const Json& data, const std::string& place) {
        if (!data.is_object()) fail(place, "an object is expected");
        const double x = number(member(data, "x_min", place), place + ".x_min");
        const double y = number(member(data, "y_min", place), place + ".y_min");
        const double w = number(member(data, "width", place), place + ".width");
        const double h = number(member(data, "height", place), place + ".height");
        if (!(w > 0) || !(h > 0)) fail(place, "the width and the height must be positive");
        return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
    }

    void addItem(std::int64_t id, int memberIndex, const std::string& name, Outline outline,
                 const std::vector<Orientation>& turns, std::int64_t demand,
                 const std::string& place) {
        Loop outer;
        outer.setVertices(outline.outer);
        if (!(outer.area() > 0)) fail(place + ".shape", "the outline encloses no area");
        LoopList holes;
        for (const std::vector<Vertex>& vertices : outline.holes) {
            Loop hole;
            hole.setVertices(vertices);
            if (!(hole.area() > 0)) fail(place + ".shape", "a hole encloses no area");
            holes.pushBack(std::move(hole));
        }
        Part part;
        part.setShape(name, holes, outer);
        part.setOrientations(turns);
        part.setItemIndex(static_cast<int>(input_.items.size()));
        const std::int64_t vertices = part.totalVertexCount();
        if (demand > limits_.maxParts - partTotal_ ||
            demand > (limits_.maxStoredVertices - vertexTotal_) / vertices) {
            fail(place + ".demand", "the item asks for " + std::to_string(demand) +
                                        " copies; more than " + std::to_string(limits_.maxParts) +
                                        " parts or " + std::to_string(limits_.maxStoredVertices) +
                                        " vertices in all do not fit in memory");
        }
        partTotal_ += demand;
        vertexTotal_ += demand * vertices;
        for (std::int64_t i = 0; i < demand; ++i) input_.parts.pushFront(part);
        InputItem item;
        item.file = source_;
        item.sourceId = id;
        item.member = memberIndex;
        item.name = part.name();
        item.copies = demand;
        item.outer = std::move(outline.outer);
        item.holes = std::move(outline.holes);
        item.orientations = turns;
        input_.items.push_back(std::move(item));
    }

    std::string source_;
    ReadLimits limits_;
    JobInput input_;
    std::int64_t partTotal_ = 0;
    std::int64_t vertexTotal_ = 0;
};

}  // namespace

std::optional<std::vector<Orientation>> orientationsForAngles(const std::vector<double>& degrees) {
    std::vector<double> angles;
    for (double a : degrees) {
        if (!std::isfinite(a)) return std::nullopt;
        double r = std::fmod(a, 360.0);
        if (r < 0) r += 360.0;
        if (r >= 360.0) r = 0;
        angles.push_back(r);
    }
    std::sort(angles.begin(), angles.end());
    angles.erase(std::unique(angles.begin(), angles.end()), angles.end());
    const int n = static_cast<int>(angles.size());
    if (n == 0) return std::nullopt;
    bool even = true;
    for (int i = 0; i < n && even; ++i)
        even = angles[static_cast<std::size_t>(i)] == Orientation{i, n}.degrees();
    if (even) return evenTurns(n);
    std::vector<Orientation> turns;
    for (double r : angles) {
        std::optional<Orientation> turn;
        for (int steps = 1; steps <= kMaxSteps && !turn; ++steps) {
            const Orientation candidate{static_cast<int>(std::llround(r * steps / 360.0)), steps};
            if (candidate.index < steps && candidate.degrees() == r) turn = candidate;
        }
        if (!turn) return std::nullopt;
        turns.push_back(*turn);
    }
    return turns;
}

std::variant<JobInput, InputError> readJsonInstance(std::istream& in, const std::string& sourceName,
                                                    const ReadLimits& limits) {
    std::string text;
    for (auto it = std::istreambuf_iterator<char>(in); it != std::istreambuf_iterator<char>();
         ++it) {
        if (text.size() == kMaxFileBytes) {
            return InputError{false, sourceName + ": the file is larger than " +
                                         std::to_string(kMaxFileBytes >> 20) +
                                         " MiB, more than a JSON instance ever needs"};
        }
        text.push_back(*it);
    }
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        return InputError{false,
                          sourceName + ": the file is UTF-16 text; a JSON instance is UTF-8 text"};
    }
    if (const std::optional<std::size_t> at = tooDeepAt(text)) {
        return InputError{false, sourceName + ":" + lineAndColumn(text, *at) +
                                     ": the values are nested more than " +
                                     std::to_string(kMaxDepth) + " deep"};
    }
    Json root;
    DocumentBuilder builder(root);
    bool parsed = false;
    try {
        parsed = Json::sax_parse(text, &builder);
    } catch (const Json::exception& e) {
        // The builder takes every fault of the text; what is left is the library's own.
        return InputError{false, sourceName + ": not valid JSON: " + printableReason(e.what())};
    }
    if (!parsed) {
        if (const std::optional<std::string>& key = builder.duplicate()) {
            return InputError{
                false, sourceName + ": the key " + echo(*key) + " is given twice in one object"};
        }
        const std::size_t at = builder.position();
        return InputError{false, sourceName + ":" + lineAndColumn(text, at == 0 ? 0 : at - 1) +
                                     ": not valid JSON: " + builder.reason()};
    }
    return InstanceBuilder(sourceName, limits).build(root);
}

std::variant<JobInput, InputError> readJsonInstanceFile(const std::string& path,
                                                        const ReadLimits& limits) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return InputError{false, path + ": the file cannot be opened"};
    return readJsonInstance(in, path, limits);
}

}  // namespace blocknest
