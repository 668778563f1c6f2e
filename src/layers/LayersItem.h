#pragma once

#include "conditions/ConditionList.h"
#include "core/KVPtr.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class KVPropertyNode;
class KVPluginInstanceFactory;
class KVLayersItem;

// Flags of a layers item. Only "Disabled" is stored; the others are the running state.
enum KVItemFlag : uint32_t {
    KV_ITEM_BUILT_IN = 0x01,      // the built-in groups and every child of the system layers
    KV_ITEM_USER_LAYERS = 0x04,   // the built-in group of the user's layers
    KV_ITEM_SYSTEM_LAYERS = 0x08, // the built-in group of the system layers
    KV_ITEM_ENABLED = 0x10,
    KV_ITEM_SHOWN = 0x20, // the editor forces the item on
    KV_ITEM_ACTIVE = 0x40,
};

// What items need while they are built from stored nodes: the state their conditions read, and the
// plug-in library that gives their plug-in instances objects (either may be absent).
struct KVLayerLoadContext {
    KVPtr<const KVConditionEnvironment> conditions;
    KVPluginInstanceFactory* plugins = nullptr;
};

// An ordered list of items: a group's children, or the top level of the layer cake. The order is the
// editor's order and the priority of composition (earlier wins).
class KVLayerCakeItemsStorage {
public:
    using Items = std::vector<KVPtr<KVLayersItem>>;

    const Items& items() const { return m_items; }
    bool empty() const { return m_items.empty(); }
    size_t size() const { return m_items.size(); }
    Items::const_iterator begin() const { return m_items.begin(); }
    Items::const_iterator end() const { return m_items.end(); }

    // The item of that identifier, or an empty reference.
    KVPtr<KVLayersItem> find(std::string_view identifier) const;
    // Replaces the item of the same identifier in place, else appends; answers whether it appended.
    bool add(KVPtr<KVLayersItem> item);
    void insert(size_t position, KVPtr<KVLayersItem> item);
    bool remove(const KVPtr<KVLayersItem>& item);
    void clear() { m_items.clear(); }

private:
    Items m_items;
};

// A layer or a group: a display name, an enabled switch, conditions and free-form properties, stored as
// one folder named by its identifier.
class KVLayersItem {
public:
    KVLayersItem();
    virtual ~KVLayersItem();
    KVLayersItem(const KVLayersItem&) = delete;
    KVLayersItem& operator=(const KVLayersItem&) = delete;

    // A group's own children; a layer answers one shared storage that is always empty.
    virtual const KVLayerCakeItemsStorage& children() const;
    // Builds the item from its stored node, taking `identifier` as its identifier.
    virtual void load(const std::string& identifier, const KVPropertyNode& node,
                      const KVLayerLoadContext& context) = 0;
    // Adds the item's node, named by its identifier, to `parent`.
    virtual void save(KVPropertyNode& parent) const = 0;
    virtual void activate() { setFlag(KV_ITEM_ACTIVE, true); }
    virtual void deactivate() { setFlag(KV_ITEM_ACTIVE, false); }
    virtual bool isGroup() const { return false; }

    uint32_t flags() const { return m_flags; }
    bool hasFlag(uint32_t flag) const { return (m_flags & flag) != 0; }
    void setFlag(uint32_t flag, bool on) { m_flags = on ? (m_flags | flag) : (m_flags & ~flag); }
    bool isEnabled() const { return hasFlag(KV_ITEM_ENABLED); }
    bool isActive() const { return hasFlag(KV_ITEM_ACTIVE); }
    bool isShownForEditing() const { return hasFlag(KV_ITEM_SHOWN); }

    const std::string& displayName() const { return m_displayName; }
    void setDisplayName(std::string name) { m_displayName = std::move(name); }
    const std::string& identifier() const { return m_identifier; }
    void setIdentifier(std::string identifier) { m_identifier = std::move(identifier); }
    const KVPtr<KVPropertyNode>& properties() const { return m_properties; }
    void setProperties(KVPtr<KVPropertyNode> properties) { m_properties = std::move(properties); }
    KVConditionList& conditions() { return m_conditions; }
    const KVConditionList& conditions() const { return m_conditions; }

    // Whether the item is to be active by itself: shown, or enabled with every condition holding.
    bool qualifies() const;

protected:
    // The keys both documents share: "DisplayName", "Disabled", "Conditions", "Properties".
    void loadCommon(const std::string& identifier, const KVPropertyNode& node,
                    const KVLayerLoadContext& context);
    // Adds the item's node to `parent` with the shared keys written, and answers it.
    KVPtr<KVPropertyNode> saveCommon(KVPropertyNode& parent) const;

private:
    uint32_t m_flags = KV_ITEM_ENABLED;
    std::string m_displayName;
    std::string m_identifier;
    KVPtr<KVPropertyNode> m_properties;
    KVConditionList m_conditions;
};
