#pragma once

#include <QImage>
#include <QWidget>

struct KVKeyBinding;

// The picture of the first selected key as the keyboard would show it from the edited layer.
class CKVKeyPreview final : public QWidget {
public:
    explicit CKVKeyPreview(QWidget* parent = nullptr);

    // Takes the picture of `binding` (its drawing view plug-in's, else its own); none clears it.
    void showBinding(const KVKeyBinding* binding);
    const QImage& picture() const { return m_picture; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};
