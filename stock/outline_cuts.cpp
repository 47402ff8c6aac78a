#include "stock/outline_cuts.hpp"

#include <cmath>

#include "stock/clipper_paths.hpp"

namespace blocknest {
namespace {

namespace cl = ClipperLib;

double largestCoordinate(const Loop& loop) {
    double largest = 0;
    for (const Vertex& v : loop.vertices())
        largest = std::max({largest, std::fabs(v.x), std::fabs(v.y)});
    return largest;
}

}  // namespace

std::optional<CutOutline> cutOutline(const Loop& outline, const std::vector<Loop>& cutOuts) {
    double largest = largestCoordinate(outline);
    for (const Loop& cut : cutOuts) largest = std::max(largest, largestCoordinate(cut));
    if (!std::isfinite(largest)) return std::nullopt;
    const double scale = clipperScale(largest);
    cl::Clipper clipper;
    clipper.AddPath(toClipperPath(outline.vertices(), scale), cl::ptSubject, true);
    for (const Loop& cut : cutOuts)
        clipper.AddPath(toClipperPath(cut.vertices(), scale), cl::ptClip, true);
    cl::PolyTree tree;
    clipper.Execute(cl::ctDifference, tree, cl::pftNonZero, cl::pftNonZero);
    // Pieces: the tree's top level, and islands inside holes.
    std::vector<const cl::PolyNode*> pieces;
    std::vector<const cl::PolyNode*> open(tree.Childs.begin(), tree.Childs.end());
    while (!open.empty()) {
        const cl::PolyNode* node = open.back();
        open.pop_back();
        if (!node->IsHole() && node->Contour.size() >= 3) pieces.push_back(node);
        open.insert(open.end(), node->Childs.begin(), node->Childs.end());
    }
    const cl::PolyNode* kept = nullptr;
    for (const cl::PolyNode* piece : pieces) {
        if (kept == nullptr ||
            std::fabs(cl::Area(piece->Contour)) > std::fabs(cl::Area(kept->Contour)))
            kept = piece;
    }
    if (kept == nullptr) return std::nullopt;
    CutOutline cut;
    cut.outline = fromClipperPath(kept->Contour, scale);
    for (const cl::PolyNode* hole : kept->Childs)
        if (hole->Contour.size() >= 3) cut.holes.push_back(fromClipperPath(hole->Contour, scale));
    cut.piecesLeftOut = static_cast<int>(pieces.size()) - 1;
    return cut;
}

}  // namespace blocknest
