#include "calc/calculate.h"

#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <string>

namespace {

using calc::Answer;
using calc::Inputs;
using Lines = std::array<std::optional<std::string>, 4>;

struct Good {
    const char* name;
    calc::Mode j;
    Inputs in;
    Lines lines;
};

void PrintTo(const Good& g, std::ostream* os) {
    *os << g.name;
}

class Calculates : public ::testing::TestWithParam<Good> {};

TEST_P(Calculates, WritesTheResultLines) {
    const Answer a = calc::calculate(GetParam().j, GetParam().in);
    EXPECT_FALSE(a.message) << *a.message;
    EXPECT_EQ(a.lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, Calculates,
    ::testing::Values(
        Good{"WienBridge", 1, {"1", "1", "", ""}, {"", "", "T=6.2832ms", "f=0.159154570919277kHz"}},
        Good{"Multivibrator",
             2,
             {"1", "2", "1", "1"},
             {"T1=0.693ms", "T2=1.386ms", "T=2.079ms", "f=0.481000481000481kHz"}},
        Good{"NotGate", 3, {"1", "1", "", ""}, {"", "", "T=2.197ms", "f=0.455166135639508kHz"}},
        Good{"Timer555",
             4,
             {"10", "10", "1", ""},
             {"T1=13.86ms", "T2=6.93ms", "T=20.79ms", "f=0.0481000481000481kHz"}},
        Good{"Lc", 5, {"1000", "1", "", ""}, {"", "", "T=6.2832ms", "f=0.159154570919277kHz"}},
        Good{"UnusedBoxesIgnored",
             1,
             {"1", "1", "abc", "1e999"},
             {"", "", "T=6.2832ms", "f=0.159154570919277kHz"}},
        Good{"PointForms",
             1,
             {"2.", ".5", "", ""},
             {"", "", "T=6.2832ms", "f=0.159154570919277kHz"}},
        // C = 0 is accepted in mode 6: (2 + 0) + 2*2/(2+2) = 3 pF, T = 6.2832 * sqrt(3) ns.
        Good{"CapacitiveThreePointInMicrosecondsAndMegahertz",
             6,
             {"1", "0", "2", "2"},
             {"", "", "T=0.0108828216341168μs", "f=91.8879343630038MHz"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Input that changes no result line: most of it shows the input error.
struct Bad {
    const char* name;
    calc::Mode j;
    Inputs in;
    std::optional<std::string> message = "输入的数据有错误！";
};

void PrintTo(const Bad& b, std::ostream* os) {
    *os << b.name;
}

class RejectsInput : public ::testing::TestWithParam<Bad> {};

TEST_P(RejectsInput, ShowsItsMessageAndChangesNoLine) {
    const Answer a = calc::calculate(GetParam().j, GetParam().in);
    EXPECT_EQ(a.message, GetParam().message);
    for (const auto& line : a.lines) {
        EXPECT_FALSE(line);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RejectsInput,
    ::testing::Values(
        Bad{"ZeroFirst", 1, {"0", "1", "", ""}}, Bad{"ZeroSecond", 1, {"1", "0", "", ""}},
        Bad{"LonePoint", 1, {".", "1", "", ""}}, Bad{"EmptyFirst", 1, {"", "1", "", ""}},
        Bad{"Letters", 3, {"1k", "1", "", ""}}, Bad{"TwoPoints", 5, {"1.0.0", "1", "", ""}},
        Bad{"MinusInFourth", 6, {"1", "0", "2", "-2"}},
        Bad{"ZeroC1InMode6", 6, {"1", "1", "0", "2"}}, Bad{"EmptyCInMode6", 6, {"1", "", "2", "2"}},
        Bad{"ZeroSecondInMode2", 2, {"1", "0", "1", "1"}},
        Bad{"EmptyFourthInMode2", 2, {"1", "1", "1", ""}},
        // Both the product and each text are checked; any single failure is enough.
        Bad{"LetterFirstInMode2", 2, {"x", "1", "1", "1"}},
        Bad{"LetterFourthInMode2", 2, {"1", "1", "1", "x"}},
        Bad{"ZeroCIn555", 4, {"1", "1", "0", ""}},
        // Zeros that give a finite period: only the zero test rejects them.
        Bad{"ZeroFirstInMode2", 2, {"0", "1", "1", "1"}},
        Bad{"ZeroThirdInMode2", 2, {"1", "1", "0", "1"}},
        Bad{"ZeroFourthInMode2", 2, {"1", "1", "1", "0"}},
        Bad{"ZeroFirstIn555", 4, {"0", "1", "1", ""}},
        Bad{"ZeroSecondIn555", 4, {"1", "0", "1", ""}},
        Bad{"ZeroFourthInMode6", 6, {"1", "0", "2", "0"}},
        Bad{"FullWidthDigits", 1, {"１", "1", "", ""}}, Bad{"Space", 1, {"1 ", "1", "", ""}},
        Bad{"Comma", 1, {"1,5", "1", "", ""}},
        // Far beyond the boxes' ten characters, only through the API.
        Bad{"OverflowingProduct", 1, {std::string(200, '9'), std::string(200, '9'), "", ""}},
        Bad{"HugeText", 4, {std::string(400, '9'), "1", "1", ""}},
        Bad{"TinyText", 1, {"0." + std::string(400, '0') + "1", "1", "", ""}},
        Bad{"PeriodUnderflowsInMode6",
            6,
            {"0." + std::string(300, '0') + "1", "0", "0." + std::string(300, '0') + "1", "1"}},
        // Mode 7 needs no calculation whatever the boxes hold.
        Bad{"ModeSevenEmpty", 7, {"", "", "", ""}, "不用计算！"},
        Bad{"ModeSevenNumbers", 7, {"1", "1", "1", "1"}, "不用计算！"},
        Bad{"ModeSevenAnything", 7, {"x", "-1", "1e999", std::string(500, '9')}, "不用计算！"},
        // A mode outside 1 to 7 does nothing at all.
        Bad{"ModeZero", 0, {"1", "1", "1", "1"}, std::nullopt},
        Bad{"ModeEight", 8, {"1", "1", "1", "1"}, std::nullopt},
        Bad{"ModeMinusOne", -1, {"1", "1", "1", "1"}, std::nullopt},
        Bad{"ModeLargest", 32767, {"1", "1", "1", "1"}, std::nullopt},
        Bad{"ModeSmallest", -32768, {"1", "1", "1", "1"}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
