#pragma once

#include <QWidget>

struct KVEditorServices;

// The keyboard view: the edited item's key pictures on the keyboard drawing; selects keys and drops bindings.
class CKVLayersView final : public QWidget {
public:
    CKVLayersView(KVEditorServices& services, QWidget* parent = nullptr);

private:
    KVEditorServices& m_services;
};
