#include "WatchWindow.h"

#include "KeyboardCommands.h"
#include "VirtualKeyboardFolder.h"
#include "keyboard/KeyboardGeometry.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <cairo.h>
#include <spdlog/spdlog.h>

namespace corvane::vkbd {

namespace {

// Writes from one update arrive as a burst; one redraw after the burst is enough.
constexpr int kRedrawDelayMs = 40;

QImage toQImage(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    // Cairo's ARGB32 is Qt's premultiplied ARGB32 in the same byte order; copy so Qt owns the pixels.
    return QImage(cairo_image_surface_get_data(surface), cairo_image_surface_get_width(surface),
                  cairo_image_surface_get_height(surface), cairo_image_surface_get_stride(surface),
                  QImage::Format_ARGB32_Premultiplied)
        .copy();
}

} // namespace

WatchWindow::WatchWindow(std::filesystem::path dir, std::uint32_t model, Surface drawing)
    : m_dir(std::move(dir)), m_model(model), m_drawing(std::move(drawing)) {
    setWindowTitle(QString::fromStdString("Virtual keyboard - " + m_dir.string()));
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(kRedrawDelayMs);
    connect(&m_redraw, &QTimer::timeout, this, [this] { refresh(); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        watchFiles();
        m_redraw.start();
    });
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this](const QString& path) {
        if (std::filesystem::path(path.toStdString()) == FolderPaths{m_dir}.order())
            noteOrderFile();
        // A file replaced rather than rewritten drops out of the watch; take it up again.
        watchFiles();
        m_redraw.start();
    });
    watchFiles();
    refresh();
}

void WatchWindow::watchFiles() {
    const FolderPaths paths{m_dir};
    QStringList wanted{QString::fromStdString(paths.root.string()),
                       QString::fromStdString((paths.root / "vTavirex").string()),
                       QString::fromStdString(paths.dynamicFolder().string()),
                       QString::fromStdString(paths.displayMap().string()),
                       QString::fromStdString(paths.order().string()),
                       QString::fromStdString(paths.keysDown().string())};
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(paths.dynamicFolder(), error))
        wanted << QString::fromStdString(entry.path().string());
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    QStringList missing;
    for (const auto& path : wanted) {
        if (!watched.contains(path) && std::filesystem::exists(path.toStdString(), error))
            missing << path;
    }
    if (!missing.isEmpty())
        m_watcher.addPaths(missing);
}

void WatchWindow::noteOrderFile() {
    if (const auto order = readFile(FolderPaths{m_dir}.order())) {
        if (const auto brightness = brightnessOfCommand(*order))
            m_brightness = brightness;
    }
}

void WatchWindow::refresh() {
    // order.sys may have appeared with this change, before it was watched.
    noteOrderFile();
    m_keysDown = readKeysDown(m_dir);
    const Surface picture = renderKeyboard(m_drawing.get(), readFirmwareState(m_dir, m_model, m_brightness));
    m_picture = toQImage(picture.get());
    update();
}

QSize WatchWindow::sizeHint() const {
    return m_picture.size();
}

QRectF WatchWindow::pictureRect() const {
    if (m_picture.isNull())
        return {};
    // Keep the drawing's proportions at any window size.
    const double scale = std::min(width() / double(m_picture.width()), height() / double(m_picture.height()));
    const QSizeF size(m_picture.width() * scale, m_picture.height() * scale);
    return {QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size};
}

void WatchWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(48, 50, 54));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF target = pictureRect();
    painter.drawImage(target, m_picture);
    if (m_keysDown.empty() || target.isEmpty())
        return;
    const double scale = target.width() / m_picture.width();
    painter.setPen(QPen(QColor(255, 196, 0), 3));
    const auto places = keyboard::keyPlaces(static_cast<int>(m_model));
    for (unsigned key : m_keysDown) {
        if (key >= places.size())
            continue;
        const auto& place = places[key];
        painter.drawRect(QRectF(target.x() + place.capX * scale, target.y() + place.capY * scale,
                                place.capWidth * scale, place.capHeight * scale));
    }
}

std::optional<unsigned> WatchWindow::keyAt(QPointF point) const {
    const QRectF target = pictureRect();
    if (target.isEmpty())
        return std::nullopt;
    const double scale = target.width() / m_picture.width();
    const QPointF p = (point - target.topLeft()) / scale;
    const auto places = keyboard::keyPlaces(static_cast<int>(m_model));
    for (unsigned key = 0; key < places.size(); ++key) {
        const auto& place = places[key];
        if (QRectF(place.capX, place.capY, place.capWidth, place.capHeight).contains(p))
            return key;
    }
    return std::nullopt;
}

void WatchWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_mouseKey = keyAt(event->position());
    if (m_mouseKey) {
        if (const auto error = pressKeys(m_dir, {*m_mouseKey}); !error.empty())
            setWindowTitle(QString::fromStdString(error));
    }
}

void WatchWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_mouseKey)
        return;
    const unsigned key = *m_mouseKey;
    m_mouseKey.reset();
    if (const auto error = releaseKeys(m_dir, {key}); !error.empty())
        setWindowTitle(QString::fromStdString(error));
}

int runWatch(const std::filesystem::path& dir, int argc, char** argv) {
    const auto folder = folderModel(dir);
    if (!folder.error.empty()) {
        spdlog::error("{}", folder.error);
        return 1;
    }
    QApplication app(argc, argv);
    const auto drawingFile = drawingPath(folder.model);
    Surface drawing = loadPng(drawingFile);
    if (!drawing)
        return 1;
    WatchWindow window(dir, folder.model, std::move(drawing));
    window.show();
    return app.exec();
}

} // namespace corvane::vkbd
