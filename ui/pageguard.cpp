#include "ui/pageguard.h"

#include <QStringList>

#include <algorithm>
#include <initializer_list>

namespace pageguard {

namespace {

bool isOneOf(QStringView name, std::initializer_list<QStringView> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// What Qt's HTML parser takes for elements without content; any other name,
// an unknown one too, opens an element that holds what follows.
bool isEmptyElement(QStringView name) {
    return isOneOf(name, {u"br", u"hr", u"img", u"link", u"meta"});
}

// Qt's block elements: a new <p> closes the inline elements back to one.
bool isBlockElement(QStringView name) {
    return isOneOf(name,
                   {u"blockquote", u"body", u"caption", u"center", u"dd", u"div", u"dl", u"dt",
                    u"h1",         u"h2",   u"h3",      u"h4",     u"h5", u"h6",  u"hr", u"li",
                    u"ol",         u"p",    u"pre",     u"qt",     u"td", u"th",  u"ul"});
}

bool isTablePart(QStringView name) {
    return isOneOf(name, {u"table", u"thead", u"tbody", u"tfoot", u"tr"});
}

// A place where Qt's layout can break a line without hyphenating: a space,
// or beside a Chinese character. Counted conservatively: a run may hold more
// break chances than this sees, never fewer.
bool isBreak(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\r' || u == u'\f' || u == 0x2028 ||
           u == 0x2029 || u == 0x3000 || (u >= 0x3400 && u <= 0x9fff);
}

bool isLineBreak(QChar c) {
    return c == u'\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// The largest value a number with `unit` may have in a declaration of
// `property`, or nullopt where no value lengthens the page.
std::optional<double> styleCap(QStringView property, QStringView unit) {
    const auto is = [unit](QStringView name) {
        return unit.compare(name, Qt::CaseInsensitive) == 0;
    };
    if (property == u"font-size" || property == u"font") {
        // Qt reads a font size in pt or px only; a plain number is a weight.
        return is(u"pt") || is(u"px") ? std::optional<double>(kMaxFontSize) : std::nullopt;
    }
    if (property == u"line-height") {
        return is(u"px") || is(u"pt") ? kMaxLineHeight : is(u"%") ? 200.0 : 2.0;
    }
    if (property.startsWith(u"margin") || property.startsWith(u"padding") ||
        property.startsWith(u"border") || property.endsWith(u"height")) {
        return is(u"em") || is(u"ex") ? 2.0 : double(kMaxBoxLength);
    }
    return std::nullopt;
}

// The grid of one table as Qt's HTML import makes it: as many columns as
// its widest row spans (its cells' colspans, and the columns that cells of
// earlier rows still hold with their rowspans), and a cell at every place of
// every row that no cell covers.
class TableGrid {
public:
    void row() {
        ++rows_;
        width_ = 0;
        carried_.removeIf([this](const Carried& c) { return c.lastRow < rows_; });
        for (const Carried& c : carried_) {
            width_ += c.columns;
        }
        columns_ = std::max(columns_, width_);
    }

    void cell(int colSpan, int rowSpan) {
        if (rows_ == 0) {
            row();
        }
        width_ += colSpan;
        columns_ = std::max(columns_, width_);
        if (rowSpan > 1) {
            carried_.append({rows_ + rowSpan - 1, colSpan});
        }
    }

    qint64 places() const { return qint64(rows_) * columns_; }

private:
    struct Carried {
        int lastRow; // counted from 1
        int columns;
    };
    int rows_ = 0;
    int columns_ = 0;
    int width_ = 0; // of the current row
    QList<Carried> carried_;
};

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'-' || c == u'_' || c.unicode() > 0x7f;
}

// Copies a style to `out` with its numbers held to the limits of the
// property they belong to. Rules are counted by their selectors, each `{`
// and `,` (a comma in a value counts too: never fewer than there are).
class StyleScan {
public:
    StyleScan(QStringView css, QString& out) : css_(css), out_(out) {}

    // False for a style with a backslash: Qt's CSS reader takes escapes that
    // would hide a property's name or a number from this scan.
    bool run() {
        while (pos_ < css_.size()) {
            if (!step()) {
                return false;
            }
        }
        out_ += css_.sliced(copied_);
        return true;
    }

    int selectors() const { return selectors_; }

private:
    bool step() {
        const QChar c = css_[pos_];
        if (c == u'\\') {
            return false;
        }
        if (const qsizetype end = skipped(); end > pos_) {
            pos_ = end;
        } else if (startsNumber()) {
            number();
        } else if (isNameChar(c) || c == u'#') {
            name();
        } else {
            punctuation(c);
            ++pos_;
        }
        return true;
    }

    QChar at(qsizetype i) const { return i < css_.size() ? css_[i] : QChar(); }

    // The end of a comment or a string starting here, or pos_. One that does
    // not end (a string ends at its line) is read on as rules, as Qt does.
    qsizetype skipped() const {
        const QChar c = css_[pos_];
        if (c == u'/' && at(pos_ + 1) == u'*') {
            const qsizetype end = css_.indexOf(u"*/", pos_ + 2);
            return end < 0 ? pos_ : end + 2;
        }
        if (c != u'"' && c != u'\'') {
            return pos_;
        }
        for (qsizetype i = pos_ + 1; i < css_.size(); ++i) {
            if (css_[i] == c) {
                return i + 1;
            }
            if (css_[i] == u'\n' || css_[i] == u'\r' || css_[i] == u'\f') {
                break;
            }
        }
        return pos_;
    }

    // A digit, or a sign or point before one. Names are read whole, so a
    // digit here starts a number.
    bool startsNumber() const {
        qsizetype i = pos_;
        if (at(i) == u'-' || at(i) == u'+') {
            ++i;
        }
        if (at(i) == u'.') {
            ++i;
        }
        return at(i).isDigit();
    }

    void name() {
        const qsizetype start = pos_++;
        while (isNameChar(at(pos_))) {
            ++pos_;
        }
        name_ = css_.sliced(start, pos_ - start);
    }

    void digits() {
        while (at(pos_).isDigit()) {
            ++pos_;
        }
    }

    void number() {
        if (at(pos_) == u'-' || at(pos_) == u'+') {
            ++pos_;
        }
        const qsizetype start = pos_;
        digits();
        if (at(pos_) == u'.' && at(pos_ + 1).isDigit()) {
            ++pos_;
            digits();
        }
        const qsizetype sign = at(pos_ + 1) == u'-' || at(pos_ + 1) == u'+' ? 1 : 0;
        if ((at(pos_) == u'e' || at(pos_) == u'E') && at(pos_ + 1 + sign).isDigit()) {
            pos_ += 1 + sign;
            digits();
        }
        const qsizetype end = pos_;
        const qsizetype unit = pos_;
        if (at(pos_) == u'%') {
            ++pos_;
        }
        while (at(pos_).isLetter()) {
            ++pos_;
        }
        const std::optional<double> cap = styleCap(property_, css_.sliced(unit, pos_ - unit));
        if (cap && css_.sliced(start, end - start).toDouble() > *cap) {
            out_ += css_.sliced(copied_, start - copied_);
            out_ += QString::number(*cap);
            copied_ = end;
        }
        name_ = {};
    }

    void punctuation(QChar c) {
        if (c == u':') {
            property_ = name_.toString().toLower();
        } else if (c == u';' || c == u'{' || c == u'}') {
            property_.clear();
        }
        if (c == u'{' || c == u',') {
            ++selectors_;
        }
    }

    QStringView css_;
    QString& out_;
    qsizetype pos_ = 0;
    qsizetype copied_ = 0;
    QStringView name_;
    QString property_; // lower case; empty outside a declaration
    int selectors_ = 0;
};

// One pass over a page, reading tags as Qt's HTML parser does (so that no
// element hides from the count), keeping the chain of open elements the way
// Qt's parser resolves it, and copying the page with its sizes clamped.
//
// The chain is kept so that it never holds fewer tables than Qt's: where this
// cannot tell what Qt closed, it keeps the element open, and a closing tag
// never closes past a table it does not name.
class PageScan {
public:
    PageScan(QStringView page, int& styleRules) : page_(page), styleRules_(styleRules) {}

    std::optional<QString> run() {
        while (pos_ < page_.size()) {
            const bool ok = page_[pos_] == u'<' ? tag() : text();
            if (!ok) {
                return std::nullopt;
            }
        }
        out_ += page_.sliced(copied_);
        return out_;
    }

private:
    QChar at(qsizetype i) const { return i < page_.size() ? page_[i] : QChar(); }

    void skipSpace() {
        while (pos_ < page_.size() && page_[pos_].isSpace() &&
               page_[pos_] != QChar::ParagraphSeparator) {
            ++pos_;
        }
    }

    void skipPast(QChar c) {
        const qsizetype end = page_.indexOf(c, pos_);
        pos_ = end < 0 ? page_.size() : end + 1;
    }

    // A tag name, attribute name or value as Qt reads it: quoted, or up to a
    // space, '=', '<', '>' or "/>". Quotes are not part of it.
    QStringView word() {
        const qsizetype start = pos_;
        const QChar quote = at(pos_);
        if (quote == u'"' || quote == u'\'') {
            ++pos_;
            // Qt lets a backslash keep a single quote inside single quotes.
            while (pos_ < page_.size() &&
                   !(page_[pos_] == quote && (quote == u'"' || page_[pos_ - 1] != u'\\'))) {
                ++pos_;
            }
            const QStringView inner = page_.sliced(start + 1, pos_ - start - 1);
            pos_ = std::min(pos_ + 1, page_.size());
            return inner;
        }
        while (pos_ < page_.size()) {
            const QChar c = page_[pos_];
            if (c == u'>' || c == u'<' || c == u'=' || c.isSpace() ||
                (c == u'/' && at(pos_ + 1) == u'>')) {
                break;
            }
            ++pos_;
        }
        return page_.sliced(start, pos_ - start);
    }

    bool tag() {
        ++pos_;
        skipSpace();
        if (at(pos_) == u'!') {
            return declaration();
        }
        if (at(pos_) == u'/') {
            ++pos_;
            const QString name = word().trimmed().toString().toLower();
            if (close(name)) {
                endsLine(name);
            }
            skipPast(u'>');
            return true;
        }
        return start();
    }

    // A comment or <!DOCTYPE ...>. Qt drops the spaces after it, except
    // where white space is kept: their line breaks still count.
    bool declaration() {
        ++pos_;
        if (at(pos_) == u'-' && at(pos_ + 1) == u'-') {
            const qsizetype end = page_.indexOf(u"-->", pos_ + 2);
            pos_ = end < 0 ? page_.size() : end + 3;
        } else {
            skipPast(u'>');
        }
        const qsizetype spaces = pos_;
        skipSpace();
        lineBreaks_ +=
            int(std::count_if(page_.begin() + spaces, page_.begin() + pos_, isLineBreak));
        return lineBreaks_ <= kMaxLineBreaks;
    }

    bool start() {
        const QString name = word().toString().toLower();
        colSpan_ = 1;
        rowSpan_ = 1;
        if (at(pos_).isSpace() && !attributes(name)) {
            return false;
        }
        skipPast(u'>');
        // Qt makes a nameless tag a piece of text.
        if (name.isEmpty()) {
            return true;
        }
        if (++elements_ > kMaxElements) {
            return false;
        }
        if (name == u"img" && ++pictures_ > kMaxPictures) {
            return false;
        }
        endsLine(name);
        return isEmptyElement(name) || open(name);
    }

    // Text on either side of a block, a table's part or a <br> is laid out
    // on lines of its own.
    void endsLine(QStringView name) {
        if (isBlockElement(name) || isTablePart(name) || name == u"br") {
            run_ = 0;
        }
    }

    bool attributes(const QString& element) {
        while (pos_ < page_.size()) {
            skipSpace();
            if (at(pos_) == u'>' || at(pos_) == u'/') {
                break;
            }
            const QString key = word().toString().toLower();
            if (key.isEmpty()) {
                break;
            }
            skipSpace();
            if (at(pos_) != u'=') {
                continue;
            }
            ++pos_;
            skipSpace();
            const qsizetype start = pos_ + (at(pos_) == u'"' || at(pos_) == u'\'' ? 1 : 0);
            const QStringView value = word();
            if (!attribute(element, key, start, value)) {
                return false;
            }
        }
        return true;
    }

    // Clamps a style or a size. Qt reads character references in them, which
    // could spell a number this scan would not see, so they are refused there.
    bool attribute(const QString& element, const QString& key, qsizetype start, QStringView value) {
        const int cap = sizeCap(element, key);
        if (key != u"style" && cap == 0) {
            return true;
        }
        if (value.contains(u'&')) {
            return false;
        }
        if (key == u"style") {
            out_ += page_.sliced(copied_, start - copied_);
            copied_ = start + value.size();
            return StyleScan(value, out_).run();
        }
        const bool percent = value.trimmed().endsWith(u'%');
        bool ok = false;
        const double number = (percent ? value.trimmed().chopped(1) : value).toDouble(&ok);
        if (ok && number > cap) {
            replace(start, start + value.size(), QString::number(cap) + (percent ? "%" : ""));
        }
        // Qt takes a span that is not a whole number above 0 for 1; any
        // number counts here, never fewer columns than Qt makes.
        const int span = ok && number >= 1 ? int(std::min(number, double(cap))) : 1;
        if (key == u"colspan") {
            colSpan_ = span;
        } else if (key == u"rowspan") {
            rowSpan_ = span;
        }
        return true;
    }

    // The largest value of a size attribute that lengthens the page, 0 for
    // any other attribute.
    static int sizeCap(const QString& element, const QString& key) {
        if (element == u"img" && (key == u"width" || key == u"height")) {
            return kMaxPictureSide;
        }
        if ((element == u"td" || element == u"th") && (key == u"colspan" || key == u"rowspan")) {
            return kMaxSpan;
        }
        const bool tableSize =
            key == u"border" || key == u"cellspacing" || key == u"cellpadding" || key == u"height";
        return element == u"table" && tableSize ? kMaxBoxLength : 0;
    }

    void replace(qsizetype from, qsizetype to, const QString& with) {
        out_ += page_.sliced(copied_, from - copied_);
        out_ += with;
        copied_ = to;
    }

    // Where Qt puts a new element: it closes open ones first as below.
    bool open(const QString& name) {
        if (name == u"td" || name == u"th") {
            // A cell outside a row gets a table and a row of its own.
            if (!closeBackTo({u"tr"}) &&
                !(push(QStringLiteral("table")) && push(QStringLiteral("tr")))) {
                return false;
            }
        } else if (name == u"tr") {
            if (!closeBackTo({u"table", u"thead", u"tbody", u"tfoot"}) &&
                !push(QStringLiteral("table"))) {
                return false;
            }
        } else if (name == u"thead" || name == u"tbody" || name == u"tfoot") {
            closeBackTo({u"table"});
        } else if (name == u"dd" || name == u"dt") {
            closeBackTo({u"dl"});
        } else if (name == u"p") {
            closeParagraph();
        } else if (name == u"li" && !open_.isEmpty() && open_.last() == name) {
            pop();
        }
        return push(name);
    }

    // Closes the elements after the innermost open one of `parents` in the
    // current table; false if there is none.
    bool closeBackTo(std::initializer_list<QStringView> parents) {
        for (qsizetype i = open_.size() - 1; i >= 0; --i) {
            if (isOneOf(open_[i], parents)) {
                while (open_.size() > i + 1) {
                    pop();
                }
                return true;
            }
            if (open_[i] == u"table") {
                return false;
            }
        }
        return false;
    }

    // A paragraph inside a paragraph (with only inline elements between)
    // closes it.
    void closeParagraph() {
        for (qsizetype i = open_.size() - 1; i >= 0; --i) {
            if (isTablePart(open_[i])) {
                return;
            }
            if (isBlockElement(open_[i])) {
                if (open_[i] == u"p") {
                    while (open_.size() > i) {
                        pop();
                    }
                }
                return;
            }
        }
    }

    // A closing tag closes back to its element, unless a table is in between;
    // false if it closes nothing.
    bool close(const QString& name) {
        for (qsizetype i = open_.size() - 1; i >= 0; --i) {
            if (open_[i] == name) {
                while (open_.size() > i) {
                    pop();
                }
                return true;
            }
            if (open_[i] == u"table") {
                return false;
            }
        }
        return false;
    }

    // Opens an element; a table, a row or a cell counts towards its table.
    bool push(const QString& name) {
        open_.append(name);
        if (name == u"table") {
            tables_.append(TableGrid());
        } else if (name == u"tr" && !tables_.isEmpty()) {
            tables_.last().row();
        } else if ((name == u"td" || name == u"th") && !tables_.isEmpty()) {
            tables_.last().cell(colSpan_, rowSpan_);
        }
        qint64 places = closedTablePlaces_;
        for (const TableGrid& table : tables_) {
            places += table.places();
        }
        return open_.size() <= kMaxDepth && tables_.size() <= kMaxTableDepth &&
               places <= kMaxTableCells;
    }

    void pop() {
        if (open_.takeLast() == u"table") {
            closedTablePlaces_ += tables_.takeLast().places();
        }
    }

    // Text up to the next tag: a style's rules, or text to show.
    bool text() {
        const qsizetype start = pos_;
        pos_ = page_.indexOf(u'<', pos_);
        if (pos_ < 0) {
            pos_ = page_.size();
        }
        const QStringView text = page_.sliced(start, pos_ - start);
        if (!open_.isEmpty() && open_.last() == u"style") {
            return style(start, text);
        }
        for (const QChar c : text) {
            lineBreaks_ += isLineBreak(c) ? 1 : 0;
            run_ = isBreak(c) ? 0 : run_ + 1;
            if (run_ > kMaxRun || lineBreaks_ > kMaxLineBreaks) {
                return false;
            }
        }
        return true;
    }

    bool style(qsizetype start, QStringView css) {
        if (css.contains(u'&')) {
            return false;
        }
        out_ += page_.sliced(copied_, start - copied_);
        copied_ = start + css.size();
        StyleScan scan(css, out_);
        const bool read = scan.run();
        styleRules_ += scan.selectors();
        return read && styleRules_ <= kMaxStyleRules;
    }

    QStringView page_;
    int& styleRules_;
    qsizetype pos_ = 0;
    QString out_;
    qsizetype copied_ = 0;    // page_ is copied to out_ up to here
    QStringList open_;        // the open elements, innermost last
    QList<TableGrid> tables_; // the tables in open_, innermost last
    int colSpan_ = 1;         // of the start tag being read
    int rowSpan_ = 1;
    qint64 closedTablePlaces_ = 0;
    int elements_ = 0;
    int pictures_ = 0;
    int lineBreaks_ = 0;
    int run_ = 0;
};

} // namespace

std::optional<QString> checkedPage(QStringView page, int& styleRules) {
    return PageScan(page, styleRules).run();
}

std::optional<QString> checkedStyleSheet(QStringView css, int& styleRules) {
    QString out;
    StyleScan scan(css, out);
    const bool read = scan.run();
    styleRules += scan.selectors();
    if (!read || styleRules > kMaxStyleRules) {
        return std::nullopt;
    }
    return out;
}

} // namespace pageguard
