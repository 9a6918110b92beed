#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// What the description-page view honours of a page, checked in one pass over
// the page's text before Qt's text layout sees it. The limits are far above
// what the pages need and keep every page that passes well under a second
// to lay out. They answer the ways Qt's layout fails: it recurses into tables
// inside tables (a stack overflow; each level also doubles the time), its
// time grows with the square of a run of text it cannot break and of the
// items of one list, it matches every style rule against the ancestors of
// every element, it fills every row of a table up to the widest one with
// cells of their own (a colspan widens a row, a rowspan the rows below), and
// it never finishes a document taller than 2^23 pixels (the end of its
// fixed-point coordinates), which large fonts, margins or pictures reach
// within a few kilobytes.
namespace pageguard {

// A page beyond one of these is refused.
inline constexpr int kMaxElements = 1000;   // start tags
inline constexpr int kMaxDepth = 16;        // elements inside one another
inline constexpr int kMaxTableDepth = 4;    // tables inside one another
inline constexpr int kMaxPictures = 50;     // <img> elements
inline constexpr int kMaxLineBreaks = 2000; // line feeds and line separators
inline constexpr int kMaxRun = 1000;        // characters without a space or a Chinese character
inline constexpr int kMaxStyleRules = 64;   // selectors in the page's styles and stylesheets
inline constexpr int kMaxTableCells = 4000; // rows times columns, all tables together

// Larger values are shown at these.
inline constexpr int kMaxFontSize = 24;      // font-size in pt or px
inline constexpr int kMaxLineHeight = 48;    // line-height in px or pt (200 %, or 2 times)
inline constexpr int kMaxBoxLength = 100;    // px: margins, paddings, borders, heights (2 em)
inline constexpr int kMaxPictureSide = 1000; // px: a picture's width and height attributes
inline constexpr int kMaxSpan = 100;         // a cell's colspan and rowspan

// The page with its sizes held to the limits, or nullopt if it is refused.
// `styleRules` counts the selectors of the page's <style> elements; the page's
// stylesheets are counted on by checkedStyleSheet().
std::optional<QString> checkedPage(QStringView page, int& styleRules);

// A stylesheet of the page with its sizes held to the limits, or nullopt if
// it would take the page beyond kMaxStyleRules or cannot be checked.
std::optional<QString> checkedStyleSheet(QStringView css, int& styleRules);

} // namespace pageguard
