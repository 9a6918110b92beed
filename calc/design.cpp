#include "calc/design.h"

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

// IEC 60063, one decade each. E24, E12 and E6 keep the irregular members
// (2.7, 3.3, 4.7, 8.2 ...) that differ from the rounded geometric steps.
constexpr int kE6[] = {100, 150, 220, 330, 470, 680};
constexpr int kE12[] = {100, 120, 150, 180, 220, 270, 330, 390, 470, 560, 680, 820};
constexpr int kE24[] = {100, 110, 120, 130, 150, 160, 180, 200, 220, 240, 270, 300,
                        330, 360, 390, 430, 470, 510, 560, 620, 680, 750, 820, 910};
constexpr int kE48[] = {100, 105, 110, 115, 121, 127, 133, 140, 147, 154, 162, 169,
                        178, 187, 196, 205, 215, 226, 237, 249, 261, 274, 287, 301,
                        316, 332, 348, 365, 383, 402, 422, 442, 464, 487, 511, 536,
                        562, 590, 619, 649, 681, 715, 750, 787, 825, 866, 909, 953};
constexpr int kE96[] = {100, 102, 105, 107, 110, 113, 115, 118, 121, 124, 127, 130, 133, 137,
                        140, 143, 147, 150, 154, 158, 162, 165, 169, 174, 178, 182, 187, 191,
                        196, 200, 205, 210, 215, 221, 226, 232, 237, 243, 249, 255, 261, 267,
                        274, 280, 287, 294, 301, 309, 316, 324, 332, 340, 348, 357, 365, 374,
                        383, 392, 402, 412, 422, 432, 442, 453, 464, 475, 487, 499, 511, 523,
                        536, 549, 562, 576, 590, 604, 619, 634, 649, 665, 681, 698, 715, 732,
                        750, 768, 787, 806, 825, 845, 866, 887, 909, 931, 953, 976};

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

std::vector<std::string> rulesText(const DesignRules& rules) {
    const auto value = [](double v, std::string_view unit) {
        return engineeringText(v, unit, 6, " ");
    };
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < kKinds; ++k) {
        const Span r = rules.range[k];
        if (r.high <= 0) {
            continue;
        }
        const std::string_view unit = unitSymbol(static_cast<Kind>(k));
        std::string line = std::string(kindName(static_cast<Kind>(k))) + " " + value(r.low, unit) +
                           "～" + value(r.high, unit);
        if (static_cast<Kind>(k) == Kind::Inductor && rules.impedance) {
            line += "，按算出的值绕制或调节磁芯；另列最近的标准电感";
        }
        if (static_cast<Kind>(k) == Kind::Resistor && rules.maxResistorSum > 0) {
            line += "，R1 + R2 ≤ " + value(rules.maxResistorSum, unit);
        }
        lines.push_back(line);
    }
    if (rules.duty) {
        lines.push_back("不指定占空比时 T1/T 在 " + threeDigits(rules.duty->low) + "～" +
                        threeDigits(rules.duty->high) + " 之间");
    }
    if (rules.capacitorRatio) {
        lines.push_back("C2 是 C1 的 " + threeDigits(rules.capacitorRatio->span.low) + "～" +
                        threeDigits(rules.capacitorRatio->span.high) + " 倍");
    }
    if (rules.impedance) {
        lines.push_back("回路阻抗 √(L/C) 在 " + value(rules.impedance->low, "Ω") + "～" +
                        value(rules.impedance->high, "Ω") + " 之间，越接近 " +
                        value(std::sqrt(rules.impedance->low * rules.impedance->high), "Ω") +
                        " 越好");
    }
    lines.push_back("常用频率 " + hzText(rules.band.low) + "～" + hzText(rules.band.high));
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

DesignResult problem(DesignProblem p, std::string reason) {
    DesignResult r;
    r.problem = p;
    r.reason = std::move(reason);
    return r;
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

} // namespace

DesignResult design(const CatalogueEntry& circuit, const DesignRequest& request) {
    const Mode mode = circuit.mode;
    const std::vector<DesignInput> inputs = designInputs(circuit);
    const DesignRules* rules = designRules(mode);
    if (inputs.empty() || !rules) {
        return problem(DesignProblem::NotComputing, "这个电路不用计算，没有可选的元件。");
    }
    const double target = request.targetHz;
    if (!std::isfinite(target) || target <= 0.0) {
        return problem(DesignProblem::BadTarget, "目标频率必须是大于 0 的数。");
    }
    std::optional<Span> duty = rules->duty;
    if (request.duty) {
        if (!rules->duty) {
            return problem(DesignProblem::DutyNotApplicable,
                           "这个电路只有一个周期，不能指定占空比。");
        }
        const double d = *request.duty;
        if (!(d > 0.0 && d < 1.0)) {
            return problem(DesignProblem::BadDuty, "占空比 T1/T 必须在 0 和 1 之间。");
        }
        if (d < rules->minDuty) {
            // T1 charges through R1 and R2, T2 discharges through R2 alone.
            return problem(DesignProblem::DutyBelowHalf,
                           "这种 NE555 接法中 T1 经 R1 和 R2 充电、T2 只经 R2 放电，T1/T 总大于 "
                           "50%。要更小的占空比，可改用分立元件多谐振荡电路（rc2），或在 R2 "
                           "上并联一只二极管（那是另一种电路，本程序不计算它的公式）。");
        }
        duty = Span{d - kDutySlack, d + kDutySlack};
    }
    std::array<double, kKinds> tolerance{};
    for (std::size_t k = 0; k < kKinds; ++k) {
        const PartOptions& part = request.parts[k];
        tolerance[k] = part.tolerance.value_or(defaultTolerance(static_cast<Kind>(k), part.series));
        if (!(tolerance[k] >= 0.0 && tolerance[k] < 100.0)) {
            return problem(DesignProblem::BadTolerance, "容差必须不小于 0% 且小于 100%。");
        }
    }

    std::array<Choices, 4> choices;
    std::optional<std::size_t> wound;
    Span coilRange;
    for (const DesignInput& in : inputs) {
        Choices& c = choices[in.box];
        const PartOptions& part = request.parts[static_cast<std::size_t>(in.kind)];
        if (request.fixed[in.box]) {
            const std::string& text = *request.fixed[in.box];
            const double value = test(text) && fitsBox(text) ? toNumber(text) : -1.0;
            if (!(value > 0.0 || (value == 0.0 && in.zeroAllowed)) || !std::isfinite(value)) {
                return problem(DesignProblem::BadFixedValue,
                               "固定值 " + in.name + " = " + text + " 不是这个输入框能接受的数。");
            }
            c = {{text}, {value}, {0.0}};
            continue;
        }
        const Span range = part.range.value_or(rules->range[static_cast<std::size_t>(in.kind)]);
        if (!(range.low > 0 && range.low <= range.high && std::isfinite(range.high))) {
            return problem(DesignProblem::BadRange,
                           in.name + " 的范围不对：下限要大于 0 且不大于上限。");
        }
        const double unit = std::pow(10.0, in.unitExponent);
        if (in.kind == Kind::Inductor && rules->impedance) {
            // Wound to value: only its range's ends matter, for the reach.
            wound = in.box;
            coilRange = range;
            c = {{"", ""}, {range.low / unit, range.high / unit}, {0.0, 0.0}};
            continue;
        }
        c = seriesChoices(part.series, range, in.unitExponent);
        if (c.values.empty()) {
            return problem(DesignProblem::BadRange, in.name + " 的范围内没有 " +
                                                        std::string(seriesName(part.series)) +
                                                        " 系列的值。");
        }
        // Every value must be one the window's box can hold.
        if (!std::all_of(c.texts.begin(), c.texts.end(),
                         [](const std::string& t) { return fitsBox(t); })) {
            return problem(DesignProblem::BadRange,
                           in.name + " 的范围超出了输入框能写下的数（最多 10 个字符）。");
        }
    }
    // Boxes the circuit ignores still take part in the picks, as one empty text.
    for (Choices& c : choices) {
        if (c.values.empty()) {
            c = {{""}, {0.0}, {0.0}};
        }
    }

    const std::size_t top = std::clamp<std::size_t>(request.top, 1, 1000);
    const detail::Query query{mode,      *rules, inputs, choices, wound,
                              coilRange, target, duty,   top,     request.closest && !wound};
    // Out of reach when even the extreme combination, at the far end of its
    // tolerances, cannot get there; short of that its parts are still worth
    // showing, error and all.
    const double reachMax = frequencyHz(mode, detail::corner(choices, false));
    const double reachMin = frequencyHz(mode, detail::corner(choices, true));
    const Band lowest = bandOf(mode, detail::corner(choices, false), inputs, tolerance);
    const Band highest = bandOf(mode, detail::corner(choices, true), inputs, tolerance);
    if (target < highest.minHz || target > lowest.maxHz) {
        DesignResult r = problem(DesignProblem::OutOfReach,
                                 "目标频率超出了可达范围：这些元件范围只能得到 " +
                                     hzText(reachMin) + " 至 " + hzText(reachMax) + "。");
        r.reachMinHz = reachMin;
        r.reachMaxHz = reachMax;
        return r;
    }
    const std::vector<detail::Found> found = detail::findParts(query);
    if (found.empty()) {
        if (request.duty) {
            const double nearest = detail::nearestDuty(query, *request.duty);
            DesignResult r = problem(DesignProblem::DutyUnreachable,
                                     "没有组合的 T1/T 在 " + threeDigits(*request.duty) + "±" +
                                         threeDigits(kDutySlack) + " 之内；最接近的占空比是 " +
                                         threeDigits(nearest) + "。");
            r.nearestDuty = nearest;
            return r;
        }
        std::string reason = "这些元件能到达目标频率，但没有一组合乎这种电路的设计规则：";
        for (const std::string& line : rulesText(*rules)) {
            reason += line + "；";
        }
        reason.replace(reason.size() - std::string_view("；").size(), std::string_view("；").size(),
                       "。");
        return problem(DesignProblem::NoSoundDesign, reason);
    }

    DesignResult result;
    if (!rules->band.contains(target)) {
        result.warnings.push_back("目标 " + hzText(target) + " 不在这种电路常用的 " +
                                  hzText(rules->band.low) + "～" + hzText(rules->band.high) +
                                  " 之内：实际频率会明显偏离公式，结果只供参考。");
    }
    for (const detail::Found& f : found) {
        Candidate cand;
        for (std::size_t b = 0; b < 4; ++b) {
            cand.inputs[b] = wound && b == *wound ? toText(f.x[b]) : choices[b].texts[f.pick[b]];
        }
        cand.lines = linesOf(mode, cand.inputs);
        const std::array<double, 4> x = valuesOf(cand.inputs);
        const Periods p = *periods(mode, x);
        cand.frequencyHz = p.f * hzPerUnit(mode);
        cand.errorPercent = (cand.frequencyHz / target - 1.0) * 100.0;
        if (rules->duty) {
            cand.duty = p.t1 / p.t;
        }
        const Band band = bandOf(mode, x, inputs, tolerance);
        cand.fMinHz = band.minHz;
        cand.fMaxHz = band.maxHz;
        for (const DesignInput& in : inputs) {
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

std::string partsText(const Candidate& candidate, const std::vector<DesignInput>& inputs,
                      const DesignRequest& request) {
    std::string text;
    for (const DesignInput& in : inputs) {
        text += text.empty() ? "" : " ";
        const std::string& box = candidate.inputs[in.box];
        if (in.kind == Kind::Inductor && candidate.coil) {
            text += in.name + "≈" + partText(in, box) + " (" +
                    std::string(seriesName(request.parts[2].series)) + ": " +
                    partText(in, candidate.coil->standard) + " → " +
                    hzText(candidate.coil->frequencyHz) + ")";
        } else {
            text += in.name + "=" + partText(in, box);
        }
    }
    return text;
}

} // namespace calc
