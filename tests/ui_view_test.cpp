// The page view and the result lines where they meet hostile or unusual
// conditions: special and oversized files, links out of the html folder,
// pictures on a scaled screen or without an SVG reader, and result lines in
// exponent form. Registered twice: at scale 1 and with QT_SCALE_FACTOR=2.
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
    void cleanup() { HelpView::setImageReaders(std::nullopt); }

    // Each case runs in a child process that is killed if it is not done in
    // time: the fault being guarded against is a view that never returns.
    void readsOnlyBoundedRegularFiles_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("shown");   // "page" or "notice"
        QTest::addColumn<QString>("wording"); // in the shown text
        QTest::newRow("ordinary page") << "plain.htm"
                                       << "page"
                                       << "普通的页";
        QTest::newRow("FIFO as page") << "fifo.htm"
                                      << "notice"
                                      << "无法显示此页";
        QTest::newRow("link to /dev/zero as page") << "zero.htm"
                                                   << "notice"
                                                   << "无法显示此页";
        QTest::newRow("oversized page") << "big.htm"
                                        << "notice"
                                        << "无法显示此页";
        QTest::newRow("folder as page") << "folder.htm"
                                        << "notice"
                                        << "无法显示此页";
        QTest::newRow("missing page") << "missing.htm"
                                      << "notice"
                                      << "无法显示此页";
        QTest::newRow("empty page") << "empty.htm"
                                    << "notice"
                                    << "此页为空";
        QTest::newRow("special pictures and stylesheet") << "hostile.htm"
                                                         << "page"
                                                         << "图";
    }

    void readsOnlyBoundedRegularFiles() {
#ifndef Q_OS_UNIX
        QSKIP("needs FIFOs and /dev/zero");
#else
        QFETCH(QString, page);
        QFETCH(QString, shown);
        QFETCH(QString, wording);
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QDir dir(tmp.path());
        const QByteArray head = "<html><head><meta charset=\"utf-8\"></head><body>";
        QVERIFY(writeFile(dir.filePath("plain.htm"), head + "<p>普通的页</p></body></html>"));
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("fifo.htm")).constData(), 0600), 0);
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("fifo.png")).constData(), 0600), 0);
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("fifo.css")).constData(), 0600), 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), dir.filePath("zero.htm")));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), dir.filePath("zero.svg")));
        QByteArray big = head + "<p>";
        big.append(QByteArray(HelpView::kMaxPageBytes, 'x'));
        QVERIFY(writeFile(dir.filePath("big.htm"), big));
        QVERIFY(writeFile(dir.filePath("big.png"), QByteArray(HelpView::kMaxPictureBytes + 1, 0)));
        QVERIFY(dir.mkdir("folder.htm"));
        QVERIFY(writeFile(dir.filePath("empty.htm"), {}));
        QVERIFY(writeFile(dir.filePath("hostile.htm"),
                          "<html><head><meta charset=\"utf-8\">"
                          "<link rel=\"stylesheet\" href=\"fifo.css\"></head><body><p>图</p>"
                          "<img src=\"zero.svg\" width=\"20\" height=\"20\">"
                          "<img src=\"fifo.png\"><img src=\"big.png\">"
                          "<img src=\"/dev/zero\"></body></html>"));

        const QStringList out = shownInChild(dir.filePath(page));
        QVERIFY2(out.size() >= 2, "the view crashed or did not finish within 15 s");
        QCOMPARE(out[0], shown);
        QVERIFY2(out[1].contains(wording), qPrintable(out[1]));
#endif
    }

    // Pages that crashed the view or kept it busy for minutes, and a page
    // beyond each limit that guards against them (ui/pageguard.h): refused,
    // or shown with its sizes held to the limits.
    void hostilePagesAreBounded_data() {
        using namespace pageguard;
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("shown");   // "page" or "notice"
        QTest::addColumn<QString>("wording"); // in the shown text
        const QString refused = QStringLiteral("无法显示此页");
        const auto tables = [](const char* level) { return QByteArray(level).repeated(400); };
        QTest::newRow("tables in tables") << tables("<table><tr><td>") << "notice" << refused;
        QTest::newRow("closing tags in comments")
            << tables("<table><tr><td><!--</td></tr></table>-->") << "notice" << refused;
        // The second <p> closes the <b>, so Qt ignores </b>: the tables nest.
        QTest::newRow("closing tag of a closed element")
            << tables("<p><b><p><table><tr><td></b>") << "notice" << refused;
        QTest::newRow("elements in elements")
            << QByteArray("<div>").repeated(kMaxDepth + 1) << "notice" << refused;
        QTest::newRow("links in links")
            << QByteArray("<link>").repeated(kMaxDepth + 1) << "notice" << refused;
        QTest::newRow("elements") << "<ul>" + QByteArray("<li>x</li>").repeated(kMaxElements)
                                  << "notice" << refused;
        QTest::newRow("line breaks")
            << "<pre>" + QByteArray(kMaxLineBreaks + 1, '\n') << "notice" << refused;
        QTest::newRow("run without a space")
            << "<p>" + QByteArray(kMaxRun + 1, 'a') << "notice" << refused;
        QTest::newRow("style rules")
            << "<style>" + QByteArray("p{}").repeated(kMaxStyleRules + 1) + "</style><p>x"
            << "notice" << refused;
        QTest::newRow("character reference in a style")
            << QByteArray("<p style=\"font-size:1&#48;00000pt\">x") << "page"
            << "x";
        // Qt fills each row up to the widest with cells of their own.
        QTest::newRow("rows of wide cells")
            << "<table border=1>" +
                   QByteArray("<tr><td colspan=\"1000000\">a</td></tr>").repeated(200)
            << "notice" << refused;
        QTest::newRow("rows of wide cells, 4 KB")
            << "<table border=1>" +
                   QByteArray("<tr><td colspan=\"100000\">a</td></tr>").repeated(100)
            << "notice" << refused;
        // Markup that Qt could read otherwise than the guard's count.
        QTest::newRow("closing tag in a value")
            << QByteArray("<b title=\"</b>\">").repeated(kMaxDepth + 1) << "notice" << refused;
        QTest::newRow("tables in tables, within the nesting")
            << tables("<table><tr><td>").left(15 * (kMaxTableDepth + 1)) + "t"
            << "notice" << refused;
        QTest::newRow("pictures")
            << "<p>" + QByteArray("<img src=\"x.png\">").repeated(kMaxPictures + 1) << "notice"
            << refused;
        // Each of the cells Qt fills in is a paragraph of its own, not a line break.
        QTest::newRow("more cells than line breaks")
            << "<table><tr><td colspan=\"50\">wide</td></tr>" +
                   QByteArray("<tr><td>c</td></tr>").repeated(kMaxLineBreaks / 50 + 4)
            << "page"
            << "wide";
        QTest::newRow("huge spans")
            << QByteArray("<table><tr><td colspan=\"1000000\" rowspan=\"1000000\">span</td>")
            << "page"
            << "span";
        QTest::newRow("huge font, word and picture")
            << "<p style=\"font-size:100000pt\">" + QByteArray(1000, 'W') +
                   "<img src=\"x.png\" width=\"100000\" height=\"100000\">"
            << "page"
            << "WWWW";
        QTest::newRow("huge margins")
            << QByteArray("<p style=\"margin-top:10000px\">m</p>").repeated(1000) << "page"
            << "m m";
        const auto tables300 = [](const char* table, const char* cell) {
            return (QByteArray(table) + "<tr><td" + cell + ">c d</td></tr></table>").repeated(300);
        };
        QTest::newRow("huge cell paddings of a table")
            << tables300("<table cellpadding=\"100000\">", "") << "page"
            << "c d";
        QTest::newRow("huge cell paddings of a cell")
            << tables300("<table>", " style=\"padding:100000px\"") << "page"
            << "c d";
        QTest::newRow("huge sizes in styles")
            << "<head><link rel=\"stylesheet\" type=\"text/css\" href=\"huge.css\">"
               "<style>p{margin-bottom:20000px}</style></head>" +
                   QByteArray("<p>m</p>").repeated(500)
            << "page"
            << "m m";
    }

    void hostilePagesAreBounded() {
        QFETCH(QByteArray, page);
        QFETCH(QString, shown);
        QFETCH(QString, wording);
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QDir dir(tmp.path());
        QVERIFY(writeFile(dir.filePath("huge.css"), "p { margin-top: 20000px }"));
        QVERIFY(writeFile(dir.filePath("hostile.htm"), page));
        const QStringList out = shownInChild(dir.filePath("hostile.htm"));
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
        QTest::newRow("http") << "http://127.0.0.1/page"
                              << "browser";
        QTest::newRow("https") << "https://127.0.0.1/page"
                               << "browser";
        QTest::newRow("mailto") << "mailto:someone@127.0.0.1"
                                << "stays";
        QTest::newRow("javascript") << "javascript:alert(1)"
                                    << "stays";
        QTest::newRow("absolute file URL") << "file:///etc/passwd"
                                           << "stays";
        QTest::newRow("climbing out") << "../../../../../../../../etc/passwd"
                                      << "stays";
        QTest::newRow("page beside the folder") << "../outside.htm"
                                                << "stays";
        QTest::newRow("not a page") << "style.css"
                                    << "stays";
        QTest::newRow("anchor on the page") << "#part"
                                            << "stays";
        QTest::newRow("page in the folder") << "b.htm"
                                            << "b.htm";
        QTest::newRow("missing page in the folder") << "gone.htm"
                                                    << "gone.htm";
    }

    void linksStayInTheHtmlFolder() {
        QFETCH(QString, href);
        QFETCH(QString, outcome);
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QDir dir(tmp.path());
        QVERIFY(dir.mkdir("html"));
        const QByteArray head = "<html><head><meta charset=\"utf-8\"></head><body>";
        QVERIFY(writeFile(dir.filePath("html/a.htm"),
                          head + "<p><a href=\"" + href.toUtf8() + "\">the link</a></p>" +
                              "<p><a name=\"part\">part</a></p></body></html>"));
        QVERIFY(writeFile(dir.filePath("html/b.htm"), head + "<p>page b</p></body></html>"));
        QVERIFY(writeFile(dir.filePath("html/style.css"), "p { color: black; }"));
        QVERIFY(writeFile(dir.filePath("outside.htm"), head + "<p>outside</p></body></html>"));

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
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QDir dir(tmp.path());
        QVERIFY(dir.mkdir("html"));
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
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QDir dir(tmp.path());
        QVERIFY(dir.mkdir("html"));
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
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QDir dir(tmp.path());
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
        w.findChild<QAction*>(item)->trigger();
        const char* boxes[] = {"Text2", "Text3", "Text4", "Text5"};
        for (int i = 0; i < inputs.size(); ++i) {
            QTest::keyClicks(w.findChild<QLineEdit*>(boxes[i]), inputs[i]);
        }
        w.findChild<QPushButton*>("Command1")->click();

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
        w.findChild<QAction*>("mnuRc1")->trigger();
        for (const char* box : boxes) {
            w.findChild<QLineEdit*>(box)->clear();
        }
        QTest::keyClicks(w.findChild<QLineEdit*>("Text2"), "1");
        QTest::keyClicks(w.findChild<QLineEdit*>("Text3"), "1");
        w.findChild<QPushButton*>("Command1")->click();
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
