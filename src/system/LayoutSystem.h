#pragma once

#include "system/XkbLayoutName.h"

#include <optional>
#include <vector>

// Where the keyboard-layout catalogue learns which layouts the session has and which one is in use.
// Both are asked afresh at every call.
class IKVLayoutSystem {
public:
    virtual ~IKVLayoutSystem() = default;
    // The session's layouts in its order (the order of its layout groups).
    virtual std::vector<KVXkbLayoutName> installedLayouts() const = 0;
    // The group in use: an index into installedLayouts(); nullopt when the session cannot tell.
    virtual std::optional<unsigned> currentGroup() const = 0;
};
