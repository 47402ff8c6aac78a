#pragma once  // stock/stock_list.hpp: the sheets in stock, read from a CSV list
#include <istream>
#include <string>
#include <variant>
#include <vector>

#include "input/dxf_part_reader.hpp"
#include "stock/sheet_kind.hpp"

namespace blocknest {

// The kinds of sheet a stock list names, in list order, and what the reading noted.
struct StockList {
    std::vector<SheetKind> kinds;
    std::vector<std::string> notes;     // one line each, from the drawings read
    std::vector<std::string> drawings;  // the paths of the sheet drawings it names, as read
};

// Reads a stock list: CSV whose header line starts with "length," (length,width,count,cost:
// rectangles) or "file," (file,count,cost: sheet drawings); the columns file, length, width,
// count and cost may follow in any order, so that one list may hold both, a row giving either
// a file or a length and a width. count defaults to 1, cost to the material's area. Relative
// paths are taken from folder. Blank lines and lines starting with '#' are skipped. A fault
// ends the reading with one line naming the list and the line: "stock.csv:4: ...".
[[nodiscard]] std::variant<StockList, InputError> readStockList(std::istream& in,
                                                                const std::string& path,
                                                                const std::string& folder,
                                                                const DxfReadSettings& settings);

// The same for the file at path; relative paths in it are taken from its folder.
[[nodiscard]] std::variant<StockList, InputError> readStockListFile(
    const std::string& path, const DxfReadSettings& settings);

}  // namespace blocknest
