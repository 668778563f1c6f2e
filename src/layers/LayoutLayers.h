#pragma once

#include "conditions/ConditionEnvironment.h"
#include "core/KVPtr.h"
#include "layers/LayerCake.h"
#include "system/LayoutKeyLabels.h"

#include <cstdint>

class KVKeyboardLayouts;
class KVLayer;
class KVLayersGroup;
class KVTextRenderer;

// The system layers' part that follows the keyboard layouts: one group per installed layout, holding
// that layout's caption layers, guarded by a language condition.
class KVLayoutLayers {
public:
    KVLayoutLayers(const KVKeyboardLayouts& layouts, KVTextRenderer& renderer,
                   KVPtr<const KVConditionEnvironment> environment);

    // Start-up: gives every installed layout that has no group yet its group, placed after the group of
    // the layout before it; drops the groups of layouts no longer installed (groups without a language
    // condition stay); keeps "control_buttons" after the layout groups. Existing groups are not rebuilt.
    void RebuildLayoutGroups(KVLayersGroup& systemLayers) const;
    // What KVLayerCake::setUpSystemLayers takes; valid while this object lives.
    KVLayerCake::LayoutGroupsBuilder builder() const;

    // The group of one layout: identifier its eight-digit text, title its layer title, one language
    // condition, filled with its layers.
    KVPtr<KVLayersGroup> CreateLayoutGroup(uint32_t layout) const;
    // Appends the layout's caption layers to `group`, leaving out a shift state whose captions equal
    // those of a layer the group already has; the Num Lock layer always comes last.
    void FillLayoutGroup(uint32_t layout, KVLayersGroup& group) const;

    // One layer of captions with rendered pictures and its conditions.
    KVPtr<KVLayer> makeLayer(const KVLabelLayer& labels) const;

private:
    const KVKeyboardLayouts& m_layouts;
    KVTextRenderer& m_renderer;
    KVPtr<const KVConditionEnvironment> m_environment;
};
