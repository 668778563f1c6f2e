#pragma once

// What the editor's window tests share: a listener on the dispatch, menu entries, dropped files, answers to
// the next modal dialog and a plug-in with settings panels.

#include "EditorFixture.h"
#include "core/MessageDispatch.h"
#include "plugins/PluginInfo.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <utility>
#include <vector>

// The entry `text` of `menu`, or of its submenu `group` when that is not empty; null when there is none.
inline QAction* menuEntry(QMenu* menu, const QString& group, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (group.isEmpty() && action->text() == text)
            return action;
        if (action->menu() && action->text() == group)
            return menuEntry(action->menu(), {}, text);
    }
    return nullptr;
}

// Counts the editor's notifications and records the commands sent through the dispatch.
struct DispatchProbe {
    explicit DispatchProbe(CKVMessageDispatch& d) : dispatch(d) {
        dispatch.RegisterHandler<KVM_TREE_SELECTION_CHANGED>(this, &DispatchProbe::OnTree);
        dispatch.RegisterHandler<KVM_KEY_SELECTION_CHANGED>(this, &DispatchProbe::OnKeys);
        dispatch.RegisterHandler<KVM_KEYS_EDITED>(this, &DispatchProbe::OnEdited);
        dispatch.RegisterHandler<KVM_COMMAND>(this, &DispatchProbe::OnCommand);
    }
    ~DispatchProbe() { dispatch.UnregisterHandlers(this); }
    void OnTree() { ++treeSelections; }
    void OnKeys() { ++keySelections; }
    void OnEdited() { ++keysEdited; }
    void OnCommand(unsigned command) { commands.push_back(command); }

    CKVMessageDispatch& dispatch;
    int treeSelections = 0;
    int keySelections = 0;
    int keysEdited = 0;
    std::vector<unsigned> commands;
};

// Drags `files` onto `widget` at `at` (its middle by default) and drops them there.
inline void dropOn(QWidget* widget, const QStringList& files, Qt::KeyboardModifiers modifiers = {},
                   std::optional<QPoint> at = {}) {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& file : files)
        urls << QUrl::fromLocalFile(file);
    data.setUrls(urls);
    const QPoint point = at.value_or(widget->rect().center());
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(widget, &enter);
    ASSERT_TRUE(enter.isAccepted()) << "the widget takes files";
    QDropEvent drop(QPointF(point), Qt::CopyAction, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(widget, &drop);
}

// Runs `answer` on the next modal dialog once it shows (dialogs run their own loop).
inline void whenDialogOpens(std::function<void(QWidget*)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            answer(dialog);
        }
    });
    poll->start(10);
}

// Clicks `button` in the next message box that opens and keeps "title|text" in `*text`.
inline void answerNextMessageBox(QMessageBox::StandardButton button, QString* text) {
    whenDialogOpens([button, text](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_TRUE(box);
        *text = box->windowTitle() + "|" + box->text();
        box->button(button)->click();
    });
}

// An in-process plug-in whose objects have a settings panel made of Qt widgets, as a real one makes it:
// the view "Panel" (takes files, pairs with "Go"), the action "Go" (pairs with "Panel") and the condition
// "Always" (always holds).
struct SamplePlugin {
    struct Object {
        IKVPluginObject object;
        IKVPluginPanel panel;
        QWidget* widget;
    };
    inline static int panelsMade = 0, panelsDestroyed = 0;
    inline static QStringList dropped;
    inline static QPointer<QWidget> lastPanel;

    static Object* of(IKVPluginPanel* panel) {
        return reinterpret_cast<Object*>(reinterpret_cast<char*>(panel) - offsetof(Object, panel));
    }
    static IKVPluginObject* create() {
        static const IKVPluginPanelVtbl panel{
            [](IKVPluginPanel* self, void* parent) -> void* {
                ++panelsMade;
                return lastPanel = of(self)->widget =
                           new QLabel("Sample settings", static_cast<QWidget*>(parent));
            },
            [](IKVPluginPanel* self) {
                delete std::exchange(of(self)->widget, nullptr);
                ++panelsDestroyed;
            },
            [](IKVPluginPanel*, const char* path) -> int32_t {
                dropped << QString::fromUtf8(path);
                return QString::fromUtf8(path).contains(QLatin1String("refuse")) ? 0 : 1;
            },
        };
        static const IKVPluginObjectVtbl object{
            [](IKVPluginObject* self) { return &reinterpret_cast<Object*>(self)->panel; },
            [](IKVPluginObject* self) {
                delete reinterpret_cast<Object*>(self)->widget;
                delete reinterpret_cast<Object*>(self);
            },
            [](IKVPluginObject*) {},
            [](IKVPluginObject*) {},
        };
        return &(new Object{{&object}, {&panel}, nullptr})->object;
    }
    static KVPtr<KVPluginInfo> make() {
        panelsMade = panelsDestroyed = 0;
        dropped.clear();
        KVPluginEntryPoints entries;
        entries.createView = [](const char*, IKVViewPluginContext*) { return create(); };
        entries.createAction = [](const char*, IKVActionPluginContext*) { return create(); };
        entries.createCondition = [](const char*, IKVConditionPluginContext* context) {
            context->vtbl->SetState(context, 1);
            return create();
        };
        auto plugin = KVPluginInfo::inProcess("Sample", entries);
        plugin->setDisplayName("Sample");
        using Info = KVSubPluginInfo;
        plugin->addSubPlugin(KVSubPluginKind::View,
                             std::make_shared<Info>("Panel", "Sample panel", "", true, true, "Go"));
        plugin->addSubPlugin(KVSubPluginKind::Action,
                             std::make_shared<Info>("Go", "Sample go", "", false, false, "Panel"));
        plugin->addSubPlugin(KVSubPluginKind::Condition,
                             std::make_shared<Info>("Always", "Always, with settings", "", true));
        return plugin;
    }
};
