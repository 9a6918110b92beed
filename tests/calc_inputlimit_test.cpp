#include "calc/inputlimit.h"

#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <string>

namespace {

struct Length {
    const char* name;
    std::string text;
    std::optional<std::size_t> units; // nullopt: malformed UTF-8
};

void PrintTo(const Length& c, std::ostream* os) {
    *os << c.name;
}

class BoxLength : public ::testing::TestWithParam<Length> {};

TEST_P(BoxLength, CountsAsTheLineEditDoes) {
    const Length& c = GetParam();
    EXPECT_EQ(calc::boxLength(c.text), c.units);
    EXPECT_EQ(calc::fitsBox(c.text), c.units && *c.units <= 10);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, BoxLength,
    ::testing::Values(
        Length{"Empty", "", 0}, Length{"TenDigits", "1234567890", 10},
        Length{"ElevenDigits", "12345678901", 11},
        Length{"NulIsACharacter",
               std::string("1\0"
                           "2",
                           3),
               3},
        // Two-byte (μ), three-byte (full-width digits) and four-byte characters.
        Length{"TenMu", "μμμμμμμμμμ", 10}, Length{"ElevenMu", "μμμμμμμμμμμ", 11},
        Length{"FullWidth", "１２３４５６７８９０", 10},
        Length{"BeyondBmpCountsTwice", "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600", 10},
        Length{"SixBeyondBmp", "\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600", 12},
        Length{"LargestCodePoint", "\xF4\x8F\xBF\xBF", 2},
        Length{"LastBeforeSurrogates", "\xED\x9F\xBF", 1},
        Length{"StrayContinuation", "1\x80", std::nullopt},
        Length{"InvalidLead", "\xFF", std::nullopt},
        Length{"OverlongTwoByte", "\xC0\x80", std::nullopt},
        Length{"OverlongThreeByte", "\xE0\x9F\xBF", std::nullopt},
        Length{"OverlongFourByte", "\xF0\x8F\xBF\xBF", std::nullopt},
        Length{"Surrogate", "\xED\xA0\x80", std::nullopt},
        Length{"BeyondU10FFFF", "\xF4\x90\x80\x80", std::nullopt},
        Length{"CutShort", "1\xE4\xB8", std::nullopt},
        Length{"BadThirdByte", "\xE4\xB8\x41", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8SequenceLength, MeasuresOnlyTheFirstSequence) {
    EXPECT_EQ(calc::utf8SequenceLength(""), 0u);
    EXPECT_EQ(calc::utf8SequenceLength("a\xFF"), 1u);
    EXPECT_EQ(calc::utf8SequenceLength("μ\xFF"), 2u);
    EXPECT_EQ(calc::utf8SequenceLength("！1"), 3u);
    EXPECT_EQ(calc::utf8SequenceLength("\U0001F600"), 4u);
    EXPECT_EQ(calc::utf8SequenceLength("\xFF"
                                       "a"),
              0u);
}

// Every boundary of the encoding, written and read back; each shorter piece
// of it is a character cut off, which more bytes would complete.
TEST(Utf8, WritesAndReadsEveryLengthsBoundaries) {
    for (const char32_t cp : {0x0U, 0x7FU, 0x80U, 0x7FFU, 0x800U, 0xFFFFU, 0x10000U, 0x10FFFFU}) {
        std::string text;
        calc::appendUtf8(text, cp);
        const auto hex = static_cast<unsigned>(cp);
        ASSERT_EQ(calc::utf8SequenceLength(text), text.size()) << std::hex << hex;
        EXPECT_EQ(static_cast<unsigned>(calc::utf8CodePoint(text)), hex);
        for (std::size_t cut = 1; cut < text.size(); ++cut) {
            EXPECT_TRUE(calc::utf8CutShort(text.substr(0, cut))) << std::hex << hex << " " << cut;
        }
        EXPECT_FALSE(calc::utf8CutShort(text));
    }
    // Starts that no byte can complete: overlong, surrogate, beyond U+10FFFF.
    for (const char* start : {"\xE0\x9F", "\xED\xA0", "\xF4\x90", "\xC0", "\x80"}) {
        EXPECT_FALSE(calc::utf8CutShort(start)) << start;
    }
}

} // namespace
