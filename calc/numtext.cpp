#include "calc/numtext.h"

#include <charconv>
#include <limits>
#include <system_error>

namespace calc {

bool test(const std::string& st) {
    // Byte-wise is enough: every byte of a multi-byte UTF-8 character is
    // outside '0'..'9' and '.', so such a text fails as it should.
    std::size_t digits = 0;
    std::size_t points = 0;
    for (const char ch : st) {
        if (ch > 47 && ch < 58) {
            ++digits;
        }
        if (ch == 46) {
            ++points;
        }
    }
    return digits + points == st.size() && points < 2 && !st.empty();
}

double toNumber(std::string_view text) {
    // Keep the leading run of digits with at most one point, as the
    // original's conversion read only the number at the start of the text.
    std::size_t end = 0;
    bool point = false;
    bool nonZeroBeforePoint = false;
    bool anyDigit = false;
    while (end < text.size()) {
        const char ch = text[end];
        if (ch >= '0' && ch <= '9') {
            anyDigit = true;
            if (!point && ch != '0') {
                nonZeroBeforePoint = true;
            }
        } else if (ch == '.' && !point) {
            point = true;
        } else {
            break;
        }
        ++end;
    }
    if (!anyDigit) {
        return 0.0;
    }
    // from_chars wants at least one digit before the point and none missing
    // after it, so ".5" is read as "0.5" and "5." as "5".
    std::string number;
    number.reserve(end + 1);
    if (text[0] == '.') {
        number.push_back('0');
    }
    number.append(text.substr(0, end));
    if (number.back() == '.') {
        number.pop_back();
    }
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                           std::chars_format::fixed);
    if (ec == std::errc::result_out_of_range) {
        return nonZeroBeforePoint ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (ec != std::errc{}) {
        return 0.0;
    }
    return value;
}

std::string toText(double value) {
    char buffer[64];
    const auto [ptr, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    if (ec != std::errc{}) {
        return {};
    }
    return std::string(buffer, ptr);
}

} // namespace calc
