#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mt/stream/MemoryStream.h"

using mt::MemoryStream;

namespace {
std::string bytes(int n, char first = 'a') {
    std::string text;
    for (int i = 0; i < n; ++i)
        text += static_cast<char>(first + i % 26);
    return text;
}
}  // namespace

TEST(MemoryStream, GrowsToTwiceTheLiveDataAndDropsReadBytes) {
    MemoryStream small(0u);
    EXPECT_EQ(small.write(bytes(14).data(), 14), 14);
    EXPECT_EQ(small.getCapacity(), 16);

    MemoryStream fifteen(0u);
    EXPECT_EQ(fifteen.write(bytes(15).data(), 15), 15);
    EXPECT_EQ(fifteen.getCapacity(), 30);

    MemoryStream stream(0u);
    std::string first = bytes(20);
    ASSERT_EQ(stream.write(first.data(), 20), 20);
    EXPECT_EQ(stream.getCapacity(), 40);
    char out[64] = {};
    ASSERT_EQ(stream.read(out, 10), 10);
    std::string second = bytes(25, 'A');
    ASSERT_EQ(stream.write(second.data(), 25), 25);
    EXPECT_EQ(stream.getCapacity(), 70);
    EXPECT_EQ(stream.getReadPosition(), 0);
    EXPECT_EQ(stream.getSize(), 35);
    EXPECT_EQ(stream.available(), 35);
    ASSERT_EQ(stream.read(out, 64), 35);
    EXPECT_EQ(std::string(out, 35), first.substr(10) + second);
}

TEST(MemoryStream, FixedAndForeignBuffersRefuseToGrow) {
    MemoryStream fixed(16, false, 0u);
    EXPECT_EQ(fixed.write(bytes(14).data(), 14), 14);
    EXPECT_EQ(fixed.write("x", 1), 0);  // would leave fewer than two spare bytes

    uint8_t foreign[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    MemoryStream wrapped(foreign, 8, mt::STREAM_NOT_OWNER);
    EXPECT_EQ(wrapped.available(), 8);
    EXPECT_EQ(wrapped.write("x", 1), 0);
    uint8_t out[8];
    EXPECT_EQ(wrapped.read(out, 8), 8);
    EXPECT_EQ(std::memcmp(out, foreign, 8), 0);

    MemoryStream none(0, true, 0u);
    EXPECT_FALSE(none.isOpen());
    EXPECT_EQ(none.write("abc", 3), 3);  // an owned growable stream gets a buffer on first write
    EXPECT_TRUE(none.isOpen());
}

TEST(MemoryStream, InputAndOutputSidesKeepTheirOwnPositions) {
    MemoryStream stream(0u);
    stream.write("hello world", 11);
    mt::InputStream& in = stream;
    mt::OutputStream& out = stream;
    EXPECT_EQ(out.tell(), 11);
    EXPECT_EQ(in.tell(), 0);
    EXPECT_TRUE(in.setPosition(6));
    EXPECT_EQ(in.available(), 5);
    EXPECT_FALSE(in.setPosition(12));
    EXPECT_FALSE(in.setPosition(-1));
    EXPECT_FALSE(out.setPosition(5));  // before the read position
    EXPECT_TRUE(out.setPosition(8));
    EXPECT_EQ(stream.available(), 2);
    EXPECT_FALSE(out.setPosition(stream.getCapacity() + 1));

    int32_t length = -1;
    const uint8_t* view = stream.peekBuffer(length);
    ASSERT_EQ(length, 2);
    EXPECT_EQ(std::memcmp(view, "wo", 2), 0);
    uint8_t next = 0;
    EXPECT_TRUE(stream.peekByte(next));
    EXPECT_EQ(next, 'w');

    stream.reset();
    EXPECT_EQ(stream.available(), 0);
    EXPECT_EQ(stream.peekBuffer(length), nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(stream.peekByte(next));
}

TEST(MemoryStream, ReadIntoMovesWhatTheTargetAccepts) {
    MemoryStream source(0u);
    source.write("0123456789", 10);
    MemoryStream tooSmall(8, false, 0u);  // a fixed stream takes a write whole or not at all
    EXPECT_EQ(source.readInto(tooSmall, 100), 0);
    EXPECT_EQ(source.available(), 10);
    MemoryStream target(16, false, 0u);
    EXPECT_EQ(source.readInto(target, 6), 6);
    EXPECT_EQ(source.available(), 4);
    EXPECT_EQ(target.available(), 6);

    // Into itself: the bytes travel through a copy even when the buffer moves.
    MemoryStream self(0u);
    self.write("abcdefghijkl", 12);
    EXPECT_EQ(self.readInto(self, 12), 12);
    char out[16] = {};
    EXPECT_EQ(self.read(out, 16), 12);
    EXPECT_STREQ(out, "abcdefghijkl");
}

TEST(MemoryStream, TypedValuesHonourByteOrderAndTextMode) {
    uint8_t data[] = {1, 2, 3, 4};
    MemoryStream little(data, 4, mt::STREAM_NOT_OWNER);
    uint32_t value = 0;
    little.readUInt32(value);
    EXPECT_EQ(value, 0x04030201u);
    MemoryStream big(data, 4, mt::STREAM_NOT_OWNER | mt::STREAM_SWAP_BYTES);
    big.readUInt32(value);
    EXPECT_EQ(value, 0x01020304u);

    MemoryStream binary(mt::STREAM_BINARY | mt::STREAM_SWAP_BYTES);
    binary.writeUInt16(0x1234).writeFloat(1.0f).writeCString("ok");
    uint8_t out[16];
    ASSERT_EQ(binary.read(out, 16), 9);
    const uint8_t expected[] = {0x12, 0x34, 0x3F, 0x80, 0x00, 0x00, 'o', 'k', 0};
    EXPECT_EQ(std::memcmp(out, expected, 9), 0);

    MemoryStream text(0u);
    text.writeInt32(-12)
        .writeFloat(2.5f)
        .writeDouble(1.0)
        .writeByte(7)
        .writeUInt32(4294967295u)
        .writeCString("x");
    char chars[32] = {};
    text.read(chars, 31);
    EXPECT_STREQ(chars, "-1274294967295x");

    // A short typed read leaves the rest of the target unchanged; readBool clears it.
    uint8_t one[] = {0xAA};
    MemoryStream shortStream(one, 1, mt::STREAM_NOT_OWNER);
    uint32_t partial = 0x11223344;
    shortStream.readUInt32(partial);
    EXPECT_EQ(partial, 0x112233AAu);
    bool flag = true;
    shortStream.readBool(flag);
    EXPECT_FALSE(flag);
}

TEST(MemoryStream, PrintfWritesLongTextWhole) {
    MemoryStream stream(0u);
    EXPECT_EQ(stream.printf("%d-%s", 42, "x"), 4);
    std::string longText(5000, 'q');
    EXPECT_EQ(stream.printf("%s!", longText.c_str()), 5001);
    EXPECT_EQ(stream.available(), 5005);
    std::string out(5005, '\0');
    stream.read(out.data(), 5005);
    EXPECT_EQ(out, "42-x" + longText + "!");
}
