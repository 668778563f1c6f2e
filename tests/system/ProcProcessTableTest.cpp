#include "system/linux/ProcProcessTable.h"

#include "TempFolder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string statLine(pid_t pid, const std::string& comm, char state, unsigned long flags) {
    return std::to_string(pid) + " (" + comm + ") " + state + " 1 1 1 0 -1 " + std::to_string(flags) +
           " 0 0 0 0 1 2 0 0 20 0 1 0\n";
}

struct FakeProcTest : ::testing::Test {
    TempFolder proc;
    void addProcess(pid_t pid, const std::string& comm, char state, unsigned long flags, const char* exe) {
        proc.write(std::to_string(pid) + "/stat", statLine(pid, comm, state, flags));
        if (exe)
            std::filesystem::create_symlink(exe, proc.path() / std::to_string(pid) / "exe");
    }
};

TEST_F(FakeProcTest, NamesComeFromTheExecutableElseTheShortName) {
    addProcess(100, "Foo Bar", 'S', 0, "/usr/bin/Foo Bar");
    addProcess(101, "gone", 'Z', 0, nullptr);
    addProcess(102, "kworker/0:1", 'I', 0x00208040, nullptr);
    addProcess(103, "odd) (name", 'R', 0, nullptr);
    addProcess(104, "upgraded", 'S', 0, "/opt/x/App.Bin (deleted)");
    proc.write("105/stat", "garbage");
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
    EXPECT_FALSE(table.process(999));
    EXPECT_FALSE(table.process(0));
}

TEST(ProcProcessTableTest, UnreadableTableIsEmpty) {
    EXPECT_TRUE(KVProcProcessTable("/nonexistent/proc").snapshot().empty());
}

// A copy of sleep under a name of our own, so that it can be told from every other process.
struct SleeperTest : ::testing::Test {
    TempFolder temp;
    std::filesystem::path program = temp.path() / "CorvaneSleeper";
    pid_t child = 0;

    void SetUp() override { std::filesystem::copy_file("/bin/sleep", program); }
    void TearDown() override {
        if (child > 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    }
    void start() {
        std::string name = program.filename().string(), seconds = "60";
        char* argv[] = {name.data(), seconds.data(), nullptr};
        ASSERT_EQ(::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ), 0);
    }
    // Kills the child and waits until it is a zombie, without reaping it.
    void killToZombie() {
        ::kill(child, SIGKILL);
        siginfo_t info{};
        ASSERT_EQ(::waitid(P_PID, id_t(child), &info, WEXITED | WNOWAIT), 0);
    }
};

TEST_F(SleeperTest, RealProcessesAreSeenUntilTheyEnd) {
    KVProcProcessTable table;
    auto self = table.process(::getpid());
    ASSERT_TRUE(self);
    EXPECT_EQ(self->executable, std::filesystem::read_symlink("/proc/self/exe").string());

    start();
    auto process = table.process(child);
    ASSERT_TRUE(process);
    EXPECT_EQ(process->executable, std::filesystem::canonical(program).string());
    EXPECT_EQ(process->imageName, "CorvaneSleeper");
    auto snapshot = table.snapshot();
    EXPECT_TRUE(std::any_of(snapshot.begin(), snapshot.end(), [&](auto& p) { return p.pid == child; }));

    killToZombie();
    EXPECT_FALSE(table.process(child));
    snapshot = table.snapshot();
    EXPECT_FALSE(std::any_of(snapshot.begin(), snapshot.end(), [&](auto& p) { return p.pid == child; }));
}

} // namespace
