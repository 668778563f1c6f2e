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
    bool empty() const { return right < 0; }
};

// Where pixels differ from the background colour (given as blue, green, red), top-down coordinates.
InkBox inkOf(const KVImage& image, std::array<std::uint8_t, 3> background = {0, 0, 0}) {
    InkBox box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const std::uint8_t* pixel = image.scanLine(image.height() - 1 - y) + x * 3;
            if (pixel[0] == background[0] && pixel[1] == background[1] && pixel[2] == background[2])
                continue;
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    return box;
}

TEST(TextRenderer, EmptyTextGivesNoPictureAtAll) {
    KVTextRenderer renderer;
    EXPECT_FALSE(renderer.RenderPlainLabel(""));
    EXPECT_FALSE(renderer.RenderLabel("", KVLabelStyle{}));
    EXPECT_FALSE(renderer.RenderLabel("", dictionary({{"FontSize", "12"}})));
}

TEST(TextRenderer, PlainLabelIsWhiteOnBlackAndCentred) {
    KVTextRenderer renderer;
    const auto label = renderer.RenderPlainLabel("H");
    ASSERT_TRUE(label);
    const InkBox ink = inkOf(*label);
    ASSERT_FALSE(ink.empty());
    EXPECT_NEAR((ink.left + ink.right) / 2.0, 23.5, 2.0);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 23.5, 4.0);
    // 28 points at 96 dpi: a capital about 27 pixels high.
    EXPECT_GT(ink.bottom - ink.top, 20);
    const std::uint8_t* centre = label->scanLine(24) + ((ink.left + ink.right) / 2) * 3;
    EXPECT_EQ(centre[0], centre[2]); // grey or white, never coloured
}

TEST(TextRenderer, LabelWithoutPropertiesEqualsThePlainLabel) {
    KVTextRenderer renderer;
    const auto plain = renderer.RenderPlainLabel("Esc");
    ASSERT_TRUE(plain);
    for (const auto& properties : {KVPtr<FakeDictionary>(), dictionary({}), dictionary({{"Unrelated", "x"}})})
        EXPECT_TRUE(renderer.RenderLabel("Esc", properties)->samePixels(*plain));
}

TEST(TextRenderer, MissingFamilyDrawsInSansSerif) {
    KVTextRenderer renderer;
    const auto missing = renderer.RenderLabel("Ag", dictionary({{"FontFace", "No Such Family 42"}}));
    ASSERT_TRUE(missing);
    EXPECT_EQ(renderer.currentFamily(), "sans-serif");
    const auto generic = renderer.RenderLabel("Ag", dictionary({{"FontFace", "sans-serif"}}));
    EXPECT_TRUE(missing->samePixels(*generic));
    const auto serif = renderer.RenderLabel("Ag", dictionary({{"FontFace", "DejaVu Serif"}}));
    EXPECT_EQ(renderer.currentFamily(), "DejaVu Serif");
    EXPECT_FALSE(serif->samePixels(*generic));
}

TEST(TextRenderer, StylesAndSizesComeFromTheProperties) {
    KVTextRenderer renderer;
    const auto regular = renderer.RenderLabel("Ab", dictionary({{"FontSize", "14"}}));
    const auto boldItalic =
        renderer.RenderLabel("Ab", dictionary({{"FontSize", "14"}, {"Bold", "true"}, {"Italic", "true"}}));
    const auto notBold = renderer.RenderLabel("Ab", dictionary({{"FontSize", "14"}, {"Bold", "TRUE"}}));
    ASSERT_TRUE(regular && boldItalic && notBold);
    EXPECT_FALSE(regular->samePixels(*boldItalic));
    EXPECT_TRUE(regular->samePixels(*notBold));
    const InkBox small = inkOf(*regular);
    const InkBox large = inkOf(*renderer.RenderLabel("Ab", dictionary({{"FontSize", "24"}})));
    EXPECT_GT(large.bottom - large.top, small.bottom - small.top);
    // A size that is no number keeps the default.
    EXPECT_TRUE(renderer.RenderLabel("Ab", dictionary({{"FontSize", "big"}}))
                    ->samePixels(*renderer.RenderPlainLabel("Ab")));
}

TEST(TextRenderer, ColoursAreStoredRedInTheLowByte) {
    KVTextRenderer renderer;
    // Text red (0x0000FF), background blue (0xFF0000).
    const auto label = renderer.RenderLabel("M", dictionary({{"Color", "255"}, {"BkColor", "16711680"}}));
    ASSERT_TRUE(label);
    const std::uint8_t* corner = label->scanLine(0);
    EXPECT_EQ((std::array<int, 3>{corner[0], corner[1], corner[2]}), (std::array<int, 3>{255, 0, 0}));
    // The ink is pure red wherever the glyph is solid.
    const auto& px = label->pixels();
    bool sawRed = false;
    for (std::size_t i = 0; i + 2 < px.size(); i += 3)
        sawRed = sawRed || (px[i + 2] == 255 && px[i] == 0);
    EXPECT_TRUE(sawRed);
}

TEST(TextRenderer, LongTextWrapsAtWordsAndIsClipped) {
    KVTextRenderer renderer;
    const auto oneLine = inkOf(*renderer.RenderLabel("Num", dictionary({{"FontSize", "10"}})));
    const auto wrapped = inkOf(*renderer.RenderLabel("Num Lock Scroll", dictionary({{"FontSize", "10"}})));
    EXPECT_GT(wrapped.bottom - wrapped.top, 2 * (oneLine.bottom - oneLine.top));
    EXPECT_LE(wrapped.right - wrapped.left, 47);
    // Far too much text: still one 48 x 48 picture, the lines above and below the middle cut off at the
    // edges (clipped, not shrunk).
    const auto crowded = renderer.RenderPlainLabel("a b c d e f g h i j k l m n o p");
    ASSERT_TRUE(crowded && crowded->isKeySized());
    const auto ink = inkOf(*crowded);
    EXPECT_EQ(ink.top, 0);
    EXPECT_GT(ink.bottom - ink.top, 30);
    // Damaged UTF-8 still draws.
    EXPECT_TRUE(renderer.RenderPlainLabel("\xff\xfe"));
}

TEST(Canvas, StartsBlackAndRoundTripsPictures) {
    KVCanvas canvas(48, 48);
    ASSERT_TRUE(canvas.isValid());

    KVImage picture(48, 48);
    for (std::size_t i = 0; i < picture.pixels().size(); ++i)
        picture.pixels()[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(canvas.drawImage(picture));
    EXPECT_TRUE(canvas.toImage()->samePixels(picture));

    cairo_surface_t* before = canvas.surface();
    ASSERT_TRUE(canvas.create(48, 48));
    EXPECT_EQ(canvas.surface(), before);
    EXPECT_TRUE(canvas.toImage()->samePixels(KVImage(48, 48)));

    KVCanvas small(24, 24);
    EXPECT_FALSE(canvas.copyFrom(small));
    KVCanvas other(48, 48);
    other.drawImage(picture);
    ASSERT_TRUE(canvas.copyFrom(other));
    EXPECT_TRUE(canvas.toImage()->samePixels(picture));
    // Drawing partly outside is cut off, not a crash.
    EXPECT_TRUE(canvas.drawImage(picture, 40, -40));
    canvas.release();
    EXPECT_FALSE(canvas.toImage());
    EXPECT_FALSE(KVCanvas(0, 48).isValid());
}

TEST(TextRenderer, EditorPicturesAreDrawn) {
    KVTextRenderer renderer;
    for (auto which :
         {EditorPicture::Selection, EditorPicture::Hot, EditorPicture::Focus, EditorPicture::PluginBadge}) {
        const KVCanvas& canvas = renderer.editorPicture(which);
        ASSERT_TRUE(canvas.isValid());
        EXPECT_FALSE(inkOf(*canvas.toImage()).empty());
    }
}

} // namespace
