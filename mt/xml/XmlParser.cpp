#include "mt/xml/XmlParser.h"

#include <cstring>
#include <new>
#include <utility>

#include "mt/stream/CachedInputStream.h"
#include "mt/stream/FileInputStream.h"
#include "mt/xml/XmlArena.h"
#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlScan.h"

namespace mt {
namespace {

// Bytes read ahead from the stream at a time.
constexpr int READ_AHEAD = 8192;
// Read cache in front of a file.
constexpr int FILE_CACHE = 1024;

inline bool isBlank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Bytes that end a run of ordinary characters: the scanners copy runs in one go and hand each of these to
// the character-by-character path, which knows comments, line counting and the rules of each context.
struct StopSet {
    constexpr explicit StopSet(const char* stops) : marks() {
        for (; *stops; ++stops)
            marks[static_cast<uint8_t>(*stops)] = true;
    }
    bool marks[256];
};
constexpr StopSet NAME_STOPS(" \t\n\r>/<");
constexpr StopSet ATTRIBUTE_STOPS("\"><\n");
constexpr StopSet ATTRIBUTE_NAME_ENDS("= \t\n\r");

// Length of the run from p that holds no stop byte, at most up to end.
inline int runLength(const uint8_t* p, const uint8_t* end, const StopSet& stops) {
    const uint8_t* q = p;
    while (q < end && !stops.marks[*q])
        ++q;
    return static_cast<int>(q - p);
}

inline const char* findQuote(const char* p, const char* end) {
    return reinterpret_cast<const char*>(xmlscan::findAny<'"', '"', '"', '"'>(
        reinterpret_cast<const uint8_t*>(p), reinterpret_cast<const uint8_t*>(end)));
}

inline int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%" and two characters give one byte: the characters read as hexadecimal up to the first one that is not a
// digit ("%4g" gives 4, "%g4" gives 0). Everything else is copied.
void percentDecode(const char* text, int length, std::vector<uint8_t>& out) {
    out.clear();
    out.reserve(static_cast<size_t>(length));
    for (int i = 0; i < length;) {
        if (text[i] == '%' && i + 2 < length) {
            int value = 0;
            for (int k = 1; k <= 2; ++k) {
                int digit = hexDigit(text[i + k]);
                if (digit < 0)
                    break;
                value = value * 16 + digit;
            }
            out.push_back(static_cast<uint8_t>(value));
            i += 3;
        } else {
            out.push_back(static_cast<uint8_t>(text[i++]));
        }
    }
}

}  // namespace

XmlParser::XmlParser() : buffer(new (std::nothrow) uint8_t[READ_AHEAD]) {}

XmlParser::~XmlParser() = default;

XmlElement* XmlParser::parseFile(file::File* file) {
    if (!file)
        return nullptr;
    FileInputStream fileStream(file, STREAM_NOT_OWNER);
    CachedInputStream cached(&fileStream, FILE_CACHE);
    return parseStream(&cached);
}

XmlElement* XmlParser::parseStream(InputStream* input) {
    if (!input || !buffer)
        return nullptr;
    arena = XmlArena::create();
    if (!arena)
        return nullptr;
    XmlElement* root = XmlElement::createIn(*arena, nullptr, 0, 0);
    if (!root) {
        arena->destroyIfUnused();
        arena = nullptr;
        return nullptr;
    }
    stream = input;
    readIndex = fill = 0;
    streamEnded = false;
    consumedBefore = 0;
    lineNumber = 1;
    elementsCreated = elementsClosed = 0;
    tooDeep = false;
    const int32_t start = input->tell();

    // The first byte tells the form. It stays in the read-ahead buffer, so the stream need not seek back.
    // Running out of memory part way gives no document rather than a part of one.
    try {
        if (ensure(1) && buffer[0] == BINARY_MARKER)
            parseBinary(root);
        else
            parseText(root);
    } catch (const std::bad_alloc&) {
        levels.clear();
        stream = nullptr;
        arena = nullptr;
        delete root;
        return nullptr;
    }

    // Bytes read ahead but not parsed go back to the stream (after a binary record, or a parse cut short).
    if (readIndex < fill && start >= 0)
        input->setPosition(static_cast<int32_t>(start + consumedBefore + readIndex));
    levels.clear();
    stream = nullptr;
    arena = nullptr;  // the root and its elements hold it now
    return root;
}

int XmlParser::refillAndRead() {
    if (streamEnded)
        return -1;
    consumedBefore += fill;
    readIndex = fill = 0;
    int32_t got = stream->read(buffer.get(), READ_AHEAD);
    if (got <= 0) {
        streamEnded = true;
        return -1;
    }
    fill = got;
    return buffer[readIndex++];
}

bool XmlParser::ensure(int count) {
    if (fill - readIndex >= count)
        return true;
    if (streamEnded || count > READ_AHEAD)
        return false;
    int unread = fill - readIndex;
    if (unread > 0)
        std::memmove(buffer.get(), buffer.get() + readIndex, static_cast<size_t>(unread));
    consumedBefore += readIndex;
    readIndex = 0;
    fill = unread;
    while (fill < count) {
        int32_t got = stream->read(buffer.get() + fill, READ_AHEAD - fill);
        if (got <= 0) {
            streamEnded = true;
            return false;
        }
        fill += got;
    }
    return true;
}

bool XmlParser::readBytesSlowly(void* destination, int count) {
    auto* out = static_cast<uint8_t*>(destination);
    while (count > 0) {
        if (readIndex == fill) {
            int c = refillAndRead();
            if (c < 0)
                return false;
            --readIndex;  // leave the byte in the buffer; it is copied below
        }
        int take = fill - readIndex < count ? fill - readIndex : count;
        std::memcpy(out, buffer.get() + readIndex, static_cast<size_t>(take));
        readIndex += take;
        out += take;
        count -= take;
    }
    return true;
}

// After a "<": a comment is skipped when "!--" follows, and the character after it is read like any other
// (so comments in a row are all skipped). Otherwise, and for a comment that the end of the stream cuts off,
// the "<" itself is the character.
int XmlParser::afterAngle() {
    for (;;) {
        if (!ensure(3) || std::memcmp(buffer.get() + readIndex, "!--", 3) != 0)
            return '<';
        readIndex += 3;
        if (!skipComment())
            return '<';  // the stream ended inside the comment: what was read before it stays
        int c = nextByte();
        if (c == '\n')
            ++lineNumber;
        if (c != '<')
            return c;
    }
}

// Up to and including the "-->" that closes the comment (more dashes before the ">" are allowed). False when
// the stream ends inside the comment.
bool XmlParser::skipComment() {
    int dashes = 0;
    for (;;) {
        int c = nextByte();
        if (c < 0)
            return false;
        if (c == '-') {
            ++dashes;
        } else if (c == '>' && dashes >= 2) {
            return true;
        } else {
            dashes = 0;
        }
    }
}

void XmlParser::storeValue(XmlValue& value, uint8_t type, const void* bytes, int length, bool terminate) {
    const int total = length + (terminate ? 1 : 0);
    void* lent = total > XmlValue::INLINE_SIZE && total <= XmlValue::MAX_LENGTH && arena
                     ? arena->allocate(static_cast<size_t>(total))
                     : nullptr;
    if (!lent) {
        value.store(type, bytes, length, terminate);
        return;
    }
    xmlscan::copyBytes(lent, bytes, static_cast<size_t>(length));
    if (terminate)
        static_cast<uint8_t*>(lent)[length] = 0;
    value.lend(type, static_cast<uint8_t*>(lent), total);
}

// The text of an open element as it counts so far: percent-decoded raw bytes once a "%" is in it, else text.
void XmlParser::storeText(size_t level) {
    const Level& open = levels[level];
    if (open.committed == 0)
        return;
    XmlElement* element = open.element;
    XmlValue* value = element->text();
    if (!value) {
        XmlAttribute* attribute = element->appendArenaAttribute(nullptr, 0, XmlName::TEXT_ID);
        if (!attribute)
            return;
        value = &attribute->value;
    }
    const std::string& text = texts[level];
    if (open.committedPercent) {
        percentDecode(text.data(), open.committed, decoded);
        storeValue(*value, XmlValue::RAW, decoded.data(), static_cast<int>(decoded.size()), false);
    } else {
        storeValue(*value, XmlValue::TEXT, text.data(), open.committed, true);
    }
}

// The content of the open elements, innermost last. An element's text collects every text segment inside it
// (each without its leading white space) up to TEXT_SIZE - 1 characters.
void XmlParser::parseText(XmlElement* root) {
    levels.clear();
    levels.push_back({root});
    if (texts.empty())
        texts.emplace_back();
    texts[0].clear();
    parseContent();
    // Whatever ended the parse, the open elements keep the text they have.
    for (size_t level = 0; level < levels.size(); ++level)
        storeText(level);
}

// Copies the ordinary characters from the read position up to the next "<" (or the end of the read-ahead
// buffer) into text, as far as it has room, counting line feeds and noting a stored "%".
void XmlParser::collectTextRun(std::string& text, Level& level) {
    const uint8_t* start = buffer.get() + readIndex;
    const uint8_t* end = buffer.get() + fill;
    const uint8_t* p = start;
    const int room = TEXT_SIZE - 1 - static_cast<int>(text.size());
    for (;; ++p) {
        p = xmlscan::findAny<'<', '\n', '%', '<'>(p, end);
        if (p == end || *p == '<')
            break;
        if (*p == '\n')
            ++lineNumber;
        else if (p - start < room)
            level.percent = true;
    }
    const int run = static_cast<int>(p - start);
    if (run > 0 && room > 0)
        text.append(reinterpret_cast<const char*>(start), run < room ? run : room);
    readIndex += run;
}

void XmlParser::parseContent() {
    for (;;) {
        const size_t depth = levels.size() - 1;
        std::string& text = texts[depth];
        Level& level = levels[depth];
        bool collected = false;
        int c;
        for (;;) {
            if (collected)
                collectTextRun(text, level);
            c = nextChar();
            if (c < 0 || c == '<')
                break;
            if (!collected) {
                if (isBlank(c))
                    continue;
                collected = true;
            }
            if (static_cast<int>(text.size()) < TEXT_SIZE - 1) {
                text.push_back(static_cast<char>(c));
                if (c == '%')
                    level.percent = true;
            }
        }
        if (c < 0)
            return;
        level.committed = static_cast<int>(text.size());
        level.committedPercent = level.percent;

        bool selfClosing = false;
        bool closedByName = false;
        Tag tag = readTag(selfClosing, closedByName);
        if (tag == Tag::INCOMPLETE)
            return;
        if (tag == Tag::CLOSING) {
            // Not compared with the open element's name: any closing tag ends it. At the top it ends nothing.
            ++elementsClosed;
            if (levels.size() > 1) {
                storeText(levels.size() - 1);
                levels.pop_back();
            }
            continue;
        }
        if (static_cast<int>(levels.size()) > MAX_DEPTH) {
            tooDeep = true;
            return;
        }
        int nameLength = tagNameLength;
        if (selfClosing) {
            const void* slash = std::memchr(tagName, '/', static_cast<size_t>(nameLength));
            if (slash)
                nameLength = static_cast<int>(static_cast<const char*>(slash) - tagName);
        }
        XmlElement* element = XmlElement::createIn(*arena, tagName, nameLength, 0);
        if (!element)
            return;
        ++elementsCreated;
        // Attached before its attributes are read, so that a failure while reading them leaves nothing
        // outside the tree.
        levels.back().element->appendChild(element);
        if (!closedByName && attributeTextLength > 0)
            setAttributes(element);
        if (selfClosing) {
            ++elementsClosed;
            continue;
        }
        levels.push_back({element});
        if (texts.size() < levels.size())
            texts.emplace_back();
        texts[levels.size() - 1].clear();
    }
}

// The tag after its "<": the name up to white space or ">", then, unless ">" closed it, the attribute text
// up to the first ">" outside double quotes. A "/" after the name's first character, or just before the
// closing ">", makes the tag self-closing.
XmlParser::Tag XmlParser::readTag(bool& selfClosing, bool& closedByName) {
    tagNameLength = 0;
    attributeTextLength = 0;
    attributeSource = attributeText;
    int position = 0;
    for (;; ++position) {
        int run = runLength(buffer.get() + readIndex, buffer.get() + fill, NAME_STOPS);
        if (run > 0) {
            int take = TAG_NAME_SIZE - 1 - tagNameLength;
            take = run < take ? run : take;
            xmlscan::copyBytes(tagName + tagNameLength, buffer.get() + readIndex, static_cast<size_t>(take));
            tagNameLength += take;
            readIndex += run;
            position += run;
        }
        int c = nextChar();
        if (c < 0)
            return Tag::INCOMPLETE;
        if (isBlank(c))
            break;
        if (c == '>') {
            closedByName = true;
            break;
        }
        if (c == '/' && position > 0)
            selfClosing = true;
        if (tagNameLength < TAG_NAME_SIZE - 1)
            tagName[tagNameLength++] = static_cast<char>(c);
    }
    if (!closedByName) {
        bool inQuotes = false;
        int previous = 0;
        // Most tags lie whole in the read-ahead buffer without comments: take them in one go.
        const uint8_t* start = buffer.get() + readIndex;
        const uint8_t* end = buffer.get() + fill;
        int lineFeeds = 0;
        for (const uint8_t* chunk = start; chunk < end; chunk += 16) {
            const int count = end - chunk < 16 ? static_cast<int>(end - chunk) : 16;
            for (unsigned stops = xmlscan::stopMask<'"', '>', '<', '\n'>(chunk, count); stops;
                 stops &= stops - 1) {
                const uint8_t* p = chunk + __builtin_ctz(stops);
                if (*p == '"') {
                    inQuotes = !inQuotes;
                } else if (*p == '\n') {
                    ++lineFeeds;
                } else if (*p == '<') {
                    goto carefully;  // a comment may start here
                } else if (!inQuotes) {
                    // The attribute text is read where it lies; the buffer stays as it is until it is parsed.
                    int length = static_cast<int>(p - start);
                    attributeTextLength = length < ATTRIBUTE_TEXT_SIZE ? length : ATTRIBUTE_TEXT_SIZE;
                    attributeSource = reinterpret_cast<const char*>(start);
                    if (length > 0 && p[-1] == '/')
                        selfClosing = true;
                    lineNumber += lineFeeds;
                    readIndex = static_cast<int>(p + 1 - buffer.get());
                    return tagNameLength > 0 && tagName[0] == '/' ? Tag::CLOSING : Tag::ELEMENT;
                }
            }
        }
    carefully:
        inQuotes = false;
        for (;;) {
            int run = runLength(buffer.get() + readIndex, buffer.get() + fill, ATTRIBUTE_STOPS);
            if (run > 0) {
                int take = ATTRIBUTE_TEXT_SIZE - attributeTextLength;
                take = run < take ? run : take;
                std::memcpy(attributeText + attributeTextLength, buffer.get() + readIndex,
                            static_cast<size_t>(take));
                attributeTextLength += take;
                previous = buffer[readIndex + run - 1];
                readIndex += run;
            }
            int c = nextChar();
            if (c < 0)
                return Tag::INCOMPLETE;
            if (c == '"') {
                inQuotes = !inQuotes;
            } else if (c == '>' && !inQuotes) {
                if (previous == '/')
                    selfClosing = true;
                break;
            }
            if (attributeTextLength < ATTRIBUTE_TEXT_SIZE)
                attributeText[attributeTextLength++] = static_cast<char>(c);
            previous = c;
        }
    }
    return tagNameLength > 0 && tagName[0] == '/' ? Tag::CLOSING : Tag::ELEMENT;
}

// name="value" pairs of the attribute text. The name ends at "=" or white space, the value is what lies
// between the next two double quotes. Attributes without a name or without a value are dropped.
void XmlParser::setAttributes(XmlElement* element) {
    const char* text = attributeSource;
    const char* end = text + attributeTextLength;
    const char* p = text;
    while (p < end) {
        while (p < end && isBlank(*p))
            ++p;
        if (p >= end)
            break;
        const char* name = p;
        while (p < end && !ATTRIBUTE_NAME_ENDS.marks[static_cast<uint8_t>(*p)])
            ++p;
        int nameLength = static_cast<int>(p - name);
        if (nameLength > ATTRIBUTE_NAME_SIZE - 1)
            nameLength = ATTRIBUTE_NAME_SIZE - 1;
        const char* quote = findQuote(p, end);
        const char* value = quote < end ? quote + 1 : end;
        // The closing quote, and whether a "%" comes before it.
        const char* close = reinterpret_cast<const char*>(xmlscan::findAny<'"', '%', '"', '%'>(
            reinterpret_cast<const uint8_t*>(value), reinterpret_cast<const uint8_t*>(end)));
        const bool percent = close < end && *close == '%';
        if (percent)
            close = findQuote(close, end);
        const char* valueEnd = close;
        p = close < end ? close + 1 : end;
        int valueLength = static_cast<int>(valueEnd - value);
        if (valueLength > ATTRIBUTE_VALUE_SIZE - 1)
            valueLength = ATTRIBUTE_VALUE_SIZE - 1;
        if (nameLength == 0 || valueLength == 0)
            continue;
        XmlAttribute* attribute = element->appendArenaAttribute(name, nameLength, 0);
        if (!attribute)
            break;
        if (percent) {
            percentDecode(value, valueLength, decoded);
            storeValue(attribute->value, XmlValue::RAW, decoded.data(), static_cast<int>(decoded.size()),
                       false);
        } else {
            storeValue(attribute->value, XmlValue::TEXT, value, valueLength, true);
        }
    }
    if (element->attributeCount() > 1)
        element->mergeRepeatedAttributes(attributeOrder);
}

// A name of the binary form: a length byte and that many characters, or 0 and a 32-bit id (text then null).
bool XmlParser::readBinaryName(BinaryName& name) {
    int length = nextByte();
    if (length < 0)
        return false;
    name.length = length;
    if (length > 0) {
        name.text = name.characters;
        return readBytes(name.characters, length);
    }
    uint8_t id[4];
    if (!readBytes(id, 4))
        return false;
    name.text = nullptr;
    name.id = static_cast<uint32_t>(id[0]) | static_cast<uint32_t>(id[1]) << 8 |
              static_cast<uint32_t>(id[2]) << 16 | static_cast<uint32_t>(id[3]) << 24;
    return true;
}

// One attribute's type, length and bytes. Values of length 0, of unknown types and numbers of the wrong size
// are read and skipped. False when the stream ends inside the value.
bool XmlParser::readBinaryValue(XmlElement* element, const BinaryName& name) {
    const int type = nextByte();
    const int low = nextByte();
    const int high = nextByte();
    if (type < 0 || low < 0 || high < 0)
        return false;
    const int size = low | high << 8;
    if (size == 0)
        return true;
    // The bytes go straight to their place: inside the value when short, else the arena (one more byte for a
    // text's terminator).
    uint8_t local[XmlValue::INLINE_SIZE + 1];
    uint8_t* bytes = size < static_cast<int>(sizeof local)
                         ? local
                         : static_cast<uint8_t*>(arena->allocate(static_cast<size_t>(size) + 1));
    if (!bytes)
        return false;
    if (!readBytes(bytes, size))
        return false;
    const bool number = type == XmlValue::UNSIGNED || type == XmlValue::SIGNED || type == XmlValue::FLOAT;
    if (type < XmlValue::TEXT || type > XmlValue::FLOAT || (number && size != 4))
        return true;
    XmlAttribute* attribute = element->appendArenaAttribute(name.text, name.length, name.id);
    if (!attribute)
        return false;
    XmlValue& value = attribute->value;
    int stored = size;
    if (type == XmlValue::TEXT) {
        // A stored text must end in its terminator; take the characters before the first zero.
        stored = 0;
        while (stored < size && bytes[stored] != 0)
            ++stored;
        if (stored > XmlValue::MAX_LENGTH - 1)
            stored = XmlValue::MAX_LENGTH - 1;
        bytes[stored++] = 0;
    }
    if (bytes == local)
        value.store(static_cast<uint8_t>(type), bytes, stored);
    else
        value.lend(static_cast<uint8_t>(type), bytes, stored);
    return true;
}

bool XmlParser::readBinaryAttributes(XmlElement* element, BinaryName& name) {
    for (;;) {
        int flag = nextByte();
        if (flag == 0)
            return true;
        if (flag != 1 || !readBinaryName(name) || !readBinaryValue(element, name))
            return false;
    }
}

XmlElement* XmlParser::readBinaryRecord() {
    if (nextByte() != BINARY_MARKER)
        return nullptr;
    BinaryName name;
    if (!readBinaryName(name))
        return nullptr;
    XmlElement* element = XmlElement::createIn(*arena, name.text, name.length, name.id);
    if (!element)
        return nullptr;
    bool complete = false;
    try {
        complete = readBinaryAttributes(element, name);
    } catch (const std::bad_alloc&) {
        delete element;  // not in the tree yet
        throw;
    }
    if (!complete) {
        delete element;
        return nullptr;
    }
    if (element->attributeCount() > 1)
        element->mergeRepeatedAttributes(attributeOrder);
    ++elementsCreated;
    return element;
}

// Records one after the other at the top; inside a record, children follow its attributes, each behind a
// flag byte 1, and a 0 ends them. A record cut off or malformed is dropped and ends the parse.
void XmlParser::parseBinary(XmlElement* root) {
    levels.clear();
    while (ensure(1) && buffer[readIndex] == BINARY_MARKER) {
        XmlElement* top = readBinaryRecord();
        if (!top)
            return;
        root->appendChild(top);
        levels.push_back({top, false});
        while (!levels.empty()) {
            int flag = nextByte();
            if (flag == 0) {
                ++elementsClosed;
                levels.pop_back();
                continue;
            }
            if (flag != 1)
                return;
            if (static_cast<int>(levels.size()) >= MAX_DEPTH) {
                tooDeep = true;
                return;
            }
            XmlElement* child = readBinaryRecord();
            if (!child)
                return;
            levels.back().element->appendChild(child);
            levels.push_back({child, false});
        }
    }
}

}  // namespace mt
