#include "ui/helpview.h"

#include "calc/catalogue.h"
#include "ui/imagefile.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTextDocument>

// Silent unless QT_LOGGING_RULES="osc.page.debug=true"; lets a test of an
// installed copy see which page the view shows.
Q_LOGGING_CATEGORY(lcPage, "osc.page", QtWarningMsg)

namespace {

// The document would decode image bytes by offering them to every image
// plugin; the pages name their pictures by suffix, so only that one is used.
QVariant decodeImage(const QVariant& resource, const QUrl& name) {
    if (resource.typeId() != QMetaType::QByteArray) {
        return resource;
    }
    const QByteArray format = QFileInfo(name.path()).suffix().toLower().toLatin1();
    if (format.isEmpty()) {
        return resource;
    }
    const QImage image = readImageData(resource.toByteArray(), format.constData());
    return image.isNull() ? resource : QVariant(image);
}

} // namespace

HelpView::HelpView(QWidget* parent) : QTextBrowser(parent) {
    // Pages are our own local files; nothing is fetched from elsewhere.
    setOpenExternalLinks(false);
    setOpenLinks(true);
    // Every page is taller than the view. With the bar shown only as needed,
    // the first layout runs at the full width, finds the page too tall, and
    // the whole page is laid out again beside the bar that then appears.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
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
    if (type == QTextDocument::ImageResource) {
        return decodeImage(resource, name);
    }
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
