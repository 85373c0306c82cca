#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "mt/core/String.h"

namespace mt::file {

// Writes pack archives: the header, the hashed directory, then the members, each deflated when that makes
// it smaller (unless compression is off), and a "filepack.list" member naming every member. Member bytes
// are taken from memory or read from host files one at a time while the archive is written.
class PackWriter {
  public:
    // level: zlib's compression level (0 to 9). Without compression every member is stored plainly.
    explicit PackWriter(bool compress = true, int level = 9, bool writeList = true);

    // Adds a member; false (with the reason in getError) for an empty or over-long name, a name that no
    // lookup can tell from the empty name (one or two characters starting with '.') or a name whose lookup
    // hash another member already has. A member is stored under the hash its name is looked up by, so a
    // name that starts with '.' loses its first two characters to the hash, as on lookup.
    bool addMember(const String& name, const void* bytes, int64_t size);
    // Adds a member whose bytes are read from a host file when the archive is written; with deflate false it
    // is stored plainly without trying compression (for files that are compressed already).
    bool addFile(const String& name, const String& hostPath, bool deflate = true);
    // Told before each member is written (done members of total, the member's name) and once at the end.
    void setProgress(std::function<void(int64_t done, int64_t total, const String& name)> callback) {
        progress = std::move(callback);
    }
    // Writes the archive into a new file beside archivePath and renames it over archivePath when complete;
    // false with the reason in getError. A failed write leaves an existing archive as it was. A member read
    // from the archive file itself (by any path that leads to the same file) is refused.
    bool write(const String& archivePath);

    const std::string& getError() const;
    int32_t getMemberCount() const { return static_cast<int32_t>(members.size()); }

  private:
    struct Member {
        std::string name;
        uint32_t hash = 0;
        std::string hostPath;  // empty: the bytes below
        std::vector<uint8_t> bytes;
        bool deflate = true;
    };

    bool accept(const String& name);
    bool loadMember(const Member& member, std::vector<uint8_t>& bytes);
    bool writeArchive(const String& archivePath);
    // True (with the reason in error) when a member's host file is the archive file.
    bool refuseArchiveAsInput(const String& archivePath);

    bool compress;
    int level;
    bool writeList;
    // Takes back the member just added.
    void forgetLastMember();

    std::vector<Member> members;
    // Index in members by lookup hash, so that adding a member takes constant time.
    std::unordered_map<uint32_t, size_t> memberByHash;
    std::string error;
    // The last operation ran out of memory (error could not be written then).
    bool outOfMemory = false;
    std::function<void(int64_t, int64_t, const String&)> progress;
};

}  // namespace mt::file
