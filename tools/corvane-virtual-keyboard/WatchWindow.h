#pragma once

#include "KeyboardRenderer.h"

#include <QFileSystemWatcher>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <optional>
#include <set>

namespace corvane::vkbd {

// A live picture of a virtual keyboard: redrawn whenever the configurator writes into the folder.
// Pressing a key with the mouse presses it on the keyboard; held keys are outlined.
class WatchWindow : public QWidget {
public:
    WatchWindow(std::filesystem::path dir, std::uint32_t model, Surface drawing);

    // The picture as last drawn, for tests and screenshots.
    const QImage& picture() const { return m_picture; }
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    QSize sizeHint() const override;

private:
    void watchFiles();
    void noteOrderFile();
    QRectF pictureRect() const;
    std::optional<unsigned> keyAt(QPointF point) const;

    std::filesystem::path m_dir;
    std::uint32_t m_model;
    Surface m_drawing;
    QImage m_picture;
    QFileSystemWatcher m_watcher;
    QTimer m_redraw;
    // order.sys keeps only the last command; the brightness has to outlive a later sleep command.
    std::optional<unsigned> m_brightness;
    std::optional<unsigned> m_mouseKey;
    // The keys the tool holds down, outlined in the picture.
    std::set<unsigned> m_keysDown;
};

// Opens the window on DIR and runs until it is closed; the process's exit code.
int runWatch(const std::filesystem::path& dir, int argc, char** argv);

} // namespace corvane::vkbd
