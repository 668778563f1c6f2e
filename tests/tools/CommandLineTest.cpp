// The tool as a person runs it: init, press, release and click against a listening configurator (a
// test socket server here), and render to a PNG.
#include "RunTool.h"
#include "SocketServer.h"
#include "device/TestFolder.h"

#include <array>
#include <cairo.h>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Packet keyStatePacket(std::initializer_list<unsigned> bits) {
    Packet packet(16, 0);
    for (unsigned bit : bits)
        packet[1 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    return packet;
}

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override { dir = (folder.path() / "kbd").string(); }
    TestKeyboardFolder folder{""};
    std::string dir;
};

TEST_F(CommandLineTest, InitMakesTheFirmwaresFiles) {
    ASSERT_EQ(runTool({"init", dir}), 0);
    EXPECT_EQ(readAll(dir + "/vTavirex/scancode.sys").size(), 9216u);

    const std::string keypad = (folder.path() / "keypad").string();
    ASSERT_EQ(runTool({"init", keypad, "--firmware", "TavirexV0.62b", "--model", "1"}), 0);
    const auto keypadVersion = readAll(keypad + "/vTavirex/version.sys");
    EXPECT_EQ(std::string(keypadVersion.begin(), keypadVersion.end()).c_str(), std::string("TavirexV0.62b"));
    EXPECT_EQ(readAll(keypad + "/model").front(), '1');

    EXPECT_EQ(runTool({"init", dir, "--model", "2"}), 2);
    EXPECT_EQ(runTool({"init", dir, "--firmware", std::string(27, 'x')}), 1);
    EXPECT_EQ(runTool({"init", dir, "--firmware", "Tavirex\tV"}), 1);
}

TEST_F(CommandLineTest, PressAndReleaseSendEveryHeldKey) {
    ASSERT_EQ(runTool({"init", dir}), 0);
    // Nobody listening: the press fails and holds nothing.
    EXPECT_EQ(runTool({"press", dir, "B"}), 1);
    EXPECT_EQ(runTool({"press", (folder.path() / "elsewhere").string(), "A"}), 1);
    SocketServer server(dir + "/key-state.sock");
    ASSERT_TRUE(server.ok());

    ASSERT_EQ(runTool({"press", dir, "A"}), 0);
    EXPECT_EQ(server.nextConnection(), std::vector<Packet>{keyStatePacket({64})});
    // Names ignore case; "5" is the digit key (23), "#5" the key with index 5 (F5).
    ASSERT_EQ(runTool({"press", dir, "keypadenter", "5", "#5"}), 0);
    EXPECT_EQ(server.nextConnection(), std::vector<Packet>{keyStatePacket({5, 23, 64, 112})});
    ASSERT_EQ(runTool({"release", dir, "a", "#5"}), 0);
    EXPECT_EQ(server.nextConnection(), std::vector<Packet>{keyStatePacket({23, 112})});

    // An unknown key sends nothing and changes nothing.
    EXPECT_EQ(runTool({"press", dir, "NoSuchKey"}), 1);
    EXPECT_EQ(runTool({"press", dir, "113"}), 1);
    EXPECT_FALSE(server.hasWaitingConnection());
    ASSERT_EQ(runTool({"release", dir, "Keypad5"}), 0);
    EXPECT_EQ(server.nextConnection(), std::vector<Packet>{keyStatePacket({23, 112})});
}

TEST_F(CommandLineTest, PressesSideBySideKeepEachOthersKeys) {
    ASSERT_EQ(runTool({"init", dir}), 0);
    SocketServer server(dir + "/key-state.sock");
    ASSERT_TRUE(server.ok());
    std::string script;
    for (int key = 40; key < 48; ++key)
        script += std::string(CORVANE_BIN_DIR) + "/corvane-virtual-keyboard press '" + dir + "' '#" +
                  std::to_string(key) + "' & ";
    ASSERT_EQ(std::system((script + "wait").c_str()), 0);
    std::vector<Packet> last;
    for (int i = 0; i < 8; ++i)
        last = server.nextConnection();
    // Whatever order they ran in, the last report holds all eight keys.
    EXPECT_EQ(last, std::vector<Packet>{keyStatePacket({40, 41, 42, 43, 44, 45, 46, 47})});
}

TEST_F(CommandLineTest, KeypadKeysUseTheKeypadsBits) {
    ASSERT_EQ(runTool({"init", dir, "--model", "1"}), 0);
    SocketServer server(dir + "/key-state.sock");
    ASSERT_TRUE(server.ok());
    ASSERT_EQ(runTool({"press", dir, "A2", "A14"}), 0);
    EXPECT_EQ(server.nextConnection(), std::vector<Packet>{keyStatePacket({16, 98})});
    EXPECT_EQ(runTool({"press", dir, "Escape"}), 1);
}

TEST_F(CommandLineTest, ClickPlaysTheKeySignatureOnTheStandardSocket) {
    ASSERT_EQ(runTool({"init", dir}), 0);
    SocketServer server(dir + "/standard.sock");
    ASSERT_TRUE(server.ok());
    ASSERT_EQ(runTool({"click", dir, "#25"}), 0);
    const Packet none{1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<Packet> expected{
        {1, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}, none, // marker
        {1, 0, 0x02, 0, 0, 0, 0, 0, 0, 0}, none, // digit 3
        {1, 0x80, 0, 0, 0, 0, 0, 0, 0, 0}, none, // digit 2
    };
    EXPECT_EQ(server.nextConnection(), expected);
    EXPECT_EQ(runTool({"click", dir, "A", "B"}), 2);
}

TEST_F(CommandLineTest, RenderDrawsTheKeyboardWithItsDisplays) {
    ASSERT_EQ(runTool({"init", dir}), 0);
    // Escape (display 99) all red, the displays driven.
    std::vector<std::uint8_t> red(4608);
    for (std::size_t i = 0; i < red.size(); i += 2)
        red[i] = 0xF8;
    std::ofstream(dir + "/vTavirex/dynamic/099.sys", std::ios::binary)
        .write(reinterpret_cast<const char*>(red.data()), static_cast<std::streamsize>(red.size()));
    std::ofstream(dir + "/vTavirex/layout.sys", std::ios::binary) << std::string(114, '\x01');

    const std::string out = (folder.path() / "out.png").string();
    ASSERT_EQ(runTool({"render", dir, out}), 0);
    cairo_surface_t* png = cairo_image_surface_create_from_png(out.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 1304);
    std::uint32_t escape; // the exact pixels are the renderer's own tests
    std::memcpy(&escape,
                cairo_image_surface_get_data(png) + 61 * cairo_image_surface_get_stride(png) + 66 * 4, 4);
    EXPECT_EQ(escape, 0xFFFF0000u);
    cairo_surface_destroy(png);
    EXPECT_EQ(runTool({"render", dir, (folder.path() / "no-such-folder" / "out.png").string()}), 1);
}

} // namespace
