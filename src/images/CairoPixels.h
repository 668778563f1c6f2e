#pragma once

#include "images/KVImage.h"

#include <cairo.h>

namespace corvane::images {

// Copies a Cairo image surface (RGB24, or ARGB32 whose premultiplied colour is the picture laid over
// black) into `into`, which must have the surface's size. False for other surface formats.
bool copySurfacePixels(cairo_surface_t* surface, KVImage& into);

} // namespace corvane::images
