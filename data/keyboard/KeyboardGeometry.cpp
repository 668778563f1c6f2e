#include "keyboard/KeyboardGeometry.h"

namespace corvane::keyboard {

std::span<const KeyPlace> keyPlaces(int model) {
    switch (model) {
    case 0:
        return kMainKeyPlaces;
    case 1:
        return kKeypadKeyPlaces;
    default:
        return {};
    }
}

DrawingSize drawingSize(int model) {
    switch (model) {
    case 0:
        return {kMainDrawingWidth, kMainDrawingHeight};
    case 1:
        return {kKeypadDrawingWidth, kKeypadDrawingHeight};
    default:
        return {0, 0};
    }
}

} // namespace corvane::keyboard
