#include "mt/xml/XmlName.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace mt {
namespace {

char* copyText(const char* text, int length) {
    if (!text) return nullptr;
    auto* copy = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text, static_cast<size_t>(length));
    copy[length] = '\0';
    return copy;
}

}  // namespace

// Each byte counts as a signed 8-bit value; the multiplier c runs through a multiply-with-carry sequence.
uint32_t XmlName::hash(const char* text, int length) {
    if (!text || length <= 0) return 0;
    auto byteAt = [text](int i) { return static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(text[i]))); };
    uint32_t count = static_cast<uint32_t>(length);
    uint32_t id = count * byteAt(0);
    uint32_t c = count;
    for (int i = 1; i < length; ++i) {
        c = (c & 0xFFFFu) * 18000u + (c >> 16);
        id += byteAt(i) * c;
    }
    return id;
}

uint32_t XmlName::hash(const char* text) { return text ? hash(text, static_cast<int>(std::strlen(text))) : 0; }

XmlName::XmlName(const char* text, bool keepText)
    : XmlName(text, text ? static_cast<int>(std::strlen(text)) : 0, keepText) {}

XmlName::XmlName(const char* text, int length, bool keepText)
    : nameId(hash(text, length)), nameText(keepText && length >= 0 ? copyText(text, length) : nullptr) {}

XmlName::XmlName(const XmlName& other)
    : nameId(other.nameId),
      nameText(other.nameText ? copyText(other.nameText, static_cast<int>(std::strlen(other.nameText))) : nullptr) {}

XmlName::XmlName(XmlName&& other) noexcept
    : nameId(other.nameId), nameText(std::exchange(other.nameText, nullptr)) {}

XmlName& XmlName::operator=(const XmlName& other) {
    if (this != &other) {
        XmlName copy(other);
        *this = std::move(copy);
    }
    return *this;
}

XmlName& XmlName::operator=(XmlName&& other) noexcept {
    if (this != &other) {
        std::free(nameText);
        nameId = other.nameId;
        nameText = std::exchange(other.nameText, nullptr);
    }
    return *this;
}

XmlName::~XmlName() { std::free(nameText); }

}  // namespace mt
