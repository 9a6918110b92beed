#include "calc/circuitparts.h"

#include "calc/design.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <optional>

namespace {

// ---- The multivibrator: R between 10·Rc and β_min·Rc/2, Rc chosen ----

struct RcRow {
    const char* name;
    double r1, r2;
    bool starts;
};

void PrintTo(const RcRow& row, std::ostream* os) {
    *os << row.name;
}

class CollectorResistor : public ::testing::TestWithParam<RcRow> {};

TEST_P(CollectorResistor, SaturatesAndRecovers) {
    const RcRow& row = GetParam();
    const std::optional<double> rc = calc::collectorResistor(row.r1, row.r2);
    ASSERT_EQ(rc.has_value(), row.starts);
    if (!rc) {
        return;
    }
    for (const double r : {row.r1, row.r2}) {
        EXPECT_LE(r, calc::kMultivibratorBetaMin * *rc / 2 * (1 + 1e-12)) << "saturates";
        EXPECT_GE(r, calc::kMultivibratorRecovery * *rc * (1 - 1e-12)) << "recovers";
    }
    // The smallest that saturates: one E6 step down would not.
    const auto& e6 = calc::seriesMantissas(calc::Series::E6);
    const double mantissa = *rc / std::pow(10.0, std::floor(std::log10(*rc)) - 2);
    const auto at = std::find(e6.begin(), e6.end(), static_cast<int>(std::lround(mantissa)));
    ASSERT_NE(at, e6.end()) << *rc << " is an E6 value";
    const double below = at == e6.begin() ? *rc * e6.back() / 1000.0 : *rc * *(at - 1) / *at;
    if (*rc > calc::kMultivibratorRcMin) {
        EXPECT_GT(std::max(row.r1, row.r2), calc::kMultivibratorBetaMin * below / 2);
    }
}

constexpr double kRcMin = calc::kMultivibratorRcMin;
constexpr double kSaturatesAtRcMin = calc::kMultivibratorBetaMin * kRcMin / 2;

INSTANTIATE_TEST_SUITE_P(
    Limits, CollectorResistor,
    ::testing::Values(RcRow{"LowestWithRcMin", calc::kMultivibratorRecovery* kRcMin,
                            calc::kMultivibratorRecovery* kRcMin, true},
                      RcRow{"HighestWithRcMin", kSaturatesAtRcMin, kSaturatesAtRcMin, true},
                      RcRow{"AboveNeedsALargerRc", 1.02 * kSaturatesAtRcMin,
                            1.02 * kSaturatesAtRcMin, true},
                      RcRow{"PagesHighest", 100e3, 100e3, true},
                      RcRow{"TooCloseToRc", 0.9 * calc::kMultivibratorRecovery* kRcMin,
                            calc::kMultivibratorRecovery* kRcMin, false},
                      // 10 k beside 100 k: Rc large enough for the one is too large for the other.
                      RcRow{"TooFarApart", 10e3, 100e3, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The Colpitts stage's loop gain ----

struct GainRow {
    const char* name;
    double hz, l, c1, c2, ie;
    bool starts;
};

void PrintTo(const GainRow& row, std::ostream* os) {
    *os << row.name;
}

class ColpittsGain : public ::testing::TestWithParam<GainRow> {};

TEST_P(ColpittsGain, DecidesTheStart) {
    const GainRow& row = GetParam();
    const calc::StageBias bias = calc::stageBias("lc4");
    const double ie = row.ie > 0 ? row.ie : calc::emitterCurrent(bias);
    const double gain = calc::colpittsLoopGain(row.hz, row.l, row.c1, row.c2, ie, bias.re);
    EXPECT_EQ(gain >= calc::kColpittsMinLoopGain, row.starts) << gain;
}

INSTANTIATE_TEST_SUITE_P(
    Divider, ColpittsGain,
    ::testing::Values(
        // r_e (14 Ω at 1.9 mA) far below C2's 514 Ω: the divider does not work.
        GainRow{"SmallC2At1mA9", 455e3, 162e-6, 68e-12, 680e-12, 1.9e-3, false},
        GainRow{"SmallC2AtTheBias", 455e3, 162e-6, 68e-12, 680e-12, 0, false},
        GainRow{"LargeC2AtTheBias", 455e3, 194e-6, 330e-12, 3.3e-9, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Where r_e is far above C2's reactance the divider works as a transformer:
// the gain is gm·n(1 − n)·Q·ω·L with n = C1/(C1 + C2), less what Re takes.
TEST(ColpittsGain, IsTheTransformerFormulaWhereTheDividerWorks) {
    const double hz = 1e6, l = 10e-6, c1 = 1e-9, c2 = 4.7e-9, ie = 10e-6, re = 1e12;
    const double gm = ie / calc::kThermalVoltage;
    const double n = c1 / (c1 + c2);
    const double expected = gm * n * (1 - n) * calc::kCoilQ * 2 * std::numbers::pi * hz * l;
    EXPECT_NEAR(calc::colpittsLoopGain(hz, l, c1, c2, ie, re) / expected, 1.0, 1e-3);
}

// ---- The parts beside the boxes ----

TEST(SupportParts, BypassIsTheSmallestE6BelowItsReactance) {
    for (const double hz : {1e3, 455e3, 10.7e6}) {
        const double c = calc::bypassCapacitor(hz);
        const double ohm = 1 / (2 * std::numbers::pi * hz * c);
        EXPECT_LE(ohm, calc::kBypassOhm * (1 + 1e-9)) << hz;
        EXPECT_GT(ohm * 1.5, calc::kBypassOhm) << hz << ": not the smallest";
    }
}

} // namespace
