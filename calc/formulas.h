#pragma once

// The circuit formulas. Each takes component values in the units the input
// captions name and returns a time: milliseconds, or nanoseconds for tf.
// The constants and the order of operations are fixed so that a result is
// the same double every time; do not "simplify" them.

namespace calc {

// RC Wien bridge: R (kOhm), C (uF) -> ms.
double ta(const double& R1, const double& R2);
// Two-transistor multivibrator, one half-period each: R (kOhm), C (uF) -> ms.
double tb1(const double& R1, const double& C1);
double tb2(const double& R2, const double& C2);
// NOT-gate multivibrator: R (kOhm), C (uF) -> ms.
double tc(const double& R1, const double& R2);
// 555 astable: charging time and discharging time, R (kOhm), C (uF) -> ms.
double td1(const double& R1, const double& R2, const double& C1);
double td2(const double& R2, const double& C1);
// LC oscillators: L (mH), C (uF) -> ms.
double te(const double& R1, const double& R2);
// Capacitive three-point: L (uH), C, C1, C2 (pF) -> ns; 2 pF is added to C.
double tf(const double& R1, const double& R2, const double& C1, const double& C2);

} // namespace calc
