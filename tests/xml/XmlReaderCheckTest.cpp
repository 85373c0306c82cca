// The reader against the plain reference reader of the fuzz targets, on the fuzz corpora, on random and
// edge-case inputs and on streams that hand out a few bytes at a time; documents of many attributes; and
// the lifetime of parsed elements, which share their document's memory.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fuzz/XmlTreeCheck.h"
#include "mt/stream/InputStream.h"
#include "mt/stream/MemoryStream.h"
#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlParser.h"
#include "mt/xml/XmlWriter.h"

using mt::XmlElement;
using mt::XmlName;
using mt::XmlParser;
using mt::XmlValue;

namespace {

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string check(const std::string& bytes) {
    return fuzzcheck::checkInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Hands out at most `step` bytes per read, so that the reader refills its buffer at every place.
class TrickleStream : public mt::InputStream {
  public:
    TrickleStream(const std::string& bytes, int step) : bytes(bytes), step(step) {}
    int32_t read(void* destination, int32_t count) override {
        int32_t left = static_cast<int32_t>(bytes.size()) - position;
        int32_t now = std::min({count, left, step});
        if (now <= 0)
            return 0;
        std::memcpy(destination, bytes.data() + position, static_cast<size_t>(now));
        position += now;
        return now;
    }
    bool setPosition(int32_t to) override {
        if (to < 0 || to > static_cast<int32_t>(bytes.size()))
            return false;
        position = to;
        return true;
    }
    bool peekByte(uint8_t& value) override {
        if (position >= static_cast<int32_t>(bytes.size()))
            return false;
        value = static_cast<uint8_t>(bytes[static_cast<size_t>(position)]);
        return true;
    }
    int32_t tell() override { return position; }
    int32_t available() override { return static_cast<int32_t>(bytes.size()) - position; }
    void reset() override { position = 0; }
    bool isOpen() override { return true; }

  private:
    std::string bytes;
    int32_t step;
    int32_t position = 0;
};

// Text drawn from the characters that steer the reader, with names, quotes and comments in the mix.
std::string randomDocument(std::mt19937& random, size_t length) {
    static const char* const pieces[] = {
        "<",    ">", "/", "\"",   "=",   " ",    "\n",   "\t", "\r", "%",    "%41",  "%4", "!--",    "-->",
        "<!--", "a", "b", "x=\"", "<a ", "</a>", "<b/>", "q",  "\0", "\xff", "7901", "-",  "<!---->"};
    std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
    std::string out;
    while (out.size() < length) {
        const char* piece = pieces[pick(random)];
        out.append(piece, *piece ? std::strlen(piece) : 1);
    }
    return out;
}

void appendBinaryAttribute(std::string& out, uint32_t id, uint8_t type, const char* bytes, size_t length) {
    const char head[] = {1,
                         0,
                         static_cast<char>(id),
                         static_cast<char>(id >> 8),
                         static_cast<char>(id >> 16),
                         static_cast<char>(id >> 24),
                         static_cast<char>(type),
                         static_cast<char>(length & 0xFF),
                         static_cast<char>(length >> 8)};
    out.append(head, sizeof head);
    out.append(bytes, length);
}

// The value attribute id gets: the last one (which must stay) or the first; a third of them longer than a
// value holds inside itself. Texts carry their terminator.
size_t attributeValue(char* out, uint32_t id, bool last) {
    int length = std::snprintf(out, 64, "%s %u%s", last ? "final" : "first", id,
                               id % 3 == 1 ? "LLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLL" : "");
    return static_cast<size_t>(length) + 1;
}

// One element with `count` attributes by id, each given twice: first in order with a first value, then
// again in reverse order with the value that must stay, some of them as raw bytes.
std::string manyAttributes(uint32_t count) {
    std::string out;
    out.reserve(static_cast<size_t>(count) * 2 * 40 + 16);
    out.append("\x01\x00\x01\x00\x00\x00", 6);
    char value[64];
    for (uint32_t id = 0; id < count; ++id)
        appendBinaryAttribute(out, id + 100, XmlValue::TEXT, value, attributeValue(value, id, false));
    for (uint32_t id = count; id-- > 0;)
        appendBinaryAttribute(out, id + 100, id % 5 == 0 ? XmlValue::RAW : XmlValue::TEXT, value,
                              attributeValue(value, id, true));
    out.append(2, '\0');
    return out;
}

void expectManyAttributes(const XmlElement* element, uint32_t count) {
    ASSERT_NE(element, nullptr);
    ASSERT_EQ(element->attributeCount(), static_cast<int>(count));
    uint32_t id = 0;
    uint32_t wrong = 0;
    char expected[64];
    for (const mt::XmlAttribute* a = element->firstAttribute(); a; a = a->next, ++id) {
        size_t length = attributeValue(expected, id, true);
        const uint8_t type = id % 5 == 0 ? XmlValue::RAW : XmlValue::TEXT;
        if (a->name.id() != id + 100 || a->value.type() != type ||
            a->value.length() != static_cast<int>(length) ||
            std::memcmp(a->value.bytes(), expected, length) != 0)
            ++wrong;
    }
    EXPECT_EQ(wrong, 0u);
}

std::unique_ptr<XmlElement> parse(const std::string& bytes) {
    XmlParser parser;
    return fuzzcheck::parse(parser, bytes.data(), bytes.size());
}

}  // namespace

// Every seed of both targets, replayed with the targets' own assertions.
TEST(XmlReaderCheck, FuzzCorporaHoldEveryCheck) {
    int files = 0;
    for (const char* target : {"fuzz_xml_text", "fuzz_xml_binary"}) {
        std::filesystem::path corpus = std::filesystem::path(MT_SOURCE_DIR) / "fuzz/seeds" / target;
        ASSERT_TRUE(std::filesystem::is_directory(corpus)) << corpus;
        for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
            std::string bytes = readAll(entry.path());
            if (std::strcmp(target, "fuzz_xml_binary") == 0)
                bytes.insert(bytes.begin(), static_cast<char>(XmlParser::BINARY_MARKER));
            EXPECT_EQ(check(bytes), "") << entry.path();
            ++files;
        }
    }
    EXPECT_GE(files, 8);
}

TEST(XmlReaderCheck, RandomAndEdgeInputsGiveTheReferenceTree) {
    std::mt19937 random(1234);
    std::vector<std::string> inputs = {"",
                                       "<",
                                       "<!",
                                       "<!-",
                                       "<!--",
                                       "<!-- x",
                                       "<a>text<!-- cut off",
                                       "<a>x<!---->y<!-- -- --->z</a>",
                                       "<a\n b=\"1\"\n/>",
                                       "<a b=\"<!-- c -->\"/>",
                                       "<a/<!--x-->>",
                                       "<a b=\">\" c=\"d\">t</a>",
                                       "<a x=\"1\" y=\"2\" x=\"3\" x=\"4\"/>",
                                       std::string("<a>\0b</a>", 9),
                                       "<a %=\"%\">%%%</a>"};
    // Tags, texts and comments that straddle the reader's buffer boundaries.
    for (size_t pad : {8180u, 8189u, 8190u, 8191u, 8192u, 8193u, 16380u}) {
        for (const char* tail :
             {"<a b=\"c\">text</a>", "<!-- comment --><a/>", "<a>\nline\n</a>", "<a b=\"c\nd\"/>"})
            inputs.push_back(std::string(pad, ' ') + tail);
        inputs.push_back("<t>" + std::string(pad, 'x') + "<!--" + std::string(100, '-') + "-><u/></t>");
    }
    // A "%" just inside and just beyond the text an element keeps, and names at their limits.
    for (int kept : {2044, 2045, 2046, 2047}) {
        inputs.push_back("<t>" + std::string(static_cast<size_t>(kept), 'x') + "%41y</t>");
        inputs.push_back("<t>a<b/>" + std::string(static_cast<size_t>(kept - 1), '\n') + "%41<c/></t>");
    }
    for (size_t length : {126u, 127u, 128u, 254u, 255u, 256u}) {
        inputs.push_back("<" + std::string(length, 'n') + "/><" + std::string(length, 'm') + " " +
                         std::string(length, 'k') + "=\"v\"/>");
        inputs.push_back("<n" + std::string(length, '/') + "><e " + std::string(length * 4, 'a') +
                         "=\"1\" b=\"2\"/>");
    }
    for (int i = 0; i < 300; ++i)
        inputs.push_back(randomDocument(random, 1 + random() % (i < 280 ? 200 : 20000)));
    for (const std::string& input : inputs) {
        if (!input.empty() && input[0] == XmlParser::BINARY_MARKER)
            continue;
        ASSERT_EQ(check(input), "") << input.substr(0, 200);
        for (int step : {1, 3, 4096}) {
            TrickleStream trickle(input, step);
            XmlParser parser;
            std::unique_ptr<XmlElement> root(parser.parseStream(&trickle));
            fuzzcheck::ReferenceReader reference(reinterpret_cast<const uint8_t*>(input.data()),
                                                 input.size());
            ASSERT_EQ(
                fuzzcheck::difference(reference.read().get(), root.get(), fuzzcheck::Compare::IDENTICAL), "")
                << "read " << step << " bytes at a time: " << input.substr(0, 200);
        }
    }
    // Binary records: random bytes behind the marker, and whole records cut anywhere.
    const std::string record = manyAttributes(20);
    for (size_t cut = 0; cut <= record.size(); cut += 7)
        ASSERT_EQ(check(record.substr(0, cut)), "") << cut;
    for (int i = 0; i < 300; ++i) {
        std::string bytes(1, '\x01');
        for (size_t n = random() % 300; n > 0; --n)
            bytes += static_cast<char>(random() % 4 == 0 ? random() % 256 : random() % 6);
        ASSERT_EQ(check(bytes), "");
    }
}

// Repeated names keep the first place and the last value, as setAttribute one by one would.
TEST(XmlReaderCheck, RepeatedAttributeNamesMergeIntoTheFirst) {
    auto root = parse("<a x=\"1\" y=\"2\" x=\"3\" z=\"4\" x=\"5%41\"/>");
    XmlElement* a = root->firstChild();
    ASSERT_EQ(a->attributeCount(), 3);
    EXPECT_EQ(a->firstAttribute()->name, XmlName("x"));
    EXPECT_EQ(fuzzcheck::bytesOf(*a->findAttribute(XmlName("x"))), "5A");
    EXPECT_EQ(a->findAttribute(XmlName("x"))->type(), XmlValue::RAW);
    EXPECT_EQ(a->firstAttribute()->next->name, XmlName("y"));
    for (uint32_t count : {3u, 8u, 9u, 50u}) {
        std::string bytes = manyAttributes(count);
        auto binary = parse(bytes);
        expectManyAttributes(binary->firstChild(), count);
    }
}

// One element of 4 * 250,000 attributes (every name twice) and one of a quarter of that: reading, copying
// and writing them all take time in step with the input (a search per attribute took hours here; the test
// time-out catches that).
TEST(XmlReaderCheck, ManyAttributesAreReadAndCopiedInLinearTime) {
    for (uint32_t count : {62500u, 250000u}) {
        std::string bytes = manyAttributes(count);
        XmlParser parser;
        std::unique_ptr<XmlElement> root = fuzzcheck::parse(parser, bytes.data(), bytes.size());
        ASSERT_EQ(root->childCount(), 1);
        expectManyAttributes(root->firstChild(), count);

        XmlElement copy(*root->firstChild());
        root.reset();  // the copy owns its memory
        expectManyAttributes(&copy, count);

        mt::MemoryStream binary(mt::STREAM_BINARY);
        ASSERT_TRUE(mt::XmlWriter::writeBinary(&copy, &binary, false));
        std::unique_ptr<XmlElement> again(parser.parseStream(&binary));
        expectManyAttributes(again->firstChild(), count);
    }
}

// Parsed elements share their document's memory; each may still be detached, kept, moved, edited or
// deleted on its own, in any order.
TEST(XmlReaderCheck, ParsedElementsOutliveTheirDocument) {
    const std::string text = "<doc><keep a=\"1\" long=\"" + std::string(100, 'v') +
                             "\">text of keep<inner b=\"2\"/></keep>"
                             "<move c=\"3\"/><drop/><last d=\"4\"/></doc>";
    auto root = parse(text);
    XmlElement* doc = root->firstChild();
    XmlElement* keep = doc->findChild(XmlName("keep"));
    XmlElement* move = doc->findChild(XmlName("move"));
    ASSERT_TRUE(keep && move);
    keep->detach();
    XmlElement handMade(XmlName("handMade"));
    ASSERT_TRUE(handMade.appendChild(move));
    delete doc->findChild(XmlName("drop"));
    EXPECT_EQ(doc->childCount(), 1);
    EXPECT_EQ(doc->firstChild()->name(), XmlName("last"));
    root.reset();

    EXPECT_EQ(std::string(keep->name().text()), "keep");
    EXPECT_EQ(std::string(keep->findAttribute(XmlName("long"))->getText().cstr()), std::string(100, 'v'));
    EXPECT_EQ(std::string(keep->text()->getText().cstr()), "text of keep");
    EXPECT_EQ(keep->findElement(XmlName("inner"))->findAttribute(XmlName("b"))->getInt(), 2);
    EXPECT_EQ(handMade.firstChild()->findAttribute(XmlName("c"))->getInt(), 3);

    // Edits on a parsed element: values grow out of their place, records go and come back.
    for (int round = 0; round < 100; ++round) {
        std::string value(static_cast<size_t>(round * 3), 'e');
        keep->setAttribute(XmlName("a"), XmlValue::fromText(value.c_str()));
        keep->setAttribute(XmlName(("n" + std::to_string(round % 7)).c_str()), XmlValue::fromText("x"));
        EXPECT_TRUE(keep->removeAttribute(XmlName(("n" + std::to_string(round % 7)).c_str())));
        ASSERT_EQ(std::string(keep->findAttribute(XmlName("a"))->getText().cstr()), value);
    }
    EXPECT_EQ(keep->attributeCount(), 3);
    keep->appendChild(new XmlElement(XmlName("added")));
    auto* nothrow = new (std::nothrow) XmlElement(XmlName("nothrow"));
    ASSERT_NE(nothrow, nullptr);
    keep->findChild(XmlName("inner"))->appendChild(nothrow);
    XmlElement copy(*keep);
    delete keep;
    EXPECT_NE(copy.findElement(XmlName("nothrow")), nullptr);
    EXPECT_EQ(copy.attributeCount(), 3);
}
