#include "editor/KeyboardSelect.h"

#include "editor/KeyPickerTable.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

using corvane::editor::keyboardDrawing;
using corvane::editor::pickerKeys;

namespace {

QString textOf(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The drawing with each key's caption on its display, at the drawing's own size; the keyboard's own
// colours, whatever the desktop's theme.
QImage labelledKeys() {
    QImage picture = keyboardDrawing().copy();
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font;
    font.setPixelSize(13);
    painter.setFont(font);
    for (const auto& key : pickerKeys()) {
        painter.setPen(QColor(0x3a, 0x3c, 0x40));
        painter.drawRect(QRectF(key.place.cap).adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setPen(QColor(0xe8, 0xe8, 0xe8));
        painter.drawText(key.place.display, Qt::AlignCenter | Qt::TextWordWrap, textOf(key.shortName));
    }
    return picture;
}

} // namespace

CKVKeyboardSelect::CKVKeyboardSelect(QWidget* parent)
    : QWidget(parent), m_keys(corvane::editor::pickerDrawnKeys()) {
    setObjectName(QStringLiteral("CKVKeyboardSelect"));
    setAccessibleName(tr("Keys"));
    setToolTip(tr("Click the key to choose it, or move to it with the arrow keys and press Enter"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void CKVKeyboardSelect::setCurrentKey(unsigned key) {
    if (key >= m_keys.size() || key == m_current)
        return;
    m_current = key;
    setAccessibleDescription(textOf(pickerKeys()[key].name));
    emit currentKeyChanged(key);
    update();
}

void CKVKeyboardSelect::setHotKey(unsigned key) {
    if (key != m_hot) {
        m_hot = key;
        update();
    }
}

QRectF CKVKeyboardSelect::keyRect(unsigned key) const {
    return m_keys.capIn(m_fit, key);
}

std::optional<unsigned> CKVKeyboardSelect::keyAt(QPointF point) const {
    return m_keys.keyAt(m_fit, point);
}

QSize CKVKeyboardSelect::sizeHint() const {
    return keyboardDrawing().size() * 0.7;
}

QSize CKVKeyboardSelect::minimumSizeHint() const {
    return keyboardDrawing().size() / 10;
}

int CKVKeyboardSelect::heightForWidth(int width) const {
    return corvane::editor::keyboardHeightForWidth(width);
}

void CKVKeyboardSelect::resizeEvent(QResizeEvent*) {
    m_fit = corvane::editor::KVDrawingFit(size(), keyboardDrawing().size());
    m_scaled = QPixmap();
}

const QPixmap& CKVKeyboardSelect::labelledDrawing() {
    if (m_scaled.isNull() && !m_fit.target().isEmpty()) {
        static const QImage labelled = labelledKeys();
        const qreal ratio = devicePixelRatioF();
        m_scaled = QPixmap::fromImage(labelled.scaled((m_fit.target().size() * ratio).toSize(),
                                                      Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(ratio);
    }
    return m_scaled;
}

void CKVKeyboardSelect::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(m_fit.target().topLeft(), labelledDrawing());
    const QColor highlight = palette().color(QPalette::Highlight);
    const qreal line = std::max<qreal>(2.0, m_fit.scale() * 3);
    auto frame = [&](unsigned key, QColor colour, qreal width, Qt::PenStyle style) {
        painter.setPen(QPen(colour, width, style));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(keyRect(key).adjusted(width / 2, width / 2, -width / 2, -width / 2));
    };
    if (m_current != kNoKey) {
        QColor fill = highlight;
        fill.setAlpha(80);
        painter.fillRect(keyRect(m_current), fill);
        frame(m_current, highlight, line, Qt::SolidLine);
        if (hasFocus())
            frame(m_current, palette().color(QPalette::HighlightedText), 1.0, Qt::DotLine);
    }
    if (m_hot != kNoKey && m_hot != m_current)
        frame(m_hot, highlight.lighter(150), line / 2, Qt::SolidLine);
}

void CKVKeyboardSelect::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressedOnKey = keyAt(event->position()).has_value();
    if (m_pressedOnKey)
        return;
    // Outside the keys the press takes the dialog by its caption, as the picture is most of it.
    if (QWindow* handle = window()->windowHandle())
        handle->startSystemMove();
}

void CKVKeyboardSelect::mouseMoveEvent(QMouseEvent* event) {
    const auto key = keyAt(event->position());
    setHotKey(key ? *key : kNoKey);
}

void CKVKeyboardSelect::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressedOnKey)
        return QWidget::mouseReleaseEvent(event);
    m_pressedOnKey = false;
    if (const auto key = keyAt(event->position())) {
        setCurrentKey(*key);
        emit keyChosen(*key);
    }
}

void CKVKeyboardSelect::leaveEvent(QEvent*) {
    setHotKey(kNoKey);
}

void CKVKeyboardSelect::keyPressEvent(QKeyEvent* event) {
    using corvane::editor::KVKeyDirection;
    std::optional<KVKeyDirection> direction;
    switch (event->key()) {
    case Qt::Key_Left:
        direction = KVKeyDirection::Left;
        break;
    case Qt::Key_Right:
        direction = KVKeyDirection::Right;
        break;
    case Qt::Key_Up:
        direction = KVKeyDirection::Up;
        break;
    case Qt::Key_Down:
        direction = KVKeyDirection::Down;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (m_current == kNoKey)
            return QWidget::keyPressEvent(event);
        emit keyChosen(m_current);
        return;
    default:
        return QWidget::keyPressEvent(event);
    }
    if (m_current == kNoKey)
        return setCurrentKey(0);
    if (const auto next = m_keys.neighbour(m_current, *direction))
        setCurrentKey(*next);
}
