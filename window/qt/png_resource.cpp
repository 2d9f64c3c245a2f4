#include "window/qt/png_resource.h"

#include <QImageReader>

namespace varnock {

QImage ReadPngResource(const QString& resource) {
    QImageReader reader(resource, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

}  // namespace varnock
