#pragma once

#include "editor/CommonPluginProps.h"
#include "editor/OnScreenKeyboard.h"

#include <cstdint>
#include <functional>
#include <optional>

class QButtonGroup;
class QComboBox;
class QRadioButton;

// How a key with the built-in "Key press" acts.
enum class KVKeyVerb { Default, Multimedia, OtherKey };

struct KVVerbChoice {
    KVKeyVerb verb = KVKeyVerb::Default;
    uint8_t code = 0; // what the keyboard sends; 0 for the key's own code
    QString name;     // the multimedia entry or the other key, as the user knows it
};

// The action panel ("Action:"): the key's own press, a multimedia code or another key's code for "Key
// press", or an action plug-in that works on the key's press and release.
class CKVActionProps final : public CKVCommonPluginProps {
public:
    using VerbHandler = std::function<void(const KVVerbChoice&)>;
    using KeyPicker = std::function<std::optional<KVPickedKey>(QWidget* parent)>;

    CKVActionProps(KVEditorServices& services, QWidget* parent = nullptr);

    bool setChoice(const KVPtr<KVLayer>& layer, unsigned key, const KVPluginChoice& choice) override;
    // The user chose a key verb; the handler changes the keys.
    void onVerb(VerbHandler handler) { m_onVerb = std::move(handler); }
    // How "Other verb" asks for the key to send; the "Select Key" dialog unless replaced.
    void setKeyPicker(KeyPicker picker) { m_picker = std::move(picker); }
    // Asks for another key and, unless cancelled, chooses it as the verb.
    void pickOtherKey();

    QRadioButton* defaultButton() const { return m_default; }
    QRadioButton* multimediaButton() const { return m_multimedia; }
    QRadioButton* otherButton() const { return m_other; }
    QComboBox* multimediaList() const { return m_list; }
    QPushButton* selectButton() const { return m_select; }

    // What the keyboard's code `code` is called in "Other verb (...)".
    static QString keyCodeName(uint8_t code);

protected:
    KVPtr<KVKeyPluginInstance> instanceOf(const KVKeyBinding& binding) const override;
    void refreshBuiltIn(const KVKeyBinding* binding) override;

private:
    void chooseMultimedia(int row);
    void setOtherCaption(const QString& name);

    QRadioButton* m_default = nullptr;
    QRadioButton* m_multimedia = nullptr;
    QRadioButton* m_other = nullptr;
    QButtonGroup* m_verbs = nullptr;
    QComboBox* m_list = nullptr;
    QPushButton* m_select = nullptr;
    VerbHandler m_onVerb;
    KeyPicker m_picker;
    // The name the picker gave the last chosen key, so that the caption keeps it.
    std::optional<std::pair<uint8_t, QString>> m_picked;
};
