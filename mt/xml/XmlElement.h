#pragma once
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "mt/xml/XmlName.h"
#include "mt/xml/XmlValue.h"

namespace mt {

struct XmlAttribute {
    XmlName name;
    XmlValue value;
    XmlAttribute* previous = nullptr;
    XmlAttribute* next = nullptr;
};

class XmlArena;

// An element of a document tree. It owns its children and attributes; destroying it destroys them and
// takes it out of its parent's child list. Every walk over the tree is iterative, so a document nested
// arbitrarily deep cannot exhaust the stack.
//
// Elements made with new are freed one by one. The reader places the elements of a parsed document in one
// arena (see XmlArena); delete works on them just the same, and a parsed element may be detached, kept,
// moved into another tree or deleted on its own.
class XmlElement {
  public:
    explicit XmlElement(const XmlName& name = XmlName());
    // Deep copy of the whole subtree; the copy has no parent.
    XmlElement(const XmlElement& other);
    XmlElement& operator=(const XmlElement&) = delete;
    ~XmlElement();
    // Each element made with new has a header that tells delete how it was made: on the heap by itself, or
    // in an arena, whose share it then gives up.
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept;
    static void operator delete(void* memory) noexcept;
    static void operator delete(void* memory, const std::nothrow_t&) noexcept;

    const XmlName& name() const { return elementName; }
    void rename(const XmlName& name) { elementName = name; }

    // Moves child to the end of this element's children, out of its old parent's list. Refused (false) for
    // null, for this element itself and for any of its ancestors, which would make a cycle.
    bool appendChild(XmlElement* child);
    // Takes this element out of its parent's child list; the caller owns it afterwards.
    void detach();
    void removeAllChildren();

    XmlElement* parent() const { return parentElement; }
    XmlElement* firstChild() const { return childHead; }
    XmlElement* lastChild() const { return childTail; }
    XmlElement* nextSibling() const { return nextElement; }
    XmlElement* previousSibling() const { return previousElement; }
    int childCount() const { return children; }
    XmlElement* findChild(const XmlName& name) const;
    int countChildren(const XmlName& name) const;
    // Depth-first pre-order search of this subtree, starting with this element itself.
    XmlElement* findElement(const XmlName& name);

    void setAttribute(const XmlName& name, const XmlValue& value);
    XmlValue* findAttribute(const XmlName& name) const;
    bool removeAttribute(const XmlName& name);
    void removeAllAttributes();
    XmlAttribute* firstAttribute() const { return attributeHead; }
    int attributeCount() const { return attributes; }

    // The text content, stored as the attribute with the reserved text id.
    void setText(const XmlValue& value) { setAttribute(XmlName::textContent(), value); }
    XmlValue* text() const { return findAttribute(XmlName::textContent()); }

    // 40 per element, value length + 36 per attribute, 4 per child, over the whole subtree.
    uint32_t sizeEstimate() const;

    // Attribute records of an element made with new share one block of this many; further ones are allocated
    // alone. Those of a parsed element come from its document's arena, which reuses records that are removed.
    static constexpr int ATTRIBUTE_BLOCK = 4;

  private:
    friend class XmlParser;
    // Attribute ids and records, as mergeRepeatedAttributes sorts them.
    struct AttributeOrder {
        uint32_t id;
        uint32_t position;
        XmlAttribute* attribute;
    };

    // Names as readers find them: length characters of text (kept), or a bare id when text is null.
    static XmlName nameOf(const char* text, int length, uint32_t id) {
        return text ? XmlName(text, length, true) : XmlName(id);
    }
    XmlElement(const char* text, int length, uint32_t id) : elementName(nameOf(text, length, id)) {}
    // An element placed in arena, named as nameOf says; null without memory.
    static XmlElement* createIn(XmlArena& arena, const char* text, int length, uint32_t id);
    // An empty record named as nameOf says, from the element's arena, at the end of the list without a look
    // for one of the same id; null without memory. For readers, which call mergeRepeatedAttributes when the
    // element is complete.
    XmlAttribute* appendArenaAttribute(const char* text, int length, uint32_t id);
    // Makes the ids of the attributes unique as setAttribute one by one would have: of the records with one
    // id, the first stays in its place and takes the value of the last. Linear-logarithmic in the count.
    void mergeRepeatedAttributes(std::vector<AttributeOrder>& scratch);
    void appendAttributeRecord(XmlAttribute* attribute);
    // Appends copies of the source's attribute records (ids already unique); records without memory are left
    // out.
    void copyAttributesOf(const XmlElement& source);
    void unlinkAttribute(XmlAttribute* attribute);

    XmlAttribute* newAttribute(const XmlName& name, const XmlValue& value);
    void deleteAttribute(XmlAttribute* attribute);
    void unlinkChild(XmlElement* child);
    bool isSelfOrAncestor(const XmlElement* element) const;
    // The next element of this subtree in pre-order after element, or null at the end.
    const XmlElement* nextInSubtree(const XmlElement* element) const;

    XmlName elementName;
    XmlElement* childHead = nullptr;
    XmlElement* childTail = nullptr;
    int children = 0;
    int attributes = 0;
    XmlAttribute* attributeHead = nullptr;
    XmlAttribute* attributeTail = nullptr;
    XmlAttribute* attributeBlock = nullptr;  // raw storage for ATTRIBUTE_BLOCK records
    XmlElement* parentElement = nullptr;
    XmlElement* previousElement = nullptr;
    XmlElement* nextElement = nullptr;
    XmlArena* arena = nullptr;  // where the element lies, or null for one made with new or on the stack
    uint8_t blockUsed = 0;      // which records of the attribute block are in use
};

}  // namespace mt
