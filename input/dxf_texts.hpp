#pragma once  // input/dxf_texts.hpp: the texts of a drawing that may name its parts
#include <functional>
#include <string>
#include <vector>

#include "geometry/loop.hpp"
#include "input/dxf_drawing.hpp"

namespace blocknest {

// A text of the drawing and the point it is anchored at.
struct DrawnText {
    Vertex at;
    std::string text;
    std::string type;  // "TEXT" or "MTEXT"
};

// The TEXT and MTEXT entities of model space (not those inside blocks, which their block
// names) on the layers readsLayer accepts, in file order, as plain text on one line: MTEXT's
// formatting codes go, its line breaks become spaces. Texts without a letter or digit, or
// whose anchor is not a finite number, are passed over.
[[nodiscard]] std::vector<DrawnText> readDrawnTexts(
    const DxfDrawing& drawing, const std::function<bool(const std::string&)>& readsLayer);

}  // namespace blocknest
