#pragma once

#include "core/MainLoop.h"
#include "device/ServingWait.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// One HTTP(S) download: where from, how much may come, and where it goes.
struct KVDownloadRequest {
    std::string address;
    // The body is refused as soon as it would grow beyond this, whatever the server announces.
    size_t sizeLimit = 0;
    // Empty: the bytes are handed over in memory. Otherwise they are streamed into this file, which
    // appears (replaced atomically) only when the whole body has arrived.
    std::string targetFile;
    bool allowPlainHttp = false;
    std::chrono::seconds connectTimeout{20};
    std::chrono::seconds stallTimeout{30};
    std::chrono::seconds totalTimeout{600};
};

struct KVDownloadResult {
    bool ok = false;
    std::vector<uint8_t> bytes; // in memory only
    std::string error;          // why it failed, for the log and the user
};

// Downloads with libcurl on its own worker thread, one at a time. Certificates are checked, only the
// protocols the request allows are used or followed through redirects, bodies are capped and stalled
// transfers given up.
//
// The callbacks run on the worker thread; `done` runs once the worker is free again, so it may start the
// next download. Destruction cancels a running download and waits for the worker; on the loop thread
// that wait serves the worker's sends, so a callback that sends to the loop cannot block it.
class KVDownloader {
public:
    using Progress = std::function<void(uint64_t received, uint64_t expected)>;
    using Done = std::function<void(KVDownloadResult)>;

    explicit KVDownloader(KVMainLoop* loop);
    ~KVDownloader();
    KVDownloader(const KVDownloader&) = delete;
    KVDownloader& operator=(const KVDownloader&) = delete;

    // False (nothing started) while another download runs or when the address is refused; `done` is not
    // called then.
    bool start(KVDownloadRequest request, Progress progress, Done done);

private:
    struct Job {
        KVDownloadRequest request;
        Progress progress;
        Done done;
    };
    void workerMain();
    KVDownloadResult perform(const Job& job);

    KVServingWait m_wait;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Job> m_job;
    bool m_running = false;
    bool m_stop = false;
    std::atomic<bool> m_cancel = false;
    std::atomic<bool> m_workerDone = false;
    std::thread m_worker;
};
