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
};

Answer calculate(Mode j, const Inputs& inputs);

// The numbers behind the result lines, in the mode's units (ms and kHz, or
// us and MHz in mode 6), for values already read from the boxes: x[0] is
// input 1. t1 and t2 are 0 where the mode has no partial times. nullopt for
// a mode without a formula. calculate uses it, so anything that ranks values
// by it ranks them by exactly what the window would show.
struct Periods {
    double t1 = 0.0;
    double t2 = 0.0;
    double t = 0.0;
    double f = 0.0;
};
std::optional<Periods> periods(Mode j, const std::array<double, 4>& x);

} // namespace calc
