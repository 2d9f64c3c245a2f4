#pragma once

#include <QImage>
#include <QString>

namespace varnock {

// Reads one of the program's own PNG resources with Qt's built-in reader.
// A reader left to detect the format itself (QImage(path), QPixmap(path),
// QIcon::addFile) first loads every image plugin installed to ask each
// whether it wants the file: a few milliseconds of start-up and libraries
// (the JPEG plugin and libjpeg among them) the window never uses.
QImage ReadPngResource(const QString& resource);

}  // namespace varnock
