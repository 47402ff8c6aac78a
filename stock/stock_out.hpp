#pragma once  // stock/stock_out.hpp: the stock list a job leaves for the next one
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "stock/sheet_kind.hpp"

namespace blocknest {

// One kind of sheet left in stock: a rectangle, or a drawing at path.
struct StockLeft {
    SheetKind kind;
    std::optional<std::filesystem::path> drawing;
    std::int64_t count = 0;
};

// The stock list as the reader reads it ("file,length,width,count,cost"), for a list written
// at target: each kind that is left with its count, drawings by their path from target's
// folder; kinds with none left are not listed.
[[nodiscard]] std::string formatStockList(const std::vector<StockLeft>& left,
                                          const std::filesystem::path& target);

}  // namespace blocknest
