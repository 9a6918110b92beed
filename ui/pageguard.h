#pragma once

#include <QString>
#include <QStringView>
#include <QUrl>

#include <functional>
#include <optional>

// What the description-page view honours of a page. The limits are far above
// what the pages need and keep every page that passes well under a second
// to lay out. They answer the ways Qt fails on a page:
// - its HTML import matches every style rule against every element, walking
//   the element's ancestors again for each (a chain of 200 elements under 64
//   rules took 7 s), so the nesting of elements and the style rules are
//   bounded before Qt reads the page;
// - the import fills every row of a table up to the widest one with cells of
//   their own (a colspan widens a row, a rowspan the rows below; 100 rows
//   of colspan="100000" took 16 s and 250 MiB), so spans and table sizes are
//   bounded before it too;
// - its layout recurses into tables inside tables (a stack overflow; each
//   level also doubles the time), its time grows with the square of a run of
//   text it cannot break and of the items of one list, and it never finishes
//   a document taller than 2^23 pixels (the end of its fixed-point
//   coordinates), which large fonts, margins or pictures reach within a few
//   kilobytes: these are checked, and the sizes held, on Qt's own reading of
//   the page, before the view lays it out.
namespace pageguard {

// A page beyond one of these is refused. Counted on the page's text, so that
// Qt's import of it stays quick:
inline constexpr int kMaxElements = 1000;   // start tags
inline constexpr int kMaxDepth = 16;        // elements inside one another
inline constexpr int kMaxStyleRules = 64;   // selectors in the page's styles and stylesheets
inline constexpr int kMaxTableCells = 4000; // rows times columns, all tables together
// and on the document Qt makes of it:
inline constexpr int kMaxTableDepth = 4;    // tables inside one another
inline constexpr int kMaxPictures = 50;     // pictures
inline constexpr int kMaxLineBreaks = 2000; // paragraphs and line breaks in them
inline constexpr int kMaxRun = 1000;        // characters without a space or a Chinese character
inline constexpr int kMaxListItems = 1000;  // items of one list

// Larger values are shown at these.
inline constexpr int kMaxSpan = 100;         // a cell's colspan and rowspan
inline constexpr int kMaxFontSize = 24;      // pt or px
inline constexpr int kMaxLineHeight = 48;    // px (200 % where proportional)
inline constexpr int kMaxBoxLength = 100;    // px: margins, paddings, borders, heights
inline constexpr int kMaxPictureSide = 1000; // px: a picture's width and height

// Gives a stylesheet the page links to, as the view will use it (empty if it
// cannot); it counts the stylesheet's rules on with countStyleSheet().
using StyleSheetLoader = std::function<QString(const QUrl&)>;

// The page as the view is to show it, or nullopt if it is refused: its own
// text if Qt's reading of it keeps to the limits, else that reading with its
// sizes held to them, as HTML. `styleRules` counts the selectors of the
// page's <style> elements on; `url` is the page's own, for its links.
std::optional<QString> checkedPage(QStringView page, const QUrl& url, int& styleRules,
                                   const StyleSheetLoader& loadStyleSheet);

// Counts the selectors of a stylesheet of the page on; false if that takes
// the page beyond kMaxStyleRules.
bool countStyleSheet(QStringView css, int& styleRules);

} // namespace pageguard
