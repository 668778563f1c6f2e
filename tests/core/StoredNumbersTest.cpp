#include "core/StoredNumbers.h"

#include <gtest/gtest.h>

using namespace corvane;

TEST(StoredNumbers, LeadingBlanksAndPlusThenTheLeadingDigitsCount) {
    EXPECT_EQ(readStoredDecimal("028"), 28u);
    EXPECT_EQ(readStoredDecimal(" \t+42"), 42u);
    EXPECT_EQ(readStoredDecimal("55abc"), 55u);
    EXPECT_EQ(readStoredDecimal("4294967295"), 4294967295u);
    // Too large for 32 bits: the largest number, not nothing.
    EXPECT_EQ(readStoredDecimal("4294967296"), 4294967295u);
    EXPECT_EQ(readStoredDecimal("99999999999999999999999999"), 4294967295u);
    for (const char* unreadable : {"", "  ", "+", "-5", "x9", "+ 5", "++5"})
        EXPECT_EQ(readStoredDecimal(unreadable), std::nullopt) << '"' << unreadable << '"';
}

TEST(StoredNumbers, HexadecimalReadsEitherCaseByTheSameRules) {
    EXPECT_EQ(readStoredHex("F002040C"), 0xF002040Cu);
    EXPECT_EQ(readStoredHex(" +f002040c"), 0xF002040Cu);
    EXPECT_EQ(readStoredHex("409g"), 0x409u);
    EXPECT_EQ(readStoredHex("123456789"), 0xFFFFFFFFu);
    EXPECT_EQ(readStoredHex("xyz"), std::nullopt);
    EXPECT_EQ(readStoredDecimal("1A"), 1u); // a decimal stops at the first letter
}
