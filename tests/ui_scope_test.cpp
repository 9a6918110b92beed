// The "仿真波形" window as a user reaches it: from the 工具 menu, following
// "计算" and circuit changes, cancelled and superseded runs, what it says
// when there is nothing to simulate, and its exports. With OSC_SCOPE_SHOT set
// to a file name, also saves a picture of the window (the circuit and boxes
// from OSC_SCOPE_CIRCUIT and OSC_SCOPE_BOXES, "rc4" and "10 10 1" unless told).
#include "calc/catalogue.h"
#include "calc/waveform.h"
#include "sim/engine.h"
#include "ui/form1.h"
#include "ui/scopeview.h"
#include "ui/scopewindow.h"

#include "tests/pagemarkers.h"
#include "tests/uitest.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <cmath>
#include <sstream>

namespace {

using uitest::child;

const calc::Inputs kRc4{"10", "10", "1", ""};

// Pixels near the channel's colour in the view's screen: the trace's ink.
int inkOf(ScopeView& view, std::size_t channel) {
    const QImage image = view.grab().toImage();
    const QRect screen =
        ScopeView::screenRect(QRectF(QPointF(0, 0), view.size())).toRect().adjusted(2, 2, -2, -2);
    const QColor want = ScopeView::channelColour(channel);
    int ink = 0;
    for (int y = screen.top(); y <= screen.bottom(); ++y) {
        for (int x = screen.left(); x <= screen.right(); ++x) {
            const QColor c = image.pixelColor(x * image.width() / view.width(),
                                              y * image.height() / view.height());
            ink += std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
                       std::abs(c.blue() - want.blue()) <
                   60;
        }
    }
    return ink;
}

} // namespace

class ScopeWindowTest : public uitest::FormTest {
    Q_OBJECT

    void choose(const char* id, const calc::Inputs& boxes) {
        const calc::CatalogueEntry* entry = calc::entryForId(id);
        form()
            .findChild<QAction*>(
                QString::fromUtf8(entry->menuItem.data(), qsizetype(entry->menuItem.size())))
            ->trigger();
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            child<QLineEdit>(form(), ("Text" + std::to_string(i + 2)).c_str())
                ->setText(QString::fromStdString(boxes[i]));
        }
    }
    void calculate() { child<QPushButton>(form(), "Command1")->click(); }
    // The circuit and its boxes chosen, "计算" pressed unless told not to,
    // and the scope window opened from the menu.
    ScopeWindow* openOn(const char* id, const calc::Inputs& boxes, bool calculated = true) {
        choose(id, boxes);
        if (calculated) {
            calculate();
        }
        return open();
    }
    ScopeWindow* open() {
        form().findChild<QAction*>(QStringLiteral("mnuScope"))->trigger();
        return form().scopeWindow();
    }
    // Waits for the run shown to end; false after 20 s.
    static bool finished(ScopeWindow* w) {
        QSignalSpy spy(w, &ScopeWindow::runFinished);
        return !w->running() || spy.wait(20000);
    }

private slots:
    void opensWithIdealTraceAtOnce() {
        ScopeWindow* w = openOn("rc4", kRc4);
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // Drawn before any simulation: the formula's two channels.
        QVERIFY(w->running());
        QCOMPARE(w->view()->picture().channels.size(), std::size_t(2));
        QVERIFY(inkOf(*w->view(), 0) > 100);
        QVERIFY(inkOf(*w->view(), 1) > 100);
        QVERIFY2(finished(w) && w->simulation(), qPrintable(w->status()));
        QCOMPARE(w->simulation()->outcome, sim::Simulation::Outcome::Oscillates);
        QVERIFY(!w->view()->picture().channels[0].simulated.time.empty());
    }

    // A second "计算" while the first runs: only the second's result lands,
    // and a circuit change follows.
    void followsAndSupersedes() {
        ScopeWindow* w = openOn("rc4", kRc4, false);
        calculate();
        child<QLineEdit>(form(), "Text4")->setText(QStringLiteral("0.5"));
        calculate();
        QVERIFY(finished(w));
        QThreadPool::globalInstance()->waitForDone(5000);
        QCoreApplication::processEvents();
        QVERIFY2(w->simulation(), qPrintable(w->status()));
        const auto p = *calc::periods(4, {10, 10, 0.5, 0});
        QCOMPARE(w->simulation()->formula.t, p.t / 1000);

        choose("rc3", {"10", "0.1", "", ""});
        QVERIFY2(finished(w) && w->simulation(), qPrintable(w->status()));
        QCOMPARE(w->simulation()->netlist.probe, std::string("out"));
        QVERIFY(w->simulation()->netlist.text.find("rc3") != std::string::npos);
    }

    void cancelLeavesNoResult() {
        ScopeWindow* w = openOn("lc4", {"164", "680", "68", "680"}, false);
        QVERIFY(w->running());
        QSignalSpy finishedRuns(w, &ScopeWindow::runFinished);
        child<QPushButton>(*w, "scopeCancel")->click();
        QVERIFY(!w->running());
        QThreadPool::globalInstance()->waitForDone(5000);
        QCoreApplication::processEvents();
        QVERIFY(!w->simulation());
        QCOMPARE(finishedRuns.count(), 0);
        QVERIFY(!w->status().isEmpty());
    }

    // Nothing to simulate: empty boxes, a quartz circuit, the help page.
    void saysWhyNothingIsShown() {
        ScopeWindow* w = open();
        for (const char* id : {"rc2", "quartz1", "help"}) {
            choose(id, {"", "", "", ""});
            QVERIFY(!w->running());
            QVERIFY(!w->simulation());
            QVERIFY(!w->status().isEmpty());
            QCOMPARE(w->view()->picture().note, w->status());
            QCOMPARE(w->view()->picture().timePerDiv, 0.0);
        }
    }

    // The exports: a picture in each format, samples whose rising edges are
    // the readout's period apart, and a one-page report whose text names
    // every input.
    void exportsPictureSamplesAndReport() {
        ScopeWindow* w = openOn("rc4", kRc4, false);
        QVERIFY2(finished(w) && w->simulation(), qPrintable(w->status()));
        QTemporaryDir dir;
        const auto contents = [&](const char* name) {
            QFile file(dir.filePath(name));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QVERIFY(w->savePicture(dir.filePath("scope.png")));
        QVERIFY(!QImage(dir.filePath("scope.png")).isNull());
        QVERIFY(w->savePicture(dir.filePath("scope.svg")));
        QVERIFY(contents("scope.svg").contains("<svg"));
        QVERIFY(w->saveSamples(dir.filePath("scope.csv")));
        QVERIFY(w->saveNetlist(dir.filePath("scope.cir")));
        QVERIFY(w->saveReport(dir.filePath("report.pdf")));
        const QByteArray pdf = contents("report.pdf");
        QVERIFY(pdf.startsWith("%PDF"));
        QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r"), 1);
        if (const QByteArray shot = qgetenv("OSC_REPORT_SHOT"); !shot.isEmpty()) {
            QVERIFY(QFile::copy(dir.filePath("report.pdf"), QString::fromLocal8Bit(shot)));
        }

        QFile csv(dir.filePath("scope.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly | QIODevice::Text));
        csv.readLine();
        const sim::Measurement& m = w->simulation()->measurement;
        std::vector<double> rises;
        double lastT = 0;
        double lastV = 0;
        while (!csv.atEnd()) {
            const QList<QByteArray> cells = csv.readLine().trimmed().split(',');
            const double t = cells[0].toDouble();
            const double v = cells[1].toDouble();
            if (lastV < m.middle && v >= m.middle && t > m.firstEdge - m.period / 4) {
                rises.push_back(lastT + (m.middle - lastV) / (v - lastV) * (t - lastT));
            }
            lastT = t;
            lastV = v;
        }
        QVERIFY(rises.size() >= 2);
        const double period = (rises.back() - rises.front()) / double(rises.size() - 1);
        QVERIFY2(std::abs(period / m.period - 1) < 0.01, qPrintable(QString::number(period)));
        const QString text = w->allText();
        QVERIFY(text.contains(QString::fromStdString(calc::readable(m.frequency, "Hz"))));
        for (const auto& caption : calc::entryForId("rc4")->captions) {
            if (caption != calc::kNone) {
                QVERIFY(text.contains(QString::fromUtf8(caption.data(), caption.size()) +
                                      QStringLiteral(" = ")));
            }
        }
    }

    // Going round the window with Tab: every stop has a name a screen
    // reader says, and the readout and the table are among them, the
    // readout read as shown and the table cell by cell.
    void tabReachesNamedReadoutAndTable() {
        ScopeWindow* w = openOn("rc4", kRc4);
        QVERIFY(finished(w));
        QApplication::setActiveWindow(w);
        QVERIFY(QTest::qWaitForWindowActive(w));
        auto* choice = child<QComboBox>(*w, "scopeViewChoice");
        choice->setFocus();
        QSet<QWidget*> reached;
        for (QWidget* f = choice; !reached.contains(f); f = QApplication::focusWidget()) {
            reached << f;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(f);
            QVERIFY2(!a->text(QAccessible::Name).isEmpty(), qPrintable(f->objectName()));
            QTest::keyClick(f, Qt::Key_Tab);
        }
        // Round the whole window: no control keeps Tab to itself.
        QCOMPARE(QApplication::focusWidget(), choice);
        auto* readout = child<QLabel>(*w, "scopeReadout");
        auto* table = child<QTableWidget>(*w, "scopeTable");
        QVERIFY(reached.contains(readout));
        QVERIFY(reached.contains(table));
        QCOMPARE(QAccessible::queryAccessibleInterface(readout)->text(QAccessible::Name),
                 readout->text());
        QAccessibleTableInterface* cells =
            QAccessible::queryAccessibleInterface(table)->tableInterface();
        QVERIFY(cells);
        QCOMPARE(cells->rowCount(), table->rowCount());
        QCOMPARE(cells->cellAt(0, 2)->text(QAccessible::Name), table->item(0, 2)->text());
    }

    // The tolerance row gives each page's first tolerance figure: the band's
    // ends are the page's f lines, its deviations the page's.
    void toleranceRowAsThePageGivesIt() {
        ScopeWindow* w = open();
        for (const calc::CatalogueEntry& entry : calc::kCatalogue) {
            if (entry.kind != calc::EntryKind::Circuit || entry.mode == 7) {
                continue;
            }
            QFile page(QCoreApplication::applicationDirPath() + QStringLiteral("/html/") +
                       QString::fromUtf8(entry.page.data(), qsizetype(entry.page.size()))
                           .section(u'\\', -1));
            QVERIFY(page.open(QIODevice::ReadOnly));
            const auto marked = pagetest::markedSections(page.readAll().toStdString(), "tolerance");
            QVERIFY(!marked.empty());
            const std::vector<std::string>& fields = marked.front().fields;
            // "rc4 10 10 1": the id, then the values of the boxes used, in order.
            std::istringstream nominal(fields[0]);
            std::string id;
            nominal >> id;
            calc::Inputs boxes;
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                if (entry.captions[i] != calc::kNone) {
                    nominal >> boxes[i];
                }
            }
            choose(id.c_str(), boxes);
            calculate();
            auto hz = [](const std::string& line) { // "f=6.167MHz"
                const std::size_t unit = line.find_first_not_of("f=0123456789.");
                const double scale = line[unit] == 'M' ? 1e6 : line[unit] == 'k' ? 1e3 : 1.0;
                return std::stod(line.substr(2)) * scale;
            };
            auto table = child<QTableWidget>(*w, "scopeTable");
            int row = 0;
            while (row < table->rowCount() &&
                   !table->item(row, 0)->text().startsWith(QStringLiteral("f 范围"))) {
                ++row;
            }
            QVERIFY2(row < table->rowCount(), id.c_str());
            // "38.17～63.29 Hz", the page's two f lines read as the table writes f.
            const QStringList ends = table->item(row, 1)->text().split(u'～');
            QCOMPARE(ends.size(), 2);
            QVERIFY(
                QString::fromStdString(calc::readable(hz(fields[4]), "Hz")).startsWith(ends[0]));
            QCOMPARE(ends[1], QString::fromStdString(calc::readable(hz(fields[2]), "Hz")));
            QCOMPARE(table->item(row, 3)->text(),
                     QString::fromStdString(fields[5] + "～" + fields[3]).replace(u'%', "") + " %");
        }
        w->close();
    }

    void screenshot() {
        const QByteArray file = qgetenv("OSC_SCOPE_SHOT");
        if (file.isEmpty()) {
            QSKIP("OSC_SCOPE_SHOT not set");
        }
        const QString id = qEnvironmentVariable("OSC_SCOPE_CIRCUIT", QStringLiteral("rc4"));
        const QStringList values =
            qEnvironmentVariable("OSC_SCOPE_BOXES", QStringLiteral("10 10 1")).split(u' ');
        calc::Inputs boxes;
        for (qsizetype i = 0; i < values.size() && i < 4; ++i) {
            boxes[std::size_t(i)] = values[i].toStdString();
        }
        ScopeWindow* w = openOn(qPrintable(id), boxes);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(finished(w));
        // OSC_SCOPE_STARTUP: the start-up view instead of the settled one.
        child<QComboBox>(*w, "scopeViewChoice")
            ->setCurrentIndex(qEnvironmentVariableIsSet("OSC_SCOPE_STARTUP") ? 1 : 0);
        QTest::qWait(50);
        QVERIFY(w->grab().save(QString::fromLocal8Bit(file)));
    }
};

int main(int argc, char* argv[]) {
    return uitest::run<ScopeWindowTest>(argc, argv);
}
#include "ui_scope_test.moc"
