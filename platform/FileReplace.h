#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Writing files safely: the new content goes into a new file beside the target, which is written out to the
// disk and then renamed over the old one, so at every moment the path holds either the old content or the
// complete new one. A crash, a full disk or a failed write never leaves a damaged or empty file where a good
// one was.
namespace platform {

// A new file beside a target that takes the target's place only on commit. Paths are UTF-8; '\' is a
// separator as '/' is. When the target is a symbolic link, the file it points to is replaced and the link
// stays. Temporary files left behind by a process that died before it could commit or abandon them are
// removed the next time a replacement of the same target begins.
class ReplacementFile {
  public:
    // Permissions for begin(): the existing target's (a new target gets what a plain create gives).
    static constexpr int KEEP_MODE = -1;

    ReplacementFile() = default;
    // Abandons the new file unless it was committed.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the new file. mode: KEEP_MODE, or the permission bits the result gets. False when the new file
    // cannot be made (the target's folder is missing or not writable, a link chain is too long).
    bool begin(const char* path, int mode = KEEP_MODE);
    // Appends bytes; false when they could not all be written (the replacement then cannot be committed).
    bool write(const void* data, size_t size);
    // Overwrites bytes already written at offset, without moving the end.
    bool writeAt(int64_t offset, const void* data, size_t size);
    // Flushes the new file to the disk and renames it over the target. False when any write or this step
    // failed; the target is then untouched and the new file is gone.
    bool commit();
    // Removes the new file; the target stays as it was.
    void abandon();

    // The file that is replaced: the given path, or the end of the link chain it names.
    const std::string& getTarget() const { return target; }

  private:
    std::string target;
    std::string temporary;
    int descriptor = -1;
    bool failed = false;
};

// Makes `data` the whole content of the file at path with a ReplacementFile. An existing file keeps its
// permissions; a new file gets the permissions a plain create would give it. False when any step failed; the
// old file is then untouched and no new file is left behind.
bool replaceFileContents(const char* path, const void* data, size_t size);

}  // namespace platform
