#include <gtest/gtest.h>

#include <memory>

#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlName.h"
#include "mt/xml/XmlValue.h"

using mt::XmlElement;
using mt::XmlName;
using mt::XmlValue;

TEST(XmlName, HashValues) {
    EXPECT_EQ(XmlName("a").id(), 97u);
    EXPECT_EQ(XmlName("ab").id(), 3528194u);
    EXPECT_EQ(XmlName("").id(), 0u);
    EXPECT_EQ(XmlName::hash(nullptr), 0u);
    // Bytes above 127 count as negative values.
    EXPECT_EQ(XmlName("\xff").id(), 0xFFFFFFFFu);
    EXPECT_EQ(XmlName::hash("selling", 4), XmlName("sell").id());
}

TEST(XmlName, TextIsKeptOnlyWhenAskedAndNeverCompared) {
    XmlName kept("url");
    XmlName bare("url", false);
    EXPECT_STREQ(kept.text(), "url");
    EXPECT_EQ(bare.text(), nullptr);
    EXPECT_EQ(kept, bare);
    EXPECT_EQ(XmlName(kept.id()), kept);
    XmlName copy = kept;
    EXPECT_STREQ(copy.text(), "url");
    EXPECT_NE(copy.text(), kept.text());
    EXPECT_EQ(XmlName::textContent().id(), 7901u);
}

TEST(XmlValue, TypedSettersStoreTheDocumentedBytes) {
    XmlValue value;
    value.setText("abc");
    EXPECT_EQ(value.type(), XmlValue::TEXT);
    EXPECT_EQ(value.length(), 4);
    EXPECT_EQ(value.bytes()[3], 0);
    value.setUnsigned(0x01020304u);
    EXPECT_EQ(value.type(), XmlValue::UNSIGNED);
    ASSERT_EQ(value.length(), 4);
    EXPECT_EQ(value.bytes()[0], 4);
    EXPECT_EQ(value.bytes()[3], 1);
    value.setRaw("a\0b", 3);
    EXPECT_EQ(value.type(), XmlValue::RAW);
    EXPECT_EQ(value.length(), 3);
}

TEST(XmlValue, GettersConvertBetweenTypes) {
    XmlValue text = XmlValue::fromText("42.5");
    EXPECT_EQ(text.getInt(), 42);
    EXPECT_FLOAT_EQ(text.getReal(), 42.5f);
    EXPECT_TRUE(text.getBool());
    EXPECT_EQ(text.getText(), "42.5");

    XmlValue big;
    big.setUnsigned(3000000000u);
    EXPECT_FLOAT_EQ(big.getReal(), 3000000000.0f);
    EXPECT_EQ(big.getText(), "-1294967296");  // decimal text goes through the signed conversion
    XmlValue negative;
    negative.setSigned(-5);
    EXPECT_EQ(negative.getInt(), -5);
    EXPECT_FLOAT_EQ(negative.getReal(), -5.0f);
    EXPECT_EQ(negative.getText(), "-5");

    XmlValue real;
    real.setFloat(-2.75f);
    EXPECT_EQ(real.getInt(), -2);
    EXPECT_TRUE(real.getBool());
    EXPECT_EQ(real.getText(), "-2.750000");
    real.setFloat(1e30f);
    EXPECT_EQ(real.getInt(), 2147483647);  // saturates instead of overflowing

    XmlValue raw = XmlValue::fromRaw("aAb", 3);
    EXPECT_EQ(raw.getText(), "");
    EXPECT_EQ(raw.getInt(), 0);
    EXPECT_FALSE(raw.getBool());
    EXPECT_FLOAT_EQ(raw.getReal(), 0.0f);
    EXPECT_EQ(XmlValue().getText(), "");
}

TEST(XmlValue, OverlongValuesAreCutToTheLengthField) {
    std::string longText(70000, 'x');
    XmlValue value = XmlValue::fromText(longText.c_str());
    EXPECT_EQ(value.length(), 0xFFFF);
    EXPECT_EQ(value.getText().length(), 0xFFFE);
    XmlValue stored;
    EXPECT_FALSE(stored.setStored(9, "x", 1));
    EXPECT_FALSE(stored.setStored(XmlValue::SIGNED, "xy", 2));
    EXPECT_TRUE(stored.setStored(XmlValue::TEXT, "ab", 2));  // missing terminator: text ends at the bytes
    EXPECT_EQ(stored.getText(), "ab");
}

TEST(XmlElement, AttributesReplaceFindAndRemove) {
    XmlElement element(XmlName("selling"));
    element.setAttribute(XmlName("url"), XmlValue::fromText("first"));
    element.setAttribute(XmlName("url", false), XmlValue::fromText("second"));
    EXPECT_EQ(element.attributeCount(), 1);
    EXPECT_EQ(element.findAttribute(XmlName("url"))->getText(), "second");
    element.setAttribute(XmlName("other"), XmlValue::fromText("x"));
    EXPECT_TRUE(element.removeAttribute(XmlName("url")));
    EXPECT_FALSE(element.removeAttribute(XmlName("url")));
    EXPECT_EQ(element.findAttribute(XmlName("url")), nullptr);
    EXPECT_EQ(element.firstAttribute()->name, XmlName("other"));
    element.setText(XmlValue::fromText("body"));
    EXPECT_EQ(element.text()->getText(), "body");
    element.removeAllAttributes();
    EXPECT_EQ(element.attributeCount(), 0);
}

TEST(XmlElement, ChildrenMoveBetweenParents) {
    XmlElement first(XmlName("first"));
    XmlElement second(XmlName("second"));
    auto* child = new XmlElement(XmlName("child"));
    first.appendChild(child);
    first.appendChild(new XmlElement(XmlName("child")));
    EXPECT_EQ(first.countChildren(XmlName("child")), 2);
    second.appendChild(child);
    EXPECT_EQ(first.childCount(), 1);
    EXPECT_EQ(second.childCount(), 1);
    EXPECT_EQ(child->parent(), &second);
    EXPECT_EQ(first.findChild(XmlName("child"))->nextSibling(), nullptr);
    // Cycles are refused.
    auto* grandchild = new XmlElement(XmlName("grandchild"));
    child->appendChild(grandchild);
    EXPECT_FALSE(grandchild->appendChild(&second));
    EXPECT_FALSE(child->appendChild(child));
    EXPECT_FALSE(child->appendChild(nullptr));
    // Deleting a child takes it out of its parent.
    delete child;
    EXPECT_EQ(second.childCount(), 0);
    EXPECT_EQ(second.firstChild(), nullptr);
}

TEST(XmlElement, FindElementSearchesPreOrderFromItself) {
    XmlElement root(XmlName("a"));
    EXPECT_EQ(root.findElement(XmlName("a")), &root);
    auto* b = new XmlElement(XmlName("b"));
    auto* c1 = new XmlElement(XmlName("c"));
    auto* c2 = new XmlElement(XmlName("c"));
    root.appendChild(b);
    b->appendChild(c1);
    root.appendChild(c2);
    EXPECT_EQ(root.findElement(XmlName("c")), c1);  // depth first: b's child before root's second child
    EXPECT_EQ(c2->findElement(XmlName("b")), nullptr);  // never leaves the subtree
    EXPECT_EQ(b->findElement(XmlName("c")), c1);
    EXPECT_EQ(root.findChild(XmlName("c")), c2);
}

TEST(XmlElement, DeepCopyAndSizeEstimate) {
    XmlElement root(XmlName("root"));
    root.setAttribute(XmlName("k"), XmlValue::fromText("abc"));  // 4 bytes
    auto* child = new XmlElement(XmlName("child"));
    child->setAttribute(XmlName("n"), XmlValue::fromText(""));  // 1 byte
    root.appendChild(child);
    child->appendChild(new XmlElement(XmlName("leaf")));
    // leaf 40; child 40 + 37 + (40 + 4); root 40 + 40 + (121 + 4)
    EXPECT_EQ(root.sizeEstimate(), 40u + 40u + 121u + 4u);

    XmlElement copy(root);
    EXPECT_EQ(copy.sizeEstimate(), root.sizeEstimate());
    EXPECT_EQ(copy.parent(), nullptr);
    XmlElement* copiedChild = copy.findChild(XmlName("child"));
    ASSERT_NE(copiedChild, nullptr);
    EXPECT_NE(copiedChild, child);
    EXPECT_NE(copiedChild->findChild(XmlName("leaf")), nullptr);
    child->setAttribute(XmlName("n"), XmlValue::fromText("changed"));
    EXPECT_EQ(copiedChild->findAttribute(XmlName("n"))->getText(), "");
    root.removeAllChildren();
    EXPECT_EQ(root.childCount(), 0);
    EXPECT_NE(copy.findElement(XmlName("leaf")), nullptr);
}

TEST(XmlElement, VeryDeepTreesAreCopiedSearchedAndFreedWithoutRecursion) {
    auto root = std::make_unique<XmlElement>(XmlName("root"));
    XmlElement* tip = root.get();
    for (int i = 0; i < 200000; ++i) {
        auto* next = new XmlElement(XmlName("n"));
        tip->appendChild(next);
        tip = next;
    }
    tip->rename(XmlName("bottom"));
    EXPECT_EQ(root->findElement(XmlName("bottom")), tip);
    auto copy = std::make_unique<XmlElement>(*root);
    EXPECT_EQ(copy->sizeEstimate(), root->sizeEstimate());
    copy.reset();
    root.reset();
}
