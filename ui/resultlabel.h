#pragma once

#include <QLabel>

class QMenu;

// A result line: static text that can be selected with the mouse and copied
// from its context menu ("复制") or with Ctrl+C, but never takes the keyboard
// focus (so the window passes it Ctrl+C: see Form1::eventFilter). QLabel
// offers no context menu for plain selectable text, so it is built here.
//
// A line always shows its whole text: the designed width was made for a
// narrower font than most platforms have, and a number in exponent form
// makes the longest lines. A line that does not fit grows to the right up to
// a limit the window gives, and only then draws in a smaller font.
class ResultLabel : public QLabel {
    Q_OBJECT

public:
    explicit ResultLabel(const QString& text, QWidget* parent = nullptr);

    // The right edge, in the parent's coordinates, a line may grow to. The
    // label's width at this call is its designed width, which it never
    // goes below.
    void setGrowthLimit(int right);

    // Shows a result line, fitted as described above.
    void setLine(const QString& text);

    // Greys the line and names, in its tooltip and accessible description,
    // the circuit it was calculated for; an empty name takes the mark away.
    void setPreviousCircuit(const QString& circuit);

signals:
    // The user selected text in the line, with the mouse or "全选".
    void selected();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The menu the context menu event shows; the caller owns it.
    QMenu* createContextMenu();

    void fit();

    int designedWidth_ = 0;
    int rightLimit_ = 0;
};
