#pragma once
#include <cstdint>

namespace mt {

class OutputStream;
class XmlElement;

// Writes element trees as text or in the binary form that XmlParser reads back.
class XmlWriter {
  public:
    // Pieces in which rendered text is handed to the output stream.
    static constexpr int PIECE_SIZE = 1024;

    // The element and its subtree as text, its start tag indented by depth tabs; children go on lines of
    // their own ("\r\n"), one tab deeper. Names are written as their text, or as the decimal id when they
    // have none. Text values are written as their characters, raw values percent-encoded, numbers in decimal.
    // Text that the reader would not give back as it is (a double quote, "<" or "%" in it, or content text
    // starting with white space) is percent-encoded as well, and an element's text is followed directly by
    // its first child, so that reading the output gives the same bytes. False when the stream refused bytes.
    static bool writeText(const XmlElement* element, OutputStream* output, int depth = 0);
    // Each child of a document root (the nameless element a parse returns), one after the other.
    static bool writeTextDocument(const XmlElement* root, OutputStream* output);

    // The element and its subtree in the binary form, little-endian:
    //   record:     marker 1, name, attributes, 0, then per child: 1 and the child's record, then 0
    //   name:       length n (1 byte) and n bytes of text, or 0 and the 32-bit id
    //   attribute:  1, name, value type (1 byte), value length (2 bytes), the value's bytes
    // Names are written as text only when namesAsText is set and they have a text of 1 to 255 characters
    // that hashes to their id; others are written by id. False when the stream refused bytes.
    static bool writeBinary(const XmlElement* element, OutputStream* output, bool namesAsText);

    // Letters and digits as they are; every other byte as "%" and two lower-case hexadecimal digits. False
    // when the stream refused bytes.
    static bool percentEncode(const uint8_t* bytes, int length, OutputStream& output);
};

}  // namespace mt
