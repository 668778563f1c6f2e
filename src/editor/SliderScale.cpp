#include "editor/SliderScale.h"

#include <QEvent>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>

CKVSliderScale::CKVSliderScale(QSlider& slider, QList<Mark> marks, QWidget* parent)
    : QWidget(parent), m_slider(slider), m_marks(std::move(marks)) {
    setAccessibleDescription(text());
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The marks move with the slider's handle, so they are laid out again when the slider is.
    m_slider.installEventFilter(this);
}

QString CKVSliderScale::text() const {
    QStringList parts;
    for (const auto& [value, label] : m_marks)
        parts << label;
    return parts.join(QLatin1Char(' '));
}

QSize CKVSliderScale::sizeHint() const {
    // Wide enough that neighbouring marks, spaced as their values are, keep a blank between them.
    const QFontMetrics metrics = fontMetrics();
    const int gap = metrics.horizontalAdvance(QStringLiteral("  "));
    const int range = std::max(1, m_slider.maximum() - m_slider.minimum());
    int span = 0;
    for (qsizetype i = 1; i < m_marks.size(); ++i) {
        const int apart = std::max(1, m_marks[i].first - m_marks[i - 1].first);
        const int needed = (metrics.horizontalAdvance(m_marks[i - 1].second) +
                            metrics.horizontalAdvance(m_marks[i].second)) /
                               2 +
                           gap;
        span = std::max(span, needed * range / apart);
    }
    const int handle = m_slider.style()->pixelMetric(QStyle::PM_SliderLength, nullptr, &m_slider);
    return {span + handle, metrics.height()};
}

bool CKVSliderScale::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_slider && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        update();
    return QWidget::eventFilter(watched, event);
}

int CKVSliderScale::centreOf(int value) const {
    QStyleOptionSlider option;
    option.initFrom(&m_slider);
    option.orientation = m_slider.orientation();
    option.minimum = m_slider.minimum();
    option.maximum = m_slider.maximum();
    option.sliderPosition = value;
    option.sliderValue = value;
    option.tickPosition = m_slider.tickPosition();
    option.tickInterval = m_slider.tickInterval();
    option.subControls = QStyle::SC_SliderHandle;
    const QRect handle =
        m_slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &m_slider);
    return m_slider.mapTo(window(), handle.center()).x() - mapTo(window(), QPoint(0, 0)).x();
}

void CKVSliderScale::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QFontMetrics metrics = fontMetrics();
    for (const auto& [value, label] : m_marks) {
        const int labelWidth = metrics.horizontalAdvance(label);
        // The end marks stay whole inside the widget rather than being cut at its edges.
        const int left = std::clamp(centreOf(value) - labelWidth / 2, 0, std::max(0, width() - labelWidth));
        painter.drawText(QRect(left, 0, labelWidth, height()), Qt::AlignCenter, label);
    }
}
