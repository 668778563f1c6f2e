#include "store/ItemFolders.h"

#include "core/Log.h"
#include "images/KVImage.h"
#include "store/FileTree.h"
#include "store/ImageFiles.h"
#include "store/PropertyListReader.h"
#include "store/PropertyListWriter.h"
#include "store/XmlDocument.h"

#include <unordered_set>

namespace corvane {
namespace {

constexpr const char* kGroupDocument = "/Group.plist";
constexpr const char* kLayerDocument = "/Layer.plist";

// A group may contain itself through a symlinked folder; the walk stops at the same depth as the reader.
constexpr int kMaxGroupDepth = kMaxPropertyListDepth;

// Adds the document's entries to `node`; a document that cannot be read, or only in part, adds nothing.
// False when the document is there but cannot be read.
bool readDocumentInto(const std::string& path, KVPropertyNode& node) {
    if (!pathExists(path))
        return true;
    KVXmlDocument document(path);
    if (!document.load())
        return false;
    const auto dict = document.topDictionary();
    if (!dict)
        return true;
    auto entries = KVPropertyNode::create(node.name());
    if (!readDictionary(dict, *entries)) {
        corvane::logger("store").warn("{} is nested too deeply; ignored", path);
        return false;
    }
    std::unordered_set<std::string> present;
    for (const auto& child : node.children())
        present.insert(child->name());
    for (const auto& entry : entries->children()) {
        if (present.count(entry->name()))
            node.setChild(entry);
        else
            node.appendNewChild(entry);
    }
    return true;
}

// The items of a group whose document is damaged: every subfolder that holds an item, by name. Without
// this the next save would take them for deleted items and remove them with all their pictures.
KVPtr<KVPropertyNode> recoveredItemOrder(const std::string& folder) {
    auto order = KVPropertyNode::create("ItemOrder");
    for (const auto& name : subfolderNames(folder)) {
        const std::string item = folder + "/" + name;
        if (pathExists(item + kGroupDocument) || pathExists(item + kLayerDocument))
            order->appendNewChild(KVPropertyNode::create(name));
    }
    return order;
}

void loadItemAt(const std::string& folder, KVPropertyNode& node, const KVKeyNamePredicate& isKeyName,
                int depth);

void loadGroupAt(const std::string& folder, KVPropertyNode& node, const KVKeyNamePredicate& isKeyName,
                 int depth) {
    node.addChild("Type", "Group");
    if (!readDocumentInto(folder + kGroupDocument, node)) {
        corvane::logger("store").error("{}{} cannot be read; its items are taken from the folders there",
                                       folder, kGroupDocument);
        node.setChild(recoveredItemOrder(folder));
    }
    const auto order = node.findChild("ItemOrder");
    if (!order)
        return;
    if (depth >= kMaxGroupDepth) {
        corvane::logger("store").warn("groups below {} are nested too deeply; not read", folder);
        return;
    }
    for (const auto& entry : order->children()) {
        if (!isPlainFileName(entry->name())) {
            corvane::logger("store").warn("item \"{}\" in {} is not a folder name; skipped", entry->name(),
                                          folder);
            continue;
        }
        loadItemAt(folder + "/" + entry->name(), *entry, isKeyName, depth + 1);
    }
}

void loadLayerAt(const std::string& folder, KVPropertyNode& node, const KVKeyNamePredicate& isKeyName) {
    readDocumentInto(folder + kLayerDocument, node);
    const auto buttons = node.findChild("Buttons");
    if (!buttons)
        return;
    for (const auto& entry : buttons->children()) {
        if (!isKeyName(entry->name()))
            continue;
        const std::string path = folder + "/" + entry->name() + ".png";
        if (!pathExists(path))
            continue;
        // A picture that cannot be decoded stays attached by its file name alone: the file is kept and
        // the key shows nothing new until it can be read.
        auto image = std::make_shared<KVImage>();
        image->setSourcePath(path);
        if (!image->reload())
            corvane::logger("store").warn("cannot read the key picture {}", path);
        entry->addChild("Image", entry->name(), image);
    }
}

void loadItemAt(const std::string& folder, KVPropertyNode& node, const KVKeyNamePredicate& isKeyName,
                int depth) {
    if (pathExists(folder + kGroupDocument))
        loadGroupAt(folder, node, isKeyName, depth);
    else if (pathExists(folder + kLayerDocument))
        loadLayerAt(folder, node, isKeyName);
}

bool saveGroup(const std::string& folder, const KVPropertyNode& node, bool writeAll, KVFileSystem& fs,
               int depth);

bool saveItemAt(const std::string& parentFolder, const KVPropertyNode& node, bool writeAll, KVFileSystem& fs,
                int depth) {
    if (!isPlainFileName(node.name())) {
        corvane::logger("store").error("item \"{}\" cannot be stored in {}: not a folder name", node.name(),
                                       parentFolder);
        return false;
    }
    const std::string folder = parentFolder + "/" + node.name();
    if (!ensureFolder(folder))
        return false;
    if (node.childValue("Type") == "Group")
        return saveGroup(folder, node, writeAll, fs, depth);
    return savePropertyListWithImages(node, folder + kLayerDocument, folder, writeAll, fs);
}

bool saveGroup(const std::string& folder, const KVPropertyNode& node, bool writeAll, KVFileSystem& fs,
               int depth) {
    if (depth >= kMaxGroupDepth) {
        corvane::logger("store").error("groups below {} are nested too deeply; not written", folder);
        return false;
    }
    auto document = KVXmlDocument::fromTemplate(folder + kGroupDocument);
    auto dict = document.topDictionary();
    dict.append_child("key").append_child(pugi::node_pcdata).set_value("ItemOrder");
    auto array = dict.append_child("array");

    bool ok = true;
    if (const auto order = node.findChild("ItemOrder")) {
        for (const auto& item : order->children()) {
            if (!saveItemAt(folder, *item, writeAll, fs, depth + 1)) {
                ok = false;
                if (!isPlainFileName(item->name()))
                    continue; // never listed, so it cannot be looked for outside the group's folder
            }
            array.append_child("string").append_child(pugi::node_pcdata).set_value(item->name().c_str());
        }
    }
    // "ItemOrder" went in as an array above and "Type" is implied by the document's name.
    auto rest = node.copy();
    rest->removeChild("ItemOrder");
    rest->removeChild("Type");
    return writeEntries(dict, *rest) && document.save(fs) && ok;
}

} // namespace

void loadItemFolder(const std::string& folder, KVPropertyNode& node, const KVKeyNamePredicate& isKeyName) {
    loadItemAt(folder, node, isKeyName, 0);
}

void loadGroupFolder(const std::string& folder, KVPropertyNode& node, const KVKeyNamePredicate& isKeyName) {
    loadGroupAt(folder, node, isKeyName, 0);
}

bool saveItemFolder(const std::string& parentFolder, const KVPropertyNode& node, bool writeAll,
                    KVFileSystem& fs) {
    return saveItemAt(parentFolder, node, writeAll, fs, 0);
}

} // namespace corvane
