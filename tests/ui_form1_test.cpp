// The real window, driven as a user drives it: menu items, typing, Enter and
// clicks; checks what is on screen afterwards.
#include "calc/catalogue.h"
#include "calc/inputlimit.h"
#include "tests/clicklink.h"
#include "tests/uitest.h"
#include "ui/application.h"
#include "ui/form1.h"
#include "ui/helpview.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

namespace {

using uitest::answerMessage;
using uitest::calculate;
using uitest::captionsOf;
using uitest::child;
using uitest::linesOf;
using uitest::Message;
using uitest::results;
using uitest::texts;
using uitest::typeInto;

QStringList captions(Form1& w) {
    return texts<QLabel>(w, {"Label1", "Label2", "Label3", "Label4"});
}

void trigger(Form1& w, const char* item) {
    child<QAction>(w, item)->trigger();
}

// The four boxes' texts, Text2 to Text5.
QStringList boxes(Form1& w) {
    return texts<QLineEdit>(w, {"Text2", "Text3", "Text4", "Text5"});
}

QString shownPage(Form1& w) {
    return child<HelpView>(w, "WebBrowser1")->source().toLocalFile();
}

// Where a page of the program's own lies.
QString pageFile(Form1& w, const QString& name) {
    return QDir(w.adress()).filePath("html/" + name);
}

// The circuit menu's checked items, by object name.
QStringList checkedCircuits(Form1& w) {
    QStringList out;
    for (QAction* a : child<QMenu>(w, "mnuSel")->actions()) {
        if (a->isChecked()) {
            out << a->objectName();
        }
    }
    return out;
}

// A calculation asked for in circuit id: the boxes typed, the widget pressed
// with key (0: a mouse click), and the message that refuses it, if any.
struct Press {
    const char* id;
    QStringList inputs;
    const char* where;
    int key;
    const char* message = nullptr;
};

// What every box holds first, how more is put in, and what it holds then.
struct Insert {
    QString before, how, insert, after;
};

} // namespace

Q_DECLARE_METATYPE(Press)
Q_DECLARE_METATYPE(Insert)

class Form1Test : public uitest::FormTest {
    Q_OBJECT

private slots:
    void startupState() {
        Form1& w = form();
        QCOMPARE(w.windowTitle(), QStringLiteral("振荡电路计算器"));
        QCOMPARE(captions(w), captionsOf("startup"));
        QCOMPARE(results(w), (QStringList{"", "", "T=", "f="}));
        QCOMPARE(w.j(), calc::Mode{1});
        QCOMPARE(w.adress(), QCoreApplication::applicationDirPath());
        QCOMPARE(shownPage(w), pageFile(w, "kiv1.htm"));
        QVERIFY(!child<HelpView>(w, "WebBrowser1")->showsNotice());
        QCOMPARE(w.focusWidget(), child<QLineEdit>(w, "Text2"));
        QCOMPARE(boxes(w), QStringList(4, QString()));
        QCOMPARE(child<QLabel>(w, "Lable1")->text(), QStringLiteral("电路简介"));
        QVERIFY(!child<QLabel>(w, "Image1")->pixmap().isNull());
        // The start-up state calculates as the first circuit, whose page it shows.
        QCOMPARE(checkedCircuits(w), QStringList{"mnuRc1"});
    }

    // Every menu item, against what the core's catalogue says it selects
    // (calc_tests check the catalogue itself).
    void selection_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < calc::kCatalogue.size(); ++i) {
            if (calc::kCatalogue[i].kind != calc::EntryKind::Startup) {
                const std::string item(calc::kCatalogue[i].menuItem);
                QTest::newRow(item.c_str()) << int(i);
            }
        }
    }

    void selection() {
        QFETCH(int, index);
        const calc::CatalogueEntry& entry = calc::kCatalogue[std::size_t(index)];
        const std::string item(entry.menuItem);
        const calc::Selection selection = calc::select(entry);
        // Help keeps the captions of whatever was shown before (here start-up).
        QCOMPARE(selection.captions.has_value(), entry.kind != calc::EntryKind::Help);
        Form1& w = form();
        auto* view = child<HelpView>(w, "WebBrowser1");
        typeInto(w, {"1", "2", "3", "4"});
        trigger(w, item.c_str());
        const QString page =
            pageFile(w, QString::fromStdString(selection.page).section(QLatin1Char('\\'), -1));
        QCOMPARE(shownPage(w), page);
        QCOMPARE(captions(w), captionsOf(selection.captions ? entry.id : "startup"));
        QCOMPARE(int(w.j()), int(selection.mode));
        // A selection touches neither the inputs nor the results.
        QCOMPARE(boxes(w), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(results(w), (QStringList{"", "", "T=", "f="}));
        // The circuit chosen carries the check mark; help is no circuit.
        QCOMPARE(checkedCircuits(w), entry.kind == calc::EntryKind::Help
                                         ? QStringList{}
                                         : QStringList{QString::fromStdString(item)});
        // The top menus themselves run nothing.
        const int loaded = view->pagesLoaded();
        child<QMenu>(w, "mnuSel")->menuAction()->trigger();
        child<QMenu>(w, "mnuHelp")->menuAction()->trigger();
        QCOMPARE(int(w.j()), int(selection.mode));
        QCOMPARE(view->pagesLoaded(), loaded);
        // The same item again loads its page again.
        trigger(w, item.c_str());
        QCOMPARE(view->pagesLoaded(), loaded + 1);
        QCOMPARE(shownPage(w), page);
    }

    void menuTree() {
        Form1& w = form();
        // The designed two menus come first; a third, "工具", follows them
        // (checked with its dialog in ui_design_tests).
        const QList<QAction*> top = w.menuBar()->actions().mid(0, 2);
        QCOMPARE(w.menuBar()->actions().size(), 3);
        QCOMPARE(top[0]->menu()->objectName(), QStringLiteral("mnuSel"));
        QCOMPARE(top[0]->text(), QStringLiteral("选择电路"));
        QCOMPARE(top[1]->menu()->objectName(), QStringLiteral("mnuHelp"));
        QCOMPARE(top[1]->text(), QStringLiteral("帮助"));
        // Every item is its catalogue entry's, in the catalogue's order and
        // with that entry's text (the selection test triggers each one); help
        // alone is under 帮助.
        const QList<QAction*> sel = top[0]->menu()->actions();
        const QList<QAction*> help = top[1]->menu()->actions();
        QCOMPARE(sel.size() + help.size(), int(calc::kCatalogue.size()) - 1);
        std::size_t next = 1;
        for (QAction* a : sel + help) {
            const calc::CatalogueEntry& entry = calc::kCatalogue[next++];
            QCOMPARE(a->objectName(), QLatin1String(entry.menuItem.data(), entry.menuItem.size()));
            QCOMPARE(a->text(), QString::fromUtf8(entry.menuCaption.data(),
                                                  qsizetype(entry.menuCaption.size())));
            QCOMPARE(help.contains(a), entry.kind == calc::EntryKind::Help);
        }
        // The circuits take a check mark; help alone has a key, the usual one.
        for (QAction* a : sel) {
            QVERIFY(a->isCheckable());
        }
        QCOMPARE(help[0]->shortcut(), QKeySequence(QKeySequence::HelpContents));
        for (QAction* a : sel + help + top) {
            QVERIFY(!a->isSeparator());
            QCOMPARE(a->shortcut().isEmpty(), a != help[0]);
            QVERIFY(!a->text().contains('&'));
            QVERIFY(a->isEnabled() && a->isVisible());
        }
    }

    // The window shows the core's lines (calc_tests check their values), in
    // a mode without partial times and in one with them, whether Enter is
    // pressed in a box or on "计算". A refused calculation says why and leaves
    // the earlier lines; the boxes are left as typed either way.
    void calculation_data() {
        QTest::addColumn<Press>("row");
        QTest::newRow("start-up, Enter in a box")
            << Press{"startup", {"1", "1"}, "Text3", Qt::Key_Return};
        QTest::newRow("start-up, Enter on the button")
            << Press{"startup", {"1", "1"}, "Command1", Qt::Key_Return};
        QTest::newRow("555") << Press{"rc4", {"10", "10", "1"}, "Text3", Qt::Key_Return};
        // Which texts the core rejects is calc_tests' business; one will do.
        QTest::newRow("rejected") << Press{"rc1", {"0", "1"}, "Command1", 0, calc::kInputError};
        QTest::newRow("quartz, keypad Enter")
            << Press{"quartz1", {"1", "1"}, "Text2", Qt::Key_Enter, calc::kNoCalculation};
    }

    void calculation() {
        QFETCH(Press, row);
        Form1& w = form();
        typeInto(w, {"2", "2"});
        calculate(w);
        const QStringList earlier = results(w);
        QCOMPARE(earlier, linesOf(calc::startupSelection().mode, {"2", "2"}));

        const calc::CatalogueEntry& entry = *calc::entryForId(row.id);
        if (!entry.menuItem.empty()) {
            trigger(w, std::string(entry.menuItem).c_str());
        }
        typeInto(w, row.inputs);
        QWidget* pressed = child<QWidget>(w, row.where);
        pressed->setFocus();
        const auto press = [&] {
            row.key ? QTest::keyClick(pressed, Qt::Key(row.key))
                    : QTest::mouseClick(pressed, Qt::LeftButton);
        };
        if (!row.message) {
            press();
            QCOMPARE(results(w), linesOf(entry.mode, row.inputs));
        } else {
            const Message m = answerMessage(press);
            QCOMPARE(m.text, QString::fromUtf8(row.message));
            QCOMPARE(m.title, w.windowTitle());
            QCOMPARE(m.buttons, QStringList{QStringLiteral("确定")});
            QCOMPARE(results(w), earlier);
        }
        QCOMPARE(boxes(w), row.inputs + QStringList(4 - row.inputs.size(), QString()));
    }

    // Lines of another circuit than the one shown keep their texts but are
    // greyed and name their circuit, until a calculation replaces them; a
    // rejected one replaces nothing.
    void resultsOfAnotherCircuitAreMarked() {
        Form1& w = form();
        const auto captionOf = [](const char* id) {
            const std::string_view caption = calc::entryForId(id)->menuCaption;
            return QString::fromUtf8(caption.data(), qsizetype(caption.size()));
        };
        // Each line's mark: "grey", its tooltip, and its accessible
        // description where that says something else.
        const auto marks = [&w] {
            QStringList out;
            for (const char* name : {"Label5", "Label6", "Label7", "Label8"}) {
                const QLabel* line = child<QLabel>(w, name);
                const bool grey = line->palette().color(QPalette::WindowText) !=
                                  w.palette().color(QPalette::WindowText);
                const QString said = line->accessibleDescription();
                out << QStringList{grey ? "grey" : "", line->toolTip(),
                                   said == line->toolTip() ? "" : said}
                           .join(u' ')
                           .trimmed();
            }
            return out;
        };
        trigger(w, "mnuRc4");
        typeInto(w, {"10", "10", "1"});
        calculate(w);
        const QStringList lines = results(w);
        QCOMPARE(marks(), QStringList(4, QString()));

        trigger(w, "mnuRc1");
        const QStringList rc4 =
            QStringList(4, QStringLiteral("grey 上次计算：") + captionOf("rc4"));
        QCOMPARE(marks(), rc4);
        QCOMPARE(results(w), lines);
        typeInto(w, {"0", "1"});
        answerMessage([&] { calculate(w); });
        QCOMPARE(marks(), rc4);
        QCOMPARE(results(w), lines);

        typeInto(w, {"1", "1"});
        calculate(w);
        QCOMPARE(marks(), QStringList(4, QString()));
    }

    void geometry() {
        struct Row {
            const char* name;
            int left, top, width, height;
        };
        // Twips, 15 to a pixel.
        const Row rows[] = {
            {"WebBrowser1", 3480, 360, 4935, 5655}, {"Command1", 2400, 1920, 855, 375},
            {"Text5", 1080, 1920, 1095, 375},       {"Text4", 1080, 1440, 1095, 375},
            {"Text3", 1080, 960, 1095, 375},        {"Text2", 1080, 480, 1095, 375},
            {"Label1", 120, 600, 735, 255},         {"Image1", 360, 4560, 3000, 900},
            {"Label8", 120, 3960, 2655, 375},       {"Label13", 4560, 240, 1215, 375},
            {"Label12", 840, 5640, 2415, 255},      {"Label7", 120, 3480, 2655, 255},
            {"Label6", 120, 3000, 2655, 255},       {"Label2", 120, 1080, 735, 255},
            {"Label5", 120, 2520, 2655, 255},       {"Label4", 120, 2040, 735, 255},
            {"Label3", 120, 1560, 735, 255},        {"Lable1", 3600, 120, 975, 255},
        };
        Form1& w = form();
        QWidget* client = w.centralWidget();
        QCOMPARE(client->size(), QSize(563, 404));
        QCOMPARE(client->y(), w.menuBar()->height());
        QStringList order;
        for (QObject* o : client->children()) {
            if (o->isWidgetType()) {
                order << o->objectName();
            }
        }
        QStringList expectedOrder;
        for (const Row& r : rows) {
            expectedOrder << r.name;
            QWidget* c = child<QWidget>(w, r.name);
            QCOMPARE(c->parentWidget(), client);
            QCOMPARE(c->geometry(), QRect(r.left / 15, r.top / 15, r.width / 15, r.height / 15));
        }
        QCOMPARE(order, expectedOrder);
        QCOMPARE(child<QLabel>(w, "Image1")->pixmap().size(), QSize(200, 60));
        // Fixed size, no maximize.
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    }

    void tabOrder() {
        Form1& w = form();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        child<QLineEdit>(w, "Text2")->setFocus();
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited,
                 (QStringList{"Text2", "Text3", "Text4", "Text5", "Command1", "WebBrowser1"}));
        for (QLabel* label : w.findChildren<QLabel*>()) {
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        }
    }

    // Every box holds ten UTF-16 units; a character beyond U+FFFF that does
    // not fit whole is refused rather than cut in half.
    void boxesHoldWholeCharacters_data() {
        QTest::addColumn<Insert>("row");
        const QString smile = QStringLiteral("😀");
        for (const char* how : {"paste", "key", "input method"}) {
            const QString h = QString::fromLatin1(how);
            QTest::addRow("%s, one unit left", how) << Insert{"123456789", h, smile, "123456789"};
            QTest::addRow("%s, two units left", how)
                << Insert{"12345678", h, smile, "12345678" + smile};
            QTest::addRow("%s, empty box", how) << Insert{"", h, smile, smile};
        }
        QTest::newRow("paste cut after a whole pair")
            << Insert{"", "paste", "1234567" + smile + smile, "1234567" + smile};
        QTest::newRow("paste of ten") << Insert{"", "paste", "1234567890", "1234567890"};
        QTest::newRow("paste cut after ten")
            << Insert{"", "paste", "振荡电路计算器振荡电路计算器", "振荡电路计算器振荡电"};
        QTest::newRow("eleven typed") << Insert{"", "typed", "12345678901", "1234567890"};
    }

    void boxesHoldWholeCharacters() {
        QFETCH(Insert, row);
        Form1& w = form();
        for (const char* name : {"Text2", "Text3", "Text4", "Text5"}) {
            QLineEdit* box = child<QLineEdit>(w, name);
            box->setFocus();
            QTest::keyClicks(box, row.before);
            QCOMPARE(box->text(), row.before);
            if (row.how == "paste") {
                QGuiApplication::clipboard()->setText(row.insert);
                QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            } else if (row.how == "typed") {
                QTest::keyClicks(box, row.insert);
            } else if (row.how == "key") {
                QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, row.insert, Qt::NoModifier);
            } else {
                QInputMethodEvent commit;
                commit.setCommitString(row.insert);
                QCoreApplication::sendEvent(box, &commit);
            }
        }
        QCOMPARE(boxes(w), QStringList(4, row.after));
        for (const QString& text : boxes(w)) {
            QVERIFY(text.isValidUtf16());
            // The window then calculates with exactly what osccalc accepts.
            QVERIFY(calc::fitsBox(text.toStdString()));
        }
        // Enter still presses "计算" (a validator could have blocked it).
        typeInto(w, {"1", "1"});
        QTest::keyClick(child<QLineEdit>(w, "Text3"), Qt::Key_Return);
        QCOMPARE(results(w)[calc::T], linesOf(1, {"1", "1"})[calc::T]);
    }

    // A link in the view to a circuit's page does what that page's menu item
    // does; inputs and result lines stay. Back and forward do the same.
    void linksSelectTheirCircuit() {
        Form1& w = form();
        auto* view = child<HelpView>(w, "WebBrowser1");
        typeInto(w, {"1", "1"});
        calculate(w);
        const QStringList before = results(w);

        // The page shown, the mode and the captions.
        const auto state = [&w] {
            return QStringList{shownPage(w), QString::number(int(w.j()))} + captions(w);
        };
        const auto expected = [&w](const char* page, int j, const char* captionsOf) {
            return QStringList{pageFile(w, page), QString::number(j)} +
                   uitest::captionsOf(captionsOf);
        };

        QVERIFY(clickLink(view, "help.htm"));
        QCOMPARE(state(), expected("help.htm", 7, "startup"));
        QCOMPARE(answerMessage([&] { calculate(w); }).text,
                 QString::fromUtf8(calc::kNoCalculation));

        QVERIFY(clickLink(view, "kiv4.htm"));
        QCOMPARE(state(), expected("kiv4.htm", 4, "rc4"));
        QCOMPARE(checkedCircuits(w), QStringList{"mnuRc4"});
        QCOMPARE(boxes(w), (QStringList{"1", "1", "", ""}));
        QCOMPARE(results(w), before);
        typeInto(w, {"10", "10", "1"});
        calculate(w);
        QCOMPARE(results(w), linesOf(4, {"10", "10", "1"}));

        // The view offers back and forward as Alt+Left and Alt+Right; help
        // keeps the captions shown before it.
        QTest::keyClick(view, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(state(), expected("help.htm", 7, "rc4"));
        QTest::keyClick(view, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(state(), expected("kiv1.htm", 1, "rc1"));
        QTest::keyClick(view, Qt::Key_Right, Qt::AltModifier);
        QTest::keyClick(view, Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(state(), expected("kiv4.htm", 4, "rc4"));

        // A menu item still does its own selection afterwards.
        trigger(w, "mnuLc4");
        QCOMPARE(state(), expected("kiv8.htm", 6, "lc4"));
    }

    void creditLinesStayBlueAndUnchanged() {
        Form1& w = form();
        QLabel* credit = child<QLabel>(w, "Label12");
        QLabel* label13 = child<QLabel>(w, "Label13");
        const QString text = credit->text();
        QVERIFY(!text.isEmpty());
        QVERIFY(credit->fontMetrics().horizontalAdvance(text) <= credit->width());
        trigger(w, "mnuLc4");
        typeInto(w, {"1", "1", "1", "1"});
        calculate(w);
        trigger(w, "mnuHelp1");
        for (QLabel* l : {credit, label13}) {
            QCOMPARE(l->palette().color(QPalette::WindowText), QColor(0, 0, 255));
            QVERIFY(!l->testAttribute(Qt::WA_SetFont));
        }
        QCOMPARE(credit->text(), text);
        QVERIFY(label13->text().isEmpty());
    }

    // The desktop gets every drawn size, and the scalable drawing is the
    // same picture as the largest one.
    void windowIconHasEveryDrawnSize() {
        const QIcon icon = form().windowIcon();
        for (const int size : {16, 32, 48, 64, 128}) {
            QVERIFY2(icon.availableSizes().contains(QSize(size, size)),
                     qPrintable(QString::number(size)));
            QCOMPARE(icon.pixmap(QSize(size, size)).size(), QSize(size, size));
        }
        QSvgRenderer svg(QStringLiteral(OSC_RESOURCES_DIR "/icon.svg"));
        QVERIFY(svg.isValid());
        QImage drawn(128, 128, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::white);
        QPainter painter(&drawn);
        svg.render(&painter);
        painter.end();
        QImage png = icon.pixmap(QSize(128, 128))
                         .toImage()
                         .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QImage flat(128, 128, QImage::Format_ARGB32_Premultiplied);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, png);
        // Anti-aliasing differs at the edges; a wrong drawing differs far more.
        qint64 difference = 0;
        for (int y = 0; y < 128; ++y) {
            for (int x = 0; x < 128; ++x) {
                const QRgb a = drawn.pixel(x, y), b = flat.pixel(x, y);
                difference += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) +
                              qAbs(qBlue(a) - qBlue(b));
            }
        }
        const double mean = double(difference) / (128 * 128 * 3);
        QVERIFY2(mean < 8, qPrintable(QString::number(mean)));
    }

    // The program copied with its pages into a folder whose path has spaces
    // and Chinese characters, and once without its pages.
    void relocatedProgram_data() {
        QTest::addColumn<bool>("withPages");
        QTest::newRow("with pages") << true;
        QTest::newRow("html missing") << false;
    }

    void relocatedProgram() {
        QFETCH(bool, withPages);
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString folder = tmp.filePath(QStringLiteral("振荡 电路 calc"));
        QVERIFY(QDir().mkpath(folder + "/html"));
        const QString exe =
            folder + "/" + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), exe));
        if (withPages) {
            const QString src = QCoreApplication::applicationDirPath() + "/html/kiv1.htm";
            QVERIFY(QFile::copy(src, folder + "/html/kiv1.htm"));
        } else {
            QVERIFY(QDir(folder + "/html").removeRecursively());
        }
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("OSC_PROBE"), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(exe, {});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
        QVERIFY2(lines.size() >= 4, qPrintable(lines.join('|')));
        QCOMPARE(lines[0], QDir(folder).canonicalPath());
        QCOMPARE(lines[1], QDir(folder).canonicalPath() + "/html/kiv1.htm");
        QCOMPARE(lines[2], withPages ? QStringLiteral("page") : QStringLiteral("notice"));
        QCOMPARE(lines[3], linesOf(1, {"1", "1"})[calc::T]);
    }
};

// Run inside a relocated copy: report what the window shows, then calculate.
static int probe(const QString&) {
    Form1 w;
    w.show();
    auto* view = w.findChild<HelpView*>(QStringLiteral("WebBrowser1"));
    typeInto(w, {"1", "1"});
    calculate(w);
    QTextStream out(stdout);
    out << QDir(w.adress()).canonicalPath() << '\n'
        << view->source().toLocalFile() << '\n'
        << (view->showsNotice() ? "notice" : "page") << '\n'
        << results(w)[calc::T] << '\n';
    return 0;
}

int main(int argc, char* argv[]) {
    return uitest::run<Form1Test>(argc, argv, "OSC_PROBE", probe);
}

#include "ui_form1_test.moc"
