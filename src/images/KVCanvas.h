#pragma once

#include "core/KVPtr.h"
#include "images/KVImage.h"

#include <cairo.h>

// A drawing surface (48 x 48 for keys), cleared to black when made. Text labels are drawn into one, and
// each view plug-in gets one to draw its key into. Drawing goes through Cairo; the result is taken out as
// a key picture in the keyboard's 24-bit form.
class KVCanvas {
public:
    KVCanvas() = default;
    KVCanvas(int width, int height) { create(width, height); }
    ~KVCanvas() { release(); }
    KVCanvas(const KVCanvas&) = delete;
    KVCanvas& operator=(const KVCanvas&) = delete;

    // Keeps the surface when it already has this size, else makes a new one; either way it is cleared
    // to black. False when the surface cannot be made.
    bool create(int width, int height);
    void release();

    bool isValid() const { return m_cairo != nullptr; }
    int width() const { return m_width; }
    int height() const { return m_height; }

    // What drawing code draws on (the canvas's device context). Valid until release or re-creation.
    cairo_t* context() const { return m_cairo; }
    cairo_surface_t* surface() const { return m_surface; }

    void clear();
    // Draws `picture` with its top-left corner at (x, y); parts outside the canvas are cut off.
    bool drawImage(const KVImage& picture, int x = 0, int y = 0);
    // A plain copy of another canvas's pixels from (0, 0); false when the sizes differ.
    bool copyFrom(const KVCanvas& other);
    // The canvas as a key picture (rows bottom-up, blue-green-red); empty for an invalid canvas.
    KVPtr<KVImage> toImage() const;

private:
    int m_width = 0;
    int m_height = 0;
    cairo_surface_t* m_surface = nullptr;
    cairo_t* m_cairo = nullptr;
};
