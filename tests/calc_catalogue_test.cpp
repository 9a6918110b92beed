#include "calc/catalogue.h"
#include "calc/modes.h"

#include <gtest/gtest.h>
#include <ostream>
#include <set>
#include <string>

namespace {

using Captions = std::array<std::string, 4>;

// The entry a menu item selects, as the window finds it.
const calc::CatalogueEntry* entryForMenuItem(std::string_view menuItem) {
    for (const auto& entry : calc::kCatalogue) {
        if (entry.kind != calc::EntryKind::Startup && entry.menuItem == menuItem) {
            return &entry;
        }
    }
    return nullptr;
}

// What a selection must agree with, whatever its texts: a circuit's captions
// name exactly the boxes its mode reads, in the units' own letters (μ is
// U+03BC, Ω U+03A9, not the look-alike micro and ohm signs), and its page is
// one of the numbered circuit pages; a quartz circuit and help compute nothing.
TEST(Catalogue, EachSelectionAgreesWithItsMode) {
    for (const calc::CatalogueEntry& entry : calc::kCatalogue) {
        const calc::Selection s = calc::select(entry);
        const calc::ModeTraits* traits = calc::modeTraits(s.mode);
        ASSERT_NE(traits, nullptr) << entry.id;
        EXPECT_EQ(s.captions.has_value(), entry.kind != calc::EntryKind::Help) << entry.id;
        if (entry.kind == calc::EntryKind::Help) {
            EXPECT_EQ(s.page, "\\html\\help.htm");
            EXPECT_NE(traits->message, nullptr);
            continue;
        }
        EXPECT_TRUE(s.page.starts_with("\\html\\kiv") && s.page.ends_with(".htm")) << entry.id;
        for (std::size_t i = 0; i < 4; ++i) {
            const std::string& caption = (*s.captions)[i];
            EXPECT_EQ(caption != "None", traits->message == nullptr && traits->tested[i])
                << entry.id << " box " << i;
            EXPECT_EQ(caption.find("\u00b5"), std::string::npos) << entry.id;
            EXPECT_EQ(caption.find("\u2126"), std::string::npos) << entry.id;
        }
    }
}

TEST(Catalogue, StartupShowsTheFirstPageWithPlainCaptionsInModeOne) {
    const calc::Selection s = calc::startupSelection();
    EXPECT_EQ(s.page, "\\html\\kiv1.htm");
    EXPECT_EQ(s.captions, (Captions{"R (kΩ)", "C (μF)", "None", "None"}));
    EXPECT_EQ(s.mode, 1);
}

// The menu's order, each id unique and found again. Only the first entry is
// the start-up state, without a menu item of its own but the first circuit's;
// only the last one is help; every other entry, quartz included, is a circuit.
TEST(Catalogue, MenuOrderKindsAndUniqueNames) {
    const char* order[] = {"",       "mnuRc1", "mnuRc2", "mnuRc3",     "mnuRc4",     "mnuLc1",
                           "mnuLc2", "mnuLc3", "mnuLc4", "mnuQuartz1", "mnuQuartz2", "mnuHelp1"};
    ASSERT_EQ(calc::kCatalogue.size(), std::size(order));
    std::set<std::string_view> ids;
    for (std::size_t i = 0; i < calc::kCatalogue.size(); ++i) {
        const calc::CatalogueEntry& entry = calc::kCatalogue[i];
        const calc::EntryKind expected = i == 0 ? calc::EntryKind::Startup
                                         : i + 1 == calc::kCatalogue.size()
                                             ? calc::EntryKind::Help
                                             : calc::EntryKind::Circuit;
        EXPECT_EQ(entry.kind, expected) << entry.id;
        EXPECT_EQ(entry.menuItem, order[i]);
        EXPECT_EQ(&calc::menuEntryOf(entry), &calc::kCatalogue[i == 0 ? 1 : i]) << entry.id;
        EXPECT_TRUE(ids.insert(entry.id).second) << entry.id;
        EXPECT_EQ(calc::entryForId(entry.id), &entry);
    }
    EXPECT_EQ(entryForMenuItem("mnuSel"), nullptr);
    EXPECT_EQ(calc::entryForId("rc5"), nullptr);
}

// A selection followed by a calculation, end to end in the core.
TEST(Catalogue, SelectionThenCalculationUsesTheEntrysMode) {
    const auto* lc4 = entryForMenuItem("mnuLc4");
    ASSERT_NE(lc4, nullptr);
    const calc::Answer a = calc::calculate(calc::select(*lc4).mode, {"1", "0", "2", "2"});
    ASSERT_TRUE(a.lines[calc::F]);
    EXPECT_TRUE(a.lines[calc::F]->ends_with("MHz"));
    const auto* help = entryForMenuItem("mnuHelp1");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(calc::calculate(calc::select(*help).mode, {"1", "1", "", ""}).message, "不用计算！");
}

TEST(Catalogue, PagePathJoinsFolderAndPageWithTheSeparator) {
    EXPECT_EQ(calc::pagePath("/opt/振荡 器", "\\html\\kiv4.htm", '/'),
              "/opt/振荡 器/html/kiv4.htm");
    EXPECT_EQ(calc::pagePath("C:\\Program Files\\osc", "\\html\\help.htm", '\\'),
              "C:\\Program Files\\osc\\html\\help.htm");
}

} // namespace
