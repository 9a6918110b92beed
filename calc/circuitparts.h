#pragma once

#include "calc/modes.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The parts of a page's circuit besides its boxes: what the schematic needs
// to work (collector resistors, bias, bypass capacitors, the supply), chosen
// from standard values by stated rules that make the circuit start. They do
// not enter calculate(); a design lists them beside the boxes.

namespace calc {

// One part beside the boxes, named as the schematic names it.
struct SupportPart {
    std::string name;      // "Rc1", "Rb1", "Ce", "VCC"
    double value = 0.0;    // in its base unit
    std::string_view unit; // "Ω", "F", "V"
};

// "Rc1=2.2kΩ", "VCC=9V".
std::string supportText(const SupportPart& part);
// The parts of a list, space-separated.
std::string supportText(const std::vector<SupportPart>& parts);

// ---- The multivibrator (rc2) ----
// The conducting transistor must saturate: its base current (VCC − VBE)/R
// at least twice what β_min needs for VCC/Rc, so R ≤ β_min·Rc/2. The one
// switched off must recover before the other switches: its collector
// recharges the coupling capacitor through Rc, so R ≥ 10·Rc.
inline constexpr double kMultivibratorSupply = 9.0; // V
inline constexpr double kMultivibratorBetaMin = 100.0;
inline constexpr double kMultivibratorRecovery = 10.0; // R / Rc at least
inline constexpr double kMultivibratorRcMin = 1e3;     // Ω: some 9 mA at 9 V

// Rc for base resistors r1, r2 (Ω): the smallest E6 value from 1 kΩ up with
// both ≤ β_min·Rc/2; nullopt when then one of them is below 10·Rc.
std::optional<double> collectorResistor(double r1, double r2);

// ---- The 555 (rc4) ----
inline constexpr double kTimerSupply = 9.0;       // V
inline constexpr double kTimerControlCap = 10e-9; // F, pin 5 to ground, against noise

// ---- The LC stages (lc1 .. lc4) ----
inline constexpr double kStageSupply = 9.0;         // V
inline constexpr double kBaseEmitterVolts = 0.7;    // V
inline constexpr double kThermalVoltage = 25.85e-3; // V at 27 °C
inline constexpr double kCoilQ = 80.0;              // the coil's Q at the frequency
inline constexpr double kBypassOhm = 10.0;          // a bypass's reactance at most
inline constexpr double kColpittsMinLoopGain = 3.0;

// A divider from the supply to the base and an emitter resistor.
struct StageBias {
    double rb1 = 0.0; // Ω, supply to base
    double rb2 = 0.0; // Ω, base to ground
    double re = 0.0;  // Ω, emitter to ground
};

// Common emitter (lc1, lc2): about 1.1 mA. Common base (lc3, lc4): about
// 0.11 mA, so that the high-impedance tank does not drive the transistor
// into saturation (its stored charge would pull the frequency down).
StageBias stageBias(std::string_view id);
// I_E = (V_B − V_BE)/Re with V_B from the unloaded divider.
double emitterCurrent(const StageBias& bias, double supply = kStageSupply);

// The Colpitts stage's loop gain at `hz` for the coil `l` (H, of Q kCoilQ),
// C1 and C2 (F) and the emitter current (A): the negative conductance that
// C1, C2 and the emitter (r_e = 25.85 mV / I_E, Re beside it) present to the
// tank, times the tank's loss resistance Q·ω·L (Re's 1/Re is lost). With r_e far below C2's
// reactance the divider does not work and the gain collapses.
double colpittsLoopGain(double hz, double l, double c1, double c2, double emitterCurrent,
                        double re);

// The smallest E6 capacitor whose reactance at `hz` is at most kBypassOhm.
double bypassCapacitor(double hz);

// Whether the circuit of `rules` starts with these box values (in the base
// units, box order) at `hz`: rc2's base resistors against Rc, lc4's loop gain.
bool starts(const DesignRules& rules, const std::array<double, 4>& si, double hz);

// Whether circuit `id` has parts beside its boxes stated.
bool hasSupportParts(std::string_view id);

// The parts of circuit `id` beside the boxes, for box values in the base
// units at the frequency `hz`; empty for a circuit without any stated.
std::vector<SupportPart> supportParts(std::string_view id, const std::array<double, 4>& si,
                                      double hz);

} // namespace calc
