#include "mt/xml/XmlElement.h"

#include <new>
#include <utility>
#include <vector>

namespace mt {

XmlElement::XmlElement(const XmlName& name) : elementName(name) {}

XmlElement::XmlElement(const XmlElement& other) : elementName(other.elementName) {
    // Copy level by level with an explicit stack of (source, copy) pairs.
    std::vector<std::pair<const XmlElement*, XmlElement*>> pending{{&other, this}};
    while (!pending.empty()) {
        auto [source, copy] = pending.back();
        pending.pop_back();
        for (XmlAttribute* a = source->attributeHead; a; a = a->next) copy->setAttribute(a->name, a->value);
        for (XmlElement* child = source->childHead; child; child = child->nextElement) {
            auto* childCopy = new (std::nothrow) XmlElement(child->elementName);
            if (!childCopy) continue;
            copy->appendChild(childCopy);
            pending.emplace_back(child, childCopy);
        }
    }
}

XmlElement::~XmlElement() {
    removeAllChildren();
    removeAllAttributes();
    ::operator delete(attributeBlock);
    detach();
}

// Most elements have a few attributes: their records come from one block per element, which saves a trip
// to the heap for each of them when trees are built and freed.
XmlAttribute* XmlElement::newAttribute(const XmlName& name, const XmlValue& value) {
    if (!attributeBlock) {
        attributeBlock = static_cast<XmlAttribute*>(::operator new(sizeof(XmlAttribute) * ATTRIBUTE_BLOCK, std::nothrow));
    }
    if (attributeBlock) {
        for (int slot = 0; slot < ATTRIBUTE_BLOCK; ++slot) {
            if (blockUsed & (1u << slot)) continue;
            blockUsed = static_cast<uint8_t>(blockUsed | (1u << slot));
            return new (attributeBlock + slot) XmlAttribute{name, value, attributeTail, nullptr};
        }
    }
    return new (std::nothrow) XmlAttribute{name, value, attributeTail, nullptr};
}

void XmlElement::deleteAttribute(XmlAttribute* attribute) {
    if (attributeBlock && attribute >= attributeBlock && attribute < attributeBlock + ATTRIBUTE_BLOCK) {
        attribute->~XmlAttribute();
        blockUsed = static_cast<uint8_t>(blockUsed & ~(1u << (attribute - attributeBlock)));
    } else {
        delete attribute;
    }
}

void XmlElement::removeAllChildren() {
    // Flatten the subtree so that no destructor recurses: each element is emptied before it is deleted.
    std::vector<XmlElement*> pending;
    for (XmlElement* child = childHead; child; child = child->nextElement) pending.push_back(child);
    childHead = childTail = nullptr;
    children = 0;
    while (!pending.empty()) {
        XmlElement* element = pending.back();
        pending.pop_back();
        for (XmlElement* child = element->childHead; child; child = child->nextElement) pending.push_back(child);
        element->childHead = element->childTail = nullptr;
        element->children = 0;
        element->parentElement = nullptr;
        element->previousElement = element->nextElement = nullptr;
        delete element;
    }
}

void XmlElement::removeAllAttributes() {
    XmlAttribute* attribute = attributeHead;
    while (attribute) {
        XmlAttribute* next = attribute->next;
        deleteAttribute(attribute);
        attribute = next;
    }
    attributeHead = attributeTail = nullptr;
    attributes = 0;
}

bool XmlElement::isSelfOrAncestor(const XmlElement* element) const {
    if (element == this) return true;
    // Only an element with children can be an ancestor; skipping the walk keeps appending leaves O(1).
    if (!element->childHead) return false;
    for (const XmlElement* e = this; e; e = e->parentElement) {
        if (e == element) return true;
    }
    return false;
}

bool XmlElement::appendChild(XmlElement* child) {
    // Every ancestor has children, so a child without any can only make a cycle by being this element;
    // the walk up the tree is needed only otherwise (it would make building deep trees quadratic).
    if (!child || child == this || (child->childHead && isSelfOrAncestor(child))) return false;
    child->detach();
    child->parentElement = this;
    child->previousElement = childTail;
    child->nextElement = nullptr;
    if (childTail) {
        childTail->nextElement = child;
    } else {
        childHead = child;
    }
    childTail = child;
    ++children;
    return true;
}

void XmlElement::unlinkChild(XmlElement* child) {
    if (child->previousElement) {
        child->previousElement->nextElement = child->nextElement;
    } else {
        childHead = child->nextElement;
    }
    if (child->nextElement) {
        child->nextElement->previousElement = child->previousElement;
    } else {
        childTail = child->previousElement;
    }
    child->previousElement = child->nextElement = nullptr;
    child->parentElement = nullptr;
    --children;
}

void XmlElement::detach() {
    if (parentElement) parentElement->unlinkChild(this);
}

XmlElement* XmlElement::findChild(const XmlName& name) const {
    for (XmlElement* child = childHead; child; child = child->nextElement) {
        if (child->elementName == name) return child;
    }
    return nullptr;
}

int XmlElement::countChildren(const XmlName& name) const {
    int count = 0;
    for (XmlElement* child = childHead; child; child = child->nextElement) {
        if (child->elementName == name) ++count;
    }
    return count;
}

const XmlElement* XmlElement::nextInSubtree(const XmlElement* element) const {
    if (element->childHead) return element->childHead;
    for (const XmlElement* e = element; e && e != this; e = e->parentElement) {
        if (e->nextElement) return e->nextElement;
    }
    return nullptr;
}

XmlElement* XmlElement::findElement(const XmlName& name) {
    for (const XmlElement* e = this; e; e = nextInSubtree(e)) {
        if (e->elementName == name) return const_cast<XmlElement*>(e);
    }
    return nullptr;
}

void XmlElement::setAttribute(const XmlName& name, const XmlValue& value) {
    if (XmlValue* existing = findAttribute(name)) {
        *existing = value;
        return;
    }
    XmlAttribute* attribute = newAttribute(name, value);
    if (!attribute) return;
    if (attributeTail) {
        attributeTail->next = attribute;
    } else {
        attributeHead = attribute;
    }
    attributeTail = attribute;
    ++attributes;
}

XmlValue* XmlElement::findAttribute(const XmlName& name) const {
    for (XmlAttribute* a = attributeHead; a; a = a->next) {
        if (a->name == name) return &a->value;
    }
    return nullptr;
}

bool XmlElement::removeAttribute(const XmlName& name) {
    for (XmlAttribute* a = attributeHead; a; a = a->next) {
        if (a->name != name) continue;
        (a->previous ? a->previous->next : attributeHead) = a->next;
        (a->next ? a->next->previous : attributeTail) = a->previous;
        deleteAttribute(a);
        --attributes;
        return true;
    }
    return false;
}

uint32_t XmlElement::sizeEstimate() const {
    uint32_t size = 0;
    for (const XmlElement* e = this; e; e = nextInSubtree(e)) {
        size += 40;
        if (e != this) size += 4;  // the parent's share for holding it
        for (XmlAttribute* a = e->attributeHead; a; a = a->next) size += static_cast<uint32_t>(a->value.length()) + 36;
    }
    return size;
}

}  // namespace mt
