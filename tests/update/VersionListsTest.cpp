#include "update/VersionLists.h"

#include "update/FirmwareImage.h"

#include <functional>
#include <gtest/gtest.h>

using namespace corvane::update;

namespace {

TEST(VersionLists, VersionIsTheFirstNumberDotNumberWithItsLetters) {
    EXPECT_EQ(extractVersion("TavirexV0.76b"), "0.76b");
    EXPECT_EQ(extractVersion("v 10.2 then 3.4"), "10.2");
    EXPECT_EQ(extractVersion("no version. 5."), "");
}

TEST(VersionLists, FirmwareListKeepsEveryLetterOfTheNamesAndStopsAtALineWithoutTabOrLineEnd) {
    for (const std::string end : {"\r\n", "\n"}) {
        const auto list =
            parseFirmwareList("Latest: 0.76b" + end + "0.70b\tfw070.bin" + end + "v0.62a\told.bin" + end);
        EXPECT_EQ(list.available, "0.76b");
        const std::vector<FirmwareEntry> expected{
            {"0.76b", "upgrade.bin"}, {"0.70b", "fw070.bin"}, {"0.62a", "old.bin"}};
        EXPECT_EQ(list.entries, expected) << "line end " << (end.size() == 2 ? "CR LF" : "LF");
    }
    for (const char* cut : {"0.76b\r\n0.70b\ta.bin\r\nno tab here\r\n0.60b\tb.bin\r\n",
                            "0.76b\r\n0.70b\ta.bin\r\n0.60b\tb.bin"})
        EXPECT_EQ(parseFirmwareList(cut).entries.size(), 2u) << cut;
    EXPECT_EQ(parseFirmwareList("0.76b").entries.size(), 1u);
    EXPECT_TRUE(parseFirmwareList("nothing published\r\n").entries.empty());
}

TEST(VersionLists, NamesThatCouldLeaveTheDirectoryAreSkipped) {
    const auto list =
        parseFirmwareList("0.76b\n0.1\t../../etc/passwd\n0.2\thttp://x/y\n0.3\t.hidden\n0.4\tok-1.bin\n");
    ASSERT_EQ(list.entries.size(), 2u);
    EXPECT_EQ(list.entries[1].fileName, "ok-1.bin");
    EXPECT_FALSE(isPlainFileName(std::string(256, 'a')));
}

TEST(VersionLists, ConfiguratorListIsVersionTabInstallerName) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"1.2.0\tcorvane-configurator_1.2.0_amd64.deb\r\nanything", "1.2.0",
         "corvane-configurator_1.2.0_amd64.deb"},
        {"1.3\tCorvane Setup.deb\tx", "1.3", "Corvane Setup.deb"},
        {"1.2.0 corvane.deb\r\n", "", ""},
        {"9.9\t../../.bashrc\n", "9.9", ""}}; // the name becomes a file in the temporary folder: never a path
    for (const auto& [text, version, installer] : cases) {
        const auto list = parseConfiguratorList(text);
        EXPECT_EQ(list.version, version) << text;
        EXPECT_EQ(list.installerName, installer) << text;
    }
}

TEST(FirmwareImage, OnlyAWholeImageOfItsOwnAndOfTheKeyboardsSizePasses) {
    std::vector<uint8_t> payload(4000);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t(i * 7);
    const std::pair<std::function<void(std::vector<uint8_t>&)>, FirmwareImageProblem> cases[] = {
        {[](auto&) {}, FirmwareImageProblem::None},
        {[](auto& image) { image.pop_back(); }, FirmwareImageProblem::WrongSize},
        {[](auto& image) { image[kFirmwarePayloadOffset + 10] ^= 1; }, FirmwareImageProblem::WrongChecksum},
        {[](auto& image) { image[5] = '-'; }, FirmwareImageProblem::WrongHeader},
        // A length that would wrap around 32 bits must not pass as a short payload.
        {[](auto& image) { std::fill_n(image.begin() + kFirmwareLengthOffset, 4, 0xFF); },
         FirmwareImageProblem::PayloadOutside},
        {[](auto& image) { image.resize(20); }, FirmwareImageProblem::TooShort}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        auto image = buildFirmwareImage(payload, 655360);
        cases[i].first(image);
        EXPECT_EQ(checkFirmwareImage(image), cases[i].second) << "case " << i;
    }

    // The checksum sums the complements of the payload; 21 bytes hold one payload byte.
    EXPECT_EQ(firmwareChecksum(std::vector<uint8_t>{0, 255, 1}), 255u + 0u + 254u);
    const auto tiny = buildFirmwareImage(std::vector<uint8_t>{7}, 0);
    EXPECT_EQ(tiny.size(), 21u);
    EXPECT_EQ(checkFirmwareImage(tiny), FirmwareImageProblem::WrongSize);
}

} // namespace
