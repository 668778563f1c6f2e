#include "editor/KeyImageQt.h"

#include "images/KVImage.h"

#include <QIcon>
#include <QPainter>
#include <span>

namespace corvane::editor {

QImage toQImage(const KVImage& picture) {
    if (!picture.isValid())
        return {};
    QImage image(picture.width(), picture.height(), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        // Key pictures keep their rows bottom-up, blue first.
        const uint8_t* source = picture.scanLine(picture.height() - 1 - y);
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture.width(); ++x, source += KVImage::kBytesPerPixel)
            target[x] = qRgb(source[2], source[1], source[0]);
    }
    return image;
}

KVPtr<KVImage> keyPictureOf(const QImage& image) {
    if (image.isNull())
        return {};
    constexpr int side = KVImage::kKeySize;
    QImage canvas(side, side, QImage::Format_RGB888);
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QImage scaled = image.size() == QSize(side, side)
                                  ? image
                                  : image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter.drawImage((side - scaled.width()) / 2, (side - scaled.height()) / 2, scaled);
    }
    auto picture = std::make_shared<KVImage>();
    std::vector<uint8_t> rgb(static_cast<size_t>(side) * side * 3);
    for (int y = 0; y < side; ++y)
        std::copy_n(canvas.constScanLine(y), side * 3, rgb.begin() + static_cast<ptrdiff_t>(y) * side * 3);
    if (!picture->assignTopDownRgb(side, side, rgb))
        return {};
    return picture;
}

KVPtr<KVImage> keyPictureOf(const QIcon& icon) {
    if (icon.isNull())
        return {};
    constexpr int side = KVImage::kKeySize;
    // Device pixel ratio 1: the key has exactly 48 pixels, whatever the screen's scale.
    const QPixmap pixmap = icon.pixmap(QSize(side, side), 1.0);
    if (pixmap.isNull())
        return {};
    return keyPictureOf(pixmap.toImage());
}

} // namespace corvane::editor
