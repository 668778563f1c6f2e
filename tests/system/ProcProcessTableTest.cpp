#include "system/linux/ProcProcessTable.h"

#include "support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>
namespace {

std::string statLine(pid_t pid, const std::string& comm, char state, unsigned long flags) {
    return std::to_string(pid) + " (" + comm + ") " + state + " 1 1 1 0 -1 " + std::to_string(flags) +
           " 0 0 0 0 1 2 0 0 20 0 1 0\n";
}

struct FakeProcTest : ::testing::Test {
    TempDir proc;
    void addProcess(pid_t pid, const std::string& comm, char state, unsigned long flags, const char* exe) {
        proc.write(std::to_string(pid) + "/stat", statLine(pid, comm, state, flags));
        // An empty target stands for a link that may not be read, as for another user's process.
        if (exe && *exe)
            std::filesystem::create_symlink(exe, proc.path() / std::to_string(pid) / "exe");
        else if (exe)
            proc.write(std::to_string(pid) + "/exe", "");
    }
};

TEST_F(FakeProcTest, NamesComeFromTheExecutableElseTheShortName) {
    addProcess(100, "Foo Bar", 'S', 0, "/usr/bin/Foo Bar");
    addProcess(101, "gone", 'Z', 0, "");
    addProcess(102, "kworker/0:1", 'I', 0x00208040, "");
    addProcess(103, "odd) (name", 'R', 0, "");
    addProcess(106, "ended", 'R', 0, nullptr);
    addProcess(104, "upgraded", 'S', 0, "/opt/x/App.Bin (deleted)");
    proc.write("105/stat", "garbage");
    proc.write("105/exe", "");
    proc.write("self/stat", statLine(1, "not a pid", 'S', 0));

    KVProcProcessTable table(proc.path());
    std::vector<std::tuple<pid_t, std::string, std::string>> seen;
    for (const auto& process : table.snapshot())
        seen.emplace_back(process.pid, process.executable, process.imageName);
    std::sort(seen.begin(), seen.end());
    using Row = std::tuple<pid_t, std::string, std::string>;
    EXPECT_EQ(seen, (std::vector<Row>{Row{100, "/usr/bin/Foo Bar", "Foo Bar"}, Row{103, "", "odd) (name"},
                                      Row{104, "/opt/x/App.Bin", "App.Bin"}}));
    // A zombie, a kernel thread, a process without an executable link, none and pid 0: no application.
    for (pid_t pid : {101, 102, 106, 999, 0})
        EXPECT_FALSE(table.process(pid)) << pid;
    EXPECT_TRUE(KVProcProcessTable(proc.path() / "missing").snapshot().empty());
}

// The kernel's own files read as the test's imitations are: this process is found by its executable.
TEST(ProcProcessTableTest, TheRealTableFindsThisProcess) {
    const auto self = KVProcProcessTable().process(::getpid());
    ASSERT_TRUE(self);
    EXPECT_EQ(self->executable, std::filesystem::read_symlink("/proc/self/exe").string());
    EXPECT_EQ(self->imageName, std::filesystem::read_symlink("/proc/self/exe").filename().string());
}

} // namespace
