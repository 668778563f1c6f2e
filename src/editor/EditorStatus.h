#pragma once

#include <QString>

class QWidget;

namespace corvane::editor {

// Says `text` in the status bar of the main window that holds `from` (and logs it); nothing happens
// outside a main window.
void showStatus(const QWidget* from, const QString& text);

} // namespace corvane::editor
