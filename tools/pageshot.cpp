// Renders description pages the way the window's view shows them, at its size,
// and saves one PNG per screenful, so a page can be proof-read as a reader
// sees it. Usage: pageshot OUTDIR PAGE.htm...
// Run with QT_QPA_PLATFORM=offscreen on a machine without a display.

#include "tools/filetool.h"
#include "ui/helpview.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScrollBar>
#include <QUrl>

#include <cstdio>

namespace {

// A long page is cut off here rather than filling the folder.
constexpr int kMaxShots = 12;

bool shoot(const QString& page, const QDir& outDir) {
    const QFileInfo info(page);
    if (!info.isFile()) {
        std::fprintf(stderr, "%s: no such file\n", qPrintable(page));
        return false;
    }
    // The window's own view class: its scroll bar and picture handling.
    HelpView view;
    view.resize(HelpView::kSize);
    view.setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    view.show();
    QApplication::processEvents();

    QScrollBar* bar = view.verticalScrollBar();
    int shots = 0;
    for (int pos = 0; shots < kMaxShots; pos += bar->pageStep()) {
        bar->setValue(pos);
        QApplication::processEvents();
        const QString name =
            outDir.filePath(QStringLiteral("%1-%2.png").arg(info.completeBaseName()).arg(++shots));
        if (!view.grab().save(name)) {
            std::fprintf(stderr, "%s: cannot write\n", qPrintable(name));
            return false;
        }
        if (pos >= bar->maximum()) {
            break;
        }
    }
    std::printf("%s: title \"%s\", %d shot(s), horizontal scroll range %d\n",
                qPrintable(info.fileName()), qPrintable(view.documentTitle()), shots,
                view.horizontalScrollBar()->maximum());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return runOnFiles(QApplication::arguments(), "pageshot OUTDIR PAGE.htm...", shoot);
}
