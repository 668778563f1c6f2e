#pragma once

#include <QWidget>

struct KVEditorServices;

// The "Key properties" box: what the selected keys show and do.
class CKVKeyProps final : public QWidget {
public:
    CKVKeyProps(KVEditorServices& services, QWidget* parent = nullptr);

private:
    KVEditorServices& m_services;
};
