#include <algorithm>

#include "platform/HostFile.h"
#include "platform/UserFolder.h"

// Paths as the programs write them ('\\' between folders) in the '/' spelling the host calls take.
namespace platform {

std::string hostPath(const char* path) {
    std::string result = path ? path : "";
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

std::string hostPath(std::string_view path) {
    std::string result(path);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

}  // namespace platform
