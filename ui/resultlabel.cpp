#include "ui/resultlabel.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QMenu>

#include <algorithm>
#include <cmath>

ResultLabel::ResultLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Selecting with the mouse would otherwise move the focus out of the boxes.
    setFocusPolicy(Qt::NoFocus);
}

void ResultLabel::setGrowthLimit(int right) {
    designedWidth_ = width();
    rightLimit_ = right;
}

void ResultLabel::setLine(const QString& text) {
    setText(text);
    fit();
}

void ResultLabel::setPreviousCircuit(const QString& circuit) {
    const QString note = circuit.isEmpty() ? QString() : QStringLiteral("上次计算：") + circuit;
    if (note == toolTip()) {
        return;
    }
    // The theme's colour for disabled text: the line stays selectable.
    QPalette grey;
    if (!note.isEmpty()) {
        grey = palette();
        grey.setColor(QPalette::WindowText, grey.color(QPalette::Disabled, QPalette::WindowText));
    }
    // An empty palette makes the label follow the window's again.
    setPalette(grey);
    setToolTip(note);
    setAccessibleDescription(note);
}

void ResultLabel::fit() {
    if (designedWidth_ <= 0) {
        return; // no growth limit given: a plain label
    }
    const int maxWidth = std::max(designedWidth_, rightLimit_ - x());
    const QFont inherited = parentWidget() ? parentWidget()->font() : QFont();
    // One pixel more than the advance leaves room for a glyph that reaches
    // past its advance (the last letter's overhang, antialiasing).
    auto needed = [this](const QFont& font) {
        return int(std::ceil(QFontMetricsF(font, this).horizontalAdvance(text()))) + 1;
    };
    QFont font = inherited;
    int width = needed(font);
    // Shrinks in steps of 5 % until the line fits; a floor keeps a
    // pathological text from looping for long.
    const bool inPixels = font.pointSizeF() <= 0;
    const qreal start = inPixels ? font.pixelSize() : font.pointSizeF();
    qreal size = start;
    while (width > maxWidth && size > start / 4) {
        size *= 0.95;
        if (inPixels) {
            font.setPixelSize(std::max(1, int(size)));
        } else {
            font.setPointSizeF(size);
        }
        width = needed(font);
    }
    // An empty font makes the label follow the window's font again.
    const bool shrunk = size != start;
    setFont(shrunk ? font : QFont());
    // A shrunk line has used all the room it may have.
    resize(shrunk ? maxWidth : std::clamp(width, designedWidth_, maxWidth), height());
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
    connect(all, &QAction::triggered, this, [this] {
        setSelection(0, int(text().size()));
        emit selected();
    });
    return menu;
}

void ResultLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (hasSelectedText()) {
        emit selected();
    }
}

void ResultLabel::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}
