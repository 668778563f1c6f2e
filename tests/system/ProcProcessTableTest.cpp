#include "system/linux/ProcProcessTable.h"

#include "support/TempDir.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
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
    EXPECT_FALSE(table.process(101)) << "a zombie has ended";
    EXPECT_FALSE(table.process(102)) << "kernel threads are no applications";
    EXPECT_FALSE(table.process(106)) << "a process without an executable link has ended";
    EXPECT_FALSE(table.process(999));
    EXPECT_FALSE(table.process(0));
    EXPECT_TRUE(KVProcProcessTable(proc.path() / "missing").snapshot().empty());
}

TEST(ProcProcessTableTest, RealProcessesAreSeenUntilTheyEnd) {
    KVProcProcessTable table;
    auto self = table.process(::getpid());
    ASSERT_TRUE(self);
    EXPECT_EQ(self->executable, std::filesystem::read_symlink("/proc/self/exe").string());

    // A copy of sleep under a name of our own, so it can be told from every other process.
    TempDir temp;
    const auto program = temp.path() / "CorvaneSleeper";
    std::filesystem::copy_file("/bin/sleep", program);
    std::string name = "CorvaneSleeper", seconds = "60";
    char* argv[] = {name.data(), seconds.data(), nullptr};
    pid_t pid = 0;
    // A failed assertion must not leave the child behind.
    struct Reaper {
        pid_t& pid;
        ~Reaper() {
            if (pid > 0 && ::kill(pid, SIGKILL) == 0)
                ::waitpid(pid, nullptr, 0);
        }
    } reaper{pid};
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
    const auto listed = [&] {
        const auto snapshot = table.snapshot();
        return std::any_of(snapshot.begin(), snapshot.end(), [&](auto& p) { return p.pid == pid; });
    };
    auto process = table.process(pid);
    ASSERT_TRUE(process);
    EXPECT_EQ(process->executable, std::filesystem::canonical(program).string());
    EXPECT_EQ(process->imageName, "CorvaneSleeper");
    EXPECT_TRUE(listed());

    // Killed but not yet reaped: a zombie has ended.
    ::kill(pid, SIGKILL);
    siginfo_t info{};
    ASSERT_EQ(::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(table.process(pid));
    EXPECT_FALSE(listed());
    EXPECT_EQ(::waitpid(pid, nullptr, 0), pid);
    pid = 0;
}

} // namespace
