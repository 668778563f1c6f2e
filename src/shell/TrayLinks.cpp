#include "shell/TrayLinks.h"

#include "core/Log.h"
#include "store/PropertyListReader.h"

KVTrayLinks KVTrayLinks::load(const std::string& programFolder) {
    const std::string path = programFolder + "/" + kFileName;
    auto document = corvane::loadPropertyList(path, "Links");
    if (!document) {
        corvane::logger("shell").error("cannot read the tray's web and mail addresses from {}", path);
        return {};
    }
    return {document->childValue("AboutPage"), document->childValue("ForumPage"),
            document->childValue("SupportAddress")};
}
