#include "editor/LayersView.h"

#include "core/MessageDispatch.h"
#include "editor/CfgDlg.h"
#include "editor/EditorServices.h"
#include "editor/EditorStatus.h"
#include "editor/KeyFileDrop.h"
#include "editor/KeyProps.h"
#include "editor/LayersViewAccessible.h"
#include "layers/KeyNames.h"
#include "layers/LayersController.h"

#include <QContextMenuEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

using corvane::editor::keyboardDrawing;

namespace {

// A press turns into a drag or a rubber band only after the mouse went further than this (horizontal
// plus vertical), so that a shaky click stays a click.
constexpr qreal kDragDistance = 9;

QString keyTitle(unsigned key) {
    return QString::fromUtf8(corvane::layers::keyName(key).data(),
                             qsizetype(corvane::layers::keyName(key).size()));
}

QStringList localFiles(const QMimeData* data) {
    QStringList files;
    if (data)
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                files << url.toLocalFile();
    return files;
}

} // namespace

CKVLayersView::CKVLayersView(KVEditorServices& services, QWidget* parent)
    : QWidget(parent), m_services(services), m_commands(services),
      m_keys(corvane::editor::KVDrawnKeys::mainKeyboard()), m_item(services.layers.EditedItem()) {
    corvane::editor::installKeyboardAccessibility();
    setObjectName(QStringLiteral("CKVLayersView"));
    setAccessibleName(tr("Keyboard"));
    setToolTip(
        tr("Click a key to edit it, drag it onto another key to swap or copy it, or drop files on it"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAcceptDrops(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    auto& dispatch = m_services.dispatch;
    dispatch.RegisterHandler<KVM_TREE_SELECTION_CHANGED>(this, &CKVLayersView::modelChanged);
    dispatch.RegisterHandler<KVM_IMAGE_FILE_RELOADED>(this, &CKVLayersView::modelChanged);
    dispatch.RegisterHandler<KVM_ACTIVE_LAYERS_CHANGED>(this, &CKVLayersView::modelChanged);
    dispatch.RegisterHandler<KVM_BINDING_EDITED>(this, &CKVLayersView::modelChanged);
    dispatch.RegisterHandler<KVM_KEYS_EDITED>(this, &CKVLayersView::modelChanged);
    dispatch.RegisterHandler<KVM_KEY_SELECTION_CHANGED>(this, &CKVLayersView::selectionChanged);
    dispatch.RegisterHandler<KVM_PLUGIN_IMAGE_UPDATED>(this, &CKVLayersView::pluginImageUpdated);
    dispatch.RegisterHandler<KVM_KEY_CHANGED>(this, &CKVLayersView::keyChanged);
}

CKVLayersView::~CKVLayersView() {
    m_services.dispatch.UnregisterHandlers(this);
}

// ---- messages ----

void CKVLayersView::modelChanged() {
    if (m_services.layers.EditedItem() != m_item) {
        // Another item: its keys are other keys, so nothing stays selected or marked.
        m_item = m_services.layers.EditedItem();
        m_marked.reset();
        m_press.reset();
        setHotKey(kNoKey);
        setSelection({});
    }
    invalidate();
}

void CKVLayersView::selectionChanged() {
    update();
}

void CKVLayersView::pluginImageUpdated(KVViewPluginInstance*, unsigned key) {
    keyChanged(key);
}

void CKVLayersView::keyChanged(unsigned key) {
    if (key >= m_keys.size())
        return;
    m_staleKeys.set(key);
    update();
}

void CKVLayersView::invalidate() {
    m_allStale = true;
    update();
}

// ---- the selection ----

CKVLayersView::KeySelection CKVLayersView::selection() const {
    return m_services.layers.SelectedKeys();
}

std::vector<unsigned> CKVLayersView::selectedKeys() const {
    std::vector<unsigned> keys;
    const auto selected = selection();
    for (unsigned key = 0; key < m_keys.size(); ++key)
        if (selected.test(key))
            keys.push_back(key);
    return keys;
}

void CKVLayersView::setSelection(const KeySelection& keys) {
    if (keys == selection())
        return;
    m_services.layers.SetSelectedKeys(keys);
    m_services.dispatch.send<KVM_KEY_SELECTION_CHANGED>();
    corvane::editor::announceKeySelection(this);
    update();
}

void CKVLayersView::selectOnly(unsigned key) {
    m_anchor = key;
    setFocusKey(key);
    KeySelection only;
    only.set(key);
    setSelection(only);
}

void CKVLayersView::toggle(unsigned key) {
    m_anchor = key;
    setFocusKey(key);
    setSelection(selection().flip(key));
}

void CKVLayersView::extendTo(unsigned key, bool add) {
    setFocusKey(key);
    const QRectF span = QRectF(m_keys[m_anchor].cap).united(QRectF(m_keys[key].cap));
    KeySelection keys = add ? selection() : KeySelection{};
    for (unsigned each : m_keys.keysTouching(span))
        keys.set(each);
    setSelection(keys);
}

void CKVLayersView::setFocusKey(unsigned key) {
    if (key == m_focus)
        return;
    m_focus = key;
    announceFocus();
    update();
}

void CKVLayersView::announceFocus() {
    if (hasFocus())
        corvane::editor::announceKeyFocus(this, m_focus);
}

void CKVLayersView::moveFocus(corvane::editor::KVKeyDirection direction, Qt::KeyboardModifiers modifiers) {
    const auto next = m_keys.neighbour(m_focus, direction);
    if (!next)
        return;
    if (modifiers & Qt::ShiftModifier)
        extendTo(*next, modifiers & Qt::ControlModifier);
    else if (modifiers & Qt::ControlModifier)
        setFocusKey(*next);
    else
        selectOnly(*next);
}

void CKVLayersView::setHotKey(unsigned key) {
    if (key == m_hot)
        return;
    m_hot = key;
    update();
}

// ---- geometry ----

QRectF CKVLayersView::keyRect(unsigned key) const {
    return m_keys.capIn(m_fit, key);
}

std::optional<unsigned> CKVLayersView::keyAt(QPointF point) const {
    return m_keys.keyAt(m_fit, point);
}

QPoint CKVLayersView::belowKey(unsigned key) const {
    return mapToGlobal(keyRect(key).bottomLeft().toPoint());
}

QSize CKVLayersView::sizeHint() const {
    return keyboardDrawing().size() * 0.6;
}

QSize CKVLayersView::minimumSizeHint() const {
    return keyboardDrawing().size() / 6;
}

int CKVLayersView::heightForWidth(int width) const {
    return corvane::editor::keyboardHeightForWidth(width);
}

void CKVLayersView::resizeEvent(QResizeEvent*) {
    m_fit = corvane::editor::KVDrawingFit(size(), keyboardDrawing().size());
    m_scaled = QPixmap();
}

// ---- the mouse ----

void CKVLayersView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    const auto key = keyAt(event->position());
    const auto modifiers = event->modifiers();
    m_press = Press{};
    m_press->key = key;
    m_press->at = m_press->now = event->position();
    m_press->before = selection();
    m_press->additive = (modifiers & Qt::ControlModifier) != 0;
    if (!key)
        return;
    if (modifiers & Qt::ShiftModifier)
        extendTo(*key, modifiers & Qt::ControlModifier);
    else if (modifiers & Qt::ControlModifier)
        toggle(*key);
    else
        selectOnly(*key);
}

void CKVLayersView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_press || !(event->buttons() & Qt::LeftButton)) {
        const auto key = keyAt(event->position());
        setHotKey(key && m_commands.editableLayer() ? *key : kNoKey);
        return;
    }
    followDrag(event->position());
}

void CKVLayersView::followDrag(QPointF point) {
    Press& press = *m_press;
    press.now = point;
    if (!press.dragging && !press.rubberBand) {
        if ((point - press.at).manhattanLength() <= kDragDistance)
            return;
        // Only a user layer's keys move; elsewhere a press on a key stays a click.
        if (press.key)
            press.dragging = m_commands.editableLayer() != nullptr;
        else
            press.rubberBand = true;
        setHotKey(kNoKey);
    }
    if (press.dragging) {
        const auto over = keyAt(point);
        press.target = over && over != press.key ? over : std::nullopt;
    } else if (press.rubberBand) {
        const QRectF band = QRectF(m_fit.toDrawing(press.at), m_fit.toDrawing(point)).normalized();
        KeySelection keys = press.additive ? press.before : KeySelection{};
        for (unsigned key : m_keys.keysTouching(band))
            keys.set(key);
        setSelection(keys);
    }
    update();
}

void CKVLayersView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_press)
        return QWidget::mouseReleaseEvent(event);
    const Press press = *m_press;
    m_press.reset();
    update();
    if (press.dragging && press.key && press.target)
        openDropMenu(*press.key, *press.target, event->globalPosition().toPoint());
    else if (!press.key && !press.rubberBand && !press.additive)
        setSelection({});
}

void CKVLayersView::leaveEvent(QEvent*) {
    setHotKey(kNoKey);
}

// ---- the keyboard ----

bool CKVLayersView::handlesKey(const QKeyEvent& event) const {
    const auto modifiers = event.modifiers() & ~Qt::KeypadModifier;
    switch (event.key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Space:
        return true;
    case Qt::Key_Menu:
    case Qt::Key_Delete:
        return modifiers == Qt::NoModifier;
    case Qt::Key_F10:
        return modifiers == Qt::ShiftModifier;
    case Qt::Key_X:
    case Qt::Key_V:
        return modifiers == Qt::ControlModifier;
    case Qt::Key_Escape:
        return m_marked || m_press;
    default:
        return false;
    }
}

bool CKVLayersView::event(QEvent* event) {
    // The view's own keys win over the window's shortcuts while it has the focus.
    if (event->type() == QEvent::ShortcutOverride && handlesKey(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (const auto key = keyAt(help->pos())) {
            QToolTip::showText(help->globalPos(), keyTitle(*key), this, keyRect(*key).toRect());
            return true;
        }
    }
    return QWidget::event(event);
}

void CKVLayersView::keyPressEvent(QKeyEvent* event) {
    using corvane::editor::KVKeyDirection;
    if (!handlesKey(*event))
        return QWidget::keyPressEvent(event);
    const auto modifiers = event->modifiers();
    switch (event->key()) {
    case Qt::Key_Left:
        return moveFocus(KVKeyDirection::Left, modifiers);
    case Qt::Key_Right:
        return moveFocus(KVKeyDirection::Right, modifiers);
    case Qt::Key_Up:
        return moveFocus(KVKeyDirection::Up, modifiers);
    case Qt::Key_Down:
        return moveFocus(KVKeyDirection::Down, modifiers);
    case Qt::Key_Space:
        if (modifiers & Qt::ShiftModifier)
            return extendTo(m_focus, modifiers & Qt::ControlModifier);
        return modifiers & Qt::ControlModifier ? toggle(m_focus) : selectOnly(m_focus);
    case Qt::Key_Menu:
    case Qt::Key_F10:
        return openKeyMenu(m_focus, belowKey(m_focus));
    case Qt::Key_Delete:
        m_commands.deleteKeys(selectedKeys());
        return;
    case Qt::Key_X:
        return markSource();
    case Qt::Key_V:
        return pasteOnFocus();
    case Qt::Key_Escape:
        m_marked.reset();
        m_press.reset();
        update();
        return;
    default:
        return QWidget::keyPressEvent(event);
    }
}

void CKVLayersView::markSource() {
    if (!m_commands.editableLayer()) {
        corvane::editor::showStatus(this, tr("Only the keys of your own layers can be moved"));
        return;
    }
    m_marked = m_focus;
    corvane::editor::showStatus(
        this,
        tr("%1 is marked: go to another key and press Ctrl+V to swap or paste it").arg(keyTitle(m_focus)));
    update();
}

void CKVLayersView::pasteOnFocus() {
    if (!m_marked) {
        corvane::editor::showStatus(this, tr("Mark a key with Ctrl+X first"));
        return;
    }
    if (*m_marked == m_focus)
        return;
    const unsigned source = *m_marked;
    m_marked.reset();
    update();
    openDropMenu(source, m_focus, belowKey(m_focus));
}

void CKVLayersView::focusInEvent(QFocusEvent* event) {
    announceFocus();
    QWidget::focusInEvent(event);
    update();
}

void CKVLayersView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

// ---- menus ----

void CKVLayersView::openDropMenu(unsigned source, unsigned target, const QPoint& where) {
    const auto choice =
        runDropMenu(this, where, m_commands.canSwap(source, target), m_commands.canPaste(source, target));
    bool changed = false;
    if (choice == KVDropChoice::Swap)
        changed = m_commands.swapKeys(source, target);
    else if (choice == KVDropChoice::Paste)
        changed = m_commands.pasteKey(source, target);
    if (changed)
        selectOnly(target);
}

void CKVLayersView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() != QContextMenuEvent::Mouse)
        return openKeyMenu(m_focus, belowKey(m_focus));
    const auto key = keyAt(event->pos());
    if (!key)
        return;
    openKeyMenu(*key, event->globalPos());
}

void CKVLayersView::openKeyMenu(unsigned key, const QPoint& where) {
    // The menu works on the selection; a key outside it becomes the selection first.
    if (!selection().test(key))
        selectOnly(key);
    else
        setFocusKey(key);
    const auto keys = selectedKeys();
    switch (
        runKeyMenu(this, where, m_item != nullptr, m_commands.canDelete(keys), m_commands.canPush(keys))) {
    case KVKeyMenuChoice::Define:
        return defineKey(key);
    case KVKeyMenuChoice::Delete:
        m_commands.deleteKeys(keys);
        return;
    case KVKeyMenuChoice::Push:
        m_commands.pushKeys(keys);
        return;
    case KVKeyMenuChoice::None:
        return;
    }
}

void CKVLayersView::defineKey(unsigned) {
    // The key's binding is edited in the key properties: the keyboard focus goes to their first control.
    auto* dialog = dynamic_cast<CKVCfgDlg*>(window());
    QWidget* panel = dialog ? dialog->keyProperties() : nullptr;
    if (!panel)
        return;
    for (auto* child : panel->findChildren<QWidget*>())
        if ((child->focusPolicy() & Qt::TabFocus) && child->isEnabled() && child->isVisibleTo(panel)) {
            child->setFocus(Qt::OtherFocusReason);
            return;
        }
    panel->setFocus(Qt::OtherFocusReason);
}

// ---- files from a file manager ----

void CKVLayersView::dragEnterEvent(QDragEnterEvent* event) {
    if (m_commands.editableLayer() && !localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void CKVLayersView::dragMoveEvent(QDragMoveEvent* event) {
    const auto key = keyAt(event->position());
    if (key != m_fileTarget) {
        m_fileTarget = key;
        update();
    }
    if (key)
        event->acceptProposedAction();
    else
        event->ignore();
}

void CKVLayersView::dragLeaveEvent(QDragLeaveEvent*) {
    m_fileTarget.reset();
    update();
}

void CKVLayersView::dropEvent(QDropEvent* event) {
    m_fileTarget.reset();
    update();
    const auto key = keyAt(event->position());
    const QStringList files = localFiles(event->mimeData());
    if (!key || files.isEmpty() || !m_commands.editableLayer()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    selectOnly(*key);
    const bool chooseIcon = event->modifiers() & Qt::ControlModifier;
    corvane::editor::showStatus(
        this, corvane::editor::dropFilesOnKeys(m_services, {*key}, files, chooseIcon, this));
}
