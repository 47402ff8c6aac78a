#pragma once  // stock/clipper_paths.hpp: loops to Clipper's integer paths and back
#include <clipper.hpp>
#include <vector>

#include "geometry/loop.hpp"

namespace blocknest {

// The scale for Clipper's integer coordinates: a power of two that takes the largest
// coordinate below 2^40, which keeps the scaling exact and far inside Clipper's range.
[[nodiscard]] double clipperScale(double largest);

// The vertices scaled and rounded to Clipper's integers, and back to a loop.
[[nodiscard]] ClipperLib::Path toClipperPath(const std::vector<Vertex>& vertices, double scale);
[[nodiscard]] Loop fromClipperPath(const ClipperLib::Path& path, double scale);

}  // namespace blocknest
