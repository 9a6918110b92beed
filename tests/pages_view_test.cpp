// The description pages as the window's view shows them: each schematic
// loads through Qt's SVG support at the size the page asks for, and each page
// in the window's own view class, at the view's size, decodes as UTF-8, loads its stylesheet
// and pictures, and needs no horizontal scrolling.

#include "calc/catalogue.h"
#include "tests/pagemarkers.h"
#include "ui/helpview.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>
#include <QUrl>

#include <string>

namespace {

// The source tree's pages; the package test points OSC_HTML_DIR at an
// installed copy.
const QString kHtmlDir = qEnvironmentVariable("OSC_HTML_DIR", QStringLiteral(OSC_HTML_DIR));

QString fileNameOf(std::string_view page) {
    // "\html\kiv4.htm" -> "kiv4.htm"
    const QString name = QString::fromUtf8(page.data(), qsizetype(page.size()));
    return name.section(QLatin1Char('\\'), -1);
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

// The <img> tags of a page as (src, width, height).
struct ImageRef {
    QString src;
    int width = 0;
    int height = 0;
};

QList<ImageRef> imagesOf(const QString& html) {
    static const QRegularExpression img(QStringLiteral("<img\\b[^>]*>"),
                                        QRegularExpression::CaseInsensitiveOption);
    auto attr = [](const QString& tag, const char* name) {
        const QRegularExpression re(QStringLiteral("\\b%1\\s*=\\s*\"([^\"]*)\"").arg(name),
                                    QRegularExpression::CaseInsensitiveOption);
        return re.match(tag).captured(1);
    };
    QList<ImageRef> refs;
    for (auto it = img.globalMatch(html); it.hasNext();) {
        const QString tag = it.next().captured(0);
        refs.append({attr(tag, "src"), attr(tag, "width").toInt(), attr(tag, "height").toInt()});
    }
    return refs;
}

// Whether a loaded image resource is a picture: the view may hand the
// document decoded images or the file's bytes.
bool isPicture(const QVariant& data) {
    switch (data.typeId()) {
    case QMetaType::QImage:
        return !data.value<QImage>().isNull();
    case QMetaType::QPixmap:
        return !data.value<QPixmap>().isNull();
    case QMetaType::QByteArray:
        return !QImage::fromData(data.toByteArray()).isNull();
    default:
        return false;
    }
}

// The window's own view, recording what the document asks for while it lays
// the page out.
class RecordingBrowser : public HelpView {
public:
    QStringList styleSheets; // file names loaded with content
    QStringList images;      // file names that decoded to a picture
    QStringList failed;      // anything that came back empty or undecodable

    QVariant loadResource(int type, const QUrl& name) override {
        const QVariant data = HelpView::loadResource(type, name);
        const QString file = name.fileName();
        if (type == QTextDocument::StyleSheetResource) {
            (data.toByteArray().isEmpty() ? failed : styleSheets).append(file);
        } else if (type == QTextDocument::ImageResource) {
            (isPicture(data) ? images : failed).append(file);
        }
        return data;
    }
};

// Shows a page in `view` at the window's size and paints its first screen;
// false if the window never came up.
bool showPage(HelpView& view, const QString& path) {
    view.resize(HelpView::kSize);
    view.setSource(QUrl::fromLocalFile(path));
    view.show();
    const bool exposed = QTest::qWaitForWindowExposed(&view);
    view.grab();
    return exposed;
}

// Text as the layout holds it, for comparing: no-break spaces as spaces,
// word joiners and the line separators of <br> dropped.
QString plain(QString text) {
    text.replace(QChar(0x00A0), QLatin1Char(' '));
    text.remove(QChar(0x2060));
    text.remove(QChar(0x2028));
    return text;
}

// The visible texts of the elements of a page matching `pattern` (one
// capture: the element's content).
QStringList contents(const QString& html, const QString& pattern) {
    QStringList texts;
    const QRegularExpression re(pattern, QRegularExpression::DotMatchesEverythingOption);
    for (auto it = re.globalMatch(html); it.hasNext();) {
        texts.append(plain(QTextDocumentFragment::fromHtml(it.next().captured(1)).toPlainText()));
    }
    return texts;
}

} // namespace

class PagesViewTest : public QObject {
    Q_OBJECT

private slots:
    void schematicLoads_data() {
        QTest::addColumn<QString>("file");
        const QStringList svgs = QDir(kHtmlDir).entryList({QStringLiteral("*.svg")}, QDir::Files);
        QVERIFY(!svgs.isEmpty());
        for (const QString& name : svgs) {
            QTest::newRow(qPrintable(name)) << name;
        }
    }

    void schematicLoads() {
        QFETCH(QString, file);
        const QString path = QDir(kHtmlDir).filePath(file);
        QSvgRenderer renderer(path);
        QVERIFY(renderer.isValid());
        // Width and height match the viewBox, so the picture is drawn 1:1.
        QCOMPARE(renderer.viewBoxF().size().toSize(), renderer.defaultSize());
        QVERIFY(renderer.defaultSize().width() <= 300);
        // The view loads pictures through the image plugins, not the renderer.
        QImageReader reader(path);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), renderer.defaultSize());
    }

    void pageRendersInTheView_data() { pages(); }

    // Each picture is asked for at its schematic's own size, and the view
    // decodes the page, loads its stylesheet and pictures and fits them.
    void pageRendersInTheView() {
        QFETCH(QString, file);
        QFETCH(QString, title);
        const QString path = QDir(kHtmlDir).filePath(file);
        const QString html = readText(path);
        QVERIFY(!html.isEmpty());
        QStringList expected;
        for (const ImageRef& ref : imagesOf(html)) {
            QSvgRenderer renderer(QDir(kHtmlDir).filePath(ref.src));
            QVERIFY2(renderer.isValid(), qPrintable(ref.src));
            QCOMPARE(QSize(ref.width, ref.height), renderer.defaultSize());
            expected.append(ref.src);
        }

        RecordingBrowser view;
        QVERIFY(showPage(view, path));
        // A mis-decoded page would not reproduce the Chinese title.
        QCOMPARE(view.documentTitle(), title);
        QCOMPARE(view.styleSheets, QStringList{QStringLiteral("style.css")});
        QVERIFY2(view.failed.isEmpty(), qPrintable(view.failed.join(u' ')));
        const auto distinct = [](QStringList files) {
            files.removeDuplicates();
            files.sort();
            return files;
        };
        QCOMPARE(distinct(view.images), distinct(expected));
        QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
    }

    // Each inline formula (span.nw) and each formula line sits on one line of
    // the view: a formula cut after "1/" is hard to read.
    void formulasStayOnOneLine_data() { pages(); }

    void formulasStayOnOneLine() {
        QFETCH(QString, file);
        const QString path = QDir(kHtmlDir).filePath(file);
        const QString html = readText(path);
        const QStringList inlineFormulas =
            contents(html, QStringLiteral("<span class=\"nw\">(.*?)</span>"));
        const QStringList formulaLines =
            contents(html, QStringLiteral("<p class=\"formula\">(.*?)</p>"));

        HelpView view;
        QVERIFY(showPage(view, path));
        // The view lays out only what it has shown; the rest of a long page
        // (its last sections) is laid out here, so that they are checked too.
        view.document()->documentLayout()->blockBoundingRect(view.document()->lastBlock());

        int checked = 0;
        for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next()) {
            const QTextLayout* layout = block.layout();
            QStringList lines;
            for (int i = 0; i < layout->lineCount(); ++i) {
                const QTextLine line = layout->lineAt(i);
                lines.append(plain(block.text().mid(line.textStart(), line.textLength())));
            }
            // Line starts in the block's plain text.
            QList<qsizetype> cuts;
            qsizetype pos = 0;
            for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
                pos += lines[i].size();
                cuts.append(pos);
            }
            const QString text = lines.join(QString());
            for (const QString& formula : inlineFormulas) {
                for (qsizetype at = text.indexOf(formula); at >= 0;
                     at = text.indexOf(formula, at + 1)) {
                    ++checked;
                    for (const qsizetype cut : cuts) {
                        QVERIFY2(cut <= at || cut >= at + formula.size(),
                                 qPrintable(QStringLiteral("\"%1\" broken as \"%2\"")
                                                .arg(formula, lines.join(QStringLiteral(" | ")))));
                    }
                }
            }
            // A formula paragraph breaks only where the page puts a <br>.
            if (formulaLines.contains(text)) {
                const int wanted = block.text().count(QChar(0x2028)) + 1;
                QVERIFY2(layout->lineCount() == wanted,
                         qPrintable(QStringLiteral("formula wraps: ") +
                                    lines.join(QStringLiteral(" | "))));
            }
        }
        // Every marked formula was found in the view's text.
        QVERIFY(checked >= inlineFormulas.size());
    }

private:
    static void pages() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QStringList seen;
        for (const auto& entry : calc::kCatalogue) {
            const QString file = fileNameOf(entry.page);
            if (entry.kind == calc::EntryKind::Startup || seen.contains(file)) {
                continue;
            }
            seen.append(file);
            QTest::newRow(qPrintable(file))
                << file << QString::fromStdString(pagetest::headingOf(entry.menuCaption));
        }
    }
};

QTEST_MAIN(PagesViewTest)
#include "pages_view_test.moc"
