// Reads arbitrary bytes as a stored property list. Whatever is accepted must print and read back as the
// same tree, since every save of the configuration rests on that.
#include "store/PropertyListReader.h"
#include "store/PropertyListWriter.h"
#include "store/XmlDocument.h"

#include <cstdint>
#include <cstdlib>
#include <spdlog/spdlog.h>
#include <string>

namespace {

bool sameTree(const KVPropertyNode& a, const KVPropertyNode& b) {
    if (a.name() != b.name() || a.value() != b.value() || a.children().size() != b.children().size())
        return false;
    for (size_t i = 0; i < a.children().size(); ++i)
        if (!sameTree(*a.children()[i], *b.children()[i]))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    spdlog::set_level(spdlog::level::off);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto node = corvane::parsePropertyList({reinterpret_cast<const char*>(data), size}, "root");
    if (!node)
        return 0;
    auto document = KVXmlDocument::fromTemplate("");
    if (!corvane::writeEntries(document.topDictionary(), *node))
        std::abort(); // the reader let through a tree the writer refuses
    const auto again = corvane::parsePropertyList(document.print(), "root");
    if (!again || !sameTree(*node, *again))
        std::abort();
    return 0;
}
