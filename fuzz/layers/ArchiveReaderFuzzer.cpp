// Unpacks arbitrary bytes as a layer archive into a scratch folder. Whatever the bytes, nothing may be
// written outside that folder, nothing but plain files and folders may appear in it, and the bytes
// written stay within the limit.
#include "layers/ArchiveReader.h"
#include "store/FileTree.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <spdlog/spdlog.h>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The scratch folder sits inside a parent that must stay empty apart from it.
fs::path g_parent;
fs::path g_scratch;

corvane::layers::KVArchiveLimits fuzzLimits() {
    corvane::layers::KVArchiveLimits limits;
    limits.maxEntries = 200;
    limits.maxTotalBytes = 1 << 20;
    limits.maxDepth = 8;
    return limits;
}

void checkScratch(const corvane::layers::KVArchiveLimits& limits) {
    std::uintmax_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(g_scratch)) {
        const auto status = entry.symlink_status();
        if (fs::is_regular_file(status))
            bytes += entry.file_size();
        else if (!fs::is_directory(status))
            std::abort(); // a link or a special file was made
    }
    if (bytes > limits.maxTotalBytes)
        std::abort();
    for (const auto& entry : fs::directory_iterator(g_parent))
        if (entry.path() != g_scratch)
            std::abort(); // something was written beside the scratch folder
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    spdlog::set_level(spdlog::level::off);
    std::string pattern = (fs::temp_directory_path() / "corvane-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    g_parent = pattern;
    g_scratch = g_parent / "staging";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fs::create_directory(g_scratch);
    const auto limits = fuzzLimits();
    corvane::layers::unpackArchiveBytes({data, size}, g_scratch.string(), limits);
    checkScratch(limits);
    corvane::deleteTree(g_scratch.string());
    return 0;
}
