#include "cli/osccalc.h"

#include "calc/calculate.h"
#include "calc/catalogue.h"
#include "calc/inputlimit.h"
#include "cli/console.h"
#include "cli/design.h"
#include "cli/json.h"
#include "cli/simulate.h"
#include "config.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>
#include <limits>
#include <optional>
#include <ostream>
#include <string_view>

namespace cli {

namespace {

constexpr std::size_t kMaxValues = 4;

// The catalogue also holds the window's start-up state and the help page;
// neither is a circuit one can calculate.
bool isCircuit(const calc::CatalogueEntry& entry) {
    return entry.kind == calc::EntryKind::Circuit;
}

const calc::CatalogueEntry* circuitForId(std::string_view id) {
    const calc::CatalogueEntry* entry = calc::entryForId(id);
    return entry && isCircuit(*entry) ? entry : nullptr;
}

std::string circuitIds() {
    std::string ids;
    for (const auto& entry : calc::kCatalogue) {
        if (isCircuit(entry)) {
            ids += ids.empty() ? "" : " ";
            ids += entry.id;
        }
    }
    return ids;
}

bool chinese = false; // the user's language, decided at the start of run()

void printUsage(std::ostream& os) {
    // The "  or:" lines are the usual form, which help2man turns into the
    // manual page's synopsis.
    os << tr("Usage: osccalc [--json] CIRCUIT [V1 [V2 [V3 [V4]]]]\n"
             "  or:  osccalc [--json] -\n"
             "  or:  osccalc design CIRCUIT FREQ [options]   (see osccalc design --help)\n"
             "  or:  osccalc simulate CIRCUIT V1 [V2 [V3 [V4]]] [options]\n"
             "                                    (see osccalc simulate --help)\n"
             "  or:  osccalc --list | --help | --version\n"
             "CIRCUIT is one of: ",
             "用法：osccalc [--json] 电路 [V1 [V2 [V3 [V4]]]]\n"
             "  或：osccalc [--json] -\n"
             "  或：osccalc design 电路 目标频率 [选项]   （见 osccalc design --help）\n"
             "  或：osccalc simulate 电路 V1 [V2 [V3 [V4]]] [选项]\n"
             "                                    （见 osccalc simulate --help）\n"
             "  或：osccalc --list | --help | --version\n"
             "电路是下列之一：")
       << circuitIds() << "\n";
}

void printHelp(std::ostream& os) {
    os << tr("osccalc: period and frequency of ten oscillator circuits, as the window of\n"
             "振荡电路计算器 computes them.\n\n",
             "osccalc：按“振荡电路计算器”窗口的算法，计算十种振荡电路的周期和频率。\n\n");
    printUsage(os);
    os << tr(R"(
  CIRCUIT V1..V4  The values go into inputs 1 to 4 in order (missing ones are
                  empty). Prints the result lines as the window shows them, one
                  a line; a quartz circuit prints 不用计算！. Bad input prints
                  输入的数据有错误！ on standard error.
  -               Reads one calculation per line from standard input: the
                  circuit and its values separated by spaces or tabs. Answers
                  each on one line: the result lines separated by tabs, or the
                  message, or "error: ..." for an unknown circuit, more than
                  four values or a line longer than 65536 bytes. Blank lines
                  are skipped, a line may end in CR LF, and a UTF-8 byte-order
                  mark at the start of a line is ignored.
  --json          Answers with one JSON object (one per line with -), on
                  standard output also for bad input:
                    {"circuit":"rc1","inputs":["1","1"],"lines":["T=...","f=..."]}
                  where "lines" is replaced by "message" (不用计算！), "error"
                  (输入的数据有错误！) or, with -, "usage" (the reason).
  --list          Lists the circuits, one a line: id, menu caption and the
                  inputs with their units, separated by tabs.
  --help, -h      Shows this text.
  --version       Shows the version.
  --              Ends the options.

Options go before the circuit (or -). After it everything is a value, also
what looks like an option: "osccalc rc1 1 --help" calculates with the values 1
and --help (bad input), and "osccalc - --json" is a usage error.

Values are checked as in the window: a value the circuit uses must be digits
with at most one point, and their product must not be zero (lc4's C may be 0).
No value may be longer than the window's boxes (10 characters), whatever the
circuit, quartz included. Input echoed in a message is quoted as in JSON,
with control characters and invisible format characters (such as U+FEFF and
U+202E) escaped.

Help and usage errors are in Chinese where the user's language is Chinese
(LC_ALL, LC_MESSAGES or LANG starting with zh; on Windows the user's
interface language); results, JSON and "error:" lines are the same in every
language.

Exit status:
  0  results or 不用计算！ (with -: every line)
  1  bad input (with -: some line had bad input)
  2  usage error (with -: some line had an unknown circuit, too many values or
     was too long)
  3  reading standard input or writing the output failed; the reason is on
     standard error. Lines answered before the failure stay answered.
  4  simulate only: the simulator (ngspice) is missing or failed.
)",
             R"(
  电路 V1..V4     数值依次填入输入框 1 到 4（少给的为空）。按窗口的样子输出结果
                  行，每行一个；石英晶体电路输出 不用计算！。输入有错时在标准错误
                  输出 输入的数据有错误！。
  -               从标准输入逐行读取计算：电路和数值之间用空格或制表符分隔。每
                  个计算答一行：结果行之间用制表符分隔，或是提示，或是
                  "error: ..."（电路未知、数值多于四个、一行超过 65536 字节）。
                  空行跳过，行尾可以是 CR LF，行首的 UTF-8 字节顺序标记忽略。
  --json          每个计算答一个 JSON 对象（用 - 时每行一个），输入有错时也写在
                  标准输出：
                    {"circuit":"rc1","inputs":["1","1"],"lines":["T=...","f=..."]}
                  其中 "lines" 可换成 "message"（不用计算！）、"error"
                  （输入的数据有错误！），用 - 时还可以是 "usage"（原因）。
  --list          列出电路，每行一个：代号、菜单上的名称、各输入及其单位，用制
                  表符分隔。
  --help, -h      显示本说明。
  --version       显示版本。
  --              选项到此为止。

选项写在电路（或 -）之前。电路之后的一切都是数值，像选项的也一样：
"osccalc rc1 1 --help" 用 1 和 --help 两个数值计算（输入有错），
"osccalc - --json" 是用法错误。

数值的检查与窗口相同：电路用到的数值只能由数字和至多一个小数点组成，它们的
乘积不能为 0（lc4 的 C 可以为 0）。不论哪个电路（石英晶体电路也一样），数值都
不能长于窗口的输入框（10 个字符）。提示中引用的输入像 JSON 那样加引号，控制字
符和不可见的格式字符（如 U+FEFF、U+202E）都转义。

用户的语言是中文时（LC_ALL、LC_MESSAGES 或 LANG 以 zh 开头；Windows 上看用户
界面的语言），说明和用法错误用中文；结果、JSON 和 "error:" 行在任何语言下都
一样。

退出状态：
  0  有结果或 不用计算！（用 - 时：每一行都是）
  1  输入有错（用 - 时：有一行输入有错）
  2  用法错误（用 - 时：有一行电路未知、数值太多或太长）
  3  读标准输入或写输出失败，原因在标准错误上。失败之前已答的行仍然有效。
  4  仅 simulate：仿真器（ngspice）不存在或仿真失败。
)");
}

} // namespace

bool speaksChinese() {
    return chinese;
}

std::string_view tr(std::string_view english, std::string_view chinese_) {
    return chinese ? chinese_ : english;
}

namespace {

int usageError(std::ostream& err, std::string_view reason) {
    err << "osccalc: " << reason << "\n";
    printUsage(err);
    return kExitUsage;
}

void printList(std::ostream& out) {
    for (const auto& entry : calc::kCatalogue) {
        if (!isCircuit(entry)) {
            continue;
        }
        out << entry.id << '\t' << entry.menuCaption;
        for (const auto caption : entry.captions) {
            if (caption != calc::kNone) {
                out << '\t' << caption;
            }
        }
        out << '\n';
    }
}

// What one calculation came to.
struct Outcome {
    enum class Kind { Lines, Message, BadInput, Usage };
    Kind kind;
    std::vector<std::string> lines; // Lines: the non-empty result lines
    std::string text;               // the message, or the reason of a usage error

    int exitCode() const {
        switch (kind) {
        case Kind::BadInput:
            return kExitBadInput;
        case Kind::Usage:
            return kExitUsage;
        default:
            return kExitOk;
        }
    }
};

// `forPeople`: a usage error's reason goes to a person (standard error, in
// their language) rather than into the answers of "-" (always English).
Outcome evaluate(std::string_view id, const std::vector<std::string>& values, bool forPeople) {
    const auto say = [&](std::string_view english, std::string_view chinese) {
        return std::string(forPeople ? tr(english, chinese) : english);
    };
    const calc::CatalogueEntry* entry = circuitForId(id);
    if (!entry) {
        return {Outcome::Kind::Usage, {}, say("unknown circuit ", "未知的电路 ") + jsonString(id)};
    }
    if (values.size() > kMaxValues) {
        return {
            Outcome::Kind::Usage, {}, say("too many values (at most 4)", "数值太多（至多 4 个）")};
    }
    // The window's boxes cannot hold a longer text, whatever the circuit, so
    // such a value is bad input even where the calculation would ignore it.
    calc::Inputs inputs;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!calc::fitsBox(values[i])) {
            return {Outcome::Kind::BadInput, {}, calc::kInputError};
        }
        inputs[i] = values[i];
    }
    const calc::Answer answer = calc::calculate(entry->mode, inputs);
    if (answer.message) {
        const bool bad = *answer.message == calc::kInputError;
        return {bad ? Outcome::Kind::BadInput : Outcome::Kind::Message, {}, *answer.message};
    }
    Outcome outcome{Outcome::Kind::Lines, {}, {}};
    for (const auto& line : answer.lines) {
        // Empty and unchanged lines are not shown by the window after this answer.
        if (line && !line->empty()) {
            outcome.lines.push_back(*line);
        }
    }
    return outcome;
}

std::string toJson(std::string_view id, const std::vector<std::string>& values,
                   const Outcome& outcome) {
    std::string json = "{\"circuit\":" + jsonString(id) + ",\"inputs\":" + jsonArray(values) + ",";
    switch (outcome.kind) {
    case Outcome::Kind::Lines:
        json += "\"lines\":" + jsonArray(outcome.lines);
        break;
    case Outcome::Kind::Message:
        json += "\"message\":" + jsonString(outcome.text);
        break;
    case Outcome::Kind::BadInput:
        json += "\"error\":" + jsonString(outcome.text);
        break;
    case Outcome::Kind::Usage:
        json += "\"usage\":" + jsonString(outcome.text);
        break;
    }
    return json + "}";
}

// Reports a failed read or write. `error` is errno right after the failure;
// a stream that failed without setting it counts as an I/O error.
int ioError(std::ostream& err, std::string_view what, int error) {
    err << "osccalc: " << what << ": " << std::strerror(error != 0 ? error : EIO) << '\n'
        << std::flush;
    return kExitIo;
}

// Flushes the answer written so far; false (after reporting why) if writing it
// failed, now or earlier.
bool flushOutput(std::ostream& out, std::ostream& err) {
    if (out) {
        errno = 0;
        out.flush();
    }
    if (out) {
        return true;
    }
    ioError(err, "cannot write standard output", errno);
    return false;
}

int calculateArguments(const std::vector<std::string>& positional, bool json, std::ostream& out,
                       std::ostream& err) {
    const std::string& id = positional.front();
    const std::vector<std::string> values(positional.begin() + 1, positional.end());
    const Outcome outcome = evaluate(id, values, true);
    if (outcome.kind == Outcome::Kind::Usage) {
        return usageError(err, outcome.text);
    }
    if (json) {
        out << toJson(id, values, outcome) << '\n';
    } else if (outcome.kind == Outcome::Kind::Lines) {
        for (const auto& line : outcome.lines) {
            out << line << '\n';
        }
    } else {
        (outcome.kind == Outcome::Kind::BadInput ? err : out) << outcome.text << '\n';
    }
    return outcome.exitCode();
}

// The circuit and at most kMaxValues + 1 values: one more is already too many,
// and splitting on would only cost memory.
std::vector<std::string> splitFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t pos = 0;
    while (fields.size() < kMaxValues + 2) {
        pos = line.find_first_not_of(" \t", pos);
        if (pos == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(line.find_first_of(" \t", pos), line.size());
        fields.emplace_back(line.substr(pos, end - pos));
        pos = end;
    }
    return fields;
}

// Reads standard input line by line into a buffer of fixed size, so that no
// input, however long its lines, is held whole.
class LineReader {
public:
    enum class Result { Line, TooLong, End };

    explicit LineReader(std::istream& in) : in_(in), buffer_(kMaxLineLength + 1) {}

    // Reads the next line into line() (without its end of line; a too long one
    // holds its first kMaxLineLength bytes and the rest is skipped). End at the
    // end of the input or when reading failed: see readError().
    Result next() {
        errno = 0;
        in_.getline(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        const auto count = static_cast<std::size_t>(in_.gcount());
        if (in_.bad()) {
            error_ = errno != 0 ? errno : EIO;
            return Result::End;
        }
        Result result = Result::Line;
        if (in_.fail()) {
            if (count == 0) {
                return Result::End;
            }
            // The buffer is full and the line goes on.
            result = Result::TooLong;
            in_.clear();
            in_.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            if (in_.bad()) {
                error_ = errno != 0 ? errno : EIO;
            }
        }
        // getline counts the newline it took, not the end of the input.
        const bool sawNewline = result == Result::Line && !in_.eof();
        line_ = std::string_view(buffer_.data(), sawNewline ? count - 1 : count);
        // Editors on Windows often start a UTF-8 file with a byte-order mark,
        // and files joined together carry theirs at the start of a line.
        if (line_.starts_with("\xEF\xBB\xBF")) {
            line_.remove_prefix(3);
        }
        if (result == Result::Line && line_.ends_with('\r')) {
            line_.remove_suffix(1);
        }
        return result;
    }

    std::string_view line() const { return line_; }
    int readError() const { return error_; }

private:
    std::istream& in_;
    std::vector<char> buffer_;
    std::string_view line_;
    int error_ = 0;
};

int calculateLines(std::istream& in, bool json, std::ostream& out, std::ostream& err) {
    int code = kExitOk;
    LineReader reader(in);
    for (LineReader::Result read; (read = reader.next()) != LineReader::Result::End;) {
        std::vector<std::string> fields = splitFields(reader.line());
        if (fields.empty() && read == LineReader::Result::Line) {
            continue;
        }
        const std::string id = fields.empty() ? std::string() : fields.front();
        if (!fields.empty()) {
            fields.erase(fields.begin());
        }
        const Outcome outcome =
            read == LineReader::Result::TooLong
                ? Outcome{Outcome::Kind::Usage,
                          {},
                          "line longer than " + std::to_string(kMaxLineLength) + " bytes"}
                : evaluate(id, fields, false);
        if (json) {
            out << toJson(id, fields, outcome);
        } else if (outcome.kind == Outcome::Kind::Lines) {
            for (std::size_t i = 0; i < outcome.lines.size(); ++i) {
                out << (i ? "\t" : "") << outcome.lines[i];
            }
        } else {
            out << (outcome.kind == Outcome::Kind::Usage ? "error: " : "") << outcome.text;
        }
        // Flushed line by line, so that a script can talk to osccalc through a
        // pipe; once the output fails, the rest of the input is left unread.
        out << '\n';
        if (!flushOutput(out, err)) {
            return kExitIo;
        }
        code = std::max(code, outcome.exitCode());
        if (reader.readError() != 0) {
            break;
        }
    }
    if (reader.readError() != 0) {
        return ioError(err, "cannot read standard input", reader.readError());
    }
    return code;
}

// The arguments of a command (design, simulate) when the first argument that
// is not an option is its name: the options before it (such as --json) go to
// it too.
std::optional<std::vector<std::string>> commandArguments(const std::vector<std::string>& args,
                                                         std::string_view name) {
    const auto isOption = [](const std::string& arg) {
        return arg.starts_with("-") && arg != "-" && arg != "--";
    };
    const auto command = std::find_if_not(args.begin(), args.end(), isOption);
    if (command == args.end() || *command != name) {
        return std::nullopt;
    }
    std::vector<std::string> design(args.begin(), command);
    design.insert(design.end(), command + 1, args.end());
    return design;
}

int dispatch(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
             std::ostream& err) {
    if (const auto design = commandArguments(args, "design")) {
        return runDesign(*design, out, err);
    }
    if (const auto simulate = commandArguments(args, "simulate")) {
        return runSimulate(*simulate, out, err);
    }
    bool help = false;
    bool version = false;
    bool list = false;
    bool json = false;
    bool optionsEnded = false;
    std::vector<std::string> positional;
    for (const std::string& arg : args) {
        // After the circuit everything is a value, "-1" and "--help" alike: a
        // value never turns into an option by looking like one.
        if (optionsEnded || !positional.empty() || arg == "-" || !arg.starts_with("-")) {
            positional.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (arg == "--list") {
            list = true;
        } else if (arg == "--json") {
            json = true;
        } else {
            return usageError(err,
                              std::string(tr("unknown option ", "未知的选项 ")) + jsonString(arg));
        }
    }

    if (help) {
        printHelp(out);
        return kExitOk;
    }
    if (version) {
        out << "osccalc " OSC_VERSION "\n";
        return kExitOk;
    }
    if (list) {
        if (json || !positional.empty()) {
            return usageError(err, tr("--list takes no other arguments", "--list 不带别的参数"));
        }
        printList(out);
        return kExitOk;
    }
    if (positional.empty()) {
        return usageError(err, tr("no circuit given", "没有给出电路"));
    }
    if (positional.front() == "-") {
        if (positional.size() > 1) {
            return usageError(err, tr("- takes no values (options go before it)",
                                      "- 后面不带数值（选项写在它前面）"));
        }
        return calculateLines(in, json, out, err);
    }
    return calculateArguments(positional, json, out, err);
}

} // namespace

int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err) {
    chinese = userReadsChinese();
    int code = dispatch(args, in, out, err);
    if (code != kExitIo && !flushOutput(out, err)) {
        code = kExitIo;
    }
    // Nothing can report a failing standard error, but the exit code still says so.
    err.flush();
    return err ? code : kExitIo;
}

} // namespace cli
