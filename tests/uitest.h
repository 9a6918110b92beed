#pragma once

// What the window tests share: the window opened afresh for each test
// function, finding its children by object name, typing into its boxes and
// calculating, what the core says the window should show, reading a message
// box it opens, and main().

#include "ui/application.h"
#include "ui/form1.h"

#include <QApplication>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string_view>

namespace uitest {

// The child with that object name; a missing one ends the run, since every
// later check would only repeat the failure.
template <typename T> T* child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    if (!c) {
        qFatal("no child %s", name);
    }
    return c;
}

// What the window should show, as the core gives it (calc_tests check the
// core's own answers): the four captions a selection sets ("startup" for the
// start-up state), and the four result lines of a calculation with the boxes
// given (the rest empty).
QStringList captionsOf(std::string_view id);
QStringList linesOf(calc::Mode j, const QStringList& inputs);

// The texts of the named children of type T, in that order.
template <typename T> QStringList texts(QWidget& w, std::initializer_list<const char*> names) {
    QStringList out;
    for (const char* name : names) {
        out << child<T>(w, name)->text();
    }
    return out;
}

// The boxes Text2 to Text5 typed afresh (those without a value left empty),
// the result lines Label5 to Label8, and a click on "计算".
void typeInto(Form1& w, const QStringList& values);
QStringList results(Form1& w);
void calculate(Form1& w);

struct Message {
    QString title;
    QString text;
    QStringList buttons;
};

// Runs trigger, which is expected to open a modal T, and lets `use` drive it
// while it is open. False when no T opened.
template <typename T>
bool withModal(const std::function<void()>& trigger, const std::function<void(T&)>& use) {
    bool seen = false;
    // The timer dies with the call, so a modal that never opened here cannot
    // fire it later into these locals.
    QObject scope;
    QTimer::singleShot(0, &scope, [&] {
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
            seen = true;
            use(*modal);
        }
    });
    trigger();
    return seen;
}

// Runs action, which is expected to open a modal message box; reads the box
// and closes it with its first button. The text says so when none opened.
Message answerMessage(const std::function<void()>& action);

// A fresh window, shown (and exposed, unless told not to wait for that) for
// each test function.
class FormTest : public QObject {
    Q_OBJECT

protected:
    explicit FormTest(bool waitForExposure = true) : waitForExposure_(waitForExposure) {}
    Form1& form() { return *form_; }

private slots:
    void init();
    void cleanup();

private:
    bool waitForExposure_;
    std::unique_ptr<Form1> form_;
};

// The test run, in an application set up as the program's own. With the
// environment variable probeVariable set, runs probe(its value) instead: a
// test that starts its own executable as a child uses that.
template <typename Test>
int run(int argc, char* argv[], const char* probeVariable = nullptr,
        int (*probe)(const QString&) = nullptr) {
    QApplication app(argc, argv);
    setUpApplication(app);
    if (probe && qEnvironmentVariableIsSet(probeVariable)) {
        return probe(qEnvironmentVariable(probeVariable));
    }
    Test test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace uitest
