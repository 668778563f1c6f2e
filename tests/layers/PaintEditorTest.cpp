#include "layers/PaintEditor.h"

#include "LayersFixture.h"
#include "layers/OpenWith.h"
#include "layers/PictureLayer.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace corvane::layers;

namespace {

struct RecordingOpener final : IKVOpenWith {
    bool open(const std::string& path) override {
        opened.push_back(path);
        return answer;
    }
    std::vector<std::string> opened;
    bool answer = true;
};

struct PaintFixture : ::testing::Test {
    PaintFixture() {
        stack.dispatch.RegisterHandler<KVM_IMAGE_FILE_RELOADED>(this, &PaintFixture::onReloaded);
        layer->setDisplayName("Games/Work");
        layer->binding(keyIndex("Escape")).image = solidPicture(0x10);
    }
    ~PaintFixture() override { stack.dispatch.UnregisterHandlers(this); }
    void onReloaded(const char* path) { reloaded.push_back(path); }

    // What the picture editor does: draws on the file and saves it (write beside, rename over).
    void paintAndSave(const std::string& path, const char* key, uint8_t shade) {
        KVImage picture;
        ASSERT_TRUE(picture.load(path));
        const auto origin = tileOrigin(keyIndex(key));
        for (int row = origin.y; row < origin.y + 48; ++row)
            std::memset(picture.scanLine(picture.height() - 1 - row) + origin.x * 3, shade, 48 * 3);
        ASSERT_TRUE(picture.save(path));
    }

    LayersStackFixture stack;
    TempDir scratch;
    RecordingOpener opener;
    KVPtr<KVLayer> layer = makeLayer("{0A0A0A0A-0000-0000-0000-000000000001}");
    int applied = 0;
    KVPaintEditor editor{stack.loop,
                         stack.dispatch,
                         scratch.path().string(),
                         "",
                         opener,
                         [this](const KVPtr<KVLayer>& target, const KVImage& picture) {
                             ++applied;
                             applyLayerPicture(*target, picture);
                         }};
    std::vector<std::string> reloaded;
};

} // namespace

// Our own writing of the file is no save by the picture editor (the first save would find its picture
// applied already); each real one comes back over the layer's keys, and an unreadable one changes nothing.
TEST_F(PaintFixture, TheLayerPictureIsOpenedAndEachSaveComesBackOverTheLayersKeys) {
    ASSERT_TRUE(editor.Paint(layer));
    const std::string path = scratch / "Games_Work - {0A0A0A0A-0000-0000-0000-000000000001}.png";
    ASSERT_EQ(opener.opened, std::vector<std::string>{path});
    KVImage picture;
    ASSERT_TRUE(picture.load(path));
    EXPECT_TRUE(cutTile(picture, keyIndex("Escape")).samePixels(*solidPicture(0x10)));

    paintAndSave(path, "Escape", 0x60);
    ASSERT_TRUE(stack.loop.runUntil([&] { return applied == 1; }, 5s));
    EXPECT_TRUE(layer->binding(keyIndex("Escape")).image->samePixels(*solidPicture(0x60)));
    EXPECT_EQ(reloaded, std::vector<std::string>{path});
    // A second save at once (same clock step) is still noticed, and brings a new key.
    paintAndSave(path, "Q", 0x30);
    ASSERT_TRUE(stack.loop.runUntil([&] { return applied == 2; }, 5s));
    ASSERT_TRUE(layer->binding(keyIndex("Q")).image);
    EXPECT_TRUE(layer->binding(keyIndex("Q")).image->isChanged());

    writeWholeFile(path, "half a picture");
    stack.dispatch.send<KVM_LAYERS_FOLDER_CHANGED>();
    EXPECT_EQ(applied, 2);
    EXPECT_TRUE(layer->binding(keyIndex("Escape")).image->samePixels(*solidPicture(0x60)));
}
