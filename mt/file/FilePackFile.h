#pragma once
#include <zlib.h>

#include <cstdint>
#include <memory>

#include "mt/file/File.h"
#include "mt/file/PackArchive.h"

namespace mt::file {

class PackStorage;

// A read-only file over one member of a pack archive. A plain member is read through the archive's per-thread
// window (or from memory after preload). A compressed one is inflated lazily, only as far as reads require:
// read from start to end, it inflates straight into the caller's memory; once the reader seeks, the whole
// output is kept in a buffer, so seeking back costs nothing and seeking forward inflates on the next read.
// Damaged data gives short reads, never more than the member's recorded size.
class FilePackFile : public File {
  public:
    FilePackFile(std::shared_ptr<PackStorage> storage, const PackEntry& entry);
    ~FilePackFile() override;

    // Prepares the member for reading; false when it cannot be opened (unknown flags, no memory).
    bool init();

    bool isPacked() override { return true; }
    int32_t read(void* dst, int32_t n) override;
    uint8_t readByte() override;
    int32_t write(const void*, int32_t) override { return 0; }
    bool writeByte(uint8_t) override { return false; }
    int32_t tell() override { return position; }
    int32_t getSize() override { return entry.size; }
    // Origin 1 from the start, 2 from the end, 3 from the current position; the position is clamped to the
    // member's size. A position before the start is refused (false, position unchanged).
    bool seek(int32_t offset, int32_t origin) override;
    bool isEof() override { return position >= entry.size; }
    // Plain members: reads the rest of the member into memory; later reads are served from there.
    void preload() override;

    const PackEntry& getEntry() const { return entry; }

  private:
    int32_t readDirect(uint8_t* dst, int32_t n);
    int32_t readCompressed(uint8_t* dst, int32_t n);
    // Checks the stream's header once and steps over it; false (and the member ends) when it is not valid.
    bool checkHeader();
    // Inflates until the output reaches wanted bytes or the data ends; true when it reached them.
    bool inflateUntil(int64_t wanted);
    // Reads all stored bytes and inflates them into dst in one pass (a whole member read at once); returns
    // the bytes delivered, or -1 when that could not start, leaving everything as it was.
    int32_t inflateWhole(uint8_t* dst);
    // Switches a compressed member to keeping its whole output in content; false without memory.
    bool keepWholeOutput();

    std::shared_ptr<PackStorage> storage;
    PackEntry entry;
    // Compressed members: the whole inflated output, once kept (null before). Plain members: preloaded bytes
    // of the member from contentStart on.
    uint8_t* content;
    int32_t position;
    // Compressed members: compressed bytes given to the inflater so far. The inflater takes its input
    // straight from the archive's per-thread window, as much as the window holds, and gives back what it did
    // not use before a read returns, since the window may move before the next one.
    int32_t consumed;
    int32_t contentStart;
    int32_t contentLength;
    bool direct;
    bool inflaterReady;
    // The inflater reached the end of the stream, an error, or the end of the stored bytes.
    bool inflateFinished;
    z_stream inflater;
};

}  // namespace mt::file
