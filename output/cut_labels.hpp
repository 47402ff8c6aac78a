#pragma once  // output/cut_labels.hpp: where a part's label goes, and how its text is written
#include <cstddef>
#include <string>
#include <string_view>

#include "geometry/part.hpp"

namespace blocknest {

// Where a line of text is centred, and how high it may be.
struct LabelSpot {
    Vertex at;
    double height = 0;  // drawing units
};

// A width of a character for a height, about that of the common CAD fonts, with its spacing.
inline constexpr double kCharacterWidth = 0.9;

// The spot for a label of the given number of characters: of the midpoints of the runs of
// material along nine lines across the part's box (a tenth of its height apart; material is
// inside the outer contour and in no hole, even-odd), the one that takes the highest text
// whose box (kCharacterWidth per character, a tenth of the height around) no contour enters, found
// to a thousandth; the text is at most a fifth of the box's height. The box's centre and no height
// when no run takes any.
[[nodiscard]] LabelSpot labelSpot(const Part& part, std::size_t characters);

// The least height of a label, 3 mm, in the units of an $INSUNITS code (3 units when the code
// names none or an unknown unit): a part that takes no text as high is left unlabelled.
[[nodiscard]] double leastLabelHeight(int insUnits);

// The text as a drawing's TEXT entity holds it: characters beyond ASCII as \U+XXXX (bytes
// that are not UTF-8 as U+FFFD), a percent sign as %%% (it starts a control code otherwise),
// control characters and characters beyond U+FFFF as '_'.
[[nodiscard]] std::string dxfText(std::string_view text);

}  // namespace blocknest
