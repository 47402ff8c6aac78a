#include "stock/stock_out.hpp"

#include <charconv>
#include <sstream>
#include <system_error>

namespace blocknest {
namespace {

// A CSV field: quoted where it holds a comma, a quote or a blank at either end.
std::string field(const std::string& text) {
    const bool quote = text.find_first_of(",\"\n\r") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return text;
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// A number that reads back as the same double: a size rounded to six digits could grow the
// sheet, a cost rounded could charge the next job other than the job it came from was credited.
std::string exact(double value) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::string relativePath(const std::filesystem::path& drawing,
                         const std::filesystem::path& target) {
    std::error_code error;
    const std::filesystem::path folder =
        std::filesystem::absolute(target, error).parent_path().lexically_normal();
    const std::filesystem::path absolute =
        std::filesystem::absolute(drawing, error).lexically_normal();
    const std::filesystem::path relative = absolute.lexically_relative(folder);
    return relative.empty() ? absolute.string() : relative.string();
}

}  // namespace

std::string formatStockList(const std::vector<StockLeft>& left,
                            const std::filesystem::path& target) {
    std::ostringstream out;
    out << "file,length,width,count,cost\n";
    for (const StockLeft& kind : left) {
        if (kind.count <= 0) continue;
        if (kind.drawing) {
            out << field(relativePath(*kind.drawing, target)) << ",,";
        } else {
            out << ',' << exact(kind.kind.length) << ',' << exact(kind.kind.width);
        }
        out << ',' << kind.count << ',' << exact(kind.kind.cost) << '\n';
    }
    return out.str();
}

}  // namespace blocknest
