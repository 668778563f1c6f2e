#pragma once

#include "core/KVPtr.h"

#include <QIcon>
#include <QString>
#include <optional>
#include <vector>

class KVImage;
class KVSysApplicationsController;
class QWidget;

// The icons the desktop shows for a file that is no picture, as key pictures.
namespace corvane::editor {

struct KVFileIcon {
    QString name; // the icon's theme name or file, or what the file is
    QIcon icon;
    KVPtr<KVImage> picture; // drawn at 48 x 48 over black
};

// The "Icon" value of a desktop entry file's main group; empty when it has none.
QString desktopEntryIcon(const QString& path);
// An icon given as a theme name or as a file path (desktop entries give either); null when none.
QIcon iconByName(const QString& nameOrPath);

// Every icon the desktop has for `path`, best first: a desktop entry's own icon, the icon of the
// application whose program the file is, then the icons of its file type. Empty when the file does
// not exist or nothing draws.
std::vector<KVFileIcon> fileIcons(const QString& path, const KVSysApplicationsController& applications);

// A small dialog listing `icons` for `fileName`; the chosen index, none when cancelled.
std::optional<size_t> chooseFileIcon(const std::vector<KVFileIcon>& icons, const QString& fileName,
                                     QWidget* parent);

} // namespace corvane::editor
