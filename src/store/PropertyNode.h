#pragma once

#include "core/KVPtr.h"

#include <string>
#include <string_view>
#include <vector>

class KVImage;

// One node of a property tree: every stored document, a layer item's properties, a plug-in instance's
// settings and a condition's stored form are such trees. A dictionary is a node with children keyed by
// their names; an array keeps its items in the children's names; booleans are "true" and "false".
class KVPropertyNode {
public:
    using Children = std::vector<KVPtr<KVPropertyNode>>;

    KVPropertyNode(std::string name, std::string value, KVPtr<KVImage> image = {});

    static KVPtr<KVPropertyNode> create(std::string name, std::string value = {}, KVPtr<KVImage> image = {});

    const std::string& name() const { return m_name; }
    const std::string& value() const { return m_value; }
    const KVPtr<KVImage>& image() const { return m_image; }
    const Children& children() const { return m_children; }
    bool hasChildren() const { return !m_children.empty(); }

    void setName(std::string name) { m_name = std::move(name); }
    void setValue(std::string value) { m_value = std::move(value); }
    void setImage(KVPtr<KVImage> image) { m_image = std::move(image); }

    // The first child of exactly that name (case-sensitive), or an empty reference.
    KVPtr<KVPropertyNode> findChild(std::string_view name) const;
    std::string childValue(std::string_view name, std::string_view fallback = {}) const;
    KVPtr<KVImage> childImage(std::string_view name, const KVPtr<KVImage>& fallback = {}) const;

    // Replaces every child of the same name in place; appends when there was none. Answers whether it
    // appended. A null child changes nothing.
    bool setChild(const KVPtr<KVPropertyNode>& child);
    KVPtr<KVPropertyNode> addChild(std::string name, std::string value = {}, KVPtr<KVImage> image = {});
    bool removeChild(std::string_view name);
    // Appends without looking for a namesake, for readers that already know the name is new (keeps
    // reading a large dictionary linear).
    void appendNewChild(KVPtr<KVPropertyNode> child) { m_children.push_back(std::move(child)); }

    // Same name and value, its own copy of the image, and the same (shared) children.
    KVPtr<KVPropertyNode> copy() const;
    // The whole tree copied, pictures included: nothing is shared with the original, and the order of
    // children (an array's items may share a name) is kept.
    KVPtr<KVPropertyNode> deepCopy() const;

private:
    std::string m_name;
    std::string m_value;
    KVPtr<KVImage> m_image;
    Children m_children;
};
