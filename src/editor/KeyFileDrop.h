#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class QWidget;
struct KVEditorServices;

namespace corvane::editor {

// Files dropped on the display panel or on a key of the keyboard view, for `keys` of the edited layer:
// offered first to a view plug-in that accepts files, otherwise the first file becomes the keys'
// picture, or, when it is no picture, the icon the desktop shows for it (with `chooseIcon`, the user
// picks among the candidates). Every change is one undoable step. Answers what happened, in words, for
// the status bar.
QString dropFilesOnKeys(KVEditorServices& services, const std::vector<unsigned>& keys,
                        const QStringList& files, bool chooseIcon, QWidget* parent);

} // namespace corvane::editor
