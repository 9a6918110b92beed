#include "calc/design.h"

#include "calc/numtext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using calc::Series;

const calc::CatalogueEntry& circuit(std::string_view id) {
    return *calc::entryForId(id);
}

// ---- Series tables ----

std::vector<int> members(Series s) {
    const auto m = calc::seriesMantissas(s);
    return {m.begin(), m.end()};
}

struct SeriesRow {
    Series series;
    std::size_t size;
    // Members that differ from the geometric step 10^(i/n) rounded to the
    // series' digits: the standard's irregular values.
    std::set<int> irregular;
};

class SeriesTable : public ::testing::TestWithParam<SeriesRow> {};

TEST_P(SeriesTable, HasTheStandardsMembers) {
    const SeriesRow& row = GetParam();
    const std::vector<int> m = members(row.series);
    ASSERT_EQ(m.size(), row.size);
    EXPECT_TRUE(std::is_sorted(m.begin(), m.end()));
    const int digits = row.size <= 24 ? 2 : 3;
    std::set<int> irregular;
    for (std::size_t i = 0; i < m.size(); ++i) {
        const double geometric = std::pow(10.0, static_cast<double>(i) / row.size);
        int rounded = static_cast<int>(std::lround(geometric * std::pow(10.0, digits - 1)));
        rounded *= digits == 2 ? 10 : 1;
        if (rounded != m[i]) {
            irregular.insert(m[i]);
        }
    }
    EXPECT_EQ(irregular, row.irregular);
}

INSTANTIATE_TEST_SUITE_P(
    Iec60063, SeriesTable,
    ::testing::Values(SeriesRow{Series::E6, 6, {330, 470}},
                      SeriesRow{Series::E12, 12, {270, 330, 390, 470, 820}},
                      SeriesRow{Series::E24, 24, {270, 300, 330, 360, 390, 430, 470, 820}},
                      SeriesRow{Series::E48, 48, {}}, SeriesRow{Series::E96, 96, {}}),
    [](const auto& info) { return std::string(calc::seriesName(info.param.series)); });

TEST(SeriesTable, E24HoldsItsIrregularMembers) {
    const std::vector<int> e24 = members(Series::E24);
    for (const int v : {270, 300, 330, 360, 390, 430, 470, 510, 560, 620, 680, 820, 910}) {
        EXPECT_NE(std::find(e24.begin(), e24.end(), v), e24.end()) << v;
    }
}

TEST(SeriesTable, CoarserSeriesAreEveryOtherMember) {
    const std::pair<Series, Series> pairs[] = {
        {Series::E6, Series::E12}, {Series::E12, Series::E24}, {Series::E48, Series::E96}};
    for (const auto& [coarse, fine] : pairs) {
        const std::vector<int> c = members(coarse);
        const std::vector<int> f = members(fine);
        ASSERT_EQ(c.size() * 2, f.size());
        for (std::size_t i = 0; i < c.size(); ++i) {
            EXPECT_EQ(c[i], f[2 * i]) << calc::seriesName(coarse) << " " << i;
        }
    }
}

TEST(SeriesTable, NamesRoundTrip) {
    for (const Series s : calc::kAllSeries) {
        EXPECT_EQ(calc::seriesFromName(calc::seriesName(s)), s);
    }
    EXPECT_FALSE(calc::seriesFromName("E192"));
    EXPECT_FALSE(calc::seriesFromName("e24"));
}

// ---- Inputs and ranges ----

TEST(DesignInputs, FollowTheCaptions) {
    const auto lc4 = calc::designInputs(circuit("lc4"));
    ASSERT_EQ(lc4.size(), 4u);
    EXPECT_EQ(lc4[0].name, "L");
    EXPECT_EQ(lc4[0].unit, "μH");
    EXPECT_EQ(lc4[0].kind, calc::Kind::Inductor);
    EXPECT_EQ(lc4[3].name, "C2");
    EXPECT_EQ(lc4[3].unitExponent, -12);
    EXPECT_TRUE(lc4[1].zeroAllowed);
    EXPECT_FALSE(lc4[2].zeroAllowed);

    const auto rc4 = calc::designInputs(circuit("rc4"));
    ASSERT_EQ(rc4.size(), 3u);
    EXPECT_EQ(rc4[2].name, "C");
    EXPECT_EQ(rc4[2].box, 2u);
    EXPECT_EQ(rc4[2].unitExponent, -6);

    for (const char* id : {"quartz1", "quartz2", "help"}) {
        EXPECT_TRUE(calc::designInputs(circuit(id)).empty()) << id;
    }
}

// The ranges show in what a far-off target says it can reach: the corners
// of the ranges, as the calculate command computes them.
struct ReachRow {
    const char* id;
    calc::Inputs fastest; // every part at the bottom of its range
    calc::Inputs slowest; // every part at the top
};

double fHz(calc::Mode mode, const calc::Inputs& in) {
    const calc::Answer a = calc::calculate(mode, in);
    const std::string& f = *a.lines[calc::F];
    const double scale = mode == 6 ? 1e6 : 1e3;
    // strtod, since very small frequencies are written with an exponent.
    return std::strtod(f.c_str() + 2, nullptr) * scale;
}

void PrintTo(const ReachRow& row, std::ostream* os) {
    *os << row.id;
}

class Reach : public ::testing::TestWithParam<ReachRow> {};

TEST_P(Reach, IsTheRangesCorners) {
    const ReachRow& row = GetParam();
    const calc::CatalogueEntry& c = circuit(row.id);
    for (const double target : {1e-6, 1e12}) {
        calc::DesignRequest r;
        r.targetHz = target;
        const calc::DesignResult d = calc::design(c, r);
        EXPECT_EQ(d.problem, calc::DesignProblem::OutOfReach);
        EXPECT_TRUE(d.candidates.empty());
        EXPECT_NE(d.reason.find("可达范围"), std::string::npos) << d.reason;
        EXPECT_NEAR(d.reachMaxHz / fHz(c.mode, row.fastest), 1.0, 1e-13);
        EXPECT_NEAR(d.reachMinHz / fHz(c.mode, row.slowest), 1.0, 1e-13);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Defaults, Reach,
    ::testing::Values(
        ReachRow{"rc1", {"1", "0.00001", "", ""}, {"10000", "1000", "", ""}},
        ReachRow{"rc2", {"1", "1", "0.0001", "0.0001"}, {"10000", "10000", "1000", "1000"}},
        ReachRow{"rc3", {"1", "0.0001", "", ""}, {"10000", "1000", "", ""}},
        ReachRow{"rc4", {"1", "1", "0.0001", ""}, {"10000", "10000", "1000", ""}},
        ReachRow{"lc1", {"0.0001", "0.00001", "", ""}, {"1000", "1000", "", ""}},
        ReachRow{"lc4",
                 {"0.1", "10", "10", "10"},
                 {"1000000", "1000000000", "1000000000", "1000000000"}}),
    [](const auto& info) { return std::string(info.param.id); });

// ---- Optimality against brute force ----

struct Space {
    std::vector<std::vector<std::string>> boxes; // texts each box may take
};

// Series members from 10^low to 10^high in a box whose unit is 10^unit,
// written independently of the code under test.
std::vector<std::string> seriesTexts(Series s, int low, int high, int unit) {
    std::vector<std::string> texts;
    const auto add = [&](int m, int decade) {
        const int e = decade - 2 - unit;
        char b[64];
        std::snprintf(b, sizeof b, "%.*f", std::max(0, -e), m * std::pow(10.0, e));
        texts.emplace_back(b);
    };
    for (int d = low; d < high; ++d) {
        for (const int m : calc::seriesMantissas(s)) {
            add(m, d);
        }
    }
    add(100, high);
    return texts;
}

struct Combo {
    double absError;
    calc::Inputs inputs;
};

std::vector<double> bruteForce(calc::Mode mode, const Space& space, double target,
                               std::optional<double> duty, std::size_t top) {
    std::vector<std::pair<double, double>> all; // error, frequency
    std::array<std::size_t, 4> idx{};
    const std::size_t n = space.boxes.size();
    while (true) {
        std::array<double, 4> x{};
        for (std::size_t b = 0; b < n; ++b) {
            x[b] = calc::toNumber(space.boxes[b][idx[b]]);
        }
        const calc::Periods p = *calc::periods(mode, x);
        const double hz = p.f * (mode == 6 ? 1e6 : 1e3);
        if (!duty || std::abs(p.t1 / p.t - *duty) <= calc::kDutySlack) {
            all.emplace_back(std::abs(hz / target - 1.0), hz);
        }
        std::size_t b = 0;
        while (b < n && ++idx[b] == space.boxes[b].size()) {
            idx[b++] = 0;
        }
        if (b == n) {
            break;
        }
    }
    // Each result once: parts scaled by a decade against each other give the
    // same frequency and count as one.
    std::sort(all.begin(), all.end());
    std::vector<double> errors;
    std::vector<double> seen;
    for (const auto& [error, hz] : all) {
        if (errors.size() == top) {
            break;
        }
        if (std::none_of(seen.begin(), seen.end(),
                         [&](double s) { return std::abs(s - hz) <= 1e-12 * std::max(s, hz); })) {
            seen.push_back(hz);
            errors.push_back(error);
        }
    }
    return errors;
}

struct BruteRow {
    const char* name;
    const char* id;
    double targetHz;
    std::optional<double> duty;
    Series r, c, l;
    calc::DecadeRange rr, cr, lr;
};

void PrintTo(const BruteRow& row, std::ostream* os) {
    *os << row.name;
}

class Optimal : public ::testing::TestWithParam<BruteRow> {};

TEST_P(Optimal, MatchesBruteForce) {
    const BruteRow& row = GetParam();
    const calc::CatalogueEntry& c = circuit(row.id);
    calc::DesignRequest r;
    r.targetHz = row.targetHz;
    r.duty = row.duty;
    r.resistorSeries = row.r;
    r.capacitorSeries = row.c;
    r.inductorSeries = row.l;
    r.resistorRange = row.rr;
    r.capacitorRange = row.cr;
    r.inductorRange = row.lr;
    r.top = 7;
    const calc::DesignResult d = calc::design(c, r);
    ASSERT_EQ(d.problem, calc::DesignProblem::None) << d.reason;

    Space space;
    for (const calc::DesignInput& in : calc::designInputs(c)) {
        if (in.kind == calc::Kind::Resistor) {
            space.boxes.push_back(seriesTexts(row.r, row.rr.low, row.rr.high, in.unitExponent));
        } else if (in.kind == calc::Kind::Capacitor) {
            space.boxes.push_back(seriesTexts(row.c, row.cr.low, row.cr.high, in.unitExponent));
        } else {
            space.boxes.push_back(seriesTexts(row.l, row.lr.low, row.lr.high, in.unitExponent));
        }
    }
    const std::vector<double> expected = bruteForce(c.mode, space, row.targetHz, row.duty, 7);
    std::vector<double> got;
    for (const calc::Candidate& cand : d.candidates) {
        got.push_back(std::abs(cand.errorPercent / 100.0));
        // Each value is one the brute force could pick.
        for (std::size_t b = 0; b < space.boxes.size(); ++b) {
            const auto& allowed = space.boxes[b];
            const double v = calc::toNumber(cand.inputs[b]);
            EXPECT_TRUE(std::any_of(allowed.begin(), allowed.end(), [&](const std::string& t) {
                return calc::toNumber(t) == v;
            })) << cand.inputs[b];
        }
        if (row.duty) {
            ASSERT_TRUE(cand.duty);
            EXPECT_LE(std::abs(*cand.duty - *row.duty), calc::kDutySlack);
        }
    }
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i], expected[i], 1e-12 * (1 + expected[i])) << "rank " << i;
    }
}

constexpr calc::DecadeRange kR{3, 5};     // 1 k to 100 k
constexpr calc::DecadeRange kC{-9, -7};   // 1 nF to 100 nF
constexpr calc::DecadeRange kL{-6, -4};   // 1 uH to 100 uH
constexpr calc::DecadeRange kPf{-11, -9}; // 10 pF to 1 nF

INSTANTIATE_TEST_SUITE_P(
    SmallRanges, Optimal,
    ::testing::Values(
        BruteRow{"WienE24", "rc1", 1000, {}, Series::E24, Series::E12, Series::E6, kR, kC, kL},
        BruteRow{"WienE96", "rc1", 2345, {}, Series::E96, Series::E6, Series::E6, kR, kC, kL},
        BruteRow{"Multivibrator", "rc2", 700, {}, Series::E12, Series::E6, Series::E6, kR, kC, kL},
        BruteRow{"MultivibratorDuty", "rc2", 700, 0.3, Series::E12, Series::E6, Series::E6, kR, kC,
                 kL},
        BruteRow{"NotGate", "rc3", 33000, {}, Series::E48, Series::E12, Series::E6, kR, kC, kL},
        BruteRow{"Timer555", "rc4", 1000, {}, Series::E24, Series::E6, Series::E6, kR, kC, kL},
        BruteRow{"Timer555Duty", "rc4", 1000, 0.6, Series::E24, Series::E6, Series::E6, kR, kC, kL},
        BruteRow{"Timer555Duty90", "rc4", 5000, 0.9, Series::E12, Series::E12, Series::E6, kR, kC,
                 kL},
        BruteRow{"Lc", "lc2", 123456, {}, Series::E24, Series::E24, Series::E12, kR, kC, kL},
        BruteRow{
            "Capacitive", "lc4", 10.7e6, {}, Series::E24, Series::E6, Series::E12, kR, kPf, kL},
        BruteRow{
            "CapacitiveEdge", "lc4", 2.5e6, {}, Series::E24, Series::E6, Series::E6, kR, kPf, kL}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Candidates ----

TEST(Design, CandidatesCarryTheCalculatedLinesAndTheirError) {
    for (const char* id : {"rc1", "rc2", "rc3", "rc4", "lc1", "lc2", "lc3", "lc4"}) {
        const calc::CatalogueEntry& c = circuit(id);
        calc::DesignRequest r;
        r.targetHz = c.mode == 6 ? 10.7e6 : 1000;
        const calc::DesignResult d = calc::design(c, r);
        ASSERT_EQ(d.candidates.size(), 5u) << id << d.reason;
        double previous = 0.0;
        for (const calc::Candidate& cand : d.candidates) {
            const calc::Answer a = calc::calculate(c.mode, cand.inputs);
            ASSERT_FALSE(a.message) << id;
            for (std::size_t i = 0; i < 4; ++i) {
                EXPECT_EQ(cand.lines[i], a.lines[i].value_or("")) << id;
            }
            // The f line, read back, is the frequency the error was taken from.
            EXPECT_NEAR(fHz(c.mode, cand.inputs) / cand.frequencyHz, 1.0, 1e-13) << id;
            EXPECT_NEAR(cand.errorPercent, (cand.frequencyHz / r.targetHz - 1) * 100, 1e-9);
            EXPECT_GE(std::abs(cand.errorPercent), previous) << id;
            previous = std::abs(cand.errorPercent);
            EXPECT_LT(cand.fMinHz, cand.frequencyHz);
            EXPECT_GT(cand.fMaxHz, cand.frequencyHz);
            for (const std::string& text : cand.inputs) {
                EXPECT_LE(text.size(), 10u);
            }
        }
    }
}

TEST(Design, FixedValuesStayAsTyped) {
    calc::DesignRequest r;
    r.targetHz = 1000;
    r.fixed[2] = "0.01";
    const calc::DesignResult d = calc::design(circuit("rc4"), r);
    ASSERT_FALSE(d.candidates.empty()) << d.reason;
    for (const calc::Candidate& cand : d.candidates) {
        EXPECT_EQ(cand.inputs[2], "0.01");
    }
    // The capacitive three-point's C may be left out, as the window allows.
    calc::DesignRequest lc;
    lc.targetHz = 10.7e6;
    lc.fixed[1] = "0";
    const calc::DesignResult d6 = calc::design(circuit("lc4"), lc);
    ASSERT_FALSE(d6.candidates.empty()) << d6.reason;
    EXPECT_EQ(d6.candidates.front().inputs[1], "0");
}

TEST(Design, EverythingFixedGivesThatOneCombination) {
    calc::DesignRequest r;
    r.targetHz = 48.1;
    r.fixed = {"10", "10", "1", std::nullopt};
    const calc::DesignResult d = calc::design(circuit("rc4"), r);
    ASSERT_EQ(d.candidates.size(), 1u) << d.reason;
    EXPECT_EQ(d.candidates[0].lines[calc::T], "T=20.79ms");
}

struct BadRow {
    const char* name;
    const char* id;
    double target;
    std::optional<double> duty;
    std::optional<std::string> fixed0;
    double tolerance;
    calc::DesignProblem problem;
};

void PrintTo(const BadRow& row, std::ostream* os) {
    *os << row.name;
}

class Refuses : public ::testing::TestWithParam<BadRow> {};

TEST_P(Refuses, WithAReason) {
    const BadRow& row = GetParam();
    calc::DesignRequest r;
    r.targetHz = row.target;
    r.duty = row.duty;
    r.fixed[0] = row.fixed0;
    r.resistorTolerance = row.tolerance;
    const calc::DesignResult d = calc::design(circuit(row.id), r);
    EXPECT_EQ(d.problem, row.problem);
    EXPECT_TRUE(d.candidates.empty());
    EXPECT_FALSE(d.reason.empty());
}

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
using P = calc::DesignProblem;

INSTANTIATE_TEST_SUITE_P(
    BadTargets, Refuses,
    ::testing::Values(BadRow{"Zero", "rc1", 0, {}, {}, 5, P::BadTarget},
                      BadRow{"Negative", "rc1", -1000, {}, {}, 5, P::BadTarget},
                      BadRow{"NotANumber", "rc4", kNan, {}, {}, 5, P::BadTarget},
                      BadRow{"Infinite", "lc4", kInf, {}, {}, 5, P::BadTarget},
                      BadRow{"TooHigh", "rc1", 1e9, {}, {}, 5, P::OutOfReach},
                      BadRow{"TooLow", "lc4", 1, {}, {}, 5, P::OutOfReach},
                      BadRow{"Quartz", "quartz1", 1000, {}, {}, 5, P::NotComputing},
                      BadRow{"Help", "help", 1000, {}, {}, 5, P::NotComputing},
                      BadRow{"DutyOnWien", "rc1", 1000, 0.5, {}, 5, P::DutyNotApplicable},
                      BadRow{"DutyZero", "rc2", 1000, 0.0, {}, 5, P::BadDuty},
                      BadRow{"DutyOne", "rc2", 1000, 1.0, {}, 5, P::BadDuty},
                      BadRow{"DutyNan", "rc4", 1000, kNan, {}, 5, P::BadDuty},
                      BadRow{"Duty555Below50", "rc4", 1000, 0.4, {}, 5, P::DutyBelowHalf},
                      BadRow{"FixedLetters", "rc4", 1000, {}, "1k", 5, P::BadFixedValue},
                      BadRow{"FixedZero", "rc4", 1000, {}, "0", 5, P::BadFixedValue},
                      BadRow{"FixedTooLong", "rc4", 1000, {}, "12345678901", 5, P::BadFixedValue},
                      BadRow{"Tolerance100", "rc4", 1000, {}, {}, 100, P::BadTolerance},
                      BadRow{"ToleranceNegative", "rc4", 1000, {}, {}, -1, P::BadTolerance}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Design, Timer555AtHalfDutyIsJustAboveHalf) {
    calc::DesignRequest r;
    r.targetHz = 1000;
    r.duty = 0.5;
    const calc::DesignResult d = calc::design(circuit("rc4"), r);
    ASSERT_FALSE(d.candidates.empty()) << d.reason;
    for (const auto& cand : d.candidates) {
        EXPECT_GT(*cand.duty, 0.5);
        EXPECT_LE(*cand.duty, 0.52);
    }
}

TEST(Design, UnreachableDutyOffersTheNearest) {
    // R1 and both capacitors fixed: only R2 moves T1/T, and 1 k to 10 M for
    // R2 cannot bring it to 0.99 with R1 = 1 k.
    calc::DesignRequest r;
    r.targetHz = 10;
    r.duty = 0.99;
    r.fixed = {"1", std::nullopt, "1", "1"};
    const calc::DesignResult d = calc::design(circuit("rc2"), r);
    ASSERT_EQ(d.problem, P::DutyUnreachable) << d.reason;
    ASSERT_TRUE(d.nearestDuty);
    // R2 at its lowest, 1 k: T1 = T2.
    EXPECT_DOUBLE_EQ(*d.nearestDuty, 0.5);
    EXPECT_NE(d.reason.find("0.5"), std::string::npos) << d.reason;
}

// ---- The band: every formula falls in each value, so two corners bound it ----

TEST(Band, FormulasFallInEachValueAndCornersBoundTheBox) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> logValue(-3.0, 3.0);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (const calc::Mode mode : {1, 2, 3, 4, 5, 6}) {
        const std::size_t used = mode == 4 ? 3 : (mode == 2 || mode == 6) ? 4 : 2;
        for (int trial = 0; trial < 200; ++trial) {
            std::array<double, 4> x{};
            for (std::size_t i = 0; i < used; ++i) {
                x[i] = std::pow(10.0, logValue(rng));
            }
            const double f = calc::periods(mode, x)->f;
            for (std::size_t i = 0; i < used; ++i) {
                std::array<double, 4> up = x;
                up[i] *= 1.001;
                EXPECT_LT(calc::periods(mode, up)->f, f) << "mode " << mode << " value " << i;
            }
            const double tol = 0.1;
            std::array<double, 4> low = x;
            std::array<double, 4> high = x;
            for (std::size_t i = 0; i < used; ++i) {
                low[i] *= 1 - tol;
                high[i] *= 1 + tol;
            }
            const double fMax = calc::periods(mode, low)->f;
            const double fMin = calc::periods(mode, high)->f;
            for (int inner = 0; inner < 20; ++inner) {
                std::array<double, 4> y = x;
                for (std::size_t i = 0; i < used; ++i) {
                    y[i] *= 1 + tol * unit(rng);
                }
                const double fy = calc::periods(mode, y)->f;
                EXPECT_LE(fy, fMax);
                EXPECT_GE(fy, fMin);
            }
        }
    }
}

TEST(Band, CandidateBandIsTheTwoCorners) {
    calc::DesignRequest r;
    r.targetHz = 1000;
    r.resistorTolerance = 1;
    r.capacitorTolerance = 5;
    const calc::DesignResult d = calc::design(circuit("rc4"), r);
    ASSERT_FALSE(d.candidates.empty()) << d.reason;
    const calc::Candidate& c = d.candidates.front();
    std::array<double, 4> low{}, high{};
    for (std::size_t i = 0; i < 3; ++i) {
        const double t = i < 2 ? 0.01 : 0.05;
        low[i] = calc::toNumber(c.inputs[i]) * (1 - t);
        high[i] = calc::toNumber(c.inputs[i]) * (1 + t);
    }
    EXPECT_DOUBLE_EQ(c.fMaxHz, calc::periods(4, low)->f * 1000);
    EXPECT_DOUBLE_EQ(c.fMinHz, calc::periods(4, high)->f * 1000);
}

// ---- Text forms ----

TEST(DesignText, ErrorAndBand) {
    EXPECT_EQ(calc::errorText(0.2734), "+0.27%");
    EXPECT_EQ(calc::errorText(-1.5), "-1.50%");
    EXPECT_EQ(calc::errorText(0.00123), "+0.0012%");
    EXPECT_EQ(calc::errorText(0.0), "+0.00%");
    EXPECT_EQ(calc::threeDigits(0.95312), "0.953");
    EXPECT_EQ(calc::threeDigits(1.0512), "1.05");
    EXPECT_EQ(calc::threeDigits(2213.7), "2214");
    EXPECT_EQ(calc::threeDigits(0.000123456), "0.000123");
    calc::Candidate c;
    c.fMinHz = 953.1;
    c.fMaxHz = 1050.2;
    EXPECT_EQ(calc::bandText(c, 4), "f=0.953..1.05kHz");
    c.fMinHz = 9.87e6;
    c.fMaxHz = 11.52e6;
    EXPECT_EQ(calc::bandText(c, 6), "f=9.87..11.5MHz");
}

} // namespace

namespace {

// Parts giving the same result a last bit apart must not make the answer
// depend on how many are asked for: the first row is the same for 1 or 20.
TEST(Design, FirstAnswerDoesNotDependOnHowManyAreAsked) {
    const struct {
        const char* id;
        double hz;
        Series c, l;
    } rows[] = {{"lc2", 100e3, Series::E12, Series::E12}, {"lc1", 1e6, Series::E12, Series::E12},
                {"rc1", 1e3, Series::E6, Series::E6},     {"rc2", 1e3, Series::E6, Series::E6},
                {"rc4", 2e3, Series::E12, Series::E6},    {"lc4", 10.7e6, Series::E6, Series::E6}};
    for (const auto& row : rows) {
        calc::DesignRequest r;
        r.targetHz = row.hz;
        r.capacitorSeries = row.c;
        r.inductorSeries = row.l;
        r.top = 1;
        const calc::DesignResult one = calc::design(circuit(row.id), r);
        r.top = 20;
        const calc::DesignResult many = calc::design(circuit(row.id), r);
        ASSERT_FALSE(one.candidates.empty() || many.candidates.empty()) << row.id;
        EXPECT_EQ(one.candidates.front().inputs, many.candidates.front().inputs) << row.id;
        // And no result is listed twice.
        for (std::size_t i = 1; i < many.candidates.size(); ++i) {
            EXPECT_NE(many.candidates[i].lines, many.candidates[i - 1].lines) << row.id;
        }
    }
}

} // namespace
