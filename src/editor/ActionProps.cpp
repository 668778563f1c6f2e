#include "editor/ActionProps.h"

#include "device/KeyTables.h"
#include "editor/EditorServices.h"
#include "editor/MultimediaKeys.h"
#include "images/BuiltInPictures.h"
#include "layers/Layer.h"
#include "layers/LayersController.h"
#include "plugins/ActionPluginInstance.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <array>

namespace {

// The firmware knows the eight modifier keys by these codes, on either side.
constexpr std::array<std::pair<uint8_t, const char*>, 8> kModifierNames{{
    {0x72, "Left Ctrl"},
    {0x73, "Left Shift"},
    {0x74, "Left Alt"},
    {0x75, "Left Win"},
    {0x76, "Right Ctrl"},
    {0x77, "Right Shift"},
    {0x78, "Right Alt"},
    {0x79, "Right Win"},
}};

QIcon smallActionIcon(std::string_view name) {
    const auto png = corvane::images::builtInPicturePng(corvane::editor::actionPictureName(name));
    QImage image;
    if (png.empty() || !image.loadFromData(png.data(), static_cast<int>(png.size())))
        return {};
    return QIcon(QPixmap::fromImage(image.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace

CKVActionProps::CKVActionProps(KVEditorServices& services, QWidget* parent)
    : CKVCommonPluginProps(services, KVSubPluginKind::Action, tr("Action:"), tr("Key press"), parent),
      m_picker([](QWidget* owner) { return CKVOnScreenKeyboard::choose(owner); }) {
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(tr("Key verb:"), this);
    m_default = new QRadioButton(tr("Default"), this);
    m_default->setToolTip(tr("The key sends its own code"));
    m_default->setAccessibleName(tr("Default"));
    m_multimedia = new QRadioButton(tr("Multimedia"), this);
    m_multimedia->setToolTip(tr("The key sends the media, browser or power code chosen in the list"));
    m_multimedia->setAccessibleName(tr("Multimedia"));
    m_other = new QRadioButton(tr("Other verb"), this);
    m_other->setToolTip(tr("The key sends the code of another key"));
    m_other->setAccessibleName(tr("Other verb"));
    caption->setBuddy(m_default);

    m_verbs = new QButtonGroup(this);
    m_verbs->addButton(m_default, int(KVKeyVerb::Default));
    m_verbs->addButton(m_multimedia, int(KVKeyVerb::Multimedia));
    m_verbs->addButton(m_other, int(KVKeyVerb::OtherKey));

    m_list = new QComboBox(this);
    m_list->setIconSize(QSize(16, 16));
    m_list->setAccessibleName(tr("Multimedia code"));
    m_list->setToolTip(tr("The multimedia code the selected keys send"));
    for (const auto& key : corvane::editor::multimediaKeys())
        m_list->addItem(smallActionIcon(key.name), QString::fromUtf8(key.name.data(), int(key.name.size())),
                        int(key.code));

    m_select = new QPushButton(tr("Select..."), this);
    m_select->setAccessibleName(tr("Select the other key"));
    m_select->setToolTip(tr("Choose the key whose code the selected keys send"));

    grid->addWidget(caption, 0, 0, 1, 2);
    grid->addWidget(m_default, 1, 0, 1, 2);
    grid->addWidget(m_multimedia, 2, 0);
    grid->addWidget(m_list, 2, 1);
    grid->addWidget(m_other, 3, 0);
    grid->addWidget(m_select, 3, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    builtInLayout()->addLayout(grid);

    connect(m_verbs, &QButtonGroup::idClicked, this, [this](int id) {
        switch (KVKeyVerb(id)) {
        case KVKeyVerb::Default:
            if (m_onVerb)
                m_onVerb({KVKeyVerb::Default, 0, {}});
            break;
        case KVKeyVerb::Multimedia:
            chooseMultimedia(std::max(0, m_list->currentIndex()));
            break;
        case KVKeyVerb::OtherKey:
            pickOtherKey();
            break;
        }
    });
    connect(m_list, &QComboBox::activated, this, &CKVActionProps::chooseMultimedia);
    connect(m_select, &QPushButton::clicked, this, &CKVActionProps::pickOtherKey);
    refresh();
}

bool CKVActionProps::setChoice(const KVPtr<KVLayer>& layer, unsigned key, const KVPluginChoice& choice) {
    const auto& binding = layer->binding(key);
    const auto& current = binding.actionPlugin;
    if (choice.isBuiltIn() ? !current
                           : current && current->PluginID() == choice.pluginId &&
                                 current->SubPluginID() == choice.subPluginId)
        return false;
    auto& editing = services().layers.Editing();
    // A key that runs a plug-in sends its own code: the verb controls are not there to show another.
    if (!choice.isBuiltIn() && binding.scanCode != 0)
        editing.SetKeyCode(layer, key, 0, 0);
    return editing.SetActionPlugin(layer, key, choice.pluginId, choice.subPluginId);
}

void CKVActionProps::pickOtherKey() {
    const auto picked = m_picker ? m_picker(this) : std::nullopt;
    // The binding keeps the code the keyboard sends for the chosen key; a key without one is no choice.
    if (!picked || picked->usage == 0) {
        refresh();
        return;
    }
    const QString name = QString::fromStdString(picked->name);
    m_picked = std::pair{picked->usage, name};
    if (m_onVerb)
        m_onVerb({KVKeyVerb::OtherKey, picked->usage, name});
    refresh();
}

void CKVActionProps::chooseMultimedia(int row) {
    const auto keys = corvane::editor::multimediaKeys();
    if (row < 0 || size_t(row) >= keys.size() || !m_onVerb)
        return;
    const auto& key = keys[size_t(row)];
    m_onVerb({KVKeyVerb::Multimedia, key.code, QString::fromUtf8(key.name.data(), int(key.name.size()))});
    refresh();
}

KVPtr<KVKeyPluginInstance> CKVActionProps::instanceOf(const KVKeyBinding& binding) const {
    return binding.actionPlugin;
}

void CKVActionProps::refreshBuiltIn(const KVKeyBinding* binding) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_default, m_multimedia, m_other, m_list, m_select})
        control->setEnabled(binding != nullptr);
    const QSignalBlocker blockList(m_list);
    const uint8_t code = binding ? binding->scanCode : 0;
    if (const auto key = corvane::editor::multimediaKey(code)) {
        m_multimedia->setChecked(true);
        m_list->setCurrentIndex(m_list->findData(int(key->code)));
        setOtherCaption({});
    } else if (code != 0) {
        m_other->setChecked(true);
        setOtherCaption(m_picked && m_picked->first == code ? m_picked->second : keyCodeName(code));
    } else {
        m_default->setChecked(true);
        setOtherCaption({});
    }
}

void CKVActionProps::setOtherCaption(const QString& name) {
    m_other->setText(name.isEmpty() ? tr("Other verb") : tr("Other verb (") + name + u')');
}

QString CKVActionProps::keyCodeName(uint8_t code) {
    for (const auto& [modifier, name] : kModifierNames)
        if (modifier == code)
            return QString::fromLatin1(name);
    for (const auto& key : corvane::device::modelDescriptor(KeyboardModelMain).keys)
        if (key.keyCode == code)
            return QString::fromUtf8(key.name.data(), int(key.name.size()));
    return tr("code 0x%1").arg(QString::number(code, 16).toUpper().rightJustified(2, u'0'));
}
