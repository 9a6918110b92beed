#include "calc/numtext.h"

#include <cmath>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace {

struct TestCase {
    std::string text;
    bool accepted;
};

void PrintTo(const TestCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class TextCheck : public ::testing::TestWithParam<TestCase> {};

TEST_P(TextCheck, AcceptsOnlyDigitsWithAtMostOnePoint) {
    EXPECT_EQ(calc::test(GetParam().text), GetParam().accepted) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextCheck,
    ::testing::Values(TestCase{"", false}, TestCase{"7", true}, TestCase{"0123456789", true},
                      TestCase{"3.14", true}, TestCase{"10.", true}, TestCase{".5", true},
                      TestCase{".", true}, TestCase{"1.2.3", false}, TestCase{"..", false},
                      TestCase{"-1", false}, TestCase{"+1", false}, TestCase{" 1", false},
                      TestCase{"1 ", false}, TestCase{"1e3", false}, TestCase{"1E3", false},
                      TestCase{"1,000", false}, TestCase{"1,5", false},
                      TestCase{"１２", false}, // full-width digits
                      TestCase{"1．5", false}, // full-width point
                      TestCase{"5μ", false},
                      TestCase{std::string("1\0"
                                           "2",
                                           3),
                               false},
                      TestCase{"\xff\xfe", false}, TestCase{"/", false}, TestCase{":", false}));

struct Conversion {
    std::string text;
    double value;
};

void PrintTo(const Conversion& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ToNumber : public ::testing::TestWithParam<Conversion> {};

TEST_P(ToNumber, ReadsThePlainDecimalValue) {
    EXPECT_EQ(calc::toNumber(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Texts, ToNumber,
                         ::testing::Values(Conversion{"", 0.0}, Conversion{".", 0.0},
                                           Conversion{"0", 0.0}, Conversion{"10", 10.0},
                                           Conversion{"10.", 10.0}, Conversion{".5", 0.5},
                                           Conversion{"0.1", 0.1}, Conversion{"3.3", 3.3},
                                           Conversion{"9999999999", 9999999999.0},
                                           Conversion{"abc", 0.0}, Conversion{"12abc", 12.0},
                                           Conversion{"-5", 0.0},
                                           // Beyond the double's range, safely.
                                           Conversion{std::string(400, '9'), INFINITY},
                                           Conversion{"0." + std::string(400, '0') + "1", 0.0}));

struct Formatting {
    double value;
    std::string text;
};

void PrintTo(const Formatting& c, std::ostream* os) {
    *os << c.text;
}

class ToText : public ::testing::TestWithParam<Formatting> {};

TEST_P(ToText, FifteenSignificantDigitsNoTrailingZeros) {
    EXPECT_EQ(calc::toText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Numbers, ToText,
                         ::testing::Values(Formatting{6.2832, "6.2832"}, Formatting{20.0, "20"},
                                           Formatting{1.0 / 6.2832, "0.159154570919277"},
                                           Formatting{0.693 * 20.0, "13.86"},
                                           Formatting{1.0 / 20.79, "0.0481000481000481"},
                                           Formatting{1234567.0, "1234567"},
                                           Formatting{0.1 + 0.2, "0.3"}));

} // namespace
