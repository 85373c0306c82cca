#include <cstdio>
#include <string>
#include <vector>

#include "tools/paktool/PakTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return paktool::run(args, stdout, stderr);
}
