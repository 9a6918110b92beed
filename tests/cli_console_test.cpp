// The text conversions osccalc needs on Windows: UTF-8 output to a console's
// UTF-16, written in pieces, and UTF-16 arguments to UTF-8. Plain C++, so
// they are checked on Linux too.
#include "cli/console.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::u16string text;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class Decode : public ::testing::TestWithParam<DecodeCase> {};

// Every way of cutting the bytes into two pieces gives the same text.
TEST_P(Decode, WholeOrInPieces) {
    const auto& c = GetParam();
    for (std::size_t cut = 0; cut <= c.bytes.size(); ++cut) {
        cli::Utf16Decoder decoder;
        std::u16string text = decoder.decode(c.bytes.substr(0, cut));
        text += decoder.decode(c.bytes.substr(cut));
        text += decoder.finish();
        EXPECT_EQ(text, c.text) << "cut after byte " << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Decode,
    ::testing::Values(DecodeCase{"Ascii", "T=6.2832ms\n", u"T=6.2832ms\n"},
                      DecodeCase{"Micro", "T=0.0108828216341168\xCE\xBCs",
                                 u"T=0.0108828216341168\u03BCs"},
                      DecodeCase{"Chinese", "不用计算！\n", u"不用计算！\n"},
                      DecodeCase{"BeyondBmp", "a\xF0\x9F\x98\x80z", u"a\U0001F600z"},
                      DecodeCase{"StrayContinuation", "a\x80z", u"a\uFFFDz"},
                      DecodeCase{"BadLead", "\xFF\xC0\xC1", u"\uFFFD\uFFFD\uFFFD"},
                      DecodeCase{"Overlong", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
                      DecodeCase{"Surrogate", "\xED\xB3\xBF", u"\uFFFD\uFFFD\uFFFD"},
                      DecodeCase{"BeyondUnicode", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      DecodeCase{"CutShortThenAscii", "\xE4\xB8z", u"\uFFFD\uFFFDz"},
                      DecodeCase{"CutShortAtEnd", "ok\xE4\xB8", u"ok\uFFFD\uFFFD"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Decode, HoldsBackOnlyACharacterCutOff) {
    cli::Utf16Decoder decoder;
    EXPECT_EQ(decoder.decode("\xE4"), u"");
    EXPECT_EQ(decoder.decode("\xB8"), u"");
    EXPECT_EQ(decoder.decode("\x8D!"), u"不!");
    // A byte that no continuation can complete is replaced at once.
    EXPECT_EQ(decoder.decode("\xE0\x80"), u"\uFFFD\uFFFD");
    EXPECT_EQ(decoder.finish(), u"");
}

struct EncodeCase {
    const char* name;
    std::u16string text;
    std::string bytes;
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.name;
}

class Encode : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(Encode, Utf16ToUtf8) {
    EXPECT_EQ(cli::utf8FromUtf16(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Encode,
    ::testing::Values(EncodeCase{"Ascii", u"rc1", "rc1"}, EncodeCase{"Empty", u"", ""},
                      EncodeCase{"FullWidthDigit", u"\uFF11", "\xEF\xBC\x91"},
                      EncodeCase{"Micro", u"\u03BC", "\xCE\xBC"},
                      EncodeCase{"TwoByteEdges", u"\u0080\u07FF", "\xC2\x80\xDF\xBF"},
                      EncodeCase{"Pair", u"\U0001F600", "\xF0\x9F\x98\x80"},
                      EncodeCase{"LastCodePoint", u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
                      EncodeCase{"LoneLow", u"a\xDCFF", "a\xED\xB3\xBF"},
                      EncodeCase{"LoneHighAtEnd", u"\xD83D", "\xED\xA0\xBD"},
                      EncodeCase{"HighThenNoLow", u"\xD83Dx", "\xED\xA0\xBDx"},
                      EncodeCase{"Reversed", u"\xDE00\xD83D", "\xED\xB8\x80\xED\xA0\xBD"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
