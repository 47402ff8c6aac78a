#pragma once  // serve/page.hpp: the page the server hands the browser
#include <string>

namespace blocknest {

// The whole page (HTML, CSS and script inline; nothing from the network): files in, sheet
// and budget, Start and Stop, the figures as the search goes, the layout drawn (every placed
// part an element of class "part" with its name in a title), the parts left off and downloads.
[[nodiscard]] const std::string& pageHtml();

}  // namespace blocknest
