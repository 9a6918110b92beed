#pragma once

#include <cstddef>
#include <span>

// Period, phases and amplitude read from a waveform: edges found with
// hysteresis, over the cycles after the waveform has settled.

namespace sim {

struct Measurement {
    bool oscillates = false;
    double frequency = 0.0;    // Hz
    double period = 0.0;       // s
    double high = 0.0;         // s above the middle level in a period (T1 of a two-phase circuit)
    double low = 0.0;          // s below it (T2)
    double duty = 0.0;         // high / period
    double amplitude = 0.0;    // V, peak to peak
    double middle = 0.0;       // V, the level the edges are taken at
    bool settled = false;      // the last cycles agree (otherwise the figures are of the last few)
    double settleCycles = 0.0; // periods from the start until the waveform had settled
    std::size_t cycles = 0;    // cycles the figures are averaged over
    double firstEdge = 0.0;    // s, the first rising edge of those cycles
};

struct MeasureOptions {
    // Below this peak-to-peak amplitude (V) a waveform is taken as flat.
    double minAmplitude = 1e-3;
    // A cycle has settled when its period is this close to the final one ...
    double periodTolerance = 0.01;
    // ... and its amplitude this close.
    double amplitudeTolerance = 0.02;
};

// `time` ascending, `value` of the same length.
Measurement measure(std::span<const double> time, std::span<const double> value,
                    const MeasureOptions& options = {});

} // namespace sim
