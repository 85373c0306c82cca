#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "PackSupport.h"
#include "TempDir.h"
#include "mt/file/FilePackFile.h"
#include "mt/file/PackArchive.h"
#include "mt/file/PackWriter.h"
#include "mt/xml/XmlElement.h"

using mt::String;
using mt::file::FilePackFile;
using mt::file::PackArchive;
using mt::file::packNameHash;

namespace {

std::string readAll(mt::file::File* file, int32_t chunk = 4096) {
    std::string out;
    std::vector<char> buffer(static_cast<size_t>(chunk));
    for (;;) {
        int32_t got = file->read(buffer.data(), chunk);
        if (got <= 0)
            break;
        out.append(buffer.data(), static_cast<size_t>(got));
    }
    return out;
}

std::string member(PackArchive& archive, const char* path) {
    std::unique_ptr<FilePackFile> file(archive.find(path));
    return file ? readAll(file.get()) : std::string("<none>");
}

// "m" and the index, appended: GCC 12 warns falsely (-Wrestrict) on "m" + std::to_string(index) here.
std::string memberName(int index) {
    std::string name = "m";
    name += std::to_string(index);
    return name;
}

// Opens an archive made of the raw bytes.
bool openRaw(TempDir& dir, PackArchive& archive, const std::string& bytes) {
    dir.write("raw.pak", bytes);
    return archive.open(dir.path("raw.pak").c_str());
}

}  // namespace

TEST(PackArchive, NameHashIgnoresCaseAndSlashKind) {
    EXPECT_EQ(packNameHash("a"), 65u);
    EXPECT_EQ(packNameHash("abc"), 703054755u);
    EXPECT_EQ(packNameHash("ABC"), 703054755u);
    EXPECT_EQ(packNameHash("abc") & 0x3FF, 931u);
    EXPECT_EQ(packNameHash("a/b"), 4024996051u);
    EXPECT_EQ(packNameHash("A\\B"), 4024996051u);
    EXPECT_EQ(packNameHash("filepack.list"), 3718091752u);
    EXPECT_EQ(packNameHash("filepack.list") & 0x3FF, 1000u);
    EXPECT_EQ(packNameHash(""), 0u);
    // A leading "./" is skipped on lookup, as are the first two characters of anything starting with '.'.
    EXPECT_EQ(mt::file::packLookupHash("./abc"), packNameHash("abc"));
    EXPECT_EQ(mt::file::packLookupHash(".abc"), packNameHash("bc"));
    EXPECT_EQ(mt::file::packLookupHash("."), 0u);
}

TEST(PackArchive, RefusesFilesThatAreNotSoundArchives) {
    TempDir dir;
    PackArchive archive(nullptr);
    EXPECT_FALSE(archive.open(dir.path("missing.pak").c_str()));
    EXPECT_FALSE(openRaw(dir, archive, std::string("\x78\x56\x34\x12\0\0\0\0", 8)));
    EXPECT_FALSE(openRaw(dir, archive, std::string("\x79\x56\x34\x12\x04\0\0\0\0\0\0\0", 12)));
    EXPECT_FALSE(openRaw(dir, archive, std::string("\x78\x56\x34\x12\x04\0\0", 7)));
    // Directory larger than the file.
    EXPECT_FALSE(openRaw(dir, archive, rawArchive({}, "", 0, 1000)));
    // Entry counts that do not fit the directory, negative, or so large that 4 + 17 * count overflows.
    EXPECT_FALSE(openRaw(dir, archive, rawArchive({}, std::string(17, '\0'), 2, 21)));
    EXPECT_FALSE(openRaw(dir, archive, rawArchive({}, std::string(40, '\0'), -1, 40)));
    EXPECT_FALSE(openRaw(dir, archive, rawArchive({}, std::string(40, '\0'), 0x7E1E1E1F, 40)));
    EXPECT_FALSE(openRaw(dir, archive, rawArchive({}, std::string(40, '\0'), 252645136, 40)));

    ASSERT_TRUE(openRaw(dir, archive, rawArchive({}, "", 0, 4)));
    EXPECT_EQ(archive.getEntryCount(), 0);
    EXPECT_EQ(archive.find("anything"), nullptr);
}

TEST(PackArchive, PlainMemberReadsSeeksAndPreloads) {
    TempDir dir;
    std::string data = "0123456789";
    PackArchive archive(nullptr);
    ASSERT_TRUE(openRaw(dir, archive, rawArchive({{packNameHash("abc"), 10, 10, 0, dataStart(1)}}, data)));
    std::unique_ptr<FilePackFile> file(archive.find("./ABC"));
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->isPacked());
    EXPECT_EQ(file->getSize(), 10);
    char out[100];
    EXPECT_EQ(file->read(out, 100), 10);
    EXPECT_EQ(std::string(out, 10), data);
    EXPECT_TRUE(file->isEof());
    EXPECT_TRUE(file->seek(-3, 2));
    EXPECT_EQ(file->tell(), 7);
    EXPECT_EQ(file->readByte(), '7');
    EXPECT_TRUE(file->seek(20, 3));
    EXPECT_EQ(file->tell(), 10);
    EXPECT_FALSE(file->seek(-1, 1));
    EXPECT_EQ(file->tell(), 10);
    EXPECT_TRUE(file->seek(0, 9));  // unknown origin: nothing moves
    EXPECT_EQ(file->tell(), 10);
    EXPECT_EQ(file->write("x", 1), 0);
    EXPECT_FALSE(file->writeByte('x'));
    EXPECT_FALSE(file->remove());

    file->seek(4, 1);
    file->preload();
    EXPECT_EQ(file->read(out, 3), 3);
    EXPECT_EQ(std::string(out, 3), "456");
    file->seek(1, 1);  // before the preloaded part: read from the archive again
    EXPECT_EQ(file->read(out, 100), 9);
    EXPECT_EQ(std::string(out, 9), "123456789");
}

TEST(PackArchive, CompressedMemberInflatesLazilyAndSeeksBothWays) {
    TempDir dir;
    std::string text = sampleText(300000, 1);
    std::string packed = deflated(text);
    PackArchive archive(nullptr);
    ASSERT_TRUE(openRaw(dir, archive,
                        rawArchive({{packNameHash("big.txt"), static_cast<uint32_t>(packed.size()),
                                     static_cast<uint32_t>(text.size()), 1, dataStart(1)}},
                                   packed)));
    std::unique_ptr<FilePackFile> file(archive.find("BIG.TXT"));
    ASSERT_TRUE(file);
    char out[64];
    ASSERT_TRUE(file->seek(200000, 1));
    EXPECT_EQ(file->read(out, 64), 64);
    EXPECT_EQ(std::string(out, 64), text.substr(200000, 64));
    ASSERT_TRUE(file->seek(5, 1));
    EXPECT_EQ(file->read(out, 64), 64);
    EXPECT_EQ(std::string(out, 64), text.substr(5, 64));
    file->seek(0, 1);
    EXPECT_EQ(readAll(file.get(), 777), text);
    EXPECT_EQ(file->read(out, 1), 0);

    // Read on from the start, then back: the output read so far is inflated again, this time kept.
    std::unique_ptr<FilePackFile> sequential(archive.find("big.txt"));
    std::string head(100000, '\0');
    ASSERT_EQ(sequential->read(head.data(), 100000), 100000);
    EXPECT_EQ(head, text.substr(0, 100000));
    ASSERT_TRUE(sequential->seek(-50, 3));
    EXPECT_EQ(sequential->read(out, 64), 64);
    EXPECT_EQ(std::string(out, 64), text.substr(99950, 64));
    ASSERT_TRUE(sequential->seek(10, 1));
    EXPECT_EQ(readAll(sequential.get(), 5000), text.substr(10));
}

// A stream without its check value (a damaged member) ends with every stored byte already taken by the
// inflater while a copy it decoded still has bytes to give: read in small pieces, they all come, as they do
// when the member is read whole.
TEST(PackArchive, ACompressedMemberReadInPiecesGivesWhatTheInflaterStillHolds) {
    TempDir dir;
    std::string text = std::string("\x89PNG", 4) + std::string(13, '\0');
    // Header, one fixed block: four literals and a copy of 13 zero bytes; no check value.
    std::string packed("\x78\xda\xeb\x0c\xf0\x73\x67\x18\x05", 9);
    PackArchive archive(nullptr);
    ASSERT_TRUE(openRaw(dir, archive,
                        rawArchive({{packNameHash("cut.png"), static_cast<uint32_t>(packed.size()),
                                     static_cast<uint32_t>(text.size()), 1, dataStart(1)}},
                                   packed)));
    std::unique_ptr<FilePackFile> whole(archive.find("cut.png"));
    char out[32];
    ASSERT_EQ(whole->read(out, 17), 17);
    EXPECT_EQ(std::string(out, 17), text);
    for (int first : {1, 2, 4, 5}) {
        std::unique_ptr<FilePackFile> pieces(archive.find("cut.png"));
        std::string read;
        for (int32_t chunk = first, got; (got = pieces->read(out, chunk)) > 0; chunk = chunk * 3 % 13 + 1)
            read.append(out, static_cast<size_t>(got));
        EXPECT_EQ(read, text) << "first piece " << first;
    }
}

TEST(PackArchive, CompressedMemberReadWholeReadsAgainInAnyWayAndBesideOtherReaders) {
    TempDir dir;
    std::string text = sampleText(60000, 3);
    std::string packed = deflated(text);
    // The same stream recorded as shorter than it inflates: only the recorded bytes are read.
    std::vector<RawEntry> entries = {
        {packNameHash("text"), static_cast<uint32_t>(packed.size()), static_cast<uint32_t>(text.size()), 1,
         0},
        {packNameHash("cut"), static_cast<uint32_t>(packed.size()), 40000, 1, 0}};
    entries[0].offset = entries[1].offset = dataStart(entries.size());
    PackArchive archive(nullptr);
    ASSERT_TRUE(openRaw(dir, archive, rawArchive(entries, packed)));
    auto whole = [](FilePackFile* file) {
        std::string out(static_cast<size_t>(file->getSize()), '\0');
        out.resize(static_cast<size_t>(std::max(file->read(out.data(), file->getSize()), 0)));
        return out;
    };

    std::unique_ptr<FilePackFile> file(archive.find("text"));
    std::unique_ptr<FilePackFile> other(archive.find("text"));
    ASSERT_TRUE(file && other);
    char out[64];
    ASSERT_EQ(other->read(out, 64), 64);  // a second reader half way through its own stream
    EXPECT_EQ(whole(file.get()), text);
    EXPECT_TRUE(file->isEof());
    EXPECT_EQ(file->read(out, 1), 0);
    // After a whole read: from the start in pieces, from the middle, and whole again.
    ASSERT_TRUE(file->seek(0, 1));
    EXPECT_EQ(readAll(file.get(), 999), text);
    ASSERT_TRUE(file->seek(0, 1));
    EXPECT_EQ(whole(file.get()), text);
    ASSERT_TRUE(file->seek(30000, 1));
    ASSERT_EQ(file->read(out, 64), 64);
    EXPECT_EQ(std::string(out, 64), text.substr(30000, 64));
    std::unique_ptr<FilePackFile> fromMiddle(archive.find("text"));
    ASSERT_EQ(whole(fromMiddle.get()), text);
    ASSERT_TRUE(fromMiddle->seek(45000, 1));
    ASSERT_EQ(fromMiddle->read(out, 64), 64);
    EXPECT_EQ(std::string(out, 64), text.substr(45000, 64));
    EXPECT_EQ(readAll(other.get(), 333), text.substr(64));

    std::unique_ptr<FilePackFile> cut(archive.find("cut"));
    EXPECT_EQ(whole(cut.get()), text.substr(0, 40000));
    ASSERT_TRUE(cut->seek(0, 1));
    EXPECT_EQ(readAll(cut.get(), 4096), text.substr(0, 40000));

    // Many threads reading whole members at once.
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 20; ++round) {
                std::unique_ptr<FilePackFile> mine(archive.find("text"));
                if (!mine || whole(mine.get()) != text)
                    ++mismatches;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(PackArchive, DamagedMembersGiveNullOrShortReadsAndTheRestStaysUsable) {
    TempDir dir;
    std::string good = "good bytes";
    std::string text = sampleText(50000, 2);
    std::string packed = deflated(text);
    std::string corrupt = packed;
    for (size_t i = 20; i < 40; ++i)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
    std::string truncated = packed.substr(0, packed.size() / 2);

    std::vector<RawEntry> entries = {
        {packNameHash("good"), 10, 10, 0, 0},
        {packNameHash("beyond"), 10, 10, 0, 1000000},       // outside the file
        {packNameHash("tooBig"), 8, 8 * 1032 + 1, 1, 0},    // beyond deflate's ratio
        {packNameHash("plainLonger"), 4, 10, 0, 0},         // plain member larger than its bytes
        {packNameHash("variant"), 10, 10, 3, 0},            // compressed variant nobody reads
        {packNameHash("oddFlags"), 10, 10, 4, 0},           // not compressed, not plain
        {packNameHash("negative"), 0x80000000u, 10, 0, 0},  // sizes beyond 31 bits
        {packNameHash("corrupt"), static_cast<uint32_t>(corrupt.size()), static_cast<uint32_t>(text.size()),
         1, 0},
        {packNameHash("truncated"), static_cast<uint32_t>(truncated.size()),
         static_cast<uint32_t>(text.size()), 1, 0},
        {packNameHash("lies"), static_cast<uint32_t>(packed.size()),
         static_cast<uint32_t>(text.size() + 5000), 1, 0},
        {packNameHash("notZlib"), 10, 10, 1, 0},  // plain bytes marked compressed: no zlib header
    };
    uint32_t at = dataStart(entries.size());
    entries[0].offset = at;
    entries[2].offset = entries[3].offset = entries[4].offset = entries[5].offset = entries[6].offset = at;
    entries[7].offset = at + 10;
    entries[8].offset = entries[7].offset + static_cast<uint32_t>(corrupt.size());
    entries[9].offset = entries[8].offset + static_cast<uint32_t>(truncated.size());
    entries[10].offset = at;
    PackArchive archive(nullptr);
    ASSERT_TRUE(openRaw(dir, archive, rawArchive(entries, good + corrupt + truncated + packed)));

    for (const char* name : {"beyond", "tooBig", "plainLonger", "variant", "oddFlags", "negative"}) {
        EXPECT_EQ(archive.find(name), nullptr) << name;
    }
    std::string fromCorrupt = member(archive, "corrupt");
    EXPECT_LT(fromCorrupt.size(), text.size());
    std::string fromTruncated = member(archive, "truncated");
    EXPECT_LT(fromTruncated.size(), text.size());
    EXPECT_EQ(fromTruncated, text.substr(0, fromTruncated.size()));
    EXPECT_EQ(member(archive, "lies"), text);  // the stream ends before the recorded size: a short read
    EXPECT_EQ(member(archive, "good"), good);

    // The same members read whole in one call.
    auto whole = [&](const char* name) {
        std::unique_ptr<FilePackFile> file(archive.find(name));
        std::string out(static_cast<size_t>(file->getSize()), '\0');
        out.resize(static_cast<size_t>(std::max(file->read(out.data(), file->getSize()), 0)));
        EXPECT_EQ(file->read(out.data(), 1), 0);
        return out;
    };
    EXPECT_EQ(whole("lies"), text);
    EXPECT_EQ(whole("truncated"), fromTruncated);
    EXPECT_LT(whole("corrupt").size(), text.size());
    EXPECT_EQ(whole("notZlib"), "");
    EXPECT_EQ(member(archive, "notZlib"), "");
}

TEST(PackArchive, ListsNamesFromTheMemberList) {
    TempDir dir;
    mt::file::PackWriter writer;
    for (const char* name : {"readme.txt", "gfx/a.png", "gfx/b.png", "gfx/ui/c.png", "GFX/d.txt"}) {
        ASSERT_TRUE(writer.addMember(name, name, 3));
    }
    ASSERT_TRUE(writer.write(dir.path("list.pak").c_str()));
    PackArchive archive(nullptr);
    ASSERT_TRUE(archive.open(dir.path("list.pak").c_str()));
    EXPECT_EQ(archive.readNameList().size(), 5u);

    auto names = [](mt::XmlElement* element) {
        std::string out;
        for (mt::XmlElement* child = element->firstChild(); child; child = child->nextSibling()) {
            out += child->findAttribute(mt::XmlName("name"))->getText().cstr();
            if (child->firstChild()) {
                out += "{";
                for (mt::XmlElement* inner = child->firstChild(); inner; inner = inner->nextSibling()) {
                    out += std::string(inner->findAttribute(mt::XmlName("name"))->getText().cstr()) + " ";
                }
                out += "}";
            }
            out += " ";
        }
        return out;
    };
    mt::XmlElement root;
    archive.listInto("", &root, false);
    EXPECT_EQ(names(&root), "readme.txt ");

    mt::XmlElement pngs;
    archive.listInto("gfx\\*.png", &pngs, false);
    EXPECT_EQ(names(&pngs), "gfx{a.png b.png } ");

    mt::XmlElement all;
    archive.listInto("gfx/", &all, true);
    EXPECT_EQ(names(&all), "gfx{a.png b.png ui d.txt } ");
}

TEST(PackArchive, NameListRunningPastItsEndKeepsTheWholeNames) {
    TempDir dir;
    std::string list = nameList({"one", "two"});
    list += std::string("\x40\x00", 2) + "cut";  // a third name that claims 64 bytes
    std::string listed;
    putLittle32(listed, 1000000);  // and a count far beyond the names present
    listed += list.substr(4);
    PackArchive archive(nullptr);
    ASSERT_TRUE(openRaw(dir, archive,
                        rawArchive({{packNameHash("filepack.list"), static_cast<uint32_t>(listed.size()),
                                     static_cast<uint32_t>(listed.size()), 0, dataStart(1)}},
                                   listed)));
    std::vector<String> names = archive.readNameList();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1], "two");
}

TEST(PackArchive, ThreadsReadThroughTheirOwnHandlesAndMembersOutliveTheArchive) {
    TempDir dir;
    mt::file::PackWriter writer;
    std::vector<std::string> contents;
    for (int i = 0; i < 16; ++i) {
        contents.push_back(i % 2 ? sampleText(20000 + i * 1000, i) : noise(20000 + i * 1000, i));
        ASSERT_TRUE(writer.addMember(memberName(i).c_str(), contents.back().data(),
                                     static_cast<int64_t>(contents.back().size())));
    }
    ASSERT_TRUE(writer.write(dir.path("t.pak").c_str()));
    auto archive = std::make_unique<PackArchive>(nullptr);
    ASSERT_TRUE(archive->open(dir.path("t.pak").c_str()));

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round) {
                for (int i = 0; i < 16; ++i) {
                    int index = (i + t * 3) % 16;
                    std::unique_ptr<FilePackFile> file(archive->find(memberName(index).c_str()));
                    if (!file || readAll(file.get(), 1000 + t * 100) != contents[static_cast<size_t>(index)])
                        ++mismatches;
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);

    std::unique_ptr<FilePackFile> open(archive->find("m3"));
    ASSERT_TRUE(open);
    archive.reset();
    EXPECT_EQ(readAll(open.get()), contents[3]);
}

TEST(PackWriter, NamesStartingWithADotAreFoundByTheirLookupAndTooShortOnesAreRefused) {
    TempDir dir;
    mt::file::PackWriter writer;
    ASSERT_TRUE(writer.addMember(".hidden", "h", 1));
    ASSERT_TRUE(writer.addMember(".cfg/x", "x", 1));
    ASSERT_TRUE(writer.addMember("./plain.txt", "p", 1));
    // What a lookup of these names computes, ".hidden" and ".cfg/x" lose their first two characters.
    EXPECT_FALSE(writer.addMember("idden", "i", 1));
    EXPECT_NE(writer.getError().find("'.hidden' and 'idden' have the same hash"), std::string::npos)
        << writer.getError();
    EXPECT_FALSE(writer.addMember("plain.txt", "q", 1));
    for (const char* name : {".", "..", ".x", "./"}) {
        EXPECT_FALSE(writer.addMember(name, "e", 1)) << name;
        EXPECT_NE(writer.getError().find("cannot be looked up"), std::string::npos) << writer.getError();
    }
    ASSERT_TRUE(writer.write(dir.path("dots.pak").c_str()));

    PackArchive archive(nullptr);
    ASSERT_TRUE(archive.open(dir.path("dots.pak").c_str()));
    EXPECT_EQ(member(archive, ".hidden"), "h");
    EXPECT_EQ(member(archive, ".CFG\\X"), "x");
    EXPECT_EQ(member(archive, "./plain.txt"), "p");
    EXPECT_EQ(member(archive, "plain.txt"), "p");
    // Every listed name reaches its member.
    for (const String& name : archive.readNameList()) {
        std::unique_ptr<FilePackFile> file(archive.find(name));
        EXPECT_TRUE(file) << name.cstr();
    }
}

TEST(PackWriter, AFailedWriteLeavesTheOldArchiveAndNoTemporaryFile) {
    TempDir dir;
    mt::file::PackWriter good;
    ASSERT_TRUE(good.addMember("a.txt", "old archive", 11));
    ASSERT_TRUE(good.write(dir.path("a.pak").c_str()));
    std::string before = dir.read("a.pak");

    dir.write("input.txt", "new");
    mt::file::PackWriter failing;
    ASSERT_TRUE(failing.addFile("input.txt", dir.path("input.txt").c_str()));
    ASSERT_TRUE(failing.addFile("gone.txt", dir.path("gone.txt").c_str()));  // absent when written
    EXPECT_FALSE(failing.write(dir.path("a.pak").c_str()));
    EXPECT_NE(failing.getError().find("cannot read"), std::string::npos) << failing.getError();
    EXPECT_EQ(dir.read("a.pak"), before);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 2);  // a.pak and input.txt
}

TEST(PackWriter, RefusesTheArchiveAsItsOwnInputWhateverThePathSays) {
#ifdef _WIN32
    GTEST_SKIP() << "builds its cases with symbolic links, which Wine cannot make";
#else
    TempDir dir;
    mt::file::PackWriter first;
    ASSERT_TRUE(first.addMember("a.txt", "content", 7));
    ASSERT_TRUE(first.write(dir.path("a.pak").c_str()));
    std::string before = dir.read("a.pak");
    std::filesystem::create_directory(dir.path("sub"));
    std::filesystem::create_symlink(dir.path("a.pak"), dir.path("link.pak"));
    std::filesystem::create_hard_link(dir.path("a.pak"), dir.path("hard.pak"));
    for (std::string input : {dir.path("a.pak"), dir.path("link.pak"), dir.path("hard.pak"),
                              dir.path("sub/../a.pak"), dir.path() + "\\a.pak"}) {
        mt::file::PackWriter writer;
        ASSERT_TRUE(writer.addFile("self.pak", input.c_str()));
        EXPECT_FALSE(writer.write(dir.path("a.pak").c_str())) << input;
        EXPECT_NE(writer.getError().find("is the archive"), std::string::npos) << writer.getError();
        EXPECT_EQ(dir.read("a.pak"), before) << input;
    }
    // Writing through the link replaces the file it names and keeps the link.
    mt::file::PackWriter again;
    ASSERT_TRUE(again.addMember("b.txt", "other", 5));
    ASSERT_TRUE(again.write(dir.path("link.pak").c_str()));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("link.pak")));
    PackArchive archive(nullptr);
    ASSERT_TRUE(archive.open(dir.path("a.pak").c_str()));
    EXPECT_EQ(member(archive, "b.txt"), "other");
#endif
}
