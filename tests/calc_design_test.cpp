#include "calc/design.h"
#include "calc/designrequest.h"

#include "calc/numtext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <variant>
#include <vector>

namespace {

using calc::Series;

const calc::CatalogueEntry& circuit(std::string_view id) {
    return *calc::entryForId(id);
}

bool hasCjk(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0xE3 && b <= 0xE9; // the lead bytes of U+3000..U+9FFF
    });
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
    // series' digits, each standing in for the step nearest it.
    std::vector<int> irregular;
};

class SeriesTable : public ::testing::TestWithParam<SeriesRow> {};

// Every member in its place, so a mistyped or dropped one shows; E6 and E12
// being every other member of the next series follows from their rows.
TEST_P(SeriesTable, HasTheStandardsMembers) {
    const SeriesRow& row = GetParam();
    const int digits = row.size <= 24 ? 2 : 3;
    std::vector<int> steps;
    for (std::size_t i = 0; i < row.size; ++i) {
        const double geometric = std::pow(10.0, static_cast<double>(i) / row.size);
        const auto rounded = std::lround(geometric * std::pow(10.0, digits - 1));
        steps.push_back(static_cast<int>(rounded) * (digits == 2 ? 10 : 1));
    }
    std::vector<int> expected = steps;
    for (const int v : row.irregular) {
        const auto nearest = std::min_element(steps.begin(), steps.end(), [v](int a, int b) {
            return std::abs(a - v) < std::abs(b - v);
        });
        expected[nearest - steps.begin()] = v;
    }
    EXPECT_EQ(members(row.series), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Iec60063, SeriesTable,
    ::testing::Values(SeriesRow{Series::E6, 6, {330, 470}},
                      SeriesRow{Series::E12, 12, {270, 330, 390, 470, 820}},
                      SeriesRow{Series::E24, 24, {270, 300, 330, 360, 390, 430, 470, 820}},
                      SeriesRow{Series::E48, 48, {}}, SeriesRow{Series::E96, 96, {}}),
    [](const auto& info) { return std::string(calc::seriesName(info.param.series)); });

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
// of the rules' ranges, as the calculate command computes them.
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
        ReachRow{"rc1", {"1", "0.0001", "", ""}, {"1000", "10", "", ""}},
        ReachRow{"rc2", {"10", "10", "0.0001", "0.0001"}, {"100", "100", "100", "100"}},
        ReachRow{"rc3", {"10", "0.0001", "", ""}, {"1000", "10", "", ""}},
        ReachRow{"rc4", {"1", "1", "0.0001", ""}, {"3300", "3300", "1000", ""}},
        ReachRow{"lc1", {"0.0001", "0.00001", "", ""}, {"1000", "1", "", ""}},
        ReachRow{"lc4", {"0.1", "10", "10", "10"}, {"1000000", "1000000", "1000000", "1000000"}}),
    [](const auto& info) { return std::string(info.param.id); });

// ---- The rules hold for what the search offers first ----

// The first answer over each circuit's ordinary band obeys every rule, hits
// the target within the good-enough margin, and its lines are calculate's.
TEST(Rules, HoldForTheFirstAnswerAcrossTheBand) {
    for (const char* id : {"rc1", "rc2", "rc3", "rc4", "lc1", "lc4"}) {
        const calc::CatalogueEntry& c = circuit(id);
        const calc::DesignRules& rules = *calc::designRules(c.mode);
        const auto inputs = calc::designInputs(c);
        for (const double share : {0.05, 0.3, 0.5, 0.7, 0.95}) {
            const double target =
                rules.band.low * std::pow(rules.band.high / rules.band.low, share);
            calc::DesignRequest r;
            r.targetHz = target;
            const calc::DesignResult d = calc::design(c, r);
            ASSERT_FALSE(d.candidates.empty()) << id << " " << target << ": " << d.reason;
            EXPECT_TRUE(d.warnings.empty()) << id << " " << target;
            const calc::Candidate& first = d.candidates.front();
            const calc::Answer a = calc::calculate(c.mode, first.inputs);
            for (std::size_t i = 0; i < 4; ++i) {
                EXPECT_EQ(first.lines[i], a.lines[i].value_or("")) << id;
            }
            // Within the margin, or a little beyond the best there is.
            r.closest = true;
            const double best = std::abs(calc::design(c, r).candidates.at(0).errorPercent) / 100;
            const double margin =
                best > calc::kGoodEnough ? best + calc::kGoodEnoughSlack : calc::kGoodEnough;
            EXPECT_LE(std::abs(first.errorPercent) / 100, margin + 1e-12) << id << " " << target;
            double resistors = 0;
            std::map<std::string, double> si;
            for (const calc::DesignInput& in : inputs) {
                const double v =
                    calc::toNumber(first.inputs[in.box]) * std::pow(10.0, in.unitExponent);
                si[in.name] = v;
                resistors += in.kind == calc::Kind::Resistor ? v : 0;
                const calc::Span range = rules.range[static_cast<std::size_t>(in.kind)];
                EXPECT_TRUE(v >= range.low * (1 - 1e-9) && v <= range.high * (1 + 1e-9))
                    << id << " " << target << " " << in.name << "=" << v;
            }
            if (rules.duty) {
                EXPECT_TRUE(rules.duty->contains(*first.duty)) << id << " " << *first.duty;
            }
            if (rules.maxResistorSum > 0) {
                EXPECT_LE(resistors, rules.maxResistorSum) << id;
            }
            if (rules.capacitorRatio) {
                EXPECT_TRUE(rules.capacitorRatio->span.contains(si["C2"] / si["C1"])) << id;
            }
            std::array<double, 4> boxes{};
            for (const calc::DesignInput& in : inputs) {
                boxes[in.box] = si[in.name];
            }
            EXPECT_TRUE(calc::starts(rules, boxes, first.frequencyHz)) << id << " " << target;
            EXPECT_EQ(first.support.empty(), c.mode == 1 || c.mode == 3) << id;
            if (rules.impedance) {
                ASSERT_TRUE(first.impedanceOhm && first.coil) << id;
                EXPECT_TRUE(rules.impedance->contains(*first.impedanceOhm))
                    << id << " " << *first.impedanceOhm;
            }
        }
    }
}

TEST(Rules, OutsideTheBandStillDesignsButWarns) {
    calc::DesignRequest r;
    r.targetHz = 400e3; // a bipolar 555 this fast is not what the formula describes
    const calc::DesignResult d = calc::design(circuit("rc4"), r);
    ASSERT_FALSE(d.candidates.empty()) << d.reason;
    ASSERT_EQ(d.warnings.size(), 1u);
    EXPECT_NE(d.warnings[0].find("400 kHz"), std::string::npos) << d.warnings[0];
    EXPECT_FALSE(hasCjk(calc::warningsText(d, r.targetHz, calc::Language::English).at(0)));
}

TEST(Rules, MultivibratorPrefersOneResistorAndOneCapacitorValue) {
    calc::DesignRequest r;
    r.targetHz = 1;
    const calc::Candidate first = calc::design(circuit("rc2"), r).candidates.at(0);
    EXPECT_EQ(first.inputs[0], first.inputs[1]);
    EXPECT_EQ(first.inputs[2], first.inputs[3]);
}

// ---- Optimality against brute force ----

struct Space {
    std::vector<std::vector<std::string>> boxes; // texts each box may take, in box order
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

// One combination as the ranking sees it.
struct Ranked {
    int distinct;
    double off;
    double error;
    double hz;
};

// Every combination of the space that obeys the rules, ranked as the search
// promises: within the good-enough margin fewer different values, then values
// nearer the middle of their ranges (in tenths of a decade), then the error;
// the rest by error; each frequency once.
std::vector<Ranked> bruteForce(const calc::CatalogueEntry& c, const Space& space,
                               const std::array<calc::Span, 3>& ranges, double target,
                               std::optional<calc::Span> duty, bool closest, std::size_t top) {
    const calc::DesignRules& rules = *calc::designRules(c.mode);
    const auto inputs = calc::designInputs(c);
    std::vector<Ranked> all;
    std::vector<std::size_t> idx(space.boxes.size());
    while (true) {
        std::array<double, 4> x{};
        std::map<std::string, double> si;
        Ranked r{0, 0.0, 0.0, 0.0};
        double resistors = 0;
        std::vector<std::pair<calc::Kind, double>> parts;
        for (std::size_t b = 0; b < inputs.size(); ++b) {
            const calc::DesignInput& in = inputs[b];
            x[in.box] = calc::toNumber(space.boxes[b][idx[b]]);
            const double v = x[in.box] * std::pow(10.0, in.unitExponent);
            si[in.name] = v;
            resistors += in.kind == calc::Kind::Resistor ? v : 0;
            const calc::Span range = ranges[static_cast<std::size_t>(in.kind)];
            if (std::find(parts.begin(), parts.end(), std::pair{in.kind, v}) == parts.end()) {
                parts.emplace_back(in.kind, v);
            }
            r.off += std::abs(std::log10(v / std::sqrt(range.low * range.high)));
        }
        r.distinct = static_cast<int>(parts.size());
        r.off = std::floor(r.off * 10 + 0.5) / 10; // in tenths of a decade
        const calc::Periods p = *calc::periods(c.mode, x);
        r.hz = p.f * (c.mode == 6 ? 1e6 : 1e3);
        r.error = std::abs(r.hz / target - 1.0);
        std::array<double, 4> boxes{};
        for (const calc::DesignInput& in : inputs) {
            boxes[in.box] = x[in.box] * std::pow(10.0, in.unitExponent);
        }
        const bool obeys = (!duty || duty->contains(p.t1 / p.t)) &&
                           (rules.maxResistorSum == 0 || resistors <= rules.maxResistorSum) &&
                           calc::starts(rules, boxes, r.hz);
        if (obeys) {
            all.push_back(r);
        }
        std::size_t b = 0;
        while (b < idx.size() && ++idx[b] == space.boxes[b].size()) {
            idx[b++] = 0;
        }
        if (b == idx.size()) {
            break;
        }
    }
    const auto byError = [](const Ranked& a, const Ranked& b) { return a.error < b.error; };
    const double best = std::min_element(all.begin(), all.end(), byError)->error;
    const double margin =
        closest ? -1
                : std::max(calc::kGoodEnough,
                           best > calc::kGoodEnough ? best + calc::kGoodEnoughSlack : 0);
    std::vector<Ranked> good, rest;
    for (const Ranked& r : all) {
        (r.error <= margin ? good : rest).push_back(r);
    }
    std::sort(good.begin(), good.end(), [](const Ranked& a, const Ranked& b) {
        return std::tie(a.distinct, a.off, a.error) < std::tie(b.distinct, b.off, b.error);
    });
    std::sort(rest.begin(), rest.end(), byError);
    good.insert(good.end(), rest.begin(), rest.end());
    std::vector<Ranked> shown;
    for (const Ranked& r : good) {
        if (shown.size() < top && std::none_of(shown.begin(), shown.end(), [&](const Ranked& s) {
                return std::abs(s.hz - r.hz) <= 1e-12 * std::max(s.hz, r.hz);
            })) {
            shown.push_back(r);
        }
    }
    return shown;
}

struct DecadeRange {
    int low;
    int high;
};

struct BruteRow {
    const char* name;
    const char* id;
    double targetHz;
    std::optional<double> duty;
    Series r, c;
    DecadeRange rr, cr;
    bool closest;
};

void PrintTo(const BruteRow& row, std::ostream* os) {
    *os << row.name;
}

class Optimal : public ::testing::TestWithParam<BruteRow> {};

TEST_P(Optimal, MatchesBruteForce) {
    const BruteRow& row = GetParam();
    const calc::CatalogueEntry& c = circuit(row.id);
    const auto span = [](DecadeRange d) {
        return calc::Span{std::pow(10.0, d.low), std::pow(10.0, d.high)};
    };
    calc::DesignRequest r;
    r.targetHz = row.targetHz;
    r.duty = row.duty;
    r.parts[0] = {row.r, {}, span(row.rr)};
    r.parts[1] = {row.c, {}, span(row.cr)};
    r.top = 7;
    r.closest = row.closest;
    const calc::DesignResult d = calc::design(c, r);
    ASSERT_EQ(d.problem, calc::DesignProblem::None) << d.reason;

    Space space;
    for (const calc::DesignInput& in : calc::designInputs(c)) {
        const bool resistor = in.kind == calc::Kind::Resistor;
        const DecadeRange range = resistor ? row.rr : row.cr;
        space.boxes.push_back(
            seriesTexts(resistor ? row.r : row.c, range.low, range.high, in.unitExponent));
    }
    const calc::DesignRules& rules = *calc::designRules(c.mode);
    const std::optional<calc::Span> duty =
        row.duty ? calc::Span{*row.duty - calc::kDutySlack, *row.duty + calc::kDutySlack}
                 : rules.duty;
    const auto expected = bruteForce(c, space, {span(row.rr), span(row.cr), calc::Span{}},
                                     row.targetHz, duty, row.closest, r.top);
    ASSERT_EQ(d.candidates.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const calc::Candidate& cand = d.candidates[i];
        EXPECT_NEAR(std::abs(cand.errorPercent) / 100, expected[i].error, 1e-12) << "rank " << i;
        EXPECT_NEAR(cand.frequencyHz, expected[i].hz, 1e-9 * expected[i].hz) << "rank " << i;
    }
}

constexpr DecadeRange kR{3, 5};   // 1 k to 100 k
constexpr DecadeRange kC{-9, -7}; // 1 nF to 100 nF

const BruteRow kBruteRows[] = {
    {"WienE24", "rc1", 1000, {}, Series::E24, Series::E12, kR, kC, false},
    {"WienE96Closest", "rc1", 2345, {}, Series::E96, Series::E6, kR, kC, true},
    {"Multivibrator", "rc2", 700, {}, Series::E12, Series::E6, kR, kC, false},
    {"MultivibratorDuty", "rc2", 700, 0.3, Series::E12, Series::E6, kR, kC, false},
    {"MultivibratorClosest", "rc2", 700, {}, Series::E12, Series::E6, kR, kC, true},
    {"NotGate", "rc3", 33000, {}, Series::E48, Series::E12, {4, 5}, kC, false},
    {"Timer555", "rc4", 1000, {}, Series::E24, Series::E6, kR, kC, false},
    {"Timer555Duty", "rc4", 1000, 0.6, Series::E24, Series::E6, kR, kC, false},
    {"Timer555Duty90", "rc4", 5000, 0.9, Series::E12, Series::E12, kR, kC, false},
    {"Timer555NearItsLimit", "rc4", 55, {}, Series::E12, Series::E6, kR, kC, false},
    {"WienWholeRanges", "rc1", 1290, {}, Series::E96, Series::E24, {3, 6}, {-10, -5}, false}};

INSTANTIATE_TEST_SUITE_P(SmallRanges, Optimal, ::testing::ValuesIn(kBruteRows),
                         [](const auto& info) { return std::string(info.param.name); });

// A wound coil: every capacitor combination within the rules gets the
// inductance it needs; the ranking is by the number of values, then by how
// near the tank's impedance 1/(2πfC) is to the middle of its window.
TEST(OptimalTank, MatchesBruteForce) {
    const double target = 10.7e6;
    const double pf = 1e-12;
    const calc::CatalogueEntry& c = circuit("lc4");
    calc::DesignRequest r;
    r.targetHz = target;
    r.parts[1].range = calc::Span{10 * pf, 1000 * pf};
    r.top = 6;
    const calc::DesignResult d = calc::design(c, r);
    ASSERT_EQ(d.candidates.size(), r.top) << d.reason;
    const calc::DesignRules& rules = *calc::designRules(c.mode);
    const double middle = std::sqrt(rules.impedance->low * rules.impedance->high);
    const std::vector<std::string> caps = seriesTexts(Series::E6, -11, -9, -12);
    std::vector<std::pair<int, double>> expected; // values, decades from the middle
    for (const auto& cc : caps) {
        for (const auto& c1 : caps) {
            for (const auto& c2 : caps) {
                const double a = std::stod(cc), b1 = std::stod(c1), b2 = std::stod(c2);
                const double total = (a + 2 + b1 * b2 / (b1 + b2)) * pf;
                const double z = 1 / (2 * std::numbers::pi * target * total);
                // The coil that gives the target, as the search rounds it.
                const double l =
                    calc::roundedDecimal(
                        1 / (std::pow(2 * std::numbers::pi * target, 2) * total) / 1e-6, 3)
                        .value() *
                    1e-6;
                if (!rules.capacitorRatio->span.contains(b2 / b1) ||
                    !rules.impedance->contains(z) ||
                    !calc::starts(rules, {l, a * pf, b1 * pf, b2 * pf}, target)) {
                    continue;
                }
                const int values = 1 + (a != b1 && a != b2) + (b1 != b2);
                expected.emplace_back(values, std::abs(std::log10(z / middle)));
            }
        }
    }
    std::sort(expected.begin(), expected.end());
    for (std::size_t i = 0; i < r.top; ++i) {
        const calc::Candidate& cand = d.candidates[i];
        const double a = std::stod(cand.inputs[1]), b1 = std::stod(cand.inputs[2]),
                     b2 = std::stod(cand.inputs[3]);
        const int values = 1 + (a != b1 && a != b2) + (b1 != b2);
        const double z = 1 / (2 * std::numbers::pi * target * (a + 2 + b1 * b2 / (b1 + b2)) * pf);
        EXPECT_EQ(values, expected[i].first) << "rank " << i;
        EXPECT_NEAR(std::abs(std::log10(z / middle)), expected[i].second, 1e-5) << "rank " << i;
        // The coil is wound to three digits: the target within their rounding.
        EXPECT_LT(std::abs(cand.errorPercent), 0.3) << "rank " << i;
    }
}

// A coil range that keeps the tank below its middle impedance still leaves
// sound tanks, the nearest the middle first.
TEST(OptimalTank, CoilRangeAwayFromTheMiddle) {
    calc::DesignRequest r;
    r.targetHz = 1e3;
    r.parts[2].range = calc::Span{25e-3, 50e-3}; // 157 Ω to 314 Ω at 1 kHz
    const calc::DesignResult d = calc::design(circuit("lc1"), r);
    ASSERT_EQ(d.candidates.size(), 2u) << d.reason; // C = 680 nF and 1 μF
    EXPECT_GT(*d.candidates[0].impedanceOhm, *d.candidates[1].impedanceOhm);
}

// ---- Candidates ----

TEST(Design, CandidatesCarryTheCalculatedLinesAndTheirError) {
    for (const char* id : {"rc1", "rc2", "rc3", "rc4", "lc1", "lc2", "lc3", "lc4"}) {
        const calc::CatalogueEntry& c = circuit(id);
        calc::DesignRequest r;
        r.targetHz = c.mode == 6 ? 10.7e6 : 1000;
        const calc::DesignResult d = calc::design(c, r);
        ASSERT_EQ(d.candidates.size(), 5u) << id << d.reason;
        for (const calc::Candidate& cand : d.candidates) {
            const calc::Answer a = calc::calculate(c.mode, cand.inputs);
            ASSERT_FALSE(a.message) << id;
            for (std::size_t i = 0; i < 4; ++i) {
                EXPECT_EQ(cand.lines[i], a.lines[i].value_or("")) << id;
            }
            // The f line, read back, is the frequency the error was taken from.
            EXPECT_NEAR(fHz(c.mode, cand.inputs) / cand.frequencyHz, 1.0, 1e-13) << id;
            EXPECT_NEAR(cand.errorPercent, (cand.frequencyHz / r.targetHz - 1) * 100, 1e-9);
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
    r.parts[0].tolerance = row.tolerance;
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
    ::testing::Values(
        BadRow{"Zero", "rc1", 0, {}, {}, 5, P::BadTarget},
        BadRow{"Negative", "rc1", -1000, {}, {}, 5, P::BadTarget},
        BadRow{"NotANumber", "rc4", kNan, {}, {}, 5, P::BadTarget},
        BadRow{"Infinite", "lc4", kInf, {}, {}, 5, P::TooLarge},
        BadRow{"Quartz", "quartz1", 1000, {}, {}, 5, P::NotComputing},
        BadRow{"Help", "help", 1000, {}, {}, 5, P::NotComputing},
        BadRow{"DutyOnWien", "rc1", 1000, 0.5, {}, 5, P::DutyNotApplicable},
        BadRow{"DutyZero", "rc2", 1000, 0.0, {}, 5, P::BadDuty},
        BadRow{"DutyOne", "rc2", 1000, 1.0, {}, 5, P::BadDuty},
        BadRow{"DutyNan", "rc4", 1000, kNan, {}, 5, P::BadDuty},
        BadRow{"Duty555Below50", "rc4", 1000, 0.4, {}, 5, P::DutyBelowHalf},
        BadRow{"ResistorSumBeyondTheLimit", "rc4", 1000, {}, "3300", 5, P::NoSoundDesign},
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
    // R1 and both capacitors fixed: only R2 moves T1/T, and its range cannot
    // bring it to 0.99 with R1 at the range's low end.
    calc::DesignRequest r;
    r.targetHz = 20;
    r.duty = 0.99;
    r.fixed = {"10", std::nullopt, "1", "1"};
    const calc::DesignResult d = calc::design(circuit("rc2"), r);
    ASSERT_EQ(d.problem, P::DutyUnreachable) << d.reason;
    ASSERT_TRUE(d.nearestDuty);
    // R2 at its lowest, 10 k: T1 = T2.
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
    r.parts[0].tolerance = 1;
    r.parts[1].tolerance = 5;
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
        r.parts[1].series = row.c;
        r.parts[2].series = row.l;
        r.top = 1;
        const calc::DesignResult one = calc::design(circuit(row.id), r);
        r.top = 20;
        const calc::DesignResult many = calc::design(circuit(row.id), r);
        ASSERT_FALSE(one.candidates.empty() || many.candidates.empty()) << row.id;
        EXPECT_EQ(one.candidates.front().inputs, many.candidates.front().inputs) << row.id;
        // And no result is listed twice: the same frequency, or where a coil
        // is wound (its rounding gives many the same), the same parts.
        for (std::size_t i = 1; i < many.candidates.size(); ++i) {
            const calc::Candidate& a = many.candidates[i - 1];
            const calc::Candidate& b = many.candidates[i];
            EXPECT_NE(b.coil ? b.inputs : b.lines, a.coil ? a.inputs : a.lines) << row.id;
        }
    }
}

// ---- Values as engineers type them ----

struct Spelling {
    const char* text;
    const char* unit;
    std::optional<std::string> si; // the value in the base unit, as plain text
    bool bare;
};

TEST(Quantity, EngineeringSpellings) {
    const Spelling table[] = {
        {"1000", "Hz", "1000", true},         {"1e3", "Hz", "1000", true},
        {"1k", "Hz", "1000", false},          {"1kHz", "Hz", "1000", false},
        {"1 kHz", "Hz", "1000", false},       {"1KHz", "Hz", "1000", false},
        {"1.5MHz", "Hz", "1500000", false},   {"1.5M", "Hz", "1500000", false},
        {"32.768kHz", "Hz", "32768", false},  {"10kΩ", "Ω", "10000", false},
        {"4.7k", "Ω", "4700", false},         {"4k7", "Ω", "4700", false},
        {"10n", "F", "0.00000001", false},    {"10nF", "F", "0.00000001", false},
        {"0.01u", "F", "0.00000001", false},  {"0.01μF", "F", "0.00000001", false},
        {"0.01µF", "F", "0.00000001", false}, {"100uH", "H", "0.0001", false},
        {"2.2mH", "H", "0.0022", false},      {"1 kΩ", "Ω", "1000", false},
        {"1kHz", "F", std::nullopt, false},   {"k", "Hz", std::nullopt, false},
        {"1..2", "Hz", std::nullopt, false},  {"-1k", "Hz", std::nullopt, false},
        {"1x", "Hz", std::nullopt, false},    {"4.7k7", "Ω", std::nullopt, false},
        {"", "Hz", std::nullopt, false},      {"1e99999", "Hz", std::nullopt, false},
        {"10k\u2126", "Ω", "10000", false},   {"10 \u2126", "Ω", "10", false},
    };
    for (const Spelling& row : table) {
        const auto q = calc::parseQuantity(row.text, row.unit);
        ASSERT_EQ(q.has_value(), row.si.has_value()) << row.text;
        if (q) {
            EXPECT_EQ(q->value.plain(), *row.si) << row.text;
            EXPECT_EQ(q->bare, row.bare) << row.text;
        }
    }
}

TEST(Quantity, PartsReadAsTheyAreMarked) {
    const auto inputs = calc::designInputs(*calc::entryForId("lc4"));
    EXPECT_EQ(calc::partText(inputs[1], "4700"), "4.7nF");
    EXPECT_EQ(calc::partText(inputs[0], "0.5"), "0.5μH");
    EXPECT_EQ(calc::engineeringText(1000e-6, "F", 3), "1000μF");
    EXPECT_EQ(calc::engineeringText(0.1e-6, "H", 3, " "), "0.1 μH");
    EXPECT_EQ(calc::engineeringText(3.3e6, "Ω", 3), "3.3MΩ");
    EXPECT_EQ(calc::roundedDecimal(56.249, 3).plain(), "56.2");
}

// ---- Reach, ranking and merging of the search ----

// Where the rules' square wave cannot reach the target, the search says so
// with the reach it found, and that reach is real: just inside it there are
// sound designs.
TEST(Design, DutyWindowBoundsTheReach) {
    const struct {
        const char* id;
        std::array<std::optional<std::string>, 4> fixed;
        Series series;
    } rows[] = {{"rc2", {{{}, {}, {}, "0.0001"}}, Series::E96}, // C2 = 100 pF
                {"rc2", {{{}, {}, "0.0001", {}}}, Series::E6},  // C1 = 100 pF
                {"rc4", {{{}, "1", "1", {}}}, Series::E24}};    // R2 = 1 kΩ, C = 1 μF
    for (const auto& row : rows) {
        calc::DesignRequest r;
        r.parts[0].series = r.parts[1].series = row.series;
        r.fixed = row.fixed;
        r.targetHz = 1;
        const calc::DesignResult far = calc::design(circuit(row.id), r);
        ASSERT_EQ(far.problem, P::NoSoundDesign) << row.id << " " << far.reason;
        ASSERT_GT(far.reachMaxHz, far.reachMinHz) << row.id;
        r.targetHz = far.reachMinHz * 1.1;
        const calc::DesignResult near = calc::design(circuit(row.id), r);
        ASSERT_FALSE(near.candidates.empty()) << row.id << " " << near.reason;
        EXPECT_TRUE(
            calc::designRules(circuit(row.id).mode)->duty->contains(*near.candidates.front().duty))
            << row.id;
    }
}

// A wound coil makes up any difference; --closest sorts what its rounding
// leaves, and each capacitor that gives a sound tank is a design of its own.
TEST(Design, WoundCoilsSortByErrorAndListEveryCapacitor) {
    for (const char* id : {"lc1", "lc2", "lc3", "lc4"}) {
        calc::DesignRequest r;
        r.targetHz = 1e6;
        r.top = 20;
        const calc::DesignResult preferred = calc::design(circuit(id), r);
        r.closest = true;
        const calc::DesignResult closest = calc::design(circuit(id), r);
        ASSERT_FALSE(closest.candidates.empty()) << id << closest.reason;
        EXPECT_EQ(closest.candidates.size(), preferred.candidates.size()) << id;
        for (std::size_t i = 1; i < closest.candidates.size(); ++i) {
            EXPECT_LE(std::abs(closest.candidates[i - 1].errorPercent),
                      std::abs(closest.candidates[i].errorPercent))
                << id << " rank " << i;
        }
        EXPECT_LE(std::abs(closest.candidates[0].errorPercent),
                  std::abs(preferred.candidates[0].errorPercent))
            << id;
    }
    // lc1 at 10 kHz: one design for every capacitor of the series whose tank
    // lies within the rules.
    const calc::DesignRules& rules = *calc::designRules(circuit("lc1").mode);
    const double omega = 2 * std::numbers::pi * 10e3;
    std::size_t sound = 0;
    for (const std::string& text : seriesTexts(Series::E6, -12, -5, -6)) {
        const double farad = std::stod(text) * 1e-6;
        const double henry = 1 / (omega * omega * farad);
        sound += rules.range[1].contains(farad) && rules.range[2].contains(henry) &&
                 rules.impedance->contains(omega * henry);
    }
    calc::DesignRequest r;
    r.targetHz = 10e3;
    r.top = 100;
    EXPECT_EQ(calc::design(circuit("lc1"), r).candidates.size(), sound);
}

// ---- Reading what was typed, and saying what is wrong ----

TEST(Read, SaysTooLargeOrTooSmallAndEchoesTheTextBounded) {
    const auto rc1 = calc::designInputs(circuit("rc1"));
    const auto kindOf = [](const auto& read) {
        const auto* p = std::get_if<calc::Problem>(&read);
        return p ? p->kind : P::None;
    };
    const std::string digits(100, '1');
    const struct {
        const char* what;
        P target, fixed, duty;
    } rows[] = {{"1e309", P::TooLarge, P::TooLarge, P::TooLarge},
                {"1e-400", P::TooSmall, P::TooSmall, P::TooSmall},
                {"1e9999", P::TooLarge, P::TooLarge, P::TooLarge},
                {"1e-9", P::None, P::TooSmall, P::None},
                {"1e-8", P::None, P::None, P::None},
                {"12345678901", P::None, P::TooLarge, P::None},
                {"1.234567891", P::None, P::BadFixedValue, P::None},
                {"inf", P::Unreadable, P::Unreadable, P::Unreadable},
                {"-1", P::Unreadable, P::Unreadable, P::Unreadable},
                {"0", P::BadTarget, P::None, P::None},
                {digits.c_str(), P::None, P::TooLarge, P::None}};
    for (const auto& row : rows) {
        EXPECT_EQ(kindOf(calc::readTarget(row.what)), row.target) << row.what;
        const auto fixed = calc::readFixed(rc1[0], row.what);
        EXPECT_EQ(kindOf(fixed), row.fixed) << row.what;
        EXPECT_EQ(kindOf(calc::readDuty(row.what)), row.duty) << row.what;
        if (const auto* p = std::get_if<calc::Problem>(&fixed)) {
            for (const auto language : {calc::Language::Chinese, calc::Language::English}) {
                const std::string text = calc::describe(*p, language);
                EXPECT_NE(text.find(calc::echoText(row.what)), std::string::npos) << text;
                EXPECT_LT(text.size(), 200u) << text;
            }
        }
    }
    EXPECT_EQ(calc::echoText(digits), digits.substr(0, calc::kEchoLength) + "…");
    EXPECT_EQ(std::get<double>(calc::readDuty("60%")), 0.6);
}

// A range end by end: a blank end is the given default's (the dialog's
// empty field) or unreadable (osccalc's "R=..1M"); a refused range leaves
// the request as it was.
TEST(Read, RangeEnds) {
    const auto rc1 = calc::designInputs(circuit("rc1"));
    const calc::Span rules = calc::designRules(1)->range[0];
    const struct {
        const char* low;
        const char* high;
        std::optional<calc::Span> blank;
        P problem;
        std::optional<calc::Span> range;
    } rows[] = {{"10k", "", rules, P::None, calc::Span{1e4, rules.high}},
                {"", "2M", rules, P::None, calc::Span{rules.low, 2e6}},
                {"", "2M", {}, P::Unreadable, {}},
                {"10k", "1e999", rules, P::TooLarge, {}}};
    for (const auto& row : rows) {
        calc::DesignRequest r;
        const auto problem = calc::setRange(r, rc1[0], row.low, row.high, row.blank);
        EXPECT_EQ(problem ? problem->kind : P::None, row.problem) << row.low << ".." << row.high;
        EXPECT_EQ(r.parts[0].range.has_value(), row.range.has_value()) << row.low;
        if (r.parts[0].range && row.range) {
            EXPECT_EQ(r.parts[0].range->low, row.range->low);
            EXPECT_EQ(r.parts[0].range->high, row.range->high);
        }
    }
}

// Every problem and the rules are worded in both languages, the English
// without a Chinese character.
TEST(Describe, EveryProblemInBothLanguages) {
    const calc::DesignRules& lc4 = *calc::designRules(circuit("lc4").mode);
    const calc::DesignRules& rc4 = *calc::designRules(circuit("rc4").mode);
    for (int k = static_cast<int>(P::NotComputing); k <= static_cast<int>(P::NoSoundDesign); ++k) {
        for (const auto field : {calc::Field::None, calc::Field::Target, calc::Field::Duty,
                                 calc::Field::Fixed, calc::Field::Range, calc::Field::Tolerance}) {
            calc::Problem p;
            p.kind = static_cast<P>(k);
            p.field = field;
            p.name = field == calc::Field::Fixed ? "R1" : "R";
            p.typed = "1x";
            p.rules = &rc4;
            const std::string zh = calc::describe(p, calc::Language::Chinese);
            const std::string en = calc::describe(p, calc::Language::English);
            EXPECT_TRUE(hasCjk(zh)) << k << " " << zh;
            EXPECT_FALSE(en.empty() || hasCjk(en)) << k << " " << en;
        }
    }
    for (const calc::DesignRules* rules : {&lc4, &rc4}) {
        for (const std::string& line : calc::rulesText(*rules, calc::Language::English)) {
            EXPECT_FALSE(hasCjk(line)) << line;
        }
    }
}

} // namespace
