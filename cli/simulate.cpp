#include "cli/simulate.h"

#include "calc/calculate.h"
#include "calc/catalogue.h"
#include "calc/inputlimit.h"
#include "calc/numtext.h"
#include "calc/quantity.h"
#include "cli/json.h"
#include "cli/osccalc.h"
#include "sim/simulate.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string_view>

namespace cli {

std::optional<double> positiveNumber(const std::string& text, double most) {
    const std::optional<calc::Decimal> d = calc::parseDecimal(text);
    if (!d) {
        return std::nullopt;
    }
    const double v = d->value();
    return v > 0 && v <= most ? std::optional<double>(v) : std::nullopt;
}

namespace {

struct Options {
    std::string id;
    std::vector<std::string> values;
    std::optional<double> vcc;
    double limit = 5.0;
    std::optional<std::string> csv;
    bool netlist = false;
    bool json = false;
    bool help = false;
};

void printSimulateHelp(std::ostream& os) {
    os << tr(R"(Usage: osccalc simulate CIRCUIT V1 [V2 [V3 [V4]]] [options]
Simulates the page's whole circuit in ngspice with the values as osccalc
CIRCUIT takes them (same units and checks) and measures the waveform: prints
the formula's result lines, then the simulated frequency and its difference
from the formula, T1, T2 and the duty cycle (two-phase circuits), the
peak-to-peak amplitude and the periods it took to settle. CIRCUIT is one of
rc1 rc2 rc3 rc4 lc1 lc2 lc3 lc4.

  --vcc V        supply voltage in V (default: rc1 ±12, rc3 5, the others 9)
  --limit S      wall-clock limit in seconds (default 5)
  --csv FILE     also writes time and the node voltages to FILE
  --netlist      prints the netlist that was run instead, with a control block
                 for `ngspice -b FILE` that prints the same frequency
  --json         answers with one JSON object
  --help, -h     shows this text

Exit status: 0 results (also "does not oscillate"), 1 bad input, 2 usage
error, 3 writing failed, 4 the simulator is missing or failed (no
convergence, time limit).
)",
             R"(用法：osccalc simulate 电路 V1 [V2 [V3 [V4]]] [选项]
用 ngspice 仿真页面上的整个电路：数值与 osccalc 电路 … 相同（单位和检查都一样），
从波形测量。先输出公式的结果行，再输出仿真的频率及其与公式之差、T1、T2 和占空比
（两段式电路）、峰峰值振幅和稳定所需的周期数。电路是 rc1 rc2 rc3 rc4 lc1 lc2 lc3
lc4 之一。

  --vcc V        电源电压，单位 V（默认：rc1 ±12，rc3 5，其余 9）
  --limit S      时限，单位秒（默认 5）
  --csv FILE     另把时间和各节点电压写入 FILE
  --netlist      改为输出所仿真的网表，带一段控制块：`ngspice -b 文件` 会输出同样
                 的频率
  --json         答一个 JSON 对象
  --help, -h     显示本说明

退出状态：0 有结果（“不起振”也算），1 输入有错，2 用法错误，3 写输出失败，
4 仿真器不存在或仿真失败（不收敛、超时）。
)");
}

int usage(std::ostream& err, std::string_view reason) {
    err << "osccalc simulate: " << reason << "\n"
        << tr("Try osccalc simulate --help.\n", "见 osccalc simulate --help。\n");
    return kExitUsage;
}

std::string number(double v) {
    return sim::spiceNumber(v);
}

std::string fourDigits(double v, std::string_view unit) {
    return v > 0 && std::isfinite(v) ? calc::engineeringText(v, unit, 4) : "0" + std::string(unit);
}

std::string signedPercent(double fraction) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%+.2f%%", 100 * fraction);
    return buffer;
}

std::string_view pick(const sim::Text& text) {
    return tr(text.english, text.chinese);
}

bool writeCsv(const std::string& path, const std::vector<sim::Trace>& traces, std::ostream& err) {
    // The name is UTF-8; a narrow name would go through the Windows code page.
    std::ofstream file;
    try {
        file.open(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    } catch (const std::exception&) { // not UTF-8, where Windows must convert it
        errno = EILSEQ;
        file.setstate(std::ios::failbit);
    }
    if (file) {
        std::size_t rows = 0;
        for (std::size_t i = 0; i < traces.size(); ++i) {
            file << (i ? "," : "") << traces[i].name;
            rows = std::max(rows, traces[i].values.size());
        }
        file << '\n';
        for (std::size_t r = 0; r < rows; ++r) {
            for (std::size_t i = 0; i < traces.size(); ++i) {
                file << (i ? "," : "")
                     << (r < traces[i].values.size() ? number(traces[i].values[r]) : "");
            }
            file << '\n';
        }
        file.flush();
    }
    if (!file) {
        err << "osccalc: " << tr("cannot write ", "无法写入 ") << jsonString(path) << ": "
            << std::strerror(errno != 0 ? errno : EIO) << '\n';
        return false;
    }
    return true;
}

std::string jsonResult(const Options& o, const std::vector<std::string>& lines,
                       const sim::Simulation& s) {
    std::string json = "{\"circuit\":" + jsonString(o.id) + ",\"inputs\":" + jsonArray(o.values);
    if (s.outcome == sim::Simulation::Outcome::BadInput) {
        return json + ",\"error\":" + jsonString(calc::kInputError) + "}";
    }
    json += ",\"lines\":" + jsonArray(lines);
    json += ",\"supply\":" + number(s.netlist.supply);
    if (!s.ran()) {
        return json + ",\"simulation_error\":" + jsonString(s.message->english) + "}";
    }
    const sim::Measurement& m = s.measurement;
    json += ",\"oscillates\":" + std::string(m.oscillates ? "true" : "false");
    if (m.oscillates) {
        json += ",\"f\":" + number(m.frequency);
        json += ",\"formula_f\":" + number(s.formula.f);
        json += ",\"difference\":" + number(m.frequency / s.formula.f - 1);
        if (s.netlist.twoPhase) {
            json += ",\"t1\":" + number(m.high) + ",\"t2\":" + number(m.low) +
                    ",\"duty\":" + number(m.duty);
        }
        json += ",\"amplitude\":" + number(m.amplitude);
        json += ",\"settled\":" + std::string(m.settled ? "true" : "false");
        json += ",\"settle_cycles\":" + number(m.settleCycles);
    }
    return json + "}";
}

void printResult(const std::vector<std::string>& lines, const sim::Simulation& s,
                 std::ostream& out) {
    for (const auto& line : lines) {
        out << line << '\n';
    }
    const sim::Measurement& m = s.measurement;
    if (!m.oscillates) {
        out << tr("simulated: ", "仿真：") << pick(*s.message) << '\n';
        return;
    }
    out << tr("simulated f=", "仿真 f=") << fourDigits(m.frequency, "Hz")
        << tr(" (formula ", "（公式 ") << fourDigits(s.formula.f, "Hz") << tr(", ", "，差 ")
        << signedPercent(m.frequency / s.formula.f - 1) << tr(")", "）") << '\n';
    if (s.netlist.twoPhase) {
        char duty[32];
        std::snprintf(duty, sizeof duty, "%.3f", m.duty);
        out << tr("simulated T1=", "仿真 T1=") << fourDigits(m.high, "s")
            << " T2=" << fourDigits(m.low, "s") << tr(" duty=", " 占空比=") << duty << '\n';
    }
    char settle[32];
    std::snprintf(settle, sizeof settle, "%.1f", m.settleCycles);
    out << tr("amplitude (peak to peak)=", "振幅（峰峰值）=") << fourDigits(m.amplitude, "V")
        << tr(", supply ", "，电源 ") << number(s.netlist.supply) << "V"
        << (m.settled ? std::string(tr(", settled after ", "，稳定于第 ")) + settle +
                            std::string(tr(" periods", " 个周期"))
                      : std::string(tr(", not settled yet", "，尚未稳定")))
        << '\n';
}

} // namespace

int runSimulate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--netlist") {
            o.netlist = true;
        } else if (arg == "--vcc" || arg == "--limit") {
            const std::optional<std::string> text = value();
            const std::optional<double> v =
                text ? positiveNumber(*text, arg == "--vcc" ? 50 : kMaxLimitSeconds) : std::nullopt;
            if (!v) {
                return usage(err, arg +
                                      std::string(tr(" needs a positive number (at most ",
                                                     " 需要一个正数（至多 ")) +
                                      (arg == "--vcc" ? "50 V" : "600 s") +
                                      std::string(tr(")", "）")));
            }
            if (arg == "--vcc") {
                o.vcc = *v;
            } else {
                o.limit = *v;
            }
        } else if (arg == "--csv") {
            o.csv = value();
            if (!o.csv || o.csv->empty()) {
                return usage(err, tr("--csv needs a file name", "--csv 需要文件名"));
            }
        } else if (arg.starts_with("--")) {
            return usage(err, std::string(tr("unknown option ", "未知的选项 ")) + jsonString(arg));
        } else if (o.id.empty()) {
            o.id = arg;
        } else {
            o.values.push_back(arg);
        }
    }
    if (o.help) {
        printSimulateHelp(out);
        return kExitOk;
    }
    if (o.id.empty()) {
        return usage(err, tr("no circuit given", "没有给出电路"));
    }
    if (!sim::hasNetlist(o.id)) {
        return usage(
            err,
            std::string(tr("no simulation for ", "没有仿真的电路 ")) + jsonString(o.id) +
                std::string(tr(" (rc1 .. rc4, lc1 .. lc4)", "（可用 rc1 .. rc4、lc1 .. lc4）")));
    }
    if (o.values.size() > 4) {
        return usage(err, tr("too many values (at most 4)", "数值太多（至多 4 个）"));
    }
    calc::Inputs inputs;
    bool fits = true;
    for (std::size_t i = 0; i < o.values.size(); ++i) {
        fits = fits && calc::fitsBox(o.values[i]);
        inputs[i] = o.values[i];
    }
    const calc::Answer answer =
        fits ? calc::calculate(calc::entryForId(o.id)->mode, inputs) : calc::Answer{};
    if (!fits || answer.message) {
        if (o.json) {
            out << "{\"circuit\":" << jsonString(o.id) << ",\"inputs\":" << jsonArray(o.values)
                << ",\"error\":" << jsonString(calc::kInputError) << "}\n";
        } else {
            err << calc::kInputError << '\n';
        }
        return kExitBadInput;
    }
    std::vector<std::string> lines;
    for (const auto& line : answer.lines) {
        if (line && !line->empty()) {
            lines.push_back(*line);
        }
    }
    sim::RunControl control;
    control.limitSeconds = o.limit;
    const sim::Simulation s = sim::simulate(o.id, inputs, o.vcc, control);
    if (s.outcome == sim::Simulation::Outcome::BadInput) {
        err << calc::kInputError << '\n';
        return kExitBadInput;
    }
    if (!s.ran()) {
        if (o.json) {
            out << jsonResult(o, lines, s) << '\n';
        }
        err << "osccalc: " << pick(*s.message) << '\n';
        return kExitSimulator;
    }
    if (o.csv && !writeCsv(*o.csv, s.traces, err)) {
        return kExitIo;
    }
    if (o.netlist) {
        out << sim::standaloneNetlist(s);
    } else if (o.json) {
        out << jsonResult(o, lines, s) << '\n';
    } else {
        printResult(lines, s, out);
    }
    return kExitOk;
}

} // namespace cli
