#pragma once

// What the main window's and the layer tree's tests share: a listener on the dispatch, an answer to the
// next message box, and a keyboard picture to make a layer with pictures of.

#include "core/MessageDispatch.h"
#include "layers/KeyNames.h"
#include "layers/PictureLayer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Counts the editor's notifications and records the commands sent through the dispatch.
struct DispatchProbe {
    explicit DispatchProbe(CKVMessageDispatch& d) : dispatch(d) {
        dispatch.RegisterHandler<KVM_TREE_SELECTION_CHANGED>(this, &DispatchProbe::OnTree);
        dispatch.RegisterHandler<KVM_KEY_SELECTION_CHANGED>(this, &DispatchProbe::OnKeys);
        dispatch.RegisterHandler<KVM_COMMAND>(this, &DispatchProbe::OnCommand);
    }
    ~DispatchProbe() { dispatch.UnregisterHandlers(this); }
    void OnTree() { ++treeSelections; }
    void OnKeys() { ++keySelections; }
    void OnCommand(unsigned command) { commands.push_back(command); }

    CKVMessageDispatch& dispatch;
    int treeSelections = 0;
    int keySelections = 0;
    std::vector<unsigned> commands;
};

// Clicks `button` in the next message box that opens and keeps its text in `*text`.
inline void answerNextMessageBox(QMessageBox::StandardButton button, QString* text) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        *text = box->windowTitle() + "|" + box->text();
        box->button(button)->click();
        timer->deleteLater();
    });
    timer->start(10);
}

// A keyboard picture whose tiles of `keys` are filled with their colours; saved as PNG at `path`.
inline void writeKeyboardPicture(const std::string& path,
                                 const std::vector<std::pair<unsigned, QColor>>& keys) {
    QImage picture(corvane::layers::kLayerPictureWidth, corvane::layers::kLayerPictureHeight,
                   QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    for (const auto& [key, colour] : keys) {
        const auto origin = corvane::layers::tileOrigin(key);
        painter.fillRect(origin.x, origin.y, 48, 48, colour);
    }
    painter.end();
    picture.save(QString::fromStdString(path));
}
