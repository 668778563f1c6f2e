#include "images/KVTextRenderer.h"

#include "core/Log.h"
#include "core/Strings.h"
#include "images/BuiltInPictures.h"
#include "images/PictureCodec.h"

#include <array>
#include <pango/pangocairo.h>
#include <set>

namespace {

constexpr int kCanvasSize = KVImage::kKeySize;
constexpr double kScreenDpi = 96.0;
constexpr const char* kFallbackFamily = "sans-serif";

constexpr std::array kEditorPictures = {EditorPicture::Selection, EditorPicture::Focus, EditorPicture::Hot,
                                        EditorPicture::PluginBadge};

std::size_t editorSlot(EditorPicture which) {
    for (std::size_t slot = 0; slot < kEditorPictures.size(); ++slot)
        if (kEditorPictures[slot] == which)
            return slot;
    return 0;
}

// Families fontconfig resolves by itself, whatever is installed.
bool isGenericFamily(const std::string& lowered) {
    return lowered == "sans-serif" || lowered == "sans" || lowered == "serif" || lowered == "monospace" ||
           lowered == "system-ui";
}

void setSourceColour(cairo_t* cairo, std::uint32_t bgr) {
    cairo_set_source_rgb(cairo, (bgr & 0xFF) / 255.0, ((bgr >> 8) & 0xFF) / 255.0,
                         ((bgr >> 16) & 0xFF) / 255.0);
}

} // namespace

struct KVTextRenderer::State {
    KVCanvas canvas;
    std::array<KVCanvas, kEditorPictures.size()> editorCanvases;
    PangoLayout* layout = nullptr;
    PangoFontDescription* font = nullptr;
    std::string face;   // as asked for
    std::string family; // as drawn
    int size = 0;
    int style = -1;
    int fontsMade = 0;
    std::set<std::string> installedFamilies; // lower case

    ~State() {
        if (font)
            pango_font_description_free(font);
        if (layout)
            g_object_unref(layout);
    }

    bool familyInstalled(const std::string& family) {
        const std::string lowered = corvane::asciiLower(family);
        if (isGenericFamily(lowered))
            return true;
        if (installedFamilies.empty()) {
            PangoFontFamily** families = nullptr;
            int count = 0;
            pango_font_map_list_families(pango_cairo_font_map_get_default(), &families, &count);
            for (int i = 0; i < count; ++i)
                installedFamilies.insert(corvane::asciiLower(pango_font_family_get_name(families[i])));
            g_free(families);
        }
        return installedFamilies.count(lowered) > 0;
    }

    void chooseFont(const std::string& wantedFace, int wantedSize, int wantedStyle) {
        if (font && wantedFace == face && wantedSize == size && wantedStyle == style)
            return;
        face = wantedFace;
        size = wantedSize;
        style = wantedStyle;
        family = familyInstalled(face) ? face : kFallbackFamily;
        if (family != face)
            corvane::logger("images").debug("font family \"{}\" is not installed; drawing in {}", face,
                                            family);
        if (font)
            pango_font_description_free(font);
        font = pango_font_description_new();
        pango_font_description_set_family(font, family.c_str());
        pango_font_description_set_size(font, size * PANGO_SCALE);
        pango_font_description_set_weight(font, style & KVLabelStyle::kBold ? PANGO_WEIGHT_BOLD
                                                                            : PANGO_WEIGHT_NORMAL);
        pango_font_description_set_style(font, style & KVLabelStyle::kItalic ? PANGO_STYLE_ITALIC
                                                                             : PANGO_STYLE_NORMAL);
        pango_layout_set_font_description(layout, font);
        ++fontsMade;
    }

    bool makeLayout() {
        layout = pango_cairo_create_layout(canvas.context());
        if (!layout)
            return false;
        PangoContext* context = pango_layout_get_context(layout);
        pango_cairo_context_set_resolution(context, kScreenDpi);
        cairo_font_options_t* options = cairo_font_options_create();
        // Smooth grey edges without hinting, as key displays are viewed up close and scaled.
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(context, options);
        cairo_font_options_destroy(options);
        pango_layout_context_changed(layout);
        pango_layout_set_width(layout, kCanvasSize * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
        // A word broken across lines gets no hyphen: a key caption is a name, not prose.
        PangoAttrList* attributes = pango_attr_list_new();
        pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
        pango_layout_set_attributes(layout, attributes);
        pango_attr_list_unref(attributes);
        return true;
    }

    KVPtr<KVImage> render(std::string_view text, const KVLabelStyle& labelStyle) {
        if (text.empty())
            return {};
        if (!layout || !canvas.isValid()) {
            corvane::logger("images").error("the label canvas is not usable");
            return {};
        }
        chooseFont(labelStyle.face, labelStyle.size, labelStyle.fontStyle());
        cairo_t* cairo = canvas.context();
        cairo_save(cairo);
        setSourceColour(cairo, labelStyle.bkColor);
        cairo_paint(cairo);
        // Pango takes only valid UTF-8; damaged bytes show as replacement characters.
        gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
        pango_layout_set_text(layout, valid, -1);
        g_free(valid);
        PangoRectangle logical{};
        pango_layout_get_pixel_extents(layout, nullptr, &logical);
        cairo_rectangle(cairo, 0, 0, kCanvasSize, kCanvasSize);
        cairo_clip(cairo);
        cairo_move_to(cairo, 0, (kCanvasSize - logical.height) / 2.0 - logical.y);
        setSourceColour(cairo, labelStyle.color);
        pango_cairo_show_layout(cairo, layout);
        const cairo_status_t status = cairo_status(cairo);
        cairo_restore(cairo);
        if (status != CAIRO_STATUS_SUCCESS) {
            corvane::logger("images").error("drawing the label failed: {}", cairo_status_to_string(status));
            return {};
        }
        return canvas.toImage();
    }

    void loadEditorPictures() {
        for (std::size_t slot = 0; slot < kEditorPictures.size(); ++slot) {
            const std::string name = "EDITOR_" + std::to_string(static_cast<int>(kEditorPictures[slot]));
            KVImage picture;
            if (!picture.loadBuiltIn(name)) {
                corvane::logger("images").error("the editor picture {} is missing", name);
                continue;
            }
            if (editorCanvases[slot].create(picture.width(), picture.height()))
                editorCanvases[slot].drawImage(picture);
        }
    }
};

KVTextRenderer::KVTextRenderer() : m_state(std::make_unique<State>()) {
    if (!m_state->canvas.create(kCanvasSize, kCanvasSize) || !m_state->makeLayout())
        corvane::logger("images").error("the label renderer has no canvas; labels will not be drawn");
    else
        m_state->chooseFont("Tahoma", 28, 0);
    m_state->loadEditorPictures();
}

KVTextRenderer::~KVTextRenderer() = default;

KVPtr<KVImage> KVTextRenderer::RenderLabel(std::string_view text, const KVLabelStyle& style) {
    return m_state->render(text, style);
}

KVPtr<KVImage> KVTextRenderer::RenderPlainLabel(std::string_view text) {
    return m_state->render(text, KVLabelStyle{});
}

const KVCanvas& KVTextRenderer::editorPicture(EditorPicture which) const {
    return m_state->editorCanvases[editorSlot(which)];
}

const std::string& KVTextRenderer::currentFamily() const {
    return m_state->family;
}

int KVTextRenderer::fontsMade() const {
    return m_state->fontsMade;
}
