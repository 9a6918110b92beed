#pragma once

#include <QPoint>
#include <QString>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

// Clicks the first link of the shown page whose target is href, as a user
// does: the mouse on the middle of the link's text. False if there is none.
inline bool clickLink(QTextBrowser* view, const QString& href) {
    QTextDocument* doc = view->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isAnchor() || fragment.charFormat().anchorHref() != href ||
                fragment.length() < 2) {
                continue;
            }
            QTextCursor cursor(doc);
            cursor.setPosition(fragment.position() + fragment.length() / 2);
            view->setTextCursor(cursor);
            view->ensureCursorVisible();
            const QPoint at = view->cursorRect(cursor).center();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
            return true;
        }
    }
    return false;
}
