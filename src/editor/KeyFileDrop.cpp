#include "editor/KeyFileDrop.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "editor/EditorServices.h"
#include "editor/FileIcons.h"
#include "editor/KeyEdits.h"
#include "images/LoadKeyImage.h"
#include "layers/KeyNames.h"
#include "layers/Layer.h"
#include "layers/LayersController.h"
#include "plugins/ActionPluginInstance.h"
#include "plugins/ViewPluginInstance.h"

#include <QFileInfo>
#include <QObject>

namespace corvane::editor {
namespace {

// A plug-in instance that takes dropped files now; null otherwise.
KVKeyPluginInstance* fileTaker(const KVPtr<KVKeyPluginInstance>& instance) {
    if (!instance || !instance->HasObject())
        return nullptr;
    const auto info = instance->SubPluginInfo();
    return info && info->acceptsFiles ? instance.get() : nullptr;
}

// Offers the files in order while the plug-in accepts them; answers how many it took.
int offerFiles(KVKeyPluginInstance& instance, const QStringList& files) {
    int taken = 0;
    for (const QString& file : files) {
        if (!instance.DropFile(file.toStdString()))
            break;
        ++taken;
    }
    return taken;
}

struct KVDroppedPicture {
    KVPtr<KVImage> picture;
    QString what; // "report.png", "the icon of firefox.desktop"
    QString why;  // when there is no picture
};

KVDroppedPicture pictureOfFile(const QString& path, bool chooseIcon,
                               const KVSysApplicationsController& applications, QWidget* parent) {
    const QFileInfo info(path);
    const QString name = info.fileName().isEmpty() ? path : info.fileName();
    if (!info.exists())
        return {{}, {}, QObject::tr("%1 does not exist").arg(path)};
    if (info.isFile())
        if (auto picture = LoadKeyImage(path.toStdString()))
            return {std::move(picture), name, {}};
    auto icons = fileIcons(path, applications);
    if (icons.empty())
        return {{}, {}, QObject::tr("%1 is no picture and has no icon").arg(name)};
    size_t chosen = 0;
    if (chooseIcon && icons.size() > 1) {
        const auto picked = chooseFileIcon(icons, name, parent);
        if (!picked)
            return {{}, {}, QObject::tr("No icon chosen; the keys are unchanged")};
        chosen = *picked;
    }
    return {icons[chosen].picture, QObject::tr("the icon of %1").arg(name), {}};
}

} // namespace

QString dropFilesOnKeys(KVEditorServices& services, const std::vector<unsigned>& keys,
                        const QStringList& files, bool chooseIcon, QWidget* parent) {
    const auto layer = editedLayer(services);
    if (!layer)
        return QObject::tr("Select a layer to put files on its keys");
    std::vector<unsigned> valid;
    for (const unsigned key : keys)
        if (key < corvane::layers::kLayerKeyCount)
            valid.push_back(key);
    if (valid.empty())
        return QObject::tr("Select a key to put files on");
    if (files.isEmpty())
        return QObject::tr("Nothing to put on the keys");

    // A view plug-in that takes files gets them in place of a picture, which it would hide anyway. An
    // action plug-in that takes them gets them as well as the picture.
    std::vector<unsigned> pictureKeys;
    QStringList taken;
    for (const unsigned key : valid) {
        const auto& binding = layer->binding(key);
        if (auto* view = fileTaker(binding.viewPlugin)) {
            const int count = offerFiles(*view, files);
            taken << QObject::tr("%1 took %2 of %3 files on %4")
                         .arg(QString::fromStdString(view->SubPluginInfo()->displayName))
                         .arg(count)
                         .arg(files.size())
                         .arg(QString::fromUtf8(corvane::layers::keyName(key)));
            continue;
        }
        if (auto* action = fileTaker(binding.actionPlugin); action && offerFiles(*action, files) > 0)
            taken << QObject::tr("%1 took the files on %2")
                         .arg(QString::fromStdString(action->SubPluginInfo()->displayName))
                         .arg(QString::fromUtf8(corvane::layers::keyName(key)));
        pictureKeys.push_back(key);
    }
    if (!taken.isEmpty())
        // What plug-ins took is in their settings; the windows look again all the same.
        services.dispatch.send<KVM_KEYS_EDITED>();
    QString status = taken.join(QStringLiteral("; "));
    if (pictureKeys.empty())
        return status;

    const auto dropped = pictureOfFile(files.front(), chooseIcon, services.applications, parent);
    QString result;
    if (!dropped.picture) {
        corvane::logger("editor").warn("no picture for the keys: {}", dropped.why.toStdString());
        result = dropped.why;
    } else {
        const QString keysName = keysText(pictureKeys);
        const bool changed = editKeys(services, pictureKeys, "Set picture of " + keysName.toStdString(),
                                      [&](const KVPtr<KVLayer>& target, unsigned key) {
                                          // Each key gets its own copy: each is saved as its own file.
                                          return services.layers.Editing().SetKeyImage(
                                              target, key, std::make_shared<KVImage>(*dropped.picture));
                                      });
        const bool one = pictureKeys.size() == 1;
        result =
            changed
                ? (one ? QObject::tr("%1 shows %2") : QObject::tr("%1 show %2")).arg(keysName, dropped.what)
                : (one ? QObject::tr("%1 is unchanged") : QObject::tr("%1 are unchanged")).arg(keysName);
    }
    return status.isEmpty() ? result : status + QStringLiteral("; ") + result;
}

} // namespace corvane::editor
