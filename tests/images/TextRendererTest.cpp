#include "images/KVCanvas.h"
#include "images/KVTextRenderer.h"

#include <gtest/gtest.h>
#include <map>

namespace {

// Stands in for a binding's property node: the two calls the renderer makes of one.
struct FakeDictionary {
    std::map<std::string, std::string, std::less<>> entries;
    bool hasChildren() const { return !entries.empty(); }
    std::string childValue(std::string_view key, std::string_view fallback) const {
        const auto found = entries.find(key);
        return found == entries.end() ? std::string(fallback) : found->second;
    }
};

KVPtr<FakeDictionary> dictionary(std::map<std::string, std::string, std::less<>> entries) {
    return std::make_shared<FakeDictionary>(FakeDictionary{std::move(entries)});
}

struct InkBox {
    int left = 48, top = 48, right = -1, bottom = -1;
    int height() const { return bottom - top; }
};

// Where pixels are not black, in top-down coordinates.
InkBox inkOf(const KVImage& image) {
    InkBox box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const std::uint8_t* pixel = image.scanLine(image.height() - 1 - y) + x * 3;
            if (pixel[0] || pixel[1] || pixel[2])
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
                       std::max(box.bottom, y)};
        }
    return box;
}

TEST(TextRenderer, PlainLabelIsWhiteOnBlackCentredWrappedAndClipped) {
    KVTextRenderer renderer;
    const auto label = renderer.RenderPlainLabel("H");
    ASSERT_TRUE(label);
    const InkBox ink = inkOf(*label);
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 23.5, 2.0);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 23.5, 4.0);
    EXPECT_GT(ink.height(), 20); // 28 points at 96 dpi: a capital about 27 pixels high
    const std::uint8_t* centre = label->scanLine(24) + ((ink.left + ink.right) / 2) * 3;
    EXPECT_EQ(centre[0], centre[2]); // grey or white, never coloured

    const auto oneLine = inkOf(*renderer.RenderLabel("Num", dictionary({{"FontSize", "10"}})));
    const auto wrapped = inkOf(*renderer.RenderLabel("Num Lock Scroll", dictionary({{"FontSize", "10"}})));
    EXPECT_GT(wrapped.height(), 2 * oneLine.height());
    EXPECT_LE(wrapped.right - wrapped.left, 47);
    // Far too much text: still one 48 x 48 picture, the lines above and below the middle cut off at the
    // edges (clipped, not shrunk).
    const auto crowded = renderer.RenderPlainLabel("a b c d e f g h i j k l m n o p");
    ASSERT_TRUE(crowded && crowded->isKeySized());
    EXPECT_EQ(inkOf(*crowded).top, 0);
    EXPECT_GT(inkOf(*crowded).height(), 30);

    EXPECT_TRUE(renderer.RenderPlainLabel("\xff\xfe")); // damaged UTF-8 still draws
    EXPECT_FALSE(renderer.RenderPlainLabel(""));
    EXPECT_FALSE(renderer.RenderLabel("", KVLabelStyle{}));
    EXPECT_FALSE(renderer.RenderLabel("", dictionary({{"FontSize", "12"}})));
}

// Missing, unknown or misspelt properties draw what the defaults draw; family, style and size count.
TEST(TextRenderer, PropertiesDecideFamilyStyleAndSize) {
    KVTextRenderer renderer;
    const auto draw = [&](KVPtr<FakeDictionary> properties) {
        return renderer.RenderLabel("Ab", properties);
    };
    EXPECT_TRUE(draw(nullptr)->samePixels(*renderer.RenderPlainLabel("Ab")));
    const auto size14 = dictionary({{"FontSize", "14"}}), sans = dictionary({{"FontFace", "sans-serif"}});
    const struct {
        KVPtr<FakeDictionary> properties, reference;
        bool same;
    } cases[] = {
        {dictionary({}), nullptr, true},
        {dictionary({{"Unrelated", "x"}}), nullptr, true},
        {dictionary({{"FontSize", "big"}}), nullptr, true},
        {dictionary({{"FontSize", "14"}, {"Bold", "TRUE"}}), size14, true},
        {dictionary({{"FontFace", "No Such Family 42"}}), sans, true},
        {dictionary({{"FontFace", "DejaVu Serif"}}), sans, false},
        {dictionary({{"FontSize", "14"}, {"Bold", "true"}, {"Italic", "true"}}), size14, false},
    };
    for (const auto& [properties, reference, same] : cases) {
        SCOPED_TRACE(testing::PrintToString(properties->entries));
        EXPECT_EQ(draw(properties)->samePixels(*draw(reference)), same);
    }
    EXPECT_GT(inkOf(*draw(dictionary({{"FontSize", "24"}}))).height(), inkOf(*draw(size14)).height());

    // Colours are stored red in the low byte: text red (0x0000FF) on blue (0xFF0000), pure wherever solid.
    const auto coloured = draw(dictionary({{"Color", "255"}, {"BkColor", "16711680"}}));
    const auto px = coloured->pixels();
    EXPECT_EQ((std::array<int, 3>{px[0], px[1], px[2]}), (std::array<int, 3>{255, 0, 0}));
    bool sawRed = false;
    for (std::size_t i = 0; i + 2 < px.size(); i += 3)
        sawRed = sawRed || (px[i + 2] == 255 && px[i] == 0);
    EXPECT_TRUE(sawRed);
}

TEST(Canvas, StartsBlackAndRoundTripsPictures) {
    KVCanvas canvas(48, 48);
    ASSERT_TRUE(canvas.isValid());
    KVImage picture(48, 48);
    for (std::size_t i = 0; i < picture.pixels().size(); ++i)
        picture.pixels()[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(canvas.drawImage(picture));
    EXPECT_TRUE(canvas.toImage()->samePixels(picture));
    ASSERT_TRUE(canvas.create(48, 48)); // cleared again
    EXPECT_TRUE(canvas.toImage()->samePixels(KVImage(48, 48)));

    KVCanvas small(24, 24), other(48, 48);
    EXPECT_FALSE(canvas.copyFrom(small));
    other.drawImage(picture);
    ASSERT_TRUE(canvas.copyFrom(other));
    EXPECT_TRUE(canvas.toImage()->samePixels(picture));
    EXPECT_TRUE(canvas.drawImage(picture, 40, -40)); // partly outside: cut off, not a crash
    canvas.release();
    EXPECT_FALSE(canvas.toImage());
    EXPECT_FALSE(KVCanvas(0, 48).isValid());
}

} // namespace
