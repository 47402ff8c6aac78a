#pragma once  // input/dxf_chaining.hpp: flattened pieces joined end to end into closed contours
#include <string>
#include <vector>

#include "geometry/loop.hpp"

namespace blocknest {

// An outline piece in drawing coordinates: closed, or open and waiting to be chained.
struct Piece {
    std::vector<Vertex> points;
    bool closed = false;
    std::string label;  // "LINE 2F" or "LINE at line 120"
    std::string layer;
    std::string block;
    // The outline as drawn, with its arcs (see CurvePath): corners and bulges, one bulge fewer
    // than corners when open. Empty when it has no arc: the points are its corners then.
    std::vector<Vertex> corners;
    std::vector<double> bulges;
};

// A closed outline made of one or more pieces; the first point is not repeated at the end.
struct Contour {
    std::vector<Vertex> points;
    std::vector<std::string> labels;  // the entities it was made of
    std::string layer;
    std::string block;
    // The closed outline as drawn (a CurveLoop's corners and bulges) when one of its pieces
    // has an arc; empty otherwise.
    std::vector<Vertex> corners;
    std::vector<double> bulges;
    // It crossed another contour, which was left out for it: construction geometry as often
    // as a part's own outline, so no sign that what encloses it is a frame.
    bool crossed = false;
};

// A chain of pieces whose ends do not meet: its points, and which line of the warnings says so.
struct OpenChain {
    std::vector<Vertex> points;
    std::size_t warning = 0;
};

// Closed pieces are contours already; open ones are joined end to end where their ends meet
// within joinDistance. A chain whose ends do not meet is warned of (source names the file)
// and left out; with openChains given, it is also listed there, so that the warning can be
// taken back when the chain turns out to be a frame's. The pieces' points are moved into the
// contours.
[[nodiscard]] std::vector<Contour> chainPieces(std::vector<Piece>& pieces, double joinDistance,
                                               const std::string& source,
                                               std::vector<std::string>& warnings,
                                               std::vector<OpenChain>* openChains = nullptr);

// Open pieces without length (all their points one) and pieces that repeat an earlier one
// within joinDistance (see findRepeats) are taken out of the list, each kind warned of in one
// line that names them; the rest keep their order.
void dropIdlePieces(std::vector<Piece>& pieces, double joinDistance, const std::string& source,
                    std::vector<std::string>& warnings);

// The first labels of a contour, "LINE 1, LINE 2 and 3 more".
[[nodiscard]] std::string describeLabels(const std::vector<std::string>& labels);

// "(x, y)" as the messages show a point.
[[nodiscard]] std::string formatPoint(const Vertex& p);

}  // namespace blocknest
