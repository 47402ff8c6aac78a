#include "stock/clipper_paths.hpp"

#include <algorithm>
#include <cmath>

namespace blocknest {

double clipperScale(double largest) {
    int exponent = 0;
    std::frexp(std::max(largest, 1e-300), &exponent);
    return std::ldexp(1.0, 40 - exponent);
}

ClipperLib::Path toClipperPath(const std::vector<Vertex>& vertices, double scale) {
    ClipperLib::Path path;
    for (const Vertex& v : vertices) {
        path.emplace_back(static_cast<ClipperLib::cInt>(std::llround(v.x * scale)),
                          static_cast<ClipperLib::cInt>(std::llround(v.y * scale)));
    }
    return path;
}

Loop fromClipperPath(const ClipperLib::Path& path, double scale) {
    std::vector<Vertex> vertices;
    for (const ClipperLib::IntPoint& p : path) {
        vertices.push_back({static_cast<double>(p.X) / scale, static_cast<double>(p.Y) / scale});
    }
    Loop loop;
    loop.setVertices(std::move(vertices));
    return loop;
}

}  // namespace blocknest
