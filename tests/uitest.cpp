#include "tests/uitest.h"

#include <QAbstractButton>
#include <QMessageBox>

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

QStringList linesOf(calc::Mode j, const calc::Inputs& inputs) {
    QStringList out;
    for (const auto& line : calc::calculate(j, inputs).lines) {
        out << QString::fromStdString(line.value());
    }
    return out;
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
