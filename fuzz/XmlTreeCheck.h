#pragma once
// Checks shared by the XML fuzz targets: a parsed tree written in the binary form reads back the same.
#include <cstring>
#include <memory>

#include "mt/stream/MemoryStream.h"
#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlParser.h"
#include "mt/xml/XmlWriter.h"

namespace fuzzcheck {

// Texts compare as C texts: the binary reader keeps a stored text up to its first zero byte.
inline bool sameValue(const mt::XmlValue& a, const mt::XmlValue& b) {
    if (a.type() != b.type())
        return false;
    if (a.type() == mt::XmlValue::TEXT)
        return std::strcmp(reinterpret_cast<const char*>(a.bytes()),
                           reinterpret_cast<const char*>(b.bytes())) == 0;
    return a.length() == b.length() &&
           (a.length() == 0 || std::memcmp(a.bytes(), b.bytes(), a.length()) == 0);
}

inline bool sameTree(const mt::XmlElement* a, const mt::XmlElement* b) {
    // Iterative, like everything that walks trees of unbounded depth.
    while (a && b) {
        if (a->name() != b->name() || a->attributeCount() != b->attributeCount() ||
            a->childCount() != b->childCount())
            return false;
        for (auto *x = a->firstAttribute(), *y = b->firstAttribute(); x; x = x->next, y = y->next) {
            if (x->name != y->name || !sameValue(x->value, y->value))
                return false;
        }
        // Next in pre-order, in both trees alike (their shapes agree so far).
        if (a->firstChild()) {
            a = a->firstChild();
            b = b->firstChild();
            continue;
        }
        while (a && !a->nextSibling()) {
            a = a->parent();
            b = b->parent();
        }
        if (!a)
            return true;
        a = a->nextSibling();
        b = b->nextSibling();
    }
    return a == b;
}

// Each top-level element of root, written in the binary form (names as text or by id) and read back, must
// equal itself; the text form is written too, and must parse.
inline void checkWriters(const mt::XmlElement* root, bool namesAsText) {
    for (const mt::XmlElement* top = root->firstChild(); top; top = top->nextSibling()) {
        mt::XmlElement copy(*top);  // detached, so that the walk above stops at it
        mt::MemoryStream binary(mt::STREAM_BINARY);
        if (!mt::XmlWriter::writeBinary(&copy, &binary, namesAsText))
            __builtin_trap();
        mt::XmlParser parser;
        std::unique_ptr<mt::XmlElement> read(parser.parseStream(&binary));
        if (!read || read->childCount() != 1 || !sameTree(&copy, read->firstChild()))
            __builtin_trap();
    }
    mt::MemoryStream text(mt::STREAM_BINARY);
    if (!mt::XmlWriter::writeTextDocument(root, &text))
        __builtin_trap();
    mt::XmlParser parser;
    std::unique_ptr<mt::XmlElement> again(parser.parseStream(&text));
    if (!again)
        __builtin_trap();
}

}  // namespace fuzzcheck
