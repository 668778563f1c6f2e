// Draws the pictures compiled into the program (key pictures of the built-in actions and the editor's key
// decorations) with Cairo and writes them as a C++ source of PNG byte arrays. With a second argument it
// also writes each picture as a PNG file into that folder, for looking at them.
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Colour {
    double r, g, b;
};
constexpr Colour kWhite{1, 1, 1};
constexpr Colour kBlue{0.20, 0.55, 0.95};
constexpr Colour kGreen{0.30, 0.80, 0.35};
constexpr Colour kRed{0.92, 0.22, 0.20};
constexpr Colour kYellow{1.0, 0.80, 0.15};
constexpr Colour kOrange{1.0, 0.60, 0.10};
constexpr Colour kGrey{0.55, 0.58, 0.62};

void setColour(cairo_t* cr, Colour c) {
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

void arrowHorizontal(cairo_t* cr, double direction) {
    // A thick arrow across a blue disc; direction -1 points left, +1 right.
    setColour(cr, kBlue);
    cairo_arc(cr, 24, 24, 21, 0, 2 * kPi);
    cairo_fill(cr);
    setColour(cr, kWhite);
    cairo_save(cr);
    cairo_translate(cr, 24, 24);
    cairo_scale(cr, direction, 1);
    cairo_move_to(cr, 13, 0);
    cairo_line_to(cr, 0, -12);
    cairo_line_to(cr, 0, -5);
    cairo_line_to(cr, -13, -5);
    cairo_line_to(cr, -13, 5);
    cairo_line_to(cr, 0, 5);
    cairo_line_to(cr, 0, 12);
    cairo_close_path(cr);
    cairo_restore(cr);
    cairo_fill(cr);
}

void drawBack(cairo_t* cr) {
    arrowHorizontal(cr, -1);
}
void drawForward(cairo_t* cr) {
    arrowHorizontal(cr, 1);
}

void drawFavorites(cairo_t* cr) {
    setColour(cr, kYellow);
    for (int i = 0; i < 10; ++i) {
        const double radius = i % 2 == 0 ? 21 : 8.5;
        const double angle = -kPi / 2 + i * kPi / 5;
        cairo_line_to(cr, 24 + radius * std::cos(angle), 26 + radius * std::sin(angle));
    }
    cairo_close_path(cr);
    cairo_fill(cr);
}

void drawHome(cairo_t* cr) {
    setColour(cr, kWhite);
    cairo_rectangle(cr, 31, 6, 5, 10);
    cairo_fill(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 3.5);
    cairo_move_to(cr, 4, 24);
    cairo_line_to(cr, 24, 5);
    cairo_line_to(cr, 44, 24);
    cairo_stroke(cr);
    cairo_rectangle(cr, 10, 23, 28, 20);
    cairo_fill(cr);
    setColour(cr, kOrange);
    cairo_rectangle(cr, 20, 30, 8, 13);
    cairo_fill(cr);
}

void drawReload(cairo_t* cr) {
    setColour(cr, kGreen);
    cairo_set_line_width(cr, 5);
    cairo_arc(cr, 24, 25, 15, -kPi / 2 + 0.45, 1.55 * kPi - 0.1);
    cairo_stroke(cr);
    // The arrow head at the open end of the circle, pointing clockwise.
    cairo_move_to(cr, 31, 1);
    cairo_line_to(cr, 31, 19);
    cairo_line_to(cr, 17, 10);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void drawSearch(cairo_t* cr) {
    setColour(cr, kWhite);
    cairo_set_line_width(cr, 4.5);
    cairo_arc(cr, 20, 20, 13, 0, 2 * kPi);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 7);
    cairo_move_to(cr, 30, 30);
    cairo_line_to(cr, 42, 42);
    cairo_stroke(cr);
    setColour(cr, kBlue);
    cairo_arc(cr, 20, 20, 10.5, 0, 2 * kPi);
    cairo_fill(cr);
}

void drawBrowserStop(cairo_t* cr) {
    setColour(cr, kRed);
    for (int i = 0; i < 8; ++i) {
        const double angle = kPi / 8 + i * kPi / 4;
        cairo_line_to(cr, 24 + 22 * std::cos(angle), 24 + 22 * std::sin(angle));
    }
    cairo_close_path(cr);
    cairo_fill(cr);
    setColour(cr, kWhite);
    cairo_set_line_width(cr, 5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 15, 15);
    cairo_line_to(cr, 33, 33);
    cairo_move_to(cr, 33, 15);
    cairo_line_to(cr, 15, 33);
    cairo_stroke(cr);
}

void speaker(cairo_t* cr) {
    setColour(cr, kWhite);
    cairo_move_to(cr, 3, 17);
    cairo_line_to(cr, 11, 17);
    cairo_line_to(cr, 22, 7);
    cairo_line_to(cr, 22, 41);
    cairo_line_to(cr, 11, 31);
    cairo_line_to(cr, 3, 31);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void soundWaves(cairo_t* cr, int count) {
    setColour(cr, kWhite);
    cairo_set_line_width(cr, 3);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < count; ++i) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, 22, 24, 7 + i * 7, -0.8, 0.8);
    }
    cairo_stroke(cr);
}

void sign(cairo_t* cr, bool plus) {
    setColour(cr, kGreen);
    cairo_rectangle(cr, 32, 37, 14, 4);
    if (plus)
        cairo_rectangle(cr, 37, 32, 4, 14);
    cairo_fill(cr);
}

void drawMute(cairo_t* cr) {
    speaker(cr);
    setColour(cr, kRed);
    cairo_set_line_width(cr, 4);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 29, 17);
    cairo_line_to(cr, 43, 31);
    cairo_move_to(cr, 43, 17);
    cairo_line_to(cr, 29, 31);
    cairo_stroke(cr);
}

void drawVolumeDown(cairo_t* cr) {
    speaker(cr);
    soundWaves(cr, 1);
    sign(cr, false);
}

void drawVolumeUp(cairo_t* cr) {
    speaker(cr);
    soundWaves(cr, 3);
    sign(cr, true);
}

void triangle(cairo_t* cr, double left, double right, double top, double bottom) {
    cairo_move_to(cr, left, top);
    cairo_line_to(cr, right, (top + bottom) / 2);
    cairo_line_to(cr, left, bottom);
    cairo_close_path(cr);
}

void drawPlay(cairo_t* cr) {
    // Play and pause: the key toggles.
    setColour(cr, kGreen);
    triangle(cr, 4, 26, 10, 38);
    cairo_fill(cr);
    setColour(cr, kWhite);
    cairo_rectangle(cr, 30, 10, 5, 28);
    cairo_rectangle(cr, 39, 10, 5, 28);
    cairo_fill(cr);
}

void drawNextTrack(cairo_t* cr) {
    setColour(cr, kWhite);
    triangle(cr, 4, 21, 12, 36);
    triangle(cr, 21, 38, 12, 36);
    cairo_rectangle(cr, 38, 12, 5, 24);
    cairo_fill(cr);
}

void drawPreviousTrack(cairo_t* cr) {
    cairo_translate(cr, 48, 0);
    cairo_scale(cr, -1, 1);
    drawNextTrack(cr);
}

void drawMediaStop(cairo_t* cr) {
    setColour(cr, kWhite);
    cairo_rectangle(cr, 11, 11, 26, 26);
    cairo_fill(cr);
}

void drawPower(cairo_t* cr) {
    setColour(cr, kRed);
    cairo_set_line_width(cr, 5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_arc(cr, 24, 26, 16, -kPi / 2 + 0.6, 1.5 * kPi - 0.6);
    cairo_stroke(cr);
    cairo_move_to(cr, 24, 5);
    cairo_line_to(cr, 24, 24);
    cairo_stroke(cr);
}

void drawSleep(cairo_t* cr) {
    setColour(cr, kYellow);
    cairo_arc(cr, 20, 27, 17, 0, 2 * kPi);
    cairo_fill(cr);
    // The crescent: a black disc bites into the yellow one.
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_arc(cr, 30, 19, 14, 0, 2 * kPi);
    cairo_fill(cr);
    // "z" beside the moon
    setColour(cr, kWhite);
    cairo_set_line_width(cr, 2.5);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, 33, 5);
    cairo_line_to(cr, 44, 5);
    cairo_line_to(cr, 33, 16);
    cairo_line_to(cr, 44, 16);
    cairo_stroke(cr);
}

void drawWakeUp(cairo_t* cr) {
    setColour(cr, kOrange);
    cairo_arc(cr, 24, 24, 10, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_set_line_width(cr, 3.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 8; ++i) {
        const double angle = i * kPi / 4;
        cairo_move_to(cr, 24 + 15 * std::cos(angle), 24 + 15 * std::sin(angle));
        cairo_line_to(cr, 24 + 21 * std::cos(angle), 24 + 21 * std::sin(angle));
    }
    cairo_stroke(cr);
}

// Editor decorations drawn over a key: selection, hot (under the mouse), focus, and the badge of a key
// that a view plug-in draws.
void frame(cairo_t* cr, Colour colour, double width, bool dashed) {
    setColour(cr, colour);
    cairo_set_line_width(cr, width);
    if (dashed) {
        const double dashes[] = {6, 4};
        cairo_set_dash(cr, dashes, 2, 0);
    }
    cairo_rectangle(cr, width / 2, width / 2, 48 - width, 48 - width);
    cairo_stroke(cr);
}
void drawSelection(cairo_t* cr) {
    frame(cr, kBlue, 4, false);
}
void drawHot(cairo_t* cr) {
    frame(cr, kOrange, 3, false);
}
void drawFocus(cairo_t* cr) {
    frame(cr, kWhite, 2, true);
}

void drawPluginBadge(cairo_t* cr) {
    // A puzzle piece.
    setColour(cr, kGreen);
    cairo_rectangle(cr, 3, 7, 14, 14);
    cairo_fill(cr);
    cairo_arc(cr, 10, 5, 3.5, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_arc(cr, 19, 14, 3.5, 0, 2 * kPi);
    cairo_fill(cr);
    setColour(cr, kGrey);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, 0.5, 0.5, 23, 23);
    cairo_stroke(cr);
}

// The program's icon: a key cap whose display shows a blue picture; drawn with transparency around it.
void drawProgramIcon(cairo_t* cr) {
    cairo_set_source_rgb(cr, 0.85, 0.86, 0.88);
    cairo_rectangle(cr, 1, 1, 14, 14);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, 3, 3, 10, 10);
    cairo_fill(cr);
    setColour(cr, kBlue);
    cairo_rectangle(cr, 5, 5, 6, 6);
    cairo_fill(cr);
}

struct Picture {
    const char* name;
    int size;
    void (*draw)(cairo_t*);
    bool transparent = false;
};

// Sorted by name: the program looks them up by binary search.
const Picture kPictures[] = {
    {"ACTION_BROWSER_BACK", 48, drawBack},
    {"ACTION_BROWSER_FAVORITES", 48, drawFavorites},
    {"ACTION_BROWSER_FORWARD", 48, drawForward},
    {"ACTION_BROWSER_HOME", 48, drawHome},
    {"ACTION_BROWSER_RELOAD", 48, drawReload},
    {"ACTION_BROWSER_SEARCH", 48, drawSearch},
    {"ACTION_BROWSER_STOP", 48, drawBrowserStop},
    {"ACTION_MEDIA_MUTE", 48, drawMute},
    {"ACTION_MEDIA_NEXT_TRACK", 48, drawNextTrack},
    {"ACTION_MEDIA_PLAY", 48, drawPlay},
    {"ACTION_MEDIA_PREV_TRACK", 48, drawPreviousTrack},
    {"ACTION_MEDIA_STOP", 48, drawMediaStop},
    {"ACTION_MEDIA_VOL_DOWN", 48, drawVolumeDown},
    {"ACTION_MEDIA_VOL_UP", 48, drawVolumeUp},
    {"ACTION_SYSTEM_POWER", 48, drawPower},
    {"ACTION_SYSTEM_SLEEP", 48, drawSleep},
    {"ACTION_SYSTEM_WAKE_UP", 48, drawWakeUp},
    {"EDITOR_147", 48, drawSelection},
    {"EDITOR_148", 48, drawHot},
    {"EDITOR_149", 48, drawFocus},
    {"EDITOR_161", 24, drawPluginBadge},
    {"ICON_135", 16, drawProgramIcon, true},
};

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* bytes = static_cast<std::vector<unsigned char>*>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

std::vector<unsigned char> render(const Picture& picture) {
    // Key pictures are opaque 24-bit, shown on black key displays; icons keep their transparency.
    cairo_surface_t* surface = cairo_image_surface_create(
        picture.transparent ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, picture.size, picture.size);
    cairo_t* cr = cairo_create(surface);
    if (!picture.transparent) {
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_paint(cr);
    }
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GOOD);
    picture.draw(cr);
    cairo_destroy(cr);
    std::vector<unsigned char> png;
    const cairo_status_t status = cairo_surface_write_to_png_stream(surface, appendBytes, &png);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        png.clear();
    return png;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: " << argv[0] << " OUTPUT.cpp [PNG-FOLDER]\n";
        return 2;
    }
    std::ostringstream source;
    source << "// Made by DrawPictures at build time; do not edit.\n"
              "#include \"images/BuiltInPictureData.h\"\n\n"
              "namespace corvane::images {\nnamespace {\n";
    int index = 0;
    for (const auto& picture : kPictures) {
        const auto png = render(picture);
        if (png.empty()) {
            std::cerr << "cannot draw " << picture.name << "\n";
            return 1;
        }
        if (argc > 2) {
            std::ofstream file(std::string(argv[2]) + "/" + picture.name + ".png", std::ios::binary);
            file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        }
        source << "constexpr std::uint8_t kPicture" << index++ << "[] = {";
        for (std::size_t i = 0; i < png.size(); ++i)
            source << (i % 20 == 0 ? "\n    " : " ") << static_cast<int>(png[i]) << ",";
        source << "\n};\n";
    }
    source << "constexpr BuiltInPicture kTable[] = {\n";
    index = 0;
    for (const auto& picture : kPictures)
        source << "    {\"" << picture.name << "\", kPicture" << index++ << "},\n";
    source << "};\n} // namespace\n\nconst std::span<const BuiltInPicture> kBuiltInPictures(kTable);\n\n"
              "} // namespace corvane::images\n";
    std::ofstream out(argv[1]);
    out << source.str();
    return out ? 0 : 1;
}
