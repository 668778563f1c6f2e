#include "editor/ViewProps.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "editor/EditorServices.h"
#include "editor/EditorStatus.h"
#include "images/KVImage.h"
#include "images/KVTextRenderer.h"
#include "layers/KeyNames.h"
#include "layers/LabelProperties.h"
#include "layers/Layer.h"
#include "layers/LayersController.h"
#include "shell/MainController.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// Sizes the slider offers; a stored size outside stays as it is until the slider is moved.
constexpr int kMinPoints = 4;
constexpr int kMaxPoints = 96;
// The preview shows the key's 48 x 48 pixels this many times enlarged, each pixel a square.
constexpr int kPreviewZoom = 3;

// What "&Copy" took, kept for the whole session so that it can be pasted into another layer.
std::optional<KVLabelStyle>& copiedStyle() {
    static std::optional<KVLabelStyle> style;
    return style;
}

// Stored colours have red in the low byte.
QColor toQColor(std::uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

std::uint32_t toStored(const QColor& colour) {
    return std::uint32_t(colour.red()) | std::uint32_t(colour.green()) << 8 |
           std::uint32_t(colour.blue()) << 16;
}

QImage toQImage(const KVImage& picture) {
    const auto rgb = picture.toTopDownRgb();
    QImage image(picture.width(), picture.height(), QImage::Format_RGB888);
    for (int y = 0; y < picture.height(); ++y)
        std::copy_n(rgb.data() + std::size_t(y) * picture.width() * 3, picture.width() * 3,
                    image.scanLine(y));
    return image;
}

std::optional<QColor> systemColourChooser(QWidget* parent, const QString& title, const QColor& initial) {
    const QColor chosen = QColorDialog::getColor(initial, parent, title);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

QString keysText(const std::vector<unsigned>& keys) {
    if (keys.size() == 1)
        return QString::fromStdString(std::string(corvane::layers::keyName(keys.front())));
    return QStringLiteral("%1 keys").arg(keys.size());
}

} // namespace

CKVViewProps::CKVViewProps(KVEditorServices& services, QWidget* parent)
    : QWidget(parent), m_services(services), m_renderer(services.main.textRenderer()),
      m_chooseColour(systemColourChooser) {
    setObjectName(QStringLiteral("labelEditor"));
    setAccessibleName(tr("Text label"));
    buildControls();
    setToolTips();
    connectControls();
    m_services.dispatch.RegisterHandler<KVM_TREE_SELECTION_CHANGED>(this, &CKVViewProps::refresh);
    m_services.dispatch.RegisterHandler<KVM_KEY_SELECTION_CHANGED>(this, &CKVViewProps::refresh);
    m_services.dispatch.RegisterHandler<KVM_KEYS_EDITED>(this, &CKVViewProps::refresh);
    m_services.dispatch.RegisterHandler<KVM_BINDING_EDITED>(this, &CKVViewProps::refresh);
    refresh();
}

CKVViewProps::~CKVViewProps() {
    m_services.dispatch.UnregisterHandlers(this);
    // A size drag cut short by the panel going must not leave the history inside an open step.
    if (m_dragging)
        m_services.layers.Editing().EndMacro();
}

void CKVViewProps::buildControls() {
    m_face = new QComboBox(this);
    m_face->setEditable(true);
    m_face->setInsertPolicy(QComboBox::NoInsert);
    m_face->addItems(QFontDatabase::families());
    m_face->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_face->setMinimumContentsLength(12);
    auto* faceLabel = new QLabel(tr("&Font:"), this);
    faceLabel->setBuddy(m_face);

    m_bold = new QCheckBox(tr("&Bold"), this);
    m_italic = new QCheckBox(tr("&Italic"), this);

    m_sample = new QLineEdit(this);
    auto* sampleLabel = new QLabel(tr("Sa&mple:"), this);
    sampleLabel->setBuddy(m_sample);

    m_size = new QSlider(Qt::Horizontal, this);
    m_size->setRange(kMinPoints, kMaxPoints);
    m_size->setPageStep(4);
    m_size->setTickPosition(QSlider::TicksBelow);
    m_size->setTickInterval(8);
    m_sizeText = new QLabel(this);
    m_sizeText->setMinimumWidth(m_sizeText->fontMetrics().horizontalAdvance(QStringLiteral("400 pt ")));
    auto* sizeLabel = new QLabel(tr("Si&ze:"), this);
    sizeLabel->setBuddy(m_size);

    m_bkColour = new QPushButton(tr("Bac&k color"), this);
    m_textColour = new QPushButton(tr("Tex&t color"), this);
    m_reset = new QPushButton(tr("&Reset"), this);
    m_copy = new QPushButton(tr("&Copy"), this);
    m_paste = new QPushButton(tr("&Paste"), this);

    m_preview = new QLabel(this);
    m_preview->setFixedSize(KVImage::kKeySize * kPreviewZoom, KVImage::kKeySize * kPreviewZoom);
    m_preview->setFrameShape(QFrame::StyledPanel);
    m_hint =
        new QLabel(tr("Select keys with a label on the keyboard to change how their labels look."), this);
    m_hint->setWordWrap(true);
    m_hint->setForegroundRole(QPalette::PlaceholderText);

    auto* grid = new QGridLayout;
    grid->addWidget(faceLabel, 0, 0);
    grid->addWidget(m_face, 0, 1, 1, 2);
    auto* styles = new QHBoxLayout;
    styles->addWidget(m_bold);
    styles->addWidget(m_italic);
    styles->addStretch();
    grid->addLayout(styles, 1, 1, 1, 2);
    grid->addWidget(sizeLabel, 2, 0);
    grid->addWidget(m_size, 2, 1);
    grid->addWidget(m_sizeText, 2, 2);
    grid->addWidget(sampleLabel, 3, 0);
    grid->addWidget(m_sample, 3, 1, 1, 2);
    auto* colours = new QHBoxLayout;
    colours->addWidget(m_bkColour);
    colours->addWidget(m_textColour);
    colours->addStretch();
    grid->addLayout(colours, 4, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* commands = new QVBoxLayout;
    commands->addWidget(m_preview, 0, Qt::AlignHCenter);
    commands->addWidget(m_reset);
    commands->addWidget(m_copy);
    commands->addWidget(m_paste);
    commands->addStretch();

    auto* top = new QHBoxLayout;
    top->addLayout(grid, 1);
    top->addLayout(commands);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_hint);
    layout->addStretch();
}

void CKVViewProps::setToolTips() {
    const auto describe = [](QWidget* widget, const QString& name, const QString& tip) {
        widget->setAccessibleName(name);
        widget->setToolTip(tip);
    };
    describe(m_face, tr("Font"), tr("The font family of the labels; choose one or type its name"));
    describe(m_bold, tr("Bold"), tr("Draw the labels in bold"));
    describe(m_italic, tr("Italic"), tr("Draw the labels in italics"));
    describe(m_sample, tr("Sample text"),
             tr("Text shown in the preview; it starts as the label of the first selected key"));
    describe(m_size, tr("Font size"), tr("The size of the labels in points"));
    describe(m_sizeText, tr("Font size in points"), tr("The size of the labels in points"));
    describe(m_bkColour, tr("Back color"), tr("Choose the background color of the labels"));
    describe(m_textColour, tr("Text color"), tr("Choose the text color of the labels"));
    describe(m_reset, tr("Reset"),
             tr("Give the selected labels the default look: Tahoma, 28 points, white on black"));
    describe(m_copy, tr("Copy"), tr("Remember the look of the first selected label"));
    describe(m_paste, tr("Paste"), tr("Give the selected labels the look copied last"));
    describe(m_preview, tr("Label preview"), tr("The sample text as the keys draw it, enlarged"));
    describe(m_hint, tr("Hint"), QString());
}

void CKVViewProps::connectControls() {
    connect(m_face, &QComboBox::activated, this, [this] { chooseFace(); });
    connect(m_face->lineEdit(), &QLineEdit::editingFinished, this, [this] { chooseFace(); });
    connect(m_bold, &QCheckBox::toggled, this, [this](bool on) { change([on](auto& s) { s.bold = on; }); });
    connect(m_italic, &QCheckBox::toggled, this,
            [this](bool on) { change([on](auto& s) { s.italic = on; }); });
    connect(m_sample, &QLineEdit::textEdited, this, [this] { updatePreview(); });
    connect(m_size, &QSlider::valueChanged, this, [this](int points) { sizeMoved(points); });
    connect(m_size, &QSlider::sliderPressed, this, [this] {
        m_dragging = true;
        m_services.layers.Editing().BeginMacro(
            tr("Set label size of %1").arg(keysText(captionKeys())).toStdString());
    });
    connect(m_size, &QSlider::sliderReleased, this, [this] {
        if (!m_dragging)
            return;
        m_dragging = false;
        m_services.layers.Editing().EndMacro();
        // The whole drag is one step now; the Edit menu hears of it.
        m_services.dispatch.send<KVM_KEYS_EDITED>();
    });
    connect(m_bkColour, &QPushButton::clicked, this, [this] { chooseColour(true); });
    connect(m_textColour, &QPushButton::clicked, this, [this] { chooseColour(false); });
    connect(m_reset, &QPushButton::clicked, this, [this] { apply(std::nullopt); });
    connect(m_copy, &QPushButton::clicked, this, [this] { copyStyle(); });
    connect(m_paste, &QPushButton::clicked, this, [this] {
        if (copiedStyle())
            apply(*copiedStyle());
    });
}

KVPtr<KVLayer> CKVViewProps::editedLayer() const {
    const auto& item = m_services.layers.EditedItem();
    if (!item || item->isGroup())
        return nullptr;
    return std::static_pointer_cast<KVLayer>(item);
}

std::vector<unsigned> CKVViewProps::captionKeys() const {
    std::vector<unsigned> keys;
    const auto layer = editedLayer();
    if (!layer)
        return keys;
    const auto& selected = m_services.layers.SelectedKeys();
    for (unsigned key = 0; key < corvane::layers::kLayerKeyCount; ++key)
        if (selected.test(key) && !layer->binding(key).keystroke.empty())
            keys.push_back(key);
    return keys;
}

void CKVViewProps::refresh() {
    const auto keys = captionKeys();
    m_hasCaption = !keys.empty();
    if (m_hasCaption) {
        const auto& binding = editedLayer()->binding(keys.front());
        m_style = corvane::layers::labelStyleOf(binding);
        m_sample->setText(QString::fromStdString(binding.keystroke));
    } else {
        m_style = KVLabelStyle{};
    }
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_face, m_bold, m_italic, m_sample, m_size, m_sizeText, m_bkColour,
                                         m_textColour, m_reset, m_copy})
        control->setEnabled(m_hasCaption);
    m_paste->setEnabled(m_hasCaption && copiedStyle().has_value());
    m_hint->setVisible(!m_hasCaption);
    showStyle();
}

void CKVViewProps::showStyle() {
    const QSignalBlocker blockFace(m_face), blockBold(m_bold), blockItalic(m_italic), blockSize(m_size);
    const QString face = QString::fromStdString(m_style.face);
    const int index = m_face->findText(face, Qt::MatchFixedString);
    m_face->setCurrentIndex(index);
    // A family that is not installed is still shown as stored; the keys draw it in a sans-serif one.
    m_face->setEditText(index >= 0 ? m_face->itemText(index) : face);
    m_bold->setChecked(m_style.bold);
    m_italic->setChecked(m_style.italic);
    m_size->setValue(m_style.size);
    m_sizeText->setText(tr("%1 pt").arg(m_style.size));
    updateColourButtons();
    updatePreview();
}

void CKVViewProps::updateColourButtons() {
    const int side = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    for (auto [button, colour] :
         {std::pair{m_bkColour, m_style.bkColor}, std::pair{m_textColour, m_style.color}}) {
        QPixmap swatch(side, side);
        swatch.fill(toQColor(colour));
        button->setIcon(QIcon(swatch));
    }
}

QImage CKVViewProps::previewPicture() const {
    const auto picture = m_renderer.RenderLabel(m_sample->text().toStdString(), m_style);
    if (picture && picture->isValid())
        return toQImage(*picture);
    // Nothing to draw: the key shows its background alone.
    QImage blank(KVImage::kKeySize, KVImage::kKeySize, QImage::Format_RGB888);
    blank.fill(toQColor(m_style.bkColor));
    return blank;
}

void CKVViewProps::updatePreview() {
    const int side = KVImage::kKeySize * kPreviewZoom;
    QPixmap pixmap = QPixmap::fromImage(
        previewPicture().scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    m_preview->setPixmap(pixmap);
}

void CKVViewProps::apply(const std::optional<KVLabelStyle>& style) {
    const auto layer = editedLayer();
    const auto keys = captionKeys();
    if (!layer || keys.empty())
        return;
    // Nothing to change, or the captions could not be drawn (logged): the panel shows what is stored.
    if (!m_services.layers.Editing().SetLabelProperties(layer, keys, style, m_renderer)) {
        refresh();
        return;
    }
    // The tree and the panels look again on the one, the keyboard view redraws on the other.
    m_services.dispatch.send<KVM_KEYS_EDITED>();
    m_services.dispatch.send<KVM_BINDING_EDITED>();
}

void CKVViewProps::chooseFace() {
    const QString face = m_face->currentText().trimmed();
    if (face.isEmpty()) {
        showStyle();
        return;
    }
    if (face.toStdString() != m_style.face)
        change([&](auto& s) { s.face = face.toStdString(); });
}

void CKVViewProps::sizeMoved(int points) {
    m_sizeText->setText(tr("%1 pt").arg(points));
    if (points != m_style.size)
        change([points](auto& s) { s.size = points; });
}

void CKVViewProps::chooseColour(bool background) {
    const QString title = background ? tr("Back color") : tr("Text color");
    const auto chosen = m_chooseColour(this, title, toQColor(background ? m_style.bkColor : m_style.color));
    if (!chosen || !chosen->isValid())
        return;
    const std::uint32_t stored = toStored(*chosen);
    change([&](auto& s) { (background ? s.bkColor : s.color) = stored; });
}

void CKVViewProps::copyStyle() {
    const auto keys = captionKeys();
    if (keys.empty())
        return;
    copiedStyle() = corvane::layers::labelStyleOf(editedLayer()->binding(keys.front()));
    m_paste->setEnabled(true);
    corvane::editor::showStatus(this, tr("Copied the label look of %1").arg(keysText({keys.front()})));
}
