#pragma once

#include <optional>
#include <string>
#include <string_view>

// Values as engineers type them: "4.7k", "10 nF", "0.01μF", "1.5MHz", "4k7".
// They are kept as decimal digits and a power of ten, so that moving them into
// a box's unit ("4.7n" into a μF box is "0.0047") adds no binary rounding.

namespace calc {

struct Decimal {
    std::string digits; // without leading zeros; "0" for zero
    int exponent = 0;   // value = digits × 10^exponent

    // Infinity beyond the double range, 0 for a value too small for it.
    double value() const;
    // Plain text without an exponent: "0.0047", "10", "2200".
    std::string plain() const;
    Decimal scaled(int powerOfTen) const { return {digits, exponent + powerOfTen}; }
};

// A plain number: digits with at most one point, then an optional exponent
// ("1e3", "2.5E-6"). No sign, no spaces.
std::optional<Decimal> parseDecimal(std::string_view text);

struct Quantity {
    Decimal value;    // in the base unit (Ω, F, H, Hz) where a prefix or unit was given
    bool bare = true; // neither prefix nor unit: the caller's default unit applies
};

// A number, optional spaces, an optional SI prefix (p n u μ µ m k K M G) and
// an optional unit symbol; the prefix may also stand for the point ("4k7").
// `unit` is the symbol accepted ("Hz" in any case, "Ω" also as the ohm sign
// U+2126 and "ohm", "F", "H").
std::optional<Quantity> parseQuantity(std::string_view text, std::string_view unit);

// A positive finite value rounded to `significant` digits.
Decimal roundedDecimal(double value, int significant);

// A value in the base unit with the prefix that keeps 1 ≤ mantissa < 1000:
// "18kΩ", "15nF", "56.2μH". `separator` goes between number and prefix.
// Capacitors stay between pF and μF, inductors between μH and H, as parts
// are marked.
std::string engineeringText(const Decimal& value, std::string_view unit,
                            std::string_view separator = "");
std::string engineeringText(double value, std::string_view unit, int significant,
                            std::string_view separator = "");

} // namespace calc
