#pragma once

// The marked sections of a description page, for the page tests:
//   <!-- NAME: FIELD | FIELD ... -->  ...what the reader sees...  <!-- /NAME -->
// The markers are comments, so a reader (or Qt's view) never shows them.
// Also how a page writes a menu caption and what a reader sees of its HTML.

#include "calc/utf8.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pagetest {

#ifdef OSC_HTML_DIR
// A catalogue page ("\html\kivN.htm") as the source tree holds it, or as the
// installed copy that OSC_HTML_DIR in the environment names; empty if unread.
inline std::string readPage(std::string_view page) {
    const char* dir = std::getenv("OSC_HTML_DIR");
    const std::string folder = dir != nullptr && *dir != '\0' ? dir : OSC_HTML_DIR;
    std::ifstream in(folder + "/" + std::string(page.substr(page.rfind('\\') + 1)),
                     std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
#endif

// How a page writes a menu caption in its title, headings and link texts: the one ASCII
// ")" closing a full-width "（" (as the menu has it) becomes full-width too.
inline std::string headingOf(std::string_view caption) {
    std::string heading(caption);
    const auto close = heading.rfind(')');
    if (close != std::string::npos && heading.find("（") != std::string::npos) {
        heading.replace(close, 1, "）");
    }
    return heading;
}

struct Marked {
    std::string marker;              // the opening comment, for messages
    std::vector<std::string> fields; // split at '|', trimmed
    std::string content;             // the HTML up to the closing marker
};

inline std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

// The words of a marker field: "rc4 10 10 1" -> {"rc4", "10", "10", "1"}.
inline std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) {
        out.push_back(w);
    }
    return out;
}

inline std::string withoutComments(const std::string& html) {
    static const std::regex comment("<!--[\\s\\S]*?-->");
    return std::regex_replace(html, comment, " ");
}

// What a reader sees of a piece of HTML: tags and comments dropped, entities
// decoded, word joiners (which only keep "1 kΩ～1 MΩ" on one line) dropped,
// white space collapsed to single spaces.
inline std::string visibleText(const std::string& html) {
    static const std::regex tag("<[^>]*>");
    static const std::map<std::string, char32_t> named{
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"nbsp", ' '}};
    const std::string noTags = std::regex_replace(withoutComments(html), tag, " ");
    std::string decoded;
    for (std::size_t i = 0; i < noTags.size(); ++i) {
        const auto semi = noTags[i] == '&' ? noTags.find(';', i) : std::string::npos;
        if (semi != std::string::npos && semi - i <= 10) {
            const std::string name = noTags.substr(i + 1, semi - i - 1);
            std::optional<char32_t> cp;
            if (const auto it = named.find(name); it != named.end()) {
                cp = it->second;
            } else if (name.size() > 1 && name[0] == '#') {
                const bool hex = name[1] == 'x' || name[1] == 'X';
                cp = static_cast<char32_t>(
                    std::stoul(name.substr(hex ? 2 : 1), nullptr, hex ? 16 : 10));
            }
            if (cp) {
                calc::appendUtf8(decoded, *cp);
                i = semi;
                continue;
            }
        }
        decoded += noTags[i];
    }
    static const std::regex joiner("\u2060"), space("[ \t\r\n]+");
    return trim(std::regex_replace(std::regex_replace(decoded, joiner, ""), space, " "));
}

// Every section marked `name`, in page order. Throws std::runtime_error
// naming the marker when one is not closed before the next one opens.
inline std::vector<Marked> markedSections(const std::string& html, std::string_view name) {
    const std::string open = "<!-- " + std::string(name) + ":";
    const std::string close = "<!-- /" + std::string(name) + " -->";
    std::vector<Marked> found;
    for (auto pos = html.find(open); pos != std::string::npos; pos = html.find(open, pos + 1)) {
        const auto markerEnd = html.find("-->", pos);
        if (markerEnd == std::string::npos) {
            throw std::runtime_error("unterminated " + std::string(name) + " marker");
        }
        Marked m;
        m.marker = html.substr(pos, markerEnd + 3 - pos);
        std::stringstream fields(html.substr(pos + open.size(), markerEnd - pos - open.size()));
        for (std::string field; std::getline(fields, field, '|');) {
            m.fields.push_back(trim(field));
        }
        const auto end = html.find(close, markerEnd);
        const auto next = html.find(open, markerEnd);
        if (end == std::string::npos || (next != std::string::npos && next < end)) {
            throw std::runtime_error(std::string(name) +
                                     " without its closing marker: " + m.marker);
        }
        m.content = html.substr(markerEnd + 3, end - markerEnd - 3);
        found.push_back(std::move(m));
    }
    return found;
}

// A figure of the simulated circuit, marked as
//   <!-- simulated: ID INPUT... [vcc=V] | F | DEV -->  (F as "2.035 Hz", DEV as "-2.68%")
//   <!-- simulated: ID INPUT... [vcc=V] | 不起振 -->   (the model does not start)
// followed by what the reader sees, up to <!-- /simulated -->.
struct Simulated {
    std::string id;
    std::vector<std::string> inputs;
    std::string supply;    // V; empty for the circuit's own
    std::string frequency; // empty when it does not start
    std::string deviation; // from the formula's f
    std::string content;
    std::string marker;
};

inline constexpr std::string_view kDoesNotStart = "不起振";

inline std::vector<Simulated> simulatedFigures(const std::string& html) {
    std::vector<Simulated> found;
    for (Marked& m : markedSections(html, "simulated")) {
        Simulated s;
        s.marker = m.marker;
        std::stringstream head(m.fields.at(0));
        head >> s.id;
        for (std::string token; head >> token;) {
            if (token.rfind("vcc=", 0) == 0) {
                s.supply = token.substr(4);
            } else {
                s.inputs.push_back(token);
            }
        }
        if (m.fields.size() == 3) {
            s.frequency = m.fields[1];
            s.deviation = m.fields[2];
        } else if (m.fields.size() != 2 || m.fields[1] != kDoesNotStart) {
            throw std::runtime_error("malformed simulated marker: " + s.marker);
        }
        s.content = std::move(m.content);
        found.push_back(std::move(s));
    }
    return found;
}

} // namespace pagetest
