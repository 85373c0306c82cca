#pragma once
#include <cstdint>

#include "mt/xml/XmlName.h"
#include "mt/xml/XmlValue.h"

namespace mt {

struct XmlAttribute {
    XmlName name;
    XmlValue value;
    XmlAttribute* previous = nullptr;
    XmlAttribute* next = nullptr;
};

// An element of a document tree. It owns its children and attributes; destroying it destroys them and
// takes it out of its parent's child list. Every walk over the tree is iterative, so a document nested
// arbitrarily deep cannot exhaust the stack.
class XmlElement {
public:
    explicit XmlElement(const XmlName& name = XmlName());
    // Deep copy of the whole subtree; the copy has no parent.
    XmlElement(const XmlElement& other);
    XmlElement& operator=(const XmlElement&) = delete;
    ~XmlElement();

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

    // Attribute records of one element share one block of this many; further ones are allocated alone.
    static constexpr int ATTRIBUTE_BLOCK = 4;

private:
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
    XmlAttribute* attributeHead = nullptr;
    XmlAttribute* attributeTail = nullptr;
    int attributes = 0;
    XmlAttribute* attributeBlock = nullptr;  // raw storage for ATTRIBUTE_BLOCK records
    uint8_t blockUsed = 0;                   // which records of the block are in use
    XmlElement* parentElement = nullptr;
    XmlElement* previousElement = nullptr;
    XmlElement* nextElement = nullptr;
};

}  // namespace mt
