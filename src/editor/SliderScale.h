#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <utility>

class QSlider;

// The marks printed under a slider ("30 sec", "1 min", ...), each centred under the place the slider's
// handle takes at that value, whatever the style, font and scale. It sits beside the slider in the same
// parent and follows its geometry.
class CKVSliderScale final : public QWidget {
public:
    using Mark = std::pair<int, QString>;
    CKVSliderScale(QSlider& slider, QList<Mark> marks, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    // The marks as one line of text (what a screen reader says).
    QString text() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Where the handle's centre is at `value`, in this widget's coordinates.
    int centreOf(int value) const;

    QSlider& m_slider;
    QList<Mark> m_marks;
};
