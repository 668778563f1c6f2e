#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <optional>
#include <vector>

struct KVKeyBinding;

// What the keyboard view and the key picker share: the keyboard drawing, where it sits in a widget, and
// the keys on it (hit testing, rubber bands, arrow-key moves), all in the drawing's own pixels.
namespace corvane::editor {

// One key on the drawing.
struct KVKeyOnDrawing {
    QRect display; // the 48 x 48 display
    QRect cap;     // the whole key top, which a click hits
    int row = 0;   // 0 (function keys) to 5 (space bar)
};

enum class KVKeyDirection { Left, Right, Up, Down };

class KVDrawingFit;

class KVDrawnKeys {
public:
    explicit KVDrawnKeys(std::vector<KVKeyOnDrawing> keys) : m_keys(std::move(keys)) {}
    // The 113 keys of the main keyboard, from its geometry table.
    static KVDrawnKeys mainKeyboard();

    unsigned size() const { return unsigned(m_keys.size()); }
    const KVKeyOnDrawing& operator[](unsigned key) const { return m_keys[key]; }

    // The first key in index order whose cap holds the point.
    std::optional<unsigned> keyAt(QPointF point) const;
    // The same in the coordinates of a widget the drawing is fitted into; an empty rectangle past the end.
    QRectF capIn(const KVDrawingFit& fit, unsigned key) const;
    std::optional<unsigned> keyAt(const KVDrawingFit& fit, QPointF inWidget) const;
    // Every key whose cap the rectangle touches, in index order.
    std::vector<unsigned> keysTouching(const QRectF& area) const;
    // Left and Right step through the index order (the keys run left to right along each row); Up and
    // Down go to the key above or below with the nearest display, skipping rows with a gap there (the
    // arrow keys, the keypad). None at the edge.
    std::optional<unsigned> neighbour(unsigned key, KVKeyDirection direction) const;

private:
    std::optional<unsigned> nearestInRow(int row, double centre, double within) const;

    std::vector<KVKeyOnDrawing> m_keys;
};

// Where the drawing goes in a widget: as large as fits with its proportions kept, centred.
class KVDrawingFit {
public:
    KVDrawingFit() = default;
    KVDrawingFit(QSize widget, QSize drawing);

    double scale() const { return m_scale; }
    const QRectF& target() const { return m_target; }
    QRectF toWidget(const QRectF& onDrawing) const;
    QPointF toDrawing(QPointF inWidget) const;

private:
    double m_scale = 0;
    QRectF m_target;
};

// The keyboard drawing the program ships, read once. When it cannot be read (logged) a plain drawing of
// the key caps stands in, so that the keys can still be seen and clicked.
const QImage& keyboardDrawing();
// The height that keeps the keyboard drawing's proportions at `width`.
int keyboardHeightForWidth(int width);

// What a binding shows on the keyboard, converted the way the keyboard gets it: a drawing view
// plug-in's bitmap, else the binding's own 48 x 48 picture. Null when it shows nothing.
QImage keyPicture(const KVKeyBinding& binding);

} // namespace corvane::editor
