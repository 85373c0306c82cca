#pragma once
#include <cstdio>

#include "platform/HostFile.h"

// An open host file as both backends keep it: a C stream opened by the backend, and which way it was used
// last.
namespace platform {

struct HostFile {
    enum class Last { None, Read, Write };
    FILE* stream = nullptr;
    Last last = Last::None;
    bool append = false;  // opened with HOST_FILE_APPEND
};

// Wraps a stream the backend opened in `mode`; closes it and returns null when there is no memory.
HostFile* adoptHostStream(FILE* stream, int mode);

// Between a read and a write on the same stream the C runtime needs a flush or a seek.
void switchHostStreamTo(HostFile* file, HostFile::Last next);

}  // namespace platform
