#include "ui/imagefile.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace {

QImage readWith(QImageReader& reader) {
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

} // namespace

QImage readImageFile(const QString& path, const char* format) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QImageReader reader(&file, format);
    return readWith(reader);
}

QImage readImageData(const QByteArray& data, const char* format) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    return readWith(reader);
}
