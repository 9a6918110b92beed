#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Reads an image of a known format with only that format's reader. Qt's
// default reader first offers the data to every image plugin, loading all
// of them at start-up even for a built-in format such as PNG.
QImage readImageFile(const QString& path, const char* format);
QImage readImageData(const QByteArray& data, const char* format);
