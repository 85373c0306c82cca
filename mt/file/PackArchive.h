#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "mt/core/String.h"

namespace mt {
class XmlElement;
}

namespace mt::file {

class FileManager;
class FilePackFile;
class PackStorage;

// The first four bytes of a pack archive (stored little-endian: 78 56 34 12).
constexpr uint32_t PACK_MAGIC = 0x12345678u;
constexpr int32_t PACK_BUCKET_COUNT = 1024;
// Bytes of one directory entry: hash, stored size, size, flags, offset.
constexpr int32_t PACK_ENTRY_SIZE = 17;
// Entry flags.
constexpr uint8_t PACK_FLAG_COMPRESSED = 1;
constexpr uint8_t PACK_FLAG_UNREADABLE_VARIANT = 2;
// The optional member that lists the member paths.
constexpr const char* PACK_LIST_NAME = "filepack.list";
// Deflate never expands data by more than about 1032:1, so a compressed member can never inflate beyond this
// many bytes per stored byte (plus the stream's own header and trailer).
constexpr int64_t PACK_MAX_INFLATE_RATIO = 1032;

// The hash that finds a member: path bytes with ASCII letters upper-cased and '\' taken as '/', so that names
// match without regard to case or the kind of slash.
uint32_t packNameHash(const char* path, int32_t length);
uint32_t packNameHash(const String& path);
// The hash of a path as looked up: a leading "./" is skipped (the first two characters of any path that
// starts with '.').
uint32_t packLookupHash(const String& path);

// One directory entry.
struct PackEntry {
    uint32_t offset = 0;
    int32_t size = 0;
    int32_t storedSize = 0;
    uint8_t flags = 0;
    uint32_t nameHash = 0;
    // False when the entry describes bytes outside the archive file, sizes that cannot be true (a plain
    // member larger than its stored bytes, a compressed one that would inflate beyond the possible ratio) or
    // flags no reader knows; such a member cannot be opened.
    bool sound = false;
};

// An archive file: a hashed directory of members stored plainly or deflated. Each thread that reads members
// gets its own handle on the archive file. Members stay readable while their files exist, even after the
// archive is closed or unmounted.
class PackArchive {
  public:
    explicit PackArchive(FileManager* manager);
    ~PackArchive();
    PackArchive(const PackArchive&) = delete;
    PackArchive& operator=(const PackArchive&) = delete;

    // Closes anything open, then opens the archive file (through the manager, with its archive directory as
    // the root) and loads the directory. False when the file cannot be opened, is not a pack archive, or its
    // directory does not fit the file or its entry count.
    bool open(const String& archiveFileName);
    void close();

    // The member at memberPath, or null when it is absent or cannot be opened. The caller owns the file.
    FilePackFile* find(const String& memberPath);
    FilePackFile* findHash(uint32_t nameHash);
    // The first entry with that hash, or null.
    const PackEntry* findEntry(uint32_t nameHash) const;

    // Reads archive bytes through the calling thread's handle; returns the number of bytes delivered.
    int32_t readAt(int32_t archiveOffset, void* dst, int32_t n, int32_t expectedMore);

    // Lists the names of "filepack.list" that match directoryPath (a directory, then a name pattern with '*')
    // as "directory" and "file" elements below drive.
    void listInto(const String& directoryPath, XmlElement* drive, bool recursive);
    // The names in "filepack.list", in their order; empty without it. Names cut short by the end of the
    // member are not returned.
    std::vector<String> readNameList();

    const String& getPath() const { return path; }
    int32_t getEntryCount() const { return static_cast<int32_t>(entries.size()); }
    int32_t getDirectorySize() const { return directorySize; }
    // Entries in directory order.
    const PackEntry& entryAt(int32_t index) const { return entries[static_cast<size_t>(index)]; }
    // Length of the archive file.
    int64_t getFileSize() const;

  private:
    // The steps of open, listInto and readNameList; they throw std::bad_alloc when memory runs out.
    bool load(const String& archiveFileName);
    void listNames(const String& directoryPath, XmlElement* drive, bool recursive);
    void readNamesInto(std::vector<String>& names);

    FileManager* manager;
    String path;
    int32_t directorySize;
    // Entries in directory order, and their indices grouped by bucket (hash & 1023) in directory order.
    std::vector<PackEntry> entries;
    std::vector<int32_t> bucketEntries;
    int32_t bucketStart[PACK_BUCKET_COUNT + 1];
    std::shared_ptr<PackStorage> storage;
};

}  // namespace mt::file
