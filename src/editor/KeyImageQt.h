#pragma once

#include "core/KVPtr.h"

#include <QImage>

class KVImage;
class QIcon;

// Key pictures to and from Qt's pictures.
namespace corvane::editor {

// The picture as Qt draws it; a null image when it holds no pixels.
QImage toQImage(const KVImage& picture);
// A 48 x 48 key picture of `image` drawn over black (keys have no transparency), scaled to fit and
// centred; empty for a null image.
KVPtr<KVImage> keyPictureOf(const QImage& image);
// An icon drawn at 48 x 48 as a key picture; empty when the icon has nothing at that size.
KVPtr<KVImage> keyPictureOf(const QIcon& icon);

} // namespace corvane::editor
