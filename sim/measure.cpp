#include "sim/measure.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace sim {

namespace {

struct Edge {
    double time;
    bool rising;
};

// Crossings of `middle`, each counted once the signal has gone `hysteresis`
// beyond it, so that ripple on a slow edge is no edge. The time is that of
// the last crossing of the middle before, interpolated between samples.
std::vector<Edge> edges(std::span<const double> t, std::span<const double> v, double middle,
                        double hysteresis) {
    std::vector<Edge> found;
    int state = 0; // -1 below, +1 above, 0 not yet known
    double crossing = t.front();
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i > 0 && (v[i - 1] - middle) * (v[i] - middle) <= 0 && v[i] != v[i - 1]) {
            const double a = (middle - v[i - 1]) / (v[i] - v[i - 1]);
            crossing = t[i - 1] + a * (t[i] - t[i - 1]);
        }
        if (v[i] > middle + hysteresis && state != 1) {
            if (state == -1) {
                found.push_back({crossing, true});
            }
            state = 1;
        } else if (v[i] < middle - hysteresis && state != -1) {
            if (state == 1) {
                found.push_back({crossing, false});
            }
            state = -1;
        }
    }
    return found;
}

struct Cycle {
    double start; // rising edge
    double period;
    double high;
    double amplitude;
};

} // namespace

Measurement measure(std::span<const double> time, std::span<const double> value,
                    const MeasureOptions& options) {
    Measurement m;
    const std::size_t n = std::min(time.size(), value.size());
    if (n < 8) {
        return m;
    }
    time = time.first(n);
    value = value.first(n);
    // The levels come from the last quarter of the run, which is as near
    // settled as the run gets.
    const double tailStart = time.front() + 0.75 * (time.back() - time.front());
    const auto tail = static_cast<std::size_t>(
        std::lower_bound(time.begin(), time.end(), tailStart) - time.begin());
    const auto [lo, hi] =
        std::minmax_element(value.begin() + static_cast<std::ptrdiff_t>(tail), value.end());
    const double swing = *hi - *lo;
    if (!(swing >= options.minAmplitude)) {
        return m;
    }
    m.middle = 0.5 * (*hi + *lo);
    const std::vector<Edge> found = edges(time, value, m.middle, 0.1 * swing);

    std::vector<Cycle> cycles;
    std::size_t from = 0;
    for (std::size_t i = 0; i + 2 < found.size(); ++i) {
        if (!found[i].rising) {
            continue;
        }
        const double start = found[i].time;
        const double fall = found[i + 1].time;
        const double end = found[i + 2].time;
        const auto a =
            std::lower_bound(time.begin() + static_cast<std::ptrdiff_t>(from), time.end(), start);
        const auto b = std::lower_bound(a, time.end(), end);
        from = static_cast<std::size_t>(a - time.begin());
        const auto first = value.begin() + (a - time.begin());
        const auto last = value.begin() + (b - time.begin());
        const auto [cmin, cmax] = std::minmax_element(first, std::max(last, first + 1));
        cycles.push_back({start, end - start, fall - start, *cmax - *cmin});
    }
    // A few whole cycles in the last quarter, else the waveform has stopped.
    const auto inTail = std::count_if(cycles.begin(), cycles.end(),
                                      [&](const Cycle& c) { return c.start >= tailStart; });
    if (inTail < 2) {
        return m;
    }
    const Cycle& final = cycles.back();
    std::size_t settledFrom = cycles.size();
    while (settledFrom > 0) {
        const Cycle& c = cycles[settledFrom - 1];
        if (std::abs(c.period / final.period - 1) > options.periodTolerance ||
            std::abs(c.amplitude / final.amplitude - 1) > options.amplitudeTolerance) {
            break;
        }
        --settledFrom;
    }
    // Ringing that dies away has edges too, each cycle smaller than the last.
    const Cycle& tailFirst = cycles[cycles.size() - static_cast<std::size_t>(inTail)];
    if (final.amplitude < (1 - options.amplitudeTolerance) * tailFirst.amplitude &&
        settledFrom + 3 > cycles.size()) {
        return m;
    }
    m.oscillates = true;
    m.settled = settledFrom + 3 <= cycles.size();
    const std::size_t first =
        m.settled ? settledFrom : cycles.size() - std::min<std::size_t>(3, cycles.size());
    m.cycles = cycles.size() - first;
    m.firstEdge = cycles[first].start;
    double high = 0.0;
    double amplitude = 0.0;
    for (std::size_t i = first; i < cycles.size(); ++i) {
        high += cycles[i].high;
        amplitude += cycles[i].amplitude;
    }
    const double span = final.start + final.period - cycles[first].start;
    m.period = span / static_cast<double>(m.cycles);
    m.frequency = 1.0 / m.period;
    m.high = high / static_cast<double>(m.cycles);
    m.low = m.period - m.high;
    m.duty = m.high / m.period;
    m.amplitude = amplitude / static_cast<double>(m.cycles);
    m.settleCycles = (cycles[first].start - time.front()) / m.period;
    return m;
}

} // namespace sim
