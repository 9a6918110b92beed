#include "calc/circuitparts.h"

#include "calc/design.h"
#include "calc/quantity.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace calc {

namespace {

// The smallest E6 value at least `v` (positive, finite).
double e6AtLeast(double v) {
    const int decade = static_cast<int>(std::floor(std::log10(v)));
    for (int d = decade; d <= decade + 1; ++d) {
        for (const int m : seriesMantissas(Series::E6)) {
            // Through the decimal digits, so that 2.2 nF is exactly the part's.
            const double x = roundedDecimal(m * std::pow(10.0, d - 2), 3).value();
            if (x >= v * (1 - 1e-9)) {
                return x;
            }
        }
    }
    return v;
}

bool isCommonBase(std::string_view id) {
    return id == "lc3" || id == "lc4";
}

} // namespace

std::string supportText(const SupportPart& part) {
    return part.name + "=" + engineeringText(part.value, part.unit, 3);
}

std::string supportText(const std::vector<SupportPart>& parts) {
    std::string text;
    for (const SupportPart& p : parts) {
        text += (text.empty() ? "" : " ") + supportText(p);
    }
    return text;
}

std::optional<double> collectorResistor(double r1, double r2) {
    const double high = std::max(r1, r2);
    const double low = std::min(r1, r2);
    if (!(low > 0) || !std::isfinite(high)) {
        return std::nullopt;
    }
    const double rc = e6AtLeast(std::max(kMultivibratorRcMin, 2 * high / kMultivibratorBetaMin));
    if (low < kMultivibratorRecovery * rc * (1 - 1e-9)) {
        return std::nullopt;
    }
    return rc;
}

StageBias stageBias(std::string_view id) {
    return isCommonBase(id) ? StageBias{39e3, 10e3, 10e3} : StageBias{39e3, 10e3, 1e3};
}

double emitterCurrent(const StageBias& bias, double supply) {
    const double base = supply * bias.rb2 / (bias.rb1 + bias.rb2);
    return std::max(0.0, base - kBaseEmitterVolts) / bias.re;
}

double colpittsLoopGain(double hz, double l, double c1, double c2, double ie, double re) {
    using C = std::complex<double>;
    const double w = 2 * std::numbers::pi * hz;
    const double gm = ie / kThermalVoltage;
    // The emitter node takes gm (the transistor's input) and 1/Re; the
    // collector current follows gm alone, so 1/Re is what the tank pays.
    const double ge = gm + 1 / re;
    const C s(0.0, w);
    const C y = s * c1 * (ge - gm + s * c2) / (ge + s * (c1 + c2));
    return -y.real() * kCoilQ * w * l;
}

double bypassCapacitor(double hz) {
    return e6AtLeast(1 / (2 * std::numbers::pi * hz * kBypassOhm));
}

bool starts(const DesignRules& rules, const std::array<double, 4>& si, double hz) {
    switch (rules.startup) {
    case Startup::None:
        return true;
    case Startup::SaturatingSwitches:
        return collectorResistor(si[0], si[1]).has_value();
    case Startup::ColpittsLoopGain: {
        const StageBias bias = stageBias("lc4");
        return colpittsLoopGain(hz, si[0], si[2], si[3], emitterCurrent(bias), bias.re) >=
               kColpittsMinLoopGain;
    }
    }
    return true;
}

bool hasSupportParts(std::string_view id) {
    return id == "rc2" || id == "rc4" || id.starts_with("lc");
}

std::vector<SupportPart> supportParts(std::string_view id, const std::array<double, 4>& si,
                                      double hz) {
    std::vector<SupportPart> parts;
    if (id == "rc2") {
        if (const auto rc = collectorResistor(si[0], si[1])) {
            parts.push_back({"Rc1", *rc, "Ω"});
            parts.push_back({"Rc2", *rc, "Ω"});
        }
        parts.push_back({"VCC", kMultivibratorSupply, "V"});
    } else if (id == "rc4") {
        parts.push_back({"C5", kTimerControlCap, "F"});
        parts.push_back({"VCC", kTimerSupply, "V"});
    } else if (hasSupportParts(id)) {
        const StageBias bias = stageBias(id);
        parts.push_back({"Rb1", bias.rb1, "Ω"});
        parts.push_back({"Rb2", bias.rb2, "Ω"});
        parts.push_back({"Re", bias.re, "Ω"});
        const double bypass = bypassCapacitor(hz);
        // lc3's Cb also holds the base against C, which the tank drives.
        parts.push_back(
            {"Cb", id == "lc3" ? e6AtLeast(std::max(bypass, 1000 * si[1])) : bypass, "F"});
        if (id != "lc4") {
            parts.push_back({"Ce", bypass, "F"});
        }
        if (id == "lc1") {
            // The feedback winding: a tenth of L's turns.
            parts.push_back({"Lf", si[0] / 100, "H"});
        }
        parts.push_back({"VCC", kStageSupply, "V"});
    }
    return parts;
}

} // namespace calc
