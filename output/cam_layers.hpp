#pragma once  // output/cam_layers.hpp: how the drawing for cutting names its layers

namespace blocknest {

// Which layer a contour goes on.
enum class CamLayers {
    byKind,  // outer contours on PARTS, holes on HOLES
    byName,  // a part's outer contour and holes on a layer named after the part
};

}  // namespace blocknest
