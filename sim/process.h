#pragma once

#include <memory>
#include <string>
#include <string_view>

// A helper program run as a child process, talking over one two-way channel
// that is its standard input and output (its standard error is dropped). The
// platform's way of starting and ending it lives behind this interface.

namespace sim {

class Child {
public:
    enum class Read { Data, Timeout, End };

    virtual ~Child() = default;

    // Starts `program` with no arguments; nullptr when it cannot be started.
    static std::unique_ptr<Child> start(const std::string& program);

    // Writes all of `data`, then ends the child's input. False when the child
    // is gone (never a signal).
    virtual bool send(std::string_view data) = 0;
    // Appends what arrives within `timeoutMs` to `into`.
    virtual Read receive(std::string& into, int timeoutMs) = 0;
    // Ends the child at once, if it still runs, and waits for it.
    virtual void kill() = 0;
    // Waits for the child to end; its exit code, or -1 if it did not exit.
    virtual int wait() = 0;
};

} // namespace sim

namespace sim {

// The folder of the running program (resolved through links), "" if unknown:
// the helper is installed beside the programs that use it.
std::string programFolder();

} // namespace sim
