#include "editor/CfgDlg.h"

#include "editor/ConditionsView.h"
#include "editor/KeyProps.h"
#include "editor/LayersTreeCtrl.h"
#include "editor/LayersView.h"
#include "shell/MainController.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QSplitter>
#include <QVBoxLayout>

CKVCfgDlg::CKVCfgDlg(KVEditorServices services, QWidget* parent) : QMainWindow(parent), m_services(services) {
    setWindowTitle(QStringLiteral("Tavirex Corvane Configurator"));
    setObjectName(QStringLiteral("CKVCfgDlg"));

    auto* split = new QSplitter(Qt::Horizontal, this);
    m_tree = new CKVLayersTreeCtrl(m_services, split);
    m_tree->setAccessibleName(tr("Layers"));

    auto* right = new QWidget(split);
    auto* rightLayout = new QVBoxLayout(right);
    m_view = new CKVLayersView(m_services, right);
    m_view->setAccessibleName(tr("Keyboard"));
    rightLayout->addWidget(m_view, 3);

    auto* below = new QHBoxLayout;
    auto* conditionsBox = new QGroupBox(tr("Conditions"), right);
    auto* conditionsLayout = new QVBoxLayout(conditionsBox);
    m_conditions = new CKVConditionsView(m_services, conditionsBox);
    conditionsLayout->addWidget(m_conditions);
    below->addWidget(conditionsBox, 1);

    auto* keyBox = new QGroupBox(tr("Key properties"), right);
    auto* keyLayout = new QVBoxLayout(keyBox);
    m_keyProps = new CKVKeyProps(m_services, keyBox);
    keyLayout->addWidget(m_keyProps);
    below->addWidget(keyBox, 2);
    rightLayout->addLayout(below, 2);

    split->addWidget(m_tree);
    split->addWidget(right);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 4);
    setCentralWidget(split);
    resize(1100, 560);
}

CKVCfgDlg::~CKVCfgDlg() = default;

void CKVCfgDlg::closeEvent(QCloseEvent* event) {
    // The editor-closed step: the whole configuration is written once, however the window goes.
    if (!m_saved) {
        m_saved = true;
        m_services.main.EditorClosed();
    }
    event->accept();
}
