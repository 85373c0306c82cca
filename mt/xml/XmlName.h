#pragma once
#include <cstdint>

namespace mt {

// The name of an element or attribute: a 32-bit hash of its text, optionally with the text kept.
// Names are equal when their ids are equal; the text is never compared.
class XmlName {
  public:
    // The id that names an element's text content.
    static constexpr uint32_t TEXT_ID = 7901;
    // Name texts up to this many characters are kept inside the name, longer ones on the heap.
    static constexpr int INLINE_TEXT = 15;

    XmlName() = default;
    explicit XmlName(uint32_t id) : nameId(id) {}
    // The hash of text; the text is kept when keepText is set.
    explicit XmlName(const char* text, bool keepText = true);
    XmlName(const char* text, int length, bool keepText);
    XmlName(const XmlName& other);
    XmlName(XmlName&& other) noexcept;
    XmlName& operator=(const XmlName& other);
    XmlName& operator=(XmlName&& other) noexcept;
    ~XmlName();

    uint32_t id() const { return nameId; }
    // The kept text, or null for a name built from a bare id.
    const char* text() const {
        return storage == LOCAL_TEXT ? textData.local : storage == HEAP_TEXT ? textData.heap : nullptr;
    }
    bool hasText() const { return storage != NO_TEXT; }

    static uint32_t hash(const char* text, int length);
    static uint32_t hash(const char* text);
    static XmlName textContent() { return XmlName(TEXT_ID); }

  private:
    enum Storage : uint8_t { NO_TEXT, LOCAL_TEXT, HEAP_TEXT };

    void keepText(const char* text, int length);
    void dropText();
    void takeFrom(XmlName& other) noexcept;

    uint32_t nameId = 0;
    Storage storage = NO_TEXT;
    union {
        char* heap;
        char local[INLINE_TEXT + 1];
    } textData{};
};

inline bool operator==(const XmlName& left, const XmlName& right) {
    return left.id() == right.id();
}
inline bool operator!=(const XmlName& left, const XmlName& right) {
    return left.id() != right.id();
}

}  // namespace mt
