#include "device/MountInfo.h"

#include <fstream>
#include <sstream>
#include <sys/sysmacros.h>

namespace corvane::device {

std::string unescapeMountField(const std::string& field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out.push_back(char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

std::optional<std::string> mountPointOf(dev_t device, const std::string& mountInfoPath) {
    std::ifstream in(mountInfoPath);
    const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, numbers, root, mountPoint;
        if (!(fields >> id >> parent >> numbers >> root >> mountPoint))
            continue;
        // A bind mount of a folder inside the volume is not the volume.
        if (numbers == wanted && root == "/")
            return unescapeMountField(mountPoint);
    }
    return std::nullopt;
}

} // namespace corvane::device
