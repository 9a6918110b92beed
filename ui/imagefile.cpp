#include "ui/imagefile.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

QImage readImageFile(const QString& path, const char* format) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return readImageData(file.readAll(), format);
}

QImage readImageData(const QByteArray& data, const char* format) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}
