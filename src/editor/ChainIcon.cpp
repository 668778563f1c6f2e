#include "editor/ChainIcon.h"

#include <QPainter>
#include <QPalette>
#include <QPixmap>

namespace corvane::editor {
namespace {

QPixmap drawnChain(const QColor& colour, int side) {
    // Drawn at four times the size and scaled down for smooth edges at any screen scale.
    QPixmap pixmap(side * 4, side * 4);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, side * 4 / 8.0));
    painter.translate(pixmap.width() / 2.0, pixmap.height() / 2.0);
    painter.rotate(-45);
    const qreal length = side * 4 * 0.55, width = side * 4 * 0.3, overlap = length * 0.3;
    painter.drawRoundedRect(QRectF(-length + overlap / 2, -width / 2, length, width), width / 2, width / 2);
    painter.drawRoundedRect(QRectF(-overlap / 2, -width / 2, length, width), width / 2, width / 2);
    painter.end();
    return pixmap.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace

QIcon chainIcon(const QPalette& palette) {
    const QIcon themed = QIcon::fromTheme(QStringLiteral("insert-link"));
    if (!themed.isNull())
        return themed;
    QIcon icon;
    for (const int side : {16, 22, 32, 48})
        icon.addPixmap(drawnChain(palette.color(QPalette::ButtonText), side));
    return icon;
}

} // namespace corvane::editor
