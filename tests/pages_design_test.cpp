// The "按目标频率设计" section of each computing circuit's page: its worked
// design must be what the design search returns first, with the result lines
// the calculation gives, and the rules it quotes must be the search's own.
// The design is marked in the page as
//   <!-- design: ID FREQ [duty=D] [series=S] [cseries=S] [lseries=S] [fix:NAME=V]...
//        | VALUE... | ERROR -->  ...what the reader sees...  <!-- /design -->
#include "calc/catalogue.h"
#include "calc/design.h"
#include "tests/pagemarkers.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using pagetest::readPage;
using pagetest::visibleText;
using pagetest::words;

std::size_t count(const std::string& text, const std::string& needle) {
    std::size_t n = 0;
    for (auto pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1)) {
        ++n;
    }
    return n;
}

// What a page shows of a design: "−0.53%" with the minus sign of prose, the
// band as "0.861～1.16 kHz".
std::string pageError(double percent) {
    std::string text = calc::errorText(percent);
    return text[0] == '-' ? "−" + text.substr(1) : text;
}

std::string pageBand(const calc::Candidate& c, calc::Mode mode) {
    std::string band = calc::bandText(c, mode).substr(2); // without "f="
    band.replace(band.find(".."), 2, "～");
    band.insert(band.find_first_not_of("0123456789.～"), " ");
    return band;
}

// One page per computing circuit (lc1..lc3 share a mode but not a page).
std::vector<std::string> computingIds() {
    std::vector<std::string> ids;
    for (const auto& entry : calc::kCatalogue) {
        if (entry.kind == calc::EntryKind::Circuit && !calc::designInputs(entry).empty()) {
            ids.emplace_back(entry.id);
        }
    }
    return ids;
}

class DesignSection : public ::testing::TestWithParam<std::string> {
protected:
    const calc::CatalogueEntry& entry = *calc::entryForId(GetParam());
    const std::string html = readPage(entry.page);
};

TEST_P(DesignSection, IsTheLastSectionAndPointsToTheDialog) {
    ASSERT_FALSE(html.empty());
    const std::string heading = "<h2>按目标频率设计</h2>";
    ASSERT_EQ(count(html, heading), 1u);
    EXPECT_EQ(html.find("<h2", html.find(heading) + 1), std::string::npos)
        << "the design section comes last";
    EXPECT_NE(html.find("按目标频率选元件"), std::string::npos);
}

TEST_P(DesignSection, QuotesTheRules) {
    const std::string text = visibleText(html);
    const calc::DesignRules& rules = *calc::designRules(entry.mode);
    const auto span = [](calc::Span r, std::string_view unit) {
        return calc::engineeringText(r.low, unit, 6, " ") + "～" +
               calc::engineeringText(r.high, unit, 6, " ");
    };
    std::vector<std::string> quoted{calc::hzText(rules.band.low) + "～" +
                                    calc::hzText(rules.band.high)};
    std::set<calc::Kind> kinds;
    for (const auto& in : calc::designInputs(entry)) {
        kinds.insert(in.kind);
    }
    for (const calc::Kind kind : kinds) {
        const auto k = static_cast<std::size_t>(kind);
        quoted.push_back(kind == calc::Kind::Resistor && rules.maxResistorSum > 0
                             ? "R1 + R2 ≤ " +
                                   calc::engineeringText(rules.maxResistorSum, "Ω", 6, " ")
                             : span(rules.range[k], calc::unitSymbol(kind)));
    }
    if (rules.impedance) {
        quoted.push_back(span(*rules.impedance, "Ω"));
    }
    if (rules.capacitorRatio) {
        quoted.push_back(calc::threeDigits(rules.capacitorRatio->span.low) + "～" +
                         calc::threeDigits(rules.capacitorRatio->span.high));
    }
    if (rules.duty) {
        quoted.push_back(rules.minDuty > 0 ? "T1/T ≤ " + calc::threeDigits(rules.duty->high)
                                           : calc::threeDigits(rules.duty->low) + "～" +
                                                 calc::threeDigits(rules.duty->high));
    }
    for (const std::string& rule : quoted) {
        EXPECT_NE(text.find(rule), std::string::npos) << rule;
    }
}

TEST_P(DesignSection, WorkedDesignIsTheSearchsFirstAnswer) {
    const std::vector<pagetest::Marked> marked = pagetest::markedSections(html, "design");
    ASSERT_EQ(marked.size(), 1u) << "one worked design marked";
    const pagetest::Marked& m = marked.front();
    ASSERT_EQ(m.fields.size(), 3u) << m.marker;
    const std::vector<std::string> head = words(m.fields[0]); // ID FREQ options...
    ASSERT_GE(head.size(), 2u) << m.marker;
    ASSERT_EQ(head[0], GetParam()) << "design of another circuit";
    const std::vector<calc::DesignInput> inputs = calc::designInputs(entry);

    calc::DesignRequest request;
    std::string freq = head[1];
    double scale = 1.0;
    for (const auto& [unit, factor] : {std::pair{"MHz", 1e6}, {"kHz", 1e3}, {"Hz", 1.0}}) {
        if (freq.ends_with(unit)) {
            freq.resize(freq.size() - std::string_view(unit).size());
            scale = factor;
            break;
        }
    }
    request.targetHz = std::stod(freq) * scale;
    // Which part's series an option names: R, C, L.
    static const std::map<std::string, std::size_t> seriesOptions{
        {"series=", 0}, {"cseries=", 1}, {"lseries=", 2}};
    for (const std::string& option : std::vector(head.begin() + 2, head.end())) {
        const auto sep = option.find_first_of("=:");
        const std::string key = option.substr(0, sep + 1); // with its = or :
        const std::string value = option.substr(sep + 1);
        if (key == "duty=") {
            request.duty = std::stod(value);
        } else if (seriesOptions.contains(key)) {
            request.parts[seriesOptions.at(key)].series = *calc::seriesFromName(value);
        } else if (key == "fix:") {
            const std::string name = value.substr(0, value.find('='));
            bool known = false;
            for (const auto& in : inputs) {
                if (in.name == name) {
                    request.fixed[in.box] = calc::boxTextOf(in, value.substr(value.find('=') + 1));
                    known = true;
                }
            }
            EXPECT_TRUE(known) << option;
        } else {
            ADD_FAILURE() << "unknown option " << option;
        }
    }

    const calc::DesignResult result = calc::design(entry, request);
    ASSERT_FALSE(result.candidates.empty()) << result.reason;
    const calc::Candidate& best = result.candidates.front();
    const std::vector<std::string> values = words(m.fields[1]);
    ASSERT_EQ(values.size(), inputs.size());
    const std::string seen = visibleText(m.content);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        EXPECT_EQ(values[i], best.inputs[inputs[i].box]) << inputs[i].name;
        const std::string typed = std::string(entry.captions[inputs[i].box]) + " " + values[i];
        EXPECT_NE(seen.find(typed), std::string::npos) << "missing \"" << typed << "\"";
    }
    EXPECT_EQ(m.fields[2], calc::errorText(best.errorPercent));
    EXPECT_NE(seen.find(pageError(best.errorPercent)), std::string::npos) << "error not shown";
    EXPECT_NE(seen.find(pageBand(best, entry.mode)), std::string::npos)
        << "band " << pageBand(best, entry.mode) << " not shown";

    // The lines the reader is promised are what "计算" shows for those values.
    calc::Inputs typedInputs;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        typedInputs[inputs[i].box] = values[i];
    }
    const calc::Answer answer = calc::calculate(entry.mode, typedInputs);
    ASSERT_FALSE(answer.message);
    for (const auto& line : answer.lines) {
        if (line && !line->empty()) {
            EXPECT_NE(seen.find(*line), std::string::npos) << "missing \"" << *line << "\"";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, DesignSection, ::testing::ValuesIn(computingIds()),
                         [](const auto& info) { return info.param; });

TEST(DesignSection, EveryComputingPageHasOne) {
    // rc1..rc4 and lc1..lc4: kiv1..kiv8.
    EXPECT_EQ(computingIds().size(), 8u);
}

} // namespace
