// The launcher: command lines split without a shell, desktop entries, and the Run and Icon objects
// through the library, starting real programs that leave a file behind.
#include "FakeHost.h"
#include "Launcher/Launch.h"
#include "support/TempDir.h"

#include <filesystem>
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
    std::string desktopEntry(const std::string& exec) const {
        return dir.write("thing.desktop",
                         "[Desktop Entry]\nType=Application\nName=Thing\nIcon=no-such-icon\nExec=" + exec +
                             "\n\n[Desktop Action other]\nExec=false\n");
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

TEST_F(LauncherFiles, ADroppedDesktopEntryProgramOrFileBecomesWhatTheKeyStartsAlsoThroughItsIcon) {
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

    // An entry dropped on the key's icon redraws it (its name, as no picture is found) and is what a Run
    // without a target of its own starts.
    FakeView view;
    FakeAction bare;
    ObjectGuard icon(library_.createView("Icon", view)), runIcon(library_.createAction("Run", bare));
    view.start(icon.get());
    view.pairedAction = runIcon.get();
    bare.pairedView = icon.get();
    EXPECT_EQ(drop(icon.get(), desktopEntry("touch " + (dir / "via-view"))), 1);
    EXPECT_EQ(view.pictureCount(), 2u) << "the drop redraws the key";
    EXPECT_TRUE(anyLit(view.lastPicture()));
    runIcon->vtbl->Start(runIcon.get());
    EXPECT_TRUE(appears("via-view"));
}

} // namespace
