#include "mt/xml/XmlElement.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "mt/xml/XmlArena.h"

namespace mt {

XmlElement::XmlElement(const XmlName& name) : elementName(name) {}

XmlElement::XmlElement(const XmlElement& other) : elementName(other.elementName) {
    // Walks the source in document order through its own links, so that copying needs no memory beyond the
    // copied elements (nothing to throw) and stays linear however deep or wide the tree is. A child whose
    // copy cannot be allocated is left out with its subtree.
    const XmlElement* source = &other;
    XmlElement* copy = this;
    copy->copyAttributesOf(*source);
    const XmlElement* next = source->childHead;  // the source's next child to copy
    for (;;) {
        if (next) {
            auto* childCopy = new (std::nothrow) XmlElement(next->elementName);
            if (!childCopy) {
                next = next->nextElement;
                continue;
            }
            copy->appendChild(childCopy);
            childCopy->copyAttributesOf(*next);
            source = next;
            copy = childCopy;
            next = source->childHead;
            continue;
        }
        if (source == &other)
            break;
        next = source->nextElement;
        source = source->parentElement;
        copy = copy->parentElement;
    }
}

void XmlElement::copyAttributesOf(const XmlElement& source) {
    // The source's ids are unique already: each record is appended without a search.
    for (XmlAttribute* a = source.attributeHead; a; a = a->next) {
        if (XmlAttribute* record = newAttribute(a->name, a->value))
            appendAttributeRecord(record);
    }
}

XmlElement::~XmlElement() {
    removeAllChildren();
    removeAllAttributes();
    if (attributeBlock)
        ::operator delete(attributeBlock);
    detach();
}

namespace {

// Room before an element made with new or placed in an arena, for the arena or null.
constexpr size_t HEADER = sizeof(XmlArena*);
static_assert(HEADER % alignof(XmlElement) == 0, "an element after its header must be aligned");

XmlArena*& madeIn(void* element) {
    return *reinterpret_cast<XmlArena**>(static_cast<char*>(element) - HEADER);
}

void freeElementMemory(void* memory) {
    if (!memory)
        return;
    if (XmlArena* arena = madeIn(memory))
        arena->release();
    else
        ::operator delete(static_cast<char*>(memory) - HEADER);
}

}  // namespace

void* XmlElement::operator new(std::size_t size, const std::nothrow_t&) noexcept {
    auto* block = static_cast<char*>(::operator new(size + HEADER, std::nothrow));
    if (!block)
        return nullptr;
    madeIn(block + HEADER) = nullptr;
    return block + HEADER;
}

void* XmlElement::operator new(std::size_t size) {
    void* element = operator new(size, std::nothrow);
    if (!element)
        throw std::bad_alloc();  // as a plain new would
    return element;
}

void XmlElement::operator delete(void* memory) noexcept {
    freeElementMemory(memory);
}

void XmlElement::operator delete(void* memory, const std::nothrow_t&) noexcept {
    freeElementMemory(memory);
}

XmlElement* XmlElement::createIn(XmlArena& arena, const char* text, int length, uint32_t id) {
    auto* block = static_cast<char*>(arena.allocate(HEADER + sizeof(XmlElement)));
    if (!block)
        return nullptr;
    madeIn(block + HEADER) = &arena;
    auto* element = ::new (block + HEADER) XmlElement(text, length, id);
    element->arena = &arena;
    arena.retain();
    return element;
}

XmlAttribute* XmlElement::appendArenaAttribute(const char* text, int length, uint32_t id) {
    void* memory = arena->allocateRecord(sizeof(XmlAttribute));
    if (!memory)
        return nullptr;
    auto* attribute = new (memory) XmlAttribute{nameOf(text, length, id), XmlValue(), attributeTail, nullptr};
    appendAttributeRecord(attribute);
    return attribute;
}

void XmlElement::appendAttributeRecord(XmlAttribute* attribute) {
    attribute->previous = attributeTail;
    attribute->next = nullptr;
    (attributeTail ? attributeTail->next : attributeHead) = attribute;
    attributeTail = attribute;
    ++attributes;
}

void XmlElement::unlinkAttribute(XmlAttribute* attribute) {
    (attribute->previous ? attribute->previous->next : attributeHead) = attribute->next;
    (attribute->next ? attribute->next->previous : attributeTail) = attribute->previous;
    deleteAttribute(attribute);
    --attributes;
}

void XmlElement::mergeRepeatedAttributes(std::vector<AttributeOrder>& scratch) {
    // A few records: compare each with those before it.
    constexpr int FEW = 8;
    bool sorted = attributes > FEW;
    if (sorted) {
        try {
            scratch.clear();
            scratch.reserve(static_cast<size_t>(attributes));
        } catch (const std::bad_alloc&) {
            sorted = false;  // the slow way below still gives the right result
        }
    }
    if (!sorted) {
        for (XmlAttribute* a = attributeHead ? attributeHead->next : nullptr; a;) {
            XmlAttribute* next = a->next;
            for (XmlAttribute* earlier = attributeHead; earlier != a; earlier = earlier->next) {
                if (earlier->name == a->name) {
                    earlier->value.swap(a->value);
                    unlinkAttribute(a);
                    break;
                }
            }
            a = next;
        }
        return;
    }
    uint32_t position = 0;
    for (XmlAttribute* a = attributeHead; a; a = a->next)
        scratch.push_back({a->name.id(), position++, a});
    std::sort(scratch.begin(), scratch.end(), [](const AttributeOrder& left, const AttributeOrder& right) {
        return left.id != right.id ? left.id < right.id : left.position < right.position;
    });
    for (size_t first = 0; first < scratch.size();) {
        size_t end = first + 1;
        while (end < scratch.size() && scratch[end].id == scratch[first].id)
            ++end;
        if (end - first > 1) {
            scratch[first].attribute->value.swap(scratch[end - 1].attribute->value);
            for (size_t repeated = first + 1; repeated < end; ++repeated)
                unlinkAttribute(scratch[repeated].attribute);
        }
        first = end;
    }
    scratch.clear();
}

// Most elements have a few attributes: their records come from one block per element, which saves a trip
// to the heap for each of them when trees are built and freed.
XmlAttribute* XmlElement::newAttribute(const XmlName& name, const XmlValue& value) {
    if (arena) {
        void* memory = arena->allocateRecord(sizeof(XmlAttribute));
        return memory ? new (memory) XmlAttribute{name, value, attributeTail, nullptr} : nullptr;
    }
    if (!attributeBlock) {
        attributeBlock =
            static_cast<XmlAttribute*>(::operator new(sizeof(XmlAttribute) * ATTRIBUTE_BLOCK, std::nothrow));
    }
    if (attributeBlock) {
        for (int slot = 0; slot < ATTRIBUTE_BLOCK; ++slot) {
            if (blockUsed & (1u << slot))
                continue;
            blockUsed = static_cast<uint8_t>(blockUsed | (1u << slot));
            return new (attributeBlock + slot) XmlAttribute{name, value, attributeTail, nullptr};
        }
    }
    return new (std::nothrow) XmlAttribute{name, value, attributeTail, nullptr};
}

void XmlElement::deleteAttribute(XmlAttribute* attribute) {
    if (arena) {
        attribute->~XmlAttribute();
        arena->recycleRecord(attribute);
    } else if (attributeBlock && attribute >= attributeBlock &&
               attribute < attributeBlock + ATTRIBUTE_BLOCK) {
        attribute->~XmlAttribute();
        blockUsed = static_cast<uint8_t>(blockUsed & ~(1u << (attribute - attributeBlock)));
    } else {
        delete attribute;
    }
}

void XmlElement::removeAllChildren() {
    // Post-order through the tree's own links, so that no destructor recurses and nothing is allocated: an
    // element is deleted once its children are gone, then its next sibling or its parent follows.
    XmlElement* element = childHead;
    childHead = childTail = nullptr;
    children = 0;
    while (element) {
        if (element->childHead) {
            element = element->childHead;
            continue;
        }
        XmlElement* next = element->nextElement;
        XmlElement* parent = element->parentElement;
        element->parentElement = element->previousElement = element->nextElement = nullptr;
        delete element;
        if (next) {
            element = next;
        } else if (parent == this) {
            element = nullptr;
        } else {
            parent->childHead = parent->childTail = nullptr;
            parent->children = 0;
            element = parent;
        }
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
    if (element == this)
        return true;
    // Only an element with children can be an ancestor; skipping the walk keeps appending leaves O(1).
    if (!element->childHead)
        return false;
    for (const XmlElement* e = this; e; e = e->parentElement) {
        if (e == element)
            return true;
    }
    return false;
}

bool XmlElement::appendChild(XmlElement* child) {
    // Every ancestor has children, so a child without any can only make a cycle by being this element;
    // the walk up the tree is needed only otherwise (it would make building deep trees quadratic).
    if (!child || child == this || (child->childHead && isSelfOrAncestor(child)))
        return false;
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
    if (parentElement)
        parentElement->unlinkChild(this);
}

XmlElement* XmlElement::findChild(const XmlName& name) const {
    for (XmlElement* child = childHead; child; child = child->nextElement) {
        if (child->elementName == name)
            return child;
    }
    return nullptr;
}

int XmlElement::countChildren(const XmlName& name) const {
    int count = 0;
    for (XmlElement* child = childHead; child; child = child->nextElement) {
        if (child->elementName == name)
            ++count;
    }
    return count;
}

const XmlElement* XmlElement::nextInSubtree(const XmlElement* element) const {
    if (element->childHead)
        return element->childHead;
    for (const XmlElement* e = element; e && e != this; e = e->parentElement) {
        if (e->nextElement)
            return e->nextElement;
    }
    return nullptr;
}

XmlElement* XmlElement::findElement(const XmlName& name) {
    for (const XmlElement* e = this; e; e = nextInSubtree(e)) {
        if (e->elementName == name)
            return const_cast<XmlElement*>(e);
    }
    return nullptr;
}

void XmlElement::setAttribute(const XmlName& name, const XmlValue& value) {
    if (XmlValue* existing = findAttribute(name)) {
        *existing = value;
        return;
    }
    if (XmlAttribute* attribute = newAttribute(name, value))
        appendAttributeRecord(attribute);
}

XmlValue* XmlElement::findAttribute(const XmlName& name) const {
    for (XmlAttribute* a = attributeHead; a; a = a->next) {
        if (a->name == name)
            return &a->value;
    }
    return nullptr;
}

bool XmlElement::removeAttribute(const XmlName& name) {
    for (XmlAttribute* a = attributeHead; a; a = a->next) {
        if (a->name == name) {
            unlinkAttribute(a);
            return true;
        }
    }
    return false;
}

uint32_t XmlElement::sizeEstimate() const {
    uint32_t size = 0;
    for (const XmlElement* e = this; e; e = nextInSubtree(e)) {
        size += 40;
        if (e != this)
            size += 4;  // the parent's share for holding it
        for (XmlAttribute* a = e->attributeHead; a; a = a->next)
            size += static_cast<uint32_t>(a->value.length()) + 36;
    }
    return size;
}

}  // namespace mt
