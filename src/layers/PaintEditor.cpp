#include "layers/PaintEditor.h"

#include "core/Log.h"
#include "core/MessageDispatch.h"
#include "images/KVImage.h"
#include "layers/Layer.h"
#include "layers/OpenWith.h"
#include "layers/PictureLayer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::optional<KVFileStamp> stampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return KVFileStamp{info.st_mtim.tv_sec, info.st_mtim.tv_nsec, info.st_ino, info.st_size};
}

// A display name may hold anything; the file name may not hold a slash.
std::string fileNamePart(std::string text) {
    std::replace(text.begin(), text.end(), '/', '_');
    return text.empty() ? "Layer" : text;
}

} // namespace

KVPaintEditor::KVPaintEditor(KVMainLoop& loop, CKVMessageDispatch& dispatch, std::string scratchFolder,
                             std::string drawingPath, IKVOpenWith& opener, ApplyPicture apply)
    : m_loop(loop), m_dispatch(dispatch), m_folder(std::move(scratchFolder)),
      m_drawingPath(std::move(drawingPath)), m_opener(opener), m_apply(std::move(apply)) {
    m_dispatch.RegisterHandler<KVM_LAYERS_FOLDER_CHANGED>(this, &KVPaintEditor::OnFolderChanged);
}

KVPaintEditor::~KVPaintEditor() {
    m_dispatch.UnregisterHandlers(this);
    if (m_watch)
        m_loop.unwatchFd(m_watch);
    if (m_inotify >= 0)
        ::close(m_inotify);
}

std::string KVPaintEditor::pictureFile(const KVLayer& layer) const {
    return m_folder + "/" + fileNamePart(layer.displayName()) + " - " + fileNamePart(layer.identifier()) +
           ".png";
}

corvane::layers::KVArchiveStatus KVPaintEditor::Paint(const KVPtr<KVLayer>& layer) {
    if (!layer)
        return corvane::layers::KVArchiveStatus::failure("no layer is shown");
    if (m_folder.empty())
        return corvane::layers::KVArchiveStatus::failure("there is no editor scratch folder");
    if (!startWatching())
        return corvane::layers::KVArchiveStatus::failure("the editor scratch folder cannot be watched");
    const std::string path = pictureFile(*layer);
    if (auto status = corvane::layers::exportLayerPicture(*layer, path, m_drawingPath); !status)
        return status;
    std::erase_if(m_files, [&](const Watched& file) { return file.path == path; });
    m_files.push_back({layer, path, stampOf(path).value_or(KVFileStamp{})});
    if (!m_opener.open(path))
        return corvane::layers::KVArchiveStatus::failure("no picture editor could be started for " + path);
    corvane::logger("layers").info("\"{}\" opened for painting as {}", layer->displayName(), path);
    return corvane::layers::KVArchiveStatus::success();
}

bool KVPaintEditor::startWatching() {
    if (m_inotify >= 0)
        return true;
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // Picture editors either write the file in place or write a new one and rename it over the old.
    if (m_inotify < 0 || ::inotify_add_watch(m_inotify, m_folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
        corvane::logger("layers").error("{} cannot be watched: {}", m_folder, std::strerror(errno));
        if (m_inotify >= 0)
            ::close(m_inotify);
        m_inotify = -1;
        return false;
    }
    m_watch = m_loop.watchFd(m_inotify, KVMainLoop::Readable, [this](unsigned) { readEvents(); });
    return true;
}

void KVPaintEditor::readEvents() {
    alignas(inotify_event) std::array<char, 4096> buffer;
    bool ours = false;
    for (;;) {
        const ssize_t length = ::read(m_inotify, buffer.data(), buffer.size());
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            const std::string name = event->len ? event->name : "";
            ours = ours || std::any_of(m_files.begin(), m_files.end(), [&](const Watched& file) {
                       return file.path == m_folder + "/" + name;
                   });
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (ours)
        m_dispatch.send<KVM_LAYERS_FOLDER_CHANGED>();
}

void KVPaintEditor::OnFolderChanged() {
    for (auto& file : m_files) {
        const auto stamp = stampOf(file.path);
        if (!stamp || *stamp == file.stamp)
            continue;
        file.stamp = *stamp;
        KVImage picture;
        if (!picture.load(file.path)) {
            corvane::logger("layers").warn("the painted picture {} cannot be read; the layer stays as it was",
                                           file.path);
            continue;
        }
        m_apply(file.layer, picture);
        corvane::logger("layers").info("\"{}\" took the painted picture {}", file.layer->displayName(),
                                       file.path);
        m_dispatch.send<KVM_IMAGE_FILE_RELOADED>(file.path.c_str());
    }
}
