#include "shell/CommandLine.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

CKVCommandLineInfo parse(std::vector<const char*> args) {
    args.insert(args.begin(), "corvane-configurator");
    return CKVCommandLineInfo::parse(int(args.size()), args.data());
}

TEST(CommandLine, SwitchesInEveryFormAndCaseAndTheLastLayersPath) {
    for (const char* restart : {"-Restart", "/restart", "--RESTART"}) {
        const auto info = parse({restart});
        EXPECT_TRUE(info.restart && !info.minimized && info.errors.empty()) << restart;
    }
    EXPECT_TRUE(parse({"-MINIMIZED"}).minimized);
    EXPECT_FALSE(parse({"minimized"}).minimized) << "a bare word is not a switch";

    EXPECT_EQ(parse({"a.layers", "-minimized", "/home/me/Games.LAYERS"}).layersFile, "/home/me/Games.LAYERS");
    EXPECT_EQ(parse({"/home/me/Shared.ZQLZ"}).layersFile, "/home/me/Shared.ZQLZ");
    EXPECT_TRUE(parse({"/tmp/notes.txt"}).layersFile.empty());
}

TEST(CommandLine, OneUpdateCommandWithItsValue) {
    using Kind = KVUpdateCommand::Kind;
    auto info = parse({"--firmware-install", "/tmp/fw.bin"});
    ASSERT_TRUE(info.updateCommand);
    EXPECT_EQ(info.updateCommand->kind, Kind::InstallFirmware);
    EXPECT_EQ(info.updateCommand->argument, "/tmp/fw.bin");
    info = parse({"--firmware-upgrade=0.70b"});
    EXPECT_EQ(info.updateCommand->kind, Kind::UpgradeFirmware);
    EXPECT_EQ(info.updateCommand->argument, "0.70b");
    EXPECT_EQ(parse({"--firmware-upgrade", "x.layers"}).updateCommand->argument, "") << "the latest";
    EXPECT_EQ(parse({"--update-check"}).updateCommand->kind, Kind::Check);

    EXPECT_FALSE(parse({"--firmware-install"}).errors.empty());
    EXPECT_FALSE(parse({"--update-check=now"}).errors.empty());
    EXPECT_FALSE(parse({"--update-check", "--configurator-install"}).errors.empty());
}

TEST(CommandLine, LongOptionsTakeTwoDashesAndMistakesAreErrors) {
    auto info = parse({"--headless", "--virtual-keyboard", "/tmp/kbd", "-minimized"});
    EXPECT_TRUE(info.headless && info.minimized && info.errors.empty());
    EXPECT_EQ(info.virtualKeyboard.value_or(""), "/tmp/kbd");
    EXPECT_EQ(parse({"--virtual-keyboard=/tmp/other"}).virtualKeyboard.value_or(""), "/tmp/other");
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_FALSE(parse({"-headless"}).headless);

    for (const char* mistake : {"--virtual-keyboard", "--frobnicate", "--headless=yes"})
        EXPECT_EQ(parse({mistake}).errors.size(), 1u) << mistake;
}

} // namespace
