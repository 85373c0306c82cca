#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlScan.h"

namespace mt {

class InputStream;
class XmlArena;
namespace file {
class File;
}

// Reads element trees from XML-like text or from their compact binary form.
//
// The text reader knows elements, attributes in double quotes, text content, self-closing tags and comments,
// and nothing else: no entities, no CDATA, no processing instructions. It never fails on malformed text:
// unmatched closing tags end the current element, text beyond 2047 characters per element and attribute
// text beyond 1024 characters are dropped, tag names are cut at 255 characters, attribute names at 127 and
// attribute values at 2047. Text content and attribute values that hold a "%" are percent-decoded into raw
// bytes. A stream that ends early, or that is nested deeper than MAX_DEPTH, ends the parse quietly with
// what has been built; a tag cut off by the end of the stream is dropped.
//
// A stream whose first byte is 1 holds the binary form (see XmlWriter::writeBinary).
//
// A parse returns a nameless root element (id 0) whose children are the top-level elements; the caller owns
// it. One parser may parse any number of documents, one at a time. The elements of a document lie in one
// arena of their own (see XmlElement); reading costs time and memory linear in the input.
class XmlParser {
  public:
    // Limits: element text is kept up to TEXT_SIZE - 1 characters, tag names up to TAG_NAME_SIZE - 1,
    // attribute text up to ATTRIBUTE_TEXT_SIZE, attribute names and values up to their size - 1.
    static constexpr int TEXT_SIZE = 2048;
    static constexpr int TAG_NAME_SIZE = 256;
    static constexpr int ATTRIBUTE_TEXT_SIZE = 1024;
    static constexpr int ATTRIBUTE_NAME_SIZE = 128;
    static constexpr int ATTRIBUTE_VALUE_SIZE = 2048;
    // Deepest element level read, the root's children being level 1. Deeper content ends the parse.
    static constexpr int MAX_DEPTH = 1024;
    // First byte of the binary form.
    static constexpr uint8_t BINARY_MARKER = 1;

    XmlParser();
    ~XmlParser();
    XmlParser(const XmlParser&) = delete;
    XmlParser& operator=(const XmlParser&) = delete;

    // Parses a file from the file manager through a 1024-byte read cache. The file is neither closed nor
    // deleted. Null for no file.
    XmlElement* parseFile(file::File* file);
    // Parses from the stream's current position, text or binary by the first byte. Null for no stream or
    // when out of memory.
    XmlElement* parseStream(InputStream* stream);

    // Of the last parse: lines read (from 1, line feeds outside comments), elements created and closed,
    // and whether the nesting bound cut the document short.
    int getLineNumber() const { return lineNumber; }
    int getElementsCreated() const { return elementsCreated; }
    int getElementsClosed() const { return elementsClosed; }
    bool wasTooDeep() const { return tooDeep; }

  private:
    // One open element of the text reader. Its text so far is texts[level]; the part of it that counts
    // ends at the last "<" after a segment (a segment cut off by the end of the stream is dropped), and is
    // stored in the element when it closes or the parse ends.
    struct Level {
        XmlElement* element;
        bool percent = false;           // a "%" was stored in the element's text
        int committed = 0;              // characters of the text that count
        bool committedPercent = false;  // whether a "%" lies among them
    };
    enum class Tag { ELEMENT, CLOSING, INCOMPLETE };

    void parseText(XmlElement* root);
    void parseContent();
    void collectTextRun(std::string& text, Level& level);
    void parseBinary(XmlElement* root);
    Tag readTag(bool& selfClosing, bool& closedByName);
    void setAttributes(XmlElement* element);
    // One binary record up to its attributes' end: the element with its name and attributes, or null.
    XmlElement* readBinaryRecord();
    struct BinaryName {
        const char* text = nullptr;  // null for a name by id
        int length = 0;
        uint32_t id = 0;
        char characters[255];
    };
    bool readBinaryName(BinaryName& name);
    void storeText(size_t level);
    // A value of the document: inside the value when short, else in the arena (or on the heap without it).
    void storeValue(XmlValue& value, uint8_t type, const void* bytes, int length, bool terminate);
    bool readBinaryValue(XmlElement* element, const BinaryName& name);
    // The attributes of a binary record up to its 0 flag; false for a cut-off or malformed one.
    bool readBinaryAttributes(XmlElement* element, BinaryName& name);

    // Byte input over a read-ahead buffer, so that a character costs no call into the stream.
    int nextByte() { return readIndex < fill ? buffer[readIndex++] : refillAndRead(); }
    int refillAndRead();
    // At least count unread bytes in the buffer, unless the stream ends first.
    bool ensure(int count);
    bool readBytes(void* destination, int count) {
        if (fill - readIndex >= count) {
            xmlscan::copyBytes(destination, buffer.get() + readIndex, static_cast<size_t>(count));
            readIndex += count;
            return true;
        }
        return readBytesSlowly(destination, count);
    }
    bool readBytesSlowly(void* destination, int count);
    // The next character of the text: comments are skipped, line feeds counted; -1 at the end.
    int nextChar() {
        int c = nextByte();
        if (c == '\n')
            ++lineNumber;
        else if (c == '<')
            return afterAngle();
        return c;
    }
    int afterAngle();
    bool skipComment();

    InputStream* stream = nullptr;
    XmlArena* arena = nullptr;  // of the document being read
    std::unique_ptr<uint8_t[]> buffer;
    int readIndex = 0;
    int fill = 0;
    bool streamEnded = false;
    int64_t consumedBefore = 0;  // stream bytes that left the buffer before its current contents

    int lineNumber = 1;
    int elementsCreated = 0;
    int elementsClosed = 0;
    bool tooDeep = false;

    std::vector<Level> levels;
    std::vector<std::string> texts;  // the text of each open level
    char tagName[TAG_NAME_SIZE];
    int tagNameLength = 0;
    char attributeText[ATTRIBUTE_TEXT_SIZE];
    const char* attributeSource = attributeText;  // the attribute text: in attributeText or the buffer
    int attributeTextLength = 0;
    std::vector<uint8_t> decoded;
    std::vector<XmlElement::AttributeOrder> attributeOrder;
};

}  // namespace mt
