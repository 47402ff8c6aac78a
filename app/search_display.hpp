#pragma once  // app/search_display.hpp: how a search shows its progress on the console
namespace blocknest {

// Not at all, one line rewritten in place, or a line at each improvement.
enum class SearchDisplay { none, liveLine, improvements };

}  // namespace blocknest
