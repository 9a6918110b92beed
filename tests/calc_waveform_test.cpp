#include "calc/calculate.h"
#include "calc/catalogue.h"
#include "calc/modes.h"
#include "calc/numtext.h"
#include "calc/waveform.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(Scale125, StepsAndScreens) {
    struct Case {
        double value;
        double step;
    };
    for (const Case& c : {Case{0.2, 0.2}, Case{0.21, 0.5}, Case{4.158e-3, 5e-3}, Case{6, 10},
                          Case{1e-7, 1e-7}, Case{0, 0}, Case{-1, 0}}) {
        EXPECT_DOUBLE_EQ(calc::step125(c.value), c.step) << c.value;
    }
    // Every period from 1 ns to 100 s gets two to five periods on the screen,
    // and every swing fits in the divisions it is given.
    for (double x = 1e-9; x < 100; x *= 1.37) {
        const double shown = calc::kTimeDivisions * calc::timePerDivision(x) / x;
        EXPECT_GE(shown, 2 * (1 - 1e-9)) << x;
        EXPECT_LE(shown, 5 * (1 + 1e-9)) << x;
        const double spans = x / calc::voltsPerDivision(x, 3);
        EXPECT_LE(spans, 3 * (1 + 1e-9)) << x;
        EXPECT_GE(spans, 3 / 2.5 * (1 - 1e-9)) << x;
    }
}

// The ideal waveform's period and phases are the formula's, and the second
// channel reaches its switching level as the first one switches.
TEST(IdealWaveform, MatchesCalculate) {
    struct Case {
        const char* id;
        calc::Inputs boxes;
        double levelAtSwitch; // of the second channel at the end of T1, × supply
    };
    const double vcc = 9;
    for (const Case& c :
         {Case{"rc4", {"10", "10", "1", ""}, 2.0 / 3}, Case{"rc2", {"100", "50", "10", "10"}, 0.0},
          Case{"rc3", {"10", "0.1", "", ""}, 0.5}}) {
        const calc::CatalogueEntry* entry = calc::entryForId(c.id);
        std::array<double, 4> x{};
        for (std::size_t i = 0; i < 4; ++i) {
            x[i] = calc::toNumber(c.boxes[i]);
        }
        const calc::Periods p = *calc::periods(entry->mode, x);
        const double perSecond = calc::modeTraits(entry->mode)->hzPerUnit;
        const calc::FormulaTimes f{p.t1 / perSecond, p.t2 / perSecond, p.t / perSecond};
        const std::size_t n = 20001;
        const calc::IdealWave w = calc::idealWaveform(c.id, f, vcc, {}, 2 * f.t, n);
        ASSERT_EQ(w.time.size(), n) << c.id;
        ASSERT_EQ(w.second.size(), n) << c.id;
        // First falling edge: the end of T1; the next rising one: T later.
        std::size_t fall = 1;
        while (fall < n && w.first[fall] > vcc / 2) {
            ++fall;
        }
        std::size_t rise = fall;
        while (rise < n && w.first[rise] < vcc / 2) {
            ++rise;
        }
        const double dt = w.time[1];
        const double t1 = f.t1 > 0 ? f.t1 : f.t / 2;
        EXPECT_NEAR(w.time[fall], t1, dt) << c.id;
        EXPECT_NEAR(w.time[rise], f.t, dt) << c.id;
        EXPECT_NEAR(w.second[fall - 1], c.levelAtSwitch * vcc, 1e-3 * vcc) << c.id;
    }
    // A sine: its rising crossings one period apart, at the levels given.
    const calc::IdealWave s = calc::idealWaveform("lc4", {0, 0, 1e-6}, vcc, {9, 4}, 1e-6, 101);
    EXPECT_TRUE(s.second.empty());
    EXPECT_NEAR(s.first[25], 11, 1e-9);
    EXPECT_NEAR(s.first[100], 9, 1e-9);
    EXPECT_TRUE(calc::idealWaveform("quartz1", {0, 0, 1e-6}, vcc, {}, 1e-6, 101).time.empty());
}

TEST(Readable, FourDigitsAndPrefix) {
    struct Case {
        double value;
        const char* unit;
        const char* text;
    };
    for (const Case& c : {Case{138.75013875, "Hz", "138.8 Hz"}, Case{2.0903, "Hz", "2.090 Hz"},
                          Case{999.96, "Hz", "1.000 kHz"}, Case{455684.018, "Hz", "455.7 kHz"},
                          Case{-0.0015, "s", "-1.500 ms"}, Case{6.93e-6, "s", "6.930 μs"},
                          Case{0, "V", "0 V"}, Case{INFINITY, "Hz", "—"}}) {
        EXPECT_EQ(calc::readable(c.value, c.unit), c.text) << c.value;
    }
}

} // namespace
