#pragma once

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>

// What the fuzz targets hold the calculation core to, written from the rules
// themselves so that a fault in calc/ cannot hide behind the same fault here.

namespace fuzzref {

// Stops the run loudly; libFuzzer then keeps the input that did it.
[[noreturn]] inline void fail(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "invariant violated: %s", what);
    if (!detail.empty()) {
        // Long inputs are common here; the saved crash file holds all of it.
        const std::size_t shown = detail.size() < 200 ? detail.size() : 200;
        std::fprintf(stderr, " [%.*s%s]", static_cast<int>(shown), detail.data(),
                     shown < detail.size() ? "..." : "");
    }
    std::fputc('\n', stderr);
    std::abort();
}

inline void require(bool ok, const char* what, std::string_view detail = {}) {
    if (!ok) {
        fail(what, detail);
    }
}

// An acceptable input text: not empty, only ASCII digits and ASCII points,
// at most one point. A lone "." counts.
inline bool acceptable(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    int points = 0;
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte == '.') {
            ++points;
        } else if (byte < '0' || byte > '9') {
            return false;
        }
    }
    return points <= 1;
}

// The plain decimal value of an acceptable text, rounded to a double; beyond
// the double range it is infinity, below its smallest step 0.
inline double valueOf(std::string_view text) {
    // A leading and a trailing zero make ".5" and "5." ordinary decimals.
    std::string number = "0";
    number.append(text);
    if (number.back() == '.') {
        number.push_back('0');
    }
    double value = 0.0;
    const char* end = number.data() + number.size();
    const auto [ptr, ec] = std::from_chars(number.data(), end, value, std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range) {
        const std::string_view whole = std::string_view(number).substr(0, number.find('.'));
        return whole.find_first_not_of('0') == std::string_view::npos ? 0.0 : HUGE_VAL;
    }
    require(ec == std::errc{} && ptr == end, "reference could not read an acceptable text", text);
    return value;
}

} // namespace fuzzref
