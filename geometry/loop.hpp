#pragma once  // geometry/loop.hpp: points, boxes and closed polygons with their cached measures
#include <vector>

namespace blocknest {

// A point in drawing units; z is carried along and copied, never used by any computation.
struct Vertex {
    double x = 0;
    double y = 0;
    double z = 1e-15;
};

// An axis-aligned closed box.
struct BoundingBox {
    double minX = 0;
    double maxX = 0;
    double minY = 0;
    double maxY = 0;
};

// A closed polygon: the last vertex joins the first, which is not repeated. Any orientation.
// area() and bounds() are caches: setVertices computes both, translate shifts the box,
// rotate recomputes the box, and no motion touches the area.
class Loop {
public:
    Loop() = default;
    Loop(const Loop&) = default;  // deep copy; nothing is recomputed
    Loop(Loop&&) noexcept = default;
    // Deep copy; a source without vertices ends the run (FatalError, exit code 1, no message).
    Loop& operator=(const Loop& other);
    Loop& operator=(Loop&&) noexcept = default;

    // Replaces the vertices, then computes the box and then the area.
    void setVertices(std::vector<Vertex> vertices);

    int vertexCount() const { return static_cast<int>(vertices_.size()); }
    const std::vector<Vertex>& vertices() const { return vertices_; }
    double area() const { return area_; }                  // absolute, as last computed
    const BoundingBox& bounds() const { return bounds_; }  // as last computed or shifted

    double computeArea();         // stores and returns the absolute area; 0 without vertices
    BoundingBox computeBounds();  // needs a vertex; stores and returns the box
    [[nodiscard]] Vertex computeCentroid() const;  // non-finite when the signed area is 0

    void translate(double dx, double dy);             // shifts the vertices and the box
    void rotate(const Vertex& centre, double angle);  // radians, counter-clockwise; new box
    void mirror();  // about the Y axis: every x negated, the box mirrored, the area kept

private:
    std::vector<Vertex> vertices_;
    double area_ = 0;
    BoundingBox bounds_;
};

// The box of a non-empty vertex array, as Loop::computeBounds makes it.
[[nodiscard]] BoundingBox boundsOf(const std::vector<Vertex>& vertices);

}  // namespace blocknest
