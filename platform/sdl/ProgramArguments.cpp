#include "platform/ProgramArguments.h"

namespace platform {

// POSIX hands the bytes of the command line on as they are; file names are UTF-8 already.
std::vector<std::string> programArguments(int argc, char** argv) {
    if (argc < 1 || argv == nullptr)
        return {};
    return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace platform
