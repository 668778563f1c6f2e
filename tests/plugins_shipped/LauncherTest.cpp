// The launcher: command lines split without a shell, desktop entries, and the Run and Icon objects
// through the library, starting real programs that leave a file behind.
#include "FakeHost.h"
#include "Launcher/DesktopEntry.h"
#include "Launcher/Launch.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

using namespace corvane_test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using corvane_plugins::splitCommandLine;

namespace {

using Words = std::vector<std::string>;

Words split(const std::string& line) {
    std::string error;
    Words words = splitCommandLine(line, error);
    EXPECT_EQ(words.empty(), !error.empty()) << line;
    return words;
}

TEST(LauncherCommandLine, SplitsLikeAShellWithoutRunningOne) {
    EXPECT_EQ(split("gvim -p 'a file.txt' \"b c\""), (Words{"gvim", "-p", "a file.txt", "b c"}));
    EXPECT_EQ(split(corvane_plugins::quoteWord("/tmp/it's here") + " x"), (Words{"/tmp/it's here", "x"}));
    EXPECT_EQ(split("sh -c 'ls | wc -l > out'"), (Words{"sh", "-c", "ls | wc -l > out"}));
    for (const char* refused : {"ls | wc", "a; b", "echo $(id)", "echo `id`", "touch x > y", "'open", ""})
        EXPECT_TRUE(split(refused).empty()) << refused;
}

class LauncherFiles : public testing::Test {
protected:
    std::string desktopEntry(const std::string& exec, const std::string& icon = "no-such-icon") const {
        return dir.write("thing.desktop",
                         "[Desktop Entry]\nType=Application\nName=Thing\nName[de]=Ding\nIcon=" + icon +
                             "\nExec=" + exec + "\n\n[Desktop Action other]\nExec=false\n");
    }
    // Waits for a started program to leave its mark; programs run detached, so only the file tells.
    bool appears(const std::string& name) const {
        for (int i = 0; i < 200 && !fs::exists(dir / name); ++i)
            std::this_thread::sleep_for(50ms);
        return fs::exists(dir / name);
    }
    static int32_t drop(IKVPluginObject* object, const std::string& path) {
        IKVPluginPanel* panel = object->vtbl->GetPanel(object);
        EXPECT_NE(panel, nullptr);
        EXPECT_EQ(panel->vtbl->CreatePanel(panel, nullptr), nullptr);
        return panel->vtbl->DropFile(panel, path.c_str());
    }

    TempDir dir;
    PluginLibrary library_{"Launcher"};
};

TEST_F(LauncherFiles, ReadsTheMainGroupOfADesktopEntry) {
    auto entry = corvane_plugins::readDesktopEntry(desktopEntry("gvim -f %F --x=100%%"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, "Thing");
    EXPECT_EQ(entry->icon, "no-such-icon");
    EXPECT_EQ(corvane_plugins::execCommandLine(entry->exec), "gvim -f  --x=100%");
    dir.write("empty.desktop", "[Desktop Entry]\nName=Nothing\n");
    EXPECT_FALSE(corvane_plugins::readDesktopEntry((dir / "empty.desktop")));
}

TEST_F(LauncherFiles, ADroppedDesktopEntryProgramOrFileBecomesWhatTheKeyStarts) {
    FakeAction action;
    action.properties["Command"] = "false";
    ObjectGuard run(library_.createAction("Run", action));
    std::string entry = desktopEntry("touch " + (dir / "from-entry") + " %U");
    EXPECT_EQ(drop(run.get(), entry), 1);
    EXPECT_EQ(action.get("Command"), "touch " + (dir / "from-entry") + " ");
    EXPECT_EQ(action.get("Desktop"), entry);
    run->vtbl->Start(run.get());
    EXPECT_TRUE(appears("from-entry"));

    EXPECT_EQ(drop(run.get(), (dir / "missing.desktop")), 0);
    EXPECT_EQ(action.get("Desktop"), entry) << "a refused drop changes nothing";

    dir.write("make it", "#!/bin/sh\ntouch \"$(dirname \"$0\")/made\"\n", true);
    EXPECT_EQ(drop(run.get(), (dir / "make it")), 1);
    EXPECT_EQ(action.get("Command"), corvane_plugins::quoteWord((dir / "make it")));
    run->vtbl->Start(run.get());
    EXPECT_TRUE(appears("made"));

    dir.write("notes.txt", "text");
    EXPECT_EQ(drop(run.get(), (dir / "notes.txt")), 1);
    EXPECT_EQ(action.get("Path"), (dir / "notes.txt"));
    EXPECT_EQ(action.get("Command"), "") << "the file is opened, not run";
}

TEST_F(LauncherFiles, IconShowsTheEntrysPictureOrElseItsNameAndRunWithoutATargetRunsIt) {
    constexpr unsigned char redSquarePng[] = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
        0x52, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x08, 0x06, 0x00, 0x00, 0x00, 0xa9,
        0xf1, 0x9e, 0x7e, 0x00, 0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8,
        0xcf, 0xc0, 0xf0, 0x1f, 0x19, 0x33, 0x90, 0x2e, 0x00, 0x00, 0x3c, 0x40, 0x1f, 0xe1, 0xe0,
        0x81, 0x77, 0xb4, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    dir.write("red.png", std::string(reinterpret_cast<const char*>(redSquarePng), sizeof redSquarePng));

    FakeView view;
    FakeAction action;
    view.properties["Desktop"] = desktopEntry("true", (dir / "red.png"));
    ObjectGuard icon(library_.createView("Icon", view));
    ObjectGuard run(library_.createAction("Run", action));
    view.start(icon.get());
    EXPECT_TRUE(red(view.lastPicture()[CORVANE_KEY_SIZE * 24 + 24])) << "the icon fills the key's middle";
    view.pairedAction = run.get();
    action.pairedView = icon.get();

    EXPECT_EQ(drop(icon.get(), desktopEntry("touch " + (dir / "via-view"))), 1);
    EXPECT_EQ(view.pictureCount(), 2u) << "the drop redraws the key";
    EXPECT_TRUE(anyLit(view.lastPicture())) << "the name shows where no picture is found";
    EXPECT_FALSE(red(view.lastPicture()[CORVANE_KEY_SIZE * 24 + 24]));
    run->vtbl->Start(run.get());
    EXPECT_TRUE(appears("via-view"));
}

} // namespace
