#include "editor/KeyPreview.h"

#include "editor/KeyImageQt.h"
#include "images/KVImage.h"
#include "layers/KeyBinding.h"

#include <QPainter>
#include <QStyle>

namespace {

constexpr int kSide = KVImage::kKeySize;

} // namespace

CKVKeyPreview::CKVKeyPreview(QWidget* parent) : QWidget(parent) {
    setAccessibleName(tr("Key preview"));
    setToolTip(tr("What the selected key shows from this layer"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CKVKeyPreview::showBinding(const KVKeyBinding* binding) {
    const KVImage* shown = binding ? binding->displayImage().get() : nullptr;
    m_picture = shown ? corvane::editor::toQImage(*shown) : QImage();
    setAccessibleDescription(m_picture.isNull() ? tr("No picture") : tr("A picture"));
    update();
}

QSize CKVKeyPreview::sizeHint() const {
    // Twice the display's pixels, so that a picture is as readable as on the keyboard.
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    return {2 * kSide + 2 * frame, 2 * kSide + 2 * frame};
}

QSize CKVKeyPreview::minimumSizeHint() const {
    return sizeHint();
}

void CKVKeyPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const QRect inner = rect().adjusted(frame, frame, -frame, -frame);
    painter.fillRect(rect(), palette().mid());
    // The key itself is black, as the display is without a picture.
    painter.fillRect(inner, Qt::black);
    if (!m_picture.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(inner, m_picture);
    }
}
