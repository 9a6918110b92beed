#include "sim/engine.h"

#include "sim/process.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

// Polling this often keeps a cancel within the promised 50 ms.
constexpr int kPollMs = 20;

// Reads the helper's report (see osc_spice.cpp) as it arrives.
class ReportParser {
public:
    explicit ReportParser(EngineRun& run, const RunControl& control)
        : run_(run), control_(control) {}

    // Consumes what it can of `buffer`; false on a malformed report.
    bool feed(std::string& buffer) {
        std::size_t pos = 0;
        while (true) {
            if (pending_ > 0) {
                const std::size_t bytes = pending_ * sizeof(double);
                if (buffer.size() - pos < bytes) {
                    break;
                }
                std::vector<double>& values = run_.vectors.back().values;
                values.resize(pending_);
                std::memcpy(values.data(), buffer.data() + pos, bytes);
                pos += bytes;
                pending_ = 0;
                continue;
            }
            const std::size_t end = buffer.find('\n', pos);
            if (end == std::string::npos) {
                break;
            }
            if (!line(std::string_view(buffer).substr(pos, end - pos))) {
                return false;
            }
            pos = end + 1;
        }
        buffer.erase(0, pos);
        return true;
    }

    bool ready = false;
    bool done = false;

private:
    bool line(std::string_view text) {
        const auto word = [&](std::string_view w) {
            if (text.starts_with(w) && (text.size() == w.size() || text[w.size()] == ' ')) {
                text.remove_prefix(std::min(text.size(), w.size() + 1));
                return true;
            }
            return false;
        };
        if (word("ready")) {
            ready = true;
        } else if (word("done")) {
            done = true;
        } else if (word("progress")) {
            if (control_.progress) {
                control_.progress(std::strtod(std::string(text).c_str(), nullptr));
            }
        } else if (word("message")) {
            run_.messages.emplace_back(text);
        } else if (word("vector")) {
            const std::size_t space = text.rfind(' ');
            if (space == std::string_view::npos) {
                return false;
            }
            const long long count = std::atoll(std::string(text.substr(space + 1)).c_str());
            if (count <= 0 || count > 100'000'000) {
                return false;
            }
            run_.vectors.push_back({std::string(text.substr(0, space)), {}});
            pending_ = static_cast<std::size_t>(count);
        } else {
            return false;
        }
        return true;
    }

    EngineRun& run_;
    const RunControl& control_;
    std::size_t pending_ = 0;
};

bool says(const std::vector<std::string>& messages, std::string_view what) {
    for (const auto& message : messages) {
        if (message.find(what) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string defaultHelper() {
#ifdef _WIN32
    return programFolder() + "\\osc-spice.exe";
#else
    return programFolder() + "/osc-spice";
#endif
}

const Trace* findTrace(const std::vector<Trace>& traces, std::string_view name) {
    for (const auto& trace : traces) {
        if (trace.name == name) {
            return &trace;
        }
    }
    return nullptr;
}

EngineRun runEngine(std::string_view netlist, const RunControl& control) {
    EngineRun run;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(control.limitSeconds));
    const std::string helper = control.helper.empty() ? defaultHelper() : control.helper;
    std::unique_ptr<Child> child = Child::start(helper);
    if (!child) {
        run.status = Status::EngineMissing;
        return run;
    }
    ReportParser parser(run, control);
    std::string buffer;
    bool sent = false;
    while (!parser.done) {
        if (control.cancel && control.cancel->load()) {
            child->kill();
            run.status = Status::Cancelled;
            return run;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            child->kill();
            run.status = Status::TimedOut;
            return run;
        }
        const Child::Read read = child->receive(buffer, kPollMs);
        if (read == Child::Read::End) {
            break;
        }
        if (read == Child::Read::Data && !parser.feed(buffer)) {
            child->kill();
            run.status = Status::Failed;
            run.messages.emplace_back("malformed report from " + helper);
            return run;
        }
        // The netlist goes once the engine has loaded, so that a missing
        // library shows as a helper that never got ready.
        if (parser.ready && !sent) {
            sent = child->send(netlist);
            if (!sent) {
                break;
            }
        }
    }
    const int code = child->wait();
    if (!parser.ready) {
        // The loader could not find libngspice (exit 127), or the helper is
        // not a program at all.
        run.status = Status::EngineMissing;
        return run;
    }
    if (!parser.done || code != 0) {
        run.status = Status::Failed;
    } else if (says(run.messages, "Timestep too small") || says(run.messages, "iteration limit")) {
        run.status = Status::NoConvergence;
    } else if (run.vectors.empty()) {
        run.status = Status::Failed;
    } else {
        run.status = Status::Ok;
    }
    return run;
}

} // namespace sim
