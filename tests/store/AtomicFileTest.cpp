#include "store/AtomicFile.h"

#include "store/PropertyListReader.h"
#include "store/PropertyListWriter.h"
#include "support/TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;

namespace {

enum class Step { None, Open, Write, ShortWrites, Sync, Close, Rename };

// Fails the chosen step of a save, as a full disk or a pulled drive would; writes at most 64 bytes a call.
struct FailingFileSystem : KVFileSystem {
    explicit FailingFileSystem(Step failing) : failing(failing) {}
    int openFile(const std::string& path, int flags, mode_t mode) override {
        return fails(Step::Open, flags & O_CREAT) ? -1 : KVFileSystem::openFile(path, flags, mode);
    }
    ssize_t writeSome(int fd, const void* data, size_t size) override {
        if (fails(Step::Write, written > 0))
            return -1;
        // Partial writes are legal and must be continued.
        const auto n =
            KVFileSystem::writeSome(fd, data, std::min<size_t>(size, failing == Step::ShortWrites ? 7 : 64));
        written += n > 0 ? size_t(n) : 0;
        return n;
    }
    int syncFile(int fd) override { return fails(Step::Sync) ? -1 : KVFileSystem::syncFile(fd); }
    int closeFile(int fd) override {
        return KVFileSystem::closeFile(fd) == 0 && !fails(Step::Close) ? 0 : -1;
    }
    int renameFile(const std::string& from, const std::string& to) override {
        return fails(Step::Rename) ? -1 : KVFileSystem::renameFile(from, to);
    }
    bool fails(Step step, bool now = true) {
        if (failing != step || !now)
            return false;
        errno = EIO;
        return true;
    }
    Step failing;
    size_t written = 0;
};

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

// Whichever step of a save fails, as when the process is killed at that moment, the previous document is
// left whole and no temporary file stays; saving a document goes the same way. A new file is private, and a
// link stays a link.
TEST(AtomicFile, FailedSaveKeepsThePreviousFileWholeNewFilesArePrivateAndLinksStayLinks) {
    const std::string oldContent(1000, 'o'), newContent(3000, 'n');
    auto document = KVPropertyNode::create("root");
    for (int i = 0; i < 100; ++i)
        document->addChild("Application" + std::to_string(i), newContent.substr(0, 30));
    for (auto step : {Step::Open, Step::Write, Step::Sync, Step::Close, Step::Rename}) {
        SCOPED_TRACE(static_cast<int>(step));
        TempDir dir;
        writeWholeFile(dir / "Device.plist", oldContent);
        FailingFileSystem fs(step);
        EXPECT_FALSE(writeFileAtomically(dir / "Device.plist", newContent, fs));
        FailingFileSystem again(step);
        EXPECT_FALSE(savePropertyList(*document, dir / "Device.plist", again));
        EXPECT_EQ(readWholeFile(dir / "Device.plist"), oldContent);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
            << "temporary file left";
    }
    TempDir dir;
    FailingFileSystem fs(Step::ShortWrites);
    EXPECT_TRUE(writeFileAtomically(dir / "f", newContent, fs));
    EXPECT_EQ(readWholeFile(dir / "f"), newContent);
    EXPECT_TRUE(savePropertyList(*document, dir / "f", fs));
    EXPECT_EQ(loadPropertyList(dir / "f", "root")->children().size(), 100u);

    const mode_t oldMask = ::umask(0);
    EXPECT_TRUE(writeFileAtomically(dir / "new", "x"));
    ::umask(oldMask);
    EXPECT_EQ(modeOf(dir / "new"), 0600u);

    writeWholeFile(dir / "real", "old");
    ASSERT_EQ(::symlink("real", (dir / "link").c_str()), 0);
    EXPECT_TRUE(writeFileAtomically(dir / "link", "through the link"));
    EXPECT_EQ(readWholeFile(dir / "real"), "through the link");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link"));
    EXPECT_FALSE(writeFileAtomically(dir / "missing/folder/f", "x"));
}
