#pragma once

#include "core/KVPtr.h"
#include "core/MainLoop.h"
#include "layers/ArchiveReader.h"

#include <compare>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CKVMessageDispatch;
class KVImage;
class KVLayer;
class IKVOpenWith;

// What tells one version of a file from the next. The time alone is not enough: file times advance in
// steps of a few milliseconds, and an editor may save twice within one.
struct KVFileStamp {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    bool operator==(const KVFileStamp&) const = default;
};

// The editor's "Paint": a layer's keyboard picture is written into the editor scratch folder and opened
// in the user's picture editor; every save made there comes back and is spread over the layer's keys.
// The folder is watched with inotify on the main loop; a save of a watched file becomes
// KVM_LAYERS_FOLDER_CHANGED, whose handler reloads each watched file written since it was last read.
class KVPaintEditor {
public:
    // Puts a reloaded picture on the layer's keys as one change (applyLayerPicture), then refreshes
    // what the keyboard shows.
    using ApplyPicture = std::function<void(const KVPtr<KVLayer>& layer, const KVImage& picture)>;

    KVPaintEditor(KVMainLoop& loop, CKVMessageDispatch& dispatch, std::string scratchFolder,
                  std::string drawingPath, IKVOpenWith& opener, ApplyPicture apply);
    ~KVPaintEditor();
    KVPaintEditor(const KVPaintEditor&) = delete;
    KVPaintEditor& operator=(const KVPaintEditor&) = delete;

    // Writes "<display name> - <identifier>.png" and opens it. The result names the file's trouble.
    corvane::layers::KVArchiveStatus Paint(const KVPtr<KVLayer>& layer);
    // KVM_LAYERS_FOLDER_CHANGED: reloads every watched file changed since it was last read, and sends
    // KVM_IMAGE_FILE_RELOADED with its path.
    void OnFolderChanged();

    // The file that Paint writes for `layer`.
    std::string pictureFile(const KVLayer& layer) const;

private:
    struct Watched {
        KVPtr<KVLayer> layer;
        std::string path;
        KVFileStamp stamp;
    };

    bool startWatching();
    void readEvents();

    KVMainLoop& m_loop;
    CKVMessageDispatch& m_dispatch;
    std::string m_folder;
    std::string m_drawingPath;
    IKVOpenWith& m_opener;
    ApplyPicture m_apply;
    int m_inotify = -1;
    KVMainLoop::WatchId m_watch = 0;
    std::vector<Watched> m_files;
};
