#include "editor/LayersViewAccessible.h"

#include "editor/LayersView.h"
#include "layers/KeyBinding.h"
#include "layers/KeyNames.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <algorithm>
#include <vector>

namespace {

class KVKeyAccessible final : public QAccessibleInterface {
public:
    KVKeyAccessible(CKVLayersView* view, unsigned key) : m_view(view), m_key(key) {}

    bool isValid() const override { return !m_view.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_view); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QString text(QAccessible::Text kind) const override {
        if (!m_view)
            return {};
        if (kind == QAccessible::Name) {
            const auto name = corvane::layers::keyName(m_key);
            return QString::fromUtf8(name.data(), qsizetype(name.size()));
        }
        if (kind == QAccessible::Description) {
            bool own = false;
            const KVKeyBinding* binding = m_view->shownBinding(m_key, &own);
            if (!binding)
                return CKVLayersView::tr("not bound");
            return own ? CKVLayersView::tr("bound") : CKVLayersView::tr("shows a layer below");
        }
        return {};
    }

    QRect rect() const override {
        if (!m_view)
            return {};
        const QRect local = m_view->keyRect(m_key).toRect();
        return {m_view->mapToGlobal(local.topLeft()), local.size()};
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        if (!m_view)
            return state;
        const auto selected = m_view->selectedKeys();
        state.selectable = true;
        state.multiSelectable = true;
        state.focusable = true;
        state.selected = std::find(selected.begin(), selected.end(), m_key) != selected.end();
        state.focused = m_view->hasFocus() && m_view->focusKey() == m_key;
        return state;
    }

    unsigned key() const { return m_key; }

private:
    QPointer<CKVLayersView> m_view;
    unsigned m_key;
};

class KVKeyboardAccessible final : public QAccessibleWidget {
public:
    explicit KVKeyboardAccessible(CKVLayersView* view) : QAccessibleWidget(view, QAccessible::List) {}
    ~KVKeyboardAccessible() override {
        for (const auto id : m_ids)
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return int(corvane::layers::kLayerKeyCount); }

    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (m_ids.empty())
            for (unsigned key = 0; key < corvane::layers::kLayerKeyCount; ++key)
                m_ids.push_back(QAccessible::registerAccessibleInterface(new KVKeyAccessible(view(), key)));
        return QAccessible::accessibleInterface(m_ids[size_t(index)]);
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* key = dynamic_cast<const KVKeyAccessible*>(child);
        return key && key->parent() == this ? int(key->key()) : -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        const auto key = view()->keyAt(view()->mapFromGlobal(QPoint(x, y)));
        return key ? child(int(*key)) : nullptr;
    }

    QAccessibleInterface* focusChild() const override {
        return view()->hasFocus() ? child(int(view()->focusKey())) : nullptr;
    }

private:
    CKVLayersView* view() const { return static_cast<CKVLayersView*>(widget()); }

    mutable std::vector<QAccessible::Id> m_ids;
};

QAccessibleInterface* keyboardFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("CKVLayersView") && object && object->isWidgetType())
        return new KVKeyboardAccessible(static_cast<CKVLayersView*>(object));
    return nullptr;
}

} // namespace

namespace corvane::editor {

void installKeyboardAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(keyboardFactory);
        return true;
    }();
    (void)installed;
}

void announceKeyFocus(CKVLayersView* view, unsigned key) {
    QAccessibleEvent event(view, QAccessible::Focus);
    event.setChild(int(key));
    QAccessible::updateAccessibility(&event);
}

void announceKeySelection(CKVLayersView* view) {
    QAccessibleEvent event(view, QAccessible::SelectionWithin);
    QAccessible::updateAccessibility(&event);
}

} // namespace corvane::editor
