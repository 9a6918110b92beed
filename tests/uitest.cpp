#include "tests/uitest.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace uitest {

QStringList captionsOf(std::string_view id) {
    const calc::Selection s =
        id == "startup" ? calc::startupSelection() : calc::select(*calc::entryForId(id));
    QStringList out;
    for (const std::string& caption : s.captions.value()) {
        out << QString::fromStdString(caption);
    }
    return out;
}

QStringList linesOf(calc::Mode j, const QStringList& inputs) {
    calc::Inputs boxes;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        boxes[i] = inputs.value(qsizetype(i)).toStdString();
    }
    QStringList out;
    for (const auto& line : calc::calculate(j, boxes).lines) {
        out << QString::fromStdString(line.value());
    }
    return out;
}

void typeInto(Form1& w, const QStringList& values) {
    const char* boxes[] = {"Text2", "Text3", "Text4", "Text5"};
    for (int i = 0; i < 4; ++i) {
        QLineEdit* e = child<QLineEdit>(w, boxes[i]);
        e->clear();
        QTest::keyClicks(e, values.value(i));
    }
}

QStringList results(Form1& w) {
    return texts<QLabel>(w, {"Label5", "Label6", "Label7", "Label8"});
}

void calculate(Form1& w) {
    child<QPushButton>(w, "Command1")->click();
}

Message answerMessage(const std::function<void()>& action) {
    Message seen;
    const bool found = withModal<QMessageBox>(action, [&](QMessageBox& box) {
        seen.title = box.windowTitle();
        seen.text = box.text();
        for (QAbstractButton* b : box.buttons()) {
            seen.buttons << b->text();
        }
        box.buttons().first()->click();
    });
    if (!found) {
        seen.text = QStringLiteral("<no message box>");
    }
    return seen;
}

void FormTest::init() {
    form_ = std::make_unique<Form1>();
    form_->show();
    if (waitForExposure_) {
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }
}

void FormTest::cleanup() {
    form_.reset();
}

} // namespace uitest
