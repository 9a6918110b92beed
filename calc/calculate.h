#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The calculate command: the mode and the four input texts in, the four
// result lines and at most one message out. The window applies the answer.

namespace calc {

// Calculation mode j, as set by the last selection (see catalogue.h).
using Mode = std::int16_t;

// Input 1 to input 4 (the texts of Text2..Text5).
using Inputs = std::array<std::string, 4>;

inline constexpr const char* kInputError = "输入的数据有错误！";
inline constexpr const char* kNoCalculation = "不用计算！";

// Index of each result line in Answer::lines.
enum Line : std::size_t { T1 = 0, T2 = 1, T = 2, F = 3 };

struct Answer {
    // New caption of Label5 (T1), Label6 (T2), Label7 (T), Label8 (f);
    // nullopt leaves the line as it is, "" clears it.
    std::array<std::optional<std::string>, 4> lines;
    // Message to show, if any. When set, no line changes.
    std::optional<std::string> message;

    bool changesNothing() const {
        for (const auto& line : lines) {
            if (line) {
                return false;
            }
        }
        return !message;
    }
};

Answer calculate(Mode j, const Inputs& inputs);

} // namespace calc
