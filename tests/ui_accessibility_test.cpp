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
#include <QTimer>

#include <memory>

namespace {

QAccessibleInterface* accessible(QWidget& w, const char* name) {
    QWidget* c = w.findChild<QWidget*>(QString::fromLatin1(name));
    return c ? QAccessible::queryAccessibleInterface(c) : nullptr;
}

QString nameOf(QWidget& w, const char* name) {
    QAccessibleInterface* a = accessible(w, name);
    return a ? a->text(QAccessible::Name) : QStringLiteral("<none>");
}

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
    QTest::keyClicks(w.findChild<QLineEdit*>(QStringLiteral("Text2")), "1");
    QTest::keyClicks(w.findChild<QLineEdit*>(QStringLiteral("Text3")), "1");
    w.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
}

} // namespace

class AccessibilityTest : public uitest::FormTest {
    Q_OBJECT

private slots:
    void inputBoxesAreNamedByTheirCaptions() {
        Form1& w = form();
        const char* boxes[] = {"Text2", "Text3", "Text4", "Text5"};
        const QStringList startup = uitest::captionsOf("startup");
        for (int i = 0; i < 4; ++i) {
            QAccessibleInterface* a = accessible(w, boxes[i]);
            QVERIFY(a);
            QCOMPARE(a->role(), QAccessible::EditableText);
            QCOMPARE(a->text(QAccessible::Name), startup[i]);
        }

        w.findChild<QAction*>(QStringLiteral("mnuLc4"))->trigger();

        const QStringList lc4 = uitest::captionsOf("lc4");
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(nameOf(w, boxes[i]), lc4[i]);
        }
    }

    void buttonViewAndHeadingHaveNames() {
        Form1& w = form();
        QAccessibleInterface* button = accessible(w, "Command1");
        QVERIFY(button);
        QCOMPARE(button->role(), QAccessible::Button);
        QCOMPARE(button->text(QAccessible::Name), QStringLiteral("计算"));
        QCOMPARE(nameOf(w, "WebBrowser1"), QStringLiteral("电路简介"));
        QCOMPARE(nameOf(w, "Lable1"), QStringLiteral("电路简介"));
        QCOMPARE(nameOf(w, "Image1"), QStringLiteral("振荡电路计算器"));
    }

    void resultLinesReadAsShown() {
        Form1& w = form();
        QTest::keyClicks(w.findChild<QLineEdit*>(QStringLiteral("Text2")), "1");
        QTest::keyClicks(w.findChild<QLineEdit*>(QStringLiteral("Text3")), "1");
        w.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QAccessibleInterface* t = accessible(w, "Label7");
        QVERIFY(t);
        QCOMPARE(t->role(), QAccessible::StaticText);
        const QStringList lines = uitest::linesOf(1, {"1", "1", "", ""});
        QCOMPARE(t->text(QAccessible::Name), lines[calc::T]);
        QCOMPARE(nameOf(w, "Label8"), lines[calc::F]);
    }

    // F1, wherever the focus is, shows the help page as its menu item does.
    void f1ShowsTheHelpPage() {
        Form1& w = form();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        const calc::CatalogueEntry& help = calc::kCatalogue.back();
        QCOMPARE(help.kind, calc::EntryKind::Help);
        QCOMPARE(w.findChild<HelpView*>(QStringLiteral("WebBrowser1"))->source().fileName(),
                 QString::fromUtf8(help.page.data(), help.page.size()).section(u'\\', -1));
    }

    void messageTextIsReadable() {
        Form1& w = form();
        w.findChild<QAction*>(QStringLiteral("mnuQuartz1"))->trigger();
        QString read;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                return;
            }
            // The text a screen reader reads is somewhere in the box's tree.
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(box);
            QList<QAccessibleInterface*> todo{a};
            while (!todo.isEmpty()) {
                QAccessibleInterface* n = todo.takeFirst();
                if (n->text(QAccessible::Name).contains(QStringLiteral("不用计算！"))) {
                    read = n->text(QAccessible::Name);
                }
                for (int i = 0; i < n->childCount(); ++i) {
                    todo << n->child(i);
                }
            }
            box->buttons().first()->click();
        });
        w.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QCOMPARE(read, QStringLiteral("不用计算！"));
    }

    void resultLinesCanBeCopiedButTakeNoFocus() {
        Form1& w = form();
        calculateOneOne(w);
        for (const char* name : {"Label5", "Label6", "Label7", "Label8"}) {
            auto* l = w.findChild<QLabel*>(QString::fromLatin1(name));
            QVERIFY(l->textInteractionFlags() & Qt::TextSelectableByMouse);
            QCOMPARE(l->focusPolicy(), Qt::NoFocus);
        }
        // Select Label7's text with the mouse and copy it.
        QWidget* focused = w.focusWidget();
        QVERIFY(focused);
        auto* t = w.findChild<QLabel*>(QStringLiteral("Label7"));
        const QPoint to = selectWithMouse(t);
        const QString shown = uitest::linesOf(1, {"1", "1", "", ""})[calc::T];
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
        auto* box = w.findChild<QLineEdit*>(QStringLiteral("Text3"));
        box->setFocus();
        box->selectAll();
        auto* t = w.findChild<QLabel*>(QStringLiteral("Label7"));
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
