#include "calc/catalogue.h"

#include <gtest/gtest.h>
#include <ostream>
#include <set>
#include <string>

namespace {

using Captions = std::array<std::string, 4>;

struct Row {
    std::string menuItem;
    std::string menuCaption;
    std::string page;
    std::optional<Captions> captions;
    calc::Mode mode;
};

void PrintTo(const Row& r, std::ostream* os) {
    *os << r.menuItem;
}

// The entry a menu item selects, as the window finds it.
const calc::CatalogueEntry* entryForMenuItem(std::string_view menuItem) {
    for (const auto& entry : calc::kCatalogue) {
        if (entry.kind != calc::EntryKind::Startup && entry.menuItem == menuItem) {
            return &entry;
        }
    }
    return nullptr;
}

class SelectsEntry : public ::testing::TestWithParam<Row> {};

TEST_P(SelectsEntry, GivesPageCaptionsAndMode) {
    const Row& row = GetParam();
    const calc::CatalogueEntry* entry = entryForMenuItem(row.menuItem);
    ASSERT_NE(entry, nullptr) << row.menuItem;
    EXPECT_EQ(entry->menuCaption, row.menuCaption);
    const calc::Selection s = calc::select(*entry);
    EXPECT_EQ(s.page, row.page);
    EXPECT_EQ(s.captions, row.captions);
    EXPECT_EQ(s.mode, row.mode);
}

const Captions kNone4{"None", "None", "None", "None"};

INSTANTIATE_TEST_SUITE_P(
    Menu, SelectsEntry,
    ::testing::Values(Row{"mnuRc1", "RC正弦波振荡电路（文氏电桥）", "\\html\\kiv1.htm",
                          Captions{"R1 (kΩ)", "C1 (μF)", "None", "None"}, 1},
                      Row{"mnuRc2", "RC多谐振荡电路（分立元件）", "\\html\\kiv2.htm",
                          Captions{"R1 (kΩ)", "R2 (kΩ)", "C1 (μF)", "C2 (μF)"}, 2},
                      Row{"mnuRc3", "RC多谐振荡电路（非门）", "\\html\\kiv3.htm",
                          Captions{"R (kΩ)", "C (μF)", "None", "None"}, 3},
                      Row{"mnuRc4", "RC多谐振荡电路（NE555)", "\\html\\kiv4.htm",
                          Captions{"R1 (kΩ)", "R2 (kΩ)", "C (μF)", "None"}, 4},
                      Row{"mnuLc1", "LC振荡电路（变压器反馈）", "\\html\\kiv5.htm",
                          Captions{"L (mH)", "C (μF)", "None", "None"}, 5},
                      Row{"mnuLc2", "LC振荡电路（电感三点式）一", "\\html\\kiv6.htm",
                          Captions{"L (mH)", "C (μF)", "None", "None"}, 5},
                      Row{"mnuLc3", "LC振荡电路（电感三点式）二", "\\html\\kiv7.htm",
                          Captions{"L (mH)", "C (μF)", "None", "None"}, 5},
                      Row{"mnuLc4", "LC振荡电路（电容三点式）", "\\html\\kiv8.htm",
                          Captions{"L (μH)", "C (pF)", "C1 (pF)", "C2 (pF)"}, 6},
                      Row{"mnuQuartz1", "石英晶体振荡电路一", "\\html\\kiv9.htm", kNone4, 7},
                      Row{"mnuQuartz2", "石英晶体振荡电路二", "\\html\\kiv10.htm", kNone4, 7},
                      Row{"mnuHelp1", "帮助内容", "\\html\\help.htm", std::nullopt, 7}),
    [](const auto& info) { return info.param.menuItem; });

TEST(Catalogue, StartupShowsTheFirstPageWithPlainCaptionsInModeOne) {
    const calc::Selection s = calc::startupSelection();
    EXPECT_EQ(s.page, "\\html\\kiv1.htm");
    EXPECT_EQ(s.captions, (Captions{"R (kΩ)", "C (μF)", "None", "None"}));
    EXPECT_EQ(s.mode, 1);
}

// Only the first entry is the start-up state and only the last one is help;
// every other entry, quartz circuits included, is a circuit.
TEST(Catalogue, KindOfEachEntry) {
    for (std::size_t i = 0; i < calc::kCatalogue.size(); ++i) {
        const calc::CatalogueEntry& entry = calc::kCatalogue[i];
        const calc::EntryKind expected = i == 0 ? calc::EntryKind::Startup
                                         : i + 1 == calc::kCatalogue.size()
                                             ? calc::EntryKind::Help
                                             : calc::EntryKind::Circuit;
        EXPECT_EQ(entry.kind, expected) << entry.id;
        // Only the start-up state has no menu item.
        EXPECT_EQ(entry.menuItem.empty(), expected == calc::EntryKind::Startup) << entry.id;
        // Its menu item is the first circuit's; every other entry's is its own.
        EXPECT_EQ(&calc::menuEntryOf(entry), &calc::kCatalogue[i == 0 ? 1 : i]) << entry.id;
    }
}

TEST(Catalogue, MenuOrderAndUniqueNames) {
    const char* order[] = {"",       "mnuRc1", "mnuRc2", "mnuRc3",     "mnuRc4",     "mnuLc1",
                           "mnuLc2", "mnuLc3", "mnuLc4", "mnuQuartz1", "mnuQuartz2", "mnuHelp1"};
    ASSERT_EQ(calc::kCatalogue.size(), std::size(order));
    std::set<std::string_view> ids;
    for (std::size_t i = 0; i < calc::kCatalogue.size(); ++i) {
        EXPECT_EQ(calc::kCatalogue[i].menuItem, order[i]);
        EXPECT_TRUE(ids.insert(calc::kCatalogue[i].id).second) << calc::kCatalogue[i].id;
        EXPECT_EQ(calc::entryForId(calc::kCatalogue[i].id), &calc::kCatalogue[i]);
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
