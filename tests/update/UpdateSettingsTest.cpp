#include "update/UpdateSettings.h"

#include "support/TempDir.h"
#include "update/ProgressPrinter.h"
#include "update/UpdateCommands.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <map>

namespace {

KVUpdateSettings::Environment environment(std::map<std::string, std::string> values) {
    return [values](const char* name) -> std::optional<std::string> {
        if (auto it = values.find(name); it != values.end())
            return it->second;
        return std::nullopt;
    };
}

TEST(UpdateSettings, ThePackagersFileSetsTheAddressesAndTheEnvironmentOverridesThem) {
    TempDir program;
    program.write("Updates.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>FirmwareDirectory</key><string>https://example.org/fw/</string><key>StallTimeout</key><string>5</string>
<key>ConfiguratorDirectory</key><string>https://example.org/cfg/</string>
<key>FirmwareInstructions</key><string>https://example.org/help</string><key>ConnectTimeout</key><string>forever</string>
</dict></plist>)");
    auto settings = KVUpdateSettings::load(program.path().string(), environment({}));
    EXPECT_EQ(settings.firmwareDirectory, "https://example.org/fw/");
    EXPECT_EQ(settings.configuratorDirectory, "https://example.org/cfg/");
    EXPECT_EQ(settings.instructionsPage, "https://example.org/help");
    EXPECT_EQ(settings.stallTimeout, std::chrono::seconds(5));
    EXPECT_EQ(settings.connectTimeout, std::chrono::seconds(20));
    EXPECT_FALSE(settings.allowPlainHttp);

    settings = KVUpdateSettings::load(program.path().string(),
                                      environment({{"CORVANE_FIRMWARE_URL", "http://127.0.0.1:1/fw"}}));
    EXPECT_EQ(settings.firmwareDirectory, "http://127.0.0.1:1/fw");
    EXPECT_EQ(settings.configuratorDirectory, "https://example.org/cfg/");

    EXPECT_TRUE(KVUpdateSettings::load("/nonexistent", environment({})).firmwareDirectory.empty());
}

TEST(UpdateSettings, PlainHttpOnlyWhenAllowedAndNoOtherScheme) {
    EXPECT_FALSE(addressProblem("https://example.org/x", false));
    EXPECT_TRUE(addressProblem("http://example.org/x", false));
    EXPECT_FALSE(addressProblem("http://example.org/x", true));
    EXPECT_TRUE(addressProblem("file:///etc/passwd", true));
    EXPECT_TRUE(addressProblem("HTTPS://example.org", true));
    EXPECT_TRUE(addressProblem("", true));
    EXPECT_EQ(joinAddress("https://h/fw", "a.bin"), "https://h/fw/a.bin");
    EXPECT_EQ(joinAddress("https://h/fw/", "a.bin"), "https://h/fw/a.bin");
    EXPECT_EQ(joinAddress("https://h/cfg", "Corvane Setup+1.deb"), "https://h/cfg/Corvane%20Setup%2B1.deb");
}

// The commands that work are run end to end through the control tool; here one that lacks its argument.
TEST(UpdateCommands, ACommandWithoutItsArgumentIsRefusedWithAReason) {
    std::string error;
    EXPECT_FALSE(parseUpdateCommand(std::vector<std::string>{"firmware", "install"}, error));
    EXPECT_FALSE(error.empty());
}

std::string printed(bool terminal, const std::vector<unsigned>& steps) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    KVProgressPrinter printer(out, terminal);
    for (unsigned step : steps)
        printer.show(step);
    printer.finish();
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

TEST(ProgressPrinter, ALinePerTenPercentInLogsAndABarOnATerminal) {
    EXPECT_EQ(printed(false, {0, 3, 9, 10, 15, 19, 35, 100, 100}),
              "downloaded 10%\ndownloaded 30%\ndownloaded 100%\n");
    const std::string bar = printed(true, {0, 50, 50, 100});
    EXPECT_EQ(std::count(bar.begin(), bar.end(), '\r'), 3);
    EXPECT_NE(bar.find(std::string(20, '#') + std::string(20, ' ') + "]  50%"), std::string::npos);
    EXPECT_EQ(bar.back(), '\n');
}

} // namespace
