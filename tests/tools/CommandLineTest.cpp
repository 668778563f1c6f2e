// The tool as a person runs it: init, press, release and click against a listening configurator (a
// test socket server here), and render to a PNG.
#include "SocketServer.h"
#include "device/TestFolder.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace {

// Runs the built corvane-virtual-keyboard with the arguments, its messages silenced; its exit code.
int runTool(const std::vector<std::string>& args, const std::string& after = " 2>/dev/null") {
    std::string command = std::string(CORVANE_BIN_DIR) + "/corvane-virtual-keyboard";
    for (const auto& arg : args)
        command += " '" + arg + "'";
    const int status = std::system((command + after).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<Packet> keyState(std::initializer_list<unsigned> bits) {
    Packet packet(16, 0);
    for (unsigned bit : bits)
        packet[1 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    return {packet};
}

// One folder and listener for every command: init, press, release, click (and their refusals) and render.
TEST(CommandLineTest, CommandsReachTheSocketsAndEveryHeldKeyIsSent) {
    TestKeyboardFolder folder{""};
    const std::string dir = (folder.path() / "kbd").string();
    ASSERT_EQ(runTool({"init", dir}), 0);
    EXPECT_EQ(runTool({"init", dir, "--firmware", std::string(27, 'x')}), 1);
    // Nobody listening: the press fails and holds nothing.
    EXPECT_EQ(runTool({"press", dir, "B"}), 1);

    SocketServer server(dir + "/key-state.sock");
    // Names ignore case; "5" is the digit key (23), "#5" the key with index 5 (F5).
    ASSERT_EQ(runTool({"press", dir, "A", "keypadenter", "5", "#5"}), 0);
    EXPECT_EQ(server.nextConnection(), keyState({5, 23, 64, 112}));
    ASSERT_EQ(runTool({"release", dir, "a", "#5"}), 0);
    EXPECT_EQ(server.nextConnection(), keyState({23, 112}));
    // An unknown key sends nothing and changes nothing.
    EXPECT_EQ(runTool({"press", dir, "NoSuchKey"}), 1);
    EXPECT_FALSE(server.hasWaitingConnection());

    // Presses side by side keep each other's keys: whatever order they ran in, the last report holds all.
    for (int key = 40; key < 48; ++key)
        runTool({"press", dir, "#" + std::to_string(key)}, " 2>/dev/null &");
    std::vector<Packet> last;
    for (int i = 0; i < 8; ++i)
        last = server.nextConnection();
    EXPECT_EQ(last, keyState({23, 40, 41, 42, 43, 44, 45, 46, 47, 112}));

    // A click plays the key's signature on the standard socket.
    SocketServer standard(dir + "/standard.sock");
    ASSERT_EQ(runTool({"click", dir, "#25"}), 0);
    const Packet none{1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<Packet> expected{
        {1, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}, none, // marker
        {1, 0, 0x02, 0, 0, 0, 0, 0, 0, 0}, none, // digit 3
        {1, 0x80, 0, 0, 0, 0, 0, 0, 0, 0}, none, // digit 2
    };
    EXPECT_EQ(standard.nextConnection(), expected);
    EXPECT_EQ(runTool({"click", dir, "A", "B"}), 2);

    // What the picture shows is the renderer's test, on the same folder reading.
    const std::string out = (folder.path() / "out.png").string();
    ASSERT_EQ(runTool({"render", dir, out}), 0);
    cairo_surface_t* png = cairo_image_surface_create_from_png(out.c_str());
    EXPECT_EQ(cairo_image_surface_get_width(png), 1304);
    cairo_surface_destroy(png);
}

} // namespace
