#include "store/XmlDocument.h"

#include "core/Log.h"
#include "store/AtomicFile.h"

#include <sstream>

namespace {

constexpr std::string_view kTemplate = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                       "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
                                       "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"
                                       "<plist version=\"1.0\"><dict/></plist>";

} // namespace

KVXmlDocument::KVXmlDocument(std::string path) : m_path(std::move(path)) {}

KVXmlDocument KVXmlDocument::fromTemplate(std::string path) {
    KVXmlDocument document(std::move(path));
    document.m_xml.load_buffer(kTemplate.data(), kTemplate.size(),
                               pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype,
                               pugi::encoding_utf8);
    return document;
}

bool KVXmlDocument::load() {
    const auto bytes = corvane::readFileBounded(m_path, kMaxFileBytes);
    if (!bytes)
        return false;
    if (!parse(*bytes)) {
        corvane::logger("store").warn("{} is not a readable property list", m_path);
        return false;
    }
    return true;
}

bool KVXmlDocument::parse(std::string_view bytes) {
    // pugixml builds the tree without recursion, so deep input cannot exhaust the stack here; a UTF-8
    // byte-order mark is recognised and skipped.
    const auto result =
        m_xml.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        corvane::logger("store").debug("XML error at offset {}: {}", result.offset, result.description());
        m_xml.reset();
        return false;
    }
    return true;
}

std::string KVXmlDocument::print() const {
    std::ostringstream out;
    m_xml.save(out, "    ", pugi::format_indent, pugi::encoding_utf8);
    return std::move(out).str();
}

bool KVXmlDocument::save(KVFileSystem& fs) const {
    return corvane::writeFileAtomically(m_path, print(), fs);
}

pugi::xml_node KVXmlDocument::topDictionary() const {
    return m_xml.document_element().child("dict");
}
