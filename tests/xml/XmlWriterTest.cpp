#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "mt/stream/MemoryStream.h"
#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlParser.h"
#include "mt/xml/XmlWriter.h"

using mt::XmlElement;
using mt::XmlName;
using mt::XmlParser;
using mt::XmlValue;
using mt::XmlWriter;

namespace {

std::string contents(mt::MemoryStream& stream) {
    int32_t length = 0;
    const uint8_t* bytes = stream.peekBuffer(length);
    return bytes ? std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length))
                 : std::string();
}

std::string asText(const XmlElement* element, int depth = 0) {
    mt::MemoryStream out(mt::STREAM_BINARY);
    EXPECT_TRUE(XmlWriter::writeText(element, &out, depth));
    return contents(out);
}

std::unique_ptr<XmlElement> parseBytes(const std::string& bytes) {
    mt::MemoryStream in(reinterpret_cast<uint8_t*>(const_cast<char*>(bytes.data())),
                        static_cast<int>(bytes.size()), mt::STREAM_NOT_OWNER);
    XmlParser parser;
    return std::unique_ptr<XmlElement>(parser.parseStream(&in));
}

XmlValue text(const char* characters) {
    return XmlValue::fromText(characters);
}

std::string bytesOf(const XmlValue& value) {
    return std::string(reinterpret_cast<const char*>(value.bytes()), static_cast<size_t>(value.length()));
}

// Values as the text form gives them back: numbers as their decimal text, texts that the writer had to
// encode as raw bytes of their characters.
::testing::AssertionResult sameValue(const XmlValue& written, const XmlValue& read) {
    if (written.type() == read.type() && bytesOf(written) == bytesOf(read))
        return ::testing::AssertionSuccess();
    if ((written.type() == XmlValue::UNSIGNED || written.type() == XmlValue::SIGNED) &&
        read.type() == XmlValue::TEXT && written.getInt() == read.getInt())
        return ::testing::AssertionSuccess();
    if (written.type() == XmlValue::TEXT && read.type() == XmlValue::RAW &&
        std::string(reinterpret_cast<const char*>(written.bytes())) == bytesOf(read))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "type " << int(written.type()) << " [" << bytesOf(written) << "] read as type "
           << int(read.type()) << " [" << bytesOf(read) << "]";
}

// Same names, attributes (in order, the text included) and children, over the whole subtree.
::testing::AssertionResult sameTree(const XmlElement* a, const XmlElement* b, bool exactValues) {
    if (a->name() != b->name())
        return ::testing::AssertionFailure() << "name " << a->name().id() << " vs " << b->name().id();
    if (a->attributeCount() != b->attributeCount())
        return ::testing::AssertionFailure() << "attribute count in " << a->name().id();
    for (auto *x = a->firstAttribute(), *y = b->firstAttribute(); x; x = x->next, y = y->next) {
        if (x->name != y->name)
            return ::testing::AssertionFailure() << "attribute name " << x->name.id();
        auto same = exactValues
                        ? (x->value.type() == y->value.type() && bytesOf(x->value) == bytesOf(y->value)
                               ? ::testing::AssertionSuccess()
                               : ::testing::AssertionFailure() << "value of " << x->name.id())
                        : sameValue(x->value, y->value);
        if (!same)
            return same;
    }
    if (a->childCount() != b->childCount())
        return ::testing::AssertionFailure() << "child count in " << a->name().id();
    for (auto *x = a->firstChild(), *y = b->firstChild(); x; x = x->nextSibling(), y = y->nextSibling()) {
        auto same = sameTree(x, y, exactValues);
        if (!same)
            return same;
    }
    return ::testing::AssertionSuccess();
}

// A random tree whose every value the text form can carry (no empty values, texts within the reader's
// limits), texts with and without characters that need encoding.
std::unique_ptr<XmlElement> randomTree(std::mt19937& random, int elements) {
    auto randomName = [&](int maxLength) {
        static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789";
        std::string name(1 + random() % maxLength, 'x');
        for (char& c : name)
            c = letters[random() % (sizeof letters - 1)];
        return name;
    };
    auto randomText = [&]() {
        static const char pool[] = "abc XYZ 09.,;:!?/=-+*'\"<>%&\t\n\xe4\xf6\xfc";
        std::string value(1 + random() % 40, 'x');
        for (char& c : value)
            c = pool[random() % (sizeof pool - 1)];
        return value;
    };
    auto root = std::make_unique<XmlElement>(XmlName(randomName(12).c_str()));
    std::vector<XmlElement*> all{root.get()};
    for (int i = 1; i < elements; ++i) {
        auto* element = new XmlElement(XmlName(randomName(12).c_str()));
        all[random() % all.size()]->appendChild(element);
        all.push_back(element);
    }
    for (XmlElement* element : all) {
        int attributes = random() % 4;
        for (int k = 0; k < attributes; ++k) {
            XmlValue value;
            switch (random() % 4) {
                case 0:
                    value.setText(randomText().c_str());
                    break;
                case 1: {
                    std::string raw = randomText() + std::string(1, '\0') + "\xff";
                    value.setRaw(raw.data(), static_cast<int>(raw.size()));
                    break;
                }
                case 2:
                    value.setUnsigned(static_cast<uint32_t>(random()));
                    break;
                default:
                    value.setSigned(-static_cast<int32_t>(random() % 100000));
                    break;
            }
            element->setAttribute(XmlName(randomName(8).c_str()), value);
        }
        if (random() % 3 == 0)
            element->setText(text(randomText().c_str()));
    }
    return root;
}

}  // namespace

TEST(XmlWriter, TextLayout) {
    XmlElement root(XmlName("root"));
    root.setAttribute(XmlName("url"), text("http://shop/x"));
    root.setAttribute(XmlName("quote"), text("say \"hi\""));
    XmlValue raw;
    raw.setRaw("a b", 3);
    root.setAttribute(XmlName("raw"), raw);
    XmlValue number;
    number.setUnsigned(4000000000u);
    root.setAttribute(XmlName("n"), number);
    number.setSigned(-12);
    root.setAttribute(XmlName(77u), number);
    auto* empty = new XmlElement(XmlName("empty"));
    auto* withText = new XmlElement(XmlName("t"));
    withText->setText(text("hello"));
    auto* parent = new XmlElement(XmlName("p"));
    parent->appendChild(new XmlElement(XmlName("q")));
    root.appendChild(empty);
    root.appendChild(withText);
    root.appendChild(parent);

    EXPECT_EQ(
        asText(&root),
        "<root url=\"http://shop/x\" quote=\"say%20%22hi%22\" raw=\"a%20b\" n=\"4000000000\" 77=\"-12\">\r\n"
        "\t<empty/>\r\n"
        "\t<t>hello</t>\r\n"
        "\t<p>\r\n"
        "\t\t<q/>\r\n"
        "\t</p>\r\n"
        "</root>");
    EXPECT_EQ(asText(empty, 2), "\t\t<empty/>");

    // Text before children is followed directly by the first child, so that it reads back unchanged.
    parent->setText(text("before"));
    EXPECT_EQ(asText(parent), "<p>before<q/>\r\n</p>");
    XmlElement nameless;
    EXPECT_EQ(asText(&nameless), "<0/>");

    // A stream that refuses bytes is reported.
    mt::MemoryStream tiny(16, false, mt::STREAM_BINARY);
    EXPECT_FALSE(XmlWriter::writeText(&root, &tiny));
    EXPECT_FALSE(XmlWriter::writeBinary(&root, &tiny, true));
    EXPECT_FALSE(XmlWriter::writeText(nullptr, &tiny));
}

TEST(XmlWriter, TextRoundTripOfGeneratedTrees) {
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        auto tree = randomTree(random, 1 + round * 3);
        mt::MemoryStream out(mt::STREAM_BINARY);
        XmlElement document;
        document.appendChild(new XmlElement(*tree));
        document.appendChild(new XmlElement(XmlName("second")));
        ASSERT_TRUE(XmlWriter::writeTextDocument(&document, &out));
        std::string written = contents(out);
        auto read = parseBytes(written);
        ASSERT_TRUE(read);
        ASSERT_EQ(read->childCount(), 2) << written;
        EXPECT_TRUE(sameTree(tree.get(), read->firstChild(), false)) << written;
    }
}

TEST(XmlWriter, BinaryRoundTripOfGeneratedTrees) {
    std::mt19937 random(5);
    for (int round = 0; round < 40; ++round) {
        auto tree = randomTree(random, 1 + round * 5);
        XmlValue floating;
        floating.setFloat(1.25f);
        tree->setAttribute(XmlName("f"), floating);
        for (bool namesAsText : {true, false}) {
            mt::MemoryStream out(mt::STREAM_BINARY);
            ASSERT_TRUE(XmlWriter::writeBinary(tree.get(), &out, namesAsText));
            std::string written = contents(out);
            ASSERT_EQ(written[0], 1);
            auto read = parseBytes(written);
            ASSERT_EQ(read->childCount(), 1);
            EXPECT_TRUE(sameTree(tree.get(), read->firstChild(), true));
            EXPECT_EQ(read->firstChild()->name().hasText(), namesAsText);
        }
    }

    // A name too long for its length byte is written by id.
    std::string longName(300, 'L');
    XmlElement element(XmlName(longName.c_str()));
    element.setAttribute(XmlName(longName.c_str()), text("v"));
    mt::MemoryStream out(mt::STREAM_BINARY);
    ASSERT_TRUE(XmlWriter::writeBinary(&element, &out, true));
    auto read = parseBytes(contents(out));
    XmlElement* copy = read->firstChild();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->name(), element.name());
    EXPECT_FALSE(copy->name().hasText());
    EXPECT_NE(copy->findAttribute(XmlName(longName.c_str())), nullptr);
}

TEST(XmlWriter, DeepTreesAreWrittenWithoutRecursion) {
    XmlElement root(XmlName("a"));
    XmlElement* current = &root;
    for (int i = 0; i < 50000; ++i) {
        auto* next = new XmlElement(XmlName("a"));
        current->appendChild(next);
        current = next;
    }
    mt::MemoryStream binary(mt::STREAM_BINARY);
    ASSERT_TRUE(XmlWriter::writeBinary(&root, &binary, false));
    EXPECT_EQ(binary.getSize(), 50001 * 8 + 50000);
    XmlParser parser;
    std::unique_ptr<XmlElement> read(parser.parseStream(&binary));
    EXPECT_TRUE(parser.wasTooDeep());

    XmlElement shallow(XmlName("a"));
    current = &shallow;
    for (int i = 0; i < 3000; ++i) {
        auto* next = new XmlElement(XmlName("b"));
        current->appendChild(next);
        current = next;
    }
    std::string text = asText(&shallow);
    EXPECT_EQ(text.substr(text.size() - 4), "</a>");
}
