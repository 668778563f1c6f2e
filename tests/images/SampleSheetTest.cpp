// Writes every built-in action picture and a range of labels into one PNG under the build folder, for
// people to look at after a change to the drawings or the renderer.
#include "images/BuiltInPictures.h"
#include "images/KVGlobalImageList.h"
#include "images/KVTextRenderer.h"
#include "images/LoadKeyImage.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

constexpr int kCell = 56;
constexpr int kColumns = 9;

// Puts `picture` with its top-left corner at (x, y) of `sheet`, both counted from the top.
void paste(KVImage& sheet, const KVImage& picture, int x, int y) {
    for (int row = 0; row < picture.height(); ++row) {
        const std::uint8_t* from = picture.scanLine(picture.height() - 1 - row);
        std::uint8_t* to = sheet.scanLine(sheet.height() - 1 - (y + row)) + x * 3;
        std::copy_n(from, picture.width() * 3, to);
    }
}

TEST(SampleSheet, ActionPicturesLabelsAndEditorPicturesInOnePng) {
    KVTextRenderer renderer;
    std::vector<KVPtr<KVImage>> pictures;
    for (auto name : corvane::images::builtInActionNames())
        pictures.push_back(LoadKeyImage(std::string(name)));
    pictures.push_back(LoadKeyImage(std::string(CORVANE_TEST_DATA) + "/images/wide-100x50.png"));
    pictures.push_back(renderer.RenderPlainLabel("Esc"));
    pictures.push_back(renderer.RenderPlainLabel("F12"));
    pictures.push_back(renderer.RenderPlainLabel("Ä"));
    pictures.push_back(renderer.RenderLabel("Num Lock", KVLabelStyle{.size = 11}));
    pictures.push_back(renderer.RenderLabel("Print Screen SysRq", KVLabelStyle{.size = 9}));
    pictures.push_back(renderer.RenderLabel("Ab", KVLabelStyle{.size = 22, .bold = true, .italic = true}));
    pictures.push_back(renderer.RenderLabel(
        "Go", KVLabelStyle{
                  .face = "DejaVu Serif", .size = 20, .bold = true, .color = 0x0000FF, .bkColor = 0x804000}));
    pictures.push_back(renderer.RenderLabel(
        "ok", KVLabelStyle{.face = "No Such Family", .size = 20, .color = 0x00FF00, .bkColor = 0x202020}));
    pictures.push_back(renderer.RenderLabel("Ωж€", KVLabelStyle{.size = 16}));
    pictures.push_back(renderer.RenderLabel("Supercalifragilistic", KVLabelStyle{.size = 12}));
    for (auto which :
         {EditorPicture::Selection, EditorPicture::Hot, EditorPicture::Focus, EditorPicture::PluginBadge})
        pictures.push_back(renderer.editorPicture(which).toImage());

    const int rows = static_cast<int>((pictures.size() + kColumns - 1) / kColumns);
    KVImage sheet(kColumns * kCell, rows * kCell);
    std::fill(sheet.pixels().begin(), sheet.pixels().end(), 70);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        ASSERT_TRUE(pictures[i]) << "picture " << i;
        paste(sheet, *pictures[i], static_cast<int>(i % kColumns) * kCell + 4,
              static_cast<int>(i / kColumns) * kCell + 4);
    }
    ASSERT_TRUE(sheet.save(CORVANE_SAMPLE_SHEET));
    std::cout << "sample sheet: " << CORVANE_SAMPLE_SHEET << "\n";
}

TEST(GlobalImageList, ProgramIconFirstAndIndicesStable) {
    KVGlobalImageList list;
    ASSERT_EQ(list.count(), 1);
    const auto* programIcon = list.icon(0);
    ASSERT_TRUE(programIcon);
    // The icon keeps its transparent rim (the mask) and an opaque middle.
    EXPECT_EQ((*programIcon)[3], 0);
    EXPECT_EQ((*programIcon)[(8 * 16 + 8) * 4 + 3], 255);

    const auto mute = LoadKeyImage("ACTION_MEDIA_MUTE");
    ASSERT_TRUE(mute);
    EXPECT_EQ(list.addPicture(*mute), 1);
    EXPECT_EQ(list.addBuiltIn("action_browser_home"), 2);
    EXPECT_EQ(list.addEncoded(std::vector<std::uint8_t>(100, 0x42)), -1);
    EXPECT_EQ(list.addPicture(KVImage()), -1);
    KVGlobalImageList::Icon red{};
    for (std::size_t i = 0; i < red.size(); i += 4) {
        red[i] = 255;
        red[i + 3] = 255;
    }
    EXPECT_EQ(list.add(red), 3);
    // Many more icons later, the early ones are where they were.
    const KVGlobalImageList::Icon before = *list.icon(1);
    for (int i = 0; i < 120; ++i)
        list.add(red);
    EXPECT_EQ(*list.icon(1), before);
    EXPECT_EQ(*list.icon(3), red);
    EXPECT_FALSE(list.icon(124));
    EXPECT_FALSE(list.icon(-1));
    // Every pixel of a key picture's icon is opaque, and the icon looks like the picture: mostly dark.
    const auto& muteIcon = *list.icon(1);
    for (std::size_t i = 3; i < muteIcon.size(); i += 4)
        EXPECT_EQ(muteIcon[i], 255);
}

} // namespace
