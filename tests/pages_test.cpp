// The description pages under html/ as files: one per catalogue entry, in
// UTF-8, titled with the menu caption, every local reference resolving, and
// every worked example agreeing with the calculation core. Plain text
// scanning only, so that this runs without Qt (the core-only build and the
// package test run it); the markers it reads are comments, which a rich-text
// reader drops. pages_view_tests checks the pages as Qt shows them.

#include "calc/calculate.h"
#include "calc/catalogue.h"
#include "calc/inputlimit.h"
#include "tests/pagemarkers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The source tree's pages; the package test points OSC_HTML_DIR at an
// installed copy to check that everything the pages use was installed.
const fs::path kHtmlDir = [] {
    const char* dir = std::getenv("OSC_HTML_DIR");
    return fs::path(dir != nullptr && *dir != '\0' ? dir : OSC_HTML_DIR);
}();
constexpr std::string_view kPagePrefix = "\\html\\";
// The window's view is 329 pixels wide; a picture must fit inside its margins.
constexpr int kMaxImageWidth = 300;

std::optional<std::string> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// "\html\kiv4.htm" -> "kiv4.htm"
std::string fileNameOf(std::string_view page) {
    return std::string(page.substr(kPagePrefix.size()));
}

std::vector<std::string> catalogueFiles() {
    std::vector<std::string> files;
    for (const auto& entry : calc::kCatalogue) {
        const std::string name = fileNameOf(entry.page);
        if (std::find(files.begin(), files.end(), name) == files.end()) {
            files.push_back(name);
        }
    }
    return files;
}

// The entry a page is titled after: the menu item that shows it.
const calc::CatalogueEntry& menuEntryFor(const std::string& file) {
    for (const auto& entry : calc::kCatalogue) {
        if (entry.kind != calc::EntryKind::Startup && fileNameOf(entry.page) == file) {
            return entry;
        }
    }
    throw std::logic_error("no menu item shows " + file);
}

// Mode 7 (the help page and the crystal circuits) only describes.
bool calculates(const std::string& file) {
    return menuEntryFor(file).mode != 7;
}

std::string toLower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

using pagetest::headingOf;
using pagetest::visibleText;
using pagetest::withoutComments;
using pagetest::words;

using Match = bool (*)(const std::string& text, const std::string& needle);

// True if `needle` occurs in `text` as a whole item: not continued by another
// digit, letter or point (so "R1 (kΩ) 1" does not match "R1 (kΩ) 10").
bool containsItem(const std::string& text, const std::string& needle) {
    for (auto pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1)) {
        const auto end = pos + needle.size();
        if (end == text.size()) {
            return true;
        }
        const auto next = static_cast<unsigned char>(text[end]);
        if (!std::isalnum(next) && next != '.' && next != ',') {
            return true;
        }
    }
    return false;
}

// True if `number` occurs in `text` on its own, not as part of a longer number.
bool containsNumber(const std::string& text, const std::string& number) {
    auto partOfNumber = [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) || c == '.';
    };
    for (auto pos = text.find(number); pos != std::string::npos; pos = text.find(number, pos + 1)) {
        const auto end = pos + number.size();
        if ((pos == 0 || !partOfNumber(text[pos - 1])) &&
            (end == text.size() || !partOfNumber(text[end]))) {
            return true;
        }
    }
    return false;
}

// Passes when `text` shows every item, else names the missing ones.
::testing::AssertionResult shows(const std::string& text, const std::vector<std::string>& items,
                                 Match contains = containsItem) {
    std::string missing;
    for (const auto& item : items) {
        if (!contains(text, item)) {
            missing += " \"" + item + "\"";
        }
    }
    if (missing.empty()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "missing" << missing;
}

struct Reference {
    std::string attribute; // href or src
    std::string value;
};

std::vector<Reference> references(const std::string& html) {
    static const std::regex attr("\\b(href|src)\\s*=\\s*\"([^\"]*)\"", std::regex::icase);
    std::vector<Reference> refs;
    const std::string body = withoutComments(html);
    for (std::sregex_iterator it(body.begin(), body.end(), attr), end; it != end; ++it) {
        refs.push_back({toLower((*it)[1]), (*it)[2]});
    }
    return refs;
}

std::vector<std::string> tags(const std::string& html, const std::string& name) {
    const std::regex tag("<" + name + "\\b[^>]*>", std::regex::icase);
    std::vector<std::string> found;
    const std::string body = withoutComments(html);
    for (std::sregex_iterator it(body.begin(), body.end(), tag), end; it != end; ++it) {
        found.push_back(it->str());
    }
    return found;
}

std::optional<std::string> attribute(const std::string& tag, const std::string& name) {
    const std::regex attr("\\b" + name + "\\s*=\\s*\"([^\"]*)\"", std::regex::icase);
    std::smatch m;
    if (std::regex_search(tag, m, attr)) {
        return m[1].str();
    }
    return std::nullopt;
}

std::optional<std::string> elementText(const std::string& html, const std::string& name) {
    const std::regex element("<" + name + "\\b[^>]*>([\\s\\S]*?)</" + name + ">",
                             std::regex::icase);
    std::smatch m;
    if (std::regex_search(html, m, element)) {
        return visibleText(m[1].str());
    }
    return std::nullopt;
}

// A worked example, marked in the page as
//   <!-- example: ID INPUT... | T1 | T2 | T | f -->  or
//   <!-- example: ID INPUT... | message=TEXT -->
// followed by what the reader sees, up to <!-- /example -->.
struct Example {
    std::string id;
    std::vector<std::string> inputs;
    std::optional<std::array<std::string, 4>> lines;
    std::optional<std::string> message;
    std::string visible;
    std::string marker;
};

std::vector<Example> examples(const std::string& html) {
    std::vector<Example> found;
    for (const pagetest::Marked& m : pagetest::markedSections(html, "example")) {
        Example ex;
        ex.marker = m.marker;
        const std::vector<std::string>& parts = m.fields;
        const auto head = words(parts.at(0));
        ex.id = head.at(0);
        ex.inputs.assign(head.begin() + 1, head.end());
        if (parts.size() == 2 && parts[1].rfind("message=", 0) == 0) {
            ex.message = parts[1].substr(std::string_view("message=").size());
        } else if (parts.size() == 5) {
            ex.lines.emplace();
            std::copy(parts.begin() + 1, parts.end(), ex.lines->begin());
        } else {
            throw std::runtime_error("malformed example marker: " + ex.marker);
        }
        ex.visible = visibleText(m.content);
        found.push_back(ex);
    }
    return found;
}

// How far component tolerance moves the frequency, marked as
//   <!-- tolerance: ID NOMINAL... | TOL%... | F_LINE | +DEV% | F_LINE | -DEV% -->
// The first pair is every value at its lower limit (highest frequency), the
// second every value at its upper limit; the text up to <!-- /tolerance -->
// shows the corner values, both f lines and both deviations.
struct Tolerance {
    std::string id;
    std::vector<std::string> nominal;
    std::vector<int> percent;
    std::string highLine, highDeviation, lowLine, lowDeviation;
    std::string visible;
    std::string marker;
};

std::vector<Tolerance> tolerances(const std::string& html) {
    std::vector<Tolerance> found;
    for (const pagetest::Marked& m : pagetest::markedSections(html, "tolerance")) {
        Tolerance tol;
        tol.marker = m.marker;
        const std::vector<std::string>& parts = m.fields;
        if (parts.size() != 6) {
            throw std::runtime_error("malformed tolerance marker: " + tol.marker);
        }
        const auto head = words(parts[0]);
        tol.id = head.at(0);
        tol.nominal.assign(head.begin() + 1, head.end());
        std::stringstream percents(parts[1]);
        for (int p = 0; percents >> p;) {
            tol.percent.push_back(p);
        }
        if (!percents.eof() || tol.percent.size() != tol.nominal.size()) {
            throw std::runtime_error("one tolerance per value: " + tol.marker);
        }
        tol.highLine = parts[2];
        tol.highDeviation = parts[3];
        tol.lowLine = parts[4];
        tol.lowDeviation = parts[5];
        tol.visible = visibleText(m.content);
        found.push_back(tol);
    }
    return found;
}

// A value moved by a whole percentage, as one would type it: plain decimal,
// no trailing zeros ("16" -5 -> "15.2", "0.0001" -10 -> "0.00009").
std::string scaled(const std::string& value, int percent) {
    const double x = std::stod(value) * (100 + percent) / 100.0;
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                      std::chars_format::fixed, 10);
    std::string text(buffer.data(), result.ptr);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

// The number in a result line such as "f=1.2e-05kHz".
double lineValue(const std::string& line) {
    const auto start = line.find('=');
    double value = std::nan("");
    if (start != std::string::npos) {
        std::from_chars(line.data() + start + 1, line.data() + line.size(), value);
    }
    return value;
}

// "+16.96%" for a frequency 16.96 % above the nominal one.
std::string deviation(double f, double nominal) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%+.2f%%", (f / nominal - 1.0) * 100.0);
    return buffer.data();
}

// The reader's form of a deviation: a true minus sign (U+2212).
std::string shownDeviation(const std::string& dev) {
    return dev.front() == '-' ? "−" + dev.substr(1) : dev;
}

// The captions of the boxes an entry uses, in box order.
std::vector<std::string> usedCaptions(const calc::CatalogueEntry& entry) {
    std::vector<std::string> used;
    if (entry.setsCaptions()) {
        for (const auto caption : entry.captions) {
            if (caption != calc::kNone) {
                used.emplace_back(caption);
            }
        }
    }
    return used;
}

// What "计算" gives for `values` typed, in order, into the boxes the entry uses.
calc::Answer calculateWith(const calc::CatalogueEntry& entry,
                           const std::vector<std::string>& values) {
    calc::Inputs inputs;
    std::size_t next = 0;
    for (std::size_t box = 0; box < 4; ++box) {
        if (entry.setsCaptions() && entry.captions[box] != calc::kNone) {
            inputs[box] = values.at(next++);
        }
    }
    return calc::calculate(entry.mode, inputs);
}

TEST(PageFiles, EveryCatalogueEntryNamesAnExistingPage) {
    ASSERT_TRUE(fs::is_directory(kHtmlDir)) << kHtmlDir;
    for (const auto& entry : calc::kCatalogue) {
        ASSERT_EQ(entry.page.substr(0, kPagePrefix.size()), kPagePrefix) << entry.page;
        const fs::path file = kHtmlDir / fileNameOf(entry.page);
        EXPECT_TRUE(fs::is_regular_file(file)) << entry.id << ": " << file;
        EXPECT_GT(fs::file_size(file), 0u) << file;
    }
}

TEST(PageFiles, CataloguePagesAreKiv1ToKiv10AndHelp) {
    std::set<std::string> expected{"help.htm"};
    for (int i = 1; i <= 10; ++i) {
        expected.insert("kiv" + std::to_string(i) + ".htm");
    }
    const auto files = catalogueFiles();
    EXPECT_EQ(std::set<std::string>(files.begin(), files.end()), expected);
}

class Page : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        const auto text = readFile(kHtmlDir / GetParam());
        ASSERT_TRUE(text) << GetParam();
        html = *text;
    }
    // The entry a marker names: one this page shows (the help page may name any).
    const calc::CatalogueEntry* entryOf(const std::string& id) const {
        const calc::CatalogueEntry* entry = calc::entryForId(id);
        EXPECT_NE(entry, nullptr) << "unknown id " << id;
        if (entry != nullptr && GetParam() != "help.htm") {
            EXPECT_EQ(fileNameOf(entry->page), GetParam()) << "marker of another page";
        }
        return entry;
    }
    std::string html;
};

TEST_P(Page, IsUtf8AndSaysSo) {
    // calc's own check, the one the boxes use: malformed, overlong,
    // surrogate and cut-short sequences all fail it.
    EXPECT_TRUE(calc::boxLength(html).has_value()) << "not well-formed UTF-8";
    const auto metas = tags(html, "meta");
    EXPECT_TRUE(std::any_of(metas.begin(), metas.end(), [](const std::string& m) {
        return toLower(m).find("charset=utf-8") != std::string::npos;
    })) << "no charset=utf-8 declaration";
}

TEST_P(Page, TitleAndHeadingAreTheMenuCaptionsPageForm) {
    const std::string heading = headingOf(menuEntryFor(GetParam()).menuCaption);
    EXPECT_EQ(elementText(html, "title"), heading);
    EXPECT_EQ(elementText(html, "h1"), heading);
}

TEST_P(Page, LinksTheSharedStylesheet) {
    const auto links = tags(html, "link");
    EXPECT_TRUE(std::any_of(links.begin(), links.end(), [](const std::string& l) {
        return toLower(attribute(l, "rel").value_or("")) == "stylesheet" &&
               attribute(l, "href") == "style.css";
    }));
}

TEST_P(Page, UsesNoScriptsOrOutsideResources) {
    const std::string lower = toLower(withoutComments(html));
    for (const char* forbidden : {"<script", "<iframe", "<object", "<embed", "@import", "url("}) {
        EXPECT_EQ(lower.find(forbidden), std::string::npos) << forbidden;
    }
}

TEST_P(Page, EveryLocalReferenceResolvesUnderHtml) {
    const auto refs = references(html);
    ASSERT_FALSE(refs.empty());
    for (const auto& ref : refs) {
        SCOPED_TRACE(ref.attribute + "=\"" + ref.value + "\"");
        ASSERT_FALSE(ref.value.empty());
        for (const char* foreign : {":", "\\", ".."}) { // another scheme, drive or tree
            EXPECT_EQ(ref.value.find(foreign), std::string::npos) << "not a local reference";
        }
        EXPECT_NE(ref.value.front(), '/');
        const std::string file = ref.value.substr(0, ref.value.find('#'));
        // An empty file is an anchor within this page.
        EXPECT_TRUE(file.empty() || fs::is_regular_file(kHtmlDir / file)) << file;
    }
}

TEST_P(Page, ImagesFitTheViewAndHaveText) {
    for (const auto& img : tags(html, "img")) {
        SCOPED_TRACE(img);
        const auto width = attribute(img, "width");
        ASSERT_TRUE(width);
        const int w = std::stoi(*width);
        EXPECT_GT(w, 0);
        EXPECT_LE(w, kMaxImageWidth);
        EXPECT_TRUE(attribute(img, "height"));
        EXPECT_FALSE(attribute(img, "alt").value_or("").empty());
    }
}

// Circuit pages lead to the help page; the help page leads to every circuit.
TEST_P(Page, LinksItsNeighbours) {
    std::set<std::string> targets;
    for (const auto& ref : references(html)) {
        if (ref.attribute == "href") {
            targets.insert(ref.value);
        }
    }
    if (GetParam() != "help.htm") {
        EXPECT_TRUE(targets.count("help.htm"));
        return;
    }
    for (const auto& file : catalogueFiles()) {
        if (file != "help.htm") {
            EXPECT_TRUE(targets.count(file)) << file;
        }
    }
}

// Each worked example gives, typed into the boxes, the lines or message its
// marker names, and the page shows the typed values under their captions and
// what came out.
TEST_P(Page, ExamplesAgreeWithTheCalculationAndAreShown) {
    const auto found = examples(html);
    ASSERT_FALSE(found.empty()) << "no worked example marked";
    for (const auto& ex : found) {
        SCOPED_TRACE(ex.marker);
        const calc::CatalogueEntry* entry = entryOf(ex.id);
        ASSERT_NE(entry, nullptr);
        const auto captions = usedCaptions(*entry);
        ASSERT_EQ(ex.inputs.size(), captions.size()) << "one input per box the circuit uses";
        std::vector<std::string> shown;
        for (std::size_t i = 0; i < captions.size(); ++i) {
            shown.push_back(captions[i] + " " + ex.inputs[i]);
        }
        const calc::Answer answer = calculateWith(*entry, ex.inputs);
        if (ex.message) {
            EXPECT_EQ(answer.message, ex.message);
            EXPECT_EQ(answer.lines, calc::Answer{}.lines) << "a message leaves the lines alone";
            shown.push_back(*ex.message);
        } else {
            EXPECT_FALSE(answer.message) << *answer.message;
            for (std::size_t i = 0; i < 4; ++i) {
                EXPECT_EQ(answer.lines[i], (*ex.lines)[i]) << "result line " << i + 1;
                if (!(*ex.lines)[i].empty()) {
                    shown.push_back((*ex.lines)[i]);
                }
            }
        }
        EXPECT_TRUE(shows(ex.visible, shown));
    }
}

// Every page that calculates shows, with its own example's values, how far
// the component tolerances move the frequency: each value at its lower and
// then at its upper limit, as typed into the boxes and calculated.
TEST_P(Page, ToleranceFiguresAgreeWithTheCalculation) {
    const auto found = tolerances(html);
    if (!calculates(GetParam())) {
        EXPECT_TRUE(found.empty()) << "nothing to calculate here";
        return;
    }
    ASSERT_FALSE(found.empty()) << "no tolerance figure marked";
    const auto pageExamples = examples(html);
    for (const auto& tol : found) {
        SCOPED_TRACE(tol.marker);
        const calc::CatalogueEntry* entry = entryOf(tol.id);
        ASSERT_NE(entry, nullptr);
        EXPECT_TRUE(std::any_of(pageExamples.begin(), pageExamples.end(), [&](const Example& ex) {
            return ex.id == tol.id && ex.inputs == tol.nominal;
        })) << "the nominal values are those of a worked example";
        ASSERT_EQ(tol.nominal.size(), usedCaptions(*entry).size())
            << "one value per box the circuit uses";
        auto fLine = [&](const std::vector<std::string>& values) {
            const calc::Answer answer = calculateWith(*entry, values);
            EXPECT_FALSE(answer.message) << answer.message.value_or("");
            return answer.lines[calc::F].value_or("");
        };
        std::vector<std::string> lower;
        std::vector<std::string> upper;
        for (std::size_t i = 0; i < tol.nominal.size(); ++i) {
            lower.push_back(scaled(tol.nominal[i], -tol.percent[i]));
            upper.push_back(scaled(tol.nominal[i], tol.percent[i]));
        }
        std::vector<std::string> corners = lower;
        corners.insert(corners.end(), upper.begin(), upper.end());
        for (const auto& corner : corners) {
            EXPECT_LE(corner.size(), 10u) << corner << " does not fit in a box";
        }
        EXPECT_TRUE(shows(tol.visible, corners, containsNumber));
        const double nominal = lineValue(fLine(tol.nominal));
        const std::string high = fLine(lower);
        const std::string low = fLine(upper);
        EXPECT_EQ(high, tol.highLine);
        EXPECT_EQ(low, tol.lowLine);
        EXPECT_EQ(deviation(lineValue(high), nominal), tol.highDeviation);
        EXPECT_EQ(deviation(lineValue(low), nominal), tol.lowDeviation);
        EXPECT_TRUE(
            shows(tol.visible, {tol.highLine, tol.lowLine, shownDeviation(tol.highDeviation),
                                shownDeviation(tol.lowDeviation)}));
    }
}

// Every computing page shows its first worked example as the simulated
// circuit measured it (pages_sim_tests runs the simulation on these markers).
TEST_P(Page, SimulatedFiguresAreShown) {
    const auto found = pagetest::simulatedFigures(html);
    if (!calculates(GetParam())) {
        EXPECT_TRUE(found.empty()) << "no circuit simulated here";
        return;
    }
    const auto pageExamples = examples(html);
    ASSERT_FALSE(pageExamples.empty());
    const Example& first = pageExamples.front();
    EXPECT_TRUE(std::any_of(found.begin(), found.end(),
                            [&](const pagetest::Simulated& s) {
                                return s.id == first.id && s.inputs == first.inputs &&
                                       s.supply.empty() && !s.frequency.empty();
                            }))
        << "no simulated figure for " << first.marker;
    for (const auto& s : found) {
        SCOPED_TRACE(s.marker);
        EXPECT_NE(entryOf(s.id), nullptr);
        EXPECT_TRUE(shows(visibleText(s.content),
                          s.frequency.empty()
                              ? std::vector<std::string>{std::string(pagetest::kDoesNotStart)}
                              : std::vector{s.frequency, shownDeviation(s.deviation)}));
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, Page, ::testing::ValuesIn(catalogueFiles()),
                         [](const auto& info) {
                             std::string name = info.param;
                             name.erase(name.find('.'));
                             return name;
                         });

// The help page's table: a row per circuit, linking its page under the menu
// caption and naming the boxes the circuit uses.
TEST(HelpPage, TableRowPerCircuitWithItsCaptions) {
    const auto text = readFile(kHtmlDir / "help.htm");
    ASSERT_TRUE(text);
    static const std::regex row("<tr\\b[\\s\\S]*?</tr>", std::regex::icase);
    std::vector<std::string> rows;
    for (std::sregex_iterator it(text->begin(), text->end(), row), end; it != end; ++it) {
        rows.push_back(it->str());
    }
    for (const auto& entry : calc::kCatalogue) {
        if (entry.kind != calc::EntryKind::Circuit) {
            continue;
        }
        SCOPED_TRACE(std::string(entry.id));
        const std::string href = "href=\"" + fileNameOf(entry.page) + "\"";
        const auto match = std::find_if(rows.begin(), rows.end(), [&](const std::string& r) {
            return r.find(href) != std::string::npos;
        });
        ASSERT_NE(match, rows.end()) << "no row links " << href;
        const std::string visible = visibleText(*match);
        EXPECT_NE(visible.find(headingOf(entry.menuCaption)), std::string::npos);
        EXPECT_TRUE(shows(visible, usedCaptions(entry)));
    }
}

// Guards for the scanning helpers themselves, since every check above leans
// on them.
TEST(PageScanning, VisibleTextDropsMarkupAndDecodesEntities) {
    EXPECT_EQ(visibleText("<p>a &lt; b<br>c</p><!-- hidden -->&#937;&#x3bc;"), "a < b c Ωμ");
    EXPECT_EQ(visibleText(" x&nbsp;\n\t&amp;&gt;&quot; "), "x &>\"");
    EXPECT_EQ(visibleText("1&#8288;kΩ～1\u2060MΩ &bogus; &"), "1kΩ～1MΩ &bogus; &");
}

TEST(PageScanning, ItemsAndNumbersRespectTheirBoundaries) {
    EXPECT_TRUE(containsItem("L (mH) 1，C", "L (mH) 1"));
    EXPECT_FALSE(containsItem("L (mH) 10", "L (mH) 1"));
    EXPECT_FALSE(containsItem("T=2.1ms5", "T=2.1ms"));
    EXPECT_TRUE(containsItem("T=2.1ms f=1", "T=2.1ms"));
    EXPECT_TRUE(containsNumber("取 9、20.9 μF", "9"));
    EXPECT_FALSE(containsNumber("20.9 μF", "9"));
    EXPECT_FALSE(containsNumber("0.95", "0.9"));
    EXPECT_TRUE(shows("a 1 b", {"a", "b"}));
    EXPECT_FALSE(shows("a 1 b", {"a", "c"}));
}

TEST(PageScanning, ExampleMarkersParse) {
    const auto found = examples("<!-- example: rc4 10 10 1 | T1=a | | T=b | f=c -->"
                                "<p>seen</p><!-- /example -->"
                                "<!-- example: help | message=m -->x<!-- /example -->");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].id, "rc4");
    EXPECT_EQ(found[0].inputs, (std::vector<std::string>{"10", "10", "1"}));
    EXPECT_EQ(found[0].lines, (std::array<std::string, 4>{"T1=a", "", "T=b", "f=c"}));
    EXPECT_EQ(found[0].visible, "seen");
    EXPECT_EQ(found[1].message, "m");
    EXPECT_THROW(examples("<!-- example: rc1 1 1 | T=1 --><!-- /example -->"), std::runtime_error);
    EXPECT_THROW(examples("<!-- example: rc1 1 1 | | | T=1 | f=1 -->no close"), std::runtime_error);
}

TEST(PageScanning, ToleranceMarkersParse) {
    const auto found = tolerances("<!-- tolerance: rc1 16 0.01 | 5 10 | f=2kHz | +1.00% | f=1kHz "
                                  "| -1.00% --><p>seen</p><!-- /tolerance -->");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].nominal, (std::vector<std::string>{"16", "0.01"}));
    EXPECT_EQ(found[0].percent, (std::vector<int>{5, 10}));
    EXPECT_EQ(found[0].highLine, "f=2kHz");
    EXPECT_EQ(found[0].lowDeviation, "-1.00%");
    EXPECT_EQ(found[0].visible, "seen");
    EXPECT_THROW(
        tolerances("<!-- tolerance: rc1 16 0.01 | 5 | a | b | c | d --><!-- /tolerance -->"),
        std::runtime_error);
    EXPECT_THROW(tolerances("<!-- tolerance: rc1 16 | 5 | a | b | c | d -->"), std::runtime_error);
}

TEST(PageScanning, SimulatedMarkersParse) {
    const auto found = pagetest::simulatedFigures(
        "<!-- simulated: rc2 47 22 10 10 vcc=5 | 1.989 Hz | -4.87% -->seen<!-- /simulated -->"
        "<!-- simulated: rc1 1.6 0.0001 | 不起振 -->x<!-- /simulated -->");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].inputs, (std::vector<std::string>{"47", "22", "10", "10"}));
    EXPECT_EQ(found[0].supply, "5");
    EXPECT_EQ(found[0].frequency, "1.989 Hz");
    EXPECT_EQ(found[0].deviation, "-4.87%");
    EXPECT_EQ(found[1].supply, "");
    EXPECT_EQ(found[1].frequency, "");
    EXPECT_THROW(
        pagetest::simulatedFigures("<!-- simulated: rc1 1 1 | 1 Hz --><!-- /simulated -->"),
        std::runtime_error);
}

TEST(PageScanning, ToleranceCornersAndDeviations) {
    EXPECT_EQ(scaled("16", -5), "15.2");
    EXPECT_EQ(scaled("0.01", 10), "0.011");
    EXPECT_EQ(scaled("0.0001", -10), "0.00009");
    EXPECT_EQ(scaled("0", 10), "0");
    EXPECT_EQ(lineValue("f=6.2832e-05ms"), 6.2832e-05);
    EXPECT_EQ(deviation(1.1696, 1.0), "+16.96%");
    EXPECT_EQ(deviation(0.8658, 1.0), "-13.42%");
    EXPECT_EQ(shownDeviation("-13.42%"), "−13.42%");
}

TEST(PageScanning, HeadingFormClosesAFullWidthBracket) {
    EXPECT_EQ(headingOf("RC多谐振荡电路（NE555)"), "RC多谐振荡电路（NE555）");
    EXPECT_EQ(headingOf("LC振荡电路（变压器反馈）"), "LC振荡电路（变压器反馈）");
    EXPECT_EQ(headingOf("R (kΩ)"), "R (kΩ)");
}

} // namespace
