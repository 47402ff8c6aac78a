#pragma once  // input/dxf_entities.hpp: the outline entities of a drawing, block references
              // expanded
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "input/dxf_curves.hpp"
#include "input/dxf_drawing.hpp"

namespace blocknest {

// Bounds on expanding block references.
struct DxfExpansionLimits {
    std::int64_t maxEntities = 2'000'000;  // entities made, every copy of a block counted
    int maxBlockDepth = 16;                // blocks inside blocks
};

// Receives each outline as it is found.
using CurveSink = std::function<void(CurvePiece&&)>;

// Whether the entities on a layer are read; empty: every layer is.
using LayerFilter = std::function<bool(const std::string&)>;

// Hands every outline entity of the drawing's model space to sink, in file order, with block
// references (and their arrays) expanded into the drawing's coordinates. Entities that are
// no outline are counted by type and warned of once per type at the end; outlines that cannot
// be drawn are warned of one by one (source: the warning lines' file name). Entities on layers
// the filter refuses (an entity on layer "0" in a block takes its reference's layer; a
// reference refused leaves out its whole block) are counted in one line. More entities than
// the limit end the reading with a fault.
// Where collectCurves warned of entities of one type that are no outline: the line's index in
// the warnings and the count it gives.
struct IgnoredTypeLine {
    std::size_t line = 0;
    std::int64_t count = 0;
};

// The type of each such line ("TEXT", "HATCH"), for a reader that takes some of them after all.
using IgnoredTypes = std::map<std::string, IgnoredTypeLine>;

void collectCurves(const DxfPairReader& reader, const DxfDrawing& drawing,
                   const DxfExpansionLimits& limits, const CurveSink& sink,
                   std::vector<std::string>& warnings, const LayerFilter& readsLayer = {},
                   IgnoredTypes* ignoredLines = nullptr);

// The warning on count entities of a type that are no outline, as collectCurves words it
// ("part.dxf: 3 TEXT entities are left out: not an outline this reader takes").
[[nodiscard]] std::string ignoredTypeLine(const std::string& source, const std::string& type,
                                          std::int64_t count);

}  // namespace blocknest
