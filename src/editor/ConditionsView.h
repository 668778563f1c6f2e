#pragma once

#include <QWidget>

struct KVEditorServices;

// The condition editor of the edited item.
class CKVConditionsView final : public QWidget {
public:
    CKVConditionsView(KVEditorServices& services, QWidget* parent = nullptr);

private:
    KVEditorServices& m_services;
};
