#include <cstdio>
#include <string>
#include <vector>

#include "platform/ProgramArguments.h"
#include "tools/common/ResultStream.h"
#include "tools/paktool/PakTool.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args = platform::programArguments(argc, argv);
    FILE* out = toolsupport::takeStandardOutput();
    const int code = paktool::run(args, out, stderr);
    // A full disk or a closed pipe on the results is a failure too.
    if (std::fflush(out) != 0 && code == 0) {
        std::perror("paktool: cannot write to standard output");
        return 1;
    }
    return code;
}
