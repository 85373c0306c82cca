#include "mt/file/FileManager.h"

namespace mt::file {

// Throws std::bad_alloc when the link cannot be made (caught where the manager is created).
FileManager::FileManager() : link(std::make_shared<FileManagerLink>(this)) {}

FileManager::~FileManager() {
    cutLink();
}

File* FileManager::openArchiveFile(const String& path) {
    String saved = getRootDirectory();
    setRootDirectory(getArchiveDirectory());
    File* file = openFile(path, OPEN_READ, 0);
    setRootDirectory(saved);
    return file;
}

}  // namespace mt::file
