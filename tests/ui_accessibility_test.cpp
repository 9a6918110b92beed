// What a screen reader is told about the window, read through Qt's
// accessibility interfaces, and the copyable result lines.
#include "tests/uitest.h"
#include "ui/helpview.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

using uitest::child;

const QStringList kOneOne{"1", "1"};

// Drags the mouse across the whole text of a result line; the point it ends at.
QPoint selectWithMouse(QLabel* line) {
    const QPoint from(1, line->height() / 2);
    const QPoint to(line->fontMetrics().horizontalAdvance(line->text()) + 4, line->height() / 2);
    QTest::mousePress(line, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, line->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(line, &move);
    QTest::mouseRelease(line, Qt::LeftButton, {}, to);
    return to;
}

void calculateOneOne(Form1& w) {
    QTest::keyClicks(child<QLineEdit>(w, "Text2"), "1");
    QTest::keyClicks(child<QLineEdit>(w, "Text3"), "1");
    child<QPushButton>(w, "Command1")->click();
}

} // namespace

class AccessibilityTest : public uitest::FormTest {
    Q_OBJECT

private slots:
    // What a screen reader says of each control: the boxes by their
    // captions at start-up and after a selection, the button, the view, its
    // heading and the picture, and the result lines as they are shown.
    void controlsAreNamed_data() {
        QTest::addColumn<QString>("before"); // a menu item chosen, or "1 1" typed and calculated
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("role"); // -1 where any will do
        QTest::addColumn<QString>("name");
        const auto row = [](const QString& before, const QString& control, int role,
                            const QString& name) {
            QTest::addRow("%s %s", before.isEmpty() ? "start-up" : qPrintable(before),
                          qPrintable(control))
                << before << control << role << name;
        };
        for (const char* id : {"startup", "lc4"}) {
            const QStringList captions = uitest::captionsOf(id);
            for (int i = 0; i < 4; ++i) {
                row(id == QStringLiteral("lc4") ? "mnuLc4" : "",
                    QStringLiteral("Text%1").arg(i + 2), QAccessible::EditableText, captions[i]);
            }
        }
        row("", "Command1", QAccessible::Button, QStringLiteral("计算"));
        row("", "WebBrowser1", -1, QStringLiteral("电路简介"));
        row("", "Lable1", -1, QStringLiteral("电路简介"));
        row("", "Image1", -1, QStringLiteral("振荡电路计算器"));
        const QStringList lines = uitest::linesOf(1, kOneOne);
        row("1 1", "Label7", QAccessible::StaticText, lines[calc::T]);
        row("1 1", "Label8", -1, lines[calc::F]);
    }

    void controlsAreNamed() {
        QFETCH(QString, before);
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        Form1& w = form();
        if (before == "1 1") {
            calculateOneOne(w);
        } else if (!before.isEmpty()) {
            w.findChild<QAction*>(before)->trigger();
        }
        QWidget* c = child<QWidget>(w, qPrintable(control));
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
        QVERIFY(a);
        QVERIFY2(role == -1 || a->role() == role, qPrintable(QString::number(a->role())));
        QCOMPARE(a->text(QAccessible::Name), name);
    }

    // F1, wherever the focus is, shows the help page as its menu item does.
    void f1ShowsTheHelpPage() {
        Form1& w = form();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        const calc::CatalogueEntry& help = calc::kCatalogue.back();
        QCOMPARE(help.kind, calc::EntryKind::Help);
        QCOMPARE(child<HelpView>(w, "WebBrowser1")->source().fileName(),
                 QString::fromUtf8(help.page.data(), help.page.size()).section(u'\\', -1));
    }

    void messageTextIsReadable() {
        Form1& w = form();
        w.findChild<QAction*>(QStringLiteral("mnuQuartz1"))->trigger();
        QString read;
        const auto click = [&] { child<QPushButton>(w, "Command1")->click(); };
        QVERIFY(uitest::withModal<QMessageBox>(click, [&](QMessageBox& box) {
            // The text a screen reader reads is somewhere in the box's tree.
            QList<QAccessibleInterface*> todo{QAccessible::queryAccessibleInterface(&box)};
            while (!todo.isEmpty()) {
                QAccessibleInterface* n = todo.takeFirst();
                if (n->text(QAccessible::Name).contains(QStringLiteral("不用计算！"))) {
                    read = n->text(QAccessible::Name);
                }
                for (int i = 0; i < n->childCount(); ++i) {
                    todo << n->child(i);
                }
            }
            box.buttons().first()->click();
        }));
        QCOMPARE(read, QStringLiteral("不用计算！"));
    }

    void resultLinesCanBeCopiedButTakeNoFocus() {
        Form1& w = form();
        calculateOneOne(w);
        for (const char* name : {"Label5", "Label6", "Label7", "Label8"}) {
            auto* l = child<QLabel>(w, name);
            QVERIFY(l->textInteractionFlags() & Qt::TextSelectableByMouse);
            QCOMPARE(l->focusPolicy(), Qt::NoFocus);
        }
        // Select Label7's text with the mouse and copy it.
        QWidget* focused = w.focusWidget();
        QVERIFY(focused);
        auto* t = child<QLabel>(w, "Label7");
        const QPoint to = selectWithMouse(t);
        const QString shown = uitest::linesOf(1, kOneOne)[calc::T];
        QCOMPARE(t->selectedText(), shown);
        QCOMPARE(w.focusWidget(), focused);

        // The context menu offers "复制" (Qt's Chinese text), and it copies.
        QGuiApplication::clipboard()->clear();
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, to, t->mapToGlobal(to));
        QApplication::sendEvent(t, &menuEvent);
        // The menu pops up without blocking.
        QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QAction* copy = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->text().startsWith(QStringLiteral("复制"))) {
                copy = a;
            }
        }
        QVERIFY2(copy, qPrintable(menu->actions().isEmpty() ? QString("empty")
                                                            : menu->actions().first()->text()));
        QVERIFY(copy->isEnabled());
        copy->trigger();
        menu->close();
        QCOMPARE(QGuiApplication::clipboard()->text(), shown);
    }

    // Ctrl+C goes to the focused box, which has nothing of the line; the
    // last text selected, in the line or in a box, is what it copies.
    void ctrlCCopiesTheLastSelection() {
        Form1& w = form();
        calculateOneOne(w);
        auto* box = child<QLineEdit>(w, "Text3");
        box->setFocus();
        box->selectAll();
        auto* t = child<QLabel>(w, "Label7");
        selectWithMouse(t);
        QCOMPARE(w.focusWidget(), box);
        QGuiApplication::clipboard()->clear();
        QTest::keySequence(box, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), t->text());

        box->selectAll();
        QTest::keySequence(box, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), box->text());
    }
};

int main(int argc, char* argv[]) {
    return uitest::run<AccessibilityTest>(argc, argv);
}

#include "ui_accessibility_test.moc"
