#pragma once  // geometry/predicates.hpp: the one point-containment rule of the system
#include <cstdint>
#include <span>
#include <vector>

#include "geometry/interval_index.hpp"
#include "geometry/loop.hpp"
#include "geometry/part.hpp"

namespace blocknest {

// Even-odd test with the ray toward +X. A point on the boundary counts as the point moved a
// tiny step toward -X and a much tinier one toward +Y. Uses the loop's stored box first.
[[nodiscard]] bool pointInLoop(const Vertex& p, const Loop& loop);

// The signed area of a closed ring of vertices: positive when it runs counter-clockwise.
[[nodiscard]] double signedArea(const std::vector<Vertex>& ring);

// The distance between two points.
[[nodiscard]] double distance(const Vertex& p, const Vertex& q);

// The distance from p to the segment from a to b; to a when the segment has no length.
[[nodiscard]] double distanceToSegment(const Vertex& p, const Vertex& a, const Vertex& b);

// Inside the outer loop and inside none of the holes, by the rule of pointInLoop.
[[nodiscard]] bool pointInPart(const Vertex& p, const Part& part);

// pointInPart for the points of one horizontal line: the crossings of the line with each
// loop's edges are worked out once, by the same formula, and sorted, so that a point costs a
// binary search per loop, and a sorted run of points one sweep, instead of a pass over the
// edges for each. Answers exactly as pointInPart.
// True when two edges of the loop that do not follow each other cross at a point inside both
// (touching does not count). Gives up with false after about maxPairs edge pairs.
[[nodiscard]] bool loopCrossesItself(const Loop& loop, std::int64_t maxPairs = 50'000'000);

// pointInLoop for many points against one loop: the edges are indexed by their y range, so a
// point costs the edges that span its y instead of a pass over all of them. Answers exactly
// as pointInLoop. The loop must not change while this is in use.
class LoopPointTest {
public:
    explicit LoopPointTest(const Loop& loop);
    [[nodiscard]] bool contains(const Vertex& p) const;

private:
    const Loop& loop_;
    IntervalIndex edgesByY_;  // edge i runs from vertex i to the next
};

class PartScanLine {
public:
    explicit PartScanLine(const Part& part);  // on no line yet: moveTo first
    PartScanLine(const Part& part, double y);
    // Lines met in increasing y cost only the holes they cross; a lower y starts afresh.
    void moveTo(double y);  // the part must not have changed since construction

    [[nodiscard]] bool contains(double x) const;  // pointInPart({x, y}, part)
    // contains(xs[i]) into out[i] (0 or 1) for finite xs that never decrease, in one sweep
    // along the line instead of a binary search for each.
    void containsEach(std::span<const double> xs, std::span<std::uint8_t> out) const;

private:
    struct LoopLine {
        bool reachable = false;  // the loop has vertices and its box spans the line's y
        double minX = 0;
        double maxX = 0;
        std::vector<double> crossings;  // ascending; abscissae that are not numbers left out
    };
    static void lineThrough(const Loop& loop, double y, LoopLine& line);
    static bool inside(const LoopLine& line, double x);

    std::vector<const Loop*> loops_;  // the outer loop first, then the holes in list order
    std::vector<LoopLine> lines_;     // one for each loop

    // The holes by the y range of their boxes, so that a line visits only the holes it
    // crosses; a hole whose box is not a number spans every line. spanning_ holds the holes
    // that span the current line.
    IntervalIndex holesByY_;
    std::vector<std::size_t> allHoles_;
    std::vector<std::size_t> alwaysSpanning_;
    std::vector<std::size_t> spanning_;
};

}  // namespace blocknest
