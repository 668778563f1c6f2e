// Writes every built-in action picture, a range of labels and the editor's pictures into one PNG under
// the build folder, for people to look at after a change to the drawings or the renderer.
#include "images/BuiltInPictures.h"
#include "images/KVGlobalImageList.h"
#include "images/KVTextRenderer.h"
#include "images/LoadKeyImage.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

TEST(SampleSheet, EveryPictureIsDrawnAndAllGoIntoOnePng) {
    KVTextRenderer renderer;
    std::vector<KVPtr<KVImage>> pictures;
    for (auto name : corvane::images::builtInActionNames())
        pictures.push_back(LoadKeyImage(std::string(name)));
    const std::pair<const char*, KVLabelStyle> labels[] = {
        {"Ä", {}},
        {"Ab", {.size = 22, .bold = true, .italic = true}},
        {"Go", {.face = "DejaVu Serif", .size = 20, .color = 0x0000FF, .bkColor = 0x804000}},
        {"ok", {.face = "No Such Family", .size = 20, .color = 0x00FF00, .bkColor = 0x202020}},
        {"Ωж€", {.size = 16}},
    };
    for (const auto& [text, style] : labels)
        pictures.push_back(renderer.RenderLabel(text, style));
    for (auto which :
         {EditorPicture::Selection, EditorPicture::Hot, EditorPicture::Focus, EditorPicture::PluginBadge})
        pictures.push_back(renderer.editorPicture(which).toImage());

    constexpr int kCell = 56, kColumns = 9;
    KVCanvas sheet(kColumns * kCell, int(pictures.size() + kColumns - 1) / kColumns * kCell);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        ASSERT_TRUE(pictures[i]) << "picture " << i;
        EXPECT_TRUE(std::ranges::any_of(pictures[i]->pixels(), [](std::uint8_t b) { return b != 0; })) << i;
        sheet.drawImage(*pictures[i], int(i % kColumns) * kCell + 4, int(i / kColumns) * kCell + 4);
    }
    ASSERT_TRUE(sheet.toImage()->save(CORVANE_SAMPLE_SHEET));
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

    EXPECT_EQ(list.addPicture(*LoadKeyImage("ACTION_MEDIA_MUTE")), 1);
    EXPECT_EQ(list.addBuiltIn("action_browser_home"), 2);
    EXPECT_EQ(list.addEncoded(std::vector<std::uint8_t>(100, 0x42)), -1);
    EXPECT_EQ(list.addPicture(KVImage()), -1);
    KVGlobalImageList::Icon red{};
    for (std::size_t i = 0; i < red.size(); i += 4)
        red[i] = red[i + 3] = 255;
    EXPECT_EQ(list.add(red), 3);
    // Many more icons later, the early ones are where they were.
    const KVGlobalImageList::Icon before = *list.icon(1);
    for (int i = 0; i < 120; ++i)
        list.add(red);
    EXPECT_EQ(*list.icon(1), before);
    EXPECT_EQ(*list.icon(3), red);
    EXPECT_FALSE(list.icon(124));
    EXPECT_FALSE(list.icon(-1));
    // Every pixel of a key picture's icon is opaque.
    for (std::size_t i = 3; i < before.size(); i += 4)
        EXPECT_EQ(before[i], 255);
}

} // namespace
