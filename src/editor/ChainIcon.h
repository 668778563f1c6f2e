#pragma once

#include <QIcon>

class QPalette;

namespace corvane::editor {

// The chain of the toggle that pairs views and actions: the theme's link icon, else two drawn links in
// the palette's button text colour.
QIcon chainIcon(const QPalette& palette);

} // namespace corvane::editor
