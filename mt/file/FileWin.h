#pragma once
#include <cstdint>
#include <memory>

#include "mt/core/String.h"
#include "mt/file/File.h"

namespace platform {
struct HostFile;
}

namespace mt::file {

class FileManager;
class FileManagerLink;

// The 32-bit value at the start of a scrambled file (stored little-endian: EF BE AD DE).
constexpr uint32_t SCRAMBLE_MARKER = 0xDEADBEEFu;

// The key stream byte that scrambles the data byte at position (counted after the marker). A pure function of
// key and position; position 0 always gives 0. Without a key the result is 0.
uint8_t scrambleKeyByte(const uint8_t* key, int32_t length, int32_t position);

// A file of the host file system, wrapping the host's files through platform/HostFile. Its data may be
// scrambled: a file that starts with the marker stores each byte plus the key stream byte of its position.
class FileWin : public File {
  public:
    FileWin(const String& path, int32_t mode, FileManager* manager);
    ~FileWin() override;

    // Opens the host file, consulting the manager's error handler, and detects the scramble marker.
    bool open();

    // Closes the file and deletes it from the host file system.
    bool remove() override;
    // Stores the key. A file created in mode 2 that has not been written yet gets (or loses) the marker.
    void setScrambleKey(const uint8_t* key, int32_t length) override;
    int32_t read(void* dst, int32_t n) override;
    uint8_t readByte() override;
    int32_t write(const void* src, int32_t n) override;
    bool writeByte(uint8_t value) override;
    int32_t tell() override;
    int32_t getSize() override;
    // Positions before the start of the data (inside the marker) are refused.
    bool seek(int32_t offset, int32_t origin) override;
    bool isEof() override;
    virtual String getName();

    bool isScrambled() const { return scrambled; }
    // A read-only view of the file's data, for readers that take bytes straight from memory; null when the
    // file carries the scramble marker or the host cannot map it. Unmap it with platform::hostUnmapFile.
    const uint8_t* mapData(int64_t& length);

  private:
    void applyKeyStream(uint8_t* bytes, int32_t count, int32_t firstPosition, bool add) const;
    FileErrorHandler* errorHandler() const;
    // Whether a read of asked bytes from start that delivered count fell short of the bytes present.
    bool readFailed(int32_t start, int32_t asked, int32_t count);

    int32_t position;
    platform::HostFile* handle;
    String path;
    // The manager's link: its error handler, options and key while it lives; a plain host file after.
    std::shared_ptr<FileManagerLink> manager;
    int32_t mode;
    const uint8_t* scrambleKey;
    int32_t scrambleKeyLength;
    int32_t headerSize;
    bool scrambled;
    // Something was written through write(): the scramble state can no longer change.
    bool written;
};

// Opens a host file; null for an empty path or when it cannot be opened ("File not found" is printed).
FileWin* openNativeFile(const String& path, int32_t mode, FileManager* manager);

// Host file-system operations of the file manager; each returns true on success.
bool copyHostFile(const String& from, const String& to, bool failIfExists);
bool moveHostFile(const String& from, const String& to);
bool deleteHostFile(const String& path);
bool createHostDirectory(const String& path);
bool removeHostDirectory(const String& path);

}  // namespace mt::file
