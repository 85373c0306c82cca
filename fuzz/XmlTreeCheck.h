#pragma once
// Checks shared by the XML fuzz targets and the corpus replay tests:
// - the reader gives the same tree as a plain reference reader that takes the input one character at a
//   time through the public element interface (no arena, no scanning in blocks, setAttribute one by one);
// - a parsed tree written in the binary form reads back the same;
// - a tree that the text form can carry (see carriesAsText) written as text reads back the same.
// Each check returns a text naming the first difference, or an empty text when all holds.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mt/stream/MemoryStream.h"
#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlParser.h"
#include "mt/xml/XmlWriter.h"

namespace fuzzcheck {

inline std::string bytesOf(const mt::XmlValue& value) {
    return value.length() > 0 ? std::string(reinterpret_cast<const char*>(value.bytes()),
                                            static_cast<size_t>(value.length()))
                              : std::string();
}

// The characters a value stands for in the text form: a text up to its first zero, raw bytes as they are.
inline std::string contentOf(const mt::XmlValue& value) {
    std::string bytes = bytesOf(value);
    if (value.type() == mt::XmlValue::TEXT)
        bytes = bytes.c_str();
    return bytes;
}

enum class Compare {
    IDENTICAL,  // names with their texts, value types and every stored byte
    BINARY,     // ids and types; texts up to their first zero (what the binary reader keeps of a text)
    CONTENT,    // ids; values by contentOf (what the text form keeps of a value)
};

inline bool sameValue(const mt::XmlValue& a, const mt::XmlValue& b, Compare how) {
    switch (how) {
        case Compare::IDENTICAL:
            return a.type() == b.type() && bytesOf(a) == bytesOf(b);
        case Compare::BINARY:
            return a.type() == b.type() &&
                   (a.type() == mt::XmlValue::TEXT ? contentOf(a) == contentOf(b) : bytesOf(a) == bytesOf(b));
        case Compare::CONTENT:
            return contentOf(a) == contentOf(b);
    }
    return false;
}

inline bool sameName(const mt::XmlName& a, const mt::XmlName& b, Compare how) {
    if (a != b)
        return false;
    if (how != Compare::IDENTICAL)
        return true;
    return a.hasText() == b.hasText() && (!a.hasText() || std::strcmp(a.text(), b.text()) == 0);
}

// Empty when the subtrees agree; else where they first differ. Iterative, like every walk over trees of
// unbounded depth.
inline std::string difference(const mt::XmlElement* a, const mt::XmlElement* b, Compare how) {
    const mt::XmlElement* topA = a;
    for (int element = 0; a && b; ++element) {
        const std::string where = "element " + std::to_string(element) + ": ";
        if (!sameName(a->name(), b->name(), how))
            return where + "name " + std::to_string(a->name().id()) + " vs " + std::to_string(b->name().id());
        if (a->attributeCount() != b->attributeCount())
            return where + "attributes " + std::to_string(a->attributeCount()) + " vs " +
                   std::to_string(b->attributeCount());
        if (a->childCount() != b->childCount())
            return where + "children " + std::to_string(a->childCount()) + " vs " +
                   std::to_string(b->childCount());
        int index = 0;
        for (auto *x = a->firstAttribute(), *y = b->firstAttribute(); x && y;
             x = x->next, y = y->next, ++index) {
            if (!sameName(x->name, y->name, how))
                return where + "attribute " + std::to_string(index) + " name";
            if (!sameValue(x->value, y->value, how))
                return where + "attribute " + std::to_string(index) + " value [" +
                       bytesOf(x->value).substr(0, 80) + "] vs [" + bytesOf(y->value).substr(0, 80) + "]";
        }
        // Next in pre-order, in both trees alike (their shapes agree so far).
        if (a->firstChild()) {
            a = a->firstChild();
            b = b->firstChild();
            continue;
        }
        while (a != topA && !a->nextSibling()) {
            a = a->parent();
            b = b->parent();
        }
        if (a == topA)
            return std::string();
        a = a->nextSibling();
        b = b->nextSibling();
    }
    return a == b ? std::string() : "one tree ends early";
}

// The reader's rules, one character at a time over the whole input.
class ReferenceReader {
  public:
    ReferenceReader(const uint8_t* data, size_t size) : data(data), size(size) {}

    std::unique_ptr<mt::XmlElement> read() {
        auto root = std::make_unique<mt::XmlElement>();
        if (size > 0 && data[0] == mt::XmlParser::BINARY_MARKER)
            readBinary(root.get());
        else
            readText(root.get());
        return root;
    }

    int lines = 1;
    int created = 0;
    int closed = 0;
    bool tooDeep = false;
    // setAttribute searches the attributes before it: an element with more than this many is not built
    // (the reference would take quadratic time), and the tree is then not to be compared.
    static constexpr int MOST_ATTRIBUTES = 2000;
    bool tooManyAttributes = false;

  private:
    struct Level {
        explicit Level(mt::XmlElement* element) : element(element) {}
        mt::XmlElement* element;
        std::string text;
        bool percent = false;
        size_t committed = 0;
        bool committedPercent = false;
    };
    enum class Tag { ELEMENT, CLOSING, INCOMPLETE };

    static bool blank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    int byte() { return position < size ? data[position++] : -1; }

    // A comment ("<!--" up to "-->", more dashes allowed) is skipped wherever it stands, and so are comments
    // in a row; a "<" that starts none, or starts one that the input cuts off, is itself the character.
    int character() {
        int c = byte();
        if (c == '\n')
            ++lines;
        while (c == '<') {
            if (size - position < 3 || std::memcmp(data + position, "!--", 3) != 0)
                return '<';
            position += 3;
            int dashes = 0;
            bool ended = false;
            for (int b = byte(); b >= 0 && !ended; b = ended ? 0 : byte()) {
                if (b == '-')
                    ++dashes;
                else if (b == '>' && dashes >= 2)
                    ended = true;
                else
                    dashes = 0;
            }
            if (!ended)
                return '<';
            c = byte();
            if (c == '\n')
                ++lines;
        }
        return c;
    }

    static std::vector<uint8_t> decode(const std::string& text) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < text.size();) {
            if (text[i] == '%' && i + 2 < text.size()) {
                int value = 0;
                for (size_t k = 1; k <= 2; ++k) {
                    char d = text[i + k];
                    int digit = d >= '0' && d <= '9'   ? d - '0'
                                : d >= 'a' && d <= 'f' ? d - 'a' + 10
                                : d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                       : -1;
                    if (digit < 0)
                        break;
                    value = value * 16 + digit;
                }
                out.push_back(static_cast<uint8_t>(value));
                i += 3;
            } else {
                out.push_back(static_cast<uint8_t>(text[i++]));
            }
        }
        return out;
    }

    // Text as it was read (zero bytes and all), or its percent-decoded bytes.
    static mt::XmlValue valueOf(const std::string& text, bool percent) {
        mt::XmlValue value;
        if (percent) {
            std::vector<uint8_t> bytes = decode(text);
            value.setRaw(bytes.data(), static_cast<int>(bytes.size()));
        } else {
            value.setText(text.data(), static_cast<int>(text.size()));
        }
        return value;
    }

    static void storeText(Level& level) {
        if (level.committed > 0)
            level.element->setText(valueOf(level.text.substr(0, level.committed), level.committedPercent));
    }

    Tag tag(std::string& name, std::string& attributes, bool& selfClosing, bool& closedByName) {
        for (size_t index = 0;; ++index) {
            int c = character();
            if (c < 0)
                return Tag::INCOMPLETE;
            if (blank(c))
                break;
            if (c == '>') {
                closedByName = true;
                break;
            }
            if (c == '/' && index > 0)
                selfClosing = true;
            if (name.size() < mt::XmlParser::TAG_NAME_SIZE - 1)
                name += static_cast<char>(c);
        }
        if (!closedByName) {
            bool quoted = false;
            int previous = 0;
            for (;;) {
                int c = character();
                if (c < 0)
                    return Tag::INCOMPLETE;
                if (c == '"') {
                    quoted = !quoted;
                } else if (c == '>' && !quoted) {
                    if (previous == '/')
                        selfClosing = true;
                    break;
                }
                if (attributes.size() < mt::XmlParser::ATTRIBUTE_TEXT_SIZE)
                    attributes += static_cast<char>(c);
                previous = c;
            }
        }
        return !name.empty() && name[0] == '/' ? Tag::CLOSING : Tag::ELEMENT;
    }

    static void setAttributes(mt::XmlElement* element, const std::string& text) {
        size_t p = 0;
        while (p < text.size()) {
            while (p < text.size() && blank(text[p]))
                ++p;
            if (p >= text.size())
                break;
            size_t name = p;
            while (p < text.size() && text[p] != '=' && !blank(text[p]))
                ++p;
            size_t nameLength = std::min<size_t>(p - name, mt::XmlParser::ATTRIBUTE_NAME_SIZE - 1);
            size_t quote = text.find('"', p);
            size_t value = quote == std::string::npos ? text.size() : quote + 1;
            size_t close = text.find('"', value);
            size_t valueEnd = close == std::string::npos ? text.size() : close;
            p = close == std::string::npos ? text.size() : close + 1;
            size_t valueLength = std::min<size_t>(valueEnd - value, mt::XmlParser::ATTRIBUTE_VALUE_SIZE - 1);
            if (nameLength == 0 || valueLength == 0)
                continue;
            std::string content = text.substr(value, valueLength);
            element->setAttribute(mt::XmlName(text.data() + name, static_cast<int>(nameLength), true),
                                  valueOf(content, content.find('%') != std::string::npos));
        }
    }

    void readText(mt::XmlElement* root) {
        std::vector<Level> levels;
        levels.emplace_back(root);
        readContent(levels);
        for (Level& level : levels)
            storeText(level);
    }

    void readContent(std::vector<Level>& levels) {
        for (;;) {
            Level& level = levels.back();
            bool collected = false;
            int c;
            while ((c = character()) >= 0 && c != '<') {
                if (!collected && blank(c))
                    continue;
                collected = true;
                if (level.text.size() < mt::XmlParser::TEXT_SIZE - 1) {
                    level.text += static_cast<char>(c);
                    level.percent = level.percent || c == '%';
                }
            }
            if (c < 0)
                return;
            level.committed = level.text.size();
            level.committedPercent = level.percent;
            std::string name, attributes;
            bool selfClosing = false, closedByName = false;
            Tag kind = tag(name, attributes, selfClosing, closedByName);
            if (kind == Tag::INCOMPLETE)
                return;
            if (kind == Tag::CLOSING) {
                ++closed;
                if (levels.size() > 1) {
                    storeText(levels.back());
                    levels.pop_back();
                }
                continue;
            }
            if (static_cast<int>(levels.size()) > mt::XmlParser::MAX_DEPTH) {
                tooDeep = true;
                return;
            }
            if (selfClosing && name.find('/') != std::string::npos)
                name.resize(name.find('/'));
            auto* element = new mt::XmlElement(mt::XmlName(name.data(), static_cast<int>(name.size()), true));
            ++created;
            if (!closedByName && !attributes.empty())
                setAttributes(element, attributes);
            levels.back().element->appendChild(element);
            if (selfClosing) {
                ++closed;
                continue;
            }
            levels.emplace_back(element);
        }
    }

    bool bytes(void* out, size_t count) {
        if (size - position < count)
            return false;
        std::memcpy(out, data + position, count);
        position += count;
        return true;
    }

    bool name(mt::XmlName& out) {
        uint8_t length;
        if (!bytes(&length, 1))
            return false;
        if (length > 0) {
            char text[255];
            if (!bytes(text, length))
                return false;
            out = mt::XmlName(text, length, true);
            return true;
        }
        uint8_t id[4];
        if (!bytes(id, 4))
            return false;
        out = mt::XmlName(uint32_t(id[0]) | uint32_t(id[1]) << 8 | uint32_t(id[2]) << 16 |
                          uint32_t(id[3]) << 24);
        return true;
    }

    mt::XmlElement* record() {
        if (byte() != mt::XmlParser::BINARY_MARKER)
            return nullptr;
        mt::XmlName elementName;
        if (!name(elementName))
            return nullptr;
        auto element = std::make_unique<mt::XmlElement>(elementName);
        for (int flag = byte(); flag != 0; flag = byte()) {
            mt::XmlName attribute;
            uint8_t type, length[2];
            if (flag != 1 || !name(attribute) || !bytes(&type, 1) || !bytes(length, 2))
                return nullptr;
            size_t count = length[0] | length[1] << 8;
            std::vector<uint8_t> stored(count);
            if (count == 0)
                continue;
            if (!bytes(stored.data(), count))
                return nullptr;
            mt::XmlValue value;
            if (element->attributeCount() >= MOST_ATTRIBUTES)
                tooManyAttributes = true;
            else if (value.setStored(type, stored.data(), static_cast<int>(count)))
                element->setAttribute(attribute, value);
        }
        ++created;
        return element.release();
    }

    void readBinary(mt::XmlElement* root) {
        while (position < size && data[position] == mt::XmlParser::BINARY_MARKER) {
            mt::XmlElement* top = record();
            if (!top)
                return;
            root->appendChild(top);
            std::vector<mt::XmlElement*> open{top};
            while (!open.empty()) {
                int flag = byte();
                if (flag == 0) {
                    ++closed;
                    open.pop_back();
                    continue;
                }
                if (flag != 1)
                    return;
                if (static_cast<int>(open.size()) >= mt::XmlParser::MAX_DEPTH) {
                    tooDeep = true;
                    return;
                }
                mt::XmlElement* child = record();
                if (!child)
                    return;
                open.back()->appendChild(child);
                open.push_back(child);
            }
        }
    }

    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

inline std::unique_ptr<mt::XmlElement> parse(mt::XmlParser& parser, const void* data, size_t size) {
    mt::MemoryStream stream(static_cast<uint8_t*>(const_cast<void*>(data)), static_cast<int32_t>(size),
                            mt::STREAM_NOT_OWNER);
    return std::unique_ptr<mt::XmlElement>(parser.parseStream(&stream));
}

inline std::string contentsOf(mt::MemoryStream& stream) {
    int32_t length = 0;
    const uint8_t* bytes = stream.peekBuffer(length);
    return bytes ? std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length))
                 : std::string();
}

// Whether the text writer can carry the tree as it is: every name kept as text of characters that end no
// name and start no comment, within the reader's limits; no empty value (the reader drops those); no
// numbers (they come back as text); each element's text, if any, last among its attributes; and no start
// tag or text longer than the reader keeps. The root's own attributes are not written at all.
inline bool carriesAsText(const mt::XmlElement* root) {
    auto plainName = [](const mt::XmlName& name, size_t limit) {
        if (!name.hasText())
            return false;
        size_t length = std::strlen(name.text());
        if (length == 0 || length > limit || mt::XmlName::hash(name.text()) != name.id())
            return false;
        for (const char* c = name.text(); *c; ++c) {
            bool ok = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
                      *c == '_' || *c == '-' || *c == '.' || *c == ':';
            if (!ok)
                return false;
        }
        return true;
    };
    if (root->attributeCount() != 0)
        return false;
    const mt::XmlName textName = mt::XmlName::textContent();
    for (const mt::XmlElement* e = root->firstChild(); e;) {
        if (!plainName(e->name(), mt::XmlParser::TAG_NAME_SIZE - 1))
            return false;
        mt::XmlElement tagOnly(e->name());
        for (const mt::XmlAttribute* a = e->firstAttribute(); a; a = a->next) {
            if (a->value.type() != mt::XmlValue::TEXT && a->value.type() != mt::XmlValue::RAW)
                return false;
            if (contentOf(a->value).empty())
                return false;
            if (a->name == textName) {
                if (a->next)
                    return false;
                continue;
            }
            if (!plainName(a->name, mt::XmlParser::ATTRIBUTE_NAME_SIZE - 1))
                return false;
            tagOnly.setAttribute(a->name, a->value);
        }
        mt::MemoryStream tag(mt::STREAM_BINARY);
        mt::XmlWriter::writeText(&tagOnly, &tag);
        size_t nameLength = std::strlen(e->name().text());
        if (contentsOf(tag).size() > nameLength + 3 + mt::XmlParser::ATTRIBUTE_TEXT_SIZE - 2)
            return false;
        if (const mt::XmlValue* text = e->text()) {
            mt::XmlElement textOnly(e->name());
            textOnly.setText(*text);
            mt::MemoryStream written(mt::STREAM_BINARY);
            mt::XmlWriter::writeText(&textOnly, &written);
            if (contentsOf(written).size() > 2 * nameLength + 5 + mt::XmlParser::TEXT_SIZE - 1)
                return false;
        }
        if (e->firstChild()) {
            e = e->firstChild();
            continue;
        }
        while (e && !e->nextSibling())
            e = e->parent() == root ? nullptr : e->parent();
        if (e)
            e = e->nextSibling();
    }
    return true;
}

// Every check on one input: the reader against the reference (tree and counts), the binary form of the
// tree, and the text form when it can carry the tree. Empty when all holds.
inline std::string checkInput(const uint8_t* data, size_t size) {
    mt::XmlParser parser;
    std::unique_ptr<mt::XmlElement> root = parse(parser, data, size);
    if (!root)
        return "no tree";
    ReferenceReader reference(data, size);
    std::unique_ptr<mt::XmlElement> expected = reference.read();
    std::string wrong = reference.tooManyAttributes
                            ? std::string()
                            : difference(expected.get(), root.get(), Compare::IDENTICAL);
    if (!wrong.empty())
        return "reader differs from the reference: " + wrong;
    if (parser.getElementsCreated() != reference.created || parser.getElementsClosed() != reference.closed ||
        parser.wasTooDeep() != reference.tooDeep ||
        (size > 0 && data[0] != mt::XmlParser::BINARY_MARKER && parser.getLineNumber() != reference.lines))
        return "reader counts differ from the reference";

    expected.reset();  // large inputs make large trees: keep few of them at a time

    // The binary form holds the top-level elements, not the root's own attributes.
    mt::XmlElement bare;
    for (const mt::XmlElement* top = root->firstChild(); top; top = top->nextSibling()) {
        auto* copy = new mt::XmlElement(*top);  // a copy must equal its source too
        if (!difference(top, copy, Compare::IDENTICAL).empty()) {
            delete copy;
            return "copy differs";
        }
        bare.appendChild(copy);
    }
    for (bool namesAsText : {false, true}) {
        std::string written;
        {
            mt::MemoryStream binary(mt::STREAM_BINARY);
            for (const mt::XmlElement* top = bare.firstChild(); top; top = top->nextSibling()) {
                if (!mt::XmlWriter::writeBinary(top, &binary, namesAsText))
                    return "binary writer failed";
            }
            written = contentsOf(binary);
        }
        std::unique_ptr<mt::XmlElement> again = parse(parser, written.data(), written.size());
        wrong = again ? difference(&bare, again.get(), Compare::BINARY) : "no tree";
        if (!wrong.empty())
            return "binary round trip: " + wrong;
    }
    bare.removeAllChildren();

    std::string written;
    {
        mt::MemoryStream text(mt::STREAM_BINARY);
        if (!mt::XmlWriter::writeTextDocument(root.get(), &text))
            return "text writer failed";
        written = contentsOf(text);
    }
    std::unique_ptr<mt::XmlElement> again = parse(parser, written.data(), written.size());
    if (!again)
        return "no tree from the text form";
    if (carriesAsText(root.get())) {
        wrong = difference(root.get(), again.get(), Compare::CONTENT);
        if (!wrong.empty())
            return "text round trip: " + wrong;
    }
    return std::string();
}

}  // namespace fuzzcheck
