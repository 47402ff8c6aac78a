#pragma once  // geometry/sheet_shape.hpp: how a sheet that is not a plain rectangle looks
#include <optional>
#include <vector>

#include "geometry/loop.hpp"

namespace blocknest {

// A sheet's outline and defects, closed loops in the sheet's coordinates; the outline lies
// in the sheet rectangle. Empty: the plain rectangle.
struct SheetShape {
    std::optional<Loop> outline;  // none: the rectangle's
    std::vector<Loop> defects;    // no part may cover one; holes in the material
    [[nodiscard]] bool empty() const { return !outline && defects.empty(); }
};

}  // namespace blocknest
