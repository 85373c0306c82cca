#include "platform/HostFileStream.h"

#include <new>

namespace platform {

HostFile* adoptHostStream(FILE* stream, int mode) {
    auto* file = new (std::nothrow) HostFile;
    if (!file) {
        std::fclose(stream);
        return nullptr;
    }
    file->stream = stream;
    file->append = mode == HOST_FILE_APPEND;
    return file;
}

void switchHostStreamTo(HostFile* file, HostFile::Last next) {
    if (file->last != HostFile::Last::None && file->last != next)
        std::fseek(file->stream, 0, SEEK_CUR);
    file->last = next;
}

void hostFileClose(HostFile* file) {
    if (!file)
        return;
    std::fclose(file->stream);
    delete file;
}

int64_t hostFileRead(HostFile* file, void* dst, int64_t n) {
    if (!file || !dst || n <= 0)
        return 0;
    switchHostStreamTo(file, HostFile::Last::Read);
    return static_cast<int64_t>(std::fread(dst, 1, static_cast<size_t>(n), file->stream));
}

bool hostFileFlush(HostFile* file) {
    return file && std::fflush(file->stream) == 0;
}

}  // namespace platform
