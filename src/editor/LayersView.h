#pragma once

#include "core/KVPtr.h"
#include "editor/KeyCommands.h"
#include "editor/KeyboardPicture.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <bitset>
#include <optional>
#include <vector>

class KVLayersItem;
class KVViewPluginInstance;
struct KVEditorServices;
struct KVKeyBinding;

// The keyboard view: the edited item's key pictures on the keyboard drawing, as the keyboard shows them.
// It selects keys for the key panels (the selection lives in the layers controller), and moves bindings
// from key to key by dragging (or Ctrl+X on one key and Ctrl+V on another) through the drop menu.
//
// Keyboard: the arrow keys move the focus key and select it (Ctrl: move only; Shift: extend from the
// anchor), Space selects the focus key (Ctrl+Space adds or removes it), Menu or Shift+F10 opens the key
// menu, Delete clears the selected keys, Escape drops a Ctrl+X mark.
class CKVLayersView final : public QWidget {
    Q_OBJECT
public:
    static constexpr unsigned kNoKey = 113;

    explicit CKVLayersView(KVEditorServices& services, QWidget* parent = nullptr);
    ~CKVLayersView() override;

    const KVPtr<KVLayersItem>& shownItem() const { return m_item; }
    unsigned focusKey() const { return m_focus; }
    // The key under the mouse on a user layer; kNoKey when none.
    unsigned hotKey() const { return m_hot; }
    // The key marked with Ctrl+X, waiting for Ctrl+V on another key.
    std::optional<unsigned> markedKey() const { return m_marked; }
    std::vector<unsigned> selectedKeys() const;

    // Where `key` is drawn now (its whole key top), in the view's coordinates; empty for no key.
    QRectF keyRect(unsigned key) const;
    std::optional<unsigned> keyAt(QPointF point) const;
    // What `key` shows in the view and whether it comes from the shown layer itself.
    const KVKeyBinding* shownBinding(unsigned key, bool* own = nullptr) const;

    // Everything is drawn again from the model at the next paint.
    void invalidate();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    using KeySelection = std::bitset<128>;

    // Between a press and its release: a click, a key being dragged or a rubber band.
    struct Press {
        std::optional<unsigned> key;
        QPointF at;
        QPointF now;
        KeySelection before;
        bool additive = false;
        bool dragging = false;
        bool rubberBand = false;
        std::optional<unsigned> target;
    };

    // Messages.
    void modelChanged();
    void selectionChanged();
    void pluginImageUpdated(KVViewPluginInstance* instance, unsigned key);
    void keyChanged(unsigned key);

    // The selection, kept by the layers controller; every change is announced.
    KeySelection selection() const;
    void setSelection(const KeySelection& keys);
    void selectOnly(unsigned key);
    void toggle(unsigned key);
    // Selects every key in the rectangle spanned by the anchor and `key`, added to the selection or not.
    void extendTo(unsigned key, bool add);
    void setFocusKey(unsigned key);
    void moveFocus(corvane::editor::KVKeyDirection direction, Qt::KeyboardModifiers modifiers);
    void setHotKey(unsigned key);

    void followDrag(QPointF point);
    void openDropMenu(unsigned source, unsigned target, const QPoint& where);
    void openKeyMenu(unsigned key, const QPoint& where);
    void defineKey(unsigned key);
    void markSource();
    void pasteOnFocus();
    bool handlesKey(const QKeyEvent& event) const;
    QPoint belowKey(unsigned key) const;

    void composeKey(QPainter& painter, unsigned key) const;
    void refreshPicture();
    void paintMarks(QPainter& painter) const;
    void paintKeyFrame(QPainter& painter, unsigned key, const QColor& colour, qreal width,
                       Qt::PenStyle style = Qt::SolidLine) const;
    void paintDragImage(QPainter& painter) const;
    void announceFocus();

    KVEditorServices& m_services;
    KVKeyCommands m_commands;
    corvane::editor::KVDrawnKeys m_keys;
    KVPtr<KVLayersItem> m_item;
    unsigned m_focus = 0;
    unsigned m_anchor = 0;
    unsigned m_hot = kNoKey;
    std::optional<unsigned> m_marked;
    std::optional<Press> m_press;
    std::optional<unsigned> m_fileTarget;

    // The drawing with every key picture on it, at the drawing's size, and that scaled to the view.
    QImage m_composed;
    std::bitset<128> m_staleKeys;
    bool m_allStale = true;
    QPixmap m_scaled;
    corvane::editor::KVDrawingFit m_fit;
};
