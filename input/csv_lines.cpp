#include "input/csv_lines.hpp"

#include <filesystem>

namespace blocknest {

ListLine readListLine(std::istream& in, std::string& line, std::size_t maxLength) {
    line.clear();
    std::streambuf& buffer = *in.rdbuf();
    bool any = false;
    for (int c = buffer.sbumpc(); c != std::char_traits<char>::eof(); c = buffer.sbumpc()) {
        any = true;
        if (c == '\n') break;
        if (line.size() == maxLength) return ListLine::tooLong;
        line.push_back(static_cast<char>(c));
    }
    if (!any) return ListLine::end;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return ListLine::read;
}

std::optional<std::string> whyListUnreadable(const std::string& path, const std::string& what) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) {
        return path + ": " + what +
               " cannot be opened: " + (error ? error.message() : "it does not exist");
    }
    if (std::filesystem::is_directory(status)) return path + ": " + what + " is a directory";
    if (!std::filesystem::is_regular_file(status)) {
        return path + ": " + what + " is not a regular file (a device or a pipe may never end)";
    }
    return std::nullopt;
}

}  // namespace blocknest
