#pragma once

#include "layers/ArchiveReader.h"

#include <string>

namespace corvane::layers {

// Packs the contents of `folder` (not the folder itself) into a zip archive at `archivePath`, replacing
// it only once the new archive is complete. Names are UTF-8 with "/" between folders and carry Unix
// permissions, so ordinary zip tools read the archive; pictures are stored as they are, as PNG does not
// compress further. Links and special files in the folder are left out.
KVArchiveStatus packFolder(const std::string& folder, const std::string& archivePath);

} // namespace corvane::layers
