#include "geometry/part.hpp"

#include <cmath>

namespace blocknest {

void Part::setShape(const std::string& name, const LoopList& holes, const Loop& outer) {
    name_ = name.substr(0, kMaxNameLength);
    outerLoop_ = outer;
    innerLoops_ = holes;
    computeNetArea();
    computeCentroid();
    bounds_ = outerLoop_.bounds();
}

int Part::totalVertexCount() const {
    int count = outerLoop_.vertexCount();
    for (const Loop& hole : innerLoops_) count += hole.vertexCount();
    return count;
}

double Part::computeNetArea() {
    double net = outerLoop_.computeArea();
    for (Loop& hole : innerLoops_) net -= hole.computeArea();
    netArea_ = net;
    return net;
}

Vertex Part::computeCentroid() {
    const double outerArea = outerLoop_.computeArea();
    const Vertex outerCentroid = outerLoop_.computeCentroid();
    double w = outerArea;
    double mx = outerArea * outerCentroid.x;
    double my = outerArea * outerCentroid.y;
    for (Loop& hole : innerLoops_) {
        const double holeArea = hole.computeArea();
        const Vertex holeCentroid = hole.computeCentroid();
        w -= holeArea;
        mx -= holeArea * holeCentroid.x;
        my -= holeArea * holeCentroid.y;
    }
    centroid_.x = mx / w;
    centroid_.y = my / w;
    return centroid_;
}

void Part::translate(double dx, double dy) {
    outerLoop_.translate(dx, dy);
    for (Loop& hole : innerLoops_) hole.translate(dx, dy);
    bounds_.minX += dx;
    bounds_.maxX += dx;
    bounds_.minY += dy;
    bounds_.maxY += dy;
    centroid_.x += dx;
    centroid_.y += dy;
}

void Part::rotate(const Vertex& centre, double angle) {
    outerLoop_.rotate(centre, angle);
    for (Loop& hole : innerLoops_) hole.rotate(centre, angle);
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double dx = centroid_.x - centre.x;
    const double dy = centroid_.y - centre.y;
    centroid_.x = centre.x + c * dx - s * dy;
    centroid_.y = centre.y + s * dx + c * dy;
    refreshBounds();
}

void Part::mirror() {
    outerLoop_.mirror();
    for (Loop& hole : innerLoops_) hole.mirror();
    centroid_.x = -centroid_.x;
    const double minX = bounds_.minX;
    bounds_.minX = -bounds_.maxX;
    bounds_.maxX = -minX;
}

void Part::applyTurn(const Orientation& turn) {
    if (turn.mirrored) mirror();
    // No turn leaves the coordinates untouched, to the last bit.
    if (turn.index != 0) rotate(Vertex{0, 0}, turn.angle());
}

BoundingBox Part::refreshBounds() {
    if (outerLoop_.vertexCount() > 0) bounds_ = outerLoop_.computeBounds();
    return bounds_;
}

void allowMirrored(PartList& parts, int rotationCount) {
    const std::vector<Orientation> even = evenTurns(rotationCount);
    for (Part& part : parts) {
        part.setOrientations(
            withMirrored(part.orientations().empty() ? even : part.orientations()));
    }
}

}  // namespace blocknest
