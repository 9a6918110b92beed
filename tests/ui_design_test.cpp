// The "工具" menu and its design dialog, driven by keyboard and mouse as a
// user would; "填入" must make the window show exactly what the table said.
// With OSC_DESIGN_SHOT set to a file name, also saves a picture of the dialog.
#include "calc/numtext.h"
#include "ui/application.h"
#include "ui/designdialog.h"
#include "ui/form1.h"
#include "ui/helpview.h"
#include "ui/scopewindow.h"

#include "tests/clicklink.h"
#include "tests/uitest.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <cmath>
#include <functional>

namespace {

using uitest::child;

// Runs trigger, which opens the modal design dialog, and lets `use` drive it.
bool withDialog(const std::function<void()>& trigger,
                const std::function<void(DesignDialog&)>& use) {
    return uitest::withModal<DesignDialog>(trigger, [&](DesignDialog& d) {
        use(d);
        if (d.isVisible()) {
            d.reject();
        }
    });
}

// Starts a search, typing the target first when one is given; false when
// no answer came in time.
bool search(DesignDialog& d, const char* target = nullptr) {
    if (target) {
        child<QLineEdit>(d, "targetEdit")->setText(QString::fromUtf8(target));
    }
    child<QPushButton>(d, "searchButton")->click();
    return QTest::qWaitFor([&d] { return !d.searching(); });
}

// A search in the dialog of circuit id: its target, one more box typed into
// (none when field is ""), and what the status line then says.
struct Search {
    const char* id;
    const char* target;
    const char* field;
    const char* value;
    const char* says;
};

QStringList rowTexts(QTableWidget* t, int row) {
    QStringList texts;
    for (int c = 0; c < t->columnCount(); ++c) {
        texts << t->item(row, c)->text();
    }
    return texts;
}

} // namespace

Q_DECLARE_METATYPE(Search)

class DesignDialogTest : public uitest::FormTest {
    Q_OBJECT

public:
    // Offscreen, a dialog opened over a window that was waited for does not
    // get the keyboard focus; these tests type into it at once.
    DesignDialogTest() : FormTest(false) {}

private slots:
    void toolsMenuComesAfterHelp() {
        const QList<QAction*> top = form().menuBar()->actions();
        QCOMPARE(top.size(), 3);
        // The first two are ui_form1_tests' to check.
        QCOMPARE(top[1]->menu()->objectName(), QStringLiteral("mnuHelp"));
        QCOMPARE(top[2]->text(), QStringLiteral("工具"));
        const QList<QAction*> items = top[2]->menu()->actions();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]->text(), QStringLiteral("按目标频率选元件…"));
        QCOMPARE(items[1]->objectName(), QStringLiteral("mnuScope"));
    }

    void disabledWhereNothingComputes() {
        QMenu* tools = child<QMenu>(form(), "mnuTools");
        QAction* design = child<QAction>(form(), "mnuDesign");
        const struct {
            const char* item;
            bool enabled;
        } rows[] = {{"mnuRc4", true},      {"mnuQuartz1", false}, {"mnuLc4", true},
                    {"mnuQuartz2", false}, {"mnuRc1", true},      {"mnuHelp1", false}};
        for (const auto& row : rows) {
            child<QAction>(form(), row.item)->trigger();
            emit tools->aboutToShow();
            QVERIFY2(design->isEnabled() == row.enabled, row.item);
            if (!row.enabled) {
                QVERIFY(!design->toolTip().isEmpty());
            }
        }
    }

    // A page reached by a link selects its circuit, and the dialog then
    // designs for that circuit, not for the last one chosen from the menu.
    void designFollowsALinkedPage() {
        auto* view = child<HelpView>(form(), "WebBrowser1");
        QMenu* tools = child<QMenu>(form(), "mnuTools");
        QAction* design = child<QAction>(form(), "mnuDesign");
        child<QAction>(form(), "mnuHelp1")->trigger();
        QVERIFY(clickLink(view, "kiv4.htm"));
        emit tools->aboutToShow();
        QVERIFY(design->isEnabled());
        QString title;
        QVERIFY(withDialog([&] { design->trigger(); },
                           [&](DesignDialog& d) { title = d.windowTitle(); }));
        QVERIFY2(title.endsWith(QStringLiteral("RC多谐振荡电路（NE555)")), qPrintable(title));

        QVERIFY(clickLink(view, "help.htm"));
        emit tools->aboutToShow();
        QVERIFY(!design->isEnabled());
    }

    // Keyboard only: type the target, Enter searches, Down picks the second
    // row, Enter fills it in and the window calculates.
    void fillShowsWhatTheTablePromised() {
        child<QAction>(form(), "mnuRc4")->trigger();
        QStringList promised;
        calc::Inputs inputs;
        std::string support, duty;
        const bool opened =
            withDialog([&] { child<QAction>(form(), "mnuDesign")->trigger(); },
                       [&](DesignDialog& d) {
                           QVERIFY(QTest::qWaitForWindowActive(&d));
                           QLineEdit* target = child<QLineEdit>(d, "targetEdit");
                           QVERIFY(target->hasFocus());
                           QTest::keyClicks(target, QStringLiteral("1"));
                           QTest::keyClicks(child<QLineEdit>(d, "dutyEdit"), QStringLiteral("0.6"));
                           QTest::keyClick(target, Qt::Key_Return);
                           auto* table = child<QTableWidget>(d, "candidateTable");
                           QTRY_VERIFY(!d.searching());
                           QCOMPARE(table->rowCount(), 5);
                           QVERIFY(table->hasFocus());
                           QTest::keyClick(table, Qt::Key_Down);
                           QCOMPARE(table->currentRow(), 1);
                           promised = rowTexts(table, 1);
                           inputs = d.result().candidates.at(1).inputs;
                           support = calc::supportText(d.result().candidates.at(1).support);
                           duty = calc::threeDigits(*d.result().candidates.at(1).duty);
                           QTest::keyClick(table, Qt::Key_Return);
                           QVERIFY(!d.isVisible());
                       });
        QVERIFY(opened);
        // R1, R2, C, result, error, band, T1/T, the rest of the circuit, the
        // simulation (not asked for)
        QCOMPARE(promised.size(), 9);
        QCOMPARE(promised[6].toStdString(), duty);
        QCOMPARE(promised[7].toStdString(), support);
        QVERIFY(promised[8].isEmpty());
        const auto parts = calc::designInputs(*calc::entryForId("rc4"));
        for (int i = 0; i < 3; ++i) {
            // The boxes get the values the row shows with their units.
            const QString box =
                child<QLineEdit>(form(), qPrintable(QStringLiteral("Text%1").arg(i + 2)))->text();
            QCOMPARE(box.toStdString(), inputs[static_cast<std::size_t>(i)]);
            const calc::DesignInput& in = parts[static_cast<std::size_t>(i)];
            const auto shown =
                calc::parseQuantity(promised[i].toStdString(), calc::unitSymbol(in.kind));
            QVERIFY2(shown, qPrintable(promised[i]));
            QCOMPARE(shown->value.value(),
                     calc::toNumber(box.toStdString()) * std::pow(10.0, in.unitExponent));
        }
        QCOMPARE(uitest::results(form()).join(QStringLiteral("  ")), promised[3]);
    }

    // A wound coil: the table shows it and the standard coil beside it; the
    // box gets the wound value.
    void mouseFillOnTheCapacitiveThreePoint() {
        child<QAction>(form(), "mnuLc4")->trigger();
        QString promised;
        QVERIFY(withDialog(
            [&] { child<QAction>(form(), "mnuDesign")->trigger(); },
            [&](DesignDialog& d) {
                QCOMPARE(child<QComboBox>(d, "targetUnit")->currentText(), QStringLiteral("MHz"));
                child<QLineEdit>(d, "targetEdit")->setText(QStringLiteral("10.7"));
                child<QLineEdit>(d, "fixed1")->setText(QStringLiteral("0"));
                QTest::mouseClick(child<QPushButton>(d, "searchButton"), Qt::LeftButton);
                auto* table = child<QTableWidget>(d, "candidateTable");
                QTRY_VERIFY(!d.searching());
                QVERIFY(table->rowCount() > 0);
                QVERIFY(table->item(0, 0)->text().startsWith(QStringLiteral("≈")));
                QVERIFY(table->item(0, 1)->text().contains(QStringLiteral("MHz")));
                QCOMPARE(table->item(0, 2)->text(), QStringLiteral("0"));
                promised = table->item(0, 5)->text();
                QTest::mouseClick(child<QPushButton>(d, "fillButton"), Qt::LeftButton);
            }));
        QVERIFY(promised.endsWith(QStringLiteral("MHz")));
        QCOMPARE(uitest::results(form()).mid(2).join(QStringLiteral("  ")), promised);
    }

    // Every cell sits under its header, whether the coil is wound (a standard
    // one beside it) or kept at a value the user has (nothing beside it).
    void cellsStayUnderTheirHeaders() {
        const struct {
            const char* fixedCoil;
            bool standardShown;
        } rows[] = {{"", true}, {"1m", false}};
        for (const auto& row : rows) {
            DesignDialog d(*calc::entryForId("lc2"));
            child<QLineEdit>(d, "fixed0")->setText(QString::fromUtf8(row.fixedCoil));
            QVERIFY(search(d, "100kHz"));
            auto* table = child<QTableWidget>(d, "candidateTable");
            QVERIFY(table->rowCount() > 0);
            QStringList headers;
            for (int c = 0; c < table->columnCount(); ++c) {
                headers << table->horizontalHeaderItem(c)->text();
            }
            const calc::Candidate& first = d.result().candidates.front();
            const auto cell = [&](const char* header) {
                const int c = static_cast<int>(headers.indexOf(QString::fromUtf8(header)));
                return c < 0 || !table->item(0, c) ? QString() : table->item(0, c)->text();
            };
            QStringList lines;
            for (const std::string& line : first.lines) {
                if (!line.empty()) {
                    lines << QString::fromStdString(line);
                }
            }
            QCOMPARE(cell("计算结果"), lines.join(QStringLiteral("  ")));
            QCOMPARE(cell("误差").toStdString(), calc::errorText(first.errorPercent));
            QCOMPARE(cell("标准电感").contains(QStringLiteral(" → ")), row.standardShown);
            QCOMPARE(cell("其他元件").toStdString(), calc::supportText(first.support));
        }
    }

    // "仿真" fills the row in and shows it running on the scope with the rest
    // of the circuit the design chose.
    void simulateOpensTheScopeWithTheDesignsParts() {
        child<QAction>(form(), "mnuRc2")->trigger();
        QVERIFY(withDialog([&] { child<QAction>(form(), "mnuDesign")->trigger(); },
                           [&](DesignDialog& d) {
                               QVERIFY(search(d, "1k"));
                               child<QTableWidget>(d, "candidateTable")->selectRow(0);
                               child<QPushButton>(d, "simulateButton")->click();
                           }));
        ScopeWindow* w = form().scopeWindow();
        QVERIFY(w && w->isVisible());
        QSignalSpy spy(w, &ScopeWindow::runFinished);
        QVERIFY(!w->running() || spy.wait(20000));
        QVERIFY2(w->simulation(), qPrintable(w->status()));
        QVERIFY(w->simulation()->netlist.text.find("as the design chose it") != std::string::npos);
    }

    // What a search says; rows are found only where it says "找到", and an
    // LC tank's coil is wound ("≈"). Whatever it says, even a long warning,
    // the dialog keeps the width it opened with (it does not move under the
    // pointer), and that width shows every column.
    void searchSaysWhatHappened_data() {
        QTest::addColumn<Search>("row");
        QTest::newRow("no number") << Search{"rc4", "abc", "", "", "目标频率"};
        QTest::newRow("zero") << Search{"rc4", "0", "", "", "大于 0"};
        QTest::newRow("out of reach") << Search{"rc1", "999999", "", "", "可达范围"};
        QTest::newRow("duty below half") << Search{"rc4", "1", "dutyEdit", "0.4", "50%"};
        QTest::newRow("duty no number") << Search{"rc4", "1", "dutyEdit", "half", "占空比"};
        QTest::newRow("part too large") << Search{"rc2", "1", "fixed0", "1e9999", "“1e9999” 太大"};
        // Typed text is echoed as typed, never as markup.
        QTest::newRow("markup") << Search{"rc1", "1k", "fixed0", "<u>1</u>", "<u>1</u>"};
        QTest::newRow("555 with a duty") << Search{"rc4", "1k", "dutyEdit", "0.6", "找到"};
        QTest::newRow("multivibrator") << Search{"rc2", "1", "", "", "找到"};
        QTest::newRow("555 at 1585 Hz") << Search{"rc4", "1585", "", "", "找到"};
        QTest::newRow("555 at 400 kHz") << Search{"rc4", "400kHz", "", "", "找到"};
        QTest::newRow("LC, unit typed") << Search{"lc1", "455kHz", "", "", "找到"};
        QTest::newRow("three-point") << Search{"lc4", "100kHz", "", "", "找到"};
    }

    void searchSaysWhatHappened() {
        QFETCH(Search, row);
        const QString says = QString::fromUtf8(row.says);
        DesignDialog d(*calc::entryForId(row.id));
        d.show();
        const int width = d.width();
        if (*row.field) {
            child<QLineEdit>(d, row.field)->setText(QString::fromUtf8(row.value));
        }
        QVERIFY(search(d, row.target));
        const QLabel* status = child<QLabel>(d, "statusLabel");
        QVERIFY2(status->text().contains(says), qPrintable(status->text()));
        QCOMPARE(status->textFormat(), Qt::PlainText);
        auto* table = child<QTableWidget>(d, "candidateTable");
        const bool found = says == QStringLiteral("找到");
        QCOMPARE(table->rowCount() > 0, found);
        QCOMPARE(child<QPushButton>(d, "fillButton")->isEnabled(), found);
        if (found) {
            QCOMPARE(table->item(0, 0)->text().startsWith(QStringLiteral("≈")),
                     std::string_view(row.id).starts_with("lc"));
        }
        QTRY_VERIFY(table->horizontalHeader()->length() <= table->viewport()->width());
        QCOMPARE(d.width(), width);
    }

    // Numbers are read with "." whatever the desktop's locale.
    void numbersReadAPointInAnyLocale() {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        DesignDialog d(*calc::entryForId("rc1"));
        child<QLineEdit>(d, "resistorTolerance")->setText(QStringLiteral("2.5"));
        QVERIFY(search(d, "1k"));
        calc::DesignRequest r;
        r.targetHz = 1000;
        r.parts[0].tolerance = 2.5;
        const calc::Candidate expected = calc::design(*calc::entryForId("rc1"), r).candidates.at(0);
        QCOMPARE(d.result().candidates.at(0).fMaxHz, expected.fMaxHz);

        child<QLineEdit>(d, "resistorTolerance")->setText(QStringLiteral("2,5"));
        QVERIFY(search(d));
        auto* status = child<QLabel>(d, "statusLabel");
        QVERIFY2(status->text().contains(QStringLiteral("容差")), qPrintable(status->text()));
        QCOMPARE(child<QTableWidget>(d, "candidateTable")->rowCount(), 0);
        QLocale::setDefault(saved);
    }

    void everyControlHasAnAccessibleName() {
        for (const char* id : {"rc2", "rc4", "lc1", "lc4"}) {
            DesignDialog d(*calc::entryForId(id));
            for (QWidget* w : d.findChildren<QWidget*>()) {
                const bool control = qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                                     qobject_cast<QAbstractSpinBox*>(w) ||
                                     qobject_cast<QPushButton*>(w) ||
                                     qobject_cast<QTableWidget*>(w);
                // Spin boxes and combo boxes hold an editor of their own.
                const bool inner =
                    w->parentWidget() && (qobject_cast<QAbstractSpinBox*>(w->parentWidget()) ||
                                          qobject_cast<QComboBox*>(w->parentWidget()));
                if (control && !inner) {
                    QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
                }
            }
            // Only the circuits with two periods ask for a duty.
            const bool duty = d.findChild<QLineEdit*>(QStringLiteral("dutyEdit")) != nullptr;
            QCOMPARE(duty, std::string_view(id) == "rc2" || std::string_view(id) == "rc4");
        }
    }

    // With 仿真验证 the search also runs the simulator, off the GUI thread:
    // every row gets its figure, the first one within 5 % of the target.
    void simulateFillsTheColumn() {
        DesignDialog d(*calc::entryForId("lc4"));
        d.show();
        child<QLineEdit>(d, "targetEdit")->setText(QStringLiteral("0.455")); // MHz
        child<QCheckBox>(d, "simulateCheck")->setChecked(true);
        child<QPushButton>(d, "searchButton")->click();
        QVERIFY(d.searching());
        QTRY_VERIFY_WITH_TIMEOUT(!d.searching(), 20000);
        auto* table = child<QTableWidget>(d, "candidateTable");
        QCOMPARE(static_cast<std::size_t>(table->rowCount()), d.checks().size());
        const int column = table->columnCount() - 1;
        QCOMPARE(table->horizontalHeaderItem(column)->text(), QStringLiteral("仿真"));
        for (int row = 0; row < table->rowCount(); ++row) {
            QVERIFY2(table->item(row, column)->text().contains(QStringLiteral("起振")),
                     qPrintable(table->item(row, column)->text()));
        }
        QVERIFY(sim::confirms(d.checks().front(), 455e3));
    }

    // The search runs off the GUI thread, and a new one supersedes a running
    // one: only the newest target's answer reaches the table.
    void searchRunsInTheBackgroundAndTheNewestWins() {
        DesignDialog d(*calc::entryForId("rc2"));
        for (const char* id : {"resistorSeries", "capacitorSeries"}) {
            child<QComboBox>(d, id)->setCurrentText(QStringLiteral("E96"));
        }
        child<QLineEdit>(d, "targetEdit")->setText(QStringLiteral("1"));
        child<QPushButton>(d, "searchButton")->click();
        QVERIFY(d.searching());
        QVERIFY(search(d, "3.3"));
        const auto& found = d.result().candidates;
        QVERIFY(!found.empty());
        QVERIFY2(std::abs(found.front().frequencyHz / 3300 - 1) < calc::kGoodEnough,
                 qPrintable(QString::number(found.front().frequencyHz)));
    }

    void quartzDialogSaysSo() {
        DesignDialog d(*calc::entryForId("quartz1"));
        QVERIFY(!child<QPushButton>(d, "searchButton")->isEnabled());
        QVERIFY(child<QLabel>(d, "statusLabel")->text().contains(QStringLiteral("不用计算")));
    }

    void screenshot() {
        const QByteArray file = qgetenv("OSC_DESIGN_SHOT");
        if (file.isEmpty()) {
            QSKIP("OSC_DESIGN_SHOT not set");
        }
        DesignDialog d(*calc::entryForId("rc4"));
        child<QLineEdit>(d, "dutyEdit")->setText(QStringLiteral("0.6"));
        d.show();
        QVERIFY(search(d, "1"));
        QTest::qWait(50);
        QVERIFY(d.grab().save(QString::fromLocal8Bit(file)));
        // Under Xvfb, time for a whole-screen capture from outside.
        QTest::qWait(qEnvironmentVariableIntValue("OSC_DESIGN_HOLD_MS"));
    }
};

int main(int argc, char* argv[]) {
    return uitest::run<DesignDialogTest>(argc, argv);
}
#include "ui_design_test.moc"
