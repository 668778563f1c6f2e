#include "editor/KeyboardPicture.h"

#include "core/Log.h"
#include "devicectl/LayersDisplayBindings.h"
#include "keyboard/KeyboardGeometry.h"
#include "layers/KeyBinding.h"
#include "layers/PictureLayer.h"
#include "store/StoreFolders.h"

#include <QPainter>
#include <cmath>

namespace corvane::editor {

namespace {

// A key straight above or below has its display centre within this of the focus key's.
constexpr double kSameColumn = 40;
// Beyond this no key counts as being above or below at all.
constexpr double kFarthestNeighbour = 191;

double centreOf(const KVKeyOnDrawing& key) {
    return key.display.x() + key.display.width() / 2.0;
}

QImage capsOnly() {
    const auto size = keyboard::drawingSize(0);
    QImage drawing(size.width, size.height, QImage::Format_ARGB32_Premultiplied);
    drawing.fill(QColor(0x2e, 0x30, 0x33));
    QPainter painter(&drawing);
    for (const auto& place : keyboard::keyPlaces(0)) {
        painter.fillRect(place.capX, place.capY, place.capWidth, place.capHeight, QColor(0x3a, 0x3c, 0x40));
        painter.fillRect(place.x, place.y, keyboard::kDisplaySize, keyboard::kDisplaySize, Qt::black);
    }
    return drawing;
}

// 48 x 48 rows bottom-up, blue-green-red (and a fourth byte at 32 bits), as the keyboard path holds them.
QImage fromBottomUp(std::span<const uint8_t> bits, int bitsPerPixel) {
    const int side = keyboard::kDisplaySize;
    const auto stride = qsizetype(side * (bitsPerPixel / 8));
    const QImage rows(bits.data(), side, side, stride,
                      bitsPerPixel == 32 ? QImage::Format_RGB32 : QImage::Format_BGR888);
    return rows.mirrored(false, true);
}

} // namespace

KVDrawnKeys KVDrawnKeys::mainKeyboard() {
    std::vector<KVKeyOnDrawing> keys;
    for (const auto& place : keyboard::keyPlaces(0))
        keys.push_back({QRect(place.x, place.y, keyboard::kDisplaySize, keyboard::kDisplaySize),
                        QRect(place.capX, place.capY, place.capWidth, place.capHeight), place.row});
    return KVDrawnKeys(std::move(keys));
}

std::optional<unsigned> KVDrawnKeys::keyAt(QPointF point) const {
    for (unsigned key = 0; key < size(); ++key)
        if (QRectF(m_keys[key].cap).contains(point))
            return key;
    return std::nullopt;
}

std::vector<unsigned> KVDrawnKeys::keysTouching(const QRectF& area) const {
    std::vector<unsigned> touched;
    for (unsigned key = 0; key < size(); ++key)
        if (QRectF(m_keys[key].cap).intersects(area))
            touched.push_back(key);
    return touched;
}

std::optional<unsigned> KVDrawnKeys::nearestInRow(int row, double centre, double within) const {
    std::optional<unsigned> nearest;
    double best = within;
    for (unsigned key = 0; key < size(); ++key) {
        if (m_keys[key].row != row)
            continue;
        const double distance = std::abs(centreOf(m_keys[key]) - centre);
        if (distance <= best) {
            best = distance;
            nearest = key;
        }
    }
    return nearest;
}

std::optional<unsigned> KVDrawnKeys::neighbour(unsigned key, KVKeyDirection direction) const {
    if (key >= size())
        return std::nullopt;
    switch (direction) {
    case KVKeyDirection::Left:
        return key > 0 ? std::optional(key - 1) : std::nullopt;
    case KVKeyDirection::Right:
        return key + 1 < size() ? std::optional(key + 1) : std::nullopt;
    case KVKeyDirection::Up:
    case KVKeyDirection::Down:
        break;
    }
    const int step = direction == KVKeyDirection::Up ? -1 : 1;
    const double centre = centreOf(m_keys[key]);
    int lastRow = 0;
    for (const auto& each : m_keys)
        lastRow = std::max(lastRow, each.row);
    for (int row = m_keys[key].row + step; row >= 0 && row <= lastRow; row += step)
        if (const auto found = nearestInRow(row, centre, kSameColumn))
            return found;
    return nearestInRow(m_keys[key].row + step, centre, kFarthestNeighbour);
}

KVDrawingFit::KVDrawingFit(QSize widget, QSize drawing) {
    if (drawing.isEmpty() || widget.isEmpty())
        return;
    m_scale = std::min(widget.width() / double(drawing.width()), widget.height() / double(drawing.height()));
    const QSizeF size(drawing.width() * m_scale, drawing.height() * m_scale);
    m_target =
        QRectF(QPointF((widget.width() - size.width()) / 2, (widget.height() - size.height()) / 2), size);
}

QRectF KVDrawingFit::toWidget(const QRectF& onDrawing) const {
    return {m_target.topLeft() + onDrawing.topLeft() * m_scale, onDrawing.size() * m_scale};
}

QPointF KVDrawingFit::toDrawing(QPointF inWidget) const {
    return m_scale > 0 ? (inWidget - m_target.topLeft()) / m_scale : QPointF(-1, -1);
}

const QImage& keyboardDrawing() {
    static const QImage drawing = [] {
        const auto path = layers::keyboardDrawingPath(KVStoreFolders().programFolder());
        QImage loaded(QString::fromStdString(path));
        const auto size = keyboard::drawingSize(0);
        if (loaded.width() == size.width && loaded.height() == size.height)
            return loaded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        corvane::logger("editor").error("the keyboard drawing {} cannot be read; drawing the key caps only",
                                        path);
        return capsOnly();
    }();
    return drawing;
}

QImage keyPicture(const KVKeyBinding& binding) {
    const KVDeviceBinding shown = deviceBindingOf(binding);
    if (shown.hasViewPlugin)
        return isKeyBitmap(shown.viewBitmap)
                   ? fromBottomUp(shown.viewBitmap.bits, shown.viewBitmap.bitsPerPixel)
                   : QImage();
    const auto pixels = keyPixels(shown.picture);
    return pixels.empty() ? QImage() : fromBottomUp(pixels, 24);
}

} // namespace corvane::editor

namespace corvane::editor {

QRectF KVDrawnKeys::capIn(const KVDrawingFit& fit, unsigned key) const {
    return key < size() ? fit.toWidget(m_keys[key].cap) : QRectF();
}

std::optional<unsigned> KVDrawnKeys::keyAt(const KVDrawingFit& fit, QPointF inWidget) const {
    return keyAt(fit.toDrawing(inWidget));
}

int keyboardHeightForWidth(int width) {
    const QSize drawing = keyboardDrawing().size();
    return drawing.isEmpty() ? width / 3 : width * drawing.height() / drawing.width();
}

} // namespace corvane::editor
