#include "input/dxf_drawing.hpp"

#include <charconv>
#include <cmath>

#include "input/number_parser.hpp"

namespace blocknest {

const DxfPair* DxfPairReader::peek() {
    if (!hasPeeked_) {
        hasPeeked_ = true;
        atEnd_ = !readPair(peeked_);
    }
    return atEnd_ ? nullptr : &peeked_;
}

std::optional<DxfPair> DxfPairReader::next() {
    const DxfPair* p = peek();
    if (p == nullptr) return std::nullopt;
    hasPeeked_ = false;
    return std::move(peeked_);
}

void DxfPairReader::fail(int line, const std::string& what) const {
    throw DxfFault{source_ + ":" + std::to_string(line) + ": " + what};
}

bool DxfPairReader::readLine(std::string& line) {
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

bool DxfPairReader::readPair(DxfPair& pair) {
    std::string codeText;
    // Blank lines at the very end are no pair.
    do {
        if (!readLine(codeText)) return false;
    } while (codeText.empty() && buffer_.sgetc() == std::char_traits<char>::eof());
    pair.line = lineNumber_;
    const char* end = codeText.data() + codeText.size();
    const auto [ptr, ec] = std::from_chars(codeText.data(), end, pair.code);
    if (ec != std::errc() || ptr != end || codeText.empty()) {
        fail(lineNumber_,
             "a group code (a whole number) was expected, not '" + codeText.substr(0, 40) + "'");
    }
    if (!readLine(pair.value)) fail(pair.line, "the file ends after a group code");
    return true;
}

const DxfPair* RawEntity::find(int code) const {
    for (const DxfPair& p : pairs)
        if (p.code == code) return &p;
    return nullptr;
}

std::string RawEntity::text(int code, std::string fallback) const {
    const DxfPair* p = find(code);
    return p != nullptr ? p->value : fallback;
}

double dxfNumber(const DxfPairReader& reader, const DxfPair& p) {
    const ParsedNumber n = parseDecimal(p.value);
    if (p.value.empty() || n.end != p.value.size() || !std::isfinite(n.value)) {
        reader.fail(p.line + 1, "group code " + std::to_string(p.code) +
                                    " needs a finite number, not '" + p.value.substr(0, 40) + "'");
    }
    return n.value;
}

double EntityValues::number(int code, double fallback) const {
    const DxfPair* p = entity_.find(code);
    return p != nullptr ? dxfNumber(reader_, *p) : fallback;
}

std::int64_t EntityValues::integer(int code, std::int64_t fallback) const {
    const DxfPair* p = entity_.find(code);
    if (p == nullptr) return fallback;
    const double value = dxfNumber(reader_, *p);
    if (value != std::trunc(value) || std::fabs(value) > 1e15) {
        reader_.fail(p->line + 1, "group code " + std::to_string(p->code) +
                                      " needs a whole number, not '" + p->value + "'");
    }
    return static_cast<std::int64_t>(value);
}

std::vector<double> EntityValues::numbers(int code) const {
    std::vector<double> values;
    for (const DxfPair& p : entity_.pairs)
        if (p.code == code) values.push_back(dxfNumber(reader_, p));
    return values;
}

namespace {

RawEntity readEntity(DxfPairReader& reader, const DxfPair& start, std::int64_t maxCorners) {
    RawEntity entity;
    entity.type = start.value;
    entity.line = start.line;
    const bool lightweight = entity.type == "LWPOLYLINE";
    while (const DxfPair* p = reader.peek()) {
        if (p->code == 0) break;
        DxfPair pair = *reader.next();
        if (lightweight && pair.code == 10) {
            if (static_cast<std::int64_t>(entity.corners.size()) >= maxCorners) {
                reader.fail(pair.line, "an LWPOLYLINE of more than " + std::to_string(maxCorners) +
                                           " corners");
            }
            entity.corners.push_back(LwVertex{dxfNumber(reader, pair), 0, 0, pair.line, false});
        } else if (lightweight && pair.code == 20 && !entity.corners.empty()) {
            entity.corners.back().y = dxfNumber(reader, pair);
            entity.corners.back().hasY = true;
        } else if (lightweight && pair.code == 42 && !entity.corners.empty()) {
            entity.corners.back().bulge = dxfNumber(reader, pair);
        } else {
            entity.pairs.push_back(std::move(pair));
        }
    }
    return entity;
}

// Entities up to ENDSEC (or ENDBLK inside a block); POLYLINE takes its VERTEX entities.
// Bounds on what is read.
struct ReadBounds {
    std::int64_t maxEntities;
    std::int64_t maxCorners;
};

std::vector<RawEntity> readEntities(DxfPairReader& reader, const std::string& stop,
                                    std::int64_t& entityCount, const ReadBounds& limits) {
    std::vector<RawEntity> entities;
    for (;;) {
        std::optional<DxfPair> p = reader.next();
        if (!p) reader.fail(reader.lineNumber(), "the file ends before " + stop);
        if (p->code != 0) continue;  // stray values between entities carry nothing we use
        if (p->value == stop) return entities;
        if (p->value == "ENDSEC" || p->value == "EOF") {
            reader.fail(p->line, "'" + p->value + "' where " + stop + " was expected");
        }
        if (++entityCount > limits.maxEntities) {
            reader.fail(p->line, "more than " + std::to_string(limits.maxEntities) + " entities");
        }
        RawEntity entity = readEntity(reader, *p, limits.maxCorners);
        if (entity.type == "VERTEX" && !entities.empty() && entities.back().type == "POLYLINE") {
            entities.back().vertices.push_back(std::move(entity));
        } else if (entity.type == "SEQEND") {
            // The end of a POLYLINE's vertices or an INSERT's attributes: a marker, no entity.
        } else {
            entities.push_back(std::move(entity));
        }
    }
}

void readHeader(DxfPairReader& reader, DxfDrawing& drawing) {
    std::string variable;
    for (;;) {
        std::optional<DxfPair> p = reader.next();
        if (!p) reader.fail(reader.lineNumber(), "the file ends inside the HEADER section");
        if (p->code == 0 && p->value == "ENDSEC") return;
        if (p->code == 9) {
            variable = p->value;
        } else if (variable == "$INSUNITS" && p->code == 70) {
            const double code = dxfNumber(reader, *p);
            drawing.insUnits =
                code == std::trunc(code) && code >= 0 && code <= 100 ? static_cast<int>(code) : 0;
        }
    }
}

void readBlocks(DxfPairReader& reader, DxfDrawing& drawing, std::int64_t& entityCount,
                const ReadBounds& limits) {
    for (;;) {
        std::optional<DxfPair> p = reader.next();
        if (!p) reader.fail(reader.lineNumber(), "the file ends inside the BLOCKS section");
        if (p->code != 0) continue;
        if (p->value == "ENDSEC") return;
        if (p->value != "BLOCK")
            reader.fail(p->line, "'" + p->value + "' where BLOCK was expected");
        const RawEntity header = readEntity(reader, *p, 0);
        const EntityValues values(reader, header);
        DxfBlock block;
        block.base = Vertex{values.number(10), values.number(20)};
        block.entities = readEntities(reader, "ENDBLK", entityCount, limits);
        drawing.blocks[header.text(2)] = std::move(block);
        // ENDBLK's own pairs
        while (const DxfPair* q = reader.peek()) {
            if (q->code == 0) break;
            reader.next();
        }
    }
}

}  // namespace

DxfDrawing readDxfDrawing(DxfPairReader& reader, std::int64_t maxEntities,
                          std::int64_t maxCorners) {
    const ReadBounds limits{maxEntities, maxCorners};
    DxfDrawing drawing;
    std::int64_t entityCount = 0;
    bool anySection = false;
    while (std::optional<DxfPair> p = reader.next()) {
        if (p->code == 999) continue;
        if (p->code != 0)
            reader.fail(p->line, "group code 0 was expected, not " + std::to_string(p->code));
        if (p->value == "EOF") break;
        if (p->value != "SECTION") {
            reader.fail(p->line, "'" + p->value.substr(0, 40) + "' where SECTION was expected");
        }
        std::optional<DxfPair> name = reader.next();
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
                std::optional<DxfPair> q = reader.next();
                if (!q) reader.fail(name->line, "the " + name->value + " section has no ENDSEC");
                if (q->code == 0 && q->value == "ENDSEC") break;
            }
        }
    }
    if (!anySection) reader.fail(1, "no SECTION: this is not a DXF drawing");
    return drawing;
}

}  // namespace blocknest
