// What a screen reader is told about the window, read through Qt's
// accessibility interfaces, and the copyable result lines.
#include "ui/application.h"
#include "ui/form1.h"

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

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        form_ = std::make_unique<Form1>();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
    void cleanup() { form_.reset(); }

    void inputBoxesAreNamedByTheirCaptions() {
        Form1& w = *form_;
        const char* boxes[] = {"Text2", "Text3", "Text4", "Text5"};
        const QStringList startup{"R (kΩ)", "C (μF)", "None", "None"};
        for (int i = 0; i < 4; ++i) {
            QAccessibleInterface* a = accessible(w, boxes[i]);
            QVERIFY(a);
            QCOMPARE(a->role(), QAccessible::EditableText);
            QCOMPARE(a->text(QAccessible::Name), startup[i]);
        }

        w.findChild<QAction*>(QStringLiteral("mnuLc4"))->trigger();

        const QStringList lc4{"L (μH)", "C (pF)", "C1 (pF)", "C2 (pF)"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(nameOf(w, boxes[i]), lc4[i]);
        }
    }

    void buttonViewAndHeadingHaveNames() {
        Form1& w = *form_;
        QAccessibleInterface* button = accessible(w, "Command1");
        QVERIFY(button);
        QCOMPARE(button->role(), QAccessible::Button);
        QCOMPARE(button->text(QAccessible::Name), QStringLiteral("计算"));
        QCOMPARE(nameOf(w, "WebBrowser1"), QStringLiteral("电路简介"));
        QCOMPARE(nameOf(w, "Lable1"), QStringLiteral("电路简介"));
        QCOMPARE(nameOf(w, "Image1"), QStringLiteral("振荡电路计算器"));
    }

    void resultLinesReadAsShown() {
        Form1& w = *form_;
        QTest::keyClicks(w.findChild<QLineEdit*>(QStringLiteral("Text2")), "1");
        QTest::keyClicks(w.findChild<QLineEdit*>(QStringLiteral("Text3")), "1");
        w.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QAccessibleInterface* t = accessible(w, "Label7");
        QVERIFY(t);
        QCOMPARE(t->role(), QAccessible::StaticText);
        QCOMPARE(t->text(QAccessible::Name), QStringLiteral("T=6.2832ms"));
        QCOMPARE(nameOf(w, "Label8"), QStringLiteral("f=0.159154570919277kHz"));
    }

    void messageTextIsReadable() {
        Form1& w = *form_;
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
        Form1& w = *form_;
        QTest::keyClicks(w.findChild<QLineEdit*>(QStringLiteral("Text2")), "1");
        QTest::keyClicks(w.findChild<QLineEdit*>(QStringLiteral("Text3")), "1");
        w.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        for (const char* name : {"Label5", "Label6", "Label7", "Label8"}) {
            auto* l = w.findChild<QLabel*>(QString::fromLatin1(name));
            QVERIFY(l->textInteractionFlags() & Qt::TextSelectableByMouse);
            QCOMPARE(l->focusPolicy(), Qt::NoFocus);
        }
        // Select Label7's text with the mouse and copy it.
        QWidget* focused = w.focusWidget();
        QVERIFY(focused);
        auto* t = w.findChild<QLabel*>(QStringLiteral("Label7"));
        const QPoint from(1, t->height() / 2);
        const QPoint to(t->fontMetrics().horizontalAdvance(t->text()) + 4, t->height() / 2);
        QTest::mousePress(t, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, t->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(t, &move);
        QTest::mouseRelease(t, Qt::LeftButton, {}, to);
        QCOMPARE(t->selectedText(), QStringLiteral("T=6.2832ms"));
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
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("T=6.2832ms"));
    }

private:
    std::unique_ptr<Form1> form_;
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    setUpApplication(app);
    AccessibilityTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ui_accessibility_test.moc"
