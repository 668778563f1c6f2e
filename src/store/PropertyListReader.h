#pragma once

#include "core/KVPtr.h"
#include "store/PropertyNode.h"

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace corvane {

// Dictionaries nested deeper than this are refused rather than followed: no stored document comes
// close, and a hostile one must not exhaust the stack.
constexpr int kMaxPropertyListDepth = 64;

// Fills `node` from the "dict" element `dict`: each "key" with the element after it; a repeated key
// replaces the earlier entry in place. False when the nesting goes deeper than the limit.
bool readDictionary(const pugi::xml_node& dict, KVPropertyNode& node);

// The top-level dictionary of the file as a node of the given name, or an empty reference when the file
// is missing, too large, not well-formed or nested too deeply.
KVPtr<KVPropertyNode> loadPropertyList(const std::string& path, std::string name);

// The same for a document held in memory.
KVPtr<KVPropertyNode> parsePropertyList(std::string_view bytes, std::string name);

} // namespace corvane
