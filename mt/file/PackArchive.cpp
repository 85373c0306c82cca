#include "mt/file/PackArchive.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "mt/file/FilePackFile.h"
#include "mt/file/PackStorage.h"
#include "mt/xml/XmlElement.h"

namespace mt::file {

namespace {

uint32_t readLittle32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool entryIsSound(const PackEntry& entry, uint32_t rawSize, uint32_t rawStoredSize, int64_t fileSize) {
    if (rawSize > INT32_MAX || rawStoredSize > INT32_MAX)
        return false;
    if (static_cast<int64_t>(entry.offset) + rawStoredSize > fileSize)
        return false;
    if (entry.flags == 0)
        return entry.size <= entry.storedSize;
    if (!(entry.flags & PACK_FLAG_COMPRESSED) || (entry.flags & PACK_FLAG_UNREADABLE_VARIANT))
        return false;
    // Six bytes of zlib header and trailer inflate to nothing; the rest at most PACK_MAX_INFLATE_RATIO:1.
    return entry.size <= static_cast<int64_t>(entry.storedSize) * PACK_MAX_INFLATE_RATIO;
}

// The text with every '\' turned into '/' and "./" put in front unless it starts with '.'.
String normalisedListPath(const String& text) {
    String result;
    if (text.length() == 0 || *text.charPtrAt(0) != '.')
        result = "./";
    String copy = text;
    for (int i = 0; i < copy.length(); ++i) {
        if (*copy.charPtrAt(i) == '\\')
            *copy.charPtrAt(i) = '/';
    }
    result.append(copy);
    return result;
}

// Splits a normalised path after its last '/' into the directory (with that '/') and the rest.
void splitAtLastSlash(const String& text, String& directory, String& name) {
    int last = -1;
    for (int i = 0; i < text.length(); ++i) {
        if (*text.charPtrAt(i) == '/')
            last = i;
    }
    directory = String(text.cstr(), last + 1);
    name = String(text.charPtrAt(last + 1), text.length() - last - 1);
}

char folded(char c) {
    if (c == '\\')
        return '/';
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal without regard to ASCII case and the kind of slash, as member names are.
bool sameName(const char* a, int aLength, const char* b, int bLength) {
    if (aLength != bLength)
        return false;
    for (int i = 0; i < aLength; ++i) {
        if (folded(a[i]) != folded(b[i]))
            return false;
    }
    return true;
}

// The child "directory" element of parent named name (in any case), created when missing.
XmlElement* directoryChild(XmlElement* parent, const char* name, int length) {
    static const XmlName directoryName("directory");
    static const XmlName nameAttribute("name");
    for (XmlElement* child = parent->firstChild(); child; child = child->nextSibling()) {
        if (child->name() != directoryName)
            continue;
        XmlValue* value = child->findAttribute(nameAttribute);
        if (!value)
            continue;
        String text = value->getText();
        if (sameName(text.cstr(), text.length(), name, length))
            return child;
    }
    std::unique_ptr<XmlElement> child(new XmlElement(directoryName));
    XmlValue value;
    value.setText(name, length);
    child->setAttribute(nameAttribute, value);
    parent->appendChild(child.get());
    return child.release();
}

}  // namespace

uint32_t packNameHash(const char* path, int32_t length) {
    uint32_t hash = 0;
    uint32_t multiplier = static_cast<uint32_t>(length);
    for (int32_t i = 0; i < length; ++i) {
        uint8_t byte = static_cast<uint8_t>(path[i]);
        if (byte >= 'a' && byte <= 'z')
            byte = static_cast<uint8_t>(byte - 'a' + 'A');
        if (byte == '\\')
            byte = '/';
        hash += byte * multiplier;
        multiplier = (multiplier & 0xFFFF) * 18000u + (multiplier >> 16);
    }
    return hash;
}

uint32_t packNameHash(const String& path) {
    return packNameHash(path.cstr(), path.length());
}

uint32_t packLookupHash(const String& path) {
    int skip = (path.length() > 0 && *path.charPtrAt(0) == '.') ? std::min(2, path.length()) : 0;
    return packNameHash(path.charPtrAt(skip), path.length() - skip);
}

PackArchive::PackArchive(FileManager* manager) : manager(manager), directorySize(0), bucketStart{} {}

PackArchive::~PackArchive() {
    close();
}

void PackArchive::close() {
    entries.clear();
    bucketEntries.clear();
    std::fill(std::begin(bucketStart), std::end(bucketStart), 0);
    directorySize = 0;
    storage.reset();
}

int64_t PackArchive::getFileSize() const {
    return storage ? storage->getFileSize() : 0;
}

bool PackArchive::open(const String& archiveFileName) {
    close();
    path = archiveFileName;
    try {
        return load(archiveFileName);
    } catch (const std::bad_alloc&) {
        close();
        return false;
    }
}

bool PackArchive::load(const String& archiveFileName) {
    auto opened = std::make_shared<PackStorage>(manager, archiveFileName);
    if (!opened->start())
        return false;
    int64_t fileSize = opened->getFileSize();

    uint8_t header[8];
    if (fileSize < 8 || opened->readAt(0, header, 8, 0) != 8)
        return false;
    if (readLittle32(header) != PACK_MAGIC)
        return false;
    int32_t size = static_cast<int32_t>(readLittle32(header + 4));
    // The directory must hold its entry count and lie inside the file.
    if (size < 4 || 8 + static_cast<int64_t>(size) > fileSize)
        return false;

    std::unique_ptr<uint8_t[]> directory(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (!directory || opened->readAt(8, directory.get(), size, size) != size)
        return false;
    int32_t count = static_cast<int32_t>(readLittle32(directory.get()));
    if (count < 0 || 4 + static_cast<int64_t>(PACK_ENTRY_SIZE) * count > size)
        return false;

    std::vector<PackEntry> loaded(static_cast<size_t>(count));
    int32_t counts[PACK_BUCKET_COUNT] = {};
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* raw = directory.get() + 4 + static_cast<size_t>(PACK_ENTRY_SIZE) * i;
        PackEntry& entry = loaded[static_cast<size_t>(i)];
        entry.nameHash = readLittle32(raw);
        uint32_t storedSize = readLittle32(raw + 4);
        uint32_t memberSize = readLittle32(raw + 8);
        entry.storedSize = static_cast<int32_t>(storedSize);
        entry.size = static_cast<int32_t>(memberSize);
        entry.flags = raw[12];
        entry.offset = readLittle32(raw + 13);
        entry.sound = entryIsSound(entry, memberSize, storedSize, fileSize);
        ++counts[entry.nameHash & (PACK_BUCKET_COUNT - 1)];
    }
    // Entries grouped by bucket, each bucket in directory order.
    bucketStart[0] = 0;
    for (int b = 0; b < PACK_BUCKET_COUNT; ++b)
        bucketStart[b + 1] = bucketStart[b] + counts[b];
    std::vector<int32_t> grouped(static_cast<size_t>(count));
    int32_t next[PACK_BUCKET_COUNT];
    std::copy(bucketStart, bucketStart + PACK_BUCKET_COUNT, next);
    for (int32_t i = 0; i < count; ++i) {
        grouped[static_cast<size_t>(
            next[loaded[static_cast<size_t>(i)].nameHash & (PACK_BUCKET_COUNT - 1)]++)] = i;
    }

    entries = std::move(loaded);
    bucketEntries = std::move(grouped);
    directorySize = size;
    storage = std::move(opened);
    return true;
}

const PackEntry* PackArchive::findEntry(uint32_t nameHash) const {
    if (!storage)
        return nullptr;
    uint32_t bucket = nameHash & (PACK_BUCKET_COUNT - 1);
    for (int32_t i = bucketStart[bucket]; i < bucketStart[bucket + 1]; ++i) {
        const PackEntry& entry = entries[static_cast<size_t>(bucketEntries[static_cast<size_t>(i)])];
        if (entry.nameHash == nameHash)
            return &entry;
    }
    return nullptr;
}

FilePackFile* PackArchive::findHash(uint32_t nameHash) {
    const PackEntry* entry = findEntry(nameHash);
    if (!entry || !entry->sound)
        return nullptr;
    auto* file = new (std::nothrow) FilePackFile(storage, *entry);
    if (file && !file->init()) {
        delete file;
        return nullptr;
    }
    return file;
}

FilePackFile* PackArchive::find(const String& memberPath) {
    return findHash(packLookupHash(memberPath));
}

int32_t PackArchive::readAt(int32_t archiveOffset, void* dst, int32_t n, int32_t expectedMore) {
    return storage ? storage->readAt(archiveOffset, dst, n, expectedMore) : 0;
}

std::vector<String> PackArchive::readNameList() {
    std::vector<String> names;
    try {
        readNamesInto(names);
    } catch (const std::bad_alloc&) {
        // The names read before memory ran out.
    }
    return names;
}

void PackArchive::readNamesInto(std::vector<String>& names) {
    std::unique_ptr<FilePackFile> list(findHash(packNameHash(PACK_LIST_NAME)));
    if (!list)
        return;
    int32_t size = list->getSize();
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[static_cast<size_t>(std::max(size, 1))]);
    if (!bytes)
        return;
    int32_t length = list->read(bytes.get(), size);
    if (length < 4)
        return;
    int32_t count = static_cast<int32_t>(readLittle32(bytes.get()));
    int32_t at = 4;
    // Every name takes at least its two length bytes, which bounds the count by the bytes present.
    for (int32_t i = 0; i < count && length - at >= 2; ++i) {
        int32_t nameLength = bytes[static_cast<size_t>(at)] | bytes[static_cast<size_t>(at) + 1] << 8;
        at += 2;
        if (nameLength > length - at)
            break;
        names.emplace_back(reinterpret_cast<const char*>(bytes.get() + at), nameLength);
        at += nameLength;
    }
}

void PackArchive::listInto(const String& directoryPath, XmlElement* drive, bool recursive) {
    if (!drive)
        return;
    try {
        listNames(directoryPath, drive, recursive);
    } catch (const std::bad_alloc&) {
        // What was listed before memory ran out stays in the tree.
    }
}

void PackArchive::listNames(const String& directoryPath, XmlElement* drive, bool recursive) {
    std::vector<String> names = readNameList();
    if (names.empty())
        return;
    static const XmlName fileName("file");
    static const XmlName nameAttribute("name");
    String requestDirectory, pattern;
    splitAtLastSlash(normalisedListPath(directoryPath), requestDirectory, pattern);
    for (const String& name : names) {
        String directory, file;
        String full("./");
        full.append(name);
        for (int i = 0; i < full.length(); ++i) {
            if (*full.charPtrAt(i) == '\\')
                *full.charPtrAt(i) = '/';
        }
        splitAtLastSlash(full, directory, file);
        if (!file.matchesPattern(pattern))
            continue;
        bool listed = sameName(directory.cstr(), directory.length(), requestDirectory.cstr(),
                               requestDirectory.length()) ||
                      (recursive && directory.matchesPattern(requestDirectory));
        if (!listed)
            continue;
        // One "directory" element per component after "./".
        XmlElement* parent = drive;
        int start = 2;
        for (int i = 2; i < directory.length(); ++i) {
            if (*directory.charPtrAt(i) != '/')
                continue;
            if (i > start)
                parent = directoryChild(parent, directory.charPtrAt(start), i - start);
            start = i + 1;
        }
        std::unique_ptr<XmlElement> element(new XmlElement(fileName));
        element->setAttribute(nameAttribute, XmlValue::fromText(file.cstr()));
        parent->appendChild(element.get());
        element.release();
    }
}

}  // namespace mt::file
