// The keyboard view's drawing: the keyboard drawing with the key pictures composed at the drawing's own
// size, scaled smoothly to the view once per change, and the marks (selection, focus, hot key, drag)
// painted over it in the view's pixels.
#include "editor/EditorServices.h"
#include "editor/LayersView.h"
#include "layers/LayersController.h"

#include <QPainter>

using corvane::editor::keyboardDrawing;

namespace {

constexpr qreal kBorrowedOpacity = 0.55;
constexpr qreal kDragImageOpacity = 0.75;

QColor withAlpha(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}

} // namespace

const KVKeyBinding* CKVLayersView::shownBinding(unsigned key, bool* own) const {
    const auto* layer = dynamic_cast<const KVLayer*>(m_item.get());
    const bool itsOwn = layer && key < m_keys.size() && layer->binding(key).isSet();
    if (own)
        *own = itsOwn || !layer;
    return itsOwn ? &layer->binding(key) : m_services.layers.DisplayBinding(key);
}

void CKVLayersView::composeKey(QPainter& painter, unsigned key) const {
    const QRect display = m_keys[key].display;
    painter.drawImage(display, keyboardDrawing(), display);
    bool own = true;
    const KVKeyBinding* binding = shownBinding(key, &own);
    if (!binding)
        return;
    const QImage picture = corvane::editor::keyPicture(*binding);
    if (picture.isNull())
        return;
    painter.setOpacity(own ? 1.0 : kBorrowedOpacity);
    painter.drawImage(display.topLeft(), picture);
    painter.setOpacity(1.0);
}

void CKVLayersView::refreshPicture() {
    if (m_allStale || m_composed.isNull()) {
        m_composed = keyboardDrawing().copy();
        m_staleKeys.set();
        m_allStale = false;
    }
    if (m_staleKeys.any()) {
        QPainter painter(&m_composed);
        for (unsigned key = 0; key < m_keys.size(); ++key)
            if (m_staleKeys.test(key))
                composeKey(painter, key);
        m_staleKeys.reset();
        m_scaled = QPixmap();
    }
    if (m_scaled.isNull() && !m_fit.target().isEmpty()) {
        const qreal ratio = devicePixelRatioF();
        const QSize size = (m_fit.target().size() * ratio).toSize();
        m_scaled =
            QPixmap::fromImage(m_composed.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(ratio);
    }
}

void CKVLayersView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    refreshPicture();
    painter.drawPixmap(m_fit.target().topLeft(), m_scaled);
    painter.setRenderHint(QPainter::Antialiasing);
    paintMarks(painter);
}

void CKVLayersView::paintKeyFrame(QPainter& painter, unsigned key, const QColor& colour, qreal width,
                                  Qt::PenStyle style) const {
    QPen pen(colour, width, style);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal inset = width / 2;
    painter.drawRect(keyRect(key).adjusted(inset, inset, -inset, -inset));
}

void CKVLayersView::paintMarks(QPainter& painter) const {
    const QColor highlight = palette().color(QPalette::Highlight);
    const qreal line = std::max<qreal>(2.0, m_fit.scale() * 3);
    const auto selected = selection();
    for (unsigned key = 0; key < m_keys.size(); ++key)
        if (selected.test(key)) {
            painter.fillRect(keyRect(key), withAlpha(highlight, 70));
            paintKeyFrame(painter, key, highlight, line);
        }
    if (m_hot != kNoKey && !selected.test(m_hot))
        paintKeyFrame(painter, m_hot, withAlpha(highlight.lighter(150), 200), line / 2);
    if (m_marked)
        paintKeyFrame(painter, *m_marked, palette().color(QPalette::Link), line, Qt::DashLine);
    if (hasFocus())
        paintKeyFrame(painter, m_focus, palette().color(QPalette::HighlightedText), 1.0, Qt::DotLine);
    const auto target = m_press && m_press->dragging ? m_press->target : m_fileTarget;
    if (target)
        paintKeyFrame(painter, *target, highlight.lighter(130), line * 1.5);
    if (m_press && m_press->rubberBand) {
        const QRectF band = QRectF(m_press->at, m_press->now).normalized();
        painter.setPen(QPen(highlight, 1));
        painter.setBrush(withAlpha(highlight, 50));
        painter.drawRect(band);
    }
    paintDragImage(painter);
}

void CKVLayersView::paintDragImage(QPainter& painter) const {
    if (!m_press || !m_press->dragging || !m_press->key)
        return;
    const unsigned key = *m_press->key;
    const KVKeyBinding* binding = shownBinding(key);
    const QImage picture = binding ? corvane::editor::keyPicture(*binding) : QImage();
    // The picture moves with the mouse, held where it was grabbed.
    const QRectF display = m_fit.toWidget(m_keys[key].display);
    const QRectF moved = display.translated(m_press->now - m_press->at);
    painter.setOpacity(kDragImageOpacity);
    if (picture.isNull())
        painter.fillRect(moved, Qt::black);
    else
        painter.drawImage(moved, picture);
    painter.setOpacity(1.0);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(moved);
}
