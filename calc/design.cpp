#include "calc/design.h"

#include "calc/circuitparts.h"
#include "calc/designsearch.h"
#include "calc/inputlimit.h"
#include "calc/numtext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <tuple>

namespace calc {

using detail::Choices;
using detail::frequencyHz;
using detail::hzPerUnit;

namespace {

// IEC 60063, one decade each. E24 keeps the irregular members (2.7, 3.3,
// 4.7, 8.2 ...) that differ from the rounded geometric steps; E12 and E6 are
// its every second and fourth member, E48 every second of E96.
constexpr int kE24[] = {100, 110, 120, 130, 150, 160, 180, 200, 220, 240, 270, 300,
                        330, 360, 390, 430, 470, 510, 560, 620, 680, 750, 820, 910};
constexpr int kE96[] = {100, 102, 105, 107, 110, 113, 115, 118, 121, 124, 127, 130, 133, 137,
                        140, 143, 147, 150, 154, 158, 162, 165, 169, 174, 178, 182, 187, 191,
                        196, 200, 205, 210, 215, 221, 226, 232, 237, 243, 249, 255, 261, 267,
                        274, 280, 287, 294, 301, 309, 316, 324, 332, 340, 348, 357, 365, 374,
                        383, 392, 402, 412, 422, 432, 442, 453, 464, 475, 487, 499, 511, 523,
                        536, 549, 562, 576, 590, 604, 619, 634, 649, 665, 681, 698, 715, 732,
                        750, 768, 787, 806, 825, 845, 866, 887, 909, 931, 953, 976};

template <std::size_t Step, std::size_t N>
constexpr std::array<int, N / Step> everyNth(const int (&series)[N]) {
    std::array<int, N / Step> out{};
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = series[i * Step];
    }
    return out;
}

constexpr auto kE6 = everyNth<4>(kE24);
constexpr auto kE12 = everyNth<2>(kE24);
constexpr auto kE48 = everyNth<2>(kE96);

Choices seriesChoices(Series series, Span range, int unitExponent) {
    Choices c;
    const double middle = std::log10(range.low * range.high) / 2.0;
    const int first = static_cast<int>(std::floor(std::log10(range.low))) - 1;
    const int last = static_cast<int>(std::ceil(std::log10(range.high)));
    for (int decade = first; decade <= last; ++decade) {
        for (const int m : seriesMantissas(series)) {
            const Decimal d = parseDecimal(std::to_string(m))->scaled(decade - 2);
            const double si = d.value();
            // The ends themselves belong, whatever rounding says.
            if (si < range.low * (1 - 1e-9) || si > range.high * (1 + 1e-9)) {
                continue;
            }
            c.texts.push_back(d.scaled(-unitExponent).plain());
            c.values.push_back(toNumber(c.texts.back()));
            c.offCentre.push_back(std::abs(std::log10(si) - middle));
        }
    }
    return c;
}

} // namespace

std::span<const int> seriesMantissas(Series series) {
    switch (series) {
    case Series::E6:
        return kE6;
    case Series::E12:
        return kE12;
    case Series::E24:
        return kE24;
    case Series::E48:
        return kE48;
    case Series::E96:
        return kE96;
    }
    return kE6;
}

std::string_view seriesName(Series series) {
    constexpr std::array<std::string_view, 5> names{"E6", "E12", "E24", "E48", "E96"};
    return names[static_cast<std::size_t>(series)];
}

std::optional<Series> seriesFromName(std::string_view name) {
    for (const Series s : kAllSeries) {
        if (seriesName(s) == name) {
            return s;
        }
    }
    return std::nullopt;
}

std::string_view kindName(Kind kind) {
    constexpr std::array<std::string_view, kKinds> names{"电阻", "电容", "电感"};
    return names[static_cast<std::size_t>(kind)];
}

std::string_view unitSymbol(Kind kind) {
    constexpr std::array<std::string_view, kKinds> symbols{"Ω", "F", "H"};
    return symbols[static_cast<std::size_t>(kind)];
}

const DesignRules* designRules(Mode mode) {
    const ModeTraits* traits = modeTraits(mode);
    return traits && traits->design ? &*traits->design : nullptr;
}

double defaultTolerance(Kind kind, Series series) {
    if (series == Series::E96) {
        return 1.0;
    }
    if (series == Series::E48) {
        return 2.0;
    }
    return kind == Kind::Resistor ? 5.0 : 10.0;
}

namespace {

// The rules that make the circuit start, and the parts they choose.
std::vector<std::string> startupText(const DesignRules& rules, bool zh) {
    const auto value = [&](double v, std::string_view unit) {
        return engineeringText(v, unit, 2, zh ? " " : "");
    };
    std::vector<std::string> lines;
    if (rules.startup == Startup::SaturatingSwitches) {
        const std::string beta = threeDigits(kMultivibratorBetaMin);
        const std::string ratio = threeDigits(kMultivibratorRecovery);
        const std::string rcMin = value(kMultivibratorRcMin, "Ω");
        lines.push_back(
            zh ? "集电极电阻 Rc1 = Rc2 取 " + rcMin + " 起最小的 E6 值，使 R1、R2 ≤ β·Rc/2（β 按 " +
                     beta + " 计，导通的管子饱和），且 R1、R2 ≥ " + ratio +
                     "·Rc（截止的管子来得及恢复）；电源 " + value(kMultivibratorSupply, "V")
               : "Rc1 = Rc2 the smallest E6 value from " + rcMin +
                     " with R1, R2 <= beta*Rc/2 (beta " + beta +
                     ": the conducting transistor saturates) and R1, R2 >= " + ratio +
                     "*Rc (the other recovers in time); supply " +
                     value(kMultivibratorSupply, "V"));
    }
    if (rules.maxResistorSum > 0) {
        const std::string supply = value(kTimerSupply, "V");
        const std::string pin5 = value(kTimerControlCap, "F");
        lines.push_back(zh ? "电源 " + supply + "，5 脚经 " + pin5 + " 接地"
                           : "supply " + supply + ", pin 5 to ground by " + pin5);
    }
    if (rules.impedance) {
        // The Colpitts page is common base alone; the other LC row has both.
        const bool colpitts = rules.startup == Startup::ColpittsLoopGain;
        const StageBias emitter = stageBias("lc1");
        const StageBias base = stageBias("lc4");
        const std::string divider =
            value(emitter.rb1, "Ω") + (zh ? "、" : "/") + value(emitter.rb2, "Ω");
        const std::string bypass = value(kBypassOhm, "Ω");
        const std::string baseRe = value(base.re, "Ω");
        const std::string baseIe = value(emitterCurrent(base), "A");
        std::string re;
        if (zh) {
            re = colpitts ? baseRe + "（I_E ≈ " + baseIe + "，管子不饱和）"
                          : "共射 " + value(emitter.re, "Ω") + "（I_E ≈ " +
                                value(emitterCurrent(emitter), "A") + "）、共基 " + baseRe +
                                "（I_E ≈ " + baseIe + "，管子不饱和）";
        } else {
            re = colpitts ? baseRe + " (I_E about " + baseIe + ", not saturating)"
                          : value(emitter.re, "Ω") + " common emitter (I_E about " +
                                value(emitterCurrent(emitter), "A") + "), " + baseRe +
                                " common base (about " + baseIe + ", not saturating)";
        }
        const std::string bypasses = colpitts ? "Cb" : (zh ? "Cb、Ce" : "Cb, Ce");
        lines.push_back(zh ? "偏置：Rb1、Rb2 为 " + divider + "，Re " + re + "；旁路电容 " +
                                 bypasses + " 取容抗不超过 " + bypass + " 的最小 E6 值；电源 " +
                                 value(kStageSupply, "V")
                           : "bias: Rb1/Rb2 " + divider + ", Re " + re + "; bypass " + bypasses +
                                 " the smallest E6 value of at most " + bypass + "; supply " +
                                 value(kStageSupply, "V"));
    }
    if (rules.startup == Startup::ColpittsLoopGain) {
        const std::string gain = threeDigits(kColpittsMinLoopGain);
        const std::string q = threeDigits(kCoilQ);
        lines.push_back(zh ? "起振：按这一偏置（r_e = 25.85 mV / I_E）和 Q = " + q +
                                 " 的线圈，C1、C2 与发射极给回路的环路增益不小于 " + gain
                           : "start-up: loop gain >= " + gain +
                                 " with this bias (r_e = 25.85 mV / I_E) and a coil "
                                 "of Q " +
                                 q);
    }
    return lines;
}

} // namespace

std::vector<std::string> rulesText(const DesignRules& rules, Language language) {
    const bool zh = language == Language::Chinese;
    const auto value = [&](double v, std::string_view unit) {
        return engineeringText(v, unit, 6, zh ? " " : "");
    };
    const std::string_view to = zh ? "～" : "..";
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < kKinds; ++k) {
        const Span r = rules.range[k];
        if (r.high <= 0) {
            continue;
        }
        const auto kind = static_cast<Kind>(k);
        const std::string_view unit = unitSymbol(kind);
        std::string line = (zh ? std::string(kindName(kind)) : std::string(1, "RCL"[k])) + " " +
                           value(r.low, unit) + std::string(to) + value(r.high, unit);
        if (kind == Kind::Inductor && rules.impedance) {
            line += zh ? "，按算出的值绕制或调节磁芯；另列最近的标准电感"
                       : " wound to value, the nearest standard coil beside it";
        }
        if (kind == Kind::Resistor && rules.maxResistorSum > 0) {
            line += (zh ? "，R1 + R2 ≤ " : ", R1+R2 <= ") + value(rules.maxResistorSum, unit);
        }
        lines.push_back(line);
    }
    if (rules.duty) {
        const std::string span =
            threeDigits(rules.duty->low) + std::string(to) + threeDigits(rules.duty->high);
        lines.push_back(zh ? "不指定占空比时 T1/T 在 " + span + " 之间"
                           : "T1/T " + span + " unless a duty is given");
    }
    if (rules.capacitorRatio) {
        const std::string span = threeDigits(rules.capacitorRatio->span.low) + std::string(to) +
                                 threeDigits(rules.capacitorRatio->span.high);
        lines.push_back(zh ? "C2 是 C1 的 " + span + " 倍" : "C2/C1 " + span);
    }
    if (rules.impedance) {
        const std::string span =
            value(rules.impedance->low, "Ω") + std::string(to) + value(rules.impedance->high, "Ω");
        const std::string best =
            value(std::sqrt(rules.impedance->low * rules.impedance->high), "Ω");
        lines.push_back(zh ? "回路阻抗 √(L/C) 在 " + span + " 之间，越接近 " + best + " 越好"
                           : "sqrt(L/C) " + span + ", best near " + best);
    }
    for (std::string& line : startupText(rules, zh)) {
        lines.push_back(std::move(line));
    }
    const std::string band = hzText(rules.band.low) + std::string(to) + hzText(rules.band.high);
    lines.push_back(zh ? "常用频率 " + band : "usual " + band);
    return lines;
}

std::vector<DesignInput> designInputs(const CatalogueEntry& circuit) {
    std::vector<DesignInput> inputs;
    if (!designRules(circuit.mode) || !circuit.setsCaptions()) {
        return inputs;
    }
    const ModeTraits& traits = *modeTraits(circuit.mode);
    struct UnitInfo {
        std::string_view unit;
        Kind kind;
        int exponent;
    };
    constexpr UnitInfo units[] = {{"kΩ", Kind::Resistor, 3},
                                  {"μF", Kind::Capacitor, -6},
                                  {"pF", Kind::Capacitor, -12},
                                  {"mH", Kind::Inductor, -3},
                                  {"μH", Kind::Inductor, -6}};
    for (std::size_t box = 0; box < 4; ++box) {
        // Captions read "NAME (UNIT)"; "None" marks a box the circuit ignores.
        const std::string_view caption = circuit.captions[box];
        const std::size_t open = caption.find(" (");
        if (open == std::string_view::npos || !caption.ends_with(")")) {
            continue;
        }
        const std::string_view unit = caption.substr(open + 2, caption.size() - open - 3);
        for (const UnitInfo& u : units) {
            if (u.unit == unit) {
                inputs.push_back({box, std::string(caption.substr(0, open)), std::string(unit),
                                  u.kind, u.exponent,
                                  traits.tested[box] && !traits.inProduct[box]});
            }
        }
    }
    return inputs;
}

std::optional<std::string> boxTextOf(const DesignInput& input, std::string_view typed) {
    const auto q = parseQuantity(typed, unitSymbol(input.kind));
    if (!q) {
        return std::nullopt;
    }
    // A bare number the box takes goes in as typed.
    if (q->bare && test(std::string(typed))) {
        return std::string(typed);
    }
    return q->value.scaled(q->bare ? 0 : -input.unitExponent).plain();
}

std::optional<double> baseValueOf(const DesignInput& input, std::string_view typed) {
    const auto q = parseQuantity(typed, unitSymbol(input.kind));
    if (!q) {
        return std::nullopt;
    }
    return (q->bare ? q->value.scaled(input.unitExponent) : q->value).value();
}

namespace {

Problem issue(DesignProblem kind, Field field = Field::None, std::string name = {},
              std::string_view typed = {}) {
    Problem p;
    p.kind = kind;
    p.field = field;
    p.name = std::move(name);
    p.typed = echoText(typed);
    return p;
}

DesignResult failed(Problem p) {
    DesignResult r;
    r.problem = p.kind;
    r.reason = describe(p, Language::Chinese);
    r.detail = std::move(p);
    return r;
}

// The reach in Hz once T1/T must stay within `duty`. T1 and T2 each run
// between their values at the two corners; taken as independent they give a
// reach a little wider than the truth where they share a part (the 555's R2
// and C), so a target outside it is out of reach for certain. nullopt when no
// values give a T1/T in the window.
std::optional<Span> dutyReach(Mode mode, const std::array<Choices, 4>& choices, Span duty) {
    const Periods low = *periods(mode, detail::corner(choices, false));
    const Periods high = *periods(mode, detail::corner(choices, true));
    // T1/T within the window is T2/T1 within [q[0], q[1]].
    const double q[] = {(1 - duty.high) / duty.high, duty.low > 0
                                                         ? (1 - duty.low) / duty.low
                                                         : std::numeric_limits<double>::infinity()};
    // The region is the box of (T1, T2) cut by two lines through the origin;
    // T = T1 + T2 is extreme at one of its corners.
    std::vector<std::pair<double, double>> corners;
    for (const double t1 : {low.t1, high.t1}) {
        for (const double t2 : {low.t2, high.t2}) {
            corners.emplace_back(t1, t2);
        }
    }
    for (const double slope : q) {
        if (!std::isfinite(slope) || slope <= 0) {
            continue;
        }
        for (const double t1 : {low.t1, high.t1}) {
            corners.emplace_back(t1, slope * t1);
        }
        for (const double t2 : {low.t2, high.t2}) {
            corners.emplace_back(t2 / slope, t2);
        }
    }
    const auto within = [](double v, double a, double b) {
        return v >= a * (1 - 1e-12) && v <= b * (1 + 1e-12);
    };
    double tMin = std::numeric_limits<double>::infinity();
    double tMax = 0.0;
    for (const auto& [t1, t2] : corners) {
        if (within(t1, low.t1, high.t1) && within(t2, low.t2, high.t2) &&
            within(t2, q[0] * t1, q[1] * t1)) {
            tMin = std::min(tMin, t1 + t2);
            tMax = std::max(tMax, t1 + t2);
        }
    }
    if (tMax == 0.0) {
        return std::nullopt;
    }
    return Span{hzPerUnit(mode) / tMax, hzPerUnit(mode) / tMin};
}

struct Band {
    double minHz;
    double maxHz;
};

// Every formula falls in each value, so the band's ends are the two corners:
// all parts at their high limit or all at their low one.
Band bandOf(Mode mode, const std::array<double, 4>& x, const std::vector<DesignInput>& inputs,
            const std::array<double, kKinds>& tolerance) {
    std::array<double, 4> low = x;
    std::array<double, 4> high = x;
    for (const DesignInput& in : inputs) {
        const double t = tolerance[static_cast<std::size_t>(in.kind)] / 100.0;
        low[in.box] = x[in.box] * (1.0 - t);
        high[in.box] = x[in.box] * (1.0 + t);
    }
    return {frequencyHz(mode, high), frequencyHz(mode, low)};
}

std::array<std::string, 4> linesOf(Mode mode, const Inputs& inputs) {
    const Answer answer = calculate(mode, inputs);
    std::array<std::string, 4> lines;
    for (std::size_t i = 0; i < 4; ++i) {
        lines[i] = answer.lines[i].value_or("");
    }
    return lines;
}

std::array<double, 4> valuesOf(const Inputs& inputs) {
    std::array<double, 4> x{};
    for (std::size_t i = 0; i < 4; ++i) {
        x[i] = toNumber(inputs[i]);
    }
    return x;
}

// The member of a series nearest a value, as its box text.
std::string nearestMember(Series series, double si, int unitExponent) {
    const int decade = static_cast<int>(std::floor(std::log10(si)));
    const Choices c = seriesChoices(
        series, {std::pow(10.0, decade - 1), std::pow(10.0, decade + 2)}, unitExponent);
    std::size_t best = 0;
    for (std::size_t i = 0; i < c.values.size(); ++i) {
        const auto distance = [&](std::size_t k) {
            return std::abs(std::log10(c.values[k] * std::pow(10.0, unitExponent) / si));
        };
        best = distance(i) < distance(best) ? i : best;
    }
    return c.texts[best];
}

// What design() has worked out from the request before the search.
struct Plan {
    Mode mode = 0;
    std::vector<DesignInput> inputs;
    const DesignRules* rules = nullptr;
    double target = 0.0;
    std::optional<Span> duty; // the T1/T window in force
    std::array<double, kKinds> tolerance{};
    std::array<Choices, 4> choices;
    std::optional<std::size_t> wound; // the box of a coil wound to value
    Span coilRange;
    Span reach; // the frequencies the boxes can reach
};

// The target, the duty and the tolerances; nullopt when they will do.
std::optional<DesignResult> validate(const CatalogueEntry& circuit, const DesignRequest& request,
                                     Plan& plan) {
    plan.mode = circuit.mode;
    plan.inputs = designInputs(circuit);
    plan.rules = designRules(plan.mode);
    const DesignRules* rules = plan.rules;
    if (plan.inputs.empty() || !rules) {
        return failed(issue(DesignProblem::NotComputing));
    }
    const double target = plan.target = request.targetHz;
    if (target == std::numeric_limits<double>::infinity()) {
        return failed(issue(DesignProblem::TooLarge, Field::Target));
    }
    if (!std::isfinite(target) || target <= 0.0) {
        return failed(issue(DesignProblem::BadTarget, Field::Target));
    }
    plan.duty = rules->duty;
    if (request.duty) {
        if (!rules->duty) {
            return failed(issue(DesignProblem::DutyNotApplicable, Field::Duty));
        }
        const double d = *request.duty;
        if (!(d > 0.0 && d < 1.0)) {
            return failed(issue(DesignProblem::BadDuty, Field::Duty));
        }
        if (d < rules->minDuty) {
            return failed(issue(DesignProblem::DutyBelowHalf, Field::Duty));
        }
        plan.duty = Span{d - kDutySlack, d + kDutySlack};
    }
    for (std::size_t k = 0; k < kKinds; ++k) {
        const PartOptions& part = request.parts[k];
        double& tolerance = plan.tolerance[k];
        tolerance = part.tolerance.value_or(defaultTolerance(static_cast<Kind>(k), part.series));
        if (!(tolerance >= 0.0 && tolerance < 100.0)) {
            return failed(
                issue(DesignProblem::BadTolerance, Field::Tolerance, std::string(1, "RCL"[k])));
        }
    }
    return std::nullopt;
}

// The values each box may take: a fixed one, the series within the range,
// or a wound coil's range.
std::optional<DesignResult> buildChoices(const DesignRequest& request, Plan& plan) {
    const DesignRules* rules = plan.rules;
    for (const DesignInput& in : plan.inputs) {
        Choices& c = plan.choices[in.box];
        const auto k = static_cast<std::size_t>(in.kind);
        const PartOptions& part = request.parts[k];
        const std::string letter(1, "RCL"[k]);
        if (request.fixed[in.box]) {
            const std::string& text = *request.fixed[in.box];
            const double value = test(text) && fitsBox(text) ? toNumber(text) : -1.0;
            if (!(value > 0.0 || (value == 0.0 && in.zeroAllowed)) || !std::isfinite(value)) {
                return failed(issue(DesignProblem::BadFixedValue, Field::Fixed, in.name, text));
            }
            c = {{text}, {value}, {0.0}};
            continue;
        }
        const Span range = part.range.value_or(rules->range[k]);
        if (!(range.low > 0 && range.low <= range.high && std::isfinite(range.high))) {
            return failed(issue(DesignProblem::BadRange, Field::Range, letter));
        }
        const double unit = std::pow(10.0, in.unitExponent);
        if (in.kind == Kind::Inductor && rules->impedance) {
            // Wound to value: only its range's ends matter, for the reach.
            plan.wound = in.box;
            plan.coilRange = range;
            c = {{"", ""}, {range.low / unit, range.high / unit}, {0.0, 0.0}};
            continue;
        }
        c = seriesChoices(part.series, range, in.unitExponent);
        if (c.values.empty()) {
            Problem p = issue(DesignProblem::RangeWithoutValues, Field::Range, letter);
            p.series = part.series;
            return failed(p);
        }
        // Every value must be one the window's box can hold.
        if (!std::all_of(c.texts.begin(), c.texts.end(),
                         [](const std::string& t) { return fitsBox(t); })) {
            return failed(issue(DesignProblem::RangeBeyondBox, Field::Range, letter));
        }
    }
    // A fixed base resistor that no collector resistor suits leaves the
    // multivibrator nothing that starts (a partner only raises Rc): say so
    // now rather than after walking every other box.
    if (rules->startup == Startup::SaturatingSwitches) {
        for (const DesignInput& in : plan.inputs) {
            const std::optional<double> r = in.kind == Kind::Resistor && request.fixed[in.box]
                                                ? baseValueOf(in, *request.fixed[in.box])
                                                : std::nullopt;
            if (r && !collectorResistor(*r, *r)) {
                Problem p = issue(DesignProblem::NoSoundDesign, Field::Target);
                p.rules = rules;
                return failed(p);
            }
        }
    }
    // Boxes the circuit ignores still take part in the picks, as one empty text.
    for (Choices& c : plan.choices) {
        if (c.values.empty()) {
            c = {{""}, {0.0}, {0.0}};
        }
    }
    return std::nullopt;
}

DesignResult unreachable(DesignProblem kind, Span reach, std::optional<Span> duty) {
    Problem p = issue(kind, Field::Target);
    p.low = reach.low;
    p.high = reach.high;
    if (kind == DesignProblem::NoSoundDesign) {
        p.duty = duty;
    }
    DesignResult r = failed(p);
    r.reachMinHz = reach.low;
    r.reachMaxHz = reach.high;
    return r;
}

// Whether the choices can reach the target at all, and within the duty's
// window; the reach for the search.
std::optional<DesignResult> checkReach(const DesignRequest& request, Plan& plan) {
    const Mode mode = plan.mode;
    const double target = plan.target;
    const std::array<Choices, 4>& choices = plan.choices;
    // Out of reach when even the extreme combination, at the far end of its
    // tolerances, cannot get there; short of that its parts are still worth
    // showing, error and all.
    const double reachMax = frequencyHz(mode, detail::corner(choices, false));
    const double reachMin = frequencyHz(mode, detail::corner(choices, true));
    const Band lowest = bandOf(mode, detail::corner(choices, false), plan.inputs, plan.tolerance);
    const Band highest = bandOf(mode, detail::corner(choices, true), plan.inputs, plan.tolerance);
    if (target < highest.minHz || target > lowest.maxHz) {
        return unreachable(DesignProblem::OutOfReach, {reachMin, reachMax}, plan.duty);
    }
    plan.reach = {reachMin, reachMax};
    if (plan.duty && plan.rules->duty) {
        // The duty window narrows the reach, often much: a small fixed C2 of
        // the multivibrator bounds T2 and so all of T. Beyond it lie only
        // far-off answers, and a long search for them. A duty no values give
        // is left to the search, which then names the nearest one.
        const std::optional<Span> r = dutyReach(mode, choices, *plan.duty);
        if (!r && !request.duty) {
            Problem p = issue(DesignProblem::NoSoundDesign, Field::Target);
            p.rules = plan.rules;
            return failed(p);
        }
        if (r && (target < r->low * (highest.minHz / reachMin) ||
                  target > r->high * (lowest.maxHz / reachMax))) {
            return unreachable(DesignProblem::NoSoundDesign, *r, plan.duty);
        }
        plan.reach = r.value_or(plan.reach);
    }
    return std::nullopt;
}

// The candidates for what the search found: their texts, lines, bands and
// the rest of the circuit.
DesignResult assemble(const CatalogueEntry& circuit, const DesignRequest& request, const Plan& plan,
                      const std::vector<detail::Found>& found) {
    const Mode mode = plan.mode;
    const std::optional<std::size_t> wound = plan.wound;
    DesignResult result;
    if (!plan.rules->band.contains(plan.target)) {
        result.outsideBand = plan.rules->band;
    }
    result.warnings = warningsText(result, plan.target, Language::Chinese);
    for (const detail::Found& f : found) {
        Candidate cand;
        for (std::size_t b = 0; b < 4; ++b) {
            cand.inputs[b] =
                wound && b == *wound ? toText(f.x[b]) : plan.choices[b].texts[f.pick[b]];
        }
        cand.lines = linesOf(mode, cand.inputs);
        const std::array<double, 4> x = valuesOf(cand.inputs);
        const Periods p = *periods(mode, x);
        cand.frequencyHz = p.f * hzPerUnit(mode);
        cand.errorPercent = (cand.frequencyHz / plan.target - 1.0) * 100.0;
        if (plan.rules->duty) {
            cand.duty = p.t1 / p.t;
        }
        std::array<double, 4> si{};
        for (const DesignInput& in : plan.inputs) {
            si[in.box] = x[in.box] * std::pow(10.0, in.unitExponent);
        }
        cand.support = supportParts(circuit.id, si, cand.frequencyHz);
        const Band band = bandOf(mode, x, plan.inputs, plan.tolerance);
        cand.fMinHz = band.minHz;
        cand.fMaxHz = band.maxHz;
        for (const DesignInput& in : plan.inputs) {
            if (in.kind != Kind::Inductor) {
                continue;
            }
            const double henry = x[in.box] * std::pow(10.0, in.unitExponent);
            cand.impedanceOhm = 2 * std::numbers::pi * cand.frequencyHz * henry;
            if (wound && in.box == *wound) {
                Coil coil;
                coil.standard = nearestMember(request.parts[2].series, henry, in.unitExponent);
                Inputs standard = cand.inputs;
                standard[in.box] = coil.standard;
                coil.lines = linesOf(mode, standard);
                coil.frequencyHz = frequencyHz(mode, valuesOf(standard));
                cand.coil = coil;
            }
        }
        result.candidates.push_back(std::move(cand));
    }
    return result;
}

} // namespace

DesignResult design(const CatalogueEntry& circuit, const DesignRequest& request) {
    Plan plan;
    if (std::optional<DesignResult> failure = validate(circuit, request, plan)) {
        return *failure;
    }
    if (std::optional<DesignResult> failure = buildChoices(request, plan)) {
        return *failure;
    }
    if (std::optional<DesignResult> failure = checkReach(request, plan)) {
        return *failure;
    }
    const std::size_t top = std::clamp<std::size_t>(request.top, 1, 1000);
    const detail::Query query{plan.mode,  *plan.rules,     plan.inputs, plan.choices,
                              plan.wound, plan.coilRange,  plan.target, plan.duty,
                              top,        request.closest, plan.reach};
    const std::vector<detail::Found> found = detail::findParts(query);
    if (found.empty()) {
        if (request.duty) {
            const double nearest = detail::nearestDuty(query, *request.duty);
            Problem p = issue(DesignProblem::DutyUnreachable, Field::Duty);
            p.low = nearest;
            p.high = *request.duty;
            DesignResult r = failed(p);
            r.nearestDuty = nearest;
            return r;
        }
        Problem p = issue(DesignProblem::NoSoundDesign, Field::Target);
        p.rules = plan.rules;
        return failed(p);
    }
    return assemble(circuit, request, plan, found);
}

std::string threeDigits(double value) {
    if (value == 0.0 || !std::isfinite(value)) {
        return toText(value);
    }
    const int exponent = static_cast<int>(std::floor(std::log10(std::abs(value))));
    const int decimals = std::max(0, 2 - exponent);
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text(buffer, ec == std::errc{} ? end : buffer);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return text;
}

std::string errorText(double percent) {
    const double a = std::abs(percent);
    int decimals = 2;
    if (a > 0.0 && std::isfinite(a)) {
        decimals = std::clamp(1 - static_cast<int>(std::floor(std::log10(a))), 2, 10);
    }
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, a, std::chars_format::fixed, decimals);
    std::string text(1, percent < 0.0 ? '-' : '+');
    text.append(buffer, ec == std::errc{} ? end : buffer);
    text.push_back('%');
    return text;
}

std::string bandText(const Candidate& candidate, Mode mode) {
    const double scale = hzPerUnit(mode);
    return "f=" + threeDigits(candidate.fMinHz / scale) + ".." +
           threeDigits(candidate.fMaxHz / scale) + std::string(modeTraits(mode)->frequencyUnit);
}

std::string hzText(double hz) {
    if (hz >= 1e6) {
        return threeDigits(hz / 1e6) + " MHz";
    }
    if (hz >= 1e3) {
        return threeDigits(hz / 1e3) + " kHz";
    }
    return threeDigits(hz) + " Hz";
}

std::string partText(const DesignInput& input, const std::string& boxText) {
    const auto d = parseDecimal(boxText);
    if (!d || d->digits == "0") {
        return boxText;
    }
    return engineeringText(d->scaled(input.unitExponent), unitSymbol(input.kind));
}

std::string echoText(std::string_view typed) {
    // Cut at a character's start: the first kEchoLength UTF-8 sequences.
    std::size_t chars = 0;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        if ((static_cast<unsigned char>(typed[i]) & 0xC0) != 0x80 && chars++ == kEchoLength) {
            return std::string(typed.substr(0, i)) + "…";
        }
    }
    return std::string(typed);
}

namespace {

// The kind a letter (R, C, L) names, in the language.
std::string kindWord(std::string_view letter, bool zh) {
    const std::size_t k = std::string_view("RCL").find(letter);
    if (!zh || k == std::string_view::npos) {
        return std::string(letter);
    }
    return std::string(kindName(static_cast<Kind>(k)));
}

// What a typed value was meant to be: "目标频率 1e309", "the fixed value R1=1e9999".
std::string subject(const Problem& p, bool zh) {
    const std::string q = zh ? "“" + p.typed + "”" : "\"" + p.typed + "\"";
    switch (p.field) {
    case Field::Target:
        return zh ? "目标频率 " + q : "the target " + q;
    case Field::Duty:
        return zh ? "占空比 " + q : "the duty " + q;
    case Field::Fixed:
        return zh ? "固定值 " + p.name + " = " + q : "the fixed value " + p.name + "=" + q;
    case Field::Range:
        return zh ? kindWord(p.name, zh) + "范围的 " + q : "the range end " + q + " of " + p.name;
    case Field::Tolerance:
        return zh ? kindWord(p.name, zh) + "容差 " + q : "the tolerance " + q + " of " + p.name;
    case Field::None:
        break;
    }
    return q;
}

// The accepted forms of a field, to follow "cannot be read".
std::string forms(Field field, bool zh) {
    switch (field) {
    case Field::Target:
        return zh ? "要写成 1、1.5k、455kHz、10.7MHz 这样的数（小数点用“.”）"
                  : "it takes 1000, 1e3, 1k, 1kHz, 1.5MHz";
    case Field::Duty:
        return zh ? "要写成 0.6 或 60%" : "it takes 0.6 or 60%";
    case Field::Fixed:
    case Field::Range:
        return zh ? "写成 10、10k、4.7nF、0.01u、100uH 这样的值（小数点用“.”）"
                  : "it takes 10k, 4.7nF, 0.01u, 100uH; a bare number is in the box's unit";
    case Field::Tolerance:
        return zh ? "要写成 5 或 2.5 这样的百分数（小数点用“.”）"
                  : "it takes a percentage such as 5 or 2.5";
    case Field::None:
        break;
    }
    return {};
}

std::string joined(const std::vector<std::string>& lines, std::string_view separator) {
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : std::string(separator)) + line;
    }
    return text;
}

} // namespace

std::string describe(const Problem& p, Language language) {
    const bool zh = language == Language::Chinese;
    const auto say = [zh](std::string chinese, std::string english) {
        return zh ? chinese : english;
    };
    const std::string kind = kindWord(p.name, zh);
    const std::string reach = hzText(p.low) + (zh ? " 至 " : " to ") + hzText(p.high);
    const std::string box = std::to_string(kMaxInputLength);
    switch (p.kind) {
    case DesignProblem::None:
        return {};
    case DesignProblem::NotComputing:
        return say("这个电路不用计算，没有可选的元件。",
                   "This circuit computes nothing: there are no parts to choose.");
    case DesignProblem::Unreadable:
        return say(subject(p, zh) + " 读不出来：" + forms(p.field, zh) + "。",
                   "cannot read " + subject(p, zh) + ": " + forms(p.field, zh) + ".");
    case DesignProblem::TooLarge:
        if (p.field == Field::Fixed) {
            return say(subject(p, zh) + " 太大：输入框最多写 " + box + " 个字符。",
                       subject(p, zh) + " is too large for its box (" + box + " characters).");
        }
        return say(subject(p, zh) + " 太大了。", subject(p, zh) + " is too large.");
    case DesignProblem::TooSmall:
        if (p.field == Field::Fixed) {
            return say(subject(p, zh) + " 太小：输入框最多写 " + box + " 个字符。",
                       subject(p, zh) + " is too small for its box (" + box + " characters).");
        }
        return say(subject(p, zh) + " 太小了。", subject(p, zh) + " is too small.");
    case DesignProblem::BadTarget:
        return say("目标频率必须是大于 0 的数。", "The target frequency must be above 0.");
    case DesignProblem::DutyNotApplicable:
        return say("这个电路只有一个周期，不能指定占空比。",
                   "This circuit has one period: a duty does not apply.");
    case DesignProblem::BadDuty:
        return say("占空比 T1/T 必须在 0 和 1 之间。", "T1/T must lie between 0 and 1.");
    case DesignProblem::DutyBelowHalf:
        // T1 charges through R1 and R2, T2 discharges through R2 alone.
        return say("这种 NE555 接法中 T1 经 R1 和 R2 充电、T2 只经 R2 放电，T1/T 总大于 "
                   "50%。要更小的占空比，可改用分立元件多谐振荡电路（rc2），或在 R2 "
                   "上并联一只二极管（那是另一种电路，本程序不计算它的公式）。",
                   "In this NE555 circuit T1 charges through R1 and R2 and T2 discharges "
                   "through R2 alone, so T1/T is always above 50 %. For a smaller duty use the "
                   "discrete multivibrator (rc2), or a diode across R2 (another circuit, whose "
                   "formula this program does not compute).");
    case DesignProblem::BadFixedValue:
        return say(
            subject(p, zh) + " 不是这个输入框能接受的数（输入框最多写 " + box + " 个字符）。",
            subject(p, zh) + " is not a number its box accepts (" + box + " characters at most).");
    case DesignProblem::BadTolerance:
        return say("容差必须不小于 0% 且小于 100%。",
                   "A tolerance must be at least 0 % and below 100 %.");
    case DesignProblem::BadRange:
        return say(kind + "的范围不对：下限要大于 0 且不大于上限。",
                   "The range of " + kind +
                       " is wrong: its low end must be above 0 and not "
                       "above its high end.");
    case DesignProblem::RangeWithoutValues:
        return say(kind + "的范围内没有 " + std::string(seriesName(p.series)) + " 系列的值。",
                   "No " + std::string(seriesName(p.series)) + " value lies within the range of " +
                       kind + ".");
    case DesignProblem::RangeBeyondBox:
        return say(kind + "的范围超出了输入框能写下的数（最多 " + box + " 个字符）。",
                   "The range of " + kind + " holds values its box cannot write (" + box +
                       " characters at most).");
    case DesignProblem::OutOfReach:
        return say("目标频率超出了可达范围：这些元件范围只能得到 " + reach + "。",
                   "The target is out of reach: these ranges of parts give only " + reach + ".");
    case DesignProblem::DutyUnreachable:
        return say("没有组合的 T1/T 在 " + threeDigits(p.high) + "±" + threeDigits(kDutySlack) +
                       " 之内；最接近的占空比是 " + threeDigits(p.low) + "。",
                   "No combination gives T1/T within " + threeDigits(p.high) + "±" +
                       threeDigits(kDutySlack) + "; the nearest duty is " + threeDigits(p.low) +
                       ".");
    case DesignProblem::NoSoundDesign:
        if (p.high > 0 && p.duty) {
            const std::string window =
                threeDigits(p.duty->low) + (zh ? "～" : "..") + threeDigits(p.duty->high);
            return say("没有合乎设计规则的组合：T1/T 在 " + window + " 之间时，这些元件只能得到 " +
                           reach + "。",
                       "No sound design: with T1/T within " + window + " these parts give only " +
                           reach + ".");
        }
        if (p.rules) {
            return say("这些元件能到达目标频率，但没有一组合乎这种电路的设计规则：" +
                           joined(rulesText(*p.rules, language), "；") + "。",
                       "No sound design: these parts reach the target, but no combination obeys "
                       "the circuit's rules: " +
                           joined(rulesText(*p.rules, language), "; ") + ".");
        }
        return say("没有合乎设计规则的组合。", "No sound design.");
    }
    return {};
}

std::vector<std::string> warningsText(const DesignResult& result, double targetHz,
                                      Language language) {
    std::vector<std::string> lines;
    if (const auto& band = result.outsideBand) {
        lines.push_back(language == Language::Chinese
                            ? "目标 " + hzText(targetHz) + " 不在这种电路常用的 " +
                                  hzText(band->low) + "～" + hzText(band->high) +
                                  " 之内：实际频率会明显偏离公式，结果只供参考。"
                            : "The target " + hzText(targetHz) +
                                  " lies outside this circuit's "
                                  "usual " +
                                  hzText(band->low) + ".." + hzText(band->high) +
                                  ": the real frequency departs markedly from the formula; "
                                  "take the results as a guide only.");
    }
    return lines;
}

namespace {

// Beyond a double, or so small that it reads as 0.
std::optional<DesignProblem> magnitudeProblem(const Decimal& d, double value) {
    if (!std::isfinite(value)) {
        return DesignProblem::TooLarge;
    }
    if (value == 0.0 && d.digits != "0") {
        return DesignProblem::TooSmall;
    }
    return std::nullopt;
}

// A plain number, or with `percent` also "60%" (as a fraction).
std::variant<double, Problem> readPlain(std::string_view typed, Field field, bool percent,
                                        std::string name = {}) {
    std::string_view text = typed;
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    const bool inPercent = percent && text.ends_with('%');
    if (inPercent) {
        text.remove_suffix(1);
    }
    const auto d = parseDecimal(text);
    if (!d) {
        return issue(DesignProblem::Unreadable, field, std::move(name), typed);
    }
    const double value = d->value();
    if (const auto p = magnitudeProblem(*d, value)) {
        return issue(*p, field, std::move(name), typed);
    }
    return inPercent ? value / 100.0 : value;
}

} // namespace

std::variant<double, Problem> readTarget(std::string_view typed, double bareHz) {
    const auto q = parseQuantity(typed, "Hz");
    if (!q) {
        return issue(DesignProblem::Unreadable, Field::Target, {}, typed);
    }
    const double value = q->value.value() * (q->bare ? bareHz : 1.0);
    if (const auto p = magnitudeProblem(q->value, value)) {
        return issue(*p, Field::Target, {}, typed);
    }
    if (value <= 0.0) {
        return issue(DesignProblem::BadTarget, Field::Target, {}, typed);
    }
    return value;
}

std::variant<double, Problem> readDuty(std::string_view typed) {
    return readPlain(typed, Field::Duty, true);
}

std::variant<double, Problem> readTolerance(std::string_view typed, std::string_view kind) {
    return readPlain(typed, Field::Tolerance, false, std::string(kind));
}

std::variant<std::string, Problem> readFixed(const DesignInput& input, std::string_view typed) {
    const auto q = parseQuantity(typed, unitSymbol(input.kind));
    if (!q) {
        return issue(DesignProblem::Unreadable, Field::Fixed, input.name, typed);
    }
    const Decimal inBox = q->value.scaled(q->bare ? 0 : -input.unitExponent);
    if (inBox.digits != "0") {
        // The digits before the point, or the zeros after it.
        const int lead = static_cast<int>(inBox.digits.size()) + inBox.exponent;
        if (lead > kMaxInputLength) {
            return issue(DesignProblem::TooLarge, Field::Fixed, input.name, typed);
        }
        if (-lead > kMaxInputLength - 3) {
            return issue(DesignProblem::TooSmall, Field::Fixed, input.name, typed);
        }
    }
    std::optional<std::string> text = boxTextOf(input, typed);
    if (!text || !fitsBox(*text)) {
        return issue(DesignProblem::BadFixedValue, Field::Fixed, input.name, typed);
    }
    return *text;
}

std::variant<double, Problem> readRangeEnd(const DesignInput& input, std::string_view typed) {
    const std::string letter(1, "RCL"[static_cast<std::size_t>(input.kind)]);
    const auto q = parseQuantity(typed, unitSymbol(input.kind));
    if (!q) {
        return issue(DesignProblem::Unreadable, Field::Range, letter, typed);
    }
    const double value = *baseValueOf(input, typed);
    if (const auto p = magnitudeProblem(q->value, value)) {
        return issue(*p, Field::Range, letter, typed);
    }
    return value;
}

} // namespace calc
