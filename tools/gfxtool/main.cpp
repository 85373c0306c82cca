#include <cstdio>
#include <string>
#include <vector>

#include "tools/gfxtool/GfxTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return gfxtool::run(args, stdout, stderr);
}
