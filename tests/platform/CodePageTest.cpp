#include <gtest/gtest.h>

#include "platform/CodePage.h"

using platform::multiByteToUtf16;
using platform::multiByteToUtf8;

namespace {

std::u16string decode(uint32_t codePage, std::string_view bytes) {
    std::u16string out;
    EXPECT_TRUE(multiByteToUtf16(codePage, bytes, out)) << codePage;
    return out;
}

}  // namespace

TEST(CodePage, WesternTextsInCodePage1252) {
    EXPECT_EQ(decode(1252, "Screen resolution"), u"Screen resolution");
    // German, with the euro sign that 1252 keeps at 0x80.
    EXPECT_EQ(
        decode(1252, "\x47\x72\xF6\xDF\x65\x20\xC4\x70\x66\x65\x6C\x20\xDC\x62\x75\x6E\x67\x20\xDF\x20\x80"),
        u"Größe Äpfel Übung ß €");
    std::string utf8;
    ASSERT_TRUE(multiByteToUtf8(1252, "\xC4\x80", utf8));
    EXPECT_EQ(utf8, "Ä€");
}

TEST(CodePage, CentralEuropeanAndCyrillicTexts) {
    EXPECT_EQ(
        decode(1250, "\x5A\x61\xBF\xF3\xB3\xE6\x20\x67\xEA\x9C\x6C\xB9\x20\x6A\x61\x9F\xF1\x20\xA3\x8C"),
        u"Zażółć gęślą jaźń ŁŚ");
    EXPECT_EQ(
        decode(1251, "\xD0\xE0\xE7\xF0\xE5\xF8\xE5\xED\xE8\xE5\x20\xFD\xEA\xF0\xE0\xED\xE0\x20\xA8\xB8"),
        u"Разрешение экрана Ёё");
    // The same bytes mean different letters in the two pages.
    EXPECT_EQ(decode(1250, "\xE8"), u"č");
    EXPECT_EQ(decode(1251, "\xE8"), u"и");
}

TEST(CodePage, BytesThatWindowsMapsButIconvRejectsBecomeTheSameCodePoint) {
    EXPECT_EQ(decode(1252,
                     "a\x81\x8D\x8F\x90\x9D"
                     "b"),
              u"a\u0081\u008D\u008F\u0090\u009D"
              u"b");
    EXPECT_EQ(decode(1250, "\x81\x83\x88\x90\x98"), u"\u0081\u0083\u0088\u0090\u0098");
    EXPECT_EQ(decode(1251, "\x98\xC0"), u"\u0098А");
}

TEST(CodePage, MultiByteAndUtf8Pages) {
    EXPECT_EQ(decode(932, "\x93\xFA\x96\x7B"), u"日本");
    EXPECT_EQ(decode(65001, "\xC3\xA4\xF0\x9F\x98\x80"), u"ä\U0001F600");
    EXPECT_EQ(decode(0, "plain"), u"plain");  // the host's 8-bit page is UTF-8
    // Embedded NUL bytes are characters like any other.
    EXPECT_EQ(decode(1252, std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
    EXPECT_EQ(decode(1252, ""), u"");
}

TEST(CodePage, BadInputIsReplacedNotDropped) {
    // Stray continuation byte, overlong form, an encoded surrogate, a sequence cut off at the end.
    EXPECT_EQ(decode(65001,
                     "a\x80"
                     "b"),
              u"a\uFFFDb");
    EXPECT_EQ(decode(65001,
                     "\xC0\xAF"
                     "x"),
              u"\uFFFD\uFFFDx");
    EXPECT_EQ(decode(65001, "\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(decode(65001, "ok\xE2\x82"), u"ok\uFFFD");
    // A lead byte of 932 without its trail byte.
    EXPECT_EQ(decode(932, "A\x93"), u"A\uFFFD");
}

TEST(CodePage, UnknownCodePagesFail) {
    std::u16string out = u"old";
    EXPECT_FALSE(multiByteToUtf16(12345, "abc", out));
    EXPECT_TRUE(out.empty());
    std::string utf8 = "old";
    EXPECT_FALSE(multiByteToUtf8(99999, "abc", utf8));
    EXPECT_TRUE(utf8.empty());
    EXPECT_EQ(platform::codePageName(1252), "CP1252");
    EXPECT_EQ(platform::codePageName(65001), "UTF-8");
    EXPECT_EQ(platform::codePageName(28592), "ISO-8859-2");
    EXPECT_EQ(platform::codePageName(4242), "");
}

TEST(CodePage, Utf16AndUtf8RoundTrip) {
    std::u16string text = u"Valtor – Größe 日本 \U0001F600";
    EXPECT_EQ(platform::utf8ToUtf16(platform::utf16ToUtf8(text)), text);
    EXPECT_EQ(platform::utf16ToUtf8(u"\u00E4\U0001F600"), "\xC3\xA4\xF0\x9F\x98\x80");
    // Unpaired surrogates: a high one before a normal unit, a low one alone, a high one at the end.
    EXPECT_EQ(platform::utf16ToUtf8(std::u16string{0xD800, u'a', 0xDC00, u'b', 0xD801}),
              "\xEF\xBF\xBD"
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    EXPECT_EQ(platform::utf16Length(u"abc"), 3u);
    EXPECT_EQ(platform::utf16Length(nullptr), 0u);
}

TEST(CodePage, LongTextsConvertCompletely) {
    // Longer than the converter's working buffer, with a replaced byte in the middle of it.
    std::string bytes(5000, '\xE4');
    bytes[2500] = '\x81';
    std::u16string wide = decode(1252, bytes);
    ASSERT_EQ(wide.size(), 5000u);
    EXPECT_EQ(wide[0], u'ä');
    EXPECT_EQ(wide[2500], u'\u0081');
    EXPECT_EQ(wide[4999], u'ä');
    EXPECT_EQ(platform::utf16ToUtf8(wide).size(), 2u * 4999 + 2);
}
