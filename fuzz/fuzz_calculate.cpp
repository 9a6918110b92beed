// Input layout: two bytes of mode (little-endian int16), then input 1 to 3,
// each ended by a backslash and one more byte other than a backslash ("\\"
// stands for one backslash, so any byte fits in a text), then input 4 as
// all that is left.

#include "calc/calculate.h"
#include "fuzz/reference.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace {

using fuzzref::require;

// Spelled out here rather than taken from calc/: the texts are part of what is checked.
constexpr std::string_view kInputError = "输入的数据有错误！";
constexpr std::string_view kNoCalculation = "不用计算！";

struct Times {
    double t1 = 0.0;
    double t2 = 0.0;
    double t = 0.0;
    double f = 0.0;
};

// Which inputs each mode reads, and so checks.
constexpr std::array<std::array<bool, 4>, 7> kUsed{{
    {},
    {true, true, false, false},
    {true, true, true, true},
    {true, true, false, false},
    {true, true, true, false},
    {true, true, false, false},
    {true, true, true, true},
}};

// The times a calculation in mode 1..6 must show, or nullopt when it must be
// refused: a used text that is not acceptable, a zero product, or a result
// that a double cannot hold.
std::optional<Times> expectedTimes(int mode, const calc::Inputs& in) {
    std::array<double, 4> x{};
    for (std::size_t i = 0; i < 4; ++i) {
        if (kUsed[mode][i]) {
            if (!fuzzref::acceptable(in[i])) {
                return std::nullopt;
            }
            x[i] = fuzzref::valueOf(in[i]);
        }
    }
    double product = 0.0;
    Times r;
    switch (mode) {
    case 1:
        product = x[0] * x[1];
        r.t = (6.2832 * x[0]) * x[1];
        break;
    case 2:
        product = x[0] * x[1] * x[2] * x[3];
        r.t1 = (0.693 * x[0]) * x[2];
        r.t2 = (0.693 * x[1]) * x[3];
        r.t = r.t1 + r.t2;
        break;
    case 3:
        product = x[0] * x[1];
        r.t = (2.197 * x[0]) * x[1];
        break;
    case 4:
        product = x[0] * x[1] * x[2];
        r.t1 = (0.693 * (x[0] + x[1])) * x[2];
        r.t2 = (0.693 * x[1]) * x[2];
        r.t = r.t1 + r.t2;
        break;
    case 5:
        product = x[0] * x[1];
        r.t = std::sqrt((x[0] * x[1]) / 1000) * 6.2832;
        break;
    case 6:
        product = x[0] * x[2] * x[3];
        r.t = std::sqrt(x[0] * ((2 + x[1]) + (x[2] * x[3]) / (x[2] + x[3]))) * 6.2832 / 1000;
        break;
    default:
        fuzzref::fail("expectedTimes called outside modes 1..6");
    }
    if (product == 0.0) {
        return std::nullopt;
    }
    r.f = 1 / r.t;
    for (const double v : {r.t1, r.t2, r.t, r.f}) {
        if (!std::isfinite(v)) {
            return std::nullopt;
        }
    }
    return r;
}

// The number part of a result line: plain or exponent form, at most 15
// significant digits, "." as the only point, no trailing zeros after it, no
// sign, no grouping.
void checkNumberForm(std::string_view number, std::string_view line) {
    const std::size_t e = number.find('e');
    const std::string_view mantissa = number.substr(0, e);
    require(!mantissa.empty(), "empty number in a result line", line);
    int points = 0;
    int significant = 0;
    bool leading = true;
    for (const char ch : mantissa) {
        if (ch == '.') {
            ++points;
        } else {
            require(ch >= '0' && ch <= '9', "stray character in a result number", line);
            leading = leading && ch == '0';
            if (!leading) {
                ++significant;
            }
        }
    }
    require(points <= 1, "more than one point in a result number", line);
    require(significant <= 15, "more than 15 significant digits", line);
    require(significant >= 1 || mantissa == "0", "zero not written as 0", line);
    require(mantissa.front() != '.' && mantissa.back() != '.', "bare point at an end", line);
    if (points == 1) {
        require(mantissa.back() != '0', "trailing zero after the point", line);
        require(mantissa.find('.') == 1 || mantissa.front() != '0', "leading zero", line);
    } else {
        require(mantissa.size() == 1 || mantissa.front() != '0', "leading zero", line);
    }
    if (e != std::string_view::npos) {
        const std::string_view exponent = number.substr(e + 1);
        require(exponent.size() >= 2 && (exponent[0] == '+' || exponent[0] == '-'),
                "exponent without its sign", line);
        require(exponent.find_first_not_of("0123456789", 1) == std::string_view::npos,
                "stray character in an exponent", line);
    }
}

// The value rounded to 15 significant digits, as a double.
double rounded15(double value) {
    char buffer[40];
    const int n = std::snprintf(buffer, sizeof buffer, "%.15g", value);
    double back = 0.0;
    std::from_chars(buffer, buffer + n, back);
    return back;
}

// A partial time may underflow to 0 while the product of the zero test does
// not (a huge R1 beside a tiny R2 and C); T and f are always above 0.
enum class Zero { Allowed, Refused };

void checkLine(const std::optional<std::string>& line, std::string_view prefix, double value,
               std::string_view unit, Zero zero) {
    require(line.has_value(), "a result line is missing", prefix);
    const std::string_view text = *line;
    require(text.size() > prefix.size() + unit.size() && text.starts_with(prefix) &&
                text.ends_with(unit),
            "result line without its prefix, number and unit", text);
    const std::string_view number =
        text.substr(prefix.size(), text.size() - prefix.size() - unit.size());
    checkNumberForm(number, text);
    double shown = 0.0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), shown);
    require(ec == std::errc{} && ptr == number.data() + number.size(),
            "result number does not read back", text);
    require(std::isfinite(shown) && (shown > 0.0 || (shown == 0.0 && zero == Zero::Allowed)),
            "result number not finite and positive", text);
    require(shown == rounded15(value), "result number is not the expected value", text);
}

void checkAnswer(int mode, const calc::Inputs& in, const calc::Answer& a) {
    const bool anyLine = a.lines[0] || a.lines[1] || a.lines[2] || a.lines[3];
    if (mode == 7) {
        require(a.message && *a.message == kNoCalculation, "mode 7 must say 不用计算！");
        require(!anyLine, "mode 7 changed a result line");
        return;
    }
    if (mode < 1 || mode > 7) {
        require(!a.message && !anyLine, "a mode outside 1..7 did something");
        return;
    }
    const std::optional<Times> want = expectedTimes(mode, in);
    if (a.message) {
        require(*a.message == kInputError, "unexpected message text", *a.message);
        require(!anyLine, "a result line changed together with a message");
        require(!want, "calculation refused although every used text is a good non-zero number");
        return;
    }
    require(want.has_value(), "calculation done although it must be refused");
    const bool halves = mode == 2 || mode == 4;
    const std::string_view timeUnit = mode == 6 ? "μs" : "ms";
    const std::string_view freqUnit = mode == 6 ? "MHz" : "kHz";
    if (halves) {
        checkLine(a.lines[0], "T1=", want->t1, timeUnit, Zero::Allowed);
        checkLine(a.lines[1], "T2=", want->t2, timeUnit, Zero::Allowed);
    } else {
        require(a.lines[0] == "" && a.lines[1] == "", "T1 and T2 must be cleared");
    }
    checkLine(a.lines[2], "T=", want->t, timeUnit, Zero::Refused);
    checkLine(a.lines[3], "f=", want->f, freqUnit, Zero::Refused);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const auto mode = static_cast<calc::Mode>(static_cast<std::uint16_t>(data[0] | data[1] << 8));
    FuzzedDataProvider provider(data + 2, size - 2);
    calc::Inputs in;
    for (std::size_t i = 0; i < 3; ++i) {
        in[i] = provider.ConsumeRandomLengthString(size);
    }
    in[3] = provider.ConsumeRemainingBytesAsString();

    const calc::Answer answer = calc::calculate(mode, in);
    checkAnswer(mode, in, answer);

    // Nothing is kept between clicks: the same input gives the same answer.
    const calc::Answer again = calc::calculate(mode, in);
    require(again.lines == answer.lines && again.message == answer.message,
            "a second identical calculation answered differently");
    return 0;
}
