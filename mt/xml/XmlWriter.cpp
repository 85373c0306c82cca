#include "mt/xml/XmlWriter.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "mt/stream/MemoryStream.h"
#include "mt/xml/XmlElement.h"

namespace mt {
namespace {

bool writeAll(OutputStream& out, const void* bytes, int length) {
    return length <= 0 || out.write(bytes, length) == length;
}
bool writeString(OutputStream& out, const char* text) {
    return writeAll(out, text, static_cast<int>(std::strlen(text)));
}

bool writeTabs(OutputStream& out, int count) {
    static const char tabs[] = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
    while (count > 0) {
        int now = count < 16 ? count : 16;
        if (!writeAll(out, tabs, now))
            return false;
        count -= now;
    }
    return true;
}

bool writeName(OutputStream& out, const XmlName& name) {
    if (name.hasText())
        return writeString(out, name.text());
    char digits[16];
    std::snprintf(digits, sizeof digits, "%u", name.id());
    return writeString(out, digits);
}

// Whether a text would come back from the reader as it is: no double quote (it would end an attribute
// value), no "<" (it would start a tag or a comment), no "%" (it would be decoded), and, for element text,
// no leading white space (the reader skips it).
bool readsBackAsText(const char* text, int length, bool content) {
    if (content && length > 0 && (text[0] == ' ' || text[0] == '\t' || text[0] == '\n' || text[0] == '\r'))
        return false;
    for (int i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '"' || c == '<' || c == '%')
            return false;
    }
    return true;
}

bool writeValue(OutputStream& out, const XmlValue& value, bool content) {
    switch (value.type()) {
        case XmlValue::TEXT: {
            const auto* text = reinterpret_cast<const char*>(value.bytes());
            int length =
                value.length() > 0 ? static_cast<int>(strnlen(text, static_cast<size_t>(value.length()))) : 0;
            if (readsBackAsText(text, length, content))
                return writeAll(out, text, length);
            return XmlWriter::percentEncode(value.bytes(), length, out);
        }
        case XmlValue::RAW:
            return XmlWriter::percentEncode(value.bytes(), value.length(), out);
        case XmlValue::UNSIGNED: {
            char digits[16];
            std::snprintf(digits, sizeof digits, "%u", static_cast<unsigned>(value.getInt()));
            return writeString(out, digits);
        }
        case XmlValue::SIGNED:
        case XmlValue::FLOAT: {
            String text = value.getText();
            return writeAll(out, text.cstr(), text.length());
        }
        default:
            return true;
    }
}

// The start tag up to its attributes, then ">" and the text, or "/>" for an element without text and
// children. Returns false when the stream refused bytes.
bool writeStartTag(OutputStream& out, const XmlElement& element, int depth, bool indent) {
    if ((indent && !writeTabs(out, depth)) || !writeAll(out, "<", 1) || !writeName(out, element.name()))
        return false;
    const XmlName textName = XmlName::textContent();
    for (const XmlAttribute* attribute = element.firstAttribute(); attribute; attribute = attribute->next) {
        if (attribute->name == textName)
            continue;
        if (!writeAll(out, " ", 1) || !writeName(out, attribute->name) || !writeAll(out, "=\"", 2) ||
            !writeValue(out, attribute->value, false) || !writeAll(out, "\"", 1))
            return false;
    }
    const XmlValue* text = element.text();
    if (!text && !element.firstChild())
        return writeAll(out, "/>", 2);
    return writeAll(out, ">", 1) && (!text || writeValue(out, *text, true));
}

bool writeEndTag(OutputStream& out, const XmlElement& element) {
    return writeAll(out, "</", 2) && writeName(out, element.name()) && writeAll(out, ">", 1);
}

// Renders the subtree without recursion, so that any depth can be written. Its stack of open elements may
// throw std::bad_alloc; render() reports that as a failed write.
bool renderTree(OutputStream& out, const XmlElement* top, int depth) {
    struct Open {
        const XmlElement* element;
        const XmlElement* next;  // the child to write next
        int depth;
    };
    if (!writeStartTag(out, *top, depth, true))
        return false;
    if (!top->firstChild())
        return !top->text() || writeEndTag(out, *top);
    std::vector<Open> open{{top, top->firstChild(), depth}};
    while (!open.empty()) {
        Open& current = open.back();
        if (!current.next) {
            const XmlElement* done = current.element;
            int doneDepth = current.depth;
            open.pop_back();
            if (!writeAll(out, "\r\n", 2) || !writeTabs(out, doneDepth) || !writeEndTag(out, *done))
                return false;
            continue;
        }
        const XmlElement* child = current.next;
        // Text is followed directly by the first child: white space after it would join the text.
        bool indent = !(child == current.element->firstChild() && current.element->text());
        current.next = child->nextSibling();
        int childDepth = current.depth + 1;
        if ((indent && !writeAll(out, "\r\n", 2)) || !writeStartTag(out, *child, childDepth, indent))
            return false;
        if (child->firstChild()) {
            open.push_back({child, child->firstChild(), childDepth});
        } else if (child->text() && !writeEndTag(out, *child)) {
            return false;
        }
    }
    return true;
}

bool render(OutputStream& out, const XmlElement* top, int depth) {
    try {
        return renderTree(out, top, depth);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Hands the rendered text to the destination in pieces.
bool copyOut(MemoryStream& rendered, OutputStream& output) {
    int32_t length = 0;
    const uint8_t* bytes = rendered.peekBuffer(length);
    for (int32_t offset = 0; bytes && offset < length; offset += XmlWriter::PIECE_SIZE) {
        int32_t piece = length - offset < XmlWriter::PIECE_SIZE ? length - offset : XmlWriter::PIECE_SIZE;
        if (output.write(bytes + offset, piece) != piece)
            return false;
    }
    return true;
}

bool writeLE(OutputStream& out, uint32_t value, int size) {
    uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                        static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return writeAll(out, bytes, size);
}

bool writeBinaryName(OutputStream& out, const XmlName& name, bool namesAsText) {
    size_t length = name.hasText() ? std::strlen(name.text()) : 0;
    // A text that does not give the id back (a zero byte inside it) is left out, so that the id survives.
    if (namesAsText && length >= 1 && length <= 255 &&
        XmlName::hash(name.text(), static_cast<int>(length)) == name.id())
        return writeLE(out, static_cast<uint32_t>(length), 1) &&
               writeAll(out, name.text(), static_cast<int>(length));
    return writeLE(out, 0, 1) && writeLE(out, name.id(), 4);
}

bool writeBinaryHeader(OutputStream& out, const XmlElement& element, bool namesAsText) {
    if (!writeLE(out, 1, 1) || !writeBinaryName(out, element.name(), namesAsText))
        return false;
    for (const XmlAttribute* attribute = element.firstAttribute(); attribute; attribute = attribute->next) {
        const XmlValue& value = attribute->value;
        if (!writeLE(out, 1, 1) || !writeBinaryName(out, attribute->name, namesAsText) ||
            !writeLE(out, value.type(), 1) || !writeLE(out, static_cast<uint32_t>(value.length()), 2) ||
            !writeAll(out, value.bytes(), value.length()))
            return false;
    }
    return writeLE(out, 0, 1);
}

// The binary form of the subtree, walked with a stack of open elements (which may throw std::bad_alloc).
bool writeBinaryTree(const XmlElement& top, OutputStream& out, bool namesAsText) {
    const XmlElement* element = &top;
    if (!writeBinaryHeader(out, *element, namesAsText))
        return false;
    std::vector<std::pair<const XmlElement*, const XmlElement*>> open{{element, element->firstChild()}};
    while (!open.empty()) {
        const XmlElement* child = open.back().second;
        if (!child) {
            open.pop_back();
            if (!writeLE(out, 0, 1))
                return false;
            continue;
        }
        open.back().second = child->nextSibling();
        if (!writeLE(out, 1, 1) || !writeBinaryHeader(out, *child, namesAsText))
            return false;
        open.emplace_back(child, child->firstChild());
    }
    return true;
}

}  // namespace

bool XmlWriter::percentEncode(const uint8_t* bytes, int length, OutputStream& output) {
    static const char hex[] = "0123456789abcdef";
    char chunk[3 * 256];
    int used = 0;
    for (int i = 0; i < length; ++i) {
        uint8_t b = bytes[i];
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) {
            chunk[used++] = static_cast<char>(b);
        } else {
            chunk[used++] = '%';
            chunk[used++] = hex[b >> 4];
            chunk[used++] = hex[b & 15];
        }
        if (used > static_cast<int>(sizeof chunk) - 3) {
            if (!writeAll(output, chunk, used))
                return false;
            used = 0;
        }
    }
    return writeAll(output, chunk, used);
}

bool XmlWriter::writeText(const XmlElement* element, OutputStream* output, int depth) {
    if (!element || !output)
        return false;
    MemoryStream rendered(STREAM_BINARY);
    if (!rendered.isOpen() || !render(rendered, element, depth < 0 ? 0 : depth))
        return false;
    return copyOut(rendered, *output);
}

bool XmlWriter::writeTextDocument(const XmlElement* root, OutputStream* output) {
    if (!root || !output)
        return false;
    MemoryStream rendered(STREAM_BINARY);
    if (!rendered.isOpen())
        return false;
    for (const XmlElement* child = root->firstChild(); child; child = child->nextSibling()) {
        if (!render(rendered, child, 0) || !writeAll(rendered, "\r\n", 2))
            return false;
    }
    return copyOut(rendered, *output);
}

bool XmlWriter::writeBinary(const XmlElement* element, OutputStream* output, bool namesAsText) {
    if (!element || !output)
        return false;
    try {
        return writeBinaryTree(*element, *output, namesAsText);
    } catch (const std::bad_alloc&) {
        return false;  // the stack of open elements could not grow
    }
}

}  // namespace mt
