#pragma once

#include <QWidget>

struct KVEditorServices;

// The text label editor of the key-label layers: font, style, size and colours of the selected keys.
class CKVViewProps final : public QWidget {
public:
    CKVViewProps(KVEditorServices& services, QWidget* parent = nullptr);

private:
    KVEditorServices& m_services;
};
