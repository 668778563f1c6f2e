#pragma once

#include "editor/ActionProps.h"
#include "editor/DisplayProps.h"

#include <QWidget>

class CKVKeyPreview;
class KVViewPluginInstance;
class QToolButton;
struct KVEditorServices;

// The key panels of a user layer: what the selected keys show (display panel), what they do (action
// panel), a preview of the first selected key, and the chain that keeps a plug-in's view and action
// together. Every change goes through the layer editing operations as one undoable step for all
// selected keys.
class CKVPluginProps final : public QWidget {
public:
    explicit CKVPluginProps(KVEditorServices& services, QWidget* parent = nullptr);
    ~CKVPluginProps() override;

    // Reads the binding of the first selected key again into every part.
    void refresh();

    CKVDisplayProps* display() const { return m_display; }
    CKVActionProps* action() const { return m_action; }
    CKVKeyPreview* preview() const { return m_preview; }
    QToolButton* chain() const { return m_chain; }

    // What the choosers do; the chain adds the paired entry of the same plug-in.
    void chooseDisplay(const KVPluginChoice& choice);
    void chooseAction(const KVPluginChoice& choice);
    void chooseVerb(const KVVerbChoice& verb);

protected:
    void changeEvent(QEvent* event) override;

private:
    void OnPluginImageUpdated(KVViewPluginInstance* instance, unsigned key);
    // The pair of `choice` in the other panel's kind when the chain is on; none otherwise.
    std::optional<KVPluginChoice> chained(const CKVCommonPluginProps& from,
                                          const KVPluginChoice& choice) const;
    // Whether a chosen plug-in can make instances; says why not in the status bar.
    bool usable(const CKVCommonPluginProps& panel, const KVPluginChoice& choice);
    void choose(CKVCommonPluginProps& panel, CKVCommonPluginProps& other, const KVPluginChoice& choice,
                const char* what);

    KVEditorServices& m_services;
    CKVDisplayProps* m_display = nullptr;
    CKVActionProps* m_action = nullptr;
    CKVKeyPreview* m_preview = nullptr;
    QToolButton* m_chain = nullptr;
};
