#pragma once

#include "system/LayoutSystem.h"

// A session whose layouts and group a test sets.
struct FakeLayoutSystem final : IKVLayoutSystem {
    std::vector<KVXkbLayoutName> layouts;
    std::optional<unsigned> group;

    std::vector<KVXkbLayoutName> installedLayouts() const override { return layouts; }
    std::optional<unsigned> currentGroup() const override { return group; }
};
