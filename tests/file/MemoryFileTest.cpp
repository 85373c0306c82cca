#include <gtest/gtest.h>

#include <cstring>

#include "mt/file/MemoryFile.h"

using mt::file::MemoryFile;

TEST(MemoryFile, ReadsAndWritesWithinItsBlock) {
    MemoryFile file(nullptr, 0, 8, 2, nullptr);
    ASSERT_TRUE(file.isValid());
    EXPECT_EQ(file.getSize(), 0);
    EXPECT_TRUE(file.isEof());
    EXPECT_EQ(file.write("abcdef", 6), 6);
    EXPECT_EQ(file.write("ghijk", 5), 2);  // the block ends at 8
    EXPECT_FALSE(file.writeByte('z'));
    EXPECT_EQ(file.getSize(), 8);
    EXPECT_TRUE(file.seek(2, 1));
    char out[16] = {};
    EXPECT_EQ(file.read(out, 16), 6);
    EXPECT_STREQ(out, "cdefgh");
    EXPECT_EQ(file.readByte(), 0);
    EXPECT_EQ(file.tell(), 8);
}

TEST(MemoryFile, SeekAcceptsAnyPositionAndReadsTreatOutsideAsTheEnd) {
    uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    MemoryFile file(data, 10, 10, 1, nullptr);
    EXPECT_TRUE(file.seek(5, 2));
    EXPECT_EQ(file.tell(), 15);
    uint8_t out[4];
    EXPECT_EQ(file.read(out, 4), 0);
    EXPECT_TRUE(file.seek(-20, 3));
    EXPECT_EQ(file.tell(), -5);
    EXPECT_EQ(file.read(out, 4), 0);
    EXPECT_EQ(file.readByte(), 0);
    EXPECT_EQ(file.write(out, 1), 0);
    EXPECT_FALSE(file.writeByte(1));
    EXPECT_FALSE(file.seek(0, 0));
    EXPECT_FALSE(file.seek(0, 4));
    EXPECT_TRUE(file.seek(-1, 2));
    EXPECT_EQ(file.readByte(), 9);
    EXPECT_TRUE(file.isEof());
    EXPECT_FALSE(file.remove());
}

TEST(MemoryFile, WrapsTheCallersBlockAndClampsItsSize) {
    uint8_t data[4] = {'w', 'x', 'y', 'z'};
    {
        MemoryFile file(data, 99, 4, 1, nullptr);
        EXPECT_EQ(file.getSize(), 4);
        EXPECT_EQ(file.getData(), data);
        file.seek(0, 1);
        file.writeByte('W');
    }
    EXPECT_EQ(data[0], 'W');  // written through, and not freed with the file
    MemoryFile negative(nullptr, -3, -3, 1, nullptr);
    EXPECT_TRUE(negative.isValid());
    EXPECT_EQ(negative.getSize(), 0);
}
