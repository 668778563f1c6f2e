// Launcher: a key that runs a program or opens a file or web address (the Run action), and shows the
// program's icon (the Icon view). Both take a program, a desktop entry or a file dropped on the key.
#include "../common/KeyPainter.h"
#include "../common/PluginObject.h"
#include "DesktopEntry.h"
#include "Launch.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane_plugins;

CORVANE_PLUGIN_DEFINE_ABI_VERSION;

namespace {

template <class Context> LaunchTarget readTarget(Context* context) {
    return {property(context, "Command"), property(context, "Path"), property(context, "URL"),
            property(context, "Desktop")};
}

template <class Context> void storeTarget(Context* context, const LaunchTarget& target) {
    setProperty(context, "Command", target.command);
    setProperty(context, "Path", target.path);
    setProperty(context, "URL", target.url);
    setProperty(context, "Desktop", target.desktop);
}

std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A desktop entry runs its Exec line, an executable runs itself, any other file or folder opens with
// the desktop's default program. Nothing for a path that does not exist.
std::optional<LaunchTarget> targetForFile(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return std::nullopt;
    if (path.size() > 8 && path.ends_with(".desktop")) {
        std::optional<DesktopEntry> entry = readDesktopEntry(path);
        if (!entry)
            return std::nullopt;
        return LaunchTarget{execCommandLine(entry->exec), {}, {}, path};
    }
    if (S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0)
        return LaunchTarget{quoteWord(path), {}, {}, {}};
    return LaunchTarget{{}, path, {}, {}};
}

// The object behind both sub-plug-ins: its own target, stored in its own properties.
class LauncherObject : public PluginObject {
public:
    const LaunchTarget& target() const { return target_; }

protected:
    explicit LauncherObject(LaunchTarget target) : target_(std::move(target)) {}
    const char* pluginName() const override { return "Launcher"; }
    bool acceptsFiles() const override { return true; }
    LaunchTarget target_;
};

class IconView final : public LauncherObject {
public:
    explicit IconView(IKVViewPluginContext* context)
        : LauncherObject(readTarget(context)), context_(context) {}

protected:
    void start() override {
        canvas_ = context_->vtbl->GetCanvas(context_);
        // A key whose view has no target of its own shows what its Run action starts.
        auto* action = from<LauncherObject>(context_->vtbl->GetPairedActionObject(context_));
        if (target_.empty() && action != nullptr)
            shown_ = action->target();
        else
            shown_ = target_;
        draw();
    }

    bool dropFile(const char* path) override {
        std::optional<LaunchTarget> target = targetForFile(path);
        if (!target)
            return false;
        target_ = shown_ = *target;
        storeTarget(context_, target_);
        draw();
        return true;
    }

private:
    void draw();

    IKVViewPluginContext* context_;
    KVPluginCanvas* canvas_ = nullptr;
    LaunchTarget shown_;
};

class RunAction final : public LauncherObject {
public:
    explicit RunAction(IKVActionPluginContext* context)
        : LauncherObject(readTarget(context)), context_(context) {}

protected:
    void start() override {
        // A key whose action has no target of its own runs what was dropped on its Icon view.
        auto* view = from<LauncherObject>(context_->vtbl->GetPairedViewObject(context_));
        launch(target_.empty() && view != nullptr ? view->target() : target_);
    }

    bool dropFile(const char* path) override {
        std::optional<LaunchTarget> target = targetForFile(path);
        if (!target)
            return false;
        target_ = *target;
        storeTarget(context_, target_);
        return true;
    }

private:
    IKVActionPluginContext* context_;
};

// Icon theme folders searched for a named icon, largest useful size first. SVG icons need a renderer
// the plug-ins do not carry, so only PNG counts.
std::string findIcon(const std::string& name) {
    if (name.empty())
        return {};
    if (name[0] == '/')
        return name.ends_with(".png") && access(name.c_str(), R_OK) == 0 ? name : std::string();
    std::vector<std::string> roots;
    if (const char* home = std::getenv("HOME"))
        roots.push_back(std::string(home) + "/.local/share/icons/hicolor/");
    roots.push_back("/usr/share/icons/hicolor/");
    for (const std::string& root : roots)
        for (const char* size : {"48x48", "64x64", "128x128", "256x256", "32x32"}) {
            std::string path = root + size + "/apps/" + name + ".png";
            if (access(path.c_str(), R_OK) == 0)
                return path;
        }
    std::string pixmap = "/usr/share/pixmaps/" + name + ".png";
    return access(pixmap.c_str(), R_OK) == 0 ? pixmap : std::string();
}

// The icon's name and the text shown when there is no icon.
std::pair<std::string, std::string> iconAndName(const LaunchTarget& target) {
    if (!target.desktop.empty())
        if (std::optional<DesktopEntry> entry = readDesktopEntry(target.desktop))
            return {entry->icon, entry->name.empty() ? baseName(target.desktop) : entry->name};
    if (!target.command.empty()) {
        std::string error;
        std::vector<std::string> argv = splitCommandLine(target.command, error);
        std::string program = argv.empty() ? target.command : baseName(argv[0]);
        return {program, program};
    }
    if (!target.path.empty())
        return {{}, baseName(target.path)};
    return {{}, target.url};
}

bool drawPng(KeyPainter& painter, const std::string& path) {
    cairo_surface_t* icon = cairo_image_surface_create_from_png(path.c_str());
    int width = cairo_image_surface_get_width(icon), height = cairo_image_surface_get_height(icon);
    bool usable = cairo_surface_status(icon) == CAIRO_STATUS_SUCCESS && width > 0 && height > 0;
    if (usable) {
        double side = painter.width() - 4;
        double scale = std::min(side / width, side / height);
        cairo_t* cr = painter.cr();
        cairo_save(cr);
        cairo_translate(cr, (painter.width() - width * scale) / 2, (painter.height() - height * scale) / 2);
        cairo_scale(cr, scale, scale);
        cairo_set_source_surface(cr, icon, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    cairo_surface_destroy(icon);
    return usable;
}

void IconView::draw() {
    if (canvas_ == nullptr)
        return;
    {
        KeyPainter painter(canvas_);
        painter.fill({0, 0, 0});
        auto [icon, name] = iconAndName(shown_);
        if (!drawPng(painter, findIcon(icon)))
            painter.text(name.empty() ? "Run" : name, 1, 1, painter.width() - 2, painter.height() - 2,
                         {1, 1, 1}, 14);
    }
    context_->vtbl->Update(context_);
}

} // namespace

extern "C" CORVANE_PLUGIN_EXPORT IKVPluginObject* createView(const char* subPluginId,
                                                             IKVViewPluginContext* context) {
    if (subPluginId != nullptr && std::strcmp(subPluginId, "Icon") == 0)
        return makeObject<IconView>("Launcher", context);
    return nullptr;
}

extern "C" CORVANE_PLUGIN_EXPORT IKVPluginObject* createAction(const char* subPluginId,
                                                               IKVActionPluginContext* context) {
    if (subPluginId != nullptr && std::strcmp(subPluginId, "Run") == 0)
        return makeObject<RunAction>("Launcher", context);
    return nullptr;
}
