#pragma once

#include "core/KVPtr.h"
#include "editor/CfgDlg.h"
#include "editor/EditorServices.h"
#include "editor/EditorWindowHost.h"
#include "shell/CfgApp.h"
#include "shell/QtMainLoop.h"
#include "support/FakeHook.h"
#include "support/TempDir.h"

#include <QtTest>
#include <QtWidgets>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

// A running configurator with its editor on the offscreen platform: the real services over a fresh
// profile, the shipped items and plug-ins of the build tree, a fake system hook and no keyboard (or the
// virtual keyboard a test names). The window opens at the first call of window().
class KVLayersItem;

class EditorFixture : public ::testing::Test {
public:
    // Runs the event loop for `ms` milliseconds (posted messages, timers, repaints).
    static void settle(int ms = 20);

protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the configurator with these extra command-line arguments; window() starts it without any.
    void start(std::vector<std::string> arguments = {});
    CKVCfgDlg& window();
    KVEditorServices services();

    // What the layer tree and the keyboard view do when the user picks an item and keys (the window is
    // opened first: the layer tree takes the focus then).
    void select(const KVPtr<KVLayersItem>& item, std::initializer_list<unsigned> keys);

    // Where the profile lives ($XDG_CONFIG_HOME).
    std::string configHome() const { return m_home / "config"; }
    const TempDir& home() const { return m_home; }

    std::shared_ptr<KVFakeHook> hook = std::make_shared<KVFakeHook>();

private:
    TempDir m_home;
    std::unique_ptr<KVQtMainLoop> m_loop;
    std::vector<std::string> m_arguments;
    std::unique_ptr<CKVCfgApp> m_app;
    std::unique_ptr<KVEditorWindowHost> m_host;
    bool m_opened = false;
};

// Saves `widget` as `<name>-light.png` and `<name>-dark.png` under the build tree's tests/editor folder,
// drawn once with a light and once with a dark palette; answers the light picture's path.
std::string saveScreenshots(QWidget& widget, const std::string& name);
