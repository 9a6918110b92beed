#include "calc/waveform.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>

namespace calc {

namespace {

bool positive(double v) {
    return std::isfinite(v) && v > 0;
}

// The relaxation circuits' two phases, T1 then T2, as (first, second) at a
// time within one period.
struct Levels {
    double first;
    double second;
};
using Phase = Levels (*)(double t, double t1, double t2, double vcc);

Levels timer555(double t, double t1, double t2, double vcc) {
    if (t < t1) {
        // Charging through R1 + R2 from VCC/3 towards VCC, reaching 2VCC/3 at T1.
        return {vcc, vcc - 2 * vcc / 3 * std::exp(-t * std::numbers::ln2 / t1)};
    }
    return {0.0, 2 * vcc / 3 * std::exp(-(t - t1) * std::numbers::ln2 / t2)};
}

Levels multivibrator(double t, double t1, double, double vcc) {
    if (t < t1) {
        // VT1 off: its base recovers from -VCC towards +VCC through R1.
        return {vcc, vcc - 2 * vcc * std::exp(-t * std::numbers::ln2 / t1)};
    }
    return {0.0, 0.0};
}

Levels gateOscillator(double t, double t1, double t2, double vdd) {
    const double ln3 = std::log(3.0);
    if (t < t1) {
        // A jumped to 1.5 VDD with the output and falls towards 0 through R.
        return {vdd, 1.5 * vdd * std::exp(-t * ln3 / t1)};
    }
    return {0.0, vdd - 1.5 * vdd * std::exp(-(t - t1) * ln3 / t2)};
}

struct Shape {
    std::string_view id;
    Phase phase; // nullptr: a sine
};

constexpr std::array<Shape, 8> kShapes{{
    {"rc1", nullptr},
    {"rc2", multivibrator},
    {"rc3", gateOscillator},
    {"rc4", timer555},
    {"lc1", nullptr},
    {"lc2", nullptr},
    {"lc3", nullptr},
    {"lc4", nullptr},
}};

} // namespace

double step125(double value) {
    if (!positive(value)) {
        return 0.0;
    }
    double decade = std::pow(10.0, std::floor(std::log10(value)));
    for (;;) {
        for (const double m : {1.0, 2.0, 5.0}) {
            // A hair of tolerance: 0.2 is 2 × 0.1 even when log10 rounds down.
            if (m * decade >= value * (1 - 1e-9)) {
                return m * decade;
            }
        }
        decade *= 10;
    }
}

double timePerDivision(double period) {
    // The step not below a fifth of the period: ten divisions hold at least
    // two periods and, the steps being at most 2.5 apart, at most five.
    return step125(period / 5);
}

double voltsPerDivision(double peakToPeak, double divisions) {
    if (!positive(divisions)) {
        return 0.0;
    }
    return step125(peakToPeak / divisions);
}

IdealWave idealWaveform(std::string_view id, const FormulaTimes& f, double supply,
                        const SineLevels& sine, double duration, std::size_t samples) {
    IdealWave w;
    const Shape* shape = nullptr;
    for (const Shape& s : kShapes) {
        if (s.id == id) {
            shape = &s;
        }
    }
    if (!shape || !positive(f.t) || !positive(supply) || !positive(duration) || samples < 2) {
        return w;
    }
    // The gate oscillator's formula gives T alone: its two halves are equal.
    const bool halves = positive(f.t1) && positive(f.t2);
    const double t1 = halves ? f.t1 : f.t / 2;
    const double t2 = halves ? f.t2 : f.t / 2;
    if (shape->phase && !(positive(t1) && positive(t2))) {
        return w;
    }
    w.time.reserve(samples);
    w.first.reserve(samples);
    if (shape->phase) {
        w.second.reserve(samples);
    }
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = duration * static_cast<double>(i) / static_cast<double>(samples - 1);
        w.time.push_back(t);
        if (shape->phase) {
            const Levels v = shape->phase(std::fmod(t, t1 + t2), t1, t2, supply);
            w.first.push_back(v.first);
            w.second.push_back(v.second);
        } else {
            w.first.push_back(sine.middle +
                              sine.peakToPeak / 2 * std::sin(2 * std::numbers::pi * t / f.t));
        }
    }
    return w;
}

std::string readable(double value, std::string_view unit) {
    if (!std::isfinite(value)) {
        return "—";
    }
    if (value == 0) {
        return "0 " + std::string(unit);
    }
    // The decimal exponent after rounding to four digits (999.96 is 1.000e3).
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, std::abs(value),
                           std::chars_format::scientific, 3);
    const std::string_view sci(buffer, static_cast<std::size_t>(r.ptr - buffer));
    const std::size_t e = sci.find('e');
    int exponent = 0;
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+'), sci.data() + sci.size(), exponent);
    static constexpr std::array<std::string_view, 9> kPrefixes{"p", "n", "μ", "m", "",
                                                               "k", "M", "G", "T"};
    const int eng = std::clamp(static_cast<int>(std::floor(exponent / 3.0)) * 3, -12, 12);
    const int decimals = std::max(0, 3 - (exponent - eng));
    r = std::to_chars(buffer, buffer + sizeof buffer, value / std::pow(10.0, eng),
                      std::chars_format::fixed, decimals);
    return std::string(buffer, r.ptr) + " " + std::string(kPrefixes[(eng + 12) / 3]) +
           std::string(unit);
}

} // namespace calc
