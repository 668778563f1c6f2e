#pragma once

#include <QWidget>

class CKVPluginProps;
class CKVViewProps;
struct KVEditorServices;

// The "Key properties" box: what the selected keys show and do. A user layer gets the display and
// action panels, a key-label layer the text label editor; with no layer selected the box is empty.
class CKVKeyProps final : public QWidget {
public:
    CKVKeyProps(KVEditorServices& services, QWidget* parent = nullptr);
    ~CKVKeyProps() override;

    // The content shown now; null when it is another one or none.
    CKVPluginProps* pluginProps() const;
    CKVViewProps* viewProps() const;

private:
    enum class Content { None, Labels, Plugins };

    // Looks at the edited item: another kind of content replaces the old one, the same kind stays.
    void OnItemChanged();
    Content contentFor() const;

    KVEditorServices& m_services;
    Content m_kind = Content::None;
    QWidget* m_content = nullptr;
};
