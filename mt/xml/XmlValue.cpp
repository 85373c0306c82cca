#include "mt/xml/XmlValue.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace mt {

XmlValue::XmlValue(const XmlValue& other) { store(other.valueType, other.data, other.byteLength); }

XmlValue& XmlValue::operator=(const XmlValue& other) {
    if (this != &other) store(other.valueType, other.data, other.byteLength);
    return *this;
}

XmlValue::~XmlValue() { std::free(data); }

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

// Keeps the buffer when it is large enough, else replaces it. On allocation failure the value is left empty.
void XmlValue::store(uint8_t type, const void* bytes, int length) {
    if (length < 0 || !bytes) length = 0;
    if (length > MAX_LENGTH) length = MAX_LENGTH;
    if (length > capacity) {
        auto* fresh = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length)));
        if (!fresh) {
            std::free(data);
            data = nullptr;
            capacity = 0;
            byteLength = 0;
            valueType = NONE;
            return;
        }
        if (length > 0) std::memmove(fresh, bytes, static_cast<size_t>(length));  // before the old buffer goes
        std::free(data);
        data = fresh;
        capacity = length;
    } else if (length > 0) {
        std::memmove(data, bytes, static_cast<size_t>(length));
    }
    byteLength = static_cast<uint16_t>(length);
    valueType = type;
}

void XmlValue::setText(const char* text) { setText(text, text ? static_cast<int>(std::strlen(text)) : 0); }

void XmlValue::setText(const char* text, int length) {
    if (!text || length < 0) length = 0;
    if (length > MAX_LENGTH - 1) length = MAX_LENGTH - 1;  // room for the terminator
    // The terminator is stored as part of the value.
    uint8_t* fresh = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length) + 1));
    if (!fresh) {
        store(NONE, nullptr, 0);
        return;
    }
    if (length > 0) std::memcpy(fresh, text, static_cast<size_t>(length));
    fresh[length] = 0;
    store(TEXT, fresh, length + 1);
    std::free(fresh);
}

void XmlValue::setUnsigned(uint32_t value) {
    uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                        static_cast<uint8_t>(value >> 24)};
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

void XmlValue::setRaw(const void* bytes, int length) { store(RAW, bytes, length); }

bool XmlValue::setStored(uint8_t type, const void* bytes, int length) {
    if (type < TEXT || type > FLOAT) return false;
    if ((type == UNSIGNED || type == SIGNED || type == FLOAT) && length != 4) return false;
    if (type == TEXT) {
        // A stored text must end in its terminator; take the characters before the first zero.
        const auto* text = static_cast<const char*>(bytes);
        int characters = text ? static_cast<int>(strnlen(text, length > 0 ? static_cast<size_t>(length) : 0)) : 0;
        setText(text, characters);
        return true;
    }
    store(type, bytes, length);
    return true;
}

uint32_t XmlValue::storedWord() const {
    if (byteLength < 4 || !data) return 0;
    return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 | static_cast<uint32_t>(data[2]) << 16 |
           static_cast<uint32_t>(data[3]) << 24;
}

namespace {

float wordToFloat(uint32_t word) {
    float value;
    std::memcpy(&value, &word, 4);
    return value;
}

// Truncates toward zero; values outside the int range (and NaN) saturate instead of being undefined.
int truncateToInt(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0f) return 2147483647;
    if (value <= -2147483648.0f) return static_cast<int>(0x80000000u);
    return static_cast<int>(value);
}

}  // namespace

int XmlValue::getInt() const {
    switch (valueType) {
        case TEXT: return String::parseInt(reinterpret_cast<const char*>(data));
        case UNSIGNED:
        case SIGNED: return static_cast<int>(storedWord());
        case FLOAT: return truncateToInt(wordToFloat(storedWord()));
        default: return 0;
    }
}

bool XmlValue::getBool() const {
    switch (valueType) {
        case TEXT: return String::parseBool(reinterpret_cast<const char*>(data));
        case UNSIGNED:
        case SIGNED: return storedWord() != 0;
        case FLOAT: return wordToFloat(storedWord()) != 0.0f;
        default: return false;
    }
}

float XmlValue::getReal() const {
    switch (valueType) {
        case TEXT: return String::parseFloat(reinterpret_cast<const char*>(data));
        case UNSIGNED: return static_cast<float>(storedWord());
        case SIGNED: return static_cast<float>(static_cast<int32_t>(storedWord()));
        case FLOAT: return wordToFloat(storedWord());
        default: return 0.0f;
    }
}

String XmlValue::getText() const {
    switch (valueType) {
        case TEXT: return String(reinterpret_cast<const char*>(data), byteLength > 0 ? byteLength - 1 : 0);
        case UNSIGNED:
        case SIGNED: return String(static_cast<int>(storedWord()));
        case FLOAT: return String(wordToFloat(storedWord()));
        default: return String();
    }
}

}  // namespace mt
