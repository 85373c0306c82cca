#pragma once
#include <cstdint>
#include <functional>
#include <string>
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

    // Adds a member; false (with the reason in getError) for an empty or over-long name or a name whose hash
    // another member already has.
    bool addMember(const String& name, const void* bytes, int64_t size);
    // Adds a member whose bytes are read from a host file when the archive is written; with deflate false it
    // is stored plainly without trying compression (for files that are compressed already).
    bool addFile(const String& name, const String& hostPath, bool deflate = true);
    // Told before each member is written (done members of total, the member's name) and once at the end.
    void setProgress(std::function<void(int64_t done, int64_t total, const String& name)> callback) {
        progress = std::move(callback);
    }
    // Writes the archive; false with the reason in getError. A failed write leaves no archive behind.
    bool write(const String& archivePath);

    const std::string& getError() const { return error; }
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

    bool compress;
    int level;
    bool writeList;
    std::vector<Member> members;
    std::string error;
    std::function<void(int64_t, int64_t, const String&)> progress;
};

}  // namespace mt::file
