#pragma once
#include <cstdint>
#include <memory>

#include "mt/file/File.h"

namespace mt::file {

class FileManager;
class FileManagerLink;

// A block of memory presented as a file. Reads stop at the end of the valid data (size), writes at the end
// of the block (capacity). seek accepts any position; reads and writes treat a position outside the block as
// the end.
class MemoryFile : public File {
  public:
    // Wraps data (not owned). When data is null a zero-filled block of capacity bytes is allocated and owned;
    // isValid() tells whether that worked. mode is accepted and ignored.
    MemoryFile(uint8_t* data, int32_t size, int32_t capacity, int32_t mode, FileManager* manager);
    ~MemoryFile() override;

    bool isValid() const { return data != nullptr || capacity == 0; }
    const uint8_t* getData() const { return data; }

    int32_t read(void* dst, int32_t n) override;
    uint8_t readByte() override;
    int32_t write(const void* src, int32_t n) override;
    bool writeByte(uint8_t value) override;
    int32_t tell() override { return position; }
    int32_t getSize() override { return size; }
    bool seek(int32_t offset, int32_t origin) override;
    bool isEof() override { return position == size; }

  private:
    FileErrorHandler* errorHandler() const;
    void notifyRead();

    uint8_t* data;
    int32_t position;
    int32_t size;
    int32_t capacity;
    bool ownsData;
    // The manager's link: its error handler while it lives.
    std::shared_ptr<FileManagerLink> manager;
};

}  // namespace mt::file
