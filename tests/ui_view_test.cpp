// The page view and the result lines where they meet hostile or unusual
// conditions: special and oversized files, links out of the html folder,
// pictures on a scaled screen or without an SVG reader, and result lines in
// exponent form. Registered at scale 1 and with QT_SCALE_FACTOR=2, and the
// picture stand-ins once more at 125 %.
#include "tests/clicklink.h"
#include "tests/uitest.h"
#include "ui/application.h"
#include "ui/form1.h"
#include "ui/helpview.h"
#include "ui/pageguard.h"
#include "ui/resultlabel.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <cmath>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

QString appHtml() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/html");
}

const QByteArray kHead = "<html><head><meta charset=\"utf-8\"></head><body>";

bool writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// The names of the pictures a document shows.
QStringList pictureNames(const QTextDocument* doc) {
    QStringList names;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat()) {
                names.append(format.toImageFormat().name());
            }
        }
    }
    names.removeDuplicates();
    return names;
}

QImage pictureOf(const QTextDocument* doc, const QString& name) {
    return doc->resource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
}

// Saves a screenshot when OSC_VIEW_SHOTS names a folder, for looking at.
void saveShot(QWidget& widget, const QString& name) {
    const QString folder = qEnvironmentVariable("OSC_VIEW_SHOTS");
    if (folder.isEmpty()) {
        return;
    }
    QDir().mkpath(folder);
    const QString file =
        QStringLiteral("%1/%2-dpr%3.png").arg(folder, name).arg(widget.devicePixelRatioF());
    widget.grab().save(file);
}

// Shows `page` in a child process (see probe()) and returns what it printed:
// "page" or "notice", the text shown, then the milliseconds it took. Empty
// if the child crashed or was not done within 15 s; it is killed then, the
// fault being guarded against is a view that never returns.
QStringList shownInChild(const QString& page) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OSC_VIEW_PROBE"), page);
    child.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    child.start(QCoreApplication::applicationFilePath(), {});
    if (!child.waitForFinished(15000)) {
        child.kill();
        child.waitForFinished();
        return {};
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        return {};
    }
    const QStringList out = QString::fromUtf8(child.readAllStandardOutput()).split(u'\n');
    qInfo("%s: %lld ms, %s ms in the view", qPrintable(QFileInfo(page).fileName()),
          qint64(clock.elapsed()), qPrintable(out.value(2)));
    return out;
}

// Marks a rendering so that a test can tell which file the view showed.
const QColor kMark1x(0, 255, 0);
const QColor kMark2x(0, 0, 255);

} // namespace

class ViewTest : public QObject {
    Q_OBJECT

public slots:
    // Stands in for the system's browser.
    void openInBrowser(const QUrl& url) { browserOpened_.append(url); }

private slots:
    // Each test function's own folder, with an html folder in it.
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        QVERIFY(dir().mkdir("html"));
    }
    void cleanup() {
        HelpView::setImageReaders(std::nullopt);
        tmp_.reset();
    }

    // Pages that crashed the view or kept it busy for minutes, files it
    // must not read (special, oversized or missing ones), and a page beyond
    // each limit that guards against them (ui/pageguard.h): refused, or
    // shown with its sizes held to the limits. Each row runs in a child
    // process that is killed if it is not done in time: the fault being
    // guarded against is a view that never returns.
    void hostilePagesAreBounded_data() {
        using namespace pageguard;
        QTest::addColumn<QString>("file"); // shown; hostile.htm holds `page`
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("shown");   // "page" or "notice"
        QTest::addColumn<QString>("wording"); // in the shown text
        const QString notice = QStringLiteral("notice");
        const QString refused = QStringLiteral("无法显示此页");
        const auto refuses = [&](const char* row, const QByteArray& page,
                                 const char* file = "hostile.htm") {
            QTest::newRow(row) << QString::fromLatin1(file) << page << notice << refused;
        };
        const auto shows = [](const char* row, const QByteArray& page, const char* wording) {
            QTest::newRow(row) << QStringLiteral("hostile.htm") << page << QStringLiteral("page")
                               << QString::fromUtf8(wording);
        };
        shows("ordinary page", kHead + "<p>普通的页</p></body></html>", "普通的页");
        refuses("oversized page", kHead + "<p>" + QByteArray(HelpView::kMaxPageBytes, 'x'));
        refuses("folder as page", {}, "folder.htm");
        refuses("missing page", {}, "missing.htm");
        QTest::newRow("empty page") << QStringLiteral("hostile.htm") << QByteArray() << notice
                                    << QStringLiteral("此页为空");
#ifdef Q_OS_UNIX
        refuses("FIFO as page", {}, "fifo.htm");
        refuses("link to /dev/zero as page", {}, "zero.htm");
        shows("special pictures and stylesheet",
              "<html><head><meta charset=\"utf-8\">"
              "<link rel=\"stylesheet\" href=\"fifo.css\"></head><body><p>图</p>"
              "<img src=\"zero.svg\" width=\"20\" height=\"20\">"
              "<img src=\"fifo.png\"><img src=\"big.png\"><img src=\"/dev/zero\"></body></html>",
              "图");
#endif
        const auto tables = [](const char* level) { return QByteArray(level).repeated(400); };
        refuses("tables in tables", tables("<table><tr><td>"));
        refuses("closing tags in comments", tables("<table><tr><td><!--</td></tr></table>-->"));
        // The second <p> closes the <b>, so Qt ignores </b>: the tables nest.
        refuses("closing tag of a closed element", tables("<p><b><p><table><tr><td></b>"));
        refuses("elements in elements", QByteArray("<div>").repeated(kMaxDepth + 1));
        refuses("links in links", QByteArray("<link>").repeated(kMaxDepth + 1));
        refuses("elements", "<ul>" + QByteArray("<li>x</li>").repeated(kMaxElements));
        refuses("line breaks", "<pre>" + QByteArray(kMaxLineBreaks + 1, '\n'));
        refuses("run without a space", "<p>" + QByteArray(kMaxRun + 1, 'a'));
        refuses("style rules",
                "<style>" + QByteArray("p{}").repeated(kMaxStyleRules + 1) + "</style><p>x");
        shows("character reference in a style", "<p style=\"font-size:1&#48;00000pt\">x", "x");
        // Qt fills each row up to the widest with cells of their own.
        const auto wideRows = [](const char* colspan, int rows) {
            return "<table border=1>" +
                   ("<tr><td colspan=\"" + QByteArray(colspan) + "\">a</td></tr>").repeated(rows);
        };
        refuses("rows of wide cells", wideRows("1000000", 200));
        refuses("rows of wide cells, 4 KB", wideRows("100000", 100));
        // Markup that Qt could read otherwise than the guard's count.
        refuses("closing tag in a value", QByteArray("<b title=\"</b>\">").repeated(kMaxDepth + 1));
        refuses("tables in tables, within the nesting",
                tables("<table><tr><td>").left(15 * (kMaxTableDepth + 1)) + "t");
        refuses("pictures", "<p>" + QByteArray("<img src=\"x.png\">").repeated(kMaxPictures + 1));
        // Each of the cells Qt fills in is a paragraph of its own, not a line break.
        shows("more cells than line breaks",
              "<table><tr><td colspan=\"50\">wide</td></tr>" +
                  QByteArray("<tr><td>c</td></tr>").repeated(kMaxLineBreaks / 50 + 4),
              "wide");
        shows("huge spans", "<table><tr><td colspan=\"1000000\" rowspan=\"1000000\">span</td>",
              "span");
        shows("huge font, word and picture",
              "<p style=\"font-size:100000pt\">" + QByteArray(1000, 'W') +
                  "<img src=\"x.png\" width=\"100000\" height=\"100000\">",
              "WWWW");
        shows("huge margins", QByteArray("<p style=\"margin-top:10000px\">m</p>").repeated(1000),
              "m m");
        const auto tables300 = [](const char* table, const char* cell) {
            return (QByteArray(table) + "<tr><td" + cell + ">c d</td></tr></table>").repeated(300);
        };
        shows("huge cell paddings of a table", tables300("<table cellpadding=\"100000\">", ""),
              "c d");
        shows("huge cell paddings of a cell", tables300("<table>", " style=\"padding:100000px\""),
              "c d");
        shows("huge sizes in styles",
              "<head><link rel=\"stylesheet\" type=\"text/css\" href=\"huge.css\">"
              "<style>p{margin-bottom:20000px}</style></head>" +
                  QByteArray("<p>m</p>").repeated(500),
              "m m");
    }

    void hostilePagesAreBounded() {
        QFETCH(QString, file);
        QFETCH(QByteArray, page);
        QFETCH(QString, shown);
        QFETCH(QString, wording);
        const QDir dir = this->dir();
        QVERIFY(writeFile(dir.filePath("hostile.htm"), page));
        QVERIFY(writeFile(dir.filePath("huge.css"), "p { margin-top: 20000px }"));
        QVERIFY(writeFile(dir.filePath("big.png"), QByteArray(HelpView::kMaxPictureBytes + 1, 0)));
        QVERIFY(dir.mkdir("folder.htm"));
#ifdef Q_OS_UNIX
        for (const char* fifo : {"fifo.htm", "fifo.png", "fifo.css"}) {
            QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(fifo)).constData(), 0600), 0);
        }
        for (const char* zero : {"zero.htm", "zero.svg"}) {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), dir.filePath(zero)));
        }
#endif
        const QStringList out = shownInChild(dir.filePath(file));
        QVERIFY2(out.size() >= 2, "the view crashed or did not finish within 15 s");
        QCOMPARE(out[0], shown);
        QVERIFY2(out[1].contains(wording), qPrintable(out[1].left(200)));
    }

    // The guard shows the pages as they are: nothing is held or rewritten.
    void pagesPassTheGuardAsTheyAre_data() {
        pages();
    }

    void pagesPassTheGuardAsTheyAre() {
        QFETCH(QString, page);
        const QString path = appHtml() + "/" + page;
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        int rules = 0;
        QStringList sheets;
        const auto load = [&](const QUrl& url) {
            sheets.append(url.fileName());
            QFile css(url.toLocalFile());
            return css.open(QIODevice::ReadOnly) ? QString::fromUtf8(css.readAll()) : QString();
        };
        QCOMPARE(pageguard::checkedPage(text, QUrl::fromLocalFile(path), rules, load), text);
        QCOMPARE(sheets, QStringList{"style.css"});
    }

    void linksStayInTheHtmlFolder_data() {
        QTest::addColumn<QString>("href");
        QTest::addColumn<QString>("outcome"); // "browser", "stays" or a page followed
        const QString browser = QStringLiteral("browser"), stays = QStringLiteral("stays");
        QTest::newRow("http") << "http://127.0.0.1/page" << browser;
        QTest::newRow("https") << "https://127.0.0.1/page" << browser;
        QTest::newRow("mailto") << "mailto:someone@127.0.0.1" << stays;
        QTest::newRow("javascript") << "javascript:alert(1)" << stays;
        QTest::newRow("absolute file URL") << "file:///etc/passwd" << stays;
        QTest::newRow("climbing out") << "../../../../../../../../etc/passwd" << stays;
        QTest::newRow("page beside the folder") << "../outside.htm" << stays;
        QTest::newRow("not a page") << "style.css" << stays;
        QTest::newRow("anchor on the page") << "#part" << stays;
        QTest::newRow("page in the folder") << "b.htm" << QStringLiteral("b.htm");
        QTest::newRow("missing page in the folder") << "gone.htm" << QStringLiteral("gone.htm");
    }

    void linksStayInTheHtmlFolder() {
        QFETCH(QString, href);
        QFETCH(QString, outcome);
        const QDir dir = this->dir();
        QVERIFY(writeFile(dir.filePath("html/a.htm"),
                          kHead + "<p><a href=\"" + href.toUtf8() + "\">the link</a></p>" +
                              "<p><a name=\"part\">part</a></p></body></html>"));
        QVERIFY(writeFile(dir.filePath("html/b.htm"), kHead + "<p>page b</p></body></html>"));
        QVERIFY(writeFile(dir.filePath("html/style.css"), "p { color: black; }"));
        QVERIFY(writeFile(dir.filePath("outside.htm"), kHead + "<p>outside</p></body></html>"));

        browserOpened_.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "openInBrowser");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openInBrowser");
        HelpView view;
        view.resize(HelpView::kSize);
        view.showPage(dir.path(), "\\html\\a.htm");
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy followed(&view, &HelpView::pageFollowed);
        const QUrl start = view.source();

        QVERIFY(clickLink(&view, href));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

        if (outcome == "browser") {
            QCOMPARE(browserOpened_, QList<QUrl>{QUrl(href)});
        } else {
            QVERIFY(browserOpened_.isEmpty());
        }
        if (outcome == "browser" || outcome == "stays") {
            QCOMPARE(view.source().adjusted(QUrl::RemoveFragment), start);
            QCOMPARE(followed.count(), 0);
            QVERIFY(view.toPlainText().contains(QStringLiteral("the link")));
        } else {
            QCOMPARE(view.source(), QUrl::fromLocalFile(dir.filePath("html/" + outcome)));
            QCOMPARE(followed.count(), 1);
            QCOMPARE(followed.at(0).at(0).toString(), outcome);
            QCOMPARE(view.showsNotice(), !QFile::exists(dir.filePath("html/" + outcome)));
        }
    }

    // A schematic is rendered for the screen's pixel ratio, not drawn at 1x
    // and enlarged; the document still lays it out at its own size.
    void picturesAtTheScreensPixelRatio_data() {
        pages();
    }

    void picturesAtTheScreensPixelRatio() {
        QFETCH(QString, page);
        HelpView view; // not shown: the window loads its first page so
        view.resize(HelpView::kSize);
        view.showPage(QCoreApplication::applicationDirPath(), ("\\html\\" + page).toStdString());
        QVERIFY(!view.showsNotice());
        const qreal ratio = view.devicePixelRatioF();
        // The scaled run must really see a scaled screen.
        if (qEnvironmentVariableIntValue("QT_SCALE_FACTOR") == 2) {
            QCOMPARE(ratio, 2.0);
        }
        const QStringList names = pictureNames(view.document());
        for (const QString& name : names) {
            const QImage image = pictureOf(view.document(), name);
            QVERIFY2(!image.isNull(), qPrintable(name));
            QCOMPARE(image.devicePixelRatio(), ratio);
            const QSize logical = QSvgRenderer(appHtml() + "/" + name).defaultSize();
            QCOMPARE(image.size(), (QSizeF(logical) * ratio).toSize());
        }
        if (page != "help.htm") {
            QVERIFY(!names.isEmpty());
        }
    }

    // Without an SVG reader (Windows builds have none) every picture of every
    // page comes from its PNG renderings, at 2x on any screen of ratio above 1.
    void pngStandInsWithoutSvgReader_data() {
        pages();
    }

    void pngStandInsWithoutSvgReader() {
        QFETCH(QString, page);
        const QDir dir = this->dir();
        for (QDirIterator it(appHtml(), QDir::Files); it.hasNext();) {
            const QFileInfo file(it.next());
            QVERIFY(QFile::copy(file.filePath(), dir.filePath("html/" + file.fileName())));
            if (file.suffix() != "svg") {
                continue;
            }
            QSvgRenderer renderer(file.filePath());
            QVERIFY(renderer.isValid());
            for (int scale : {1, 2}) {
                QImage png(renderer.defaultSize() * scale, QImage::Format_ARGB32);
                png.fill(Qt::white);
                QPainter painter(&png);
                renderer.render(&painter);
                painter.end();
                png.setPixelColor(0, 0, scale == 1 ? kMark1x : kMark2x);
                const QString suffix = scale == 1 ? ".png" : "@2x.png";
                QVERIFY(png.save(dir.filePath("html/" + file.completeBaseName() + suffix)));
            }
        }
        QList<QByteArray> readers = HelpView::imageReaders();
        readers.removeAll("svg");
        readers.removeAll("svgz");
        HelpView::setImageReaders(readers);

        HelpView view;
        view.resize(HelpView::kSize);
        view.showPage(dir.path(), ("\\html\\" + page).toStdString());
        QVERIFY(!view.showsNotice());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        saveShot(view, QStringLiteral("png-") + QFileInfo(page).completeBaseName());
        const bool twice = view.devicePixelRatioF() > 1.0;
        for (const QString& name : pictureNames(view.document())) {
            const QImage image = pictureOf(view.document(), name);
            const QSize logical = QSvgRenderer(appHtml() + "/" + name).defaultSize();
            QCOMPARE(image.devicePixelRatio(), twice ? 2.0 : 1.0);
            QCOMPARE(image.size(), logical * (twice ? 2 : 1));
            QCOMPARE(image.pixelColor(0, 0), twice ? kMark2x : kMark1x);
        }
    }

    // Without the renderings a picture gets the small missing-picture sign,
    // and so does a picture of a kind no reader knows.
    void missingPictureSign() {
        const QDir dir = this->dir();
        QVERIFY(QFile::copy(appHtml() + "/kiv1.htm", dir.filePath("html/kiv1.htm")));
        QVERIFY(QFile::copy(appHtml() + "/kiv1.svg", dir.filePath("html/kiv1.svg")));
        QVERIFY(writeFile(dir.filePath("html/x.unknown"), "data"));
        QVERIFY(QImage(1, 100, QImage::Format_RGB32).save(dir.filePath("html/thin.png")));
        HelpView::setImageReaders(QList<QByteArray>{"png"});
        HelpView view;
        view.showPage(dir.path(), "\\html\\kiv1.htm");
        // A picture too thin for its height would make the page as tall as
        // its width allowed times its own ratio.
        for (const char* name : {"kiv1.svg", "x.unknown", "not-there.png", "thin.png"}) {
            const QImage image = pictureOf(view.document(), QString::fromLatin1(name));
            QCOMPARE(image.size(), QSize(16, 16));
        }
    }

    // The pictures of a page share one allowance of decoded pixels, so a page
    // naming one large file under many names decodes it only while it lasts.
    void picturesShareOneAllowance() {
        const QDir dir = this->dir();
        // Two of these fit into the allowance, three do not.
        const int side = int(std::sqrt(HelpView::kMaxPicturePixels / 2.5));
        QImage big(side, side, QImage::Format_RGB32);
        big.fill(Qt::white);
        QVERIFY(big.save(dir.filePath("big.png")));
        QVERIFY(writeFile(dir.filePath("p.htm"), "<p><img src=\"big.png?1\"><img src=\"big.png?2\">"
                                                 "<img src=\"big.png?3\"></p>"));
        HelpView view;
        view.resize(HelpView::kSize);
        view.setSource(QUrl::fromLocalFile(dir.filePath("p.htm")));
        view.document()->documentLayout()->documentSize();
        QCOMPARE(pictureOf(view.document(), "big.png?1").size(), big.size());
        QCOMPARE(pictureOf(view.document(), "big.png?2").size(), big.size());
        QCOMPARE(pictureOf(view.document(), "big.png?3").size(), QSize(16, 16));
    }

    // The longest result lines the core makes (25 characters, numbers in
    // exponent form) show whole: the line grows to the right up to the
    // view, then shrinks its font.
    void resultLinesShowWhole_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<qreal>("fontScale"); // of the platform's default font
        const QList<std::pair<const char*, QStringList>> cases{
            {"mnuRc1", {"1000", "100"}},
            {"mnuRc4", {"4499724793", "5124789451", "947577582"}},
            {"mnuRc2", {"4151137839", "842392551", "6659916117", "7414381677"}},
            {"mnuLc4", {"6876722682", "9865394544", "282.64", "6."}},
        };
        for (qreal scale : {1.0, 1.6}) {
            for (const auto& [item, inputs] : cases) {
                QTest::addRow("%s %s, font x%.1f", item, qPrintable(inputs.join(u' ')), scale)
                    << QString::fromLatin1(item) << inputs << scale;
            }
        }
    }

    void resultLinesShowWhole() {
        QFETCH(QString, item);
        QFETCH(QStringList, inputs);
        QFETCH(qreal, fontScale);
        const QFont original = QApplication::font();
        QFont font = original;
        font.setPointSizeF(original.pointSizeF() * fontScale);
        QApplication::setFont(font);
        auto restore = qScopeGuard([&] { QApplication::setFont(original); });

        Form1 w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const int viewLeft = w.findChild<QWidget*>("WebBrowser1")->x();
        const auto calculate = [&](const QString& item, const QStringList& inputs) {
            w.findChild<QAction*>(item)->trigger();
            for (int i = 0; i < 4; ++i) {
                auto* box = w.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i + 2));
                box->clear();
                QTest::keyClicks(box, inputs.value(i));
            }
            w.findChild<QPushButton*>("Command1")->click();
        };
        calculate(item, inputs);

        int longest = 0;
        for (const char* name : {"Label5", "Label6", "Label7", "Label8"}) {
            auto* line = w.findChild<ResultLabel*>(name);
            const QString text = line->text();
            longest = std::max(longest, int(text.size()));
            QCOMPARE(line->x(), 8);
            QVERIFY2(line->geometry().right() < viewLeft, name);
            const qreal needed = QFontMetricsF(line->font(), line).horizontalAdvance(text);
            QVERIFY2(needed <= line->contentsRect().width(),
                     qPrintable(QStringLiteral("%1 \"%2\": %3 > %4")
                                    .arg(name, text)
                                    .arg(needed)
                                    .arg(line->contentsRect().width())));
            QVERIFY2(line->sizeHint().width() <= line->width(), name);
            // The font shrinks only once the line has grown as far as it may.
            if (line->font().pointSizeF() < font.pointSizeF()) {
                QCOMPARE(line->geometry().right(), viewLeft - 1);
            }
        }
        QCOMPARE(longest, 25);
        saveShot(w, QStringLiteral("results-%1-font%2").arg(item).arg(fontScale));

        // A short line afterwards is back at its designed width and font.
        calculate(QStringLiteral("mnuRc1"), {"1", "1"});
        auto* f = w.findChild<ResultLabel*>("Label8");
        if (fontScale == 1.0) {
            // As a fresh window has it (ui_form1_tests checks the layout).
            const Form1 fresh;
            QCOMPARE(f->width(), fresh.findChild<ResultLabel*>("Label8")->width());
            QVERIFY(!f->testAttribute(Qt::WA_SetFont));
        }
        QVERIFY(f->sizeHint().width() <= f->width());
    }

private:
    static void pages() {
        QTest::addColumn<QString>("page");
        const QStringList htm = QDir(appHtml()).entryList({QStringLiteral("*.htm")}, QDir::Files);
        QVERIFY(!htm.isEmpty());
        for (const QString& name : htm) {
            QTest::newRow(qPrintable(name)) << name;
        }
    }

    QDir dir() const {
        return QDir(tmp_->path());
    }

    std::unique_ptr<QTemporaryDir> tmp_;
    QList<QUrl> browserOpened_;
};

// Run as a child: show one page in the view and report what it shows.
static int probe(const QString& page) {
#if defined(Q_OS_UNIX) && !defined(__SANITIZE_ADDRESS__)
    // A view that reads a device without end fails here instead of taking
    // the machine's memory. (AddressSanitizer's shadow memory alone is
    // beyond any such limit.)
    const rlimit limit{rlim_t(1) << 30, rlim_t(1) << 30};
    setrlimit(RLIMIT_AS, &limit);
#endif
#ifdef Q_OS_UNIX
    // The stack of Windows' main thread: a layout recursing too deep fails
    // here as it would there.
    const rlimit stack{rlim_t(1) << 20, rlim_t(1) << 20};
    setrlimit(RLIMIT_STACK, &stack);
#endif
    HelpView view;
    view.resize(HelpView::kSize);
    QElapsedTimer clock;
    clock.start();
    view.setSource(QUrl::fromLocalFile(page));
    view.show();
    // All of the page, as the window lays it out after the first screen.
    view.document()->documentLayout()->documentSize();
    view.grab();
    const qint64 shown = clock.elapsed();
    saveShot(view, QStringLiteral("probe-") + QFileInfo(page).completeBaseName());
    QTextStream out(stdout);
    out << (view.showsNotice() ? "notice" : "page") << '\n'
        << view.toPlainText().simplified() << '\n'
        << shown << '\n';
    return 0;
}

int main(int argc, char* argv[]) {
    return uitest::run<ViewTest>(argc, argv, "OSC_VIEW_PROBE", probe);
}

#include "ui_view_test.moc"
