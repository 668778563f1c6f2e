#include "core/Strings.h"

#include "core/Guid.h"

#include <gtest/gtest.h>
#include <set>

using namespace corvane;

TEST(Strings, Utf16RoundTripIncludingSurrogatesAndBadInput) {
    const std::string text = "Größe €  \xF0\x9F\x8E\xB9";
    const auto wide = toUtf16(text);
    EXPECT_EQ(wide.size(), 11u); // the last character takes a surrogate pair
    EXPECT_EQ(toUtf8(wide), text);
    EXPECT_EQ(toUtf16(std::string("a\xFF") + "b"), u"a\uFFFDb");
    EXPECT_EQ(toUtf16("\xE2\x82"), u"\uFFFD\uFFFD"); // cut off
    EXPECT_EQ(toUtf16("\xC0\xAF"), u"\uFFFD");       // overlong
    EXPECT_EQ(toUtf8(u"\xD800x"), "\xEF\xBF\xBDx");  // lone surrogate
}

TEST(Guid, FreshGuidsHaveRegistryFormAndDiffer) {
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const auto guid = newGuidString();
        ASSERT_TRUE(isGuidString(guid)) << guid;
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 200u);
    EXPECT_FALSE(isGuidString("{0123abcd-0000-0000-0000-000000000000}"));
    EXPECT_FALSE(isGuidString("0123ABCD-0000-0000-0000-000000000000"));
}
