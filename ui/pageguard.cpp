#include "ui/pageguard.h"

#include <QList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <initializer_list>

namespace pageguard {

namespace {

bool isLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool isSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// Elements that hold nothing for Qt. Not <link>: Qt holds what follows in
// it (a page of 300 of them under 60 rules `x link` took 37 s to read).
bool isEmptyElement(QStringView name) {
    return name == u"br" || name == u"hr" || name == u"img" || name == u"meta";
}

bool isTableSection(QStringView name) {
    return name == u"table" || name == u"thead" || name == u"tbody" || name == u"tfoot";
}

// Counts the elements, their nesting, the style rules and the tables of a
// page, as an upper bound of what Qt's import makes of them. The bound needs
// none of Qt's rules for mending markup, because markup that Qt could read
// otherwise than this scan is refused: a '<' that starts no tag, a
// backslash, a '<' or '>' inside a quoted value or a comment, a cell or row
// outside its table (Qt would add a table of its own). A closing tag closes
// only the innermost open element, and only if it names it: where Qt
// closes more (an element it closed already, or one further out), its
// nesting is shallower than the one counted here.
class MarkupScan {
public:
    MarkupScan(QStringView page, int& styleRules) : page_(page), styleRules_(styleRules) {}

    std::optional<QString> run() {
        while ((pos_ = page_.indexOf(u'<', pos_)) >= 0) {
            if (!markup()) {
                return std::nullopt;
            }
        }
        out_ += page_.sliced(copied_);
        return out_;
    }

private:
    struct Open {
        QString name; // as written: a closing tag spelt otherwise closes nothing here
        // For a table: its rows, widest row and the columns its cells with a
        // rowspan hold in the rows below (never released: an upper bound).
        qint64 rows = 0;
        qint64 columns = 0;
        qint64 rowWidth = 0;
        qint64 heldBelow = 0;
        qint64 heldFromNextRow = 0;
    };

    QChar at(qsizetype i) const { return i < page_.size() ? page_[i] : QChar(); }

    bool markup() {
        const QChar next = at(pos_ + 1);
        if (next == u'!') {
            return declaration();
        }
        if (next == u'/') {
            return closingTag();
        }
        return isLetter(next) && startTag();
    }

    // A comment or <!DOCTYPE ...>, with no markup inside.
    bool declaration() {
        const bool comment = page_.sliced(pos_).startsWith(u"<!--");
        const qsizetype end = comment ? page_.indexOf(u"-->", pos_ + 4) : page_.indexOf(u'>', pos_);
        if (end < 0) {
            return false;
        }
        const qsizetype inner = pos_ + (comment ? 4 : 2);
        if (page_.sliced(inner, end - inner).contains(u'<')) {
            return false;
        }
        pos_ = end + (comment ? 3 : 1);
        return true;
    }

    QStringView name() {
        const qsizetype start = pos_;
        while (isLetter(at(pos_)) || isDigit(at(pos_))) {
            ++pos_;
        }
        return page_.sliced(start, pos_ - start);
    }

    void skipSpace() {
        while (isSpace(at(pos_))) {
            ++pos_;
        }
    }

    bool closingTag() {
        pos_ += 2;
        const QStringView closed = name();
        skipSpace();
        if (closed.isEmpty() || at(pos_) != u'>') {
            return false;
        }
        ++pos_;
        if (!open_.isEmpty() && open_.last().name == closed) {
            pop();
        }
        return true;
    }

    bool startTag() {
        ++pos_;
        const QString written = name().toString();
        const QString element = written.toLower();
        colSpan_ = rowSpan_ = 1;
        while (true) {
            const bool spaced = isSpace(at(pos_));
            skipSpace();
            if (at(pos_) == u'>' || (at(pos_) == u'/' && at(pos_ + 1) == u'>')) {
                break;
            }
            if (!spaced || !attribute(element)) {
                return false;
            }
        }
        pos_ = page_.indexOf(u'>', pos_) + 1;
        if (++elements_ > kMaxElements) {
            return false;
        }
        if (isEmptyElement(element)) {
            return true;
        }
        return open(written, element) && (element != u"style" || style());
    }

    // name, name=value, name="value" or name='value'.
    bool attribute(const QString& element) {
        const qsizetype start = pos_;
        while (isLetter(at(pos_)) || isDigit(at(pos_)) || at(pos_) == u'-' || at(pos_) == u'_') {
            ++pos_;
        }
        const QString key = page_.sliced(start, pos_ - start).toString().toLower();
        if (key.isEmpty()) {
            return false;
        }
        skipSpace();
        if (at(pos_) != u'=') {
            return true;
        }
        ++pos_;
        skipSpace();
        const QChar quote = at(pos_);
        const bool quoted = quote == u'"' || quote == u'\'';
        const qsizetype valueStart = pos_ + (quoted ? 1 : 0);
        pos_ = valueStart;
        for (; pos_ < page_.size(); ++pos_) {
            const QChar c = at(pos_);
            if (quoted ? c == quote : isSpace(c) || c == u'>') {
                break;
            }
            if (c == u'<' || c == u'>' || c == u'\\' || (!quoted && (c == u'"' || c == u'\''))) {
                return false;
            }
        }
        if (quoted && pos_ >= page_.size()) {
            return false;
        }
        const QStringView value = page_.sliced(valueStart, pos_ - valueStart);
        pos_ += quoted ? 1 : 0;
        return (element != u"td" && element != u"th") || (key != u"colspan" && key != u"rowspan") ||
               span(key, valueStart, value);
    }

    // A span is a plain number (a character reference could spell one that
    // this scan would not see), held to kMaxSpan in the page's text.
    bool span(const QString& key, qsizetype start, QStringView value) {
        if (value.isEmpty() || !std::all_of(value.begin(), value.end(), isDigit)) {
            return false;
        }
        const qsizetype digits = value.size();
        const int span = digits > 3 ? kMaxSpan + 1 : value.toInt();
        if (span > kMaxSpan) {
            out_ += page_.sliced(copied_, start - copied_);
            out_ += QString::number(kMaxSpan);
            copied_ = start + digits;
        }
        (key == u"colspan" ? colSpan_ : rowSpan_) = std::clamp(span, 1, kMaxSpan);
        return true;
    }

    bool open(const QString& written, const QString& element) {
        const QString parent = open_.isEmpty() ? QString() : open_.last().name.toLower();
        Open* table = innermostTable();
        if (element == u"td" || element == u"th") {
            if (parent != u"tr" || !table) {
                return false;
            }
            table->rowWidth += colSpan_;
            table->columns = std::max(table->columns, table->rowWidth);
            table->heldFromNextRow += rowSpan_ > 1 ? colSpan_ : 0;
        } else if (element == u"tr") {
            if (!isTableSection(parent) || !table) {
                return false;
            }
            ++table->rows;
            table->heldBelow += table->heldFromNextRow;
            table->heldFromNextRow = 0;
            table->rowWidth = table->heldBelow;
            table->columns = std::max(table->columns, table->rowWidth);
        } else if (isTableSection(element) && element != u"table" && parent != u"table") {
            return false;
        }
        open_.append({written});
        qint64 places = closedTablePlaces_;
        for (const Open& e : open_) {
            places += e.rows * e.columns;
        }
        return open_.size() <= kMaxDepth && places <= kMaxTableCells;
    }

    Open* innermostTable() {
        for (qsizetype i = open_.size() - 1; i >= 0; --i) {
            if (open_[i].name.compare(u"table", Qt::CaseInsensitive) == 0) {
                return &open_[i];
            }
        }
        return nullptr;
    }

    void pop() {
        const Open last = open_.takeLast();
        closedTablePlaces_ += last.rows * last.columns;
    }

    // A style's rules, up to its closing tag and with no other markup, are
    // counted by their selectors: each `{` and `,` (a comma in a value
    // counts too: never fewer than there are).
    bool style() {
        const qsizetype end = page_.indexOf(u'<', pos_);
        if (end < 0 || !page_.sliced(end).startsWith(u"</style")) {
            return false;
        }
        return countStyleSheet(page_.sliced(pos_, end - pos_), styleRules_);
    }

    QStringView page_;
    int& styleRules_;
    qsizetype pos_ = 0;
    QString out_;
    qsizetype copied_ = 0; // page_ is copied to out_ up to here
    QList<Open> open_;     // innermost last
    int colSpan_ = 1;      // of the start tag being read
    int rowSpan_ = 1;
    qint64 closedTablePlaces_ = 0;
    int elements_ = 0;
};

// Where Qt's layout can break a line without hyphenating: a space, or beside
// a Chinese character or a picture. Counted conservatively: a run may hold
// more break chances than this sees, never fewer.
bool isBreak(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == 0x2028 || u == 0x3000 || u == 0xfffc ||
           (u >= 0x3400 && u <= 0x9fff);
}

qsizetype longestRun(const QString& text) {
    qsizetype longest = 0;
    qsizetype run = 0;
    for (const QChar c : text) {
        run = isBreak(c) ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return longest;
}

// Sets `property` of `format` to at most `cap` if it is set above it.
template <typename Format> bool hold(Format& format, int property, qreal cap) {
    if (format.hasProperty(property) && format.doubleProperty(property) > cap) {
        format.setProperty(property, cap);
        return true;
    }
    return false;
}

template <typename Format> bool holdAll(Format& format, std::initializer_list<int> properties) {
    bool held = false;
    for (const int property : properties) {
        held = hold(format, property, kMaxBoxLength) || held;
    }
    return held;
}

// The document Qt makes of the page, walked for the limits; sizes above
// theirs are held there.
class DocumentCheck {
public:
    explicit DocumentCheck(QTextDocument& doc) : doc_(doc) {}

    bool run() {
        if (!frame(doc_.rootFrame(), 0)) {
            return false;
        }
        int lines = 0;
        int pictures = 0;
        for (QTextBlock block = doc_.begin(); block.isValid(); block = block.next()) {
            const QString text = block.text();
            lines += 1 + int(text.count(QChar::LineSeparator));
            const QTextList* list = block.textList();
            // A cell's first paragraph breaks no line: Qt gives every cell one.
            if (lines - cells_ > kMaxLineBreaks || longestRun(text) > kMaxRun ||
                (list && list->count() > kMaxListItems)) {
                return false;
            }
            QTextBlockFormat format = block.blockFormat();
            if (holdBlock(format)) {
                QTextCursor(block).setBlockFormat(format);
                held_ = true;
            }
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                QTextCharFormat chars = fragment.charFormat();
                pictures += chars.isImageFormat() ? fragment.length() : 0;
                if (holdChars(chars)) {
                    heldChars_.append({fragment.position(), fragment.length(), chars});
                }
            }
            if (pictures > kMaxPictures) {
                return false;
            }
        }
        // Set after the walk: a new format can merge or split fragments.
        for (const auto& [position, length, format] : heldChars_) {
            QTextCursor cursor(&doc_);
            cursor.setPosition(position);
            cursor.setPosition(position + length, QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
            held_ = true;
        }
        return true;
    }

    bool held() const { return held_; }

private:
    struct HeldChars {
        int position;
        int length;
        QTextCharFormat format;
    };

    bool frame(QTextFrame* frame, int tables) {
        auto* table = qobject_cast<QTextTable*>(frame);
        tables += table ? 1 : 0;
        if (tables > kMaxTableDepth) {
            return false;
        }
        QTextFrameFormat format = frame->frameFormat();
        if (holdFrame(format)) {
            frame->setFrameFormat(format);
            held_ = true;
        }
        if (table) {
            holdCells(*table);
        }
        for (QTextFrame* child : frame->childFrames()) {
            if (!this->frame(child, tables)) {
                return false;
            }
        }
        return true;
    }

    void holdCells(QTextTable& table) {
        for (int row = 0; row < table.rows(); ++row) {
            for (int column = 0; column < table.columns(); ++column) {
                QTextTableCell cell = table.cellAt(row, column);
                if (cell.row() != row || cell.column() != column) {
                    continue; // spanned from another place
                }
                ++cells_;
                QTextCharFormat format = cell.format();
                if (holdAll(format,
                            {QTextFormat::TableCellTopPadding, QTextFormat::TableCellBottomPadding,
                             QTextFormat::TableCellLeftPadding, QTextFormat::TableCellRightPadding,
                             QTextFormat::TableCellTopBorder, QTextFormat::TableCellBottomBorder,
                             QTextFormat::TableCellLeftBorder,
                             QTextFormat::TableCellRightBorder})) {
                    cell.setFormat(format);
                    held_ = true;
                }
            }
        }
    }

    static bool holdFrame(QTextFrameFormat& format) {
        bool held = holdAll(format, {QTextFormat::FrameBorder, QTextFormat::FrameMargin,
                                     QTextFormat::FramePadding, QTextFormat::FrameTopMargin,
                                     QTextFormat::FrameBottomMargin, QTextFormat::FrameLeftMargin,
                                     QTextFormat::FrameRightMargin, QTextFormat::TableCellSpacing,
                                     QTextFormat::TableCellPadding});
        const QTextLength height = format.height();
        if (height.type() == QTextLength::FixedLength && height.rawValue() > kMaxBoxLength) {
            format.setHeight(QTextLength(QTextLength::FixedLength, kMaxBoxLength));
            held = true;
        }
        return held;
    }

    static bool holdBlock(QTextBlockFormat& format) {
        bool held = holdAll(format, {QTextFormat::BlockTopMargin, QTextFormat::BlockBottomMargin,
                                     QTextFormat::BlockLeftMargin, QTextFormat::BlockRightMargin,
                                     QTextFormat::TextIndent});
        const bool proportional = format.lineHeightType() == QTextBlockFormat::ProportionalHeight;
        if (format.lineHeightType() != QTextBlockFormat::SingleHeight &&
            format.lineHeight() > (proportional ? 200 : kMaxLineHeight)) {
            format.setLineHeight(proportional ? 200 : kMaxLineHeight, format.lineHeightType());
            held = true;
        }
        return held;
    }

    static bool holdChars(QTextCharFormat& format) {
        bool held = hold(format, QTextFormat::FontPointSize, kMaxFontSize);
        // Stored as a whole number, unlike the other sizes.
        if (format.intProperty(QTextFormat::FontPixelSize) > kMaxFontSize) {
            format.setProperty(QTextFormat::FontPixelSize, kMaxFontSize);
            held = true;
        }
        if (format.isImageFormat()) {
            held = hold(format, QTextFormat::ImageWidth, kMaxPictureSide) || held;
            held = hold(format, QTextFormat::ImageHeight, kMaxPictureSide) || held;
        }
        return held;
    }

    QTextDocument& doc_;
    QList<HeldChars> heldChars_;
    int cells_ = 0;
    bool held_ = false;
};

// Qt's reading of a page, with its stylesheets from the view's loader and
// nothing else read: it is never laid out, so it needs no pictures.
class ProbeDocument : public QTextDocument {
public:
    ProbeDocument(const QUrl& url, const StyleSheetLoader& load) : url_(url), load_(load) {}

protected:
    QVariant loadResource(int type, const QUrl& name) override {
        if (type != QTextDocument::StyleSheetResource) {
            return {};
        }
        return load_(name.isRelative() ? url_.resolved(name) : name);
    }

private:
    QUrl url_;
    const StyleSheetLoader& load_;
};

} // namespace

std::optional<QString> checkedPage(QStringView page, const QUrl& url, int& styleRules,
                                   const StyleSheetLoader& loadStyleSheet) {
    std::optional<QString> text = MarkupScan(page, styleRules).run();
    if (!text) {
        return std::nullopt;
    }
    ProbeDocument probe(url, loadStyleSheet);
    probe.setHtml(*text);
    DocumentCheck check(probe);
    if (!check.run()) {
        return std::nullopt;
    }
    return check.held() ? probe.toHtml() : text;
}

bool countStyleSheet(QStringView css, int& styleRules) {
    styleRules += int(css.count(u'{') + css.count(u','));
    return styleRules <= kMaxStyleRules;
}

} // namespace pageguard
