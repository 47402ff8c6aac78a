#pragma once  // app/messages.hpp: the program's Chinese texts, in both console encodings
#include <string_view>

#include "base/console.hpp"

namespace blocknest {

enum class ConsoleEncoding { utf8, gbk };

// The text of a message in the given encoding (GBK is code page 936).
[[nodiscard]] std::string_view messageText(Message message, ConsoleEncoding encoding);

// GBK when the locale's character set is GBK, GB2312 or GB18030; UTF-8 otherwise.
[[nodiscard]] ConsoleEncoding encodingForCodeset(std::string_view codeset);

}  // namespace blocknest
