#include "calc/quantity.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

namespace calc {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Leading zeros dropped, trailing zeros moved into the exponent.
Decimal normalised(std::string digits, int exponent) {
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return {"0", 0};
    }
    digits.erase(0, first);
    while (digits.back() == '0') {
        digits.pop_back();
        ++exponent;
    }
    return {digits, exponent};
}

struct Prefix {
    std::string_view symbol;
    int exponent;
};

constexpr std::array<Prefix, 10> kPrefixes{{{"p", -12},
                                            {"n", -9},
                                            {"u", -6},
                                            {"μ", -6}, // U+03BC, as the captions write it
                                            {"µ", -6}, // U+00B5, the micro sign of many keyboards
                                            {"m", -3},
                                            {"k", 3},
                                            {"K", 3},
                                            {"M", 6},
                                            {"G", 9}}};

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

bool isUnit(std::string_view text, std::string_view unit) {
    if (unit == "Hz") {
        return equalsIgnoringAsciiCase(text, unit);
    }
    if (unit == "Ω") {
        // U+2126 OHM SIGN is what some keyboards and character maps give.
        return text == unit || text == "\u2126" || equalsIgnoringAsciiCase(text, "ohm");
    }
    return text == unit;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

double Decimal::value() const {
    const std::string text = digits + "e" + std::to_string(exponent);
    double v = 0.0;
    if (std::from_chars(text.data(), text.data() + text.size(), v).ec ==
        std::errc::result_out_of_range) {
        // Beyond the double range: infinity, or 0 for one too small for it.
        const bool large = static_cast<int>(digits.size()) - 1 + exponent > 0;
        return large ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return v;
}

std::string Decimal::plain() const {
    if (digits == "0") {
        return "0";
    }
    if (exponent >= 0) {
        return digits + std::string(static_cast<std::size_t>(exponent), '0');
    }
    const auto shift = static_cast<std::size_t>(-exponent);
    std::string text = digits;
    if (text.size() <= shift) {
        text.insert(0, shift - text.size() + 1, '0');
    }
    text.insert(text.size() - shift, 1, '.');
    return text;
}

std::optional<Decimal> parseDecimal(std::string_view text) {
    std::string digits;
    int exponent = 0;
    std::size_t i = 0;
    bool point = false;
    for (; i < text.size() && (isDigit(text[i]) || (text[i] == '.' && !point)); ++i) {
        if (text[i] == '.') {
            point = true;
        } else {
            digits.push_back(text[i]);
            exponent -= point ? 1 : 0;
        }
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::string_view rest = text.substr(i + 1);
        const bool negative = rest.starts_with('-');
        if (negative || rest.starts_with('+')) {
            rest.remove_prefix(1);
        }
        int e = 0;
        // Four digits reach far beyond any part or frequency.
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), e);
        if (ec != std::errc{} || end != rest.data() + rest.size() || rest.size() > 4 ||
            !isDigit(rest.front())) {
            return std::nullopt;
        }
        exponent += negative ? -e : e;
        i = text.size();
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    return normalised(std::move(digits), exponent);
}

std::optional<Quantity> parseQuantity(std::string_view text, std::string_view unit) {
    text = trimmed(text);
    // The number ends where from_chars stops reading one; what it reads
    // beyond our numbers ("inf", "nan", a leading minus) parseDecimal refuses.
    double ignored = 0.0;
    const char* end = std::from_chars(text.data(), text.data() + text.size(), ignored).ptr;
    std::string number(text.data(), end);
    std::string_view rest = trimmed(text.substr(number.size()));
    if (rest.empty()) {
        const auto d = parseDecimal(number);
        return d ? std::optional<Quantity>(Quantity{*d, true}) : std::nullopt;
    }
    int power = 0;
    if (!isUnit(rest, unit)) {
        const auto prefix = std::find_if(kPrefixes.begin(), kPrefixes.end(), [&](const Prefix& p) {
            return rest.starts_with(p.symbol);
        });
        if (prefix == kPrefixes.end()) {
            return std::nullopt;
        }
        power = prefix->exponent;
        rest.remove_prefix(prefix->symbol.size());
        // "4k7": the prefix stands for the point of a whole number.
        std::size_t tail = 0;
        while (tail < rest.size() && isDigit(rest[tail])) {
            ++tail;
        }
        if (tail > 0) {
            if (number.find_first_not_of("0123456789") != std::string::npos) {
                return std::nullopt;
            }
            number.push_back('.');
            number.append(rest.substr(0, tail));
            rest.remove_prefix(tail);
        }
        if (!rest.empty() && !isUnit(rest, unit)) {
            return std::nullopt;
        }
    }
    const auto d = parseDecimal(number);
    return d ? std::optional<Quantity>(Quantity{d->scaled(power), false}) : std::nullopt;
}

std::string engineeringText(const Decimal& value, std::string_view unit,
                            std::string_view separator) {
    if (value.digits == "0") {
        return std::string("0").append(separator).append(unit);
    }
    const int lead = static_cast<int>(value.digits.size()) - 1 + value.exponent;
    const auto [lowest, highest] = unit == "F"   ? std::pair{-12, -6}
                                   : unit == "H" ? std::pair{-6, 0}
                                                 : std::pair{-12, 9};
    const int eng = std::clamp(static_cast<int>(std::floor(lead / 3.0)) * 3, lowest, highest);
    std::string_view symbol;
    for (const Prefix& p : kPrefixes) {
        // The first of each exponent is the one written: "u" yields to "μ" below.
        if (p.exponent == eng && symbol.empty() && p.symbol != "u" && p.symbol != "K") {
            symbol = p.symbol;
        }
    }
    return value.scaled(-eng).plain() + std::string(separator) + std::string(symbol) +
           std::string(unit);
}

Decimal roundedDecimal(double value, int significant) {
    if (!std::isfinite(value)) {
        return {"0", 0};
    }
    // "d.ddde±xx", whatever the process locale.
    char buffer[128];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, std::abs(value),
                      std::chars_format::scientific, std::max(significant - 1, 0));
    if (ec != std::errc{}) {
        return {"0", 0}; // more digits than a double holds by far
    }
    const std::string_view text(buffer, end);
    const std::size_t e = text.find('e');
    std::string digits(text.substr(0, e));
    std::erase(digits, '.');
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), end, exponent);
    return normalised(digits, exponent - static_cast<int>(digits.size()) + 1);
}

std::string engineeringText(double value, std::string_view unit, int significant,
                            std::string_view separator) {
    if (!std::isfinite(value)) {
        // Appended piece by piece: GCC 12 for MinGW warns falsely (-Wrestrict)
        // on a literal joined to strings with +.
        return std::string("?").append(separator).append(unit);
    }
    return engineeringText(roundedDecimal(value, significant), unit, separator);
}

} // namespace calc
