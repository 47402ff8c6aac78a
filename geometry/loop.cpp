#include "geometry/loop.hpp"

#include <cmath>
#include <utility>

#include "base/fatal_error.hpp"

namespace blocknest {

Loop& Loop::operator=(const Loop& other) {
    if (this == &other) return *this;
    vertices_.clear();
    if (other.vertexCount() <= 0) throw FatalError(1);
    vertices_ = other.vertices_;
    area_ = other.area_;
    bounds_ = other.bounds_;
    return *this;
}

void Loop::setVertices(std::vector<Vertex> vertices) {
    vertices_ = std::move(vertices);
    if (!vertices_.empty()) computeBounds();
    computeArea();
}

double Loop::computeArea() {
    const int n = vertexCount();
    double s = 0;
    for (int i = 0; i < n; ++i) {
        const Vertex& a = vertices_[i];
        const Vertex& b = vertices_[i + 1 == n ? 0 : i + 1];
        s += (b.x - a.x) * (a.y + b.y) * 0.5;
    }
    area_ = std::fabs(s);
    return area_;
}

BoundingBox boundsOf(const std::vector<Vertex>& vertices) {
    BoundingBox box{vertices[0].x, vertices[0].x, vertices[0].y, vertices[0].y};
    for (std::size_t i = 1; i < vertices.size(); ++i) {
        const Vertex& v = vertices[i];
        if (v.x > box.maxX) box.maxX = v.x;
        if (v.x < box.minX) box.minX = v.x;
        if (v.y > box.maxY) box.maxY = v.y;
        if (v.y < box.minY) box.minY = v.y;
    }
    return box;
}

BoundingBox Loop::computeBounds() {
    bounds_ = boundsOf(vertices_);
    return bounds_;
}

Vertex Loop::computeCentroid() const {
    const int n = vertexCount();
    double a = 0;
    double sx = 0;
    double sy = 0;
    for (int i = 0; i < n; ++i) {
        const Vertex& p = vertices_[i];
        const Vertex& q = vertices_[i + 1 == n ? 0 : i + 1];
        a += -0.5 * (q.x - p.x) * (p.y + q.y);
        sx += (p.x * p.x + p.x * q.x + q.x * q.x) * (q.y - p.y) * (1.0 / 6.0);
        sy += (p.y * p.y + p.y * q.y + q.y * q.y) * (q.x - p.x) * (-1.0 / 6.0);
    }
    Vertex centroid;
    centroid.x = sx / a;
    centroid.y = sy / a;
    return centroid;
}

void Loop::translate(double dx, double dy) {
    for (Vertex& v : vertices_) {
        v.x += dx;
        v.y += dy;
    }
    bounds_.minX += dx;
    bounds_.maxX += dx;
    bounds_.minY += dy;
    bounds_.maxY += dy;
}

void Loop::mirror() {
    for (Vertex& v : vertices_) v.x = -v.x;
    const double minX = bounds_.minX;
    bounds_.minX = -bounds_.maxX;
    bounds_.maxX = -minX;
}

void Loop::rotate(const Vertex& centre, double angle) {
    for (Vertex& v : vertices_) {
        v.x -= centre.x;
        v.y -= centre.y;
    }
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    for (Vertex& v : vertices_) {
        const double x = v.x;
        const double y = v.y;
        v.x = c * x - s * y;
        v.y = s * x + c * y;
    }
    for (Vertex& v : vertices_) {
        v.x += centre.x;
        v.y += centre.y;
    }
    if (!vertices_.empty()) computeBounds();
}

}  // namespace blocknest
