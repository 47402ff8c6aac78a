#pragma once  // geometry/input_item.hpp: an item type as its input file gave it
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/curve_loop.hpp"
#include "geometry/loop.hpp"
#include "geometry/orientation.hpp"

namespace blocknest {

// One item type of an input: the outline as read (before any motion), and where it came from.
// Every part made of it refers to one of these by Part::itemIndex().
struct InputItem {
    std::string file;           // the path of the file it was read from
    std::int64_t sourceId = 0;  // its id in that file: JSON item id, or part block number from 0
    int member = -1;            // its place in a multi-polygon shape; -1 for a single outline
    std::string name;           // the name its parts carry
    std::int64_t copies = 0;    // how many parts were made of it
    std::vector<Vertex> outer;  // outer contour, as read, not closed
    std::vector<std::vector<Vertex>> holes;  // holes, in the order of the parts' hole lists
    std::vector<Orientation> orientations;   // its own turns; empty when the job's apply
    // A drawing's part with arcs: its outlines as drawn, in the coordinates of outer and
    // holes (outer polygon and curve start at the same corner). Empty corners otherwise.
    PartCurves curves;
};

}  // namespace blocknest
