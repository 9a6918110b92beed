#include "ui/helpview.h"

#include "calc/catalogue.h"
#include "ui/pageguard.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QPainter>
#include <QStringDecoder>
#include <QTextDocument>

// Silent unless QT_LOGGING_RULES="osc.page.debug=true"; lets a test of an
// installed copy see which page the view shows.
Q_LOGGING_CATEGORY(lcPage, "osc.page", QtWarningMsg)

namespace {

std::optional<QList<QByteArray>>& readerOverride() {
    static std::optional<QList<QByteArray>> formats;
    return formats;
}

QString localPath(const QUrl& url) {
    if (url.isLocalFile()) {
        return url.toLocalFile();
    }
    return url.scheme().isEmpty() ? url.path() : QString();
}

// The whole content of a regular file of at most maxBytes, or nullopt. The
// kind of file is checked before it is opened: opening a FIFO waits for a
// writer, and a device never ends. One byte more than the file's size is
// asked for, so that a file that changed after the check is refused too.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > maxBytes) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray data = file.read(info.size() + 1);
    if (data.size() != info.size()) {
        return std::nullopt;
    }
    return data;
}

// Decodes with the named format only; for a drawing (SVG) the picture is
// rendered at the screen's pixel ratio, so that it stays sharp when the
// window is scaled, and marked with that ratio, so that the page still lays
// it out at its own size. The file and its pixels are taken from `allowance`;
// a picture that does not fit in it, or whose size cannot be told before
// decoding, is not decoded.
QImage decodePicture(const QString& path, const QByteArray& format, qreal pixelRatio,
                     HelpView::PictureAllowance& allowance) {
    const std::optional<QByteArray> data = readRegularFile(path, allowance.bytes);
    if (!data) {
        return {};
    }
    allowance.bytes -= data->size();
    QBuffer buffer;
    buffer.setData(*data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    const bool scalable = format == "svg";
    QSize size = reader.size();
    if (scalable && pixelRatio != 1.0 && size.isValid()) {
        size = (QSizeF(size) * pixelRatio).toSize();
        reader.setScaledSize(size);
    }
    const qint64 pixels = qint64(size.width()) * size.height();
    if (!size.isValid() || pixels > allowance.pixels) {
        return {};
    }
    allowance.pixels -= pixels;
    QImage image = reader.read();
    if (scalable && !image.isNull() && reader.scaledSize().isValid()) {
        image.setDevicePixelRatio(pixelRatio);
    }
    return image;
}

// Whether a picture keeps to a shape the page can show: a width alone sets
// the height by the picture's own ratio, so neither side may be more than 16
// times the other.
bool hasPageShape(const QImage& image) {
    const QSizeF size = image.deviceIndependentSize();
    const qreal longer = std::max(size.width(), size.height());
    const qreal shorter = std::min(size.width(), size.height());
    return longer <= 16 * shorter;
}

// Where no SVG reader exists, NAME.svg is shown from the PNG renderings
// beside it: NAME@2x.png on any screen of ratio above 1 (at 125 % a 2x
// picture scaled down stays sharp, a 1x one scaled up does not), else NAME.png.
QImage pngStandIn(const QString& svgPath, qreal pixelRatio, HelpView::PictureAllowance& allowance) {
    const QFileInfo info(svgPath);
    const QString base = info.dir().filePath(info.completeBaseName());
    if (pixelRatio > 1.0) {
        QImage image = decodePicture(base + QStringLiteral("@2x.png"), "png", 1.0, allowance);
        if (!image.isNull()) {
            image.setDevicePixelRatio(2.0);
            return image;
        }
    }
    return decodePicture(base + QStringLiteral(".png"), "png", 1.0, allowance);
}

// Shown for a picture that cannot be shown. Returning no image at all would
// make the document try to read the file itself, without any of the checks.
QImage missingPicture() {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(0, 0, 15, 15);
    painter.drawLine(3, 3, 12, 12);
    painter.drawLine(12, 3, 3, 12);
    return image;
}

// The page's text, decoded as QTextBrowser decodes a page given as bytes:
// by its byte-order mark or <meta> charset, else as UTF-8.
QString decodedPage(const QByteArray& data) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(data);
    if (!decoder.isValid()) {
        decoder = QStringDecoder(QStringDecoder::Utf8);
    }
    return decoder.decode(data);
}

QString notice(const QString& heading, const QString& text, const QUrl& url) {
    const QString path = QDir::toNativeSeparators(localPath(url));
    return QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>"
                          "<h3>%1</h3>%2<p>%3</p></body></html>")
        .arg(heading, text, path.toHtmlEscaped());
}

} // namespace

HelpView::HelpView(QWidget* parent) : QTextBrowser(parent) {
    // Links are judged here rather than followed blindly: see followLink().
    setOpenExternalLinks(false);
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpView::followLink);
    // Back and forward (Alt+Left, Alt+Right) change the page too.
    connect(this, &QTextBrowser::sourceChanged, this, &HelpView::noteSource);
    // Every page is taller than the view. With the bar shown only as needed,
    // the first layout runs at the full width, finds the page too tall, and
    // the whole page is laid out again beside the bar that then appears.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

QList<QByteArray> HelpView::imageReaders() {
    if (readerOverride()) {
        return *readerOverride();
    }
    static const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    return formats;
}

void HelpView::setImageReaders(std::optional<QList<QByteArray>> formats) {
    readerOverride() = std::move(formats);
}

void HelpView::showPage(const QString& adress, std::string_view page) {
    const std::string path =
        calc::pagePath(adress.toStdString(), page, QDir::separator().toLatin1());
    const QString file = QDir::fromNativeSeparators(QString::fromStdString(path));
    const QUrl url = QUrl::fromLocalFile(file);
    pageFolder_ = QFileInfo(QFileInfo(file).absolutePath()).canonicalFilePath();
    showingPage_ = true;
    // setSource() ignores a URL it already shows; a repeated selection
    // loads the page again, as choosing it from the menu promises.
    if (source() == url) {
        reload();
    } else {
        setSource(url);
    }
    showingPage_ = false;
}

QVariant HelpView::loadResource(int type, const QUrl& name) {
    QUrl url = name;
    if (url.isRelative()) {
        url = source().resolved(name);
    }
    switch (type) {
    case QTextDocument::HtmlResource:
        return loadPage(url);
    case QTextDocument::ImageResource:
        return loadPicture(url);
    default:
        return loadStyleSheet(url);
    }
}

QVariant HelpView::loadPage(const QUrl& url) {
    ++pagesLoaded_;
    styleRules_ = 0;
    styleSheets_.clear();
    pictures_ = {};
    const std::optional<QByteArray> data = readRegularFile(localPath(url), kMaxPageBytes);
    std::optional<QString> page;
    if (data && !data->isEmpty()) {
        page = pageguard::checkedPage(decodedPage(*data), url, styleRules_,
                                      [this](const QUrl& sheet) { return styleSheet(sheet); });
    }
    showsNotice_ = !page;
    qCDebug(lcPage) << "showing" << localPath(url) << (showsNotice_ ? "notice" : "page");
    if (!data) {
        return notice(QStringLiteral("无法显示此页"),
                      QStringLiteral("<p>找不到或无法读取文件：</p>"), url);
    }
    if (data->isEmpty()) {
        return notice(QStringLiteral("此页为空"), QString(), url);
    }
    if (!page) {
        return notice(QStringLiteral("无法显示此页"),
                      QStringLiteral("<p>此页超出了本程序显示页面的限度：</p>"), url);
    }
    return *page;
}

// An empty answer rather than none for a stylesheet that cannot be used:
// with none the document would read the file itself.
QVariant HelpView::loadStyleSheet(const QUrl& url) {
    const QString css = styleSheet(url);
    return css.isEmpty() ? QVariant(QByteArray()) : QVariant(css);
}

// Read and counted once per page: the page guard's reading of the page asks
// for the stylesheets before the view's own does.
QString HelpView::styleSheet(const QUrl& url) {
    if (const auto known = styleSheets_.constFind(url); known != styleSheets_.cend()) {
        return *known;
    }
    const std::optional<QByteArray> data = readRegularFile(localPath(url), kMaxPageBytes);
    QString css = data ? QString::fromUtf8(*data) : QString();
    if (!pageguard::countStyleSheet(css, styleRules_)) {
        css.clear();
    }
    styleSheets_.insert(url, css);
    return css;
}

QImage HelpView::loadPicture(const QUrl& url) {
    const QString path = localPath(url);
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    const QList<QByteArray> readers = imageReaders();
    const qreal pixelRatio = devicePixelRatioF();
    QImage image;
    if (format == "svg" && !readers.contains(format)) {
        image = pngStandIn(path, pixelRatio, pictures_);
    } else if (!format.isEmpty() && readers.contains(format)) {
        image = decodePicture(path, format, pixelRatio, pictures_);
    }
    return image.isNull() || !hasPageShape(image) ? missingPicture() : image;
}

void HelpView::followLink(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        QDesktopServices::openUrl(url);
        return;
    }
    // mailto:, javascript: and the like mean nothing here.
    if (!url.isLocalFile()) {
        return;
    }
    const QFileInfo target(url.toLocalFile());
    const QString suffix = target.suffix().toLower();
    if (suffix != QLatin1String("htm") && suffix != QLatin1String("html")) {
        return;
    }
    const QString folder = pageFolder();
    const QString dir = QFileInfo(target.absolutePath()).canonicalFilePath();
    if (folder.isEmpty() || dir.isEmpty() ||
        (dir != folder && !dir.startsWith(folder + QLatin1Char('/')))) {
        return;
    }
    setSource(url);
}

void HelpView::noteSource(const QUrl& url) {
    const QUrl page = url.adjusted(QUrl::RemoveFragment);
    const bool otherPage = page != shownPage_;
    shownPage_ = page;
    if (otherPage && !showingPage_) {
        emit pageFollowed(QFileInfo(page.toLocalFile()).fileName());
    }
}

QString HelpView::pageFolder() const {
    if (!pageFolder_.isEmpty()) {
        return pageFolder_;
    }
    // Shown with setSource() alone (the page screenshot tool).
    return QFileInfo(QFileInfo(source().toLocalFile()).absolutePath()).canonicalFilePath();
}
