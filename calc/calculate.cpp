#include "calc/calculate.h"

#include "calc/formulas.h"
#include "calc/numtext.h"

#include <cmath>
#include <initializer_list>

namespace calc {

namespace {

// Which inputs a mode reads (checked by test) and which enter the zero test.
struct Usage {
    std::array<bool, 4> tested;
    std::array<bool, 4> inProduct;
};

std::optional<Usage> usageOf(Mode j) {
    switch (j) {
    case 1:
    case 3:
    case 5:
        return Usage{{true, true, false, false}, {true, true, false, false}};
    case 2:
        return Usage{{true, true, true, true}, {true, true, true, true}};
    case 4:
        return Usage{{true, true, true, false}, {true, true, true, false}};
    case 6:
        // C may be 0: tf adds a fixed 2 pF and the series C1-C2 to it.
        return Usage{{true, true, true, true}, {true, false, true, true}};
    default:
        return std::nullopt;
    }
}

std::string line(const char* prefix, double value, const char* unit) {
    return prefix + toText(value) + unit;
}

bool allFinite(std::initializer_list<double> values) {
    for (const double v : values) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<Periods> periods(Mode j, const std::array<double, 4>& x) {
    Periods r;
    switch (j) {
    case 1:
        r.t = ta(x[0], x[1]);
        break;
    case 2:
        r.t1 = tb1(x[0], x[2]);
        r.t2 = tb2(x[1], x[3]);
        r.t = r.t1 + r.t2;
        break;
    case 3:
        r.t = tc(x[0], x[1]);
        break;
    case 4:
        r.t1 = td1(x[0], x[1], x[2]);
        r.t2 = td2(x[1], x[2]);
        r.t = r.t1 + r.t2;
        break;
    case 5:
        r.t = te(x[0], x[1]);
        break;
    case 6:
        // tf gives nanoseconds; shown as microseconds and megahertz.
        r.t = tf(x[0], x[1], x[2], x[3]) / 1000.0;
        break;
    default:
        return std::nullopt;
    }
    r.f = 1.0 / r.t;
    return r;
}

Answer calculate(Mode j, const Inputs& inputs) {
    Answer answer;
    if (j == 7) {
        answer.message = kNoCalculation;
        return answer;
    }
    const auto usage = usageOf(j);
    if (!usage) {
        return answer;
    }

    // Only the boxes the mode uses are read: a box it ignores may hold anything.
    std::array<double, 4> x{};
    bool textsPass = true;
    for (std::size_t i = 0; i < 4; ++i) {
        if (usage->tested[i]) {
            if (test(inputs[i])) {
                x[i] = toNumber(inputs[i]);
            } else {
                textsPass = false;
            }
        }
    }
    double product = 1.0;
    for (std::size_t i = 0; i < 4; ++i) {
        if (usage->inProduct[i]) {
            product *= x[i];
        }
    }
    if (!textsPass || product == 0.0) {
        answer.message = kInputError;
        return answer;
    }

    const Periods r = *periods(j, x);
    const bool halves = j == 2 || j == 4;
    const char* timeUnit = j == 6 ? "μs" : "ms";
    const char* freqUnit = j == 6 ? "MHz" : "kHz";

    // Inputs far beyond what the boxes hold could overflow; report them as
    // bad input rather than showing "inf".
    if (!allFinite({r.t1, r.t2, r.t, r.f})) {
        answer.message = kInputError;
        return answer;
    }

    if (halves) {
        answer.lines[T1] = line("T1=", r.t1, timeUnit);
        answer.lines[T2] = line("T2=", r.t2, timeUnit);
    } else {
        // No partial times of an earlier calculation stay on screen.
        answer.lines[T1] = std::string();
        answer.lines[T2] = std::string();
    }
    answer.lines[T] = line("T=", r.t, timeUnit);
    answer.lines[F] = line("f=", r.f, freqUnit);
    return answer;
}

} // namespace calc
