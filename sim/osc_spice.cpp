// osc-spice: runs one netlist in libngspice and reports on standard output,
// so that whatever the engine does (it keeps global state and may abort) it
// cannot take the program that asked down with it. The sim library spawns it
// once per simulation and reads its report (see sim/engine.cpp):
//   ready\n                  the engine loaded; the netlist may be sent
//   progress F\n             F in [0, 1]
//   message TEXT\n           a line the engine wrote on its standard error
//   vector NAME N\n          followed by N doubles in this machine's byte order
//   done\n                   the run ended (successfully or not: see messages)
// The netlist comes on standard input, up to its end.

#include <ngspice/sharedspice.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

int lastPercent = -1;

void writeLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int onChar(char* text, int, void*) {
    // The engine prefixes each line with the stream it meant.
    constexpr std::string_view err = "stderr ";
    const std::string_view line = text ? text : "";
    if (line.starts_with(err)) {
        std::string message(line.substr(err.size()));
        for (char& c : message) {
            if (c == '\n' || c == '\r') {
                c = ' ';
            }
        }
        writeLine("message " + message);
    }
    return 0;
}

int onStat(char* text, int, void*) {
    // "tran: 12.3%"; only whole percents are passed on, so that the pipe does
    // not fill with status lines.
    const char* percent = text ? std::strrchr(text, '%') : nullptr;
    if (!percent) {
        return 0;
    }
    const char* start = percent;
    while (start > text && (start[-1] == '.' || (start[-1] >= '0' && start[-1] <= '9'))) {
        --start;
    }
    const int whole = std::atoi(start);
    if (whole != lastPercent && start != percent) {
        lastPercent = whole;
        writeLine("progress " + std::to_string(whole / 100.0));
    }
    return 0;
}

// The engine asks its host to quit after an unrecoverable error.
int onExit(int status, NG_BOOL, NG_BOOL, int, void*) {
    writeLine("message engine quit");
    writeLine("done");
    std::_Exit(status == 0 ? 0 : 3);
}

void sendVectors() {
    char* plot = ngSpice_CurPlot();
    char** names = plot ? ngSpice_AllVecs(plot) : nullptr;
    for (; names && *names; ++names) {
        const pvector_info info = ngGet_Vec_Info(*names);
        if (!info || !info->v_realdata || info->v_length <= 0) {
            continue;
        }
        writeLine("vector " + std::string(*names) + " " + std::to_string(info->v_length));
        std::fwrite(info->v_realdata, sizeof(double), static_cast<std::size_t>(info->v_length),
                    stdout);
    }
    std::fflush(stdout);
}

} // namespace

int main() {
    // Numbers in the netlist are written with a point, whatever the desktop.
    std::setlocale(LC_ALL, "C");
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    ngSpice_Init(onChar, onStat, onExit, nullptr, nullptr, nullptr, nullptr);
    writeLine("ready");

    std::vector<std::string> lines;
    for (std::string line; std::getline(std::cin, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    std::vector<char*> circuit;
    for (std::string& line : lines) {
        circuit.push_back(line.data());
    }
    circuit.push_back(nullptr);
    if (lines.empty() || ngSpice_Circ(circuit.data()) != 0) {
        writeLine("message cannot load the netlist");
        writeLine("done");
        return 2;
    }
    char run[] = "run";
    ngSpice_Command(run);
    sendVectors();
    writeLine("done");
    // The engine's global state is the system's to free; skipping the exit
    // handlers also keeps a sanitizer build's leak report out of the result.
    std::_Exit(0);
}
