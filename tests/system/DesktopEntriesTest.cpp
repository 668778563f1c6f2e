#include "system/linux/DesktopEntries.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using Arguments = std::vector<std::string>;

TEST(ExecLineTest, QuotingFieldCodesAndPercentsAreUndone) {
    EXPECT_EQ(splitExecArguments(R"("/opt/My App/run \"x\" \$HOME \\" --open %U 100%% --file=%f)"),
              (Arguments{R"(/opt/My App/run "x" $HOME \)", "--open", "100%", "--file="}));
    // An unknown code stays; tabs separate too.
    EXPECT_EQ(splitExecArguments("prog %z  \t%F \"\""), (Arguments{"prog", "%z", ""}));
    EXPECT_EQ(splitExecArguments("prog \"unterminated"), std::nullopt);
    EXPECT_EQ(splitExecArguments("   "), Arguments{});
}

TEST(ExecLineTest, ProgramIsFoundPastAnEnvPrefix) {
    EXPECT_EQ(execProgram("/usr/bin/env -i -u HOME -C /tmp A=1 -- B=2 \"/opt/x y/Tool\" %F"),
              "/opt/x y/Tool");
    EXPECT_EQ(execProgram("env A=1 B=2"), std::nullopt);
    EXPECT_EQ(execProgram("%U"), std::nullopt);
    EXPECT_EQ(execProgram(""), std::nullopt);
}

TEST(ExecLineTest, ProgramsResolveAlongThePathToExecutableFilesOnly) {
    TempDir temp;
    const auto tool = temp.write("second/tool", "#!/bin/sh\n", true);
    temp.write("first/tool", "not executable");
    temp.write("first/data", "not executable");
    std::filesystem::create_directories(temp.path() / "first/folder");
    const std::vector<std::filesystem::path> path{temp.path() / "missing", temp.path() / "first",
                                                  temp.path() / "second"};

    EXPECT_EQ(resolveProgram("tool", path), tool);
    EXPECT_EQ(resolveProgram(tool.string(), {}), tool);
    EXPECT_EQ(resolveProgram("data", path), std::nullopt);
    EXPECT_EQ(resolveProgram("folder", path), std::nullopt);
    EXPECT_EQ(resolveProgram("second/tool", {temp.path()}), std::nullopt)
        << "relative paths are not looked up";
    EXPECT_EQ(resolveProgram("", path), std::nullopt);
}

struct DesktopEntryTest : ::testing::Test {
    TempDir temp;
    std::filesystem::path program = temp.write("bin/Viewer", "#!/bin/sh\n", true);
    std::vector<std::filesystem::path> path{temp.path() / "bin"};
};

TEST_F(DesktopEntryTest, ReadsTheUnlocalisedKeysOfTheMainGroup) {
    auto application =
        readDesktopEntry("# comment\n[Desktop Entry]\nType = Application\nName[de]=Betrachter\n"
                         "Name=Picture\\sViewer\nIcon=viewer-icon\nExec=env LANG=C Viewer %F\n\n"
                         "[Desktop Action Window]\nName=Ignored\nExec=other\n",
                         path);
    ASSERT_TRUE(application);
    EXPECT_EQ(application->name, "Picture Viewer");
    EXPECT_EQ(application->icon, "viewer-icon");
    EXPECT_EQ(application->program, program);
}

TEST_F(DesktopEntryTest, SkipsWhatIsNoRunnableApplication) {
    const std::string body = "Name=V\nIcon=i\nExec=Viewer\n", app = "[Desktop Entry]\nType=Application\n";
    EXPECT_TRUE(readDesktopEntry(app + body, path));
    for (const std::string& text :
         {"[Desktop Entry]\nType=Link\n" + body, app + "Hidden=true\n" + body,
          app + "TryExec=not-installed\n" + body, app + "Name=V\nExec=not-installed %u\n",
          app + "Name=V\nExec=\"Viewer\n", "[Other]\nType=Application\n" + body})
        EXPECT_FALSE(readDesktopEntry(text, path)) << text;
}

TEST_F(DesktopEntryTest, EarlierFoldersShadowLaterOnesByDesktopId) {
    const std::string entry = "[Desktop Entry]\nType=Application\nIcon=i\nExec=Viewer\nName=";
    temp.write("home/applications/viewer.desktop", entry + "Home");
    temp.write("home/applications/hidden.desktop", "[Desktop Entry]\nType=Application\nHidden=true\n");
    temp.write("home/applications/notes.txt", entry + "Not an entry");
    temp.write("system/applications/viewer.desktop", entry + "System");
    temp.write("system/applications/hidden.desktop", entry + "Hidden by home");
    temp.write("system/applications/vendor/viewer.desktop", entry + "Vendor");

    KVApplicationSources sources{{temp.path() / "home/applications", temp.path() / "missing/applications",
                                  temp.path() / "system/applications"},
                                 path};
    std::vector<std::string> names;
    for (const auto& application : scanDesktopApplications(sources))
        names.push_back(application.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Home", "Vendor"}));
}

} // namespace
