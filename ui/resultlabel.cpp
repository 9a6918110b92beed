#include "ui/resultlabel.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>

ResultLabel::ResultLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Selecting with the mouse would otherwise move the focus out of the boxes.
    setFocusPolicy(Qt::NoFocus);
}

QMenu* ResultLabel::createContextMenu() {
    auto* menu = new QMenu(this);
    // Copies the selection, or the whole line when nothing is selected.
    QAction* copy = menu->addAction(QStringLiteral("复制"));
    copy->setEnabled(!text().isEmpty());
    connect(copy, &QAction::triggered, this, [this] {
        QGuiApplication::clipboard()->setText(hasSelectedText() ? selectedText() : text());
    });
    QAction* all = menu->addAction(QStringLiteral("全选"));
    all->setEnabled(!text().isEmpty());
    connect(all, &QAction::triggered, this, [this] { setSelection(0, int(text().size())); });
    return menu;
}

void ResultLabel::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}
