#pragma once

#include "calc/calculate.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The fixed list of what the user can pick: the start-up state, ten circuits
// and the help entry. A selection only says which page to show, what the four
// input captions read and which calculation mode applies; the window does it.

namespace calc {

// What an entry is: the window's state before any choice, a circuit one can
// calculate (quartz circuits included), or the help page.
enum class EntryKind { Startup, Circuit, Help };

struct CatalogueEntry {
    std::string_view menuItem;    // object name of the menu item; "" for start-up
    std::string_view menuCaption; // text of the menu item; "" for start-up
    std::string_view id;          // short id for scripting (rc1 .. quartz2, help)
    std::string_view page;        // page name, relative to the application folder
    std::array<std::string_view, 4> captions;
    Mode mode;
    EntryKind kind = EntryKind::Circuit;

    // False for help, which leaves Label1..Label4 alone.
    constexpr bool setsCaptions() const { return kind != EntryKind::Help; }
};

inline constexpr std::string_view kNone = "None";

// In menu order; entry 0 is the start-up selection, the last one is help.
inline constexpr std::array<CatalogueEntry, 12> kCatalogue{{
    {"",
     "",
     "startup",
     "\\html\\kiv1.htm",
     {"R (kΩ)", "C (μF)", kNone, kNone},
     1,
     EntryKind::Startup},
    {"mnuRc1",
     "RC正弦波振荡电路（文氏电桥）",
     "rc1",
     "\\html\\kiv1.htm",
     {"R1 (kΩ)", "C1 (μF)", kNone, kNone},
     1},
    {"mnuRc2",
     "RC多谐振荡电路（分立元件）",
     "rc2",
     "\\html\\kiv2.htm",
     {"R1 (kΩ)", "R2 (kΩ)", "C1 (μF)", "C2 (μF)"},
     2},
    {"mnuRc3",
     "RC多谐振荡电路（非门）",
     "rc3",
     "\\html\\kiv3.htm",
     {"R (kΩ)", "C (μF)", kNone, kNone},
     3},
    {"mnuRc4",
     "RC多谐振荡电路（NE555)",
     "rc4",
     "\\html\\kiv4.htm",
     {"R1 (kΩ)", "R2 (kΩ)", "C (μF)", kNone},
     4},
    {"mnuLc1",
     "LC振荡电路（变压器反馈）",
     "lc1",
     "\\html\\kiv5.htm",
     {"L (mH)", "C (μF)", kNone, kNone},
     5},
    {"mnuLc2",
     "LC振荡电路（电感三点式）一",
     "lc2",
     "\\html\\kiv6.htm",
     {"L (mH)", "C (μF)", kNone, kNone},
     5},
    {"mnuLc3",
     "LC振荡电路（电感三点式）二",
     "lc3",
     "\\html\\kiv7.htm",
     {"L (mH)", "C (μF)", kNone, kNone},
     5},
    {"mnuLc4",
     "LC振荡电路（电容三点式）",
     "lc4",
     "\\html\\kiv8.htm",
     {"L (μH)", "C (pF)", "C1 (pF)", "C2 (pF)"},
     6},
    {"mnuQuartz1",
     "石英晶体振荡电路一",
     "quartz1",
     "\\html\\kiv9.htm",
     {kNone, kNone, kNone, kNone},
     7},
    {"mnuQuartz2",
     "石英晶体振荡电路二",
     "quartz2",
     "\\html\\kiv10.htm",
     {kNone, kNone, kNone, kNone},
     7},
    {"mnuHelp1", "帮助内容", "help", "\\html\\help.htm", {}, 7, EntryKind::Help},
}};

// The two top-level menus; they only open their lists.
inline constexpr std::string_view kSelMenu = "mnuSel";
inline constexpr std::string_view kSelMenuCaption = "选择电路";
inline constexpr std::string_view kHelpMenu = "mnuHelp";
inline constexpr std::string_view kHelpMenuCaption = "帮助";

// What a selection asks of the window.
struct Selection {
    std::string page;
    std::optional<std::array<std::string, 4>> captions; // nullopt: leave as they are
    Mode mode;
};

Selection select(const CatalogueEntry& entry);

// The state the window starts in.
Selection startupSelection();

// The entry with a short id (rc1 .. quartz2, help), or nullptr.
const CatalogueEntry* entryForId(std::string_view id);

// The entry whose menu item shows `entry`: the start-up state is the first
// circuit's page without a menu item of its own.
const CatalogueEntry& menuEntryOf(const CatalogueEntry& entry);

// Application folder + page name, the page's backslashes turned into the
// platform's separator. Nothing else is added, removed or escaped.
std::string pagePath(std::string_view adress, std::string_view page, char separator);

} // namespace calc
