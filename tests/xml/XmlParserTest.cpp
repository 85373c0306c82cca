#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mt/file/MemoryFile.h"
#include "mt/stream/MemoryStream.h"
#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlParser.h"

using mt::XmlElement;
using mt::XmlName;
using mt::XmlParser;
using mt::XmlValue;

namespace {

std::unique_ptr<XmlElement> parse(const std::string& text, XmlParser* parser = nullptr) {
    XmlParser own;
    mt::MemoryStream stream(reinterpret_cast<uint8_t*>(const_cast<char*>(text.data())),
                            static_cast<int>(text.size()), mt::STREAM_NOT_OWNER);
    return std::unique_ptr<XmlElement>((parser ? parser : &own)->parseStream(&stream));
}

std::string textOf(const XmlValue* value) {
    return value ? std::string(value->getText().cstr()) : "<none>";
}
std::string bytesOf(const XmlValue* value) {
    return value ? std::string(reinterpret_cast<const char*>(value->bytes()),
                               static_cast<size_t>(value->length()))
                 : "<none>";
}
XmlElement* child(XmlElement* parent, const char* name) {
    return parent ? parent->findChild(XmlName(name)) : nullptr;
}
int depthOf(const XmlElement* element) {
    int depth = 0;
    while (element->firstChild()) {
        element = element->firstChild();
        ++depth;
    }
    return depth;
}

}  // namespace

TEST(XmlParser, SellingDocumentFromAFile) {
    std::string text = "<?xml version=\"1.0\"?>\r\n<selling url=\"abc\"/>\r\n";
    auto* file =
        new mt::file::MemoryFile(reinterpret_cast<uint8_t*>(text.data()), static_cast<int32_t>(text.size()),
                                 static_cast<int32_t>(text.size()), 1, nullptr);
    XmlParser parser;
    std::unique_ptr<XmlElement> root(parser.parseFile(file));
    delete file;  // the parser leaves the file to its owner
    ASSERT_TRUE(root);
    EXPECT_EQ(root->name().id(), 0u);
    EXPECT_EQ(root->text(), nullptr);
    XmlElement* selling = root->findElement(XmlName("selling"));
    ASSERT_NE(selling, nullptr);
    EXPECT_STREQ(selling->name().text(), "selling");
    XmlValue* url = selling->findAttribute(XmlName("url"));
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(url->type(), XmlValue::TEXT);
    EXPECT_EQ(textOf(url), "abc");

    auto plain = parse("<selling url=\"abc\"/>");
    ASSERT_EQ(plain->childCount(), 1);
    EXPECT_EQ(plain->firstChild()->name(), XmlName("selling"));
    EXPECT_EQ(plain->firstChild()->childCount(), 0);
    EXPECT_EQ(parser.parseFile(nullptr), nullptr);
    EXPECT_EQ(parser.parseStream(nullptr), nullptr);
}

TEST(XmlParser, PercentDecodingGivesRawBytes) {
    auto root = parse("<a v=\"a%41b\" w=\"50%\" x=\"%4g%g4\" y=\"%2\" z=\"plain\">x%20y<b/>%7e</a>");
    XmlElement* a = child(root.get(), "a");
    ASSERT_NE(a, nullptr);
    XmlValue* v = a->findAttribute(XmlName("v"));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type(), XmlValue::RAW);
    EXPECT_EQ(bytesOf(v), "aAb");
    EXPECT_EQ(textOf(v), "");  // raw bytes have no text form
    EXPECT_EQ(bytesOf(a->findAttribute(XmlName("w"))), "50%");
    EXPECT_EQ(bytesOf(a->findAttribute(XmlName("x"))), std::string("\x04\x00", 2));
    EXPECT_EQ(bytesOf(a->findAttribute(XmlName("y"))), "%2");
    EXPECT_EQ(a->findAttribute(XmlName("z"))->type(), XmlValue::TEXT);
    // The text of an element collects its segments; once a "%" is in it, the whole text is decoded.
    EXPECT_EQ(a->text()->type(), XmlValue::RAW);
    EXPECT_EQ(bytesOf(a->text()), "x y~");
}

TEST(XmlParser, TextSegmentsJoin) {
    auto root = parse("<a>x<b/>y</a><c>  one \n<d>inner</d>\n  two\t<e>e</e>  </c>");
    EXPECT_EQ(textOf(child(root.get(), "a")->text()), "xy");
    XmlElement* c = child(root.get(), "c");
    ASSERT_NE(c, nullptr);
    // Leading white space of each segment is dropped, trailing white space kept; a child's own text does not
    // mix into its parent's.
    EXPECT_EQ(textOf(c->text()), "one \ntwo\t");
    EXPECT_EQ(textOf(child(c, "d")->text()), "inner");
    EXPECT_EQ(textOf(child(c, "e")->text()), "e");

    std::string longText(3000, 'q');
    auto cut = parse("<t>" + longText + "</t><after/>");
    EXPECT_EQ(textOf(child(cut.get(), "t")->text()), std::string(2047, 'q'));
    EXPECT_NE(child(cut.get(), "after"), nullptr);
}

TEST(XmlParser, CommentsAreSkipped) {
    XmlParser parser;
    auto root = parse(
        "<!-- head\n comment -->\n<a>\n<!-- between\n\n -->\n<b id=\"1\"/><!--x--><!--y--><c/>"
        "<!-- dashes ---><d/>te<!-- in text -->xt</a>\n<!-- never closed <e/>",
        &parser);
    XmlElement* a = child(root.get(), "a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->childCount(), 3);
    EXPECT_NE(child(a, "b"), nullptr);
    EXPECT_NE(child(a, "c"), nullptr);
    EXPECT_NE(child(a, "d"), nullptr);
    EXPECT_EQ(textOf(a->text()), "text");
    EXPECT_EQ(root->findElement(XmlName("e")), nullptr);
    EXPECT_EQ(root->childCount(), 1);
    EXPECT_EQ(parser.getLineNumber(), 5);  // line feeds inside comments do not count
    EXPECT_EQ(parser.getElementsCreated(), 4);
    EXPECT_EQ(parser.getElementsClosed(), 4);

    // A comment that the end of the stream cuts off ends the parse; the text read before it stays.
    auto cut = parse("<a>text<!-- cut off <b/>");
    ASSERT_NE(child(cut.get(), "a"), nullptr);
    EXPECT_EQ(textOf(child(cut.get(), "a")->text()), "text");
    EXPECT_EQ(child(cut.get(), "a")->childCount(), 0);
}

TEST(XmlParser, MalformedTextNeverFails) {
    auto root = parse("</stray><a><b></x></a2><c/>text");
    // "</x>" ends b, "</a2>" ends a, whatever the names.
    XmlElement* a = child(root.get(), "a");
    ASSERT_NE(a, nullptr);
    EXPECT_NE(child(a, "b"), nullptr);
    EXPECT_NE(child(root.get(), "c"), nullptr);

    auto selfClosing = parse("<a /><b x=\"1\"/><c/>");
    EXPECT_EQ(selfClosing->childCount(), 3);
    EXPECT_EQ(textOf(child(selfClosing.get(), "b")->findAttribute(XmlName("x"))), "1");

    auto attributes = parse("<a  one=\"1\"\ttwo = \"2\" empty=\"\" =\"nameless\" bare three=\"3\" q='x' >");
    XmlElement* element = child(attributes.get(), "a");
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(textOf(element->findAttribute(XmlName("one"))), "1");
    EXPECT_EQ(textOf(element->findAttribute(XmlName("two"))), "2");
    EXPECT_EQ(element->findAttribute(XmlName("empty")), nullptr);
    EXPECT_EQ(element->findAttribute(XmlName("")), nullptr);
    EXPECT_EQ(element->findAttribute(XmlName("q")), nullptr);  // single quotes are not quotes

    // Names and attribute text are cut at their buffer sizes, never overrun.
    std::string longName(400, 'n');
    std::string longAttribute(300, 'k');
    std::string longValue(1500, 'v');
    auto cut =
        parse("<" + longName + " " + longAttribute + "=\"1\" more=\"" + longValue + "\" last=\"z\"/><next/>");
    XmlElement* named = cut->firstChild();
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(std::string(named->name().text()), std::string(255, 'n'));
    EXPECT_EQ(textOf(named->findAttribute(XmlName(std::string(127, 'k').c_str()))), "1");
    XmlValue* more = named->findAttribute(XmlName("more"));
    ASSERT_NE(more, nullptr);
    EXPECT_LT(more->length(), 1024);
    EXPECT_EQ(named->findAttribute(XmlName("last")), nullptr);  // beyond 1024 characters of attribute text
    EXPECT_NE(child(cut.get(), "next"), nullptr);

    // A tag cut off by the end of the stream is dropped.
    EXPECT_EQ(parse("<a><b x=\"1")->findElement(XmlName("b")), nullptr);
    EXPECT_EQ(parse("")->childCount(), 0);
    EXPECT_EQ(parse("just text")->childCount(), 0);
}

TEST(XmlParser, NestingIsBounded) {
    const int depth = 100000;
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    XmlParser parser;
    auto root = parse(text + "<deep/>", &parser);
    EXPECT_TRUE(parser.wasTooDeep());
    EXPECT_EQ(depthOf(root.get()), XmlParser::MAX_DEPTH);

    std::string balanced;
    for (int i = 0; i < XmlParser::MAX_DEPTH; ++i)
        balanced += "<a>";
    for (int i = 0; i < XmlParser::MAX_DEPTH; ++i)
        balanced += "</a>";
    auto full = parse(balanced + "<b/>", &parser);
    EXPECT_FALSE(parser.wasTooDeep());
    EXPECT_EQ(depthOf(full.get()), XmlParser::MAX_DEPTH);
    EXPECT_NE(child(full.get(), "b"), nullptr);

    // The binary form: records nested one in the other.
    std::string binary;
    for (int i = 0; i < depth; ++i)
        binary += std::string(i == 0 ? "" : "\x01") + std::string(
                                                          "\x01\x01"
                                                          "a\x00",
                                                          4);
    auto deepBinary = parse(binary, &parser);
    EXPECT_TRUE(parser.wasTooDeep());
    EXPECT_EQ(depthOf(deepBinary.get()), XmlParser::MAX_DEPTH);
}

TEST(XmlParser, BinaryFormIsDetectedByItsFirstByte) {
    // <root n="hi" id=7> with one child named by id 0x01020304 and an unsigned attribute.
    const uint8_t bytes[] = {
        1,   4,   'r',  'o',  'o', 't',               // marker, name as text
        1,   1,   'n',  1,    3,   0,   'h', 'i', 0,  // attribute n: text "hi" with its terminator
        1,   0,   0x39, 0x05, 0,   0,   4,   4,   0, 7,   0, 0, 0,  // attribute by id 0x539: signed 7
        1,   1,   'z',  2,    0,   0,                               // attribute of length 0: skipped
        1,   1,   'f',  9,    1,   0,   0,                          // unknown type: skipped
        0,                                                          // end of attributes
        1,   1,   0,    4,    3,   2,   1,   1,   1, 'u', 3, 4, 0,
        1,   0,   0,    0,    0,   0,  // child by id with unsigned u = 1
        0,                             // end of children
        'r', 'e', 's',  't'};
    mt::MemoryStream stream(const_cast<uint8_t*>(bytes), sizeof bytes, mt::STREAM_NOT_OWNER);
    XmlParser parser;
    std::unique_ptr<XmlElement> root(parser.parseStream(&stream));
    ASSERT_TRUE(root);
    ASSERT_EQ(root->childCount(), 1);
    XmlElement* top = root->firstChild();
    EXPECT_STREQ(top->name().text(), "root");
    EXPECT_EQ(top->attributeCount(), 2);
    EXPECT_EQ(textOf(top->findAttribute(XmlName("n"))), "hi");
    XmlValue* id = top->findAttribute(XmlName(0x539u));
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->type(), XmlValue::SIGNED);
    EXPECT_EQ(id->getInt(), 7);
    ASSERT_EQ(top->childCount(), 1);
    EXPECT_EQ(top->firstChild()->name().id(), 0x01020304u);
    EXPECT_FALSE(top->firstChild()->name().hasText());
    EXPECT_EQ(top->firstChild()->findAttribute(XmlName("u"))->getInt(), 1);
    // The bytes after the record are left in the stream.
    EXPECT_EQ(stream.getReadPosition(), static_cast<int32_t>(sizeof bytes - 4));

    // Cut anywhere, the binary form gives what was complete and never reads beyond the data.
    for (size_t cut = 1; cut < sizeof bytes - 4; ++cut) {
        std::vector<uint8_t> part(bytes, bytes + cut);
        mt::MemoryStream partial(part.data(), static_cast<int32_t>(part.size()), mt::STREAM_NOT_OWNER);
        std::unique_ptr<XmlElement> some(parser.parseStream(&partial));
        ASSERT_TRUE(some);
        EXPECT_LE(some->childCount(), 1);
    }
}
