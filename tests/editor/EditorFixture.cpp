#include "EditorFixture.h"

#include "core/MessageDispatch.h"
#include "editor/LayersTreeCtrl.h"
#include "layers/LayersController.h"

#include <cstdlib>
#include <filesystem>

void EditorFixture::SetUp() {
    ::setenv("XDG_CONFIG_HOME", (m_home / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_home / "data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (m_home / "run").c_str(), 1);
    ::setenv("CORVANE_PROGRAM_DIR", CORVANE_PROGRAM_DIR, 1);
    std::filesystem::create_directories(m_home / "run");
    std::filesystem::permissions(m_home / "run", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
}

void EditorFixture::TearDown() {
    if (m_app)
        m_app->ExitInstance();
    m_host.reset();
    m_app.reset();
    m_loop.reset();
}

void EditorFixture::start(std::vector<std::string> arguments) {
    ASSERT_FALSE(m_app) << "the configurator runs already";
    m_arguments = {"corvane-configurator", "-minimized"};
    m_arguments.insert(m_arguments.end(), arguments.begin(), arguments.end());
    if (std::find(arguments.begin(), arguments.end(), "--virtual-keyboard") == arguments.end()) {
        m_arguments.push_back("--virtual-keyboard");
        m_arguments.push_back(m_home / "no-keyboard");
    }
    std::vector<const char*> argv;
    for (const auto& argument : m_arguments)
        argv.push_back(argument.c_str());

    m_loop = std::make_unique<KVQtMainLoop>(*QApplication::instance());
    m_app = std::make_unique<CKVCfgApp>(
        *m_loop, CKVCommandLineInfo::parse(int(argv.size()), argv.data()),
        [this](KVMainLoop&) { return hook; }, nullptr);
    m_app->setWatchSession(false);
    m_host = std::make_unique<KVEditorWindowHost>(m_app->services());
    m_app->setEditor(m_host.get());
    ASSERT_TRUE(m_app->InitInstance());
}

CKVCfgDlg& EditorFixture::window() {
    if (!m_app)
        start();
    const bool firstOpen = !m_opened && !KVEditorServices::from(m_app->services()).layers.EditedItem();
    if (!m_host->HasEditor())
        m_app->dispatch()->send<KVM_SHOW_EDITOR>();
    auto* window = m_host->window();
    if (!window)
        throw std::runtime_error("the editor window did not open");
    settle();
    if (firstOpen) {
        // The layer tree edits its first row when it takes the focus as the window opens; the tests
        // start from nothing edited and choose the item themselves.
        window->tree()->setCurrentIndex({});
        settle();
    }
    m_opened = true;
    return *window;
}

KVEditorServices EditorFixture::services() {
    if (!m_app)
        start();
    return KVEditorServices::from(m_app->services());
}

void EditorFixture::settle(int ms) {
    QTest::qWait(ms);
}

namespace {

QPalette darkPalette() {
    const QColor window(0x2b2b2e), base(0x1e1e21), text(0xe6e6e6), grey(0x808080);
    const QPalette::ColorRole roles[] = {
        QPalette::Window,        QPalette::WindowText,  QPalette::Base,
        QPalette::AlternateBase, QPalette::ToolTipBase, QPalette::ToolTipText,
        QPalette::Text,          QPalette::Button,      QPalette::ButtonText};
    const QColor colours[] = {window, text, base, window, base, text, text, window, text};
    QPalette palette;
    for (size_t at = 0; at < std::size(roles); ++at)
        palette.setColor(roles[at], colours[at]);
    palette.setColor(QPalette::PlaceholderText, QColor(0x909090));
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Highlight, QColor(0x3d7ad6));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x6ca8f0));
    for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, grey);
    // Disabled text is drawn etched with the Light colour: keep it dark, as dark themes do.
    palette.setColor(QPalette::Light, QColor(0x3a3a3e));
    palette.setColor(QPalette::Disabled, QPalette::Light, window);
    return palette;
}

} // namespace

std::string saveScreenshots(QWidget& widget, const std::string& name) {
    const std::filesystem::path folder = CORVANE_SCREENSHOT_DIR;
    std::filesystem::create_directories(folder);
    const QPalette original = QApplication::palette();
    const QPalette light = QApplication::style()->standardPalette();
    std::string lightPath;
    for (const auto& [suffix, palette] : {std::pair{"light", light}, std::pair{"dark", darkPalette()}}) {
        QApplication::setPalette(palette);
        EditorFixture::settle(30);
        const std::string path = (folder / (name + "-" + suffix + ".png")).string();
        widget.grab().save(QString::fromStdString(path));
        if (lightPath.empty())
            lightPath = path;
    }
    QApplication::setPalette(original);
    EditorFixture::settle(10);
    return lightPath;
}

void EditorFixture::select(const KVPtr<KVLayersItem>& item, std::initializer_list<unsigned> keys) {
    window(); // opened first: the layer tree takes the focus then
    auto s = services();
    if (s.layers.EditedItem() != item) {
        if (s.layers.EditedItem())
            s.layers.StopShowing(s.layers.EditedItem());
        s.layers.SetEditedItem(item);
        if (item)
            s.layers.ShowForEditing(item);
        s.dispatch.send<KVM_TREE_SELECTION_CHANGED>();
    }
    KVLayersController::KeySelection selection;
    for (const unsigned key : keys)
        selection.set(key);
    s.layers.SetSelectedKeys(selection);
    s.dispatch.send<KVM_KEY_SELECTION_CHANGED>();
    settle();
}
