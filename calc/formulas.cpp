#include "calc/formulas.h"

#include <cmath>

namespace calc {

namespace {
// Two pi to five digits, ln 2 and ln 9 to the digits the results are defined with.
constexpr double kTwoPi = 6.2832;
constexpr double kLn2 = 0.693;
constexpr double kLn9 = 2.197;
} // namespace

double ta(const double& R1, const double& R2) {
    return (kTwoPi * R1) * R2;
}

double tb1(const double& R1, const double& C1) {
    return (kLn2 * R1) * C1;
}

double tb2(const double& R2, const double& C2) {
    return (kLn2 * R2) * C2;
}

double tc(const double& R1, const double& R2) {
    return (kLn9 * R1) * R2;
}

double td1(const double& R1, const double& R2, const double& C1) {
    return (kLn2 * (R1 + R2)) * C1;
}

double td2(const double& R2, const double& C1) {
    return (kLn2 * R2) * C1;
}

double te(const double& R1, const double& R2) {
    return std::sqrt((R1 * R2) / 1000.0) * kTwoPi;
}

double tf(const double& R1, const double& R2, const double& C1, const double& C2) {
    const double c = 2.0 + R2;
    const double product = C1 * C2;
    const double sum = C1 + C2;
    const double series = product / sum;
    const double total = c + series;
    return std::sqrt(R1 * total) * kTwoPi;
}

} // namespace calc
