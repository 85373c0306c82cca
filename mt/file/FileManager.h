#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "mt/core/String.h"
#include "mt/file/File.h"
#include "mt/file/FileManagerLink.h"

namespace mt {
class XmlElement;
}

namespace mt::file {

// Bits of the manager's option flags.
enum FileManagerOption : uint32_t {
    // Native files opened for reading are taken as they are, even when they start with the scramble marker.
    OPTION_NO_SCRAMBLE_DETECTION = 2,
};

// Bits of the manager's search mode.
enum FileManagerSearch : int32_t {
    // A path without a mount name is looked up in every mounted archive, newest first, before the host.
    SEARCH_ALL_MOUNTS = 1,
};

// The one way to open files and to reach file-system services. Paths are UTF-8; a path that begins with a
// mount name, a colon and a separator ("data:/gfx/a.png") selects the archives mounted under matching names;
// "mem:/ADDRESS.LENGTH" is a memory pseudo-drive. A returned File belongs to the caller.
class FileManager {
  public:
    FileManager();
    // Cuts the link unless the implementation did so earlier.
    virtual ~FileManager();
    FileManager(const FileManager&) = delete;
    FileManager& operator=(const FileManager&) = delete;

    // The link that files, archives and proxies opened here share to reach the manager.
    const std::shared_ptr<FileManagerLink>& getLink() const { return link; }

    // Null for an empty path; else openFileDirect. The flags of the three open operations are ignored.
    virtual File* openFile(const String& path, int32_t mode, int32_t flags) = 0;
    // Opens on the worker thread and returns a proxy whose operations run there.
    virtual File* openFileOnWorker(const String& path, int32_t mode, int32_t flags) = 0;
    // Path resolution: memory drive, mounted archives, host file system.
    virtual File* openFileDirect(const String& path, int32_t mode, int32_t flags) = 0;
    // "." stores the empty text.
    virtual void setRootDirectory(const String& directory) = 0;
    virtual String getRootDirectory() = 0;
    virtual void setArchiveDirectory(const String& directory) = 0;
    virtual String getArchiveDirectory() = 0;
    virtual bool copyFile(const String&, const String&, bool) { return false; }
    virtual bool moveFile(const String&, const String&) { return false; }
    virtual bool deleteFile(const String& path) = 0;
    virtual bool createDirectory(const String& path) = 0;
    virtual bool removeDirectory(const String& path) = 0;
    // Appends "drive" elements with "directory" and "file" children (each with a "name" attribute) to root.
    virtual bool listDirectory(const String& path, XmlElement* root, bool recursive) = 0;
    virtual bool mountArchive(const String& archiveFileName, const String& mountName) = 0;
    virtual bool queryReady(int32_t, int32_t) = 0;
    virtual bool unmountArchive(const String& mountName) = 0;
    // Returns when every queued request has been executed (at once when no worker runs).
    virtual void waitForQueue() = 0;
    virtual bool waitForRequestDone(int32_t milliseconds) = 0;
    virtual void queueCallback(FileOperationCallback* callback) = 0;
    virtual bool cancelOperation(FileOperationCallback* callback) = 0;
    // Runs the completion notices that belong to the calling thread; returns how many.
    virtual int32_t dispatchCompleted() = 0;
    // Switching recording on clears the list.
    virtual void setRecordOpenedFiles(bool record) = 0;
    // The recorded paths in first-open order, each once.
    virtual std::vector<String> getOpenedFiles() = 0;
    virtual void setErrorHandler(FileErrorHandler*) {}
    virtual FileErrorHandler* getErrorHandler() { return nullptr; }
    virtual void setSearchMode(int32_t mode) = 0;
    // The key is not copied: it must outlive its use by the manager and the files it opens.
    virtual void setScrambleKey(const uint8_t* key, int32_t length) = 0;
    virtual const uint8_t* getScrambleKey(int32_t& length) = 0;
    virtual void setOptionFlags(uint32_t bits) = 0;
    virtual void clearOptionFlags(uint32_t bits) = 0;
    virtual uint32_t getOptionFlags() = 0;

    // Opens an archive file for reading with the archive directory as the root directory. The base class
    // swaps the root directory around openFile; an implementation may do it without touching shared state.
    virtual File* openArchiveFile(const String& path);
    // Makes a block of memory reachable through "mem:/ADDRESS.LENGTH" paths: only ranges inside a
    // registered block (or address 0, a new block) can be opened. The base class registers nothing.
    virtual bool registerMemoryBlock(const void*, int32_t) { return false; }
    virtual bool unregisterMemoryBlock(const void*) { return false; }
    // The largest new block that a "mem:/0.LENGTH" path may allocate; longer ones are refused. The base class
    // keeps no limit of its own.
    virtual void setMemoryFileLimit(int32_t) {}

  protected:
    // Everything opened here stops reaching the manager; an implementation calls it before its own state
    // goes away.
    void cutLink() { link->cut(); }

  private:
    std::shared_ptr<FileManagerLink> link;
};

}  // namespace mt::file
