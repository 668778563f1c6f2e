#pragma once

#include "core/KVPtr.h"
#include "images/KVLabelStyle.h"

#include <QColor>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

struct KVEditorServices;
class KVLayer;
class KVTextRenderer;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

// The text label editor of the key-label layers: font, style, size and colours of the captions of the
// selected keys in the edited layer. Every change is one undoable step for all selected keys, and the
// preview, the keyboard view and the keyboard follow it at once.
class CKVViewProps final : public QWidget {
    Q_OBJECT

public:
    CKVViewProps(KVEditorServices& services, QWidget* parent = nullptr);
    ~CKVViewProps() override;

    // Asks for a colour (dialog title, the colour shown first); nothing when the user cancels. The
    // system's colour dialog unless a test puts its own in place.
    using ColourChooser =
        std::function<std::optional<QColor>(QWidget* parent, const QString& title, const QColor& initial)>;
    void setColourChooser(ColourChooser chooser) { m_chooseColour = std::move(chooser); }

    // Reads the edited layer, the selected keys and their label style again.
    void refresh();

    // What the panel shows: the style of the first selected caption, and the preview as drawn.
    const KVLabelStyle& shownStyle() const { return m_style; }
    QImage previewPicture() const;

private:
    void buildControls();
    void connectControls();
    void setToolTips();

    KVPtr<KVLayer> editedLayer() const;
    // The selected keys that carry a caption in the edited layer, in key order.
    std::vector<unsigned> captionKeys() const;
    // Gives the selected captions `style` (none: the defaults) as one step and announces it.
    void apply(const std::optional<KVLabelStyle>& style);
    template <class Change> void change(Change&& edit) {
        KVLabelStyle style = m_style;
        edit(style);
        apply(style);
    }
    void chooseColour(bool background);
    void chooseFace();
    void sizeMoved(int points);
    void copyStyle();

    void showStyle();
    void updatePreview();
    void updateColourButtons();

    KVEditorServices& m_services;
    KVTextRenderer& m_renderer;
    ColourChooser m_chooseColour;
    KVLabelStyle m_style;
    bool m_hasCaption = false;
    bool m_dragging = false;

    QComboBox* m_face = nullptr;
    QCheckBox* m_bold = nullptr;
    QCheckBox* m_italic = nullptr;
    QLineEdit* m_sample = nullptr;
    QSlider* m_size = nullptr;
    QLabel* m_sizeText = nullptr;
    QPushButton* m_bkColour = nullptr;
    QPushButton* m_textColour = nullptr;
    QPushButton* m_reset = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_paste = nullptr;
    QLabel* m_preview = nullptr;
    QLabel* m_hint = nullptr;
};
