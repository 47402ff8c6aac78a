#pragma once  // input/dxf_drawing.hpp: the group pairs of a DXF drawing, its blocks and entities
#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "geometry/loop.hpp"

namespace blocknest {

// Reading ends at the first fault; the public readers turn it into an InputError.
struct DxfFault {
    std::string message;
};

// One group code and its value.
struct DxfPair {
    int code = 0;
    std::string value;
    int line = 0;  // the line of the group code
};

// Group-code/value pairs, with one pair of look-ahead. Line ends may be LF or CR LF; blanks
// around codes and values are dropped.
class DxfPairReader {
public:
    DxfPairReader(std::istream& in, std::string source, std::size_t maxLineLength)
        : buffer_(*in.rdbuf()), source_(std::move(source)), maxLineLength_(maxLineLength) {}

    const std::string& source() const { return source_; }
    int lineNumber() const { return lineNumber_; }

    const DxfPair* peek();          // the next pair, or nothing at the end of the file
    std::optional<DxfPair> next();  // the next pair, taken

    // Throws a DxfFault naming the source and the line.
    [[noreturn]] void fail(int line, const std::string& what) const;

private:
    bool readLine(std::string& line);
    bool readPair(DxfPair& pair);

    std::streambuf& buffer_;
    std::string source_;
    std::size_t maxLineLength_;
    int lineNumber_ = 0;
    DxfPair peeked_;
    bool hasPeeked_ = false;
    bool atEnd_ = false;
};

// A corner of an LWPOLYLINE as read, kept compact: such a polyline may have millions.
struct LwVertex {
    double x = 0;
    double y = 0;
    double bulge = 0;
    int line = 0;       // the line of its group code 10
    bool hasY = false;  // a group code 20 followed its 10
};

// One entity as read: its type, where it starts, and its pairs after the type.
struct RawEntity {
    std::string type;
    int line = 0;
    std::vector<DxfPair> pairs;       // every pair but an LWPOLYLINE's 10, 20 and 42
    std::vector<RawEntity> vertices;  // a POLYLINE's VERTEX entities
    std::vector<LwVertex> corners;    // an LWPOLYLINE's corners, their numbers checked

    const DxfPair* find(int code) const;                          // the first pair of a code
    std::string text(int code, std::string fallback = {}) const;  // its value, or the fallback
};

// A block definition: its base point and its entities.
struct DxfBlock {
    Vertex base;
    std::vector<RawEntity> entities;
};

// What a drawing holds that outlines are made of.
struct DxfDrawing {
    int insUnits = 0;  // $INSUNITS; 0 when the header names none
    std::map<std::string, DxfBlock> blocks;
    std::vector<RawEntity> entities;  // model and paper space, in file order
};

// Reads every section; entities beyond maxEntities (blocks included, before any expansion)
// or an LWPOLYLINE of more than maxCorners corners end the reading with a fault.
[[nodiscard]] DxfDrawing readDxfDrawing(DxfPairReader& reader, std::int64_t maxEntities,
                                        std::int64_t maxCorners);

// A pair's value as a finite number; a fault naming the value's line otherwise.
[[nodiscard]] double dxfNumber(const DxfPairReader& reader, const DxfPair& pair);

// An entity's values by group code, checked where they are used so that the line of a bad
// one can be named.
class EntityValues {
public:
    EntityValues(const DxfPairReader& reader, const RawEntity& entity)
        : reader_(reader), entity_(entity) {}
    [[nodiscard]] double number(int code, double fallback = 0) const;
    [[nodiscard]] std::int64_t integer(int code, std::int64_t fallback = 0) const;
    [[nodiscard]] std::vector<double> numbers(int code) const;  // a repeated code, file order

private:
    const DxfPairReader& reader_;
    const RawEntity& entity_;
};

}  // namespace blocknest
