#include "system/ApplicationsController.h"

#include "core/MessageDispatch.h"
#include "store/PropertyListReader.h"
#include "store/PropertyListWriter.h"
#include "store/PropertyNode.h"
#include "support/FakeHook.h"
#include "support/FakeProcessTable.h"
#include "support/ManualLoop.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

struct ApplicationsTest : ::testing::Test {
    TempDir temp;
    KVManualLoop loop;
    CKVMessageDispatch dispatch{loop};
    KVFakeHook hook;
    KVPtr<KVFakeProcessTable> processes = std::make_shared<KVFakeProcessTable>();
    struct {
        int running = 0, foreground = 0;
    } announced;
    void runningChanged() { ++announced.running; }
    void foregroundChanged() { ++announced.foreground; }
    std::unique_ptr<KVSysApplicationsController> controller;

    std::filesystem::path program(const std::string& relative) {
        return temp.write(relative, "#!/bin/sh\n", true);
    }
    void desktopEntry(const std::string& file, const std::string& keys) {
        temp.write("data/applications/" + file, "[Desktop Entry]\nType=Application\n" + keys);
    }
    void create() {
        KVApplicationSources sources{{temp.path() / "data/applications"}, {temp.path() / "bin"}};
        controller = std::make_unique<KVSysApplicationsController>(dispatch, hook, processes, sources);
        dispatch.RegisterHandler<KVM_RUNNING_APPS_CHANGED>(this, &ApplicationsTest::runningChanged);
        dispatch.RegisterHandler<KVM_FOREGROUND_APP_CHANGED>(this, &ApplicationsTest::foregroundChanged);
    }
    void startProcess(pid_t pid, const std::string& executable) {
        processes->start(pid, executable);
        dispatch.send<KVM_PROCESS_EVENT>(1, pid);
    }
    void endProcess(pid_t pid) {
        processes->end(pid);
        dispatch.send<KVM_PROCESS_EVENT>(0, pid);
    }
    std::vector<std::string> ids(const std::vector<KVApplicationEntry>& entries) {
        std::vector<std::string> result;
        for (const auto& entry : entries)
            result.push_back(entry.id);
        return result;
    }
};

using Ids = std::vector<std::string>;

TEST_F(ApplicationsTest, DesktopEntriesAndForcedAdditionsGiveIdentifiersNamesAndIcons) {
    const auto vendor = program("opt/Vendor App/App.BIN");
    for (const char* name : {"bin/Tool", "bin/plain", "bin/short"})
        program(name);
    const auto real = program("opt/editor/editor.real");
    std::filesystem::create_symlink(real, temp.path() / "bin/editor");

    desktopEntry("vendor.desktop", "Name=Alpha Vendor\nIcon=vendor\nExec=\"" + vendor.string() + "\" %U\n");
    desktopEntry("tool.desktop", "Name=Tool\nIcon=/icons/tool.png\nExec=env LANG=C Tool --open %f\n");
    desktopEntry("missing.desktop", "Name=Missing\nIcon=m\nExec=not-installed %u\n");
    desktopEntry("plain.desktop", "Name=No Icon\nExec=plain\n");
    desktopEntry("short.desktop", "Name=S\nIcon=s\nExec=short\n");
    desktopEntry("editor.desktop", "Name=Linked Editor\nIcon=ed\nExec=editor %F\n");
    create();

    EXPECT_EQ(ids(controller->applications()), (Ids{"editor.real", "tool", "app.bin"}));
    auto entry = controller->FindApplication("APP.Bin");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->path, vendor.string());
    EXPECT_EQ(entry->icon, "vendor");
    // A program reached through a link is known by the file that runs, as /proc shows it.
    EXPECT_EQ(controller->FindApplication("editor.real")->path, (temp.path() / "bin/editor").string());
    EXPECT_EQ(ids(controller->applicationsByDisplayName()), (Ids{"app.bin", "editor.real", "tool"}));

    // Adding with force takes any file, and an identifier only once.
    const auto file = program("opt/Some.Tool");
    // Without force only a catalogued program is taken; a folder or nothing never.
    for (auto [path, force] : {std::pair{file.string(), false},
                               {(temp.path() / "gone").string(), false},
                               {"/opt/folder/", true},
                               {"", true}})
        EXPECT_FALSE(controller->AddApplication(path, force).entry) << path;

    auto added = controller->AddApplication(file.string(), true);
    ASSERT_TRUE(added.entry);
    EXPECT_TRUE(added.isNew);
    EXPECT_EQ(added.entry->id, "some.tool");

    auto again = controller->AddApplication("/elsewhere/SOME.TOOL", true);
    EXPECT_FALSE(again.isNew);
    EXPECT_EQ(again.entry->path, file.string());
    EXPECT_EQ(controller->applications().size(), 4u);
}

TEST_F(ApplicationsTest, OnlyTheLastOfSeveralCopiesLeavingChangesTheRunningSet) {
    processes->start(10, "/usr/bin/Foo");
    processes->startNamed(11, "Hidden-Name");
    create();
    EXPECT_TRUE(controller->IsRunning("FOO"));
    EXPECT_TRUE(controller->IsRunning("hidden-name"));

    startProcess(20, "/usr/bin/bar");
    EXPECT_EQ(announced.running, 1);
    EXPECT_TRUE(controller->IsRunning("bar"));
    startProcess(21, "/opt/other/bar");
    EXPECT_EQ(announced.running, 1) << "a second copy changes nothing";

    // The end may be reported while the process is still listed.
    dispatch.send<KVM_PROCESS_EVENT>(0, 20);
    processes->end(20);
    EXPECT_EQ(announced.running, 1);
    EXPECT_TRUE(controller->IsRunning("bar"));
    endProcess(21);
    EXPECT_EQ(announced.running, 2);
    EXPECT_FALSE(controller->IsRunning("bar"));

    endProcess(999);
    EXPECT_EQ(announced.running, 2) << "an unknown process ending changes nothing";
    EXPECT_TRUE(controller->applications().empty()) << "programs without a desktop entry are not catalogued";

    // The process was gone before its start was handled, but another one started meanwhile.
    processes->start(30, "/usr/bin/quick");
    dispatch.send<KVM_PROCESS_EVENT>(1, 31);
    EXPECT_EQ(announced.running, 3);
    EXPECT_TRUE(controller->IsRunning("quick"));
    processes->setUnreadable(true);
    dispatch.send<KVM_PROCESS_EVENT>(0, 30);
    EXPECT_FALSE(controller->IsRunning("quick")) << "an unreadable table counts as empty";

    const int before = announced.running;
    controller.reset();
    processes->setUnreadable(false);
    startProcess(5, "/usr/bin/late");
    EXPECT_EQ(announced.running, before) << "a destroyed controller no longer listens";
}

TEST_F(ApplicationsTest, ForegroundChangesOnlyWhenTheApplicationDoesByProcessOrByName) {
    processes->start(10, "/usr/bin/Editor");
    processes->start(11, "/usr/bin/editor");
    processes->start(20, "/usr/bin/browser");
    processes->start(30, "/usr/bin/qtwindow");
    program("bin/footclient-real");
    desktopEntry("org.example.Terminal.desktop", "Name=Terminal\nIcon=t\nExec=footclient-real --server\n");
    // Owners are known to the hook before any activation reaches the controller; the window in front
    // before the controller started is the foreground.
    hook.activateWindow(2, 11);
    hook.activateWindow(3, 20);
    hook.activateWindow(4, std::nullopt);
    hook.activateWindow(1, 10);
    create();
    EXPECT_TRUE(controller->IsForeground("EDITOR"));

    dispatch.send<KVM_WINDOW_ACTIVATED>(1);
    dispatch.send<KVM_WINDOW_ACTIVATED>(2);
    dispatch.send<KVM_WINDOW_ACTIVATED_SECOND_SOURCE>(1);
    EXPECT_EQ(announced.foreground, 0) << "windows of one program";

    dispatch.send<KVM_WINDOW_ACTIVATED_SECOND_SOURCE>(3);
    EXPECT_EQ(announced.foreground, 1);
    EXPECT_TRUE(controller->IsForeground("browser"));
    EXPECT_FALSE(controller->IsForeground("editor"));

    dispatch.send<KVM_WINDOW_ACTIVATED>(4);
    dispatch.send<KVM_WINDOW_ACTIVATED>(77);
    EXPECT_EQ(announced.foreground, 2);
    EXPECT_EQ(controller->foregroundApplication(), "");
    EXPECT_FALSE(controller->IsForeground("")) << "an empty identifier names no application";

    hook.Hook(dispatch);

    // A Wayland app id names the desktop entry, whose program is what conditions name.
    hook.activateNamedWindow(5, {"org.example.Terminal"});
    EXPECT_EQ(controller->foregroundApplication(), "footclient-real");
    EXPECT_FALSE(controller->IsForeground("org.example.terminal"));

    // An X window's instance and class, without a process: either one holds.
    hook.activateNamedWindow(6, {"xcalc", "xcalc-class"});
    EXPECT_TRUE(controller->IsForeground("XCalc"));
    EXPECT_TRUE(controller->IsForeground("xcalc-class"));
    EXPECT_EQ(announced.foreground, 4);

    // A process, when known, wins over names, and the names of the last window no longer hold.
    hook.activateWindow(7, 30);
    EXPECT_TRUE(controller->IsForeground("qtwindow"));
    EXPECT_FALSE(controller->IsForeground("xcalc-class"));
    EXPECT_EQ(announced.foreground, 5);
}

TEST_F(ApplicationsTest, StoredApplicationsLoadEvenWhenGoneAndSaveBesideOtherKeys) {
    program("bin/Tool");
    desktopEntry("tool.desktop", "Name=Tool\nIcon=tool\nExec=Tool\n");
    create();

    auto root = KVPropertyNode::create("root");
    auto stored = root->addChild("Applications");
    stored->addChild("ignored-key")->addChild("Path", (temp.path() / "gone/Gone.Bin").string());
    stored->addChild("tool")->addChild("Path", (temp.path() / "bin/Tool").string());
    stored->addChild("no-path");
    stored->addChild("folder")->addChild("Path", "/opt/app/");
    controller->Load(root);

    auto gone = controller->FindApplication("gone.bin");
    ASSERT_TRUE(gone);
    // Also kept when the desktop entries had catalogued it already, so the next save does not drop it.
    EXPECT_EQ(ids(controller->userApplications()), (Ids{"gone.bin", "tool"}));

    auto saved = KVPropertyNode::create("root");
    saved->addChild("Applications")->addChild("other.bin")->addChild("Path", "/x/other.bin");
    controller->Save(*saved);
    auto applications = saved->findChild("Applications");
    ASSERT_TRUE(applications);
    ASSERT_EQ(applications->children().size(), 3u);
    EXPECT_EQ(applications->findChild("gone.bin")->childValue("Path"),
              (temp.path() / "gone/Gone.Bin").string());

    // What was saved to "Applications.plist" loads back into a fresh controller.
    const auto document = (temp.path() / "Applications.plist").string();
    ASSERT_TRUE(corvane::savePropertyList(*applications, document));
    controller.reset();
    create();
    auto fresh = KVPropertyNode::create("root");
    fresh->setChild(corvane::loadPropertyList(document, "Applications"));
    controller->loadSettings(fresh);
    EXPECT_EQ(ids(controller->userApplications()), (Ids{"other.bin", "gone.bin", "tool"}));
}

} // namespace
