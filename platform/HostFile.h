#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Files and directories of the host, by UTF-8 path. A '\' in a path is a separator, as '/' is, because the
// system's own paths use it ("lang\\english.lng").
namespace platform {

// Open modes: read an existing file; create or truncate and write; append and read. Any other value reads.
enum HostFileMode : int {
    HOST_FILE_READ = 1,
    HOST_FILE_WRITE = 2,
    HOST_FILE_APPEND = 3,
};

enum HostSeekOrigin : int {
    HOST_SEEK_START = 0,
    HOST_SEEK_CURRENT = 1,
    HOST_SEEK_END = 2,
};

// An open host file. Reads and writes may follow each other in any order.
struct HostFile;

// The path with every '\' turned into '/'.
std::string hostPath(const char* path);

// Null when the path is empty, names a directory or cannot be opened in that mode.
HostFile* hostFileOpen(const char* path, int mode);
void hostFileClose(HostFile* file);
// Bytes read or written; 0 on failure or at the end.
int64_t hostFileRead(HostFile* file, void* dst, int64_t n);
int64_t hostFileWrite(HostFile* file, const void* src, int64_t n);
bool hostFileSeek(HostFile* file, int64_t offset, int origin);
// The current position, -1 on failure.
int64_t hostFileTell(HostFile* file);
// The length in bytes, -1 on failure.
int64_t hostFileSize(HostFile* file);
// Cuts the file to length bytes and moves to its end.
bool hostFileTruncate(HostFile* file, int64_t length);
bool hostFileFlush(HostFile* file);

// Copies a regular file; the copy gets the source's permissions. With failIfExists an existing target is left
// alone and the copy fails; without it an existing target is replaced only once the copy is complete (a
// symbolic link stays and the file it names is replaced). A file is never copied onto itself. A failed copy
// leaves the target as it was and no partial file behind.
bool hostCopyFile(const char* from, const char* to, bool failIfExists);
// Moves or renames a file or directory; fails when the target exists. Files move across file systems too.
bool hostMoveFile(const char* from, const char* to);
bool hostDeleteFile(const char* path);
bool hostCreateDirectory(const char* path);
// Removes an empty directory.
bool hostRemoveDirectory(const char* path);
bool hostIsDirectory(const char* path);

// Which file a path names, after following links: equal identities are the same file, whatever the spelling
// of the paths (links, hard links, "." and "..").
struct HostFileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const HostFileIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
};
// False when nothing exists at the path.
bool hostFileIdentity(const char* path, HostFileIdentity& identity);
// Both paths exist and name the same file.
bool hostSameFile(const char* a, const char* b);

struct HostDirectoryEntry {
    std::string name;
    bool isDirectory = false;
    // A symbolic link (to a directory when isDirectory is set); walkers do not descend into links, so that a
    // link cycle cannot make them run forever.
    bool isLink = false;
};

// The entries of a directory except "." and "..", sorted by name. False when it cannot be read.
bool hostListDirectory(const char* path, std::vector<HostDirectoryEntry>& entries);

}  // namespace platform
