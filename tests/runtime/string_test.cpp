#include <gtest/gtest.h>

#include "runtime/string.h"

namespace vexel {
namespace {

TEST(Utf8, RoundTripsBmpAndSupplementaryCharacters) {
    const String text = u"H\u00fchnerbr\u00fche \u20ac \U0001F600";
    const std::string bytes = ToUtf8(text);
    EXPECT_EQ(bytes,
              "H\xc3\xbchnerbr\xc3\xbc"
              "he \xe2\x82\xac \xf0\x9f\x98\x80");
    EXPECT_EQ(FromUtf8(bytes), text);
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(FromUtf8("a\xff"
                       "b"),
              u"a\ufffdb");
    EXPECT_EQ(FromUtf8("\xc3"), u"\ufffd");          // truncated sequence
    EXPECT_EQ(FromUtf8("\xe0\x80\x80"), u"\ufffd");  // overlong
    EXPECT_EQ(FromUtf8("\xed\xa0\x80"), u"\ufffd");  // encoded surrogate
    EXPECT_EQ(ToUtf8(String(1, char16_t(0xD800))), "\xef\xbf\xbd");
}

TEST(Bytes, OneBytePerCodeUnitKeepsTheLowEightBits) {
    EXPECT_EQ(ToBytes(u"\u00e4\u20ac"), "\xe4\xac");
    EXPECT_EQ(FromBytes("\xe4\xac"), u"\u00e4\u00ac");
}

TEST(Numbers, DecimalText) {
    EXPECT_EQ(IntToString(0), u"0");
    EXPECT_EQ(IntToString(-2147483648LL), u"-2147483648");
    EXPECT_EQ(IntToString(123456789012LL), u"123456789012");
}

TEST(Numbers, TextToNumberRule) {
    EXPECT_EQ(StringToInt(u"  42abc"), 42);
    EXPECT_EQ(StringToInt(u"\t-17"), -17);
    EXPECT_EQ(StringToInt(u"+8"), 8);
    EXPECT_EQ(StringToInt(u"%1011"), 11);
    EXPECT_EQ(StringToInt(u"%1012"), 5);  // stops at the first non-binary digit
    EXPECT_EQ(StringToInt(u"$ff"), 255);
    EXPECT_EQ(StringToInt(u"$FfG"), 255);
    EXPECT_EQ(StringToInt(u"-$10"), -16);
    EXPECT_EQ(StringToInt(u"abc"), 0);
    EXPECT_EQ(StringToInt(u""), 0);
    EXPECT_EQ(StringToInt(u"-"), 0);
    EXPECT_EQ(StringToInt(u"4294967295"), -1);  // wraps to 32 bits
    EXPECT_EQ(StringToLong(u"9000000000"), 9000000000LL);
}

TEST(Case, LowerCasesAsciiAndLatin1Letters) {
    EXPECT_EQ(ToLower(u"Data/R\u00dcBE.PNG \u00d7"), u"data/r\u00fcbe.png \u00d7");
}

}  // namespace
}  // namespace vexel
