#include "store/FileTree.h"
#include "store/StoreFolders.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;

namespace {

KVFolderEnvironment environmentIn(const TempDir& dir) {
    KVFolderEnvironment environment;
    environment.home = dir / "home";
    environment.tmpDir = dir.path();
    environment.executablePath = "/opt/corvane/bin/corvane-configurator";
    environment.uid = ::getuid();
    return environment;
}

struct stat statOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

} // namespace

TEST(StoreFolders, ProgramFolderIsBesideTheProgramsAndRelativeConfigHomeIsIgnored) {
    TempDir dir;
    auto environment = environmentIn(dir);
    environment.configHome = "relative/ignored";
    EXPECT_EQ(KVStoreFolders(environment).profileFolder(), dir / "home/.config/TavirexCorvane");
    EXPECT_EQ(KVStoreFolders(environment).pluginsFolder(), "/opt/corvane/lib/corvane/Plugins");
    environment.programDirOverride = "/srv/corvane";
    EXPECT_EQ(KVStoreFolders(environment).pluginsFolder(), "/srv/corvane/Plugins");
}

TEST(StoreFolders, TemporaryFolderIsPrivateAndMadeOnce) {
    TempDir dir;
    auto environment = environmentIn(dir);
    environment.runtimeDir = dir / "run";
    ::mkdir(environment.runtimeDir.c_str(), 0700);
    KVStoreFolders folders(environment);
    const std::string temporary = folders.temporaryFolder();
    EXPECT_EQ(temporary, dir / "run/TavirexCorvane");
    EXPECT_EQ(statOf(temporary).st_mode & 07777, 0700u);
    EXPECT_TRUE(S_ISDIR(statOf(folders.editorScratchFolder()).st_mode));

    // Without a usable runtime folder it goes to /tmp, named by the user; a too open one is narrowed.
    environment.runtimeDir = dir / "no-such-runtime-folder";
    const std::string shared = dir / ("TavirexCorvane-" + std::to_string(environment.uid));
    ::mkdir(shared.c_str(), 0777);
    ::chmod(shared.c_str(), 0777);
    EXPECT_EQ(KVStoreFolders(environment).temporaryFolder(), shared);
    EXPECT_EQ(statOf(shared).st_mode & 07777, 0700u);
}

TEST(StoreFolders, TemporaryFolderRefusesAPlantedSymlinkOrSomeoneElsesFolder) {
    TempDir dir;
    auto environment = environmentIn(dir);
    const std::string wanted = dir / ("TavirexCorvane-" + std::to_string(environment.uid));
    ::mkdir((dir / "attacker").c_str(), 0777);
    ::chmod((dir / "attacker").c_str(), 0777);
    ASSERT_EQ(::symlink((dir / "attacker").c_str(), wanted.c_str()), 0);

    const std::string chosen = KVStoreFolders(environment).temporaryFolder();
    EXPECT_EQ(chosen.rfind(wanted + "-", 0), 0u) << "a fresh folder beside the planted one";
    EXPECT_EQ(statOf(chosen).st_mode, S_IFDIR | 0700u);
    EXPECT_EQ(statOf(dir / "attacker").st_mode & 07777, 0777u) << "the link's target is left alone";

    // A real folder that belongs to another user is refused the same way.
    TempDir other;
    auto stranger = environmentIn(other);
    stranger.uid = environment.uid + 1;
    const std::string theirs = other / ("TavirexCorvane-" + std::to_string(stranger.uid));
    ::mkdir(theirs.c_str(), 0700);
    EXPECT_EQ(KVStoreFolders(stranger).temporaryFolder().rfind(theirs + "-", 0), 0u);
}

TEST(FileTree, DeleteTreeNeverFollowsLinksOutOfTheTree) {
    TempDir dir;
    ASSERT_TRUE(ensureFolder(dir / "outside"));
    writeWholeFile(dir / "outside/keep", "precious");
    ASSERT_TRUE(ensureFolder(dir / "tree/a/b/c"));
    writeWholeFile(dir / "tree/a/b/c/file", "x");
    writeWholeFile(dir / "tree/top", "x");
    ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "tree/a/link").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "outside/keep").c_str(), (dir / "tree/filelink").c_str()), 0);

    EXPECT_TRUE(deleteTree(dir / "tree"));
    EXPECT_FALSE(pathExists(dir / "tree"));
    EXPECT_EQ(readWholeFile(dir / "outside/keep"), "precious");

    ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "linked-tree").c_str()), 0);
    EXPECT_TRUE(deleteTree(dir / "linked-tree"));
    EXPECT_EQ(readWholeFile(dir / "outside/keep"), "precious");
}
