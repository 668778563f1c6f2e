#pragma once

#include "editor/KeyboardPicture.h"

#include <QPixmap>
#include <QWidget>

// The key picker inside "Select Key": the keyboard drawing with every key's caption. A click on a key
// chooses it; so do Enter and Space on the current key, which the arrow keys move. Pressing outside
// the keys moves the whole dialog.
class CKVKeyboardSelect final : public QWidget {
    Q_OBJECT
public:
    static constexpr unsigned kNoKey = 114;

    explicit CKVKeyboardSelect(QWidget* parent = nullptr);

    unsigned keyCount() const { return m_keys.size(); }
    // The key the arrow keys move and OK takes; kNoKey until one is pointed at.
    unsigned currentKey() const { return m_current; }
    void setCurrentKey(unsigned key);
    unsigned hotKey() const { return m_hot; }
    // Where `key` is drawn now (its whole key top); empty for no key.
    QRectF keyRect(unsigned key) const;
    std::optional<unsigned> keyAt(QPointF point) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    void keyChosen(unsigned key);
    void currentKeyChanged(unsigned key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    const QPixmap& labelledDrawing();
    void setHotKey(unsigned key);

    corvane::editor::KVDrawnKeys m_keys;
    corvane::editor::KVDrawingFit m_fit;
    QPixmap m_scaled;
    unsigned m_current = kNoKey;
    unsigned m_hot = kNoKey;
    bool m_pressedOnKey = false;
};
