#pragma once  // stock/sheet_choice.hpp: which sheets of the stock to fill, and in what order
#include <cstddef>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "geometry/part.hpp"
#include "spacing/clearance.hpp"
#include "stock/sheet_kind.hpp"

namespace blocknest {

// How parts are packed on every sheet: the job's block side and turns, mirrored or not, and
// the gaps to keep.
struct SheetPacking {
    double blockSideLength = 15;
    int rotationCount = 8;
    bool mirror = false;
    Clearance clearance;
};

// Packs the parts on one fresh sheet of the kind with the one-pass run, keeping the gaps:
// returns the parts in list order, each placed one in the sheet's coordinates, the others
// parked beyond the sheet's length. Says why it cannot (a margin that leaves no room).
[[nodiscard]] std::variant<PartList, std::string> packOnSheetKind(const PartList& partsLeft,
                                                                  const SheetKind& kind,
                                                                  const SheetPacking& packing);

// The same as a function that a plan can be made with.
using PackOnKind =
    std::function<std::variant<PartList, std::string>(const PartList&, const SheetKind&)>;

// The sheets chosen for a job, in the order they are filled.
struct StockPlan {
    std::vector<std::size_t> sheetKinds;  // the kind of each sheet, an index into the stock
    std::vector<int> sheetOf;             // each part's sheet, list order; kNoSheet when none
    PartList parts;                       // list order; each placed part in its sheet's coordinates
};

// Fills sheets one after another, each time packing the parts left on one sheet of every kind
// still in stock: a drawn kind (a remnant) that takes some part is taken first, the one with
// the most part area per cost; else the cheapest kind that takes every part left; else the
// kind with the most part area placed per cost. Ends when every part lies on a sheet, the
// stock runs out, or no kind takes any part left. Ties go to the kind listed first. A plan
// that never prefers a kind for taking every part left is made too, and the one placing more
// parts, then costing less, is kept.
[[nodiscard]] std::variant<StockPlan, std::string> chooseSheets(const PartList& parts,
                                                                const std::vector<SheetKind>& kinds,
                                                                const PackOnKind& pack);

}  // namespace blocknest
