#pragma once  // stock/cost_bound.hpp: the least the sheets of a stock can cost for a job
#include <optional>
#include <vector>

#include "stock/sheet_kind.hpp"

namespace blocknest {

// The least cost of whole sheets of the kinds, each kind at most its count, whose material
// adds up to at least area: no layout of parts of that net area costs less. Searched by branch
// and bound over the kinds, the cheapest per area first; when that takes more than nodeLimit
// steps, the bound with the last sheet cut to the area still needed stands for it (lower, and
// a bound all the same). Nothing when the whole stock holds less material than area.
[[nodiscard]] std::optional<double> leastSheetsCost(const std::vector<SheetKind>& kinds,
                                                    double area, long nodeLimit = 200000);

}  // namespace blocknest
