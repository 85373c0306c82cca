#pragma once
#include <cstdint>

#include "mt/core/String.h"
#include "mt/stream/InputStream.h"

namespace mt::file {
class File;
}

namespace mt {

// An input stream over a File. The file is deleted with the stream unless STREAM_NOT_OWNER is set.
class FileInputStream : public InputStream {
  public:
    FileInputStream(file::File* file, uint32_t flags);
    // Opens path for reading through the file manager registered under SERVICE_FILE_MANAGER; the stream has
    // no file (isOpen() false) when there is no manager or the open fails. Such a file is always owned.
    FileInputStream(const String& path, uint32_t flags);
    ~FileInputStream() override;

    int32_t available() override;
    void reset() override {}
    bool isOpen() override { return file != nullptr; }

    int32_t read(void* dst, int32_t n) override;
    bool seek(int32_t offset, int32_t origin) override;
    bool setPosition(int32_t position) override;
    // Reads one byte and steps back; false (value 0xFF) at the end or without a file.
    bool peekByte(uint8_t& value) override;
    int32_t tell() override;

    file::File* getFile() const { return file; }

  private:
    file::File* file;
};

}  // namespace mt
