#include "system/KeyboardLayouts.h"

#include "FakeLayoutSystem.h"
#include "images/KVGlobalImageList.h"
#include "support/FakeHook.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"
#include "system/LanguagePicture.h"
#include "system/LayoutIds.h"
#include "system/LayoutRegistry.h"
#include "system/linux/SessionLayouts.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <set>

using namespace std::string_literals;

namespace {

KVXkbLayoutName xkb(const std::string& layout, const std::string& variant = {}) {
    return {layout, variant};
}

} // namespace

TEST(XkbLayoutName, ListsRulesNamesAndKeyboardDefaultsPairLayoutsWithVariants) {
    const std::vector<KVXkbLayoutName> expected{xkb("us"), xkb("de", "nodeadkeys"), xkb("ru")};
    EXPECT_EQ(corvane::parseXkbLayoutList(" us , de(nodeadkeys),ru"), expected);
    // Broken entries are left out, the good ones kept.
    EXPECT_EQ(corvane::parseXkbLayoutList("us,,de(,(x),fr(oss"), std::vector{xkb("us")});
    EXPECT_TRUE(corvane::parseXkbLayoutList("").empty());

    const std::string property("evdev\0pc105\0us,de,ru\0,nodeadkeys\0grp:alt_shift_toggle\0", 48);
    EXPECT_EQ(corvane::parseXkbRulesNames(property), expected);
    EXPECT_TRUE(corvane::parseXkbRulesNames(std::string("evdev\0pc105", 11)).empty());

    EXPECT_EQ(corvane::parseKeyboardDefaults("# KEYBOARD CONFIGURATION FILE\nXKBMODEL=\"pc105\"\n"
                                             "XKBLAYOUT=\"us,de,ru\"\nXKBVARIANT=',nodeadkeys,'\n"
                                             "XKBOPTIONS=\"\"\nBACKSPACE=\"guess\"\n"),
              expected);
    EXPECT_EQ(corvane::parseKeyboardDefaults("XKBLAYOUT=fr\n"), std::vector{xkb("fr")});
    EXPECT_EQ(xkb("de", "nodeadkeys").text(), "de(nodeadkeys)");
}

TEST(LayoutIds, WindowsHandlesForItsLayoutsAndStableDerivedOnesOtherwise) {
    EXPECT_EQ(corvane::layoutIdFor(xkb("us", "intl"), "eng"), 0xF0010409u);
    EXPECT_EQ(corvane::layoutIdFor(xkb("ch", "fr"), "fra"), 0x100C100Cu);
    EXPECT_EQ(corvane::windowsLayoutName(0x04190419u), xkb("ru"));

    // A layout Windows lacks: the language word of its language, a layout word of its own range.
    const uint32_t nodeadkeys = corvane::layoutIdFor(xkb("de", "nodeadkeys"), "deu");
    EXPECT_EQ(nodeadkeys & 0xFFFF, 0x0407u);
    EXPECT_GE(nodeadkeys >> 16, 0x6000u);
    EXPECT_LT(nodeadkeys >> 16, 0xE000u);
    EXPECT_EQ(corvane::layoutIdFor(xkb("de", "nodeadkeys"), "deu"), nodeadkeys);
    // A language outside the table lands in the user-defined primary languages.
    const uint16_t armenian = corvane::languageIdFor("hye");
    EXPECT_GE(armenian & 0x3FF, 0x200);
    EXPECT_EQ(corvane::findLanguage(armenian), nullptr);
}

TEST(LayoutIds, EveryLayoutOfTheRegistryGetsAnIdentifierOfItsOwn) {
    const KVLayoutRegistry registry;
    ASSERT_GT(registry.entries().size(), 500u) << "xkb-data is needed";
    FakeLayoutSystem none;
    KVKeyboardLayouts catalogue(none, nullptr);
    std::map<uint32_t, std::string> seen;
    for (const auto& entry : registry.entries()) {
        const auto name = entry.name.text();
        const auto language = entry.languages.empty() ? ""s : entry.languages.front();
        const uint32_t id = corvane::layoutIdFor(entry.name, language);
        auto [it, added] = seen.emplace(id, name);
        // Only the table maps two XKB names to one Windows layout.
        if (!added) {
            EXPECT_TRUE(corvane::windowsLayoutId(entry.name).has_value())
                << name << " and " << it->second << " share " << std::hex << id;
        }
        // The way back finds a layout with this identifier.
        const auto back = catalogue.XkbName(id);
        ASSERT_TRUE(back.has_value()) << name;
        EXPECT_EQ(corvane::layoutIdFor(*back, language), id) << name;
    }
}

TEST(KeyboardLayouts, InstalledCurrentDefaultLayoutsAndTheirNames) {
    FakeLayoutSystem system;
    system.layouts = {xkb("us"), xkb("de", "nodeadkeys"), xkb("us"), xkb("ru"), xkb("am")};
    KVKeyboardLayouts catalogue(system, nullptr);
    const uint32_t nodeadkeys = corvane::layoutIdFor(xkb("de", "nodeadkeys"), "deu");
    const auto installed = catalogue.InstalledLayouts();
    ASSERT_EQ(installed.size(), 4u);
    EXPECT_EQ(installed, (std::vector<uint32_t>{0x04090409, nodeadkeys, 0x04190419, installed[3]}));

    // The group indexes the session's list as it is, the repeated "us" included.
    for (auto [group, expected] :
         {std::pair{0, 0x04090409u}, {3, 0x04190419u}, {1, nodeadkeys}, {9, 0x04090409u}}) {
        system.group = group;
        EXPECT_EQ(catalogue.CurrentLayout(), expected) << group;
    }

    EXPECT_EQ(catalogue.LayerTitle(nodeadkeys), "German - German (no dead keys)");
    // Not installed, still named: through the Windows table and through the whole registry.
    EXPECT_EQ(catalogue.LayoutName(0x04190419), "Russian");
    EXPECT_EQ(catalogue.LayoutName(corvane::layoutIdFor(xkb("fr", "bepo"), "fra")), "French (BEPO)");
    EXPECT_EQ(catalogue.LayoutName(0x7FFF0409), "");
    // A language the program has no name for: the title is the layout name alone.
    const auto armenian = installed[3];
    EXPECT_EQ(catalogue.LanguageName(armenian), "");
    EXPECT_EQ(catalogue.LayerTitle(armenian), "Armenian");
    EXPECT_EQ(catalogue.LanguageAbbreviation(armenian & 0xFFFF), "HY");
    EXPECT_EQ(catalogue.LanguageAbbreviation(0x0809), "EN") << "sublanguages share the abbreviation";
    EXPECT_EQ(catalogue.DecimalSeparator(0x0407) + catalogue.DecimalSeparator(0x0807) +
                  catalogue.DecimalSeparator(0x07FF),
              ",..");

    EXPECT_EQ(catalogue.DefaultLayout(), nodeadkeys);
    system.layouts = {xkb("us"), xkb("us", "intl")};
    EXPECT_EQ(catalogue.DefaultLayout(), 0x04090409u);
    system.layouts.clear();
    EXPECT_EQ(catalogue.DefaultLayout(), 0u);
    EXPECT_EQ(catalogue.CurrentLayout(), 0u);
}

TEST(KeyboardLayouts, LanguagePicturesAreDrawnOnceAndOnlyForKnownLanguages) {
    FakeLayoutSystem system;
    system.layouts = {xkb("us"), xkb("de")};
    KVGlobalImageList images;
    KVKeyboardLayouts catalogue(system, &images);
    const int before = images.count();
    const int german = catalogue.LayoutImageIndex(0x04070407);
    ASSERT_GE(german, before);
    EXPECT_EQ(catalogue.LayoutImageIndex(0x04070407), german);
    EXPECT_EQ(catalogue.LayoutImageIndex(0x7FFF07FF), -1);
    EXPECT_EQ(images.count(), before + 1);

    // White letters in the middle rows on a coloured ground.
    const auto* icon = images.icon(german);
    ASSERT_NE(icon, nullptr);
    auto pixel = [&](int x, int y) { return &(*icon)[static_cast<std::size_t>((y * 16 + x) * 4)]; };
    int white = 0;
    for (int y = 2; y < 14; ++y)
        for (int x = 0; x < 16; ++x)
            white += pixel(x, y)[0] > 0xE0 && pixel(x, y)[2] > 0xE0;
    EXPECT_GT(white, 10);
    EXPECT_LT(pixel(0, 0)[0], 0xE0);
    EXPECT_FALSE(corvane::drawLanguagePicture("").has_value());
}

TEST(SessionLayouts, OverrideThenKeyboardDefaultsThenUs) {
    TempDir folder;
    const auto defaults = folder.write("keyboard", "XKBLAYOUT=\"de,fr\"\nXKBVARIANT=\"nodeadkeys,\"\n");
    ScopedEnvironment env;
    env.unset("DISPLAY");
    env.set("CORVANE_XKB_LAYOUTS", "us,ru");
    KVFakeHook hook;
    KVSessionLayouts overridden(&hook, defaults.string());
    EXPECT_EQ(overridden.installedLayouts(), (std::vector{xkb("us"), xkb("ru")}));
    hook.setLayoutGroup(1);
    EXPECT_EQ(overridden.currentGroup(), 1u);

    env.set("CORVANE_XKB_LAYOUTS", "(((");
    KVSessionLayouts fromDefaults(nullptr, defaults.string());
    EXPECT_EQ(fromDefaults.installedLayouts(), (std::vector{xkb("de", "nodeadkeys"), xkb("fr")}));
    EXPECT_FALSE(fromDefaults.currentGroup().has_value());

    env.unset("CORVANE_XKB_LAYOUTS");
    KVSessionLayouts fallback(nullptr, (folder.path() / "missing").string());
    EXPECT_EQ(fallback.installedLayouts(), std::vector{xkb("us")});
}
