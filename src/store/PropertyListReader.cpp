#include "store/PropertyListReader.h"

#include "core/Log.h"
#include "store/XmlDocument.h"

#include <cstring>
#include <unordered_set>

namespace corvane {
namespace {

bool readDictionaryAt(const pugi::xml_node& dict, KVPropertyNode& node, int depth);

// Set-child semantics (a repeated name replaces the earlier entry in place) without a scan per entry.
class ChildInserter {
public:
    explicit ChildInserter(KVPropertyNode& node) : m_node(node) {
        for (const auto& child : node.children())
            m_seen.insert(child->name());
    }

    void insert(const KVPtr<KVPropertyNode>& child) {
        if (m_seen.insert(child->name()).second)
            m_node.appendNewChild(child);
        else
            m_node.setChild(child);
    }

private:
    KVPropertyNode& m_node;
    std::unordered_set<std::string> m_seen;
};

void readArray(const pugi::xml_node& array, KVPropertyNode& node) {
    ChildInserter inserter(node);
    // A repeated item keeps the position of its first occurrence.
    for (auto item = array.child("string"); item; item = item.next_sibling("string"))
        inserter.insert(KVPropertyNode::create(item.child_value()));
}

bool readValue(const pugi::xml_node& value, KVPropertyNode& node, int depth) {
    const char* kind = value.name();
    if (std::strcmp(kind, "dict") == 0)
        return readDictionaryAt(value, node, depth + 1);
    if (std::strcmp(kind, "array") == 0)
        readArray(value, node);
    else if (std::strcmp(kind, "string") == 0)
        node.setValue(value.child_value());
    else // "true", "false" and any element never written here: the element's name is the value
        node.setValue(kind);
    return true;
}

bool readDictionaryAt(const pugi::xml_node& dict, KVPropertyNode& node, int depth) {
    if (depth > kMaxPropertyListDepth) {
        corvane::logger("store").warn("property list nested deeper than {} levels; refused",
                                      kMaxPropertyListDepth);
        return false;
    }
    ChildInserter inserter(node);
    for (auto key = dict.child("key"); key; key = key.next_sibling("key")) {
        const auto value = key.next_sibling();
        if (!value || value.type() != pugi::node_element)
            continue;
        auto child = KVPropertyNode::create(key.child_value());
        inserter.insert(child);
        if (!readValue(value, *child, depth))
            return false;
    }
    return true;
}

KVPtr<KVPropertyNode> readDocument(const KVXmlDocument& document, std::string name) {
    auto node = KVPropertyNode::create(std::move(name));
    if (const auto dict = document.topDictionary(); dict && !readDictionary(dict, *node))
        return nullptr;
    return node;
}

} // namespace

bool readDictionary(const pugi::xml_node& dict, KVPropertyNode& node) {
    return readDictionaryAt(dict, node, 1);
}

KVPtr<KVPropertyNode> loadPropertyList(const std::string& path, std::string name) {
    KVXmlDocument document(path);
    if (!document.load())
        return nullptr;
    auto node = readDocument(document, std::move(name));
    if (!node)
        corvane::logger("store").warn("{} is refused", path);
    return node;
}

KVPtr<KVPropertyNode> parsePropertyList(std::string_view bytes, std::string name) {
    KVXmlDocument document("");
    if (!document.parse(bytes))
        return nullptr;
    return readDocument(document, std::move(name));
}

} // namespace corvane
