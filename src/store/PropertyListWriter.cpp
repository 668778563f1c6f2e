#include "store/PropertyListWriter.h"

#include "core/Log.h"
#include "store/PropertyListReader.h"
#include "store/XmlDocument.h"

namespace corvane {
namespace {

void appendTextElement(pugi::xml_node parent, const char* name, const std::string& text) {
    auto element = parent.append_child(name);
    // An empty text gets no text node, so it prints in the short empty form.
    if (!text.empty())
        element.append_child(pugi::node_pcdata).set_value(text.c_str());
}

// False only when the tree is too deep to be a stored document (then nothing should be saved).
bool writeLevel(pugi::xml_node dict, const KVPropertyNode& node, const KVImageEntryWriter* storeImage,
                int depth) {
    if (depth > kMaxPropertyListDepth) {
        corvane::logger("store").error(
            "property tree under \"{}\" is nested deeper than {} levels; not written", node.name(),
            kMaxPropertyListDepth);
        return false;
    }
    for (const auto& child : node.children()) {
        if (storeImage && child->image()) {
            (*storeImage)(*child);
            continue;
        }
        appendTextElement(dict, "key", child->name());
        if (child->hasChildren()) {
            if (!writeLevel(dict.append_child("dict"), *child, storeImage, depth + 1))
                return false;
        } else if (child->value() == "true" || child->value() == "false") {
            dict.append_child(child->value().c_str());
        } else {
            appendTextElement(dict, "string", child->value());
        }
    }
    return true;
}

} // namespace

bool writeEntries(pugi::xml_node dict, const KVPropertyNode& node) {
    return writeLevel(dict, node, nullptr, 1);
}

bool writeEntries(pugi::xml_node dict, const KVPropertyNode& node, const KVImageEntryWriter& storeImage) {
    return writeLevel(dict, node, &storeImage, 1);
}

bool savePropertyList(const KVPropertyNode& node, const std::string& path, KVFileSystem& fs) {
    auto document = KVXmlDocument::fromTemplate(path);
    if (!writeEntries(document.topDictionary(), node))
        return false;
    return document.save(fs);
}

} // namespace corvane
