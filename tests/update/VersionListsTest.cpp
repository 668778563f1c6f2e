#include "update/VersionLists.h"

#include "update/FirmwareImage.h"

#include <gtest/gtest.h>

using namespace corvane::update;

namespace {

TEST(VersionLists, VersionIsTheFirstNumberDotNumberWithItsLetters) {
    EXPECT_EQ(extractVersion("TavirexV0.76b"), "0.76b");
    EXPECT_EQ(extractVersion("v 10.2 then 3.4"), "10.2");
    EXPECT_EQ(extractVersion("no version. 5."), "");
}

TEST(VersionLists, FirmwareListWithCrLfOrLfAloneKeepsEveryLetterOfTheNames) {
    for (const std::string end : {"\r\n", "\n"}) {
        const auto list =
            parseFirmwareList("Latest: 0.76b" + end + "0.70b\tfw070.bin" + end + "v0.62a\told.bin" + end);
        EXPECT_EQ(list.available, "0.76b");
        const std::vector<FirmwareEntry> expected{
            {"0.76b", "upgrade.bin"}, {"0.70b", "fw070.bin"}, {"0.62a", "old.bin"}};
        EXPECT_EQ(list.entries, expected) << "line end " << (end.size() == 2 ? "CR LF" : "LF");
    }
}

TEST(VersionLists, FirmwareListStopsAtALineWithoutTabOrLineEnd) {
    EXPECT_EQ(parseFirmwareList("0.76b\r\n0.70b\ta.bin\r\nno tab here\r\n0.60b\tb.bin\r\n").entries.size(),
              2u);
    EXPECT_EQ(parseFirmwareList("0.76b\r\n0.70b\ta.bin\r\n0.60b\tb.bin").entries.size(), 2u);
    const auto onlyHeader = parseFirmwareList("0.76b");
    ASSERT_EQ(onlyHeader.entries.size(), 1u);
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
    auto list = parseConfiguratorList("1.2.0\tcorvane-configurator_1.2.0_amd64.deb\r\nanything");
    EXPECT_EQ(list.version, "1.2.0");
    EXPECT_EQ(list.installerName, "corvane-configurator_1.2.0_amd64.deb");
    EXPECT_EQ(parseConfiguratorList("1.3\tCorvane Setup.deb\tx").installerName, "Corvane Setup.deb");
    list = parseConfiguratorList("1.2.0 corvane.deb\r\n");
    EXPECT_EQ(list.version, "");
    EXPECT_EQ(list.installerName, "");
    // The name becomes a file in the temporary folder: a path is never taken.
    list = parseConfiguratorList("9.9\t../../.bashrc\n");
    EXPECT_EQ(list.version, "9.9");
    EXPECT_EQ(list.installerName, "");
}

std::vector<uint8_t> validImage() {
    std::vector<uint8_t> payload(4000);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t(i * 7);
    return buildFirmwareImage(payload, 655360);
}

TEST(FirmwareImage, OnlyAWholeImageOfItsOwnAndOfTheKeyboardsSizePasses) {
    auto image = validImage();
    EXPECT_EQ(checkFirmwareImage(image), FirmwareImageProblem::None);

    auto shortImage = image;
    shortImage.pop_back();
    EXPECT_EQ(checkFirmwareImage(shortImage), FirmwareImageProblem::WrongSize);

    auto wrongChecksum = image;
    wrongChecksum[kFirmwarePayloadOffset + 10] ^= 1;
    EXPECT_EQ(checkFirmwareImage(wrongChecksum), FirmwareImageProblem::WrongChecksum);

    auto wrongHeader = image;
    wrongHeader[5] = '-';
    EXPECT_EQ(checkFirmwareImage(wrongHeader), FirmwareImageProblem::WrongHeader);

    // A length that would wrap around 32 bits must not pass as a short payload.
    auto hugeLength = image;
    for (size_t i = 0; i < 4; ++i)
        hugeLength[kFirmwareLengthOffset + i] = 0xFF;
    EXPECT_EQ(checkFirmwareImage(hugeLength), FirmwareImageProblem::PayloadOutside);

    EXPECT_EQ(checkFirmwareImage(std::span(image).first(20)), FirmwareImageProblem::TooShort);
}

TEST(FirmwareImage, ChecksumSumsTheComplementsOfThePayload) {
    const std::vector<uint8_t> payload{0, 255, 1};
    EXPECT_EQ(firmwareChecksum(payload), 255u + 0u + 254u);
    // The 21-byte minimum: one payload byte.
    const auto tiny = buildFirmwareImage(std::vector<uint8_t>{7}, 0);
    EXPECT_EQ(tiny.size(), 21u);
    EXPECT_EQ(checkFirmwareImage(tiny), FirmwareImageProblem::WrongSize);
}

} // namespace
