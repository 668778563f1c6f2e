#include "store/PropertyNode.h"

#include "images/KVImage.h"

#include <algorithm>

KVPropertyNode::KVPropertyNode(std::string name, std::string value, KVPtr<KVImage> image)
    : m_name(std::move(name)), m_value(std::move(value)), m_image(std::move(image)) {}

KVPtr<KVPropertyNode> KVPropertyNode::create(std::string name, std::string value, KVPtr<KVImage> image) {
    return std::make_shared<KVPropertyNode>(std::move(name), std::move(value), std::move(image));
}

KVPtr<KVPropertyNode> KVPropertyNode::findChild(std::string_view name) const {
    const auto found =
        std::find_if(m_children.begin(), m_children.end(), [&](const auto& c) { return c->m_name == name; });
    return found == m_children.end() ? nullptr : *found;
}

std::string KVPropertyNode::childValue(std::string_view name, std::string_view fallback) const {
    const auto child = findChild(name);
    return child ? child->m_value : std::string(fallback);
}

KVPtr<KVImage> KVPropertyNode::childImage(std::string_view name, const KVPtr<KVImage>& fallback) const {
    const auto child = findChild(name);
    return child ? child->m_image : fallback;
}

bool KVPropertyNode::setChild(const KVPtr<KVPropertyNode>& child) {
    if (!child)
        return false;
    bool replaced = false;
    for (auto& existing : m_children) {
        if (existing->m_name == child->m_name) {
            existing = child;
            replaced = true;
        }
    }
    if (!replaced)
        m_children.push_back(child);
    return !replaced;
}

KVPtr<KVPropertyNode> KVPropertyNode::addChild(std::string name, std::string value, KVPtr<KVImage> image) {
    auto child = create(std::move(name), std::move(value), std::move(image));
    setChild(child);
    return child;
}

bool KVPropertyNode::removeChild(std::string_view name) {
    const auto found =
        std::find_if(m_children.begin(), m_children.end(), [&](const auto& c) { return c->m_name == name; });
    if (found == m_children.end())
        return false;
    m_children.erase(found);
    return true;
}

KVPtr<KVPropertyNode> KVPropertyNode::copy() const {
    auto node = create(m_name, m_value, m_image ? std::make_shared<KVImage>(*m_image) : nullptr);
    node->m_children = m_children;
    return node;
}

KVPtr<KVPropertyNode> KVPropertyNode::deepCopy() const {
    auto node = create(m_name, m_value, m_image ? std::make_shared<KVImage>(*m_image) : nullptr);
    node->m_children.reserve(m_children.size());
    for (const auto& child : m_children)
        if (child)
            node->m_children.push_back(child->deepCopy());
    return node;
}
