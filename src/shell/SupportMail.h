#pragma once

#include <string>
#include <string_view>

// The two version texts a support mail reports. The shell fills them: the firmware of the connected
// keyboard (empty when none is connected) and this program's own version.
struct KVSupportVersions {
    std::string firmware;
    std::string configurator;
};

// The "mailto:" link of "Contact support...": a fixed subject and a body that names the versions.
// The version texts are percent-encoded, so a '&', '#' or space in one cannot cut the link short.
std::string supportMailLink(std::string_view address, const KVSupportVersions& versions);
