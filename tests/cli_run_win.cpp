// Windows: starts osccalc.exe, found beside this test program, with
// CreateProcessW and talks to it through pipes. The arguments go on a UTF-16
// command line quoted as the C runtime and CommandLineToArgvW parse it.
#include "tests/cli_run.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <optional>
#include <thread>

namespace clitest {

namespace {

// UTF-8 as UTF-16; a lone surrogate may stand in its three-byte form, which
// is how a test writes one. nullopt for any other malformed byte.
std::optional<std::wstring> toWide(const std::string& text) {
    std::wstring wide;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t n = b < 0x80                ? 1
                              : b >= 0xC2 && b < 0xE0 ? 2
                              : b >= 0xE0 && b < 0xF0 ? 3
                              : b >= 0xF0 && b < 0xF5 ? 4
                                                      : 0;
        if (n == 0 || i + n > text.size()) {
            return std::nullopt;
        }
        char32_t c = n == 1 ? b : n == 2 ? b & 0x1F : n == 3 ? b & 0x0F : b & 0x07;
        for (std::size_t k = 1; k < n; ++k) {
            const auto cont = static_cast<unsigned char>(text[i + k]);
            if ((cont & 0xC0) != 0x80) {
                return std::nullopt;
            }
            c = c << 6 | (cont & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < smallest[n] || c > 0x10FFFF) {
            return std::nullopt;
        }
        if (c >= 0x10000) {
            wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(c);
        }
        i += n;
    }
    return wide;
}

std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return arg;
    }
    std::wstring q = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes double only before a quote, which gets one more.
        q.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        q += c;
        backslashes = 0;
    }
    q.append(backslashes * 2, L'\\');
    return q + L'"';
}

std::wstring osccalcPath() {
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return self.substr(0, self.find_last_of(L"\\/") + 1) + L"osccalc.exe";
}

void readAll(HANDLE pipe, std::string& sink) {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        sink.append(buffer, n);
    }
}

} // namespace

Outcome runCli(const std::vector<std::string>& args, const std::string& input) {
    const std::wstring exe = osccalcPath();
    std::wstring commandLine = quoted(exe);
    for (const auto& arg : args) {
        const auto wide = toWide(arg);
        if (!wide) {
            ADD_FAILURE() << "a Windows command line cannot carry this argument";
            return {};
        }
        commandLine += L' ' + quoted(*wide);
    }

    // The child's ends are inherited; ours are not.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0) ||
        !CreatePipe(&outRead, &outWrite, &inherit, 0) ||
        !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        ADD_FAILURE() << "CreatePipe failed";
        return {};
    }
    for (HANDLE ours : {inWrite, outRead, errRead}) {
        SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    for (HANDLE theirs : {inRead, outWrite, errWrite}) {
        CloseHandle(theirs);
    }
    if (!started) {
        ADD_FAILURE() << "cannot start osccalc.exe, error " << GetLastError();
        for (HANDLE ours : {inWrite, outRead, errRead}) {
            CloseHandle(ours);
        }
        return {};
    }

    Outcome run;
    // osccalc may exit before reading all input; the writer then just stops.
    std::thread writer([&] {
        std::size_t written = 0;
        DWORD n = 0;
        while (written < input.size() &&
               WriteFile(inWrite, input.data() + written,
                         static_cast<DWORD>(input.size() - written), &n, nullptr)) {
            written += n;
        }
        CloseHandle(inWrite);
    });
    std::thread errReader([&] { readAll(errRead, run.err); });
    readAll(outRead, run.out);
    errReader.join();
    writer.join();
    CloseHandle(outRead);
    CloseHandle(errRead);

    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "osccalc hangs";
        TerminateProcess(process.hProcess, 255);
    } else {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        run.status = static_cast<int>(code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

bool commandLineCarries(const std::vector<std::string>& args) {
    for (const auto& arg : args) {
        if (!toWide(arg)) {
            return false;
        }
    }
    return true;
}

} // namespace clitest
