#include "shell/SupportMail.h"

namespace {

// Everything but the unreserved characters of a URI is escaped; UTF-8 bytes are escaped one by one.
std::string percentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

constexpr std::string_view kLineBreak = "%0D%0A";

} // namespace

std::string supportMailLink(std::string_view address, const KVSupportVersions& versions) {
    std::string link = "mailto:";
    link += address;
    link += "?subject=Problem with Tavirex Corvane&body=Dear Support Team,%0D%0A%0D%0A%0D%0ASystem info: ";
    link += kLineBreak;
    if (!versions.firmware.empty())
        link += "Firmware version " + percentEncoded(versions.firmware);
    else
        link += "Device not connected";
    link += kLineBreak;
    link += "Configurator version " + percentEncoded(versions.configurator);
    return link;
}
