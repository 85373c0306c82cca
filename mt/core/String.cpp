#include "mt/core/String.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace mt {
namespace {

// The longest text a string can hold: its capacity (31 bits) must exceed the length by one.
constexpr int MAX_LENGTH = static_cast<int>(String::CAPACITY_MASK) - 1;

char* allocateText(int capacity) {
    return static_cast<char*>(std::malloc(static_cast<size_t>(capacity) + 1));
}

// The growth capacity for a text of length value: the smallest power of two at least value, or value itself
// where that power would not fit the 31-bit capacity.
int growthCapacityFor(int value) {
    if (value > (1 << 30))
        return value;
    uint32_t power = 1;
    while (power < static_cast<uint32_t>(value))
        power <<= 1;
    return static_cast<int>(power);
}

// Length of a C text as a string length, or -1 when no string can hold it.
int textLength(const char* text) {
    size_t length = std::strlen(text);
    return length > static_cast<size_t>(MAX_LENGTH) ? -1 : static_cast<int>(length);
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

String::String() : data_(nullptr), length_(0), capacityWord_(OWNER_BIT) {}

String::String(const char* text) : String() {
    int length = text ? textLength(text) : 0;
    if (length >= 0)
        assign(text ? text : "", length);
}

String::String(const char* text, int count) : String() {
    if (!text || count < 0)
        count = 0;
    assign(text ? text : "", count);
}

String::String(const String& other) : String() {
    if (other.data_)
        assign(other.data_, other.length_);
}

String::String(String&& other) noexcept
    : data_(other.data_), length_(other.length_), capacityWord_(other.capacityWord_) {
    other.data_ = nullptr;
    other.length_ = 0;
    other.capacityWord_ = OWNER_BIT;
}

String::String(int value) : String() {
    char digits[12];
    int count = 0;
    // Negating through unsigned arithmetic keeps the most negative value exact.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    char text[12];
    int length = 0;
    if (value < 0)
        text[length++] = '-';
    while (count > 0)
        text[length++] = digits[--count];
    assign(text, length);
}

String::String(float value) : String() {
    char text[64];
    int length = std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
    if (length < 0)
        length = 0;
    if (length >= static_cast<int>(sizeof text))
        length = sizeof text - 1;
    // The C library follows the locale's decimal mark; the text must not.
    for (int i = 0; i < length; ++i) {
        if (text[i] == ',')
            text[i] = '.';
    }
    assign(text, length);
}

String::~String() {
    releaseBuffer();
}

String String::wrap(char* buffer, int capacity) {
    String wrapped;
    if (!buffer || capacity < 0)
        return wrapped;
    wrapped.data_ = buffer;
    wrapped.length_ = static_cast<int32_t>(strnlen(buffer, static_cast<size_t>(capacity)));
    buffer[wrapped.length_] = '\0';
    wrapped.capacityWord_ = static_cast<uint32_t>(capacity) & CAPACITY_MASK;
    return wrapped;
}

String String::hexText(uint32_t value) {
    static const char digits[] = "0123456789abcdef";
    char text[9];
    int count = 0;
    do {
        text[count++] = digits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    String result;
    result.reserve(count);
    while (count > 0)
        result.append(text[--count]);
    return result;
}

void String::releaseBuffer() {
    if ((capacityWord_ & OWNER_BIT) && data_)
        std::free(data_);
    data_ = nullptr;
}

String& String::operator=(const String& other) {
    if (this != &other)
        assign(other.cstr(), other.length_);
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this == &other)
        return *this;
    if (!ownsBuffer()) {
        // A wrapped buffer stays the caller's: copy into it by the usual rules instead of stealing.
        assign(other.cstr(), other.length_);
        return *this;
    }
    releaseBuffer();
    data_ = std::exchange(other.data_, nullptr);
    length_ = std::exchange(other.length_, 0);
    capacityWord_ = std::exchange(other.capacityWord_, OWNER_BIT);
    return *this;
}

String& String::operator=(const char* text) {
    if (!text)
        text = "";
    int length = textLength(text);
    if (length < 0) {
        // Too long for any string: the same outcome as a failed allocation.
        releaseBuffer();
        length_ = 0;
        capacityWord_ = OWNER_BIT;
        return *this;
    }
    assign(text, length);
    return *this;
}

// Copies count characters of text in. A string that does not own its buffer becomes an owning one with a
// fresh buffer; one whose capacity is too small gets a new buffer of exactly count + 1.
void String::assign(const char* text, int count) {
    if (count < 0)
        count = 0;
    if (!ownsBuffer() || capacity() <= count) {
        char* fresh = count <= MAX_LENGTH ? allocateText(count + 1) : nullptr;
        if (!fresh) {
            releaseBuffer();
            length_ = 0;
            capacityWord_ = OWNER_BIT;
            return;
        }
        std::memcpy(fresh, text, static_cast<size_t>(count));  // text may live in the old buffer
        releaseBuffer();
        data_ = fresh;
        capacityWord_ = OWNER_BIT | static_cast<uint32_t>(count + 1);
    } else {
        std::memmove(data_, text, static_cast<size_t>(count));
    }
    length_ = count;
    data_[count] = '\0';
}

const char* String::cstr() const {
    return data_ ? data_ : "";
}

const char* String::charPtrAt(int index) const {
    return data_ ? data_ + index : "";
}

char* String::charPtrAt(int index) {
    static char empty[1];
    if (data_)
        return data_ + index;
    empty[0] = '\0';
    return empty;
}

String& String::append(const char* text) {
    int length = text ? textLength(text) : -1;
    return length > 0 ? append(text, length) : *this;
}

String& String::append(const String& other) {
    return append(other.cstr(), other.length_);
}

String& String::append(char character) {
    return append(&character, 1);
}

String& String::append(const char* text, int count) {
    if (!text || count <= 0)
        return *this;
    // A text that would not fit any string is dropped like one whose buffer cannot be allocated.
    if (count > MAX_LENGTH - length_)
        return *this;
    int newLength = length_ + count;
    if (capacity() <= newLength) {
        if (!ownsBuffer())
            return *this;
        // The text may be part of this string: keep a copy while the buffer moves.
        bool overlaps = data_ && text >= data_ && text <= data_ + length_;
        String keep;
        if (overlaps) {
            keep = String(text, count);
            text = keep.cstr();
        }
        reserve(growthCapacityFor(newLength));
        if (capacity() < newLength)
            return *this;  // allocation failed
        std::memcpy(data_ + length_, text, static_cast<size_t>(count));
    } else {
        std::memmove(data_ + length_, text, static_cast<size_t>(count));
    }
    length_ = newLength;
    data_[length_] = '\0';
    return *this;
}

void String::reserve(int newCapacity) {
    if (!ownsBuffer())
        return;
    if (newCapacity < 0)
        newCapacity = 0;
    char* fresh = nullptr;
    if (newCapacity > 0) {
        fresh = allocateText(newCapacity);
        if (!fresh)
            newCapacity = 0;
    }
    int kept = length_ < newCapacity ? length_ : newCapacity;
    if (fresh) {
        if (data_ && kept > 0)
            std::memcpy(fresh, data_, static_cast<size_t>(kept));
        fresh[kept] = '\0';
    } else {
        kept = 0;
    }
    releaseBuffer();
    data_ = fresh;
    length_ = kept;
    capacityWord_ = OWNER_BIT | static_cast<uint32_t>(newCapacity);
}

int String::find(const char* text) const {
    if (!data_ || !text)
        return -1;
    const char* found = std::strstr(data_, text);
    return found ? static_cast<int>(found - data_) : -1;
}

void String::erase(int first, int last) {
    if (!data_ || first < 0)
        return;
    // Compared before adding, so that "up to the end" spelt as INT_MAX does not wrap.
    int end = last < length_ - 1 ? last + 1 : length_;
    int lastKept = last < length_ - 1 ? last : length_ - 1;
    if (first >= length_ || lastKept < first)
        return;
    std::memmove(data_ + first, data_ + end, static_cast<size_t>(length_ - end + 1));
    length_ -= end - first;
}

void String::truncate(int count) {
    if (count < 0)
        count = 0;
    int oldLength = length_;
    if (ownsBuffer()) {
        reserve(count);
        if (capacity() < count)
            return;
    } else if (count > capacity()) {
        return;
    }
    if (!data_)
        return;
    // Growing by truncate pads with spaces.
    for (int i = (oldLength < count ? oldLength : count); i < count; ++i)
        data_[i] = ' ';
    length_ = count;
    data_[count] = '\0';
}

int String::replaceAll(const String& what, const String& with) {
    if (!data_ || what.length_ == 0)
        return 0;
    String result;
    int position = 0;
    int count = 0;
    // What the result must come to; a shortfall means an append was dropped (no memory, or too long).
    int64_t expected = 0;
    for (;;) {
        const char* found = std::strstr(data_ + position, what.cstr());
        if (!found)
            break;
        int offset = static_cast<int>(found - (data_ + position));
        result.append(data_ + position, offset);
        result.append(with);
        expected += offset + static_cast<int64_t>(with.length_);
        position += offset + what.length_;
        ++count;
    }
    result.append(data_ + position, length_ - position);
    expected += length_ - position;
    // A result that could not be built whole leaves the text as it was rather than losing part of it.
    if (result.length_ != expected)
        return 0;
    *this = result;
    return count;
}

void String::toLowerCase() {
    for (int i = 0; i < length_; ++i)
        data_[i] = lowerAscii(data_[i]);
}

// Prefix wildcard match: '*' skips to the first occurrence of the following pattern character, without
// backtracking; the pattern only has to match the start of the subject. Both sides ignore ASCII case.
bool String::matchesPattern(const String& pattern) const {
    const char* subject = cstr();
    const char* wanted = pattern.cstr();
    int subjectLength = length_;
    int patternLength = pattern.length_;
    int j = 0;
    for (int i = 0; i < patternLength; ++i) {
        if (wanted[i] == '*') {
            char next = lowerAscii(wanted[i + 1]);  // the terminator when '*' is last
            while (j <= subjectLength && lowerAscii(subject[j]) != next)
                ++j;
            if (j > subjectLength)
                return false;
            continue;  // next pattern character is compared with subject[j]
        }
        if (j > subjectLength || lowerAscii(subject[j]) != lowerAscii(wanted[i]))
            return false;
        ++j;
    }
    return true;
}

uint32_t String::hashCode() const {
    uint32_t hash = 0;
    for (int i = 0; i < length_; ++i) {
        hash = hash * 7919u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(data_[i])));
    }
    return hash;
}

int String::parseInt(const char* text) {
    if (!text)
        return 0;
    uint32_t value = 0;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        for (const char* p = text + 2; hexDigitValue(*p) >= 0; ++p)
            value = value * 16u + hexDigitValue(*p);
        return static_cast<int>(value);
    }
    bool negative = false;
    if (*text == '-' || *text == '+')
        negative = *text++ == '-';
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10u + static_cast<uint32_t>(*text - '0');
    return static_cast<int>(negative ? 0u - value : value);
}

bool String::parseBool(const char* text) {
    if (!text || text[0] == '\0' || text[0] == '0')
        return false;
    if (std::strncmp(text, "false", 5) == 0 || std::strncmp(text, "FALSE", 5) == 0)
        return false;
    return true;
}

float String::parseFloat(const char* text) {
    if (!text)
        return 0.0f;
    float sign = 1.0f;
    if (*text == '-') {
        sign = -1.0f;
        ++text;
    }
    uint32_t integerPart = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        integerPart = integerPart * 10u + static_cast<uint32_t>(*text - '0');
    float whole = static_cast<float>(static_cast<int32_t>(integerPart));
    if (*text != '.')
        return whole * sign;
    ++text;
    float fraction = 0.0f;
    float scale = 0.1f;
    for (; *text >= '0' && *text <= '9'; ++text) {
        fraction += static_cast<float>(*text - '0') * scale;
        scale *= 0.1f;
    }
    float value = (whole + fraction) * sign;
    if (*text != 'e')
        return value;
    ++text;
    // One sign character; a missing sign (a digit right after the 'e') or "+" both mean a positive exponent.
    bool negativeExponent = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    int exponent = parseInt(text);
    if (exponent < 0)
        exponent = -exponent;
    if (exponent > 64)
        exponent = 64;  // beyond float range either way; bounds the work
    float power = 1.0f;
    for (int i = 0; i < exponent; ++i)
        power *= 10.0f;
    return negativeExponent ? value / power : value * power;
}

String operator+(const String& left, const String& right) {
    String result(left);
    result.append(right);
    return result;
}

String operator+(const String& left, const char* right) {
    String result(left);
    result.append(right);
    return result;
}

bool operator==(const String& left, const String& right) {
    return std::strcmp(left.cstr(), right.cstr()) == 0;
}

bool operator==(const String& left, const char* right) {
    return std::strcmp(left.cstr(), right ? right : "") == 0;
}

}  // namespace mt
