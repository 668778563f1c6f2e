#pragma once

#include "layers/LayersGroup.h"
#include "store/ConfigurationControllers.h"

#include <functional>
#include <string>
#include <vector>

// The ordered tree of every layers item. Its top level normally holds the built-in groups
// "system_layers" (the background: per-layout groups, then "control_buttons") and "user_layers" (the
// user's layers, then "default_buttons"); which one comes first is the stored order.
class KVLayerCake final : public IKVLayerCakeConfiguration {
public:
    static constexpr const char* kSystemLayersId = "system_layers";
    static constexpr const char* kUserLayersId = "user_layers";
    static constexpr const char* kControlButtonsId = "control_buttons";
    static constexpr const char* kDefaultButtonsId = "default_buttons";

    // Rebuilds the per-layout groups inside the system layers (the keyboard-layout code supplies it,
    // usually through rebuildLayoutGroups).
    using LayoutGroupsBuilder = std::function<void(KVLayersGroup& systemLayers)>;
    // Makes the group of one layout: identifier layoutText(layout), its keyboard-layout condition first.
    using LayoutGroupFactory = std::function<KVPtr<KVLayersGroup>(uint32_t layout)>;

    // Brings the per-layout groups of `systemLayers` in line with the installed layouts, in the order the
    // system lists them: a layout without a group gets one from `makeGroup`, inserted after the group of
    // the layout before it; a group whose first condition names a layout no longer installed goes.
    // Children without a layout condition (such as "control_buttons") stay.
    static void rebuildLayoutGroups(KVLayersGroup& systemLayers, const std::vector<uint32_t>& installed,
                                    const LayoutGroupFactory& makeGroup);

    explicit KVLayerCake(KVLayerLoadContext context = {});

    KVLayerCakeItemsStorage& items() { return m_items; }
    const KVLayerCakeItemsStorage& items() const { return m_items; }
    const KVLayerLoadContext& loadContext() const { return m_context; }

    // The built-in groups; empty references when they are missing.
    KVPtr<KVLayersGroup> systemLayers() const;
    KVPtr<KVLayersGroup> userLayers() const;
    KVPtr<KVLayersItem> controlButtons() const;

    // Start-up, after the stored configuration was loaded: finds or creates "user_layers" and gives it
    // "default_buttons" from the program folder when it has none.
    void setUpUserLayers(const std::string& programFolder);
    // Then finds or creates "system_layers", lets `layouts` rebuild its per-layout groups, gives it
    // "control_buttons" from the program folder when it has none, and marks it and its children built-in.
    void setUpSystemLayers(const std::string& programFolder, const LayoutGroupsBuilder& layouts = {});

    // Shutdown: releases every top-level item.
    void clear() { m_items.clear(); }

    void loadLayers(const KVPtr<KVPropertyNode>& layers) override;
    void saveLayers(KVPropertyNode& root) override;

private:
    // The group of that identifier at the top level, made when missing. A stored layer that took the
    // identifier is kept inside the new group rather than lost.
    KVPtr<KVLayersGroup> ensureTopGroup(const char* identifier, const char* displayName);
    KVPtr<KVLayersItem> loadShippedItem(const std::string& programFolder, const char* identifier) const;

    KVLayerLoadContext m_context;
    KVLayerCakeItemsStorage m_items;
};
