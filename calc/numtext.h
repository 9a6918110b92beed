#pragma once

#include <string>
#include <string_view>

// Number <-> text for the input boxes and the result lines. Both directions
// ignore the process locale: the window calls setlocale, and "1.5" must stay
// one and a half on a desktop whose decimal separator is a comma.

namespace calc {

// True exactly for a non-empty run of ASCII digits with at most one ASCII point.
bool test(const std::string& st);

// The plain decimal value of a text that passes test ("." and "5." included);
// 0 for a text that does not start with a digit or a point. A value beyond
// the double range gives infinity, one too small for it gives 0.
double toNumber(std::string_view text);

// Up to 15 significant digits, no trailing zeros, no grouping, "." as point.
std::string toText(double value);

} // namespace calc
