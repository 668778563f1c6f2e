// A Qt program with one window, for tests of the foreground on X11 and Wayland: Qt sets _NET_WM_PID on
// X11 and the app id "corvane-test-window" on Wayland. Prints "shown" once its window is up.

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName("corvane-test-window");
    QLabel window(argc > 1 ? argv[1] : "test window");
    window.setWindowTitle(window.text());
    window.resize(200, 100);
    window.show();
    QTimer::singleShot(0, [] {
        std::puts("shown");
        std::fflush(stdout);
    });
    return app.exec();
}
