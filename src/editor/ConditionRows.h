#pragma once

#include "core/KVPtr.h"

#include <QWidget>

class KVCondition;
class KVLayersItem;
class QBoxLayout;
class QLabel;
struct KVEditorServices;

// One condition in the condition editor: what it tests, the controls of its value and "Remove". A
// change is made at once as an undoable edit of the layers; a refused one is said and the row shows the
// condition as it is.
class CKVConditionRow : public QWidget {
    Q_OBJECT

public:
    ~CKVConditionRow() override;

    const KVPtr<KVCondition>& condition() const { return m_condition; }
    // Shows the condition's values again.
    virtual void refresh() {}
    // Before the row goes: what a plug-in put into it is taken down by the plug-in, not by Qt.
    virtual void release() {}

signals:
    // The condition was taken from the item; the list must be shown again.
    void removed();

protected:
    CKVConditionRow(KVEditorServices& services, KVPtr<KVLayersItem> item, KVPtr<KVCondition> condition,
                    const QString& caption, QWidget* parent);

    // The line of controls after the caption.
    QBoxLayout* controls() const { return m_controls; }
    // Room below the line, for a plug-in's panel.
    QBoxLayout* below() const { return m_below; }
    QLabel* captionLabel() const { return m_caption; }
    KVEditorServices& services() const { return m_services; }
    const KVPtr<KVLayersItem>& item() const { return m_item; }
    // Says that an edit was refused and shows the condition as it is.
    void refused();

private:
    void remove();

    KVEditorServices& m_services;
    KVPtr<KVLayersItem> m_item;
    KVPtr<KVCondition> m_condition;
    QLabel* m_caption = nullptr;
    QBoxLayout* m_controls = nullptr;
    QBoxLayout* m_below = nullptr;
};

namespace corvane::editor {

// The row for `condition`; none for a condition the user does not edit (the keyboard's own).
CKVConditionRow* makeConditionRow(KVEditorServices& services, const KVPtr<KVLayersItem>& item,
                                  const KVPtr<KVCondition>& condition, QWidget* parent);

// Whether the condition editor lists `condition` as one of the item's own.
bool isListedCondition(const KVCondition& condition);

} // namespace corvane::editor
