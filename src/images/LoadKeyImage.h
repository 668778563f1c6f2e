#pragma once

#include "core/KVPtr.h"
#include "images/KVImage.h"

#include <string>

// A key picture by name: "ACTION_..." (any case) is a built-in action picture, anything else a picture
// file. The result is always 48 x 48 at 24 bits (Lanczos3, the aspect ratio not kept), or empty when the
// name gives no picture.
KVPtr<KVImage> LoadKeyImage(const std::string& name);
