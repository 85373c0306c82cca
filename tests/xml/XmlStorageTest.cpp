#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "mt/xml/XmlElement.h"

using mt::XmlElement;
using mt::XmlName;
using mt::XmlValue;

// Short names are kept inside the name, long ones on the heap; both must survive copies and moves.
TEST(XmlStorage, NamesKeepTheirTextThroughCopiesAndMoves) {
    std::string longText(40, 'n');
    for (const std::string& text :
         {std::string("url"), std::string(15, 's'), std::string(16, 'x'), longText}) {
        XmlName name(text.c_str());
        XmlName copy(name);
        XmlName assigned;
        assigned = name;
        XmlName moved(std::move(copy));
        EXPECT_EQ(std::string(name.text()), text);
        EXPECT_EQ(std::string(assigned.text()), text);
        EXPECT_EQ(std::string(moved.text()), text);
        EXPECT_FALSE(copy.hasText());  // NOLINT(bugprone-use-after-move): a moved-from name has no text
        EXPECT_EQ(moved.id(), XmlName::hash(text.c_str()));
        moved = XmlName(7u);
        EXPECT_FALSE(moved.hasText());
        EXPECT_EQ(moved.id(), 7u);
    }
    XmlName empty("", 0, true);
    EXPECT_TRUE(empty.hasText());
    EXPECT_STREQ(empty.text(), "");
}

// Values move between the inline buffer and the heap as they grow and shrink.
TEST(XmlStorage, ValuesGrowAndShrink) {
    XmlValue value;
    EXPECT_EQ(value.bytes(), nullptr);
    std::string longText(300, 'L');
    value.setText("short");
    EXPECT_EQ(value.getText(), "short");
    value.setText(longText.c_str());
    EXPECT_EQ(value.length(), 301);
    EXPECT_EQ(std::string(value.getText().cstr()), longText);
    XmlValue copy = value;
    value.setText("again short");
    EXPECT_EQ(value.getText(), "again short");
    EXPECT_EQ(std::string(copy.getText().cstr()), longText);
    copy = value;
    EXPECT_EQ(copy.getText(), "again short");
    std::string raw(XmlValue::INLINE_SIZE, '\0');
    raw[3] = 'r';
    value.setRaw(raw.data(), static_cast<int>(raw.size()));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(value.bytes()), static_cast<size_t>(value.length())),
              raw);
    // A text built from the value's own bytes, one byte longer than its buffer.
    value.setText(reinterpret_cast<const char*>(value.bytes()) + 3, 1);
    EXPECT_EQ(value.getText(), "r");
    value.setUnsigned(5);
    EXPECT_EQ(value.getInt(), 5);
}

// Attribute records share a block per element until it is full; removing and adding keeps the list in order.
TEST(XmlStorage, AttributesInAndBeyondTheSharedBlock) {
    XmlElement element(XmlName("e"));
    auto names = [&] {
        std::vector<std::string> out;
        for (auto* a = element.firstAttribute(); a; a = a->next)
            out.push_back(a->name.text());
        return out;
    };
    for (int i = 0; i < 9; ++i)
        element.setAttribute(XmlName(("a" + std::to_string(i)).c_str()),
                             XmlValue::fromText(std::to_string(i).c_str()));
    EXPECT_EQ(element.attributeCount(), 9);
    EXPECT_TRUE(element.removeAttribute(XmlName("a1")));
    EXPECT_TRUE(element.removeAttribute(XmlName("a6")));
    EXPECT_TRUE(element.removeAttribute(XmlName("a0")));
    element.setAttribute(XmlName("b"), XmlValue::fromText("new"));
    element.setAttribute(XmlName("c"), XmlValue::fromText(std::string(100, 'c').c_str()));
    EXPECT_EQ(names(), (std::vector<std::string>{"a2", "a3", "a4", "a5", "a7", "a8", "b", "c"}));
    for (int i : {2, 3, 4, 5, 7, 8})
        EXPECT_EQ(element.findAttribute(XmlName(("a" + std::to_string(i)).c_str()))->getInt(), i);
    EXPECT_EQ(element.findAttribute(XmlName("c"))->length(), 101);

    XmlElement copy(element);
    element.removeAllAttributes();
    EXPECT_EQ(element.attributeCount(), 0);
    EXPECT_EQ(copy.attributeCount(), 8);
    element.setAttribute(XmlName("again"), XmlValue::fromText("x"));
    EXPECT_EQ(names(), (std::vector<std::string>{"again"}));
}
