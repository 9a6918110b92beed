#include "ui/helpview.h"

#include "calc/catalogue.h"

#include <QDir>
#include <QLoggingCategory>
#include <QTextDocument>

// Silent unless QT_LOGGING_RULES="osc.page.debug=true"; lets a test of an
// installed copy see which page the view shows.
Q_LOGGING_CATEGORY(lcPage, "osc.page", QtWarningMsg)

HelpView::HelpView(QWidget* parent) : QTextBrowser(parent) {
    // Pages are our own local files; nothing is fetched from elsewhere.
    setOpenExternalLinks(false);
    setOpenLinks(true);
}

void HelpView::showPage(const QString& adress, std::string_view page) {
    const std::string path =
        calc::pagePath(adress.toStdString(), page, QDir::separator().toLatin1());
    const QUrl url = QUrl::fromLocalFile(QDir::fromNativeSeparators(QString::fromStdString(path)));
    // setSource() ignores a URL it already shows; a repeated selection
    // loads the page again, as choosing it from the menu promises.
    if (source() == url) {
        reload();
    } else {
        setSource(url);
    }
}

QVariant HelpView::loadResource(int type, const QUrl& name) {
    QVariant resource = QTextBrowser::loadResource(type, name);
    if (type != QTextDocument::HtmlResource) {
        return resource;
    }
    ++pagesLoaded_;
    showsNotice_ = !resource.isValid() || resource.toByteArray().isEmpty();
    qCDebug(lcPage) << "showing" << name.toLocalFile() << (showsNotice_ ? "notice" : "page");
    if (showsNotice_) {
        const QString path = QDir::toNativeSeparators(name.toLocalFile());
        return QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>"
                              "<h3>无法显示此页</h3><p>找不到或无法读取文件：</p><p>%1</p>"
                              "</body></html>")
            .arg(path.toHtmlEscaped());
    }
    return resource;
}
