#include "conditions/ModifierMask.h"

#include "conditions/SysLayoutCondition.h"

#include <gtest/gtest.h>

using namespace corvane;

TEST(ModifierMaskTest, LettersParseInAnyOrderAndOnlyMainWholeIsTheEmptyMask) {
    EXPECT_EQ(parseModifierLetters("rnklzsca"), 255u);
    EXPECT_EQ(parseModifierLetters("c-x?S"), 2u); // upper case is not a letter of the table
    EXPECT_EQ(parseModifierLetters("Main"), 0u);
    // Not the word: its letters count one by one.
    EXPECT_EQ(parseModifierLetters("main"), 1u | 64u);
}

TEST(ModifierMaskTest, EveryMaskWritesLettersAndNamesInBitOrderAndReadsBack) {
    EXPECT_EQ(modifierLetters(255), "acszlknr");
    for (uint32_t mask = 0; mask <= 255; ++mask)
        EXPECT_EQ(parseModifierLetters(modifierLetters(mask)), mask) << mask;
    EXPECT_EQ(modifierDisplayText(255), "Alt+Ctrl+Shift+Win+Caps+Kana+Num+Scroll");
    EXPECT_EQ(modifierDisplayText(256), "Main");
}

TEST(ModifierMaskTest, LayoutTextIsEightUpperCaseDigitsAndReadsEitherCase) {
    EXPECT_EQ(layoutText(0x409), "00000409");
    EXPECT_EQ(parseLayoutText("f002040c"), 0xF002040Cu);
    EXPECT_EQ(parseLayoutText("xyz"), 0u);
}
