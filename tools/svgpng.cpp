// Renders SVG pictures to PNG at 1x and 2x: NAME.svg -> NAME.png at the
// picture's own size and NAME@2x.png at twice that, for builds whose Qt has
// no SVG image reader (the Windows build). Usage: svgpng OUTDIR FILE.svg...
// Needs no display: it uses the offscreen platform unless told otherwise.

#include "tools/filetool.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

namespace {

QImage render(QSvgRenderer& svg, int scale) {
    QImage image(svg.defaultSize() * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    svg.render(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
    painter.end();
    return image;
}

bool convert(const QString& path, const QDir& outDir) {
    QSvgRenderer svg;
    if (!svg.load(path) || !svg.isValid() || svg.defaultSize().isEmpty()) {
        std::fprintf(stderr, "%s: not a readable SVG picture with a size\n", qPrintable(path));
        return false;
    }
    const QString base = QFileInfo(path).completeBaseName();
    for (const int scale : {1, 2}) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        const QString name = outDir.filePath(base + suffix + QStringLiteral(".png"));
        if (!render(svg, scale).save(name, "png")) {
            std::fprintf(stderr, "%s: cannot write\n", qPrintable(name));
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The pictures' labels need the font database, hence a GUI application.
    QGuiApplication app(argc, argv);
    return runOnFiles(QGuiApplication::arguments(), "svgpng OUTDIR FILE.svg...", convert);
}
