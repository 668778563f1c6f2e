#pragma once

#include <string>
#include <vector>

namespace corvane {

// True when a file or folder of that name exists (a symlink counts when its target does).
bool pathExists(const std::string& path);

// True when the folder exists afterwards; missing parents are created too (mode 0700: the folders hold
// the user's own configuration).
bool ensureFolder(const std::string& path);

// The names of the folders directly inside `folder`, sorted; links are not folders here, whatever they
// point to.
std::vector<std::string> subfolderNames(const std::string& folder);

// Removes the folder and everything in it, permanently and without asking. Symlinks inside are removed
// as links, never followed, so nothing outside the tree is touched. A missing path counts as removed.
bool deleteTree(const std::string& path);

} // namespace corvane
