#pragma once

#include <QLabel>

class QMenu;

// A result line: static text that can be selected with the mouse and copied
// from its context menu ("复制"), but never takes the keyboard focus.
// QLabel offers no context menu for plain selectable text, so it is built here.
class ResultLabel : public QLabel {
    Q_OBJECT

public:
    explicit ResultLabel(const QString& text, QWidget* parent = nullptr);

    // The menu the context menu event shows; the caller owns it.
    QMenu* createContextMenu();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};
