#pragma once  // geometry/part.hpp: one part instance, its block image, and the two lists
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/dlist.hpp"
#include "geometry/loop.hpp"
#include "geometry/orientation.hpp"

namespace blocknest {

using LoopList = DList<Loop>;

// A row-major byte grid of square blocks laid over a part: rows run along X, columns along Y,
// cell (r, c) at r * cols + c, 1 occupied and 0 free. The anchor is the first occupied cell in
// row-major order; it means something only while the grid has cells.
struct PartBitmap {
    int rows = 0;
    int cols = 0;
    std::vector<std::uint8_t> cells;
    int anchorRow = 0;
    int anchorCol = 0;

    bool empty() const { return rows <= 0 || cols <= 0; }
    std::uint8_t at(int r, int c) const { return cells[static_cast<std::size_t>(r) * cols + c]; }
};

// One part to be nested: outer contour, holes, name and the measures derived from them.
// netArea, bounds and centroid are caches refreshed only by the operations that say so.
// Copies are deep (rule of zero); copying the outer loop by assignment needs vertices.
class Part {
public:
    static constexpr std::size_t kMaxNameLength = 99;  // longer names are cut

    Part() = default;

    // Takes the shape as read: name (cut to kMaxNameLength), holes in list order, outer loop
    // with the box and area its reader computed. Derives netArea, centroid and bounds.
    void setShape(const std::string& name, const LoopList& holes, const Loop& outer);

    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name.substr(0, kMaxNameLength); }
    const Loop& outerLoop() const { return outerLoop_; }
    const LoopList& innerLoops() const { return innerLoops_; }
    double netArea() const { return netArea_; }
    const BoundingBox& bounds() const { return bounds_; }  // the outer loop's box, as cached
    const Vertex& centroid() const { return centroid_; }
    double blockSideLength() const { return blockSideLength_; }
    const PartBitmap& bitmap() const { return bitmap_; }
    int totalVertexCount() const;  // outer loop plus every hole

    double computeNetArea();   // stores every loop's area and netArea; returns netArea
    Vertex computeCentroid();  // stores every loop's area and the centroid's x and y

    void translate(double dx, double dy);             // loops, bounds and centroid move
    void rotate(const Vertex& centre, double angle);  // radians; loops, centroid, new bounds
    void mirror();  // about the Y axis (x negated): loops, centroid and bounds follow
    // Mirrored first if the turn says so, then turned about the origin by its angle.
    void applyTurn(const Orientation& turn);
    BoundingBox refreshBounds();  // recomputes the outer loop's box and copies it to bounds

    // The turns this part may be placed in; empty when the job's turns apply.
    const std::vector<Orientation>& orientations() const { return orientations_; }
    void setOrientations(std::vector<Orientation> turns) { orientations_ = std::move(turns); }

    // The turn the packing run gave the part about the origin, from its pose before packing:
    // the placed outline is that pose turned by it, then moved. No turn before packing.
    const Orientation& turn() const { return turn_; }
    void setTurn(const Orientation& turn) { turn_ = turn; }

    // The input item this part is a copy of (an index into its reader's or job's item
    // table); -1 when it has none.
    int itemIndex() const { return itemIndex_; }
    void setItemIndex(int index) { itemIndex_ = index; }

    // Whether the part is optional, placed only in the room the required parts leave on their
    // sheets; asManyAsFit stands for as many copies of it as find room.
    enum class Filler { no, counted, asManyAsFit };
    Filler filler() const { return filler_; }
    void setFiller(Filler filler) { filler_ = filler; }

    void setBlockSideLength(double length) { blockSideLength_ = length; }
    void setBitmap(PartBitmap bitmap) { bitmap_ = std::move(bitmap); }
    void dropBitmap() { bitmap_ = PartBitmap{}; }

private:
    Loop outerLoop_;
    LoopList innerLoops_;
    std::string name_ = "NoName";
    double netArea_ = 0;
    BoundingBox bounds_;
    Vertex centroid_;
    double blockSideLength_ = 0;
    PartBitmap bitmap_;
    std::vector<Orientation> orientations_;
    Orientation turn_;
    int itemIndex_ = -1;
    Filler filler_ = Filler::no;
};

using PartList = DList<Part>;

// Lets every part also be placed mirrored: its own turns, or the rotationCount even ones,
// both ways.
void allowMirrored(PartList& parts, int rotationCount);

}  // namespace blocknest
