#include "layers/PaintEditor.h"

#include "LayersFixture.h"
#include "layers/OpenWith.h"
#include "layers/PictureLayer.h"
#include "support/TempDir.h"
#include "support/TestBus.h"

#include <atomic>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <systemd/sd-bus.h>
#include <thread>

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

// Neither our own writing of the file nor an unrelated file is a save by the picture editor; each real one
// comes back over the layer's keys, and an unreadable one leaves the layer alone.
TEST_F(PaintFixture, TheLayerPictureIsOpenedAndEachSaveComesBackOverTheLayersKeys) {
    ASSERT_TRUE(editor.Paint(layer));
    const std::string path = scratch / "Games_Work - {0A0A0A0A-0000-0000-0000-000000000001}.png";
    ASSERT_EQ(opener.opened, std::vector<std::string>{path});
    KVImage picture;
    ASSERT_TRUE(picture.load(path));
    EXPECT_TRUE(cutTile(picture, keyIndex("Escape")).samePixels(*solidPicture(0x10)));
    writeWholeFile(scratch / "unrelated.png", "x");
    stack.loop.runUntil([] { return false; }, 100ms);
    EXPECT_EQ(applied, 0);

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

TEST_F(PaintFixture, FailuresAreReported) {
    opener.answer = false;
    EXPECT_FALSE(editor.Paint(layer));
    EXPECT_FALSE(editor.Paint(nullptr));
    KVPaintEditor nowhere{stack.loop, stack.dispatch, scratch / "missing", "", opener, {}};
    EXPECT_FALSE(nowhere.Paint(layer));
}

TEST(DesktopOpenWith, WithoutAPortalTheFallbackProgramGetsThePath) {
    TempDir folder;
    const auto script =
        folder.write("opener",
                     "#!/bin/sh\nprintf '%s' \"$1\" > \"" + (folder / "opened") + ".tmp\" && mv \"" +
                         (folder / "opened") + ".tmp\" \"" + (folder / "opened") + "\"\n",
                     true);
    writeWholeFile(folder / "picture.png", "x");
    KVDesktopOpenWith opener("unix:path=" + (folder / "no-bus"), script.string());
    ASSERT_TRUE(opener.open(folder / "picture.png"));
    for (int i = 0; i < 500 && !std::filesystem::exists(folder / "opened"); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(readWholeFile(folder / "opened"), folder / "picture.png");
}

namespace {

// The desktop portal's OpenFile on its own thread (the opener waits for the answer): records the file
// behind the descriptor and whether the chooser was asked for.
struct FakePortal {
    explicit FakePortal(const std::string& address) {
        sd_bus_new(&bus);
        sd_bus_set_address(bus, address.c_str());
        sd_bus_set_bus_client(bus, 1);
        ok = sd_bus_start(bus) >= 0 &&
             sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/portal/desktop",
                                      "org.freedesktop.portal.OpenURI", kVtable, this) >= 0 &&
             sd_bus_request_name(bus, "org.freedesktop.portal.Desktop", 0) >= 0;
        thread = std::thread([this] {
            while (!stop)
                if (sd_bus_process(bus, nullptr) == 0)
                    sd_bus_wait(bus, 50'000);
        });
    }
    ~FakePortal() {
        stop = true;
        thread.join();
        sd_bus_flush_close_unref(bus);
    }
    static int openFile(sd_bus_message* message, void* self, sd_bus_error*) {
        auto* portal = static_cast<FakePortal*>(self);
        std::lock_guard lock(portal->mutex);
        const char* parent = nullptr;
        int fd = -1;
        sd_bus_message_read(message, "sh", &parent, &fd);
        portal->file = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd)).string();
        sd_bus_message_enter_container(message, 'a', "{sv}");
        while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
            const char* key = nullptr;
            int value = 0;
            sd_bus_message_read(message, "s", &key);
            if (std::string(key) == "ask")
                sd_bus_message_read(message, "v", "b", &value), portal->ask = value != 0;
            else
                sd_bus_message_skip(message, "v");
            sd_bus_message_exit_container(message);
        }
        return sd_bus_reply_method_return(message, "o", "/org/freedesktop/portal/desktop/request/1_1/t");
    }
    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("OpenFile", "sha{sv}", "o", openFile, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END,
    };

    sd_bus* bus = nullptr;
    bool ok = false;
    std::mutex mutex;
    std::string file;
    bool ask = false;
    std::atomic<bool> stop{false};
    std::thread thread;
};

} // namespace

TEST(DesktopOpenWith, ThePortalIsAskedToShowItsChooser) {
    TestBus bus;
    if (bus.address().empty())
        GTEST_SKIP() << "no dbus-daemon";
    TempDir folder;
    writeWholeFile(folder / "picture.png", "x");
    FakePortal portal(bus.address());
    ASSERT_TRUE(portal.ok);
    ASSERT_TRUE(KVDesktopOpenWith(bus.address(), "/nonexistent/fallback").open(folder / "picture.png"));
    std::lock_guard lock(portal.mutex);
    EXPECT_EQ(portal.file, folder / "picture.png");
    EXPECT_TRUE(portal.ask);
}
