#include "shell/CommandLine.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

CKVCommandLineInfo parse(std::vector<const char*> args) {
    args.insert(args.begin(), "corvane-configurator");
    return CKVCommandLineInfo::parse(int(args.size()), args.data());
}

TEST(CommandLine, SwitchesInEveryFormAndCase) {
    for (const char* restart : {"-Restart", "/restart", "--RESTART", "-restart"}) {
        const auto info = parse({restart});
        EXPECT_TRUE(info.restart) << restart;
        EXPECT_FALSE(info.minimized) << restart;
        EXPECT_TRUE(info.errors.empty()) << restart;
    }
    EXPECT_TRUE(parse({"/minimized"}).minimized);
    EXPECT_TRUE(parse({"-MINIMIZED"}).minimized);
    EXPECT_FALSE(parse({"minimized"}).minimized) << "a bare word is not a switch";
}

TEST(CommandLine, LayersPathKeptAsWrittenWhateverItsForm) {
    EXPECT_EQ(parse({"/home/me/Games.LAYERS"}).layersFile, "/home/me/Games.LAYERS");
    EXPECT_EQ(parse({"relative/x.Layers"}).layersFile, "relative/x.Layers");
    // The last one wins.
    EXPECT_EQ(parse({"a.layers", "-minimized", "b.layers"}).layersFile, "b.layers");
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

TEST(CommandLine, LongOptions) {
    auto info = parse({"--headless", "--virtual-keyboard", "/tmp/kbd", "-minimized"});
    EXPECT_TRUE(info.headless);
    EXPECT_TRUE(info.minimized);
    ASSERT_TRUE(info.virtualKeyboard);
    EXPECT_EQ(*info.virtualKeyboard, "/tmp/kbd");
    EXPECT_TRUE(info.errors.empty());

    info = parse({"--virtual-keyboard=/tmp/other"});
    EXPECT_EQ(info.virtualKeyboard.value_or(""), "/tmp/other");
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"--version"}).version);
    EXPECT_FALSE(parse({"-headless"}).headless) << "long options take two dashes";
}

TEST(CommandLine, MistakesAreErrors) {
    EXPECT_EQ(parse({"--virtual-keyboard"}).errors.size(), 1u);
    EXPECT_EQ(parse({"--frobnicate"}).errors.size(), 1u);
    EXPECT_EQ(parse({"--headless=yes"}).errors.size(), 1u);
}

} // namespace
