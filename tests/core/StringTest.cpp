#include "mt/core/String.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

using mt::String;

TEST(StringConstruction, EmptyStringsAreUsableWithoutBuffer) {
    String none;
    EXPECT_TRUE(none == "");
    EXPECT_EQ(none.length(), 0);
    ASSERT_NE(none.cstr(), nullptr);
    EXPECT_STREQ(none.cstr(), "");
    EXPECT_EQ(none.hashCode(), 0u);
    EXPECT_EQ(none.find("a"), -1);
    EXPECT_EQ(none.capacity(), 0);
    EXPECT_TRUE(none.ownsBuffer());

    String copy(none);  // a source without buffer gives a copy without buffer
    EXPECT_EQ(copy.capacity(), 0);
    EXPECT_STREQ(copy.charPtrAt(0), "");
}

TEST(StringConstruction, CapacitiesFollowTheSourceLength) {
    EXPECT_EQ(String("").capacity(), 1);
    EXPECT_EQ(String("abc").capacity(), 4);
    String prefix("abcdef", 3);
    EXPECT_EQ(prefix, "abc");
    EXPECT_EQ(prefix.capacity(), 4);
    String copied(String("hello"));
    EXPECT_EQ(copied.capacity(), 6);
}

TEST(StringGrowth, AppendGrowsToPowersOfTwo) {
    String s("abcde");
    ASSERT_EQ(s.capacity(), 6);
    s.append("fg");
    EXPECT_EQ(s.capacity(), 8);
    EXPECT_EQ(s, "abcdefg");
    s.append('h');
    EXPECT_EQ(s.capacity(), 8);
    EXPECT_EQ(s.length(), 8);
    s.append('i');
    EXPECT_EQ(s.capacity(), 16);
    EXPECT_EQ(s, "abcdefghi");
    s.append("");
    EXPECT_EQ(s.length(), 9);

    String fromNothing;
    fromNothing.append('x');
    EXPECT_EQ(fromNothing.capacity(), 1);
    EXPECT_EQ(fromNothing, "x");
}

TEST(StringGrowth, AppendingItselfIsSafe) {
    String s("abc");
    s.append(s);
    EXPECT_EQ(s, "abcabc");
    s.append(s.charPtrAt(1));
    EXPECT_EQ(s, "abcabcbcabc");
    s = s.charPtrAt(3);  // assignment from a text inside its own buffer
    EXPECT_EQ(s, "abcbcabc");
}

TEST(StringGrowth, WrappedBuffersAreNeverEnlargedOrFreed) {
    char buffer[8] = "abc";
    {
        String wrapped = String::wrap(buffer, 7);
        EXPECT_FALSE(wrapped.ownsBuffer());
        wrapped.append("defg");  // fits exactly? 7 characters need capacity above 7: dropped
        EXPECT_EQ(wrapped, "abc");
        wrapped.append("de");
        EXPECT_EQ(wrapped, "abcde");
        EXPECT_EQ(wrapped.cstr(), buffer);
        wrapped.reserve(100);
        EXPECT_EQ(wrapped.cstr(), buffer);
        wrapped = "longer than the buffer";  // assignment makes it owning, leaving the buffer alone
        EXPECT_TRUE(wrapped.ownsBuffer());
        EXPECT_NE(wrapped.cstr(), buffer);
    }
    EXPECT_STREQ(buffer, "abcde");
}

TEST(StringCopy, CopiesAreDeep) {
    String a("shared?");
    String b(a);
    String c;
    c = a;
    b.append("!");
    c.toLowerCase();
    *c.charPtrAt(0) = 'X';
    EXPECT_EQ(a, "shared?");
    EXPECT_EQ(b, "shared?!");
    EXPECT_EQ(c, "Xhared?");
    EXPECT_NE(a.cstr(), b.cstr());
}

TEST(StringCopy, AssignmentReusesALargeEnoughBuffer) {
    String s("a long enough text");
    const char* before = s.cstr();
    s = "short";
    EXPECT_EQ(s.cstr(), before);
    EXPECT_EQ(s, "short");
    s = "a text that needs a bigger buffer than before";
    EXPECT_EQ(s.capacity(), s.length() + 1);
}

TEST(StringNumbers, IntegersAndFloatsToText) {
    EXPECT_EQ(String(-42), "-42");
    EXPECT_EQ(String(0), "0");
    EXPECT_EQ(String(2147483647), "2147483647");
    EXPECT_EQ(String(static_cast<int>(0x80000000u)), "-2147483648");
    EXPECT_EQ(String(2147483648u), "-2147483648");
    EXPECT_EQ(String(1.5f), "1.500000");
    EXPECT_EQ(String(-0.25f), "-0.250000");
    EXPECT_EQ(String::hexText(0), "0");
    EXPECT_EQ(String::hexText(0xBEEF1u), "beef1");
}

// Compiles a German locale (decimal comma) into a temporary folder, so the test does not depend on which
// locales the machine has installed.
TEST(StringNumbers, FloatTextIgnoresTheLocaleDecimalMark) {
#ifdef _WIN32
    // Windows has its locales built in.
    if (std::setlocale(LC_NUMERIC, "German_Germany.1252") == nullptr) GTEST_SKIP() << "no German locale";
#else
    std::string folder = testing::TempDir() + "locales";
    std::string command = "mkdir -p '" + folder + "' && localedef -i de_DE -f UTF-8 '" + folder +
                          "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        GTEST_SKIP() << "localedef or the de_DE locale source is missing";
    setenv("LOCPATH", folder.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
#endif
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5");  // the C library now writes a comma
    EXPECT_EQ(String(1.5f), "1.500000");
    std::setlocale(LC_NUMERIC, "C");
#ifndef _WIN32
    unsetenv("LOCPATH");
#endif
}

TEST(StringParsing, ParseInt) {
    EXPECT_EQ(String::parseInt("0x1F"), 31);
    EXPECT_EQ(String::parseInt("0XfF"), 255);
    EXPECT_EQ(String::parseInt("-12abc"), -12);
    EXPECT_EQ(String::parseInt("+7"), 7);
    EXPECT_EQ(String::parseInt("letters"), 0);
    EXPECT_EQ(String::parseInt(nullptr), 0);
    EXPECT_EQ(String::parseInt("4294967297"), 1);  // wraps around in 32 bits
    EXPECT_EQ(String("123").toInt(), 123);
}

TEST(StringParsing, ParseBool) {
    EXPECT_FALSE(String::parseBool("falsehood"));
    EXPECT_FALSE(String::parseBool("FALSE"));
    EXPECT_FALSE(String::parseBool("0.5"));
    EXPECT_FALSE(String::parseBool(""));
    EXPECT_FALSE(String::parseBool(nullptr));
    EXPECT_TRUE(String::parseBool("no"));
    EXPECT_TRUE(String::parseBool("False"));
    EXPECT_TRUE(String::parseBool("1"));
}

TEST(StringParsing, ParseFloat) {
    EXPECT_FLOAT_EQ(String::parseFloat("1.5"), 1.5f);
    EXPECT_FLOAT_EQ(String::parseFloat("-0.25"), -0.25f);
    EXPECT_FLOAT_EQ(String::parseFloat("7"), 7.0f);
    EXPECT_FLOAT_EQ(String::parseFloat("1.5e-03"), 0.0015f);
    EXPECT_FLOAT_EQ(String::parseFloat("2.5e+02"), 250.0f);
    EXPECT_FLOAT_EQ(String::parseFloat("3e5"), 3.0f);  // an exponent only counts after a fraction
    EXPECT_FLOAT_EQ(String::parseFloat("+2"), 0.0f);   // a plus sign is not recognised
    EXPECT_FLOAT_EQ(String::parseFloat(nullptr), 0.0f);
    EXPECT_TRUE(std::isfinite(String::parseFloat("1.0e-99999999")));
}

TEST(StringEditing, EraseAndTruncate) {
    String s("abcdef");
    s.erase(2, 100);
    EXPECT_EQ(s, "ab");
    String t("abcdef");
    t.erase(6, 7);
    EXPECT_EQ(t, "abcdef");
    t.erase(1, 2);
    EXPECT_EQ(t, "adef");
    t.erase(3, 1);  // last before first
    EXPECT_EQ(t, "adef");

    String u("abcdef");
    u.truncate(3);
    EXPECT_EQ(u, "abc");
    EXPECT_EQ(u.capacity(), 3);
    u.truncate(5);
    EXPECT_EQ(u, "abc  ");
    u.truncate(0);
    EXPECT_EQ(u, "");
}

TEST(StringEditing, EraseToTheEndWithTheLargestIndex) {
    String s("abcdef");
    s.erase(2, INT_MAX);
    EXPECT_EQ(s, "ab");
    EXPECT_EQ(s.length(), 2);
    s.erase(0, INT_MAX);
    EXPECT_EQ(s, "");
    String t("abc");
    t.erase(INT_MAX, INT_MAX);
    EXPECT_EQ(t, "abc");
    t.erase(INT_MIN, INT_MAX);  // a negative first index changes nothing
    EXPECT_EQ(t, "abc");
}

TEST(StringGrowth, LengthsBeyondWhatAStringCanHoldAreDropped) {
    // The counts are larger than the texts: an append that cannot fit must be refused before any byte is
    // read. Sums that would wrap a 32-bit length are among them.
    String s("abc");
    s.append("x", INT_MAX);
    EXPECT_EQ(s, "abc");
    s.append("x", INT_MAX - 2);
    EXPECT_EQ(s, "abc");
    s.append('d');
    EXPECT_EQ(s, "abcd");
    EXPECT_EQ(s.capacity(), 4);
    String empty;
    empty.append("y", INT_MAX);
    EXPECT_EQ(empty.length(), 0);
    EXPECT_EQ(empty.capacity(), 0);
}

TEST(StringEditing, ReplaceAll) {
    String s("a--b--c");
    EXPECT_EQ(s.replaceAll("--", "+"), 2);
    EXPECT_EQ(s, "a+b+c");
    EXPECT_EQ(s.replaceAll("xy", "z"), 0);
    EXPECT_EQ(s, "a+b+c");
    EXPECT_EQ(s.replaceAll("+", "++"), 2);  // the replacement is not searched again
    EXPECT_EQ(s, "a++b++c");
    String none;
    EXPECT_EQ(none.replaceAll("a", "b"), 0);
}

TEST(StringSearch, FindAndCompare) {
    String s("lang\\english.lng");
    EXPECT_EQ(s.find("english"), 5);
    EXPECT_EQ(s.find(String(".lng")), 12);
    EXPECT_EQ(s.find("deutsch"), -1);
    EXPECT_EQ(s.find(nullptr), -1);
    EXPECT_TRUE(String("Abc") != "abc");
    EXPECT_TRUE(String("abc") == String("abc"));
    EXPECT_FALSE(String("abc") == "abcd");
    EXPECT_EQ(String("data") + ":" + String("x"), "data:x");
    String lower("MiXeD 123");
    lower.toLowerCase();
    EXPECT_EQ(lower, "mixed 123");
}

TEST(StringPattern, MatchesPrefixWithStars) {
    EXPECT_TRUE(String("data.pak").matchesPattern("*.pak"));
    EXPECT_TRUE(String("data.pak.old").matchesPattern("*.pak"));
    EXPECT_TRUE(String("abc").matchesPattern("ab"));
    EXPECT_FALSE(String("abd").matchesPattern("a*c"));
    EXPECT_TRUE(String("DATA2").matchesPattern("data"));  // case folded, prefix only
    EXPECT_FALSE(String("dat").matchesPattern("data"));
    EXPECT_TRUE(String("anything").matchesPattern("*"));
    EXPECT_TRUE(String("").matchesPattern(""));
    EXPECT_TRUE(String("abcabd").matchesPattern("*b"));
    EXPECT_FALSE(String("abcabd").matchesPattern("*bd"));  // no backtracking: stops at the first b
}

TEST(StringHash, HashCodeUsesSignedBytes) {
    EXPECT_EQ(String("a").hashCode(), 97u);
    EXPECT_EQ(String("ab").hashCode(), 97u * 7919u + 98u);
    // A byte above 127 counts as negative.
    EXPECT_EQ(String("\xff").hashCode(), 0xFFFFFFFFu);
    EXPECT_NE(String("key1").hashCode(), String("key2").hashCode());
}

TEST(StringReserve, ReserveKeepsAPrefix) {
    String s("abcdef");
    s.reserve(3);
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(s.capacity(), 3);
    s.reserve(10);
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(s.capacity(), 10);
    s.reserve(0);
    EXPECT_EQ(s.length(), 0);
    EXPECT_STREQ(s.cstr(), "");
}
