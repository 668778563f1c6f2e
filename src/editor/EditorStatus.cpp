#include "editor/EditorStatus.h"

#include "core/Log.h"

#include <QMainWindow>
#include <QStatusBar>

namespace corvane::editor {

void showStatus(const QWidget* from, const QString& text) {
    corvane::logger("editor").info("{}", text.toStdString());
    for (auto* widget = from; widget; widget = widget->parentWidget())
        if (auto* window = qobject_cast<const QMainWindow*>(widget)) {
            const_cast<QMainWindow*>(window)->statusBar()->showMessage(text, 10000);
            return;
        }
}

} // namespace corvane::editor
