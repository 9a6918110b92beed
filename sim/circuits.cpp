#include "sim/circuits.h"

#include <charconv>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

constexpr double kPi = std::numbers::pi;

// Samples per period at most apart. Trapezoidal integration lengthens a sine's
// period by about (2π/N)²/12: 0.033 % at 100. The relaxation oscillators get
// more, so that an edge is placed as closely.
constexpr double kSinePoints = 100;
constexpr double kEdgePoints = 200;

// Coils as wound: Q at the formula's frequency (series resistance ωL/Q).
constexpr double kCoilQ = 80;

std::string num(double v) {
    return spiceNumber(v);
}

// A netlist written line by line, comments as lines of their own ("*").
class Deck {
public:
    explicit Deck(std::string_view title) { text_ = std::string(title) + "\n"; }
    Deck& note(std::string_view comment) {
        text_ += "* ";
        text_ += comment;
        text_ += '\n';
        return *this;
    }
    Deck& line(std::string_view card) {
        text_ += card;
        text_ += '\n';
        return *this;
    }
    std::string finish() { return text_ + ".end\n"; }

private:
    std::string text_;
};

// Published SPICE parameters (the datasheets' models, numbers as given).
void addTransistorModel(Deck& d) {
    d.note("VT: 2N3904 NPN, the manufacturer's published SPICE model");
    d.line(".model Q2N3904 NPN(IS=6.734f XTI=3 EG=1.11 VAF=74.03 BF=416.4 NE=1.259 ISE=6.734f "
           "IKF=66.78m XTB=1.5 BR=0.7371 NC=2 ISC=0 IKR=0 RC=1 CJC=3.638p MJC=0.3085 VJC=0.75 "
           "FC=0.5 CJE=4.493p MJE=0.2593 VJE=0.75 TR=239.5n TF=301.2p ITF=0.4 VTF=4 XTF=2 RB=10)");
}

void addDiodeModel(Deck& d) {
    d.note("1N4148 small-signal diode, the manufacturer's published SPICE model");
    d.line(".model D1N4148 D(IS=2.52n RS=0.568 N=1.752 CJO=4p M=0.4 TT=20n BV=100 IBV=100u)");
}

void addSupply(Deck& d, double vcc, std::string_view what) {
    d.note(std::string("supply ") + std::string(what) + ": " + num(vcc) + " V");
    d.line("VCC vcc 0 " + num(vcc));
}

void addRun(Deck& d, double period, double cycles, double points) {
    const double step = period / points;
    d.note("run: " + num(cycles) + " periods of the formula, at most T/" + num(points) +
           " a step (trapezoidal integration)");
    d.line(".options method=trap");
    d.line(".tran " + num(step) + " " + num(cycles * period) + " 0 " + num(step));
}

// A bypass or coupling capacitor: 10 Ω at the formula's frequency, small
// beside every resistance it bypasses, and no larger, so that the bias
// follows the oscillation within a few dozen periods.
double bypass(double period) {
    return period / (2 * kPi * 10.0);
}

// The coil's series resistance for the stated Q at the formula's frequency.
double coilResistance(double inductance, double period) {
    return 2 * kPi / period * inductance / kCoilQ;
}

// The LC stages' bias: about 1 mA from the supply through a divider and an
// emitter resistor, the usual small-signal stage.
struct Bias {
    double rb1 = 39e3;
    double rb2 = 10e3;
    double re = 1e3;
};

// The common-base stages run at about 0.1 mA: their high-impedance tanks
// drive the transistor into saturation at 1 mA, and its stored charge
// (TR 240 ns) then pulls the frequency down by up to a tenth.
constexpr Bias kCommonBaseBias{39e3, 10e3, 10e3};

void addBias(Deck& d, const Bias& b, std::string_view base, std::string_view emitter) {
    d.note("bias: Rb1 " + num(b.rb1) + ", Rb2 " + num(b.rb2) + ", Re " + num(b.re) + " ohm");
    d.line("RB1 vcc " + std::string(base) + " " + num(b.rb1));
    d.line("RB2 " + std::string(base) + " 0 " + num(b.rb2));
    d.line("RE " + std::string(emitter) + " 0 " + num(b.re));
}

// The start-up kick of the LC circuits: a current pulse of half a period into
// the tank, as switching on gives, some 0.1 V.
void addKick(Deck& d, std::string_view a, std::string_view b, double tankC, double period) {
    const double peak = 0.4 * tankC / period * 1.0;
    d.note("start-up kick: one triangular current pulse into the tank (not a part)");
    d.line("IKICK " + std::string(a) + " " + std::string(b) + " PULSE(0 " + num(peak) + " 0 " +
           num(period / 4) + " " + num(period / 4) + " 0 1e9)");
}

// A wound coil: its inductance from `from` to an inner node, its series
// resistance from there to `to`.
void addCoil(Deck& d, std::string_view name, std::string_view from, std::string_view inner,
             std::string_view to, double inductance, double period) {
    d.line(std::string(name) + " " + std::string(from) + " " + std::string(inner) + " " +
           num(inductance));
    d.line("R" + std::string(name) + " " + std::string(inner) + " " + std::string(to) + " " +
           num(coilResistance(inductance, period)));
}

// What every LC stage ends with: the transistor (collector c, base b,
// emitter e), the kick into its tank, a run of 150 periods.
Netlist finishLc(Deck& d, std::string_view kickFrom, double tankC, double period, double vcc,
                 std::string second) {
    d.line("QVT c b e Q2N3904");
    addTransistorModel(d);
    addKick(d, kickFrom, "c", tankC, period);
    addRun(d, period, 150, kSinePoints);
    return {d.finish(), "c", std::move(second), false, vcc, 150 * period, period};
}

Netlist rc1(const std::array<double, 4>& x, double period, double vcc) {
    const double r = x[0] * 1e3;
    const double c = x[1] * 1e-6;
    Deck d("* rc1: Wien bridge oscillator (R1 " + num(r) + " ohm, C1 " + num(c) + " F)");
    d.note("supply: +-" + num(vcc) + " V for the op-amp");
    d.line("VCC vcc 0 " + num(vcc));
    d.line("VEE vee 0 " + num(-vcc));
    d.note("selection network: R1, C1 in series from the output, R1, C1 in parallel to ground");
    d.line("R1S out s " + num(r));
    d.line("C1S s p " + num(c));
    d.line("R1P p 0 " + num(r));
    d.line("C1P p 0 " + num(c));
    d.note("negative feedback: R' 10k to ground; Rf = RF1 15k + RF2 10k (gain 3.5 to start);");
    d.note("amplitude control: D1, D2 antiparallel across RF2 lower the gain towards 3");
    d.line("RPRIME m 0 10k");
    d.line("RF1 out f 15k");
    d.line("RF2 f m 10k");
    d.line("D1 f m D1N4148");
    d.line("D2 m f D1N4148");
    addDiodeModel(d);
    d.line("XA p m out vcc vee OPAMP");
    d.note("op-amp A: 100 dB gain, 3 MHz gain-bandwidth, 13 V/us slew rate, output 1.5 V");
    d.note("from the rails, 75 ohm output resistance, 1 Mohm differential input");
    d.line(".subckt OPAMP inp inn out vp vn");
    d.line("RIN inp inn 1Meg");
    d.note("transconductance 1 mS, its current limited to 0.69 mA: slew rate = 0.69 mA / C1");
    d.line("B1 0 p1 I=0.69m*tanh((V(inp)-V(inn))*1m/0.69m)");
    d.line("R1 p1 0 100Meg");
    d.line("C1 p1 0 53.05p");
    d.line("B2 o1 0 V=min(max(V(p1),V(vn)+1.5),V(vp)-1.5)");
    d.line("RO o1 out 75");
    d.line(".ends");
    d.note("start-up kick: the + input held at 10 mV for the operating point");
    d.line(".ic v(p)=10m");
    addRun(d, period, 80, kSinePoints);
    return {d.finish(), "out", "p", false, vcc, 80 * period, period};
}

Netlist rc2(const std::array<double, 4>& x, double period, double vcc) {
    Deck d("* rc2: transistor astable multivibrator");
    addSupply(d, vcc, "+VCC");
    d.note("collector resistors Rc1, Rc2: 1 kohm");
    d.line("RC1 vcc c1 1k");
    d.line("RC2 vcc c2 1k");
    d.note("base resistors R1, R2 and coupling capacitors C1, C2: the boxes");
    d.line("R1 vcc b1 " + num(x[0] * 1e3));
    d.line("R2 vcc b2 " + num(x[1] * 1e3));
    d.line("C1 c2 b1 " + num(x[2] * 1e-6));
    d.line("C2 c1 b2 " + num(x[3] * 1e-6));
    d.line("QVT1 c1 b1 0 Q2N3904");
    d.line("QVT2 c2 b2 0 Q2N3904");
    addTransistorModel(d);
    d.note("start-up kick: VT1's base held at 0 V for the operating point (VT1 off)");
    d.line(".ic v(b1)=0");
    addRun(d, period, 20, kEdgePoints);
    return {d.finish(), "c1", "b1", true, vcc, 20 * period, period};
}

Netlist rc3(const std::array<double, 4>& x, double period, double vcc) {
    const double r = x[0] * 1e3;
    Deck d("* rc3: CMOS gate oscillator");
    addSupply(d, vcc, "VDD");
    d.note("R from G1's output to A, C from G2's output (the output) to A: the boxes");
    d.line("R n1 a " + num(r));
    d.line("C out a " + num(x[1] * 1e-6));
    d.note("Rs: 10 R, the isolation resistor between A and G1's input");
    d.line("RS a in1 " + num(10 * r));
    d.line("XG1 in1 n1 vcc INV");
    d.line("XG2 n1 out vcc INV");
    d.note("CMOS inverter, buffered as a 74HC04: three level-1 MOSFET stages, threshold VDD/2");
    d.note("(equal n and p strength), about 200 ohm output resistance at 5 V, 5 pF input");
    d.note("capacitance and the input protection diodes to VDD and ground");
    d.line(".subckt INV in out vdd");
    d.line("CIN in 0 5p");
    d.line("DH in vdd DPROT");
    d.line("DL 0 in DPROT");
    d.line("MP1 s1 in vdd vdd PCMOS W=4u L=1u");
    d.line("MN1 s1 in 0 0 NCMOS W=2u L=1u");
    d.line("MP2 s2 s1 vdd vdd PCMOS W=12u L=1u");
    d.line("MN2 s2 s1 0 0 NCMOS W=6u L=1u");
    d.line("MP3 out s2 vdd vdd PCMOS W=50u L=1u");
    d.line("MN3 out s2 0 0 NCMOS W=25u L=1u");
    d.line(".ends");
    d.line(".model NCMOS NMOS(LEVEL=1 VTO=1 KP=50u LAMBDA=0.02 CGSO=0.2n CGDO=0.2n)");
    d.line(".model PCMOS PMOS(LEVEL=1 VTO=-1 KP=25u LAMBDA=0.02 CGSO=0.2n CGDO=0.2n)");
    d.line(".model DPROT D(IS=1f RS=10 CJO=1p)");
    d.note("start-up kick: A held at 0 V for the operating point");
    d.line(".ic v(a)=0");
    addRun(d, period, 20, kEdgePoints);
    return {d.finish(), "out", "a", true, vcc, 20 * period, period};
}

Netlist rc4(const std::array<double, 4>& x, double period, double vcc) {
    Deck d("* rc4: 555 astable");
    addSupply(d, vcc, "+VCC");
    d.note("R1 from VCC to pin 7, R2 from pin 7 to pins 6 and 2, C from 6/2 to ground: the boxes");
    d.line("R1 vcc dis " + num(x[0] * 1e3));
    d.line("R2 dis thr " + num(x[1] * 1e3));
    d.line("C thr 0 " + num(x[2] * 1e-6));
    d.note("pin 5: 0.01 uF to ground; pin 4 (reset) to VCC");
    d.line("C5 cv 0 0.01u");
    d.note("pins: 1 GND, 2 TRI, 3 OUT, 4 R, 5 CV, 6 THR, 7 DIS, 8 VCC");
    d.line("XU 0 thr out vcc cv thr dis vcc NE555");
    d.note("NE555, behavioural: the 5k/5k/5k divider (2/3 and 1/3 VCC), two comparators, the");
    d.note("latch (trigger wins), 100 ns from comparator to output and discharge, 0.1 uA into");
    d.note("the threshold pin, output high VCC - 1.7 V (10 ohm), discharge transistor 10 ohm on");
    d.line(".subckt NE555 gnd tri out reset cv thr dis vcc");
    d.line("RD1 vcc cv 5k");
    d.line("RD2 cv lo 5k");
    d.line("RD3 lo gnd 5k");
    d.line("ITHR thr gnd 0.1u");
    d.note("latch: set while TRI < 1/3 VCC, reset while THR > 2/3 VCC, else held; it holds");
    d.note("through m (1 ns), so that it has flipped before the output and discharge follow");
    d.line("BL lat gnd V=(0.5+0.5*tanh((V(lo)-V(tri))/1m)) + (0.5-0.5*tanh((V(lo)-V(tri))/1m))"
           "*(0.5-0.5*tanh((V(thr)-V(cv))/1m))*(0.5+0.5*tanh((V(m,gnd)-0.5)/50m))"
           "*(0.5+0.5*tanh((V(reset,gnd)-0.7)/10m))");
    d.line("RM lat m 1k");
    d.line("CM m gnd 1p");
    d.note("delay: q follows the latch through 1 kohm and 145 pF, half way in 100 ns");
    d.line("RDL lat q 1k");
    d.line("CDL q gnd 145p");
    d.line("BO o1 gnd V=(0.5+0.5*tanh((V(q,gnd)-0.5)/50m))*(V(vcc,gnd)-1.8)+0.1");
    d.line("RO o1 out 10");
    d.line("BDIS dis gnd I=(0.5-0.5*tanh((V(q,gnd)-0.5)/50m))*V(dis,gnd)/10");
    d.line(".ends");
    d.note("start-up kick: C held at 0 V for the operating point (the first charge is longer)");
    d.line(".ic v(thr)=0");
    addRun(d, period, 20, kEdgePoints);
    return {d.finish(), "out", "thr", true, vcc, 20 * period, period};
}

// lc1: transformer feedback, common emitter.
Netlist lc1(const std::array<double, 4>& x, double period, double vcc) {
    const double l = x[0] * 1e-3;
    const double c = x[1] * 1e-6;
    const double lf = 0.01 * l;
    Deck d("* lc1: transformer feedback LC oscillator");
    addSupply(d, vcc, "+VCC");
    d.note("tank: L (collector winding) and C from VCC to the collector: the boxes;");
    d.note("coil Q 80 at the formula's frequency");
    addCoil(d, "L", "vcc", "lx", "c", l, period);
    d.line("C vcc c " + num(c));
    d.note("Lf: feedback winding, 1/10 of L's turns (Lf = L/100), coupling 0.95, the dot as drawn");
    addCoil(d, "LF", "b", "fx", "bb", lf, period);
    d.line("KT L LF 0.95");
    addBias(d, Bias{}, "bb", "e");
    d.note("Cb, Ce: bypass capacitors, 10 ohm at the formula's frequency");
    d.line("CB bb 0 " + num(bypass(period)));
    d.line("CE e 0 " + num(bypass(period)));
    return finishLc(d, "vcc", c, period, vcc, "b");
}

// lc2: Hartley, common emitter; the tap to VCC.
Netlist lc2(const std::array<double, 4>& x, double period, double vcc) {
    const double l = x[0] * 1e-3;
    const double c = x[1] * 1e-6;
    // L1 : L2 turns 4 : 1 and coupling k; L1 + L2 + 2M = L.
    constexpr double k = 0.95;
    const double scale = 1.0 / (0.64 + 0.04 + 2 * k * 0.16);
    const double l1 = 0.64 * scale * l;
    const double l2 = 0.04 * scale * l;
    Deck d("* lc2: Hartley oscillator, common emitter");
    addSupply(d, vcc, "+VCC");
    d.note("coil L = L1 + L2 + 2M (the box): L1 from the tap (VCC) to the collector, L2 from the");
    d.note("tap to the left end, 4:1 turns, coupling 0.95; Q 80 at the formula's frequency");
    addCoil(d, "L1", "vcc", "x1", "c", l1, period);
    addCoil(d, "L2", "vcc", "x2", "left", l2, period);
    d.note("the windings' sense: the ends swing in opposite directions about the tap");
    d.line("KL L1 L2 " + num(-k));
    d.note("C: the tank capacitor across the whole coil: the box");
    d.line("C c left " + num(c));
    d.note("Cb: from the coil's left end to the base, 10 ohm at the formula's frequency");
    d.line("CB left b " + num(bypass(period)));
    addBias(d, Bias{}, "b", "e");
    d.note("Ce: emitter bypass, 10 ohm at the formula's frequency");
    d.line("CE e 0 " + num(bypass(period)));
    return finishLc(d, "left", c, period, vcc, "b");
}

// lc3: Hartley, common base; the tap to the emitter.
Netlist lc3(const std::array<double, 4>& x, double period, double vcc) {
    const double l = x[0] * 1e-3;
    const double c = x[1] * 1e-6;
    constexpr double k = 0.95;
    // L1 : L2 turns 9 : 1, the tap near the grounded end as the page advises.
    const double scale = 1.0 / (0.81 + 0.01 + 2 * k * 0.09);
    const double l1 = 0.81 * scale * l;
    const double l2 = 0.01 * scale * l;
    const double cb = std::max(bypass(period), 1000 * c);
    Deck d("* lc3: Hartley oscillator, common base");
    addSupply(d, vcc, "+VCC");
    d.note("coil L = L1 + L2 + 2M (the box): L2 from VCC (the left end) to the tap, L1 from the");
    d.note("tap to the collector, 9:1 turns, coupling 0.95; Q 80 at the formula's frequency");
    addCoil(d, "L2", "vcc", "x2", "tap", l2, period);
    addCoil(d, "L1", "tap", "x1", "c", l1, period);
    d.line("KL L1 L2 " + num(k));
    d.note("C: from the collector to the base (the box)");
    d.line("C c b " + num(c));
    d.note("Cb: the base to ground, the larger of 10 ohm at the formula's frequency and 1000 C");
    d.line("CB b 0 " + num(cb));
    d.note("Ce: the tap to the emitter, 10 ohm at the formula's frequency");
    d.line("CE tap e " + num(bypass(period)));
    addBias(d, kCommonBaseBias, "b", "e");
    return finishLc(d, "b", c, period, vcc, "e");
}

// lc4: Colpitts, common base.
Netlist lc4(const std::array<double, 4>& x, double period, double vcc) {
    const double l = x[0] * 1e-6;
    const double c = x[1] * 1e-12;
    const double c1 = x[2] * 1e-12;
    const double c2 = x[3] * 1e-12;
    const double tank = c + c1 * c2 / (c1 + c2);
    Deck d("* lc4: Colpitts oscillator, common base");
    addSupply(d, vcc, "+VCC");
    d.note("L and C from the collector to VCC, C1 collector to emitter, C2 emitter to ground:");
    d.note("the boxes (C 0: not fitted); coil Q 80 at the formula's frequency");
    addCoil(d, "L", "vcc", "lx", "c", l, period);
    if (c > 0) {
        d.line("C vcc c " + num(c));
    }
    d.line("C1 c e " + num(c1));
    d.line("C2 e 0 " + num(c2));
    addBias(d, kCommonBaseBias, "b", "e");
    d.note("Cb: the base to ground, 10 ohm at the formula's frequency");
    d.line("CB b 0 " + num(bypass(period)));
    return finishLc(d, "vcc", tank, period, vcc, "e");
}

struct Builder {
    std::string_view id;
    double supply;
    Netlist (*build)(const std::array<double, 4>&, double, double);
};

constexpr std::array<Builder, 8> kBuilders{{
    {"rc1", 12, rc1},
    {"rc2", 9, rc2},
    {"rc3", 5, rc3},
    {"rc4", 9, rc4},
    {"lc1", 9, lc1},
    {"lc2", 9, lc2},
    {"lc3", 9, lc3},
    {"lc4", 9, lc4},
}};

const Builder* builder(std::string_view id) {
    for (const auto& b : kBuilders) {
        if (b.id == id) {
            return &b;
        }
    }
    return nullptr;
}

} // namespace

std::string spiceNumber(double value) {
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
    return std::string(buffer, result.ptr);
}

bool hasNetlist(std::string_view id) {
    return builder(id) != nullptr;
}

double defaultSupply(std::string_view id) {
    const Builder* b = builder(id);
    return b ? b->supply : 0.0;
}

namespace {

// The card "NAME node node value" with its value replaced, and a comment
// above it saying so (the stated value's note stays as the default).
void replacePart(std::string& text, const PartValue& part) {
    if (!(part.value > 0) || !std::isfinite(part.value) || part.name.empty() ||
        part.name.find_first_of(" \n*") != std::string::npos) {
        return;
    }
    const std::string head = "\n" + part.name + " ";
    const std::size_t at = text.find(head);
    if (at == std::string::npos) {
        return;
    }
    const std::size_t end = text.find('\n', at + 1);
    const std::size_t value = text.rfind(' ', end) + 1;
    text.replace(value, end - value, spiceNumber(part.value));
    text.insert(at + 1, "* " + part.name + " as the design chose it\n");
}

} // namespace

std::optional<Netlist> buildNetlist(std::string_view id, const std::array<double, 4>& boxes,
                                    double formulaPeriod, std::optional<double> supply,
                                    std::span<const PartValue> parts) {
    const Builder* b = builder(id);
    const double vcc = supply.value_or(b ? b->supply : 0.0);
    if (!b || !(vcc > 0) || !std::isfinite(vcc) || !(formulaPeriod > 0) ||
        !std::isfinite(formulaPeriod)) {
        return std::nullopt;
    }
    Netlist netlist = b->build(boxes, formulaPeriod, vcc);
    for (const PartValue& part : parts) {
        replacePart(netlist.text, part);
    }
    return netlist;
}

} // namespace sim
