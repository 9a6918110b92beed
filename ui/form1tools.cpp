// The "工具" menu after the window's own two menus, and what its dialog asks
// of the window. Kept apart from form1.cpp, which holds the designed window.
#include "ui/designdialog.h"
#include "ui/form1.h"
#include "ui/scopewindow.h"

#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

void Form1::createToolsMenu() {
    QMenu* tools = menuBar()->addMenu(QStringLiteral("工具"));
    tools->setObjectName(QStringLiteral("mnuTools"));
    QAction* design = tools->addAction(QStringLiteral("按目标频率选元件…"));
    design->setObjectName(QStringLiteral("mnuDesign"));
    design->setStatusTip(QStringLiteral("为当前电路按目标频率从标准系列中选元件"));
    connect(design, &QAction::triggered, this, &Form1::openDesignDialog);
    QAction* scope = tools->addAction(QStringLiteral("仿真波形…"));
    scope->setObjectName(QStringLiteral("mnuScope"));
    scope->setStatusTip(
        QStringLiteral("用 ngspice 仿真当前电路和输入框里的数值，和公式的理想波形对照"));
    // Ctrl+W closes windows and Ctrl+O opens files elsewhere; with Shift,
    // O (for oscilloscope) is taken by no usual command.
    scope->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(scope, &QAction::triggered, this, &Form1::openScopeWindow);
    // The quartz circuits and the help page have nothing to choose.
    connect(tools, &QMenu::aboutToShow, this, [this, design] {
        const bool computes = !calc::designInputs(*circuit_).empty();
        design->setEnabled(computes);
        design->setToolTip(
            computes ? QString() : QStringLiteral("石英晶体电路和帮助页不用计算，没有可选的元件"));
    });
}

void Form1::openDesignDialog() {
    if (calc::designInputs(*circuit_).empty()) {
        return;
    }
    DesignDialog dialog(*circuit_, this);
    if (dialog.exec() == QDialog::Accepted && dialog.chosen()) {
        fillInputs(*dialog.chosen());
        if (dialog.simulateWith()) {
            // The design's own collector resistors, bias and bypasses, which
            // the boxes do not hold.
            openScopeWindow();
            scope_->follow(*circuit_, boxTexts(), *dialog.simulateWith());
        }
    }
}

void Form1::fillInputs(const calc::Inputs& texts) {
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        inputs_[i]->setText(QString::fromStdString(texts[i]));
    }
    command1_->click();
}

void Form1::openScopeWindow() {
    if (!scope_) {
        scope_ = new ScopeWindow(this);
        scope_->setAttribute(Qt::WA_DeleteOnClose);
        scope_->follow(*circuit_, boxTexts());
    }
    scope_->show();
    scope_->raise();
    scope_->activateWindow();
}

void Form1::followScope() {
    if (scope_) {
        scope_->follow(*circuit_, boxTexts());
    }
}

ScopeWindow* Form1::scopeWindow() const {
    return scope_;
}
