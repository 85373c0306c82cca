#include "mt/file/FileManager.h"

namespace mt::file {

File* FileManager::openArchiveFile(const String& path) {
    String saved = getRootDirectory();
    setRootDirectory(getArchiveDirectory());
    File* file = openFile(path, OPEN_READ, 0);
    setRootDirectory(saved);
    return file;
}

}  // namespace mt::file
