#pragma once

#include "core/KVPtr.h"

#include <QWidget>
#include <vector>

class CKVConditionRow;
class KVCondition;
class KVLayersItem;
class QLabel;
class QMenu;
class QPushButton;
class QVBoxLayout;
struct KVEditorServices;

// The condition editor of the edited item: one row per condition the item holds, "Add condition" with
// the kinds of condition to add, and a caption that says when the item follows its group's conditions.
// It keeps no model state: it shows the edited item whenever the selection or the model changes, and
// changes it only through undoable edits.
class CKVConditionsView final : public QWidget {
    Q_OBJECT

public:
    // The command numbers of the kinds in the "Add condition" menu; plug-in conditions count on from
    // the first plug-in's number, as many as fit.
    enum Command : int {
        AddApplication = 3102,
        AddLanguage = 3103,
        AddModifier = 3104,
        AddLock = 3105,
        FirstPluginCondition = 3106,
        LastPluginCondition = 3206,
    };

    CKVConditionsView(KVEditorServices& services, QWidget* parent = nullptr);
    ~CKVConditionsView() override;

    // "Conditions", "Conditions: use inherited" or either with "(multiple selection)".
    QString caption() const { return m_captionText; }
    const std::vector<CKVConditionRow*>& rows() const { return m_rows; }
    QPushButton* addButton() const { return m_add; }
    // The menu of the kinds, filled afresh each time it opens.
    QMenu* addMenu() const { return m_menu; }
    // Shows the edited item again.
    void reload();

signals:
    void captionChanged(const QString& caption);

private:
    void fillMenu();
    void addCondition(int command);
    KVPtr<KVCondition> newCondition(int command);
    // The application a new application condition starts with; empty when none is known.
    std::string startApplication() const;
    void clearRows();
    void updateCaption();

    KVEditorServices& m_services;
    KVPtr<KVLayersItem> m_item;
    QLabel* m_caption = nullptr;
    QWidget* m_list = nullptr;
    QVBoxLayout* m_listLayout = nullptr;
    QLabel* m_empty = nullptr;
    QPushButton* m_add = nullptr;
    QMenu* m_menu = nullptr;
    std::vector<CKVConditionRow*> m_rows;
    QString m_captionText;
};
