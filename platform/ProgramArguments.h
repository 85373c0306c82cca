#pragma once
#include <string>
#include <vector>

// The arguments a console program was started with, after its name, as UTF-8: the form every path and
// text of this layer takes. On Windows they come from the UTF-16 command line, because the argv a C runtime
// hands main is in the 8-bit code page, which cannot hold every file name.
namespace platform {

std::vector<std::string> programArguments(int argc, char** argv);

}  // namespace platform
