// The key places the editor, the picture import and the drawing rely on.
#include "keyboard/KeyboardGeometry.h"

#include <gtest/gtest.h>

using namespace corvane::keyboard;

namespace {

TEST(KeyPlaces, DisplaysSitInsideTheirCapsAndTheDrawingAndCapsNeverOverlap) {
    // The key picker splits left Shift between the two halves of its cap.
    EXPECT_EQ(kMainKeyPlaces[82].x - 26, kMainKeyPlaces[82].capX);
    for (int model : {0, 1}) {
        const auto places = keyPlaces(model);
        const auto size = drawingSize(model);
        for (std::size_t a = 0; a < places.size(); ++a) {
            const auto& p = places[a];
            EXPECT_TRUE(p.x >= p.capX && p.y >= p.capY && p.x + kDisplaySize <= p.capX + p.capWidth &&
                        p.y + kDisplaySize <= p.capY + p.capHeight)
                << "display of key " << a << " outside its cap";
            EXPECT_TRUE(p.capX + p.capWidth <= size.width && p.capY + p.capHeight <= size.height &&
                        p.row <= 5)
                << a;
            for (std::size_t b = a + 1; b < places.size(); ++b) {
                const auto& q = places[b];
                const bool apart = p.capX + p.capWidth <= q.capX || q.capX + q.capWidth <= p.capX ||
                                   p.capY + p.capHeight <= q.capY || q.capY + q.capHeight <= p.capY;
                EXPECT_TRUE(apart) << "caps of keys " << a << " and " << b << " overlap";
            }
        }
    }
    EXPECT_TRUE(keyPlaces(2).empty());
}

} // namespace
