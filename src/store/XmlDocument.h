#pragma once

#include "store/FileSystem.h"

#include <pugixml.hpp>
#include <string>
#include <string_view>

// One property-list file: the parsed XML together with the path it belongs to.
class KVXmlDocument {
public:
    // Stored documents larger than this are refused unread; real ones stay far below it.
    static constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;

    explicit KVXmlDocument(std::string path);

    // A fresh document of the fixed form every stored list has: the XML declaration, the "plist"
    // DOCTYPE and a "plist" element of version 1.0 holding one empty "dict".
    static KVXmlDocument fromTemplate(std::string path);

    // Reads and parses the file at the bound path; false (logged) when it is missing, too large or not
    // well-formed.
    bool load();
    bool parse(std::string_view bytes);

    // Prints with four-space indentation and writes the file atomically (no byte-order mark).
    bool save(KVFileSystem& fs = KVFileSystem::system()) const;
    std::string print() const;

    // The first "dict" inside the first element (normally "plist"); empty when there is none.
    pugi::xml_node topDictionary() const;

    const std::string& path() const { return m_path; }
    pugi::xml_document& xml() { return m_xml; }

private:
    std::string m_path;
    pugi::xml_document m_xml;
};
