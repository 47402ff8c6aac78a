#pragma once  // stock/remnant.hpp: what is left of a sheet after a straight cut across it
#include <optional>
#include <string>

#include "stock/sheet_kind.hpp"

namespace blocknest {

// The piece of a sheet beyond a cut across it, as a sheet of its own.
struct Remnant {
    SheetKind kind;         // its outline and defects, its box from (0, 0), one in stock
    double cutAt = 0;       // the cut's X on the sheet it came from
    Vertex origin;          // where its (0, 0) lay on the sheet it came from
    int piecesLeftOut = 0;  // other pieces the cut leaves, smaller than this one
};

// A name that tells this remnant from others of the same name: the name and eight hex digits
// of its outline and defects ("rest-1a2b3c4d"), the same for the same piece.
[[nodiscard]] std::string remnantId(const Remnant& remnant);

// One line on where the remnant came from: "remnant rest-1a2b3c4d: 480.5 x 600 from sheet 2,
// cut at X 719.5; its (0, 0) lay at (719.5, 0) on that sheet".
[[nodiscard]] std::string remnantRecord(const Remnant& remnant, int sheetNumber);

// The material of the sheet at X >= cut: its outline (its rectangle when it has none) cut
// straight across there, less its defects, which become the remnant's defects or notches of
// its outline. The largest piece when there are several. Nothing when no material lies
// beyond the cut. The remnant is moved so that its box starts at (0, 0) and costs the sheet's
// cost in proportion to its material (its area for a sheet that costs its area).
[[nodiscard]] std::optional<Remnant> cutRemnant(const SheetKind& sheet, double cut,
                                                const std::string& name);

// The remnant as a drawing that reads back as the same sheet: its outline and defects as
// closed polylines on layer SHEET, with the $INSUNITS code given, opened by a comment (group
// 999) holding remnantRecord.
[[nodiscard]] std::string formatRemnantDxf(const Remnant& remnant, int insUnits,
                                           int sheetNumber = 1);

}  // namespace blocknest
