#pragma once

#include "core/KVPtr.h"

#include <optional>
#include <vector>

class KVLayer;
class QPoint;
class QWidget;
struct KVEditorServices;

// What the keyboard view's menus do to the keys of the shown layer, and when they can. Only a user
// layer's keys change; every change is one undoable step of the layers controller, announced to the
// editor's windows with 2044 and 2038.
class KVKeyCommands {
public:
    explicit KVKeyCommands(KVEditorServices& services) : m_services(services) {}

    // The edited item when it is a user layer; empty for groups, built-in layers and nothing.
    KVPtr<KVLayer> editableLayer() const;

    // "Delete": some of the keys has a binding of its own in the layer.
    bool canDelete(const std::vector<unsigned>& keys) const;
    // "Push": some of the keys shows something from another layer.
    bool canPush(const std::vector<unsigned>& keys) const;
    // "Swap": two different keys, at least one bound in the layer.
    bool canSwap(unsigned source, unsigned target) const;
    // "Paste": two different keys, the source showing something.
    bool canPaste(unsigned source, unsigned target) const;

    bool deleteKeys(const std::vector<unsigned>& keys);
    bool pushKeys(const std::vector<unsigned>& keys);
    bool swapKeys(unsigned source, unsigned target);
    // Copies what the source key shows (its own binding, else the one it shows from a layer below).
    bool pasteKey(unsigned source, unsigned target);

private:
    bool announce(bool changed);

    KVEditorServices& m_services;
};

// The drop menu after a key was dragged (or cut and pasted) onto another key.
enum class KVDropChoice { Swap, Paste, Cancel };

// Opens the drop menu at `where` (global) with "Swap" active, so that Enter chooses it; what was chosen,
// Cancel when the menu was closed without a choice.
KVDropChoice runDropMenu(QWidget* parent, const QPoint& where, bool canSwap, bool canPaste);

// The key context menu's commands.
enum class KVKeyMenuChoice { Define, Delete, Push, None };

KVKeyMenuChoice runKeyMenu(QWidget* parent, const QPoint& where, bool canDefine, bool canDelete,
                           bool canPush);
