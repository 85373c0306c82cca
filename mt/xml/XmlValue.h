#pragma once
#include <cstdint>

#include "mt/core/String.h"

namespace mt {

// A typed attribute value. Text is stored with its terminating zero; numbers as 4 little-endian bytes.
// The byte length is 16 bits wide: longer texts and byte runs are cut to fit.
class XmlValue {
  public:
    enum Type : uint8_t { NONE = 0, TEXT = 1, RAW = 2, UNSIGNED = 3, SIGNED = 4, FLOAT = 5 };
    static constexpr int MAX_LENGTH = 0xFFFF;

    XmlValue() = default;
    XmlValue(const XmlValue& other);
    XmlValue& operator=(const XmlValue& other);
    ~XmlValue();

    static XmlValue fromText(const char* text);
    static XmlValue fromRaw(const void* bytes, int length);

    void setText(const char* text);
    void setText(const char* text, int length);
    void setUnsigned(uint32_t value);
    void setSigned(int32_t value);
    void setFloat(float value);
    void setRaw(const void* bytes, int length);
    // Sets type and bytes as stored (used by binary readers). False for an unknown type.
    bool setStored(uint8_t type, const void* bytes, int length);

    int getInt() const;
    bool getBool() const;
    float getReal() const;
    String getText() const;

    Type type() const { return static_cast<Type>(valueType); }
    int length() const { return byteLength; }
    // The stored bytes; null for a value that holds none.
    const uint8_t* bytes() const {
        return byteLength == 0 ? nullptr : where == INLINE ? storage.local : storage.outside;
    }

    // Values up to this many bytes are kept inside the value, longer ones on the heap.
    static constexpr int INLINE_SIZE = 24;

  private:
    friend class XmlElement;
    friend class XmlParser;
    // Where the bytes are: inside the value, in a buffer the value owns, or in a buffer lent by the
    // document's arena, which outlives the value and is never freed by it.
    enum Where : uint8_t { INLINE, HEAP, LENT };

    void store(uint8_t type, const void* bytes, int length, bool terminate = false);
    // Takes length bytes already in place in a lent buffer of that size (a value longer than INLINE_SIZE).
    void lend(uint8_t type, uint8_t* buffer, int length);
    void swap(XmlValue& other) noexcept;
    uint8_t* buffer() { return where == INLINE ? storage.local : storage.outside; }
    void release();
    uint32_t storedWord() const;

    uint16_t byteLength = 0;
    uint8_t valueType = NONE;
    Where where = INLINE;
    int capacity = INLINE_SIZE;  // of the buffer in use
    union {
        uint8_t* outside;
        uint8_t local[INLINE_SIZE];
    } storage{};
};

}  // namespace mt
