#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mt/file/MemoryFile.h"
#include "mt/stream/CachedInputStream.h"
#include "mt/stream/FileInputStream.h"
#include "mt/stream/MemoryStream.h"

using mt::CachedInputStream;
using mt::FileInputStream;
using mt::MemoryStream;

namespace {

// A source that counts the calls that reach it.
class CountingStream : public MemoryStream {
  public:
    CountingStream(const std::string& text)
        : BaseStream(0),
          MemoryStream(reinterpret_cast<uint8_t*>(copy(text)), static_cast<int32_t>(text.size()), 0) {}
    int32_t read(void* dst, int32_t n) override {
        ++reads;
        return MemoryStream::read(dst, n);
    }
    bool setReadPosition(int32_t position) override {
        ++positionings;
        return MemoryStream::setReadPosition(position);
    }
    int reads = 0;
    int positionings = 0;

  private:
    static uint8_t* copy(const std::string& text) {
        auto* data = new uint8_t[text.size() + 1];
        std::memcpy(data, text.data(), text.size());
        return data;
    }
};

}  // namespace

TEST(InputStream, ReadLineHandlesEveryLineEnd) {
    CountingStream crlf("ab\r\ncd");
    char line[16];
    EXPECT_TRUE(crlf.readLine(line, 16));
    EXPECT_STREQ(line, "ab");
    EXPECT_TRUE(crlf.readLine(line, 16));
    EXPECT_STREQ(line, "cd");
    EXPECT_FALSE(crlf.readLine(line, 16));
    EXPECT_STREQ(line, "");

    CountingStream cr("ab\rcd");
    EXPECT_TRUE(cr.readLine(line, 16));
    EXPECT_STREQ(line, "ab");
    EXPECT_EQ(cr.available(), 2);

    CountingStream cut("abcdef\n\nx");
    EXPECT_TRUE(cut.readLine(line, 4));
    EXPECT_STREQ(line, "abc");
    EXPECT_TRUE(cut.readLine(line, 4));
    EXPECT_STREQ(line, "def");
    EXPECT_TRUE(cut.readLine(line, 4));  // the rest of that line: just its end
    EXPECT_STREQ(line, "");
    EXPECT_TRUE(cut.readLine(line, 4));  // the empty line
    EXPECT_STREQ(line, "");
    EXPECT_TRUE(cut.readLine(line, 4));
    EXPECT_STREQ(line, "x");

    CountingStream empty("");
    EXPECT_FALSE(empty.readLine(line, 16));
    EXPECT_FALSE(empty.readLine(line, 0));
}

TEST(InputStream, ReadLineWithRoomForNoByteEndsAReadLoop) {
    CountingStream stream("ab\ncd\n");
    char line[4] = "xyz";
    int lines = 0;
    while (stream.readLine(line, 1) && lines < 10)
        ++lines;
    EXPECT_EQ(lines, 0);
    EXPECT_STREQ(line, "");
    EXPECT_EQ(stream.getReadPosition(), 0);  // nothing consumed: a larger buffer still gets every line
    EXPECT_TRUE(stream.readLine(line, 4));
    EXPECT_STREQ(line, "ab");
    EXPECT_TRUE(stream.readLine(line, 2));
    EXPECT_STREQ(line, "c");
}

TEST(InputStream, SeekOriginsIncludingTheEnd) {
    CountingStream stream("0123456789");
    mt::InputStream& in = stream;
    EXPECT_TRUE(in.seek(4, 0));
    EXPECT_EQ(in.tell(), 4);
    EXPECT_TRUE(in.seek(2, 1));
    EXPECT_EQ(in.tell(), 6);
    EXPECT_TRUE(in.seek(-3, 2));  // from the end, wherever the stream stands
    EXPECT_EQ(in.tell(), 7);
    EXPECT_FALSE(in.seek(0, 3));
    EXPECT_FALSE(in.seek(-20, 1));
}

TEST(CachedInputStream, ServesSmallReadsFromItsBufferAndLargeOnesDirectly) {
    CountingStream source("0123456789");
    CachedInputStream cache(&source, 4096);
    char out[128];
    EXPECT_EQ(cache.read(out, 100), 10);
    EXPECT_EQ(cache.tell(), 10);
    EXPECT_EQ(cache.read(out, 100), 0);
    EXPECT_EQ(cache.available(), 0);

    std::string text;
    for (int i = 0; i < 100; ++i)
        text += static_cast<char>('A' + i % 50);
    CountingStream big(text);
    CachedInputStream small(&big, 8);
    EXPECT_EQ(small.read(out, 3), 3);  // fills 8
    EXPECT_EQ(big.reads, 1);
    EXPECT_EQ(small.read(out + 3, 4), 4);  // from the buffer
    EXPECT_EQ(big.reads, 1);
    EXPECT_EQ(small.read(out + 7, 50), 50);  // 1 buffered, 49 straight from the source
    EXPECT_EQ(big.reads, 2);
    EXPECT_EQ(small.tell(), 57);
    EXPECT_EQ(std::string(out, 57), text.substr(0, 57));
    EXPECT_EQ(small.available(), 43);
}

TEST(CachedInputStream, SetPositionInsideTheWindowLeavesTheSource) {
    CountingStream source("abcdefghijklmnopqrstuvwxyz");
    CachedInputStream cache(&source, 8);
    char out[8];
    cache.read(out, 2);  // window a..h
    EXPECT_TRUE(cache.setPosition(6));
    EXPECT_EQ(source.positionings, 0);
    uint8_t byte = 0;
    EXPECT_TRUE(cache.peekByte(byte));
    EXPECT_EQ(byte, 'g');
    EXPECT_TRUE(cache.setPosition(20));  // outside: the source moves
    EXPECT_EQ(source.positionings, 1);
    EXPECT_EQ(cache.read(out, 3), 3);
    EXPECT_EQ(std::string(out, 3), "uvw");
    EXPECT_EQ(cache.tell(), 23);
    EXPECT_FALSE(cache.setPosition(-1));
    EXPECT_FALSE(cache.setPosition(30));  // the source refuses
    EXPECT_EQ(cache.read(out, 3), 3);
    EXPECT_EQ(std::string(out, 3), "xyz");

    // reset gives the unread bytes back to the source.
    CountingStream second("0123456789");
    CachedInputStream again(&second, 8);
    again.read(out, 3);
    EXPECT_EQ(second.getReadPosition(), 8);
    again.reset();
    EXPECT_EQ(second.getReadPosition(), 3);
}

TEST(CachedInputStream, AvailableCountsFromWhereTheSourceStood) {
    CountingStream source("0123456789");
    char skip[4];
    source.read(skip, 4);
    CachedInputStream cache(&source, 16);
    EXPECT_EQ(cache.tell(), 4);
    EXPECT_EQ(cache.available(), 6);
    cache.read(skip, 2);
    EXPECT_EQ(cache.available(), 4);

    CachedInputStream none(nullptr, 16);
    EXPECT_FALSE(none.isOpen());
    EXPECT_EQ(none.read(skip, 4), 0);
    uint8_t byte;
    EXPECT_FALSE(none.peekByte(byte));

    uint8_t buffer[4];
    CountingStream third("xyz");
    CachedInputStream borrowed(&third, buffer, 4);
    EXPECT_NE(borrowed.getStreamFlags() & mt::STREAM_NOT_OWNER, 0u);
    EXPECT_EQ(borrowed.read(skip, 3), 3);
}

TEST(FileInputStream, ReadsSeeksAndPeeksThroughItsFile) {
    uint8_t data[] = {'a', 'b', 'c', 'd', 'e'};
    auto* file = new mt::file::MemoryFile(data, 5, 5, 1, nullptr);
    {
        FileInputStream stream(file, mt::STREAM_NOT_OWNER);
        EXPECT_TRUE(stream.isOpen());
        EXPECT_EQ(stream.available(), 5);
        uint8_t byte = 0;
        EXPECT_TRUE(stream.peekByte(byte));
        EXPECT_EQ(byte, 'a');
        EXPECT_EQ(stream.tell(), 0);
        EXPECT_TRUE(stream.seek(-2, 2));
        EXPECT_EQ(stream.tell(), 3);
        EXPECT_TRUE(stream.seek(-1, 1));
        char out[8];
        EXPECT_EQ(stream.read(out, 8), 3);
        EXPECT_FALSE(stream.peekByte(byte));
        EXPECT_EQ(byte, 0xFF);
        EXPECT_FALSE(stream.seek(0, 5));
    }
    EXPECT_EQ(file->tell(), 5);  // not deleted: the stream did not own it
    delete file;

    FileInputStream closed(static_cast<mt::file::File*>(nullptr), 0);
    EXPECT_FALSE(closed.isOpen());
    EXPECT_EQ(closed.tell(), -1);
    EXPECT_EQ(closed.available(), 0);
    EXPECT_FALSE(closed.setPosition(0));

    // Without a registered file manager a path opens nothing.
    FileInputStream byPath(mt::String("missing.txt"), 0);
    EXPECT_FALSE(byPath.isOpen());
}
