#include "mt/xml/XmlName.h"

#include "mt/xml/XmlScan.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace mt {

// Each byte counts as a signed 8-bit value; the multiplier c runs through a multiply-with-carry sequence.
uint32_t XmlName::hash(const char* text, int length) {
    if (!text || length <= 0)
        return 0;
    auto byteAt = [text](int i) {
        return static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(text[i])));
    };
    uint32_t count = static_cast<uint32_t>(length);
    uint32_t id = count * byteAt(0);
    uint32_t c = count;
    for (int i = 1; i < length; ++i) {
        c = (c & 0xFFFFu) * 18000u + (c >> 16);
        id += byteAt(i) * c;
    }
    return id;
}

uint32_t XmlName::hash(const char* text) {
    return text ? hash(text, static_cast<int>(std::strlen(text))) : 0;
}

XmlName::XmlName(const char* text, bool keepText)
    : XmlName(text, text ? static_cast<int>(std::strlen(text)) : 0, keepText) {}

XmlName::XmlName(const char* text, int length, bool keep) : nameId(hash(text, length)) {
    if (keep && text && length >= 0)
        keepText(text, length);
}

XmlName::XmlName(const XmlName& other) : nameId(other.nameId) {
    if (other.storage == LOCAL_TEXT) {
        storage = LOCAL_TEXT;
        std::memcpy(textData.local, other.textData.local, sizeof textData.local);
    } else if (other.storage == HEAP_TEXT) {
        keepText(other.textData.heap, static_cast<int>(std::strlen(other.textData.heap)));
    }
}

XmlName::XmlName(XmlName&& other) noexcept : nameId(other.nameId) {
    takeFrom(other);
}

XmlName& XmlName::operator=(const XmlName& other) {
    if (this != &other) {
        XmlName copy(other);
        *this = std::move(copy);
    }
    return *this;
}

XmlName& XmlName::operator=(XmlName&& other) noexcept {
    if (this != &other) {
        dropText();
        nameId = other.nameId;
        takeFrom(other);
    }
    return *this;
}

XmlName::~XmlName() {
    dropText();
}

// A copy of the text, inside the name when it is short. Without memory for a long one the name has no text.
void XmlName::keepText(const char* text, int length) {
    if (length < 0)
        return;
    if (length <= INLINE_TEXT) {
        xmlscan::copyBytes(textData.local, text, static_cast<size_t>(length));
        textData.local[length] = '\0';
        storage = LOCAL_TEXT;
        return;
    }
    auto* copy = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (!copy)
        return;
    std::memcpy(copy, text, static_cast<size_t>(length));
    copy[length] = '\0';
    textData.heap = copy;
    storage = HEAP_TEXT;
}

void XmlName::dropText() {
    if (storage == HEAP_TEXT)
        std::free(textData.heap);
    storage = NO_TEXT;
}

void XmlName::takeFrom(XmlName& other) noexcept {
    storage = other.storage;
    if (storage == LOCAL_TEXT) {
        std::memcpy(textData.local, other.textData.local, sizeof textData.local);
    } else if (storage == HEAP_TEXT) {
        textData.heap = std::exchange(other.textData.heap, nullptr);
    }
    other.storage = NO_TEXT;
}

}  // namespace mt
