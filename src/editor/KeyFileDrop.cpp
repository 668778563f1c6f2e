#include "editor/KeyFileDrop.h"

namespace corvane::editor {

QString dropFilesOnKeys(KVEditorServices&, const std::vector<unsigned>&, const QStringList&, bool, QWidget*) {
    return QStringLiteral("Dropping files on keys is not available yet");
}

} // namespace corvane::editor
