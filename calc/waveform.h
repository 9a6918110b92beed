#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What an oscilloscope shows of a circuit before anything is simulated: the
// ideal waveform the page's formula implies, and the 1-2-5 scales a scope
// would be set to. No Qt: the scope window draws what comes out of here.

namespace calc {

// The smallest of 1, 2, 5, 10, 20, 50 ... (times any power of ten) that is not
// below `value`; 0 for a value that is not positive and finite.
double step125(double value);

// A screen of 10 × 8 divisions.
inline constexpr int kTimeDivisions = 10;
inline constexpr int kVoltDivisions = 8;

// Time per division that shows two to five periods (about three).
double timePerDivision(double period);

// Volts per division at which a swing of `peakToPeak` spans at most
// `divisions` divisions.
double voltsPerDivision(double peakToPeak, double divisions);

// The formula's figures in s, as sim::Simulation::formula holds them.
struct FormulaTimes {
    double t1 = 0.0; // 0 where the page has no partial times
    double t2 = 0.0;
    double t = 0.0;
};

// Samples of the one or two nodes the scope shows, from a rising edge of the
// first at t = 0. `second` is empty where the formula says nothing about it
// (the feedback node of a sine oscillator).
struct IdealWave {
    std::vector<double> time;
    std::vector<double> first;
    std::vector<double> second;
};

// The levels of a sine, which no formula gives: the caller's guess or the
// simulation's measured ones.
struct SineLevels {
    double middle = 0.0;
    double peakToPeak = 1.0;
};

// The circuit `id` (rc1 .. lc4) at `supply` volts over `duration` seconds in
// `samples` samples; empty for a circuit without a waveform or figures that
// are not positive and finite.
//   rc4, the 555: the output (high for T1, low for T2) and u_C between VCC/3
//     and 2VCC/3, charging with the time constant T1/ln 2, discharging T2/ln 2;
//   rc2, the multivibrator: u_CE1 (high for T1 while VT1 is off) and u_B1,
//     which falls by VCC at VT1's turn-off and recovers towards +VCC through
//     R1, crossing 0 after T1;
//   rc3, the gate oscillator: the output, high for T/2, and node A, which
//     jumps by VDD at each edge and decays to VDD/2 in T/2 (time constant
//     T/(2 ln 3));
//   rc1, lc1 .. lc4: a sine at 1/T on the first channel.
IdealWave idealWaveform(std::string_view id, const FormulaTimes& formula, double supply,
                        const SineLevels& sine, double duration, std::size_t samples);

// A figure with four significant digits and the SI prefix that keeps the
// mantissa between 1 and 1000, a space before the unit: "138.8 Hz",
// "2.090 Hz", "-1.500 ms", "0 V"; "—" for a value that is not finite.
std::string readable(double value, std::string_view unit);

} // namespace calc
