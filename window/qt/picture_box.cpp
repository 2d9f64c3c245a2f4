#include "window/qt/picture_box.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

#include "window/qt/png_resource.h"

namespace varnock {

PictureBox::PictureBox(const QString& resource, QWidget* parent)
    : QLabel(parent), resource_(resource) {}

QString PictureBox::ResourceFor(qreal ratio) const {
    if (ratio <= 1.0) {
        return resource_;
    }
    const qsizetype dot = resource_.lastIndexOf(QLatin1Char('.'));
    return resource_.left(dot) + QStringLiteral("@2x") + resource_.mid(dot);
}

void PictureBox::paintEvent(QPaintEvent* /*event*/) {
    const qreal ratio = std::max(devicePixelRatioF(), 1.0);
    if (shown_.isNull() || shown_.devicePixelRatio() != ratio) {
        QImage image = ReadPngResource(ResourceFor(ratio));
        if (ratio > 1.0 && ratio != 2.0) {
            // The variant has twice the picture's pixels in each direction.
            const QSize device(qRound(image.width() * ratio / 2.0),
                               qRound(image.height() * ratio / 2.0));
            image = image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        shown_ = QPixmap::fromImage(std::move(image));
        shown_.setDevicePixelRatio(ratio);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, shown_);
}

}  // namespace varnock
