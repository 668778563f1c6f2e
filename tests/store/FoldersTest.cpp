#include "store/StoreFolders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

KVFolderEnvironment environmentIn(const TempDir& dir) {
    KVFolderEnvironment environment;
    environment.home = dir / "home";
    environment.tmpDir = dir.path();
    environment.executablePath = "/opt/corvane/bin/corvane-configurator";
    environment.uid = ::getuid();
    return environment;
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
}

} // namespace

TEST(StoreFolders, FoldersFollowTheEnvironmentAndTheTemporaryOneIsPrivate) {
    TempDir dir;
    auto environment = environmentIn(dir);
    environment.configHome = "relative/ignored";
    EXPECT_EQ(KVStoreFolders(environment).profileFolder(), dir / "home/.config/TavirexCorvane");
    EXPECT_EQ(KVStoreFolders(environment).pluginsFolder(), "/opt/corvane/lib/corvane/Plugins");

    // The temporary folder is private and refuses a planted symlink or someone else's folder.
    environment.runtimeDir = dir / "run";
    ::mkdir(environment.runtimeDir.c_str(), 0700);
    KVStoreFolders folders(environment);
    EXPECT_EQ(folders.temporaryFolder(), dir / "run/TavirexCorvane");
    EXPECT_EQ(modeOf(folders.temporaryFolder()), S_IFDIR | 0700u);
    EXPECT_TRUE(S_ISDIR(modeOf(folders.editorScratchFolder())));

    // Without a usable runtime folder it goes to the temporary folder, named by the user; a too open one is
    // narrowed.
    environment.runtimeDir = dir / "no-such-runtime-folder";
    const std::string wanted = dir / ("TavirexCorvane-" + std::to_string(environment.uid));
    ::mkdir(wanted.c_str(), 0777);
    ::chmod(wanted.c_str(), 0777);
    EXPECT_EQ(KVStoreFolders(environment).temporaryFolder(), wanted);
    EXPECT_EQ(modeOf(wanted), S_IFDIR | 0700u);

    ::rmdir(wanted.c_str());
    ::mkdir((dir / "attacker").c_str(), 0777);
    ::chmod((dir / "attacker").c_str(), 0777);
    ASSERT_EQ(::symlink((dir / "attacker").c_str(), wanted.c_str()), 0);
    const std::string chosen = KVStoreFolders(environment).temporaryFolder();
    EXPECT_EQ(chosen.rfind(wanted + "-", 0), 0u) << "a fresh folder beside the planted one";
    EXPECT_EQ(modeOf(chosen), S_IFDIR | 0700u);
    EXPECT_EQ(modeOf(dir / "attacker") & 07777, 0777u) << "the link's target is left alone";

    // A real folder that belongs to another user is refused the same way.
    environment.uid += 1;
    const std::string theirs = dir / ("TavirexCorvane-" + std::to_string(environment.uid));
    ::mkdir(theirs.c_str(), 0700);
    EXPECT_EQ(KVStoreFolders(environment).temporaryFolder().rfind(theirs + "-", 0), 0u);
}
