#pragma once
#include <cstdint>

namespace mt {

// The framework's 8-bit string: a pointer, a length and a capacity word whose top bit marks an owned buffer.
// Copies are deep; growth goes to powers of two; allocation failure leaves the string empty.
class String {
public:
    static constexpr uint32_t OWNER_BIT = 0x80000000u;
    static constexpr uint32_t CAPACITY_MASK = 0x7FFFFFFFu;

    String();
    String(const char* text);  // NOLINT(google-explicit-constructor): C texts convert implicitly
    String(const char* text, int count);
    String(const String& other);
    String(String&& other) noexcept;
    explicit String(int value);
    // Unsigned values share the signed conversion, so 2147483648 and above come out negative.
    explicit String(unsigned int value) : String(static_cast<int>(value)) {}
    explicit String(float value);
    explicit String(double value) : String(static_cast<float>(value)) {}
    ~String();

    // Wraps a caller's buffer of the given capacity (characters, not counting the terminator) without
    // taking ownership: the string never frees or enlarges it, and operations needing more room do nothing.
    static String wrap(char* buffer, int capacity);
    // Lower-case hexadecimal digits of the value, no prefix ("0" for zero).
    static String hexText(uint32_t value);

    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    String& operator=(const char* text);

    const char* cstr() const;
    int length() const { return length_; }
    int capacity() const { return static_cast<int>(capacityWord_ & CAPACITY_MASK); }
    bool ownsBuffer() const { return (capacityWord_ & OWNER_BIT) != 0; }
    bool isEmpty() const { return length_ == 0; }
    const char* charPtrAt(int index) const;
    char* charPtrAt(int index);

    String& append(const char* text);
    String& append(const char* text, int count);
    String& append(const String& other);
    String& append(char character);
    String& operator+=(const char* text) { return append(text); }
    String& operator+=(const String& other) { return append(other); }
    String& operator+=(char character) { return append(character); }

    int find(const char* text) const;
    int find(const String& text) const { return find(text.cstr()); }
    void erase(int first, int last);
    void truncate(int count);
    int replaceAll(const String& what, const String& with);
    void toLowerCase();
    bool matchesPattern(const String& pattern) const;
    int toInt() const { return parseInt(cstr()); }
    uint32_t hashCode() const;
    void reserve(int capacity);

    static int parseInt(const char* text);
    static bool parseBool(const char* text);
    static float parseFloat(const char* text);

private:
    void assign(const char* text, int count);
    void releaseBuffer();

    char* data_;
    int32_t length_;
    uint32_t capacityWord_;
};

String operator+(const String& left, const String& right);
String operator+(const String& left, const char* right);
bool operator==(const String& left, const String& right);
bool operator==(const String& left, const char* right);
inline bool operator!=(const String& left, const String& right) { return !(left == right); }
inline bool operator!=(const String& left, const char* right) { return !(left == right); }

}  // namespace mt
