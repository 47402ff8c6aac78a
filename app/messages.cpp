#include "app/messages.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace blocknest {
namespace {

struct MessageTexts {
    Message message;
    std::string_view utf8;
    std::string_view gbk;
};

// 文件打开失败! / 零件数据文件读取失败! / 顶点数目统计错误!建议终止程序 / 开始排样... /
// 排样文件输出失败!
constexpr std::array<MessageTexts, 5> kTexts{{
    {Message::fileOpenFailed,
     "\xE6\x96\x87\xE4\xBB\xB6\xE6\x89\x93\xE5\xBC\x80\xE5\xA4\xB1\xE8\xB4\xA5!",
     "\xCE\xC4\xBC\xFE\xB4\xF2\xBF\xAA\xCA\xA7\xB0\xDC!"},
    {Message::partFileReadFailed,
     "\xE9\x9B\xB6\xE4\xBB\xB6\xE6\x95\xB0\xE6\x8D\xAE\xE6\x96\x87\xE4\xBB\xB6\xE8\xAF\xBB"
     "\xE5\x8F\x96\xE5\xA4\xB1\xE8\xB4\xA5!",
     "\xC1\xE3\xBC\xFE\xCA\xFD\xBE\xDD\xCE\xC4\xBC\xFE\xB6\xC1\xC8\xA1\xCA\xA7\xB0\xDC!"},
    {Message::vertexCountWrong,
     "\xE9\xA1\xB6\xE7\x82\xB9\xE6\x95\xB0\xE7\x9B\xAE\xE7\xBB\x9F\xE8\xAE\xA1\xE9\x94\x99"
     "\xE8\xAF\xAF!\xE5\xBB\xBA\xE8\xAE\xAE\xE7\xBB\x88\xE6\xAD\xA2\xE7\xA8\x8B\xE5\xBA\x8F",
     "\xB6\xA5\xB5\xE3\xCA\xFD\xC4\xBF\xCD\xB3\xBC\xC6\xB4\xED\xCE\xF3!\xBD\xA8\xD2\xE9\xD6"
     "\xD5\xD6\xB9\xB3\xCC\xD0\xF2"},
    {Message::packingStarted, "\xE5\xBC\x80\xE5\xA7\x8B\xE6\x8E\x92\xE6\xA0\xB7...",
     "\xBF\xAA\xCA\xBC\xC5\xC5\xD1\xF9..."},
    {Message::layoutWriteFailed,
     "\xE6\x8E\x92\xE6\xA0\xB7\xE6\x96\x87\xE4\xBB\xB6\xE8\xBE\x93\xE5\x87\xBA\xE5\xA4\xB1"
     "\xE8\xB4\xA5!",
     "\xC5\xC5\xD1\xF9\xCE\xC4\xBC\xFE\xCA\xE4\xB3\xF6\xCA\xA7\xB0\xDC!"},
}};

}  // namespace

std::string_view messageText(Message message, ConsoleEncoding encoding) {
    for (const MessageTexts& t : kTexts) {
        if (t.message == message) return encoding == ConsoleEncoding::gbk ? t.gbk : t.utf8;
    }
    return {};
}

ConsoleEncoding encodingForCodeset(std::string_view codeset) {
    std::string upper(codeset);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    std::erase(upper, '-');
    std::erase(upper, '_');
    if (upper == "GBK" || upper == "GB2312" || upper == "GB18030" || upper == "CP936") {
        return ConsoleEncoding::gbk;
    }
    return ConsoleEncoding::utf8;
}

}  // namespace blocknest
