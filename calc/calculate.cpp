#include "calc/calculate.h"

#include "calc/formulas.h"
#include "calc/modes.h"
#include "calc/numtext.h"

#include <cmath>
#include <initializer_list>

namespace calc {

namespace {

std::string line(const char* prefix, double value, const std::string& unit) {
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
    const ModeTraits* mode = modeTraits(j);
    if (!mode) {
        return answer;
    }
    if (mode->message) {
        answer.message = mode->message;
        return answer;
    }

    // Only the boxes the mode uses are read: a box it ignores may hold anything.
    std::array<double, 4> x{};
    bool textsPass = true;
    for (std::size_t i = 0; i < 4; ++i) {
        if (mode->tested[i]) {
            if (test(inputs[i])) {
                x[i] = toNumber(inputs[i]);
            } else {
                textsPass = false;
            }
        }
    }
    double product = 1.0;
    for (std::size_t i = 0; i < 4; ++i) {
        if (mode->inProduct[i]) {
            product *= x[i];
        }
    }
    if (!textsPass || product == 0.0) {
        answer.message = kInputError;
        return answer;
    }

    const Periods r = *periods(j, x);
    // Inputs far beyond what the boxes hold could overflow; report them as
    // bad input rather than showing "inf".
    if (!allFinite({r.t1, r.t2, r.t, r.f})) {
        answer.message = kInputError;
        return answer;
    }

    const std::string timeUnit(mode->timeUnit);
    if (mode->halves) {
        answer.lines[T1] = line("T1=", r.t1, timeUnit);
        answer.lines[T2] = line("T2=", r.t2, timeUnit);
    } else {
        // No partial times of an earlier calculation stay on screen.
        answer.lines[T1] = std::string();
        answer.lines[T2] = std::string();
    }
    answer.lines[T] = line("T=", r.t, timeUnit);
    answer.lines[F] = line("f=", r.f, std::string(mode->frequencyUnit));
    return answer;
}

} // namespace calc
