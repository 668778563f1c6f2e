#include "update/Downloader.h"

#include "core/Log.h"
#include "update/UpdateSettings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <unistd.h>

namespace {

// curl_global_init is not thread-safe; every downloader comes through here first.
void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Where a body goes while it arrives: memory, or a temporary file beside the target.
class BodySink {
public:
    BodySink(const KVDownloadRequest& request, std::string& error) : m_request(request) {
        if (request.targetFile.empty())
            return;
        m_partPath = request.targetFile + ".XXXXXX";
        m_fd = ::mkstemp(m_partPath.data());
        if (m_fd < 0)
            error = "cannot create " + m_partPath + ": " + std::strerror(errno);
    }
    ~BodySink() {
        if (m_fd >= 0) {
            ::close(m_fd);
            ::unlink(m_partPath.c_str());
        }
    }
    BodySink(const BodySink&) = delete;
    BodySink& operator=(const BodySink&) = delete;

    bool add(const char* data, size_t size) {
        if (size > m_request.sizeLimit - m_received) {
            m_tooLarge = true;
            return false;
        }
        m_received += size;
        if (m_fd < 0) {
            m_bytes.insert(m_bytes.end(), data, data + size);
            return true;
        }
        while (size > 0) {
            const ssize_t written = ::write(m_fd, data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                m_writeError = std::strerror(errno);
                return false;
            }
            data += written;
            size -= size_t(written);
        }
        return true;
    }

    // Puts the finished file in place; the bytes otherwise.
    bool finish(KVDownloadResult& result) {
        if (m_fd < 0) {
            result.bytes = std::move(m_bytes);
            return true;
        }
        const bool synced = ::fsync(m_fd) == 0;
        const bool closed = ::close(m_fd) == 0;
        m_fd = -1;
        if (!synced || !closed || ::rename(m_partPath.c_str(), m_request.targetFile.c_str()) != 0) {
            result.error = "cannot write " + m_request.targetFile + ": " + std::strerror(errno);
            ::unlink(m_partPath.c_str());
            return false;
        }
        return true;
    }

    bool tooLarge() const { return m_tooLarge; }
    const std::string& writeError() const { return m_writeError; }

private:
    const KVDownloadRequest& m_request;
    std::vector<uint8_t> m_bytes;
    size_t m_received = 0;
    bool m_tooLarge = false;
    std::string m_writeError;
    std::string m_partPath;
    int m_fd = -1;
};

struct Transfer {
    BodySink* sink;
    const KVDownloader::Progress* progress;
    const std::atomic<bool>* cancel;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    if (*transfer->cancel || !transfer->sink->add(data, size * count))
        return 0; // ends the transfer with a write error
    return size * count;
}

int onProgress(void* user, curl_off_t expected, curl_off_t received, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(user);
    if (*transfer->cancel)
        return 1;
    if (*transfer->progress && received > 0)
        (*transfer->progress)(uint64_t(received), uint64_t(expected));
    return 0;
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

} // namespace

KVDownloader::KVDownloader(KVMainLoop* loop) : m_wait(loop) {
    initCurlOnce();
    m_worker = std::thread([this] { workerMain(); });
}

KVDownloader::~KVDownloader() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_cancel = true;
    m_wake.notify_all();
    m_wait.wait([this] { return m_workerDone.load(); });
    m_worker.join();
}

bool KVDownloader::start(KVDownloadRequest request, Progress progress, Done done) {
    if (auto problem = addressProblem(request.address, request.allowPlainHttp)) {
        corvane::logger("update").error("{}", *problem);
        return false;
    }
    std::lock_guard lock(m_mutex);
    if (m_stop || m_running || m_job)
        return false;
    m_cancel = false;
    m_job = Job{std::move(request), std::move(progress), std::move(done)};
    m_wake.notify_all();
    return true;
}

void KVDownloader::workerMain() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || m_job.has_value(); });
            if (m_stop)
                break;
            job = std::move(*m_job);
            m_job.reset();
            m_running = true;
        }
        KVDownloadResult result = perform(job);
        {
            std::lock_guard lock(m_mutex);
            m_running = false;
        }
        if (job.done)
            job.done(std::move(result));
    }
    m_workerDone = true;
    m_wait.notify();
}

KVDownloadResult KVDownloader::perform(const Job& job) {
    const KVDownloadRequest& request = job.request;
    KVDownloadResult result;
    BodySink sink(request, result.error);
    if (!result.error.empty())
        return result;
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        result.error = "the download library cannot start a transfer";
        return result;
    }
    Transfer transfer{&sink, &job.progress, &m_cancel};
    char errorText[CURL_ERROR_SIZE] = {};
    // Redirects may only lead where the request itself may go: never to file:, ftp: and the like, and
    // from https never down to plain http.
    const char* protocols = request.allowPlainHttp ? "http,https" : "https";
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, request.address.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, protocols);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(request.sizeLimit));
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(request.connectTimeout.count()));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(request.stallTimeout.count()));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, long(request.totalTimeout.count()));
    curl_easy_setopt(c, CURLOPT_USERAGENT, "corvane-configurator");
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

    const CURLcode code = curl_easy_perform(c);
    if (code == CURLE_OK) {
        result.ok = sink.finish(result);
        return result;
    }
    if (m_cancel)
        result.error = "cancelled";
    else if (sink.tooLarge() || code == CURLE_FILESIZE_EXCEEDED)
        result.error = "the answer is larger than the " + std::to_string(request.sizeLimit) + "-byte limit";
    else if (code == CURLE_OPERATION_TIMEDOUT)
        result.error = std::string("timed out: ") + (errorText[0] ? errorText : curl_easy_strerror(code));
    else if (!sink.writeError().empty())
        result.error = "cannot write " + request.targetFile + ": " + sink.writeError();
    else
        result.error = errorText[0] ? errorText : curl_easy_strerror(code);
    result.error = request.address + ": " + result.error;
    return result;
}
