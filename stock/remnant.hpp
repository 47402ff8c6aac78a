#pragma once  // stock/remnant.hpp: what is left of a sheet after a straight cut across it
#include <optional>
#include <string>

#include "stock/sheet_kind.hpp"

namespace blocknest {

// The piece of a sheet beyond a cut across it, as a sheet of its own.
struct Remnant {
    SheetKind kind;         // its outline and defects, its box from (0, 0), one in stock
    double cutAt = 0;       // the cut's X on the sheet it came from
    int piecesLeftOut = 0;  // other pieces the cut leaves, smaller than this one
};

// The material of the sheet at X >= cut: its outline (its rectangle when it has none) cut
// straight across there, less its defects, which become the remnant's defects or notches of
// its outline. The largest piece when there are several. Nothing when no material lies
// beyond the cut. The remnant is moved so that its box starts at (0, 0) and costs its area.
[[nodiscard]] std::optional<Remnant> cutRemnant(const SheetKind& sheet, double cut,
                                                const std::string& name);

// The remnant as a drawing that reads back as the same sheet: its outline and defects as
// closed polylines on layer SHEET, with the $INSUNITS code given.
[[nodiscard]] std::string formatRemnantDxf(const Remnant& remnant, int insUnits);

}  // namespace blocknest
