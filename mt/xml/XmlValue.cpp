#include "mt/xml/XmlValue.h"

#include "mt/xml/XmlScan.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace mt {

XmlValue::XmlValue(const XmlValue& other) {
    store(other.valueType, other.bytes(), other.byteLength);
}

XmlValue& XmlValue::operator=(const XmlValue& other) {
    if (this != &other)
        store(other.valueType, other.bytes(), other.byteLength);
    return *this;
}

XmlValue::~XmlValue() {
    release();
}

void XmlValue::release() {
    if (where == HEAP)
        std::free(storage.outside);
    where = INLINE;
    capacity = INLINE_SIZE;
}

void XmlValue::lend(uint8_t type, uint8_t* lent, int length) {
    release();
    storage.outside = lent;
    where = LENT;
    capacity = length;
    byteLength = static_cast<uint16_t>(length);
    valueType = type;
}

void XmlValue::swap(XmlValue& other) noexcept {
    // Nothing in a value points into the value itself, so its fields can trade places as they are.
    std::swap(storage, other.storage);
    std::swap(byteLength, other.byteLength);
    std::swap(valueType, other.valueType);
    std::swap(where, other.where);
    std::swap(capacity, other.capacity);
}

XmlValue XmlValue::fromText(const char* text) {
    XmlValue value;
    value.setText(text);
    return value;
}

XmlValue XmlValue::fromRaw(const void* bytes, int length) {
    XmlValue value;
    value.setRaw(bytes, length);
    return value;
}

// Keeps the buffer when it is large enough, else replaces it; with terminate a zero byte follows the bytes
// (counted in the length). On allocation failure the value is left empty.
void XmlValue::store(uint8_t type, const void* bytes, int length, bool terminate) {
    if (length < 0 || !bytes)
        length = 0;
    const int limit = terminate ? MAX_LENGTH - 1 : MAX_LENGTH;
    if (length > limit)
        length = limit;
    const int total = length + (terminate ? 1 : 0);
    if (total > capacity) {
        auto* fresh = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(total)));
        if (!fresh) {
            release();
            byteLength = 0;
            valueType = NONE;
            return;
        }
        if (length > 0)
            std::memcpy(fresh, bytes, static_cast<size_t>(length));  // before the old buffer goes
        release();
        storage.outside = fresh;
        where = HEAP;
        capacity = total;
    } else if (length > 0) {
        xmlscan::copyBytes(buffer(), bytes, static_cast<size_t>(length));
    }
    if (terminate)
        buffer()[length] = 0;
    byteLength = static_cast<uint16_t>(total);
    valueType = type;
}

void XmlValue::setText(const char* text) {
    setText(text, text ? static_cast<int>(std::strlen(text)) : 0);
}

void XmlValue::setText(const char* text, int length) {
    if (!text || length < 0)
        length = 0;
    // The terminator is stored as part of the value.
    store(TEXT, text ? text : "", length, true);
}

void XmlValue::setUnsigned(uint32_t value) {
    uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                        static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    store(UNSIGNED, bytes, 4);
}

void XmlValue::setSigned(int32_t value) {
    setUnsigned(static_cast<uint32_t>(value));
    valueType = SIGNED;
}

void XmlValue::setFloat(float value) {
    uint32_t word;
    std::memcpy(&word, &value, 4);
    setUnsigned(word);
    valueType = FLOAT;
}

void XmlValue::setRaw(const void* bytes, int length) {
    store(RAW, bytes, length);
}

bool XmlValue::setStored(uint8_t type, const void* bytes, int length) {
    if (type < TEXT || type > FLOAT)
        return false;
    if ((type == UNSIGNED || type == SIGNED || type == FLOAT) && length != 4)
        return false;
    if (type == TEXT) {
        // A stored text must end in its terminator; take the characters before the first zero.
        const auto* text = static_cast<const char*>(bytes);
        int characters =
            text ? static_cast<int>(strnlen(text, length > 0 ? static_cast<size_t>(length) : 0)) : 0;
        setText(text, characters);
        return true;
    }
    store(type, bytes, length);
    return true;
}

uint32_t XmlValue::storedWord() const {
    const uint8_t* data = bytes();
    if (byteLength < 4 || !data)
        return 0;
    return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
           static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
}

namespace {

float wordToFloat(uint32_t word) {
    float value;
    std::memcpy(&value, &word, 4);
    return value;
}

// Truncates toward zero; values outside the int range (and NaN) saturate instead of being undefined.
int truncateToInt(float value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0f)
        return 2147483647;
    if (value <= -2147483648.0f)
        return static_cast<int>(0x80000000u);
    return static_cast<int>(value);
}

}  // namespace

int XmlValue::getInt() const {
    switch (valueType) {
        case TEXT:
            return String::parseInt(reinterpret_cast<const char*>(bytes()));
        case UNSIGNED:
        case SIGNED:
            return static_cast<int>(storedWord());
        case FLOAT:
            return truncateToInt(wordToFloat(storedWord()));
        default:
            return 0;
    }
}

bool XmlValue::getBool() const {
    switch (valueType) {
        case TEXT:
            return String::parseBool(reinterpret_cast<const char*>(bytes()));
        case UNSIGNED:
        case SIGNED:
            return storedWord() != 0;
        case FLOAT:
            return wordToFloat(storedWord()) != 0.0f;
        default:
            return false;
    }
}

float XmlValue::getReal() const {
    switch (valueType) {
        case TEXT:
            return String::parseFloat(reinterpret_cast<const char*>(bytes()));
        case UNSIGNED:
            return static_cast<float>(storedWord());
        case SIGNED:
            return static_cast<float>(static_cast<int32_t>(storedWord()));
        case FLOAT:
            return wordToFloat(storedWord());
        default:
            return 0.0f;
    }
}

String XmlValue::getText() const {
    switch (valueType) {
        case TEXT:
            return String(reinterpret_cast<const char*>(bytes()), byteLength > 0 ? byteLength - 1 : 0);
        case UNSIGNED:
        case SIGNED:
            return String(static_cast<int>(storedWord()));
        case FLOAT:
            return String(wordToFloat(storedWord()));
        default:
            return String();
    }
}

}  // namespace mt
